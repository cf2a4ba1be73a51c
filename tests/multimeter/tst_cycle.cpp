#include "multimeter/cycle.h"

#include "link/echange.h"
#include "link/parsenumber.h"
#include "link/portserie.h"

#include <QSocketNotifier>
#include <QtTest>
#include <cmath>
#include <fcntl.h>
#include <map>
#include <termios.h>
#include <unistd.h>

namespace {

// An instrument that notes every call and answers from a table (1 for what it does not know).
class TInstrumentFactice : public IInstrumentMesure {
public:
    void videEntree() override { journal << "vide"; }
    double GetFloat(const QByteArray &c) override { return reponse("GetFloat", c); }
    QByteArray GetString(const QByteArray &c) override
    {
        journal << "GetString " + c;
        if (!chaines.count(c))
            throw EserieError("Pas de réponse à : " + QString::fromLatin1(c));
        return chaines[c];
    }
    void EnvoieCommandeSimple(const QByteArray &c) override { journal << "Simple " + c; }
    void EnvoieCommandeRapide(const QByteArray &c) override
    {
        journal << "Rapide " + c;
        if (rapideEchoue)
            throw EserieError("Pas de réponse à " + QString::fromLatin1(c) + " au bout de 2 secondes");
    }
    double QueryFloat(const QByteArray &c) override { return reponse("QueryFloat", c); }
    double QueryFloatSiglent(const QByteArray &c) override { return reponse("QueryFloatSiglent", c); }
    void Ecrit(const QByteArray &c) override { journal << "Ecrit " + c; }
    void QueryWave(int voie) override
    {
        journal << "QueryWave " + QByteArray::number(voie);
        if (!erreurForme.isEmpty())
            throw EserieError(erreurForme);
    }
    double phase() override
    {
        journal << "phase";
        return phaseFormes;
    }
    void unLock() override { journal << "unLock"; }
    void pause(int ms) override { journal << "pause " + QByteArray::number(ms); }

    double reponse(const char *quoi, const QByteArray &c)
    {
        journal << QByteArray(quoi) + ' ' + c;
        auto it = valeurs.find(c);
        return it == valeurs.end() ? 1.0 : it->second;
    }

    QList<QByteArray> journal;
    std::map<QByteArray, double> valeurs;
    std::map<QByteArray, QByteArray> chaines;
    double phaseFormes = 45;
    QString erreurForme;
    bool rapideEchoue = false;
};

class TVueNotee : public IVueMultimetre {
public:
    void panneau(int n, const QString &t) override { panneaux[size_t(n)] = t; }
    void labelVoie(int i, const QString &t) override { labels[i] = t; }
    void hintVoie(int i, const QString &t) override { hints[i] = t; }
    void titreVoie(int i, const QString &t) override { titres[i] = t; }
    void erreurLecture(bool visible, const QString &t) override
    {
        erreurLectureVisible = visible;
        if (visible)
            erreurLectureTexte = t;
    }
    void erreurVisible(bool v) override { labelErreur = v; }
    void actions(const TEtatActions &e) override { etat = e; }
    void minuterie(bool actif, int ms) override { minuteries << (actif ? ms : 0); }
    void mesureCoche(bool c) override { coche = c; }
    void acqAutoVisible() override { acqAuto = true; }
    void repeint(bool immediat) override { repeints << immediat; }
    void message(const QString &t) override { messages << t; }
    void pompe() override
    {
        if (surPompe)
            surPompe();
    }

    std::array<QString, 5> panneaux;
    std::map<int, QString> labels, hints, titres;
    bool erreurLectureVisible = false;
    QString erreurLectureTexte;
    bool labelErreur = false;
    TEtatActions etat;
    QList<int> minuteries;
    bool coche = false;
    bool acqAuto = false;
    QList<bool> repeints;
    QStringList messages;
    std::function<void()> surPompe;
};

QList<QByteArray> apresVidage(QList<QByteArray> j)
{
    while (!j.isEmpty() && j.first() == "vide")
        j.removeFirst();
    return j;
}

} // namespace

class TestCycle : public QObject {
    Q_OBJECT

