// The Bode window and its gain and phase dialog, offscreen: the buttons as points are
// recorded, the dialog's limits, the close query, the settings file, and the whole road
// through a simulated GoodWill/Instek and the Korvalis stand-in.
#include "../scope/bancosc.h"
#include "../generator/bancbalayage.h"
#include "../generator/dialoguebalayage.h"
#include "bode/fenetrebode.h"
#include "bode/graphebode.h"
#include "bode/reglagesbode.h"
#include "bode/voiebodedlg.h"
#include "generator/reglagesbalayage.h"
#include "export/constantedlg.h"
#include "export/groupechoix.h"
#include "instrument/session.h"
#include "measure/floatedit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <cmath>

namespace {

void pointCourant(TBodeForm &w, double f, double g, double p)
{
    w.Graphe.voie[VoieFrequence].valeurCourante = f;
    w.Graphe.voie[VoieGain].valeurCourante = g;
    w.Graphe.voie[VoiePhase].valeurCourante = p;
}

// Records n points without measuring (the continuous timer runs, so no measurement starts).
void enregistre(TBodeForm &w, int n)
{
    w.Timer1->start();
    for (int i = 0; i < n; ++i) {
        pointCourant(w, 100 + i, 1, -45);
        w.EnregistreBtnClick();
    }
    w.Timer1->stop();
}

// The dialog of the "Balayage" button filled in and accepted (any other dialog refused).
std::function<int(QDialog *)> balayage(const QString &ressource, const QString &debut, const QString &fin, int parDecade)
{
    return [=](QDialog *d) {
        auto *b = qobject_cast<TBalayageDlg *>(d);
        return b ? AccepteBalayage(*b, ressource, debut, fin, parDecade) : int(QDialog::Rejected);
    };
}

QProgressBar *barre(TBodeForm &w) { return w.findChild<QProgressBar *>(QStringLiteral("BalayageBarre")); }

const QStringList BancGenerateur{"--model", "GDS-1102", "--filtre", "1000", "--generateur", "scpi", "--generateur-tcp", "0"};

} // namespace

class TestFenetreBode : public QObject {
    Q_OBJECT
    TDialogueNote note;
    std::unique_ptr<TBancOsc> banc;
    std::unique_ptr<TSessionInstrument> session;

private slots:
    void init()
    {
        banc = std::make_unique<TBancOsc>();
        session = std::make_unique<TSessionInstrument>();
        note = TDialogueNote();
        setDialogue(&note);
        constructeur = oNone;
        modeleGDS = 0;
        angleEnDegre = true;
        RetablitCouleursVoies();
    }
    void cleanup()
    {
        setDialogue(nullptr);
        session.reset();
        banc.reset();
        constructeur = oNone;
        angleEnDegre = true;
        RetablitCouleursVoies();
    }

    void boutons()
    {
        TBodeForm w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Acquisition : Bode avec oscilloscope Sefram 5150"));
        QVERIFY(w.PanelErreur->isHidden());
        auto visibles = [&] {
            return QList<bool>{!w.UndoBtn->isHidden(), !w.ResetDataBtn->isHidden(), !w.AddDataBtn->isHidden(),
                               !w.RegSaveBtn->isHidden()};
        };
        QCOMPARE(visibles(), (QList<bool>{false, false, false, false}));
        enregistre(w, 1);
        QCOMPARE(visibles(), (QList<bool>{true, true, false, false}));
        enregistre(w, 1);
        QCOMPARE(visibles(), (QList<bool>{true, true, true, false}));
        enregistre(w, 2);
        QCOMPARE(visibles(), (QList<bool>{true, true, true, true}));
        w.UndoBtnClick();
        QCOMPARE(w.Graphe.NbrePoints, 3);
        QVERIFY(w.RegSaveBtn->isHidden());
        // Reset asks first; No keeps the points.
        w.ResetDataBtnClick();
        QCOMPARE(note.questions, QStringList{QStringLiteral("Suppression des données courantes")});
        QCOMPARE(w.Graphe.NbrePoints, 3);
        note.reponse = true;
        w.ResetDataBtnClick();
        QCOMPARE(w.Graphe.NbrePoints, 0);
        QCOMPARE(visibles(), (QList<bool>{false, false, false, false}));
    }

