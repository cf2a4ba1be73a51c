// Detection, modes, settings and the close sequence of the main window, without widgets.
#include "instrument.h"
#include "link/dossiers.h"
#include "link/registre.h"
#include "link/ticktimer.h"
#include "measure/unites.h"
#include "shell/noyau.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/file.h>

Q_DECLARE_METATYPE(Tconstructeur)
Q_DECLARE_METATYPE(Tconnect)
Q_DECLARE_METATYPE(Tmode)
Q_DECLARE_METATYPE(TFenetre)

struct DialogueEnregistre : IDialogue {
    QStringList messages;
    bool confirm(const QString &m) override { messages << m; return false; }
    void inform(const QString &m) override { messages << m; }
};

struct VueEnregistree : IVuePrincipale {
    QStringList aides;
    QString titre;
    bool com = true, osc = false, mult = false, detection = true;
    void setAide(const QString &t) override { aides << t; }
    void setTitre(const QString &t) override { titre = t; }
    void setComVisible(bool v) override { com = v; }
    void setOscVisible(bool v) override { osc = v; }
    void setMultVisible(bool v) override { mult = v; }
    void setDetectionPossible(bool v) override { detection = v; }
};

struct RigolFactice : IRechercheRigol {
    QStringList appels;
    bool usb = false, visa = false, siglent = false;
    bool ouvreUSB(QString &ident) override
    {
        appels << QStringLiteral("USB");
        if (usb)
            ident = QStringLiteral("Rigol Technologies,DS1104Z");
        return usb;
    }
    bool ouvreVisa(QString &ident, bool &s) override
    {
        appels << QStringLiteral("VISA");
        if (visa)
            ident = QStringLiteral("Siglent Technologies,SDS1202X-E");
        s = siglent;
        return visa;
    }
    void unLock() override { appels << QStringLiteral("unLock"); }
};

static const QByteArray idnAgilent = "AGILENT TECHNOLOGIES,54622D,MY40000123,A.02.30";
static const QByteArray idnRigol = "RIGOL TECHNOLOGIES,DS1102E,DS1EB104702974,00.02.05.02.00";