    std::unique_ptr<TInstrumentFactice> inst;
    std::unique_ptr<TVueNotee> vue;
    std::unique_ptr<TMultimetre> mm;

private slots:
    void init()
    {
        constructeur = oAgilent;
        QLocale::setDefault(QLocale::c());
        arretAcquisition = false;
        inst = std::make_unique<TInstrumentFactice>();
        vue = std::make_unique<TVueNotee>();
        mm = std::make_unique<TMultimetre>(*inst, vue.get());
        // Frequency 1 kHz in range, 1 V readings in range, phase 45.
        inst->valeurs[":MEAS:SOUR CHAN1;FREQ?"] = 1000;
        inst->valeurs[":MEAS:SOUR CHAN1;PHAS?"] = 45;
    }
    void cleanup()
    {
        mm.reset();
        vue.reset();
        inst.reset();
        constructeur = oNone;
        arretAcquisition = false;
    }

    void litNombreMesure_data()
    {
        QTest::addColumn<QByteArray>("reponse");
        QTest::addColumn<double>("valeur");
        QTest::newRow("bare") << QByteArray("1000") << 1000.0;
        QTest::newRow("scientific") << QByteArray("+1.000000E+03") << 1000.0;
        QTest::newRow("prefix and unit") << QByteArray("1.000kHz") << 1000.0;
        QTest::newRow("exponent and unit") << QByteArray("1.000E+03Hz") << 1000.0;
        QTest::newRow("prefix only") << QByteArray("1.000k") << 1000.0;
        QTest::newRow("millivolts") << QByteArray("20.0mV") << 0.02;
        QTest::newRow("micro as u") << QByteArray("2.5us") << 2.5e-6;
        QTest::newRow("space before unit") << QByteArray(" -45.0 ") << -45.0;
        QTest::newRow("percent") << QByteArray("50.0%") << 50.0;
        QTest::newRow("cannot measure") << QByteArray("9.9E+37") << NaN();
        QTest::newRow("text") << QByteArray("****") << NaN();
        QTest::newRow("empty") << QByteArray("") << NaN();
        QTest::newRow("two numbers") << QByteArray("1.5 2") << NaN();
    }
    void litNombreMesure()
    {
        QFETCH(QByteArray, reponse);
        QFETCH(double, valeur);
        const double v = LitNombreMesure(reponse);
        if (std::isnan(valeur))
            QVERIFY(std::isnan(v));
        else
            QCOMPARE(v, valeur);
    }