    // With 255 points one more record disables the button, and the space bar then does nothing.
    void pleinAvecBarreEspace()
    {
        TBodeForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        enregistre(w, 255);
        QVERIFY(w.EnregistreBtn->isEnabled());
        w.Timer1->start();
        pointCourant(w, 5000, 0.5, -60);
        QTest::keyClick(static_cast<QWidget *>(w.EditMini), Qt::Key_Space);   // the window sees it before the edit
        QCOMPARE(w.Graphe.NbrePoints, 256);
        QCOMPARE(w.Graphe.voie[VoieFrequence].valeur[255], 5000.0);
        QVERIFY(!w.EnregistreBtn->isEnabled());
        QTest::keyClick(&w, Qt::Key_Space);
        w.EnregistreBtnClick();
        QCOMPARE(w.Graphe.NbrePoints, 256);
        w.Timer1->stop();
    }

    void dialogueLineaire()
    {
        TBodeForm w;
        Tvoie &g = w.Graphe.voie[VoieGain];
        g.AxedB = false;
        g.mini = 0;
        g.maxi = 5;
        TVoieBodeDlg d(w.Graphe);
        d.FormActivate();
        QCOMPARE(d.windowTitle(), QStringLiteral("Configuration du gain et de la phase"));
        QCOMPARE(d.EditMinidB->text(), QStringLiteral("-20 dB"));
        QCOMPARE(g.mini, 0.1);
        QVERIFY(!d.decibelCB->isChecked());
        QCOMPARE(d.pages->currentIndex(), 1);
        d.EditMaxi->setText(QStringLiteral("2,5"));
        d.DegreRG->setItemIndex(0);
        d.CouleurGain->setCurrentIndex(d.CouleurGain->findText(QStringLiteral("Bleu")));
        d.ActiveBtnClick();
        QCOMPARE(g.mini, 0.0);
        QCOMPARE(g.maxi, 2.5);
        QCOMPARE(CouleurVoie[VoieGain], QColor(0, 0, 255));
        QVERIFY(!angleEnDegre);
        QCOMPARE(w.Graphe.voie[VoiePhase].Unite, QStringLiteral("rad"));
        QCOMPARE(w.Graphe.voie[VoiePhase].maxi, 3.16);
        // A maximum that is not a number leaves it as it was (opening the dialog brought it
        // to a whole number of decibels).
        d.FormActivate();
        const double avant = g.maxi;
        QCOMPARE(avant, std::pow(10.0, 8 / 20.0));
        d.EditMaxi->setText(QStringLiteral("abc"));
        d.ActiveBtnClick();
        QCOMPARE(g.maxi, avant);
    }

    void dialogueDecibel()
    {
        TBodeForm w;
        Tvoie &g = w.Graphe.voie[VoieGain];
        g.AxedB = true;
        g.mini = 0.1;
        g.maxi = 10;
        TVoieBodeDlg d(w.Graphe);
        d.FormActivate();
        QCOMPARE(d.EditMaxidb->text(), QStringLiteral("20dB"));
        QCOMPARE(d.EditMinidB->text(), QStringLiteral("-20dB"));
        QCOMPARE(d.pages->currentIndex(), 0);
        d.MaxiSpinHaut->click();
        QCOMPARE(d.EditMaxidb->text(), QStringLiteral("30dB"));
        QCOMPARE(g.maxi, std::pow(10.0, 1.5));
        // Refused: the limit stays and the box says why.
        g.mini = g.maxi / 5;
        const double mini = g.mini;
        d.MiniSpinHaut->click();
        QCOMPARE(note.messages, QStringList{QStringLiteral("Mini trop proche du maxi")});
        QCOMPARE(g.mini, mini);
    }