class TestNoyau : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    DialogueEnregistre dialogue;
    qint64 fakeMs = 0;

    QString ini() const { return dossier.filePath(QStringLiteral("Ondivar.ini")); }
    void ecritIni(const QByteArray &texte)
    {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(texte);
    }
    QByteArray litIni()
    {
        QFile f(ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Time-outs run on a clock the test drives: each reading moves it on by pas ms.
    void horlogeRapide(int pas = 400) { TickClock::setSource([this, pas] { return fakeMs += pas; }); }

private slots:
    void initTestCase()
    {
        qputenv("ONDIVAR_CONFIG", ini().toLocal8Bit());
        DossierDonnees = AvecSeparateur(dossier.path());
        setDialogue(&dialogue);
    }
    void cleanupTestCase() { setDialogue(nullptr); }
    void init()
    {
        dialogue.messages.clear();
        QFile::remove(ini());
        constructeur = oNone;
        modeleGDS = 0;
    }
    void cleanup() { TickClock::setSource({}); }

    void decision_data()
    {
        QTest::addColumn<QString>("idn");
        QTest::addColumn<Tconstructeur>("maker");
        QTest::addColumn<int>("gds");
        QTest::addColumn<QString>("garde");
        QTest::addColumn<Tconnect>("cnx");
        QTest::newRow("Agilent 54622D") << QString::fromLatin1(idnAgilent) << oAgilent << 0
                                        << QString::fromLatin1(idnAgilent) << cVect;
        QTest::newRow("HP 54600A") << "HEWLETT-PACKARD,54600A,0,A.01.20" << oHewlett << 0
                                   << "HEWLETT-PACKARD,54600A,0,A.01.20" << cNone;
        QTest::newRow("HP 54645A") << "HEWLETT-PACKARD,54645A,0,A.01.50" << oHewlett << 0
                                   << "HEWLETT-PACKARD,54645A,0,A.01.50" << cConn;
        QTest::newRow("Sefram") << "SEFRAM,5250,0,1.2" << oSefram << 0 << "SEFRAM,5250,0,1.2" << cConn;
        QTest::newRow("GDS-820") << "GW,GDS-820,0,V1.0" << oGoodWill << 0 << "GW,GDS-820,0,V1.0" << cConn;
        QTest::newRow("GDS-1102") << "GW,GDS-1102,EF1,V1.1" << oGoodWill << 1 << "GW,GDS-1102,EF1,V1.1" << cConn;
        QTest::newRow("GDS-1002") << "GW,GDS-1002,EF1,V1.1" << oGoodWill << 1 << "GW,GDS-1002,EF1,V1.1" << cConn;
        QTest::newRow("GDS-2062") << "GW,GDS-2062,EF1,V1.1" << oGoodWill << 2 << "GW,GDS-2062,EF1,V1.1" << cConn;
        QTest::newRow("Rigol cut to two fields") << QString::fromLatin1(idnRigol) << oRigol << 0
                                                 << "RIGOL TECHNOLOGIES,DS1102E" << cConn;
        QTest::newRow("Rigol without comma after DS") << "RIGOL DS1102E" << oRigol << 0 << "RIGOL DS1102" << cConn;
        QTest::newRow("FI loses its first field") << "FRANCAISE D'INSTRUMENTATION,FI3102,1,2" << oFI << 0
                                                  << "FI3102,1,2" << cConn;
        QTest::newRow("unknown") << "TEKTRONIX,TDS210,0,CF:91.1CT" << oNone << 0 << "TEKTRONIX,TDS210,0,CF:91.1CT"
                                 << cNone;
        QTest::newRow("empty") << "" << oNone << 0 << "" << cNone;
    }
    void decision()
    {
        QFETCH(QString, idn);
        const TDecision d = DecideIdentite(idn);
        QTEST(d.constructeur, "maker");
        QTEST(d.modeleGDS, "gds");
        QTEST(d.identite, "garde");
        QTEST(d.connect, "cnx");
    }

    void routage_data()
    {
        QTest::addColumn<Tconstructeur>("maker");
        QTest::addColumn<int>("gds");
        QTest::addColumn<TFenetre>("osc");
        QTest::addColumn<TFenetre>("mult");
        QTest::addColumn<Tmode>("mode");
        QTest::newRow("Agilent") << oAgilent << 0 << TFenetre::oscillo << TFenetre::multimetre << mMult;
        QTest::newRow("Rigol serial") << oRigol << 0 << TFenetre::oscillo << TFenetre::multimetre << mMult;
        QTest::newRow("GDS1000") << oGoodWill << 1 << TFenetre::oscillo << TFenetre::bode << mMultSefram;
        QTest::newRow("GDS2000") << oGoodWill << 2 << TFenetre::oscillo << TFenetre::multimetre << mMult;
        QTest::newRow("Sefram") << oSefram << 0 << TFenetre::oscillo << TFenetre::bode << mMultSefram;
        QTest::newRow("FI") << oFI << 0 << TFenetre::oscillo << TFenetre::bode << mMultSefram;
        QTest::newRow("Rigol USB") << oRigolUSB << 0 << TFenetre::oscilloRigol << TFenetre::multimetre << mMult;
        QTest::newRow("Siglent") << oSiglent << 0 << TFenetre::oscilloRigol << TFenetre::multimetre << mMult;
        QTest::newRow("none") << oNone << 0 << TFenetre::aucune << TFenetre::aucune << mNone;
    }
    void routage()
    {
        QFETCH(Tconstructeur, maker);
        QFETCH(int, gds);
        QTEST(FenetreOscillo(maker), "osc");
        QTEST(FenetreMultimetre(maker, gds), "mult");
        QTEST(ModeMultimetre(maker, gds), "mode");
        // The help texts and the focus go to the window the button opened.
        QFETCH(TFenetre, osc);
        QCOMPARE(FenetreDuMode(mOsc, maker, gds), osc);
    }

    void setMode()
    {
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        constructeur = oAgilent;
        n.SetMode(mOsc);
        QVERIFY(vue.osc && !vue.mult);
        QCOMPARE(n.session.AcquisitionEnCours, mOsc);
        n.SetMode(mMult);
        QVERIFY(!vue.osc && vue.mult);
        n.SetMode(mNone);
        QVERIFY(vue.osc && vue.mult);
        constructeur = oNone;
        n.SetMode(mOsc);
        QVERIFY(!vue.osc && !vue.mult);
        QCOMPARE(n.session.AcquisitionEnCours, mNone);
    }

    // Settings: defaults, port replacement, trace letter wrap, nothing saved without instrument.
    void reglagesDefauts()
    {
        ecritIni("[COM]\nNumber=abc\nBaud=\nDTR=oui\n");
        TNoyauPrincipal n;
        n.session.setSondePort([](int p) { return p == 2 || p == 5; });
        n.session.LitRegistre();
        QCOMPARE(n.session.VoieSerie.ComNumber(), 2);   // 1 is absent: the first present port
        QCOMPARE(n.session.VoieSerie.Baud(), 19200);
        QCOMPARE(n.session.reglages.avecDTR, false);
        QCOMPARE(n.session.reglages.avecTrace, false);
        QCOMPARE(n.session.reglages.dernierConstructeur, int(oNone));
        QCOMPARE(n.session.VoieSerie.HWFlowOptions(), 0);
        TNoyauPrincipal sansPort;
        sansPort.session.setSondePort([](int) { return false; });
        sansPort.session.LitRegistre();
        QCOMPARE(sansPort.session.VoieSerie.ComNumber(), 1);
    }
    void reglagesPortEtTrace()
    {
        ecritIni("[COM]\nNumber=7\nBaud=57600\nDTR=1\nConstructeur=1\n[Trace]\nNumber=25\nEnabled=1\n");
        TNoyauPrincipal n;
        n.session.setSondePort([](int p) { return p == 3; });
        n.session.LitRegistre();
        QCOMPARE(n.session.VoieSerie.ComNumber(), 3);
        QCOMPARE(n.session.VoieSerie.Baud(), 57600);
        QCOMPARE(n.session.VoieSerie.HWFlowOptions(), int(hwfUseDTR | hwfRequireDSR));
        QVERIFY(n.session.nomFichierTrace().endsWith(QLatin1String("ondivar-z.trc")));
        QVERIFY(n.session.nomFichierLog().endsWith(QLatin1String("ondivar-z.log")));
        constructeur = oGoodWill;
        n.Fermeture();
        auto s = OuvreRegistre();
        QCOMPARE(s->value(QStringLiteral("COM/Number")).toString(), QStringLiteral("3"));
        QCOMPARE(s->value(QStringLiteral("Trace/Number")).toString(), QStringLiteral("0"));
        QCOMPARE(s->value(QStringLiteral("COM/Constructeur")).toString(), QStringLiteral("4"));
        QCOMPARE(s->value(QStringLiteral("COM/DTR")).toString(), QStringLiteral("1"));
        QCOMPARE(s->value(QStringLiteral("Trace/Enabled")).toString(), QStringLiteral("1"));
        QVERIFY(dialogue.messages.isEmpty());   // the dialog was never opened: no trace message
    }
    void fermetureSansInstrument_data()
    {
        QTest::addColumn<Tconstructeur>("maker");
        QTest::newRow("none") << oNone;
        QTest::newRow("Rigol USB") << oRigolUSB;
        QTest::newRow("Siglent") << oSiglent;
    }
    void fermetureSansInstrument()
    {
        QFETCH(Tconstructeur, maker);
        const QByteArray avant = "[COM]\nNumber=3\n[Trace]\nNumber=4\n";
        ecritIni(avant);
        TNoyauPrincipal n;
        RigolFactice rigol;
        n.session.setRechercheRigol(&rigol);
        n.session.setSondePort([](int) { return true; });
        n.session.LitRegistre();
        constructeur = maker;
        n.Fermeture();
        QCOMPARE(litIni(), avant);
        QCOMPARE(rigol.appels.contains(QStringLiteral("unLock")), maker == oRigolUSB);
    }
    void fermetureMessageTrace()
    {
        TNoyauPrincipal n;
        n.session.setSondePort([](int) { return true; });
        n.session.reglages.avecTrace = true;
        n.NbreRS232 = 2;
        n.Fermeture();
        QCOMPARE(dialogue.messages.size(), 1);
        QCOMPARE(dialogue.messages[0], QStringLiteral("Fichiers : Ondivar.txt, Ondivar-x.trc et Ondivar-x.log\r\ndans ")
                                           + DossierDonnees + QStringLiteral("\r\nà envoyer à ")
                                           + TNoyauPrincipal::adresseSupport());
    }

    // Order of the searches after the maker the previous run saved.
    void ordreRecherches_data()
    {
        QTest::addColumn<int>("dernier");
        QTest::addColumn<int>("series");
        QTest::addColumn<QStringList>("appels");
        QTest::newRow("none") << 0 << 2 << QStringList{"USB", "VISA"};
        QTest::newRow("Agilent") << 1 << 2 << QStringList{"USB", "VISA"};
        QTest::newRow("Rigol USB") << 6 << 0 << QStringList{"USB", "VISA"};
        QTest::newRow("Rigol Visa") << 7 << 0 << QStringList{"VISA", "USB"};
        QTest::newRow("Siglent") << 8 << 0 << QStringList{"VISA", "USB", "VISA"};
        QTest::newRow("FI") << 9 << 2 << QStringList{"USB", "VISA"};
        QTest::newRow("out of range 12") << 12 << 1 << QStringList{"USB", "VISA"};
    }
    void ordreRecherches()
    {
        QFETCH(int, dernier);
        horlogeRapide();
        InstrumentScripte muet;   // a port with nothing behind it
        qputenv("ONDIVAR_PORTS", ("1=" + muet.slave).toLatin1());
        ecritIni(QByteArray("[COM]\nConstructeur=") + QByteArray::number(dernier) + "\n");
        TNoyauPrincipal n;
        RigolFactice rigol;
        VueEnregistree vue;
        n.setVue(&vue);
        n.session.setRechercheRigol(&rigol);
        n.session.LitRegistre();   // an out-of-range saved maker reads as its number
        n.ResetOscillo();
        const int idn = int(std::count(muet.recu.begin(), muet.recu.end(), QByteArray("*IDN?")));
        QTEST(idn / 2, "series");   // two queries per serial search
        QTEST(rigol.appels, "appels");
        QCOMPARE(vue.titre, QStringLiteral("Aucun oscilloscope détecté"));
        QVERIFY(vue.com);   // a port exists
        QVERIFY(!vue.osc && !vue.mult);
        qunsetenv("ONDIVAR_PORTS");
    }

    void visaSiglent()
    {
        TNoyauPrincipal n;
        RigolFactice rigol;
        rigol.visa = rigol.siglent = true;
        VueEnregistree vue;
        n.setVue(&vue);
        n.session.setRechercheRigol(&rigol);
        n.session.setSondePort([](int) { return false; });
        n.ResetOscillo();
        QCOMPARE(constructeur, oSiglent);
        QCOMPARE(vue.titre, QStringLiteral("Acquisition avec Siglent Technologies,SDS1202X-E"));
        QVERIFY(vue.osc && vue.mult);
    }

    void rienNullePart()
    {
        TNoyauPrincipal n;
        RigolFactice rigol;
        VueEnregistree vue;
        n.setVue(&vue);
        n.session.setRechercheRigol(&rigol);
        n.session.setSondePort([](int) { return false; });
        n.ResetOscillo();
        QCOMPARE(vue.titre, QStringLiteral("Aucun oscilloscope détecté"));
        QVERIFY(!vue.com && !vue.osc && !vue.mult);
        QVERIFY(dialogue.messages.isEmpty());   // no port: the serial search ends silently
    }

    // Serial searches against a scripted instrument.
    void rigolSerie()
    {
        InstrumentScripte inst;
        inst.script = [](const QByteArray &l) { return l == "*IDN?" ? idnRigol + "\r\n" : QByteArray(); };
        qputenv("ONDIVAR_PORTS", ("1=" + inst.slave).toLatin1());
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        n.ResetOscillo();
        QCOMPARE(constructeur, oRigol);
        QCOMPARE(n.session.IdentiteScope, QStringLiteral("RIGOL TECHNOLOGIES,DS1102E"));
        QTRY_VERIFY(inst.recu.contains(":KEY:LOCK DIS"));
        QVERIFY(n.session.VoieSerie.Open());   // the port stays open for the modes
        QCOMPARE(vue.aides.first(), QStringLiteral("Recherche de l'oscilloscope par *IDN?"));
        QCOMPARE(vue.aides.last(), QStringLiteral("RIGOL TECHNOLOGIES,DS1102E"));
        QCOMPARE(vue.titre, QStringLiteral("Acquisition avec RIGOL TECHNOLOGIES,DS1102E"));
        qunsetenv("ONDIVAR_PORTS");
    }
    void secondeRequete()
    {
        horlogeRapide(40);   // slow enough for the scripted reply to arrive within the second wait
        InstrumentScripte inst;
        int n_idn = 0;
        inst.script = [&](const QByteArray &l) {
            return (l == "*IDN?" && ++n_idn == 2) ? "GW,GDS-2062,EF1,V1.1\r\n" : QByteArray();
        };
        qputenv("ONDIVAR_PORTS", ("1=" + inst.slave).toLatin1());
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        n.session.reglages.avecTrace = true;
        n.ResetOscillo();
        QCOMPARE(constructeur, oGoodWill);
        QCOMPARE(modeleGDS, 2);
        QVERIFY(vue.aides.contains(QStringLiteral("Nouvelle recherche de l'oscilloscope")));
        // The log names the maker and the family.
        n.session.SetTrace(false);
        QFile log(n.session.nomFichierLog());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray texte = log.readAll();
        QVERIFY(texte.contains("22/11/2017"));
        QVERIFY(texte.contains("INSTEK"));
        QVERIFY(texte.contains("GoodWill/Instek"));
        QVERIFY(texte.contains("GDS2000"));
        qunsetenv("ONDIVAR_PORTS");
    }
    // The log line "22/11/2017" closes the first "*IDN?" of a detection, answered or not:
    // written after an unanswered one too, it shows the empty line before it to be that
    // attempt's identification, and the lines after it to come from the retry.
    void marqueFinPremiereIdentification_data()
    {
        QTest::addColumn<int>("repondA");   // the "*IDN?" the instrument answers
        QTest::newRow("first answered") << 1;
        QTest::newRow("first unanswered") << 2;
    }
    void marqueFinPremiereIdentification()
    {
        QFETCH(int, repondA);
        horlogeRapide(40);
        InstrumentScripte inst;
        int n_idn = 0;
        inst.script = [&](const QByteArray &l) {
            return (l == "*IDN?" && ++n_idn == repondA) ? "GW,GDS-2062,EF1,V1.1\r\n" : QByteArray();
        };
        qputenv("ONDIVAR_PORTS", ("1=" + inst.slave).toLatin1());
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        n.session.reglages.avecTrace = true;
        n.ResetOscillo();
        QCOMPARE(constructeur, oGoodWill);
        n.session.SetTrace(false);
        QFile f(n.session.nomFichierLog());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QStringList lignes;
        for (const QByteArray &l : f.readAll().split('\n'))
            lignes << QString::fromLatin1(l).remove(QLatin1Char('\r'));
        const qsizetype marque = lignes.indexOf(QStringLiteral("22/11/2017"));
        QVERIFY(marque > 0);
        QCOMPARE(lignes.count(QStringLiteral("22/11/2017")), 1);
        // The port opening, the identification the first "*IDN?" gave (an empty line when
        // it went unanswered: the mark tells it from any other line), then the mark; the
        // retry's answer shows only through the maker that follows.
        QCOMPARE(marque, qsizetype(2));
        QVERIFY(lignes.at(0).startsWith(QStringLiteral("# ouverture de COM1")));
        QCOMPARE(lignes.at(1), repondA == 1 ? QStringLiteral("GW,GDS-2062,EF1,V1.1") : QString());
        QCOMPARE(lignes.mid(3, 3), (QStringList{"INSTEK", "GoodWill/Instek", "GDS2000"}));
        qunsetenv("ONDIVAR_PORTS");
    }
    // "Test" pressed again while the first detection waits for a slow instrument: the second
    // is refused and leaves the first one's port and result alone.
    void detectionPendantDetection()
    {
        InstrumentScripte inst;
        inst.script = [](const QByteArray &l) { return l == "*IDN?" ? idnAgilent + "\r\n" : QByteArray(); };
        qputenv("ONDIVAR_PORTS", ("1=" + inst.slave).toLatin1());
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        bool refusee = false, portOuvert = false, boutonsPendant = true;
        QTimer::singleShot(0, [&] {
            boutonsPendant = vue.detection;
            refusee = !n.ResetOscillo();
            portOuvert = n.session.VoieSerie.Open();
        });
        QVERIFY(n.ResetOscillo());
        QVERIFY(refusee);
        QVERIFY(portOuvert);
        QVERIFY(!boutonsPendant);   // "Voie série" and "Test" were off during the detection
        QVERIFY(vue.detection);
        QCOMPARE(constructeur, oAgilent);
        QVERIFY(n.session.VoieSerie.Open());
        QVERIFY(dialogue.messages.isEmpty());
        QCOMPARE(int(std::count(inst.recu.begin(), inst.recu.end(), QByteArray("*IDN?"))), 1);
        n.session.VoieSerie.setOpen(false);
        qunsetenv("ONDIVAR_PORTS");
    }
    void nonReconnu()
    {
        horlogeRapide();
        InstrumentScripte inst;
        inst.script = [](const QByteArray &l) { return l == "*IDN?" ? QByteArray("TEKTRONIX,TDS210\r\n") : QByteArray(); };
        qputenv("ONDIVAR_PORTS", ("1=" + inst.slave).toLatin1());
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        n.session.RechercheSerie();
        const QString msg = QStringLiteral("Oscillo non branché ou non reconnu ; cliquer sur \"Voie série\"");
        QCOMPARE(dialogue.messages, QStringList{msg});
        QCOMPARE(vue.titre, msg);
        QCOMPARE(constructeur, oNone);
        QVERIFY(!n.session.VoieSerie.Open());
        qunsetenv("ONDIVAR_PORTS");
    }
    void portTenu()
    {
        InstrumentScripte inst;
        qputenv("ONDIVAR_PORTS", ("1=" + inst.slave).toLatin1());
        const int fd = ::open(inst.slave.toLatin1().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        n.session.RechercheSerie();
        QCOMPARE(vue.titre, QStringLiteral("Problème voie série COM1"));
        QCOMPARE(dialogue.messages.size(), 1);
        QVERIFY(dialogue.messages[0].startsWith(QStringLiteral("Problème voie série COM1")));
        QVERIFY(!n.session.VoieSerie.Open());
        // The dialog's test says it the short way.
        QCOMPARE(TestVoieSerie(n.session.echange, 1, 9600), QStringLiteral("COM1 déjà ouvert"));
        QVERIFY(!n.session.VoieSerie.Open());
        ::close(fd);
        qunsetenv("ONDIVAR_PORTS");
    }
    void testVoie()
    {
        InstrumentScripte inst;
        qputenv("ONDIVAR_PORTS", ("4=" + inst.slave).toLatin1());
        TNoyauPrincipal n;
        horlogeRapide();
        QCOMPARE(TestVoieSerie(n.session.echange, 4, 38400), QStringLiteral("pas de réponse à *IDN?"));
        TickClock::setSource({});
        inst.script = [](const QByteArray &l) { return l == "*IDN?" ? idnAgilent + "\r\n" : QByteArray(); };
        QCOMPARE(TestVoieSerie(n.session.echange, 4, 38400), QString::fromLatin1(idnAgilent));
        // The port and speed of the test stay in effect; the port is closed.
        QCOMPARE(n.session.VoieSerie.ComNumber(), 4);
        QCOMPARE(n.session.VoieSerie.Baud(), 38400);
        QVERIFY(!n.session.VoieSerie.Open());
        qunsetenv("ONDIVAR_PORTS");
    }
    void permissionRefusee()
    {
        if (::geteuid() == 0)
            QSKIP("root opens every device");
        InstrumentScripte inst;
        qputenv("ONDIVAR_PORTS", ("1=" + inst.slave).toLatin1());
        QVERIFY(QFile::setPermissions(inst.slave, QFileDevice::Permissions()));
        TNoyauPrincipal n;
        VueEnregistree vue;
        n.setVue(&vue);
        QVERIFY(n.session.portPresent(1));
        n.session.RechercheSerie();
        QCOMPARE(dialogue.messages.size(), 1);
        QVERIFY(dialogue.messages[0].contains(QStringLiteral("dialout")));
        QVERIFY(TestVoieSerie(n.session.echange, 1, 19200).contains(QStringLiteral("dialout")));
        QFile::setPermissions(inst.slave, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        qunsetenv("ONDIVAR_PORTS");
    }

    // End to end with the simulated instruments.
    void simules_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<Tconstructeur>("maker");
        QTest::addColumn<Tconnect>("cnx");
        QTest::newRow("54622D") << QStringList{"--model", "54622D"} << oAgilent << cVect;
        QTest::newRow("54600A") << QStringList{"--model", "54600A"} << oHewlett << cNone;
        QTest::newRow("54645A reply after 4 s") << QStringList{"--model", "54645A", "--fault", "late=4000"} << oHewlett
                                                << cConn;
    }
    void simules()
    {
        QFETCH(QStringList, options);
        QProcess sim;
        sim.start(QStringLiteral(ONDIVAR_SIM_EXE), options);
        QVERIFY(sim.waitForStarted());
        QVERIFY(sim.waitForReadyRead(5000));
        const QByteArray ligne = sim.readLine().trimmed();
        QVERIFY(ligne.startsWith("PTY "));
        qputenv("ONDIVAR_PORTS", "1=" + ligne.mid(4));
        TNoyauPrincipal n;
        n.ResetOscillo();
        QTEST(constructeur, "maker");
        QTEST(n.session.connect, "cnx");
        QVERIFY(dialogue.messages.isEmpty());
        n.session.VoieSerie.setOpen(false);
        sim.kill();
        sim.waitForFinished();
        qunsetenv("ONDIVAR_PORTS");
    }
};

QTEST_GUILESS_MAIN(TestNoyau)
#include "tst_noyau.moc"