    // Default channels: f on CH1, Ve on CH1, Vs on CH2, phase on CH1.
    void commandesParConstructeur_data()
    {
        QTest::addColumn<int>("maker");
        QTest::addColumn<QList<QByteArray>>("commandes");
        QTest::newRow("Agilent") << int(oAgilent)
                                 << QList<QByteArray>{"GetFloat :TIM:RANG?", "GetFloat :CHAN1:RANG?",
                                                      "GetFloat :CHAN2:RANG?", "GetFloat :MEAS:SOUR CHAN1;FREQ?",
                                                      "GetFloat :MEAS:SOUR CHAN1;VRMS?",
                                                      "GetFloat :MEAS:SOUR CHAN2;VRMS?",
                                                      "GetFloat :MEAS:SOUR CHAN1;PHAS?"};
        QTest::newRow("Francaise d'Instrumentation")
            << int(oFI)
            << QList<QByteArray>{"GetFloat :TIM:RANG?", "GetFloat :CHAN1:RANG?", "GetFloat :CHAN2:RANG?",
                                 "GetFloat :MEAS:SOUR CHAN1;FREQ?", "GetFloat :MEAS:SOUR CHAN1;VRMS?",
                                 "GetFloat :MEAS:SOUR CHAN2;VRMS?", "GetFloat :MEAS:SOUR CHAN1;PHAS?"};
        QTest::newRow("Rigol serial") << int(oRigol)
                                      << QList<QByteArray>{"GetFloat :TIM:SCAL?", "GetFloat :CHAN1:SCAL?",
                                                           "GetFloat :CHAN2:SCAL?", "GetFloat :MEAS:FREQ? CHAN1",
                                                           "GetFloat :MEAS:VRMS? CHAN1", "GetFloat :MEAS:VRMS? CHAN2",
                                                           "Simple :KEY:LOCK DIS"};
        const QList<QByteArray> formes{"QueryWave 1", "pause 100", "QueryWave 2", "phase", "unLock"};
        QTest::newRow("Rigol USB") << int(oRigolUSB)
                                   << QList<QByteArray>{"QueryFloat :TIM:SCAL?", "QueryFloat :CHAN1:SCAL?",
                                                        "QueryFloat :CHAN2:SCAL?", "QueryFloat :MEAS:FREQ? CHAN1",
                                                        "QueryFloat :MEAS:VRMS? CHAN1",
                                                        "QueryFloat :MEAS:VRMS? CHAN2"} + formes;
        QTest::newRow("Rigol VISA") << int(oRigolVisa)
                                    << QList<QByteArray>{"QueryFloat :TIM:SCAL?", "QueryFloat :CHAN1:SCAL?",
                                                         "QueryFloat :CHAN2:SCAL?", "QueryFloat :MEAS:FREQ? CHAN1",
                                                         "QueryFloat :MEAS:VRMS? CHAN1",
                                                         "QueryFloat :MEAS:VRMS? CHAN2"} + formes;
        QTest::newRow("Siglent") << int(oSiglent)
                                 << QList<QByteArray>{"QueryFloatSiglent TDIV?", "QueryFloatSiglent C1:VDIV?",
                                                      "QueryFloatSiglent C2:VDIV?", "QueryFloatSiglent C1:PAVA? RMS",
                                                      "QueryFloatSiglent C1:PAVA? RMS",
                                                      "QueryFloatSiglent C2:PAVA? RMS"} + formes;
        QTest::newRow("GoodWill") << int(oGoodWill)
                                  << QList<QByteArray>{"GetFloat :TIM:RANG?", "GetFloat :CHAN1:RANG?",
                                                       "GetFloat :CHAN2:RANG?", "GetFloat :MEAS:SOURce1 CH1",
                                                       "GetFloat :MEAS:FREQ?", "GetFloat :MEAS:SOURce1 CH1",
                                                       "GetFloat :MEAS:RMS?", "GetFloat :MEAS:SOURce1 CH2",
                                                       "GetFloat :MEAS:RMS?", "GetFloat :MEAS:SOURce2 CH2",
                                                       "GetFloat :MEAS:SOURce1 CH1", "GetFloat :MEAS:PHAS?"};
    }
    void commandesParConstructeur()
    {
        QFETCH(int, maker);
        QFETCH(QList<QByteArray>, commandes);
        constructeur = Tconstructeur(maker);
        mm->LectureVoies();
        const bool serie = estSerie(constructeur);
        QCOMPARE(inst->journal.count("vide"), serie ? 1 : 0);
        QCOMPARE(apresVidage(inst->journal), commandes);
        QVERIFY(!mm->Graphe.ErreurLectureGlb);
        QCOMPARE(vue->labels[1], QString("Ve=1 V"));
        // A Rigol on the serial link has no phase measurement: it reads 0.
        QCOMPARE(mm->Graphe.voie[3].valeurCourante, constructeur == oRigol ? 0.0 : (maker == oGoodWill ? 1.0 : 45.0));
    }

    void lectureEchouee_data()
    {
        QTest::addColumn<QByteArray>("commande");
        QTest::addColumn<int>("voie");
        QTest::addColumn<int>("panneau");
        QTest::addColumn<QString>("texte");
        QTest::newRow("frequency") << QByteArray(":MEAS:SOUR CHAN1;FREQ?") << 0 << 0 << "Moins de deux périodes ?";
        QTest::newRow("voltage on CH2") << QByteArray(":MEAS:SOUR CHAN2;VRMS?") << 2 << 2 << "CH2 saturée ?";
        QTest::newRow("phase") << QByteArray(":MEAS:SOUR CHAN1;PHAS?") << 3 << 0 << "Moins de deux périodes ?";
    }
    void lectureEchouee()
    {
        QFETCH(QByteArray, commande);
        QFETCH(int, voie);
        QFETCH(int, panneau);
        QFETCH(QString, texte);
        mm->Graphe.DerniereVoie = 3;
        mm->LectureVoies();   // a first good cycle: the point is recorded (MesureCB unchecked)
        QCOMPARE(mm->Graphe.NbrePoints, 1);
        const double avant = mm->Graphe.voie[size_t(voie)].valeurCourante;
        vue->labels.clear();
        inst->journal.clear();
        inst->valeurs[commande] = NaN();

        mm->LectureVoies();
        const Tvoie &v = mm->Graphe.voie[size_t(voie)];
        QCOMPARE(vue->labels[voie], v.Nom + "=???");
        QCOMPARE(vue->panneaux[size_t(panneau)], texte);
        QCOMPARE(vue->hints[voie], texte);
        QCOMPARE(vue->panneaux[4], QString("Erreur sur une mesure => point non acquis"));
        QVERIFY(vue->labelErreur);
        QVERIFY(vue->etat.stop);
        QVERIFY(v.erreurLecture);
        QCOMPARE(v.valeurCourante, avant);   // the previous reading again
        QCOMPARE(mm->Graphe.NbrePoints, 1);  // no point
        for (int j = voie + 1; j <= 3; ++j)
            QVERIFY(!vue->labels.count(j));   // later channels untouched, not read
        QCOMPARE(inst->journal.last(), QByteArray("GetFloat ") + commande);
    }