    void fermeture()
    {
        QPointer<TBodeForm> w = new TBodeForm;
        w->show();
        enregistre(*w, 1);
        QVERIFY(!w->close());
        QCOMPARE(note.questions, QStringList{QStringLiteral("Abandon")});
        QVERIFY(w);
        note.reponse = true;
        QVERIFY(w->close());
        QTRY_VERIFY(!w);
    }

    // Read at creation whatever the keys' case, written back at destruction with their names.
    void reglages()
    {
        const QString fichier = FichierReglagesBode();
        QVERIFY(fichier.startsWith(banc->dossier.path()));
        {
            QFile f(fichier);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[CONSTANTE]\r\nnom=C\r\n[bode]\r\nmaxif=50000\r\nLOGX=1\r\nref=2\r\ncouleurp=16711680\r\nlogy=0\r\n");
        }
        {
            TBodeForm w;
            QCOMPARE(w.Graphe.voie[VoieFrequence].maxi, 50000.0);
            QVERIFY(w.Graphe.voie[VoieFrequence].AxeLog);
            QVERIFY(!w.logCB->isChecked());
            QVERIFY(!w.Graphe.voie[VoieGain].AxedB);
            QCOMPARE(w.NumVoieRG->itemIndex(), 1);
            QCOMPARE(CouleurVoie[VoiePhase], QColor(0, 0, 255));
            QCOMPARE(w.pageDlg()->NomConstEdit->text(), QStringLiteral("C"));
            w.Graphe.voie[VoieFrequence].mini = 20;
        }
        QFile f(fichier);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString t = QString::fromLatin1(f.readAll());
        QVERIFY2(t.contains(QStringLiteral("[bode]\r\nMaxiF=50000\r\nMiniF=20\r\nLogX=1\r\nMaxiGain=10\r\nMiniGain=0.1\r\n"
                                           "couleurG=255\r\nlogY=0\r\ncouleurP=16711680\r\nDegre=1\r\nMaxiPhase=180\r\n"
                                           "MiniPhase=-180\r\nRef=2\r\n")),
                 qPrintable(t));
        QVERIFY(t.startsWith(QStringLiteral("[CONSTANTE]\r\nnom=C\r\n")));
    }

    // The road of a user: detection, the space bar measures and records, the results shown,
    // then "Ajouter" and "Korvalis" hand the points over.
    void mesureEtEnvoi()
    {
        QVERIFY(banc->demarreSim({"--model", "GDS-1102", "--filtre", "1000", "--ch1", "sine,1,1000,0,0", "--autoset"}));
        QVERIFY(banc->demarreStub());
        session->Detecte();
        QCOMPARE(constructeur, oGoodWill);
        TBodeForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_Space);
        QVERIFY2(note.messages.isEmpty(), qPrintable(note.messages.join('|')));
        QVERIFY2(w.PanelErreur->isHidden(), qPrintable(w.PanelErreur->text()));
        QCOMPARE(w.Graphe.NbrePoints, 1);
        QVERIFY(std::fabs(w.Graphe.voie[VoieGain].valeur[0] - M_SQRT1_2) < 0.01);
        QVERIFY(std::fabs(w.Graphe.voie[VoiePhase].valeur[0] + 45) < 1);
        QVERIFY(w.pointCourant());
        QVERIFY2(w.LabelGain->text().startsWith(QStringLiteral("G=-3")), qPrintable(w.LabelGain->text()));
        QVERIFY2(w.Label1->text().endsWith(QStringLiteral(" mV")), qPrintable(w.Label1->text()));
        QVERIFY(w.StopBtn->isHidden() || !w.StopBtn->isEnabled());
        w.EnregistreBtnClick();
        QCOMPARE(w.Graphe.NbrePoints, 2);

