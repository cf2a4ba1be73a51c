// The Rigol USB/VISA window against the simulated instruments on loopback TCP.
#include "drivers/pilotes.h"
#include "link/types.h"
#include "measure/unites.h"
#include "scope/fenetrerigol.h"
#include "instrument/session.h"
#include "simrigol_client.h"
#include "../scope/pixels.h"
#include "scope/zonecourbes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTimer>
#include <QtTest>

struct DialogueEnregistre : IDialogue {
    QStringList messages;
    bool reponse = false;
    bool confirm(const QString &m) override { messages << m; return reponse; }
    void inform(const QString &m) override { messages << m; }
};

class TestFenetreRigol : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    DialogueEnregistre dialogue;
    std::unique_ptr<TSessionInstrument> session;
    std::unique_ptr<SimRigol> sim;

    bool ouvre(const QStringList &args)
    {
        sim = std::make_unique<SimRigol>(args);
        if (!sim->ok())
            return false;
        qputenv("ONDIVAR_VISA", sim->ressource.toLatin1());
        QString ident;
        bool siglent = false;
        if (!RechercheRigolVisa(ident, siglent))
            return false;
        session->IdentiteScope = ident;
        constructeur = siglent ? oSiglent : oRigolVisa;
        return true;
    }

private slots:
    void initTestCase()
    {
        qputenv("ONDIVAR_CONFIG", dossier.filePath(QStringLiteral("Ondivar.ini")).toLocal8Bit());
        qputenv("ONDIVAR_USBTMC_DIR", dossier.filePath(QStringLiteral("sans-usb")).toLocal8Bit());
        setDialogue(&dialogue);
    }
    void cleanupTestCase() { setDialogue(nullptr); }
    void init()
    {
        CreePilotesRigol();
        session = std::make_unique<TSessionInstrument>();
        session->setSondePort([](int) { return false; });
        dialogue.messages.clear();
        dialogue.reponse = false;
    }
    void cleanup()
    {
        session.reset();
        LiberePilotesRigol();
        sim.reset();
    }

    void lectureEtVoieEteinte_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ch2");
        QTest::newRow("DS1000Z both channels") << QStringList{"--model", "DS1000Z"} << true;
        QTest::newRow("DS1000Z CH2 off") << QStringList{"--model", "DS1000Z", "--set2", "disp=0"} << false;
        QTest::newRow("Siglent") << QStringList{"--model", "SDS1000X-E"} << true;
    }
    void lectureEtVoieEteinte()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ch2);
        QVERIFY(ouvre(args));
        TOscilloRigolForm w;
        w.FormActivate();
        QCOMPARE(w.NbrePoints, 600);
        QVERIFY(!w.KorvalisBtn->isEnabled() && !w.SaveBtn->isEnabled());
        w.LireBtnClick();
        QCOMPARE(dialogue.messages, QStringList{});
        QVERIFY(w.AcqFaite && w.AcqAsauver);
        QVERIFY(w.activeA->isChecked());
        QCOMPARE(w.activeB->isChecked(), ch2);
        QVERIFY(w.NbrePointsLu > 0);
        QVERIFY(w.KorvalisBtn->isEnabled() && w.SaveBtn->isEnabled());
        // The table holds the active channels only.
        w.demandeNom = [this](const QStringList &, int &filtre) {
            filtre = 1;
            return dossier.filePath(QStringLiteral("essai"));
        };
        w.SaveBtnClick();
        QFile f(dossier.filePath(QStringLiteral("essai.TXT")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray texte = f.readAll();
        QVERIFY(texte.contains("VA"));
        QCOMPARE(texte.contains("VB"), ch2);
        QVERIFY(texte.contains('\t'));
        QVERIFY(!w.AcqAsauver);
        // Closing after a save does not ask.
        w.close();
        QCOMPARE(dialogue.messages, QStringList{});
    }

    void reduction_data()
    {
        QTest::addColumn<int>("lus");
        QTest::addColumn<int>("lignes");
        QTest::newRow("4096 read, 600 asked: step 6") << 4096 << 683;
        QTest::newRow("500 read, 600 asked: step 1") << 500 << 500;
    }
    void reduction()
    {
        QFETCH(int, lus);
        QVERIFY(ouvre({"--model", "DS1000Z", "--points", QString::number(lus), "--set2", "disp=0"}));
        QString ident;
        bool a1 = false, a2 = false;
        QCOMPARE(LectureRigol(*Rigol, {}, a1, a2), QString());
        QCOMPARE(Rigol->NbrePointsRigol, lus);
        const TEnregistrement e = EnregistrementRigol(*Rigol, lus, "VA", "Tension", "VB", "Tension");
        const TPage page = PageTransfertRigol(e, 600, false, QStringLiteral("Rigol"));
        QTEST(int(page.lignes.size()), "lignes");
    }

    void espaceEtFermeture()
    {
        QVERIFY(ouvre({"--model", "DS1000Z"}));
        TOscilloRigolForm w;
        w.show();
        w.FormActivate();
        QTest::keyClicks(w.EditNomA, QStringLiteral("x"));
        QCOMPARE(w.EditNomA->text(), QStringLiteral("VAx"));
        QTest::keyClick(w.EditNomA, Qt::Key_Space);
        QCOMPARE(w.EditNomA->text(), QStringLiteral("VAx"));   // the space started a read instead
        QVERIFY(w.AcqFaite && w.AcqAsauver);
        // An unsaved read asks "Sauvegarde" on closing; No keeps nothing.
        w.close();
        QCOMPARE(dialogue.messages, QStringList{QStringLiteral("Sauvegarde")});
        // Every activation goes back to the first count.
        w.NbreRG->button(3)->click();
        QCOMPARE(w.NbrePoints, 4096);
        w.FormActivate();
        QCOMPARE(w.NbrePoints, 600);
    }

    // Closing during a read waits for its end: no "Sauvegarde" over a half-read buffer, and
    // the window does not finish its read hidden.
    void fermeturependantLecture()
    {
        QVERIFY(ouvre({"--model", "DS1000Z"}));
        TOscilloRigolForm w;
        w.show();
        w.FormActivate();
        bool pendant = false, visiblePendant = false;
        QStringList messagesPendant;
        QTimer::singleShot(0, &w, [&] {
            pendant = w.lectureEnCours();
            w.close();
            visiblePendant = w.isVisible();
            messagesPendant = dialogue.messages;
        });
        w.LireBtnClick();
        QVERIFY(pendant);
        QVERIFY(visiblePendant);
        QCOMPARE(messagesPendant, QStringList{});
        QVERIFY(w.AcqFaite && w.NbrePointsLu > 0);
        QVERIFY(!w.isVisible());   // closed once the read was over
        QCOMPARE(dialogue.messages, QStringList{QStringLiteral("Sauvegarde")});
    }

    // After a read the drawing area shows the channels displayed on the instrument, higher
    // voltages higher up; a channel switched off is not drawn.
    void courbes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ch2");
        QTest::newRow("DS1000Z both channels") << QStringList{"--model", "DS1000Z"} << true;
        QTest::newRow("DS1000E CH2 off") << QStringList{"--model", "DS1000E", "--set2", "disp=0"} << false;
        QTest::newRow("Siglent") << QStringList{"--model", "SDS1000X-E"} << true;
    }
    void courbes()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ch2);
        QVERIFY(ouvre(args));
        TOscilloRigolForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TZoneCourbes &z = *w.ZoneCourbes;
        QVERIFY(z.width() >= 300 && z.height() >= 200);
        QImage avant = image(z);
        QVERIFY(!contientCouleur(avant, Bleu) && !contientCouleur(avant, Rouge));
        w.LireBtnClick();
        QCOMPARE(dialogue.messages, QStringList{});
        const int n = w.NbrePointsLu;
        QVERIFY(n > 100);
        const std::vector<qint32> v1 = EchantillonsRigol(*Rigol, 1, n);
        // The highest voltage is the highest sample.
        int iMax = 0;
        for (int i = 1; i < n; ++i)
            if (Rigol->getValeur(1, i) > Rigol->getValeur(1, iMax))
                iMax = i;
        QCOMPARE(*std::max_element(v1.begin(), v1.end()), v1[size_t(iMax)]);
        const QImage img = image(z);
        QCOMPARE(z.graphe().NbrePoints, n);
        QVERIFY(partTracee(z, img, v1.data(), n, std::max(n / 50, 1), Bleu) >= 0.8);
        if (ch2) {
            const std::vector<qint32> v2 = EchantillonsRigol(*Rigol, 2, n);
            QVERIFY(partTracee(z, img, v2.data(), n, std::max(n / 50, 1), Rouge) >= 0.95);
        } else {
            QVERIFY(!contientCouleur(img, Rouge));
        }
    }

    void modeDelayed()
    {
        QVERIFY(ouvre({"--model", "DS1000E"}));
        Rigol->Ecrit(":TIM:MODE DEL");
        bool a1 = false, a2 = false;
        const QString erreur = LectureRigol(*Rigol, {}, a1, a2);
        if (erreur.isEmpty())
            QSKIP("the simulator has no delayed time base");
        QCOMPARE(erreur, QStringLiteral("Acquisition impossible en mode delayed"));
    }
};

QTEST_MAIN(TestFenetreRigol)
#include "tst_fenetrerigol.moc"