    void elargissement_data()
    {
        QTest::addColumn<int>("voie");
        QTest::addColumn<double>("maxi");
        QTest::addColumn<double>("lecture");
        QTest::addColumn<double>("mini2");
        QTest::addColumn<double>("maxi2");
        QTest::addColumn<QString>("titre");
        QTest::newRow("12.3 kHz") << 0 << 10000.0 << 12300.0 << 100.0 << 20000.0 << "CH1 100 Hz..20 kHz";
        QTest::newRow("37 Hz") << 0 << 10000.0 << 37.0 << 30.0 << 10000.0 << "CH1 30 Hz..10 kHz";
        QTest::newRow("0.3 Hz") << 0 << 10000.0 << 0.3 << 0.3 << 10000.0 << "CH1 300 mHz..10 kHz";
        QTest::newRow("3.7 V") << 1 << 2.0 << 3.7 << 0.0 << 4.0 << "CH1 efficace +4 V";
        QTest::newRow("phase 120") << 3 << 90.0 << 120.0 << -180.0 << 200.0 << "CH1 phase(1,2) \u00B1200.0 \u00B0";
        QTest::newRow("in range") << 1 << 5.0 << 3.7 << 0.0 << 5.0 << "";
    }
    void elargissement()
    {
        QFETCH(int, voie);
        QFETCH(double, maxi);
        QFETCH(double, lecture);
        QFETCH(double, mini2);
        QFETCH(double, maxi2);
        QFETCH(QString, titre);
        Tvoie &v = mm->Graphe.voie[size_t(voie)];
        v.maxi = maxi;
        const QByteArray commandes[] = {":MEAS:SOUR CHAN1;FREQ?", ":MEAS:SOUR CHAN1;VRMS?", "", ":MEAS:SOUR CHAN1;PHAS?"};
        inst->valeurs[commandes[voie]] = lecture;
        mm->LectureVoies();
        QCOMPARE(v.mini, mini2);
        QCOMPARE(v.maxi, maxi2);
        QCOMPARE(vue->titres.count(voie) ? vue->titres[voie] : QString(), titre);
        QCOMPARE(vue->repeints.size(), titre.isEmpty() ? 0 : 1);
    }

    void incertitudes()
    {
        inst->valeurs[":TIM:RANG?"] = 0.01;
        inst->valeurs[":CHAN2:RANG?"] = 8;
        mm->LectureVoies();
        QCOMPARE(baseDeTemps, 0.01);
        QCOMPARE(calibreVoie[2], 8.0);
        QCOMPARE(frequenceCourante, 1000.0);
        QCOMPARE(mm->Graphe.voie[0].incertitudeCourante, 0.1 + 1e6 * 0.01 / 2048);
        QCOMPARE(mm->Graphe.voie[2].incertitudeCourante, 0.0078125);
        QVERIFY(mm->Graphe.voie[5].valeurCourante >= 0);
    }

    void stopPendantLesCalibres()
    {
        constructeur = oRigol;
        vue->surPompe = [] { arretAcquisition = true; };
        mm->LectureVoies();
        QCOMPARE(apresVidage(inst->journal),
                 (QList<QByteArray>{"GetFloat :TIM:SCAL?", "GetFloat :CHAN1:SCAL?", "GetFloat :CHAN2:SCAL?",
                                    "Simple :KEY:LOCK DIS"}));
        QVERIFY(vue->labels.empty());
        QCOMPARE(mm->Graphe.NbrePoints, 0);
    }

    void stopApresUneVoie()
    {
        int pompes = 0;
        vue->surPompe = [&] { arretAcquisition = ++pompes == 2; };
        mm->LectureVoies();
        QCOMPARE(vue->labels.size(), size_t(1));
        QCOMPARE(inst->journal.last(), QByteArray("GetFloat :MEAS:SOUR CHAN1;FREQ?"));
        QCOMPARE(mm->Graphe.NbrePoints, 0);
    }