        w.AddDataBtn->click();
        QCOMPARE(banc->enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|PLUS"));
        QCOMPARE(QString::fromUtf8(banc->enregistre(QStringLiteral("presse-papiers-001.txt"))), TexteAjoutBode(w.Graphe));

        enregistre(w, 2);
        w.executeDialogue = [](QDialog *d) {
            auto *p = qobject_cast<TConstanteDlg *>(d);
            if (!p)
                return int(QDialog::Rejected);
            p->FormShow();
            p->setChoix(0);
            p->EditComm->setText(QStringLiteral("filtre RC"));
            return int(QDialog::Accepted);
        };
        w.RegSaveBtn->click();
        QCOMPARE(banc->enregistre(QStringLiteral("macro-002.txt")), QByteArray("CLIP|LOAD"));
        const QString texte = QString::fromUtf8(banc->enregistre(QStringLiteral("presse-papiers-002.txt")));
        QVERIFY2(texte.contains(QStringLiteral("\r\nDiagramme de Bode avec GW,GDS-1102")), qPrintable(texte));
        QVERIFY(texte.contains(QStringLiteral("\r\nfiltre RC\r\nf\tG\t\u2026\tGdB\t\r\n")));
        // The choice goes back to "Nouvelle page".
        QCOMPARE(w.pageDlg()->choix(), 1);
        session->VoieSerie.setOpen(false);
    }

    // A switched-off channel: the strip tells it, the point recorded keeps the last values.
    void voieEteinte()
    {
        QVERIFY(banc->demarreSim({"--model", "FI3104", "--init", ":CHAN2:DISP OFF"}));
        session->Detecte();
        QCOMPARE(constructeur, oFI);
        TBodeForm w;
        pointCourant(w, 1000, 2, 10);
        w.EnregistreBtnClick();
        QVERIFY(!w.PanelErreur->isHidden());
        QCOMPARE(w.PanelErreur->text(), QStringLiteral("Deux voies actives nécessaires pour mesurer gain/phase"));
        QCOMPARE(w.Graphe.NbrePoints, 1);
        QCOMPARE(w.Graphe.voie[VoieGain].valeur[0], 2.0);
        session->VoieSerie.setOpen(false);
    }