    void acquisitionAutomatique()
    {
        mm->setAcqAutoCB(true);
        QVERIFY(mm->MesureCB);   // forced checked
        QVERIFY(vue->coche);
        QVERIFY(vue->etat.startVisible && !vue->etat.stopVisible);
        mm->StartBtnClick();
        QVERIFY(mm->Graphe.acqAutoEnCours);
        QVERIFY(!vue->etat.startVisible && vue->etat.stopVisible);
        mm->Graphe.NbrePoints = 255;
        mm->TimerTimer();   // first reading: no old value, recorded all the same
        QCOMPARE(mm->Graphe.NbrePoints, 256);
        QVERIFY(!vue->etat.enregistre);
        mm->TimerTimer();
        QCOMPARE(mm->Graphe.NbrePoints, 256);
        // The readings go on being refreshed.
        QCOMPARE(vue->minuteries.last(), 1000);
        mm->StopBtnClick();
        QVERIFY(!mm->Graphe.acqAutoEnCours);
        mm->setAcqAutoCB(false);
        QVERIFY(!vue->etat.startVisible && !vue->etat.stopVisible);
    }

    void chaineDuTimer()
    {
        mm->setMesureCB(true);
        QVERIFY(arretAcquisition);
        vue->minuteries.clear();
        mm->TimerTimer();
        // Off at the start of the cycle, on again only at its end.
        QCOMPARE(vue->minuteries.first(), 0);
        QCOMPARE(vue->minuteries.last(), 1000);
        QVERIFY(!vue->minuteries.mid(0, vue->minuteries.size() - 2).contains(1000));
        // Continuous update records nothing by itself: the space bar does.
        QCOMPARE(mm->Graphe.NbrePoints, 0);
        mm->TimerTimer();   // a second reading, equal: stable
        QVERIFY(mm->ToucheEspace());
        QCOMPARE(mm->Graphe.NbrePoints, 1);

        mm->setMesureCB(false);
        vue->minuteries.clear();
        mm->LectureVoies();
        QCOMPARE(vue->minuteries.last(), 0);
        QCOMPARE(mm->Graphe.NbrePoints, 2);   // unchecked: the cycle records its point
    }

    void premiereLectureInstable()
    {
        mm->setMesureCB(true);
        mm->TimerTimer();
        QVERIFY(mm->ToucheEspace());   // oldValeur is NaN after the first reading
        QCOMPARE(mm->Graphe.NbrePoints, 0);
        QVERIFY(vue->erreurLectureVisible);
        QCOMPARE(vue->erreurLectureTexte, QString("Données instables (cf Avg)"));
        mm->TimerTimer();   // the next cycle hides it
        QVERIFY(!vue->erreurLectureVisible);
    }