    // During a read: a second record is refused, Stop ends the read, and the reset goes to
    // the instrument once the read has let go of the line.
    void stopPendantLaLecture()
    {
        const QString journal = banc->chemin(QStringLiteral("echo.txt"));
        QVERIFY(banc->demarreSim({"--model", "GDS-1102", "--filtre", "1000", "--ch1", "sine,1,1000,0,0", "--autoset",
                                  "--echo-log", journal, "--baud", "9600"}));
        session->Detecte();
        TBodeForm w;
        int pointsPendant = -1;
        w.surPompe = [&] {
            if (w.StopBtn->isEnabled() && pointsPendant < 0) {
                w.EnregistreBtnClick();
                pointsPendant = w.Graphe.NbrePoints;
                w.StopBtnClick();
            }
        };
        w.EnregistreBtnClick();
        QCOMPARE(pointsPendant, 0);
        QCOMPARE(w.Graphe.NbrePoints, 1);
        QCOMPARE(note.messages, QStringList{QStringLiteral("Acquisition de CH1 non effectuée par l'ordinateur")});
        // The simulator notes the reset once it has sent the rest of the block.
        QByteArray heard;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     QFile f(journal);
                                     heard = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                                     return heard.contains("*RST");
                                 }()),
                                 5000);
        QVERIFY2(heard.indexOf(":ACQ1:MEM") >= 0 && heard.indexOf("*RST") > heard.indexOf(":ACQ1:MEM"), heard.constData());
        QVERIFY(!heard.contains(":ACQ2:MEM"));
        session->VoieSerie.setOpen(false);
    }

    // The continuous mode: On/Off down measures at once, a failed read releases it.
    void continu()
    {
        QVERIFY(banc->demarreSim({"--model", "GDS-1102", "--filtre", "1000", "--ch1", "sine,1,1000,0,0", "--autoset"}));
        session->Detecte();
        TBodeForm w;
        w.ContinuBtn->click();
        QVERIFY(w.ContinuBtn->isChecked());
        QVERIFY(w.pointCourant());
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Graphe.NbrePoints, 0);
        w.StopBtnClick();
        QVERIFY(!w.ContinuBtn->isChecked());
        QVERIFY(!w.Timer1->isActive());
        session->VoieSerie.setOpen(false);
    }

    // "Balayage": the graph grows point by point with the filter's gain and phase while the
    // other buttons wait and Stop is on; then the points are the window's and the settings
    // keep the dialog's values.
    void balayageFiltre()
    {
        QVERIFY(banc->demarreSimGenerateur(BancGenerateur));
        session->Detecte();
        QCOMPARE(constructeur, oGoodWill);
        TBodeForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.BarreEtat->isHidden());
        w.executeDialogue = balayage(banc->generateur, "300", "3 kHz", 3);   // 300, 646, 1392, 3000 Hz
        QList<int> vus;
        QStringList pendant;
        w.surPompe = [&] {
            if (vus.isEmpty() || vus.last() != w.Graphe.NbrePoints)
                vus << w.Graphe.NbrePoints;
            if (w.EnregistreBtn->isEnabled() || !w.StopBtn->isEnabled() || w.BalayageBtn->isEnabled()
                || w.ContinuBtn->isEnabled() || !barre(w)->isVisible() || w.BarreEtat->isHidden())
                pendant << barre(w)->text();
        };
        w.BalayageBtn->click();
        QVERIFY2(note.messages.isEmpty(), qPrintable(note.messages.join('|')));
        QCOMPARE(vus, (QList<int>{0, 1, 2, 3}));
        QVERIFY2(pendant.isEmpty(), qPrintable(pendant.join('|')));
        QCOMPARE(w.Graphe.NbrePoints, 4);
        std::vector<TPointFiltre> pts;
        for (int i = 0; i < w.Graphe.NbrePoints; ++i)
            pts.push_back({w.Graphe.voie[VoieFrequence].valeur[size_t(i)], w.Graphe.voie[VoieGain].valeur[size_t(i)],
                           w.Graphe.voie[VoiePhase].valeur[size_t(i)]});
        // The phase's resolution: 3/4 of a sample of the 500 over the 20 divisions set.
        VerifieFiltre(pts, 3, [](double f) { return 1.0 + 0.75 * 360 * f * DeltatTempsParDivision(BaseDeTempsPour(f, 20, 2.2)); });
        QVERIFY(std::fabs(pts.back().f / 3000 - 1) < 0.01);
        QCOMPARE(w.LabelEtat->text(), QStringLiteral("Balayage terminé (4 points enregistrés)"));
        QVERIFY(!w.BarreEtat->isHidden());
        QVERIFY(barre(w)->isHidden());
        QVERIFY(w.EnregistreBtn->isEnabled() && w.BalayageBtn->isEnabled() && !w.StopBtn->isEnabled());
        QVERIFY(w.NumVoieRG->isEnabled());
        QVERIFY(!w.RegSaveBtn->isHidden() && w.RegSaveBtn->isEnabled());
        w.UndoBtnClick();
        QCOMPARE(w.Graphe.NbrePoints, 3);
        const TReglagesBalayage r = LitReglagesBalayage();
        QCOMPARE(r.ressource, banc->generateur);
        QCOMPARE(r.parametres.fin, 3000.0);
        QCOMPARE(r.parametres.attenteMinMs, 0);
        session->VoieSerie.setOpen(false);
    }

    // Stop during the third point: that point is measured and kept, the sweep ends there.
    void balayageArrete()
    {
        QVERIFY(banc->demarreSimGenerateur(BancGenerateur));
        session->Detecte();
        TBodeForm w;
        w.executeDialogue = balayage(banc->generateur, "100", "10k", 5);
        bool arret = false;
        w.surPompe = [&] {
            if (w.Graphe.NbrePoints == 2 && !arret) {
                arret = true;
                w.StopBtn->click();
            }
        };
        w.BalayageBtn->click();
        QVERIFY(arret);
        QCOMPARE(w.Graphe.NbrePoints, 3);
        QCOMPARE(w.LabelEtat->text(), QStringLiteral("Balayage arrêté (3 points enregistrés)"));
        QVERIFY(note.messages.isEmpty());
        QVERIFY(w.EnregistreBtn->isEnabled());
        session->VoieSerie.setOpen(false);
    }

    // A generator that does not answer, or stops answering: its message names it, the points
    // measured before stay.
    void balayageGenerateurMuet_data()
    {
        QTest::addColumn<QString>("defaut");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("debut");   // of the message
        QTest::newRow("silent") << "silence" << 0 << "Le générateur ";
        QTest::newRow("silent from the third frequency") << "silence-apres=3" << 2 << "Balayage interrompu : Le générateur ";
    }
    void balayageGenerateurMuet()
    {
        QFETCH(QString, defaut);
        QFETCH(int, points);
        QFETCH(QString, debut);
        QVERIFY(banc->demarreSimGenerateur(BancGenerateur + QStringList{"--generateur-defaut", defaut}));
        session->Detecte();
        TBodeForm w;
        w.executeDialogue = balayage(banc->generateur, "100", "10k", 5);
        w.BalayageBtn->click();
        QCOMPARE(note.messages.size(), 1);
        const QString &m = note.messages.first();
        QVERIFY2(m.startsWith(debut) && m.contains(banc->generateur) && m.contains("ne répond pas"), qPrintable(m));
        QVERIFY2(w.LabelEtat->text().contains(m.mid(m.indexOf(QStringLiteral("Le générateur")))), qPrintable(w.LabelEtat->text()));
        QCOMPARE(w.Graphe.NbrePoints, points);
        QVERIFY(barre(w)->isHidden());
        QVERIFY(w.EnregistreBtn->isEnabled() && !w.StopBtn->isEnabled());
        session->VoieSerie.setOpen(false);
    }

    // Closing during a sweep stops it; the window closes once the sweep has let go.
    void fermetureDuranteBalayage()
    {
        QVERIFY(banc->demarreSimGenerateur(BancGenerateur));
        session->Detecte();
        QPointer<TBodeForm> w = new TBodeForm;
        w->show();
        w->executeDialogue = balayage(banc->generateur, "100", "10k", 5);
        bool demande = false, refusee = false;
        w->surPompe = [&] {
            if (w && w->Graphe.NbrePoints == 1 && !demande) {
                demande = true;
                refusee = !w->close();
            }
        };
        note.reponse = true;
        w->BalayageBtn->click();
        QVERIFY(demande && refusee);
        QTRY_VERIFY(!w);
        QCOMPARE(note.questions, QStringList{QStringLiteral("Abandon")});
        session->VoieSerie.setOpen(false);
    }

    // Pictures of the two areas: the phase range brought to quarter turns before drawing.
    void dessin()
    {
        TBodeForm w;
        w.resize(900, 700);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Graphe.voie[VoiePhase].mini = -170;
        w.Graphe.voie[VoiePhase].maxi = 100;
        const QImage g = w.imageGraphe();
        QVERIFY(!g.isNull());
        QCOMPARE(w.Graphe.voie[VoiePhase].mini, -180.0);
        QCOMPARE(w.Graphe.voie[VoiePhase].maxi, 90.0);
        QVERIFY(!w.imageOscillo().isNull());
    }
};

QTEST_MAIN(TestFenetreBode)
#include "tst_fenetrebode.moc"