    void majActions_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("enregistre");
        QTest::addColumn<bool>("undo");
        QTest::addColumn<bool>("korvalis");
        QTest::newRow("0") << 0 << true << false << false;
        QTest::newRow("3") << 3 << true << true << false;
        QTest::newRow("4") << 4 << true << true << true;
        QTest::newRow("256") << 256 << false << true << true;
    }
    void majActions()
    {
        QFETCH(int, points);
        QFETCH(bool, enregistre);
        QFETCH(bool, undo);
        QFETCH(bool, korvalis);
        mm->Graphe.NbrePoints = points;
        mm->MesureCB = true;
        mm->MajActions();
        QCOMPARE(vue->etat.enregistre, enregistre);
        QCOMPARE(vue->etat.undo, undo);
        QCOMPARE(vue->etat.reset, undo);
        QCOMPARE(vue->etat.korvalis, korvalis);
        QCOMPARE(vue->minuteries.last(), points < 256 ? 1000 : 0);
        QCOMPARE(mm->ToucheEspace(), enregistre);
    }

    void touches()
    {
        QVERIFY(mm->FormShortCut(Qt::Key_F8));
        QVERIFY(vue->acqAuto);
        QVERIFY(!mm->FormShortCut(Qt::Key_F7));
    }

    void erreurDeLiaison()
    {
        constructeur = oRigolUSB;
        inst->erreurForme = "Pas de données de CH1";
        mm->setMesureCB(true);
        mm->TimerTimer();
        QCOMPARE(vue->panneaux[4], QString("Arrêt après attente d'une seconde : Pas de données de CH1"));
        QVERIFY(!mm->MesureCB);
        QVERIFY(!vue->coche);
        QVERIFY(vue->labelErreur);
        QVERIFY(vue->etat.stop);
        QVERIFY(mm->Graphe.ErreurLectureGlb);
        QCOMPARE(vue->repeints, QList<bool>{true});
        QCOMPARE(inst->journal.last(), QByteArray("unLock"));
        QCOMPARE(vue->minuteries.last(), 0);
    }

    void stopAction()
    {
        mm->setMesureCB(true);
        inst->rapideEchoue = true;
        mm->StopActionExec();
        QVERIFY(arretAcquisition);
        QVERIFY(!mm->MesureCB);
        QVERIFY(!vue->etat.stop);
        QCOMPARE(inst->journal.last(), QByteArray("Rapide *RST"));
        QCOMPARE(vue->messages, QStringList{"Pas de réponse à *RST au bout de 2 secondes"});
    }

    void sondes_data()
    {
        QTest::addColumn<int>("maker");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("Agilent") << int(oAgilent) << QStringList{"Vérifier coeff. de sonde (PROB) sur voie2"};
        QTest::newRow("Hewlett-Packard") << int(oHewlett)
                                         << QStringList{"Vérifier coeff. de sonde (PROB) X10 sur voie1"};
        QTest::newRow("Rigol: no check") << int(oRigol) << QStringList();
    }
    void sondes()
    {
        QFETCH(int, maker);
        QFETCH(QStringList, messages);
        constructeur = Tconstructeur(maker);
        inst->valeurs[":CHAN1:PROB?"] = 1.0;
        inst->valeurs[":CHAN2:PROB?"] = 10.0;
        inst->chaines[":CHAN1:PROB?"] = "X10";   // CH2 does not answer: the check ends silently
        mm->VerifieSondes();
        QCOMPARE(vue->messages, messages);
    }

    // Through the program's exchange on a pseudo-terminal: replies with their unit.
    void parLaLiaisonSerie()
    {
        const int maitre = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(maitre >= 0);
        grantpt(maitre);
        unlockpt(maitre);
        termios t;
        tcgetattr(maitre, &t);
        cfmakeraw(&t);
        tcsetattr(maitre, TCSANOW, &t);
        fcntl(maitre, F_SETFL, O_NONBLOCK);
        qputenv("ONDIVAR_PORTS", QByteArray("1=") + ptsname(maitre));
        const std::map<QByteArray, QByteArray> reponses{
            {":TIM:RANG?", "1.000E-02"}, {":CHAN1:RANG?", "4.000V"}, {":CHAN2:RANG?", "8.000V"},
            {":MEAS:SOUR CHAN1;FREQ?", "1.000kHz"}, {":MEAS:SOUR CHAN1;VRMS?", "707.1mV"},
            {":MEAS:SOUR CHAN2;VRMS?", "+3.54E-01"}, {":MEAS:SOUR CHAN1;PHAS?", "-45.0"}};
        QByteArray recu;
        QList<QByteArray> entendues;
        QSocketNotifier notif(maitre, QSocketNotifier::Read);
        connect(&notif, &QSocketNotifier::activated, [&] {
            char buf[256];
            ssize_t n;
            while ((n = ::read(maitre, buf, sizeof buf)) > 0)
                recu.append(buf, n);
            qsizetype fin;
            while ((fin = recu.indexOf('\n')) >= 0) {
                const QByteArray ligne = recu.left(fin);
                recu.remove(0, fin + 1);
                entendues << ligne;
                auto it = reponses.find(ligne);
                if (it != reponses.end()) {
                    const QByteArray r = it->second + "\r\n";
                    QVERIFY(::write(maitre, r.constData(), size_t(r.size())) == r.size());
                }
            }
        });
        {
            TPortSerie port;
            port.setComNumber(1);
            port.setOpen(true);
            TEchange echange(port);
            TInstrumentMesure instrument(&echange, nullptr);
            TMultimetre m(instrument, vue.get());
            m.LectureVoies();
            QVERIFY(!m.Graphe.ErreurLectureGlb);
            QCOMPARE(m.Graphe.voie[0].valeurCourante, 1000.0);
            QCOMPARE(m.Graphe.voie[1].valeurCourante, 0.7071);
            QCOMPARE(m.Graphe.voie[2].valeurCourante, 0.354);
            QCOMPARE(m.Graphe.voie[3].valeurCourante, -45.0);
            QCOMPARE(calibreVoie[1], 4.0);
            QCOMPARE(vue->labels[0], QString("f=1 kHz"));
            QCOMPARE(m.Graphe.NbrePoints, 1);
        }
        QCOMPARE(entendues.size(), 7);
        ::close(maitre);
    }
};

QTEST_MAIN(TestCycle)
#include "tst_cycle.moc"
