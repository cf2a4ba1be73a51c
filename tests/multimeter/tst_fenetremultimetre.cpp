// The multimeter window and its channel dialog, offscreen, over an instrument that answers
// from a table.
#include "bancosc.h"
#include "../generator/bancbalayage.h"
#include "../generator/dialoguebalayage.h"
#include "instrument/session.h"
#include "export/constantedlg.h"
#include "export/groupechoix.h"
#include "link/dossiers.h"
#include "link/parsenumber.h"
#include "measure/floatedit.h"
#include "multimeter/fenetremultimetre.h"
#include "multimeter/voiesdlg.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

namespace {

class TInstrumentTable : public IInstrumentMesure {
public:
    void videEntree() override {}
    double GetFloat(const QByteArray &c) override
    {
        journal << c;
        auto it = valeurs.find(c);
        return it == valeurs.end() ? 1.0 : it->second;
    }
    QByteArray GetString(const QByteArray &c) override { journal << c; return "X1"; }
    void EnvoieCommandeSimple(const QByteArray &c) override { journal << c; }
    void EnvoieCommandeRapide(const QByteArray &c) override { journal << c; }
    double QueryFloat(const QByteArray &c) override { return GetFloat(c); }
    double QueryFloatSiglent(const QByteArray &c) override { return GetFloat(c); }
    void Ecrit(const QByteArray &c) override { journal << c; }
    void QueryWave(int) override {}
    double phase() override { return 0; }
    void unLock() override {}
    void pause(int) override {}

    QList<QByteArray> journal;
    std::map<QByteArray, double> valeurs{{":MEAS:SOUR CHAN1;FREQ?", 1000},
                                         {":MEAS:SOUR CHAN1;VRMS?", 0.7},
                                         {":MEAS:SOUR CHAN2;VRMS?", 0.5},
                                         {":MEAS:SOUR CHAN1;PHAS?", -45}};
};

// Confirmations answered from a script; informations noted.
class TDialogueScript : public IDialogue {
public:
    bool confirm(const QString &m) override
    {
        questions << m;
        return reponse;
    }
    void inform(const QString &m) override { messages << m; }
    bool reponse = false;
    QStringList questions, messages;
};

void tape(QWidget *w, Qt::Key k)
{
    QKeyEvent appui(QEvent::KeyPress, k, Qt::NoModifier, k == Qt::Key_Space ? QStringLiteral(" ") : QString());
    QApplication::sendEvent(w, &appui);
}

// Every text of the window fits its control.
void verifieTextes(QWidget *racine)
{
    for (QLabel *l : racine->findChildren<QLabel *>()) {
        if (!l->isVisibleTo(racine) || l->text().isEmpty())
            continue;
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(),
                 qPrintable(l->objectName() + QStringLiteral(" : ") + l->text()));
    }
    for (QGroupBox *g : racine->findChildren<QGroupBox *>()) {
        if (!g->isVisibleTo(racine) || g->title().isEmpty())
            continue;
        QVERIFY2(g->fontMetrics().horizontalAdvance(g->title()) + 8 <= g->width(),
                 qPrintable(g->objectName() + QStringLiteral(" : ") + g->title()));
    }
    // No box squeezed below what its contents need.
    for (QGroupBox *g : racine->findChildren<QGroupBox *>())
        if (g->isVisibleTo(racine))
            QVERIFY2(g->height() >= g->minimumSizeHint().height() && g->width() >= g->minimumSizeHint().width(),
                     qPrintable(g->objectName() + QStringLiteral(" %1x%2 < %3x%4").arg(g->width()).arg(g->height())
                                .arg(g->minimumSizeHint().width()).arg(g->minimumSizeHint().height())));
    for (QAbstractButton *b : racine->findChildren<QAbstractButton *>()) {
        if (!b->isVisibleTo(racine) || b->text().isEmpty())
            continue;
        QVERIFY2(b->width() >= b->minimumSizeHint().width(), qPrintable(b->objectName() + QStringLiteral(" : ") + b->text()));
    }
}

} // namespace

class TestFenetreMultimetre : public QObject {
    Q_OBJECT

    QTemporaryDir dossier;
    TDialogueScript dialogue;
    std::unique_ptr<TInstrumentTable> inst;
    std::unique_ptr<TMultimetreForm> f;

    void ouvre(const QStringList &parametres = {})
    {
        f = std::make_unique<TMultimetreForm>(nullptr, parametres, inst.get());
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        f->FormActivate();
    }

private slots:
    void initTestCase()
    {
        DossierDonnees = AvecSeparateur(dossier.path());
        setDialogue(&dialogue);
    }
    void cleanupTestCase() { setDialogue(nullptr); }
    void init()
    {
        constructeur = oNone;
        inst = std::make_unique<TInstrumentTable>();
        dialogue = TDialogueScript();
        QFile::remove(DossierDonnees + QStringLiteral("Ondivar.OD"));
    }
    void cleanup()
    {
        if (f) {
            f->Graphe().NbrePoints = 0;
            f->close();
        }
        f.reset();
    }

    void voiesParDefaut()
    {
        ouvre();
        QCOMPARE(f->Graphe().DerniereVoie, 3);
        QCOMPARE(f->GroupBoxFreq->title(), QStringLiteral("CH1 100 Hz..10 kHz"));
        QCOMPARE(f->GroupBox[0]->title(), QStringLiteral("CH1 efficace +5 V"));
        QCOMPARE(f->GroupBox[1]->title(), QStringLiteral("CH2 efficace +5 V"));
        QVERIFY(f->GroupBox[2]->title().startsWith(QStringLiteral("CH1 phase(1,2) \u00B1180")));
        QCOMPARE(f->GroupBox[3]->title(), QString());
        QVERIFY(!f->Label[3]->isVisible());
        QCOMPARE(f->Label[0]->text(), QStringLiteral("Ve"));
        QCOMPARE(f->Label[1]->palette().color(QPalette::WindowText), CouleurVoie[2]);
        QVERIFY(f->Label[0]->font().bold());
    }

    // Voie2 switched off and Voie3 left on: the phase moves up into the second box and the
    // points go, since the number of active channels changed.
    void ordreDesVoies()
    {
        ouvre();
        Tgraphe &g = f->Graphe();
        g.NbrePoints = 5;
        g.voie[2].Active = false;
        g.voie[4].Active = true;
        g.voie[4].Nom = QStringLiteral("Vpp");
        f->MajVoies();
        QCOMPARE(g.NbrePoints, 5);   // still three active
        QCOMPARE(g.voie[3].Nom, QStringLiteral("Vpp"));
        QCOMPARE(g.voie[4].Nom, QStringLiteral("Vs"));
        g.voie[3].Active = false;
        f->MajVoies();
        QCOMPARE(g.DerniereVoie, 2);
        QCOMPARE(g.NbrePoints, 0);
        QCOMPARE(f->Label[1]->text(), QStringLiteral("\u2026"));
        QCOMPARE(f->GroupBox[2]->title(), QString());
        // Each box still shows the channel now at its place.
        QCOMPARE(g.voie[2].LabelVoie, f->Label[1]);
        QCOMPARE(g.voie[3].GBvoie, f->GroupBox[2]);
    }

    void ordreDepuisFichier()
    {
        const QString nom = dossier.filePath(QStringLiteral("ordre.od"));
        QFile fichier(nom);
        QVERIFY(fichier.open(QIODevice::WriteOnly));
        fichier.write("[Voie2]\r\nActive=0\r\n[Voie3]\r\nActive=1\r\n[Voie4]\r\nActive=0\r\n");
        fichier.close();
        ouvre();
        f->Graphe().NbrePoints = 7;
        f->FileOpenAccept(nom);
        QCOMPARE(f->Graphe().DerniereVoie, 2);
        QCOMPARE(f->Graphe().voie[2].Signif, QStringLiteral("phase(1,2)"));
        QVERIFY(f->GroupBox[1]->title().startsWith(QStringLiteral("CH1 phase(1,2)")));
        QCOMPARE(f->Graphe().NbrePoints, 0);
    }

    void dialogueVoie_data()
    {
        QTest::addColumn<QString>("mesure");
        QTest::addColumn<QString>("maxiTape");   // empty: as the dialog proposes
        QTest::addColumn<QString>("nom");
        QTest::addColumn<double>("maxi");
        QTest::addColumn<double>("mini");
        QTest::addColumn<QString>("unite");
        QTest::newRow("période renames") << "période" << "" << "T2" << 1.0 << 0.0 << "s";
        QTest::newRow("moyenne keeps the name") << "moyenne" << "" << "Vs" << 5.0 << -5.0 << "V";
        QTest::newRow("phase at most 360") << "phase(1,2)" << "500" << "\u2026" << 360.0 << -360.0 << "\u00B0";
        QTest::newRow("decimal comma") << "crête-crête" << "2,5" << "Vs" << 2.5 << 0.0 << "V";
        QTest::newRow("maximum not a number") << "efficace" << "abc" << "Vs" << 5.0 << 0.0 << "V";
    }
    void dialogueVoie()
    {
        QFETCH(QString, mesure);
        QFETCH(QString, maxiTape);
        ouvre();
        TVoiesDlg *d = f->voiesDlg();
        bool desactiveVisible = false;
        int entree = -1;
        QString choisie;
        f->montreVoiesDlg = [&](TVoiesDlg &dlg) {
            dlg.FormActivate();
            desactiveVisible = !dlg.DesactiveBtn->isHidden();
            entree = dlg.NumVoieRG->itemIndex();
            choisie = dlg.ListeCommande->currentItem() ? dlg.ListeCommande->currentItem()->text() : QString();
            const auto trouve = dlg.ListeCommande->findItems(mesure, Qt::MatchExactly);
            dlg.ListeCommande->setCurrentItem(trouve.first());
            if (!maxiTape.isEmpty())
                dlg.EditMaxi->setText(maxiTape);
            dlg.ActiveBtnClick(true);
            return int(dlg.result());
        };
        // A click on the second box (channel 2: Vs, efficace, CH2).
        QTest::mouseClick(f->GroupBox[1], Qt::LeftButton);
        QVERIFY(desactiveVisible);
        QCOMPARE(entree, 1);
        QCOMPARE(choisie, QStringLiteral("efficace"));
        const Tvoie &v = f->Graphe().voie[2];
        QTEST(v.Nom, "nom");
        QTEST(v.maxi, "maxi");
        QTEST(v.mini, "mini");
        QTEST(v.Unite, "unite");
        QCOMPARE(int(v.NumVoie), 2);
        QVERIFY(v.Active);
        QCOMPARE(f->Label[1]->text(), v.Nom);
        QVERIFY(d->VoieLue == nullptr);
    }

    // The dialog never offers to switch off the last active channel.
    void desactiver_data()
    {
        QTest::addColumn<int>("actives");
        QTest::addColumn<bool>("visible");
        QTest::newRow("one active") << 1 << false;
        QTest::newRow("two active") << 2 << true;
    }
    void desactiver()
    {
        QFETCH(int, actives);
        ouvre();
        for (int i = 1; i <= 4; ++i)
            f->Graphe().voie[size_t(i)].Active = i <= actives;
        f->MajVoies();
        bool visible = true;
        f->montreVoiesDlg = [&](TVoiesDlg &dlg) {
            visible = !dlg.DesactiveBtn->isHidden();
            return int(QDialog::Rejected);
        };
        QTest::mouseClick(f->Label[0], Qt::LeftButton);
        QTEST(visible, "visible");
        // Switching off the first of two: the second moves up, the points go.
        if (actives == 2) {
            f->Graphe().NbrePoints = 3;
            f->montreVoiesDlg = [](TVoiesDlg &dlg) {
                dlg.FormActivate();
                dlg.ActiveBtnClick(false);
                return int(dlg.result());
            };
            QTest::mouseClick(f->GroupBox[0], Qt::LeftButton);
            QCOMPARE(f->Graphe().DerniereVoie, 1);
            QCOMPARE(f->Graphe().voie[1].Nom, QStringLiteral("Vs"));
            QCOMPARE(f->Graphe().NbrePoints, 0);
        }
    }

    // The words of the command line name the file read at the first activation.
    void configurationDeLaLigneDeCommande()
    {
        QDir(dossier.path()).mkdir(QStringLiteral("Mes"));
        const QString nom = dossier.filePath(QStringLiteral("Mes config.od"));
        QFile fichier(nom);
        QVERIFY(fichier.open(QIODevice::WriteOnly));
        fichier.write("[Voie1]\r\nNom=Ue\r\n[Ondivar]\r\nMESURE=0\r\n");
        fichier.close();
        ouvre({dossier.filePath(QStringLiteral("Mes")), QStringLiteral("config.od"), QStringLiteral("-x")});
        QCOMPARE(f->Graphe().voie[1].Nom, QStringLiteral("Ue"));
        QCOMPARE(f->Label[0]->text(), QStringLiteral("Ue"));
        QVERIFY(!f->MesureCB->isChecked());
        f->close();
        // Closing writes the default file, whichever was read; options alone read nothing.
        QVERIFY(QFile::exists(DossierDonnees + QStringLiteral("Ondivar.OD")));
        ouvre({QStringLiteral("-x")});
        QCOMPARE(f->Graphe().voie[1].Nom, QStringLiteral("Ve"));
        ouvre();
        QCOMPARE(f->Graphe().voie[1].Nom, QStringLiteral("Ue"));
    }

    void espaceEnregistre()
    {
        ouvre();
        f->EnregistreEdit->setFocus();
        QVERIFY(!f->MesureCB->isChecked());
        tape(f->EnregistreEdit, Qt::Key_Space);
        QCOMPARE(f->Graphe().NbrePoints, 1);
        QCOMPARE(f->Label[0]->text(), QStringLiteral("Ve=700 mV"));
        QVERIFY(f->UndoAction->isEnabled());
        QVERIFY(!f->KorvalisAction->isEnabled());
        // A space typed into the frequency edit records too (the window previews keys).
        tape(f->EditMaxi, Qt::Key_Space);
        QCOMPARE(f->Graphe().NbrePoints, 2);
        f->UndoAction->trigger();
        QCOMPARE(f->Graphe().NbrePoints, 1);
    }

    // Without an instrument the window reads through the session's closed port: every
    // reading fails, nothing is recorded, nothing breaks.
    void sansInstrument()
    {
        f = std::make_unique<TMultimetreForm>();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        f->FormActivate();
        tape(f->EnregistreEdit, Qt::Key_Space);
        QCOMPARE(f->Panneaux[0]->text(), QStringLiteral("Moins de deux périodes ?"));
        QCOMPARE(f->LabelFreq->text(), QStringLiteral("f=???"));
        QCOMPARE(f->Graphe().NbrePoints, 0);
        QVERIFY(f->EnregistreAction->isEnabled());
    }

    void lectureEchouee()
    {
        ouvre();
        inst->valeurs[":MEAS:SOUR CHAN2;VRMS?"] = NaN();
        f->EnregistreAction->trigger();
        QCOMPARE(f->Panneaux[2]->text(), QStringLiteral("CH2 saturée ?"));
        QCOMPARE(f->Panneaux[4]->text(), QStringLiteral("Erreur sur une mesure => point non acquis"));
        QCOMPARE(f->Label[1]->text(), QStringLiteral("Vs=???"));
        QCOMPARE(f->Label[1]->toolTip(), QStringLiteral("CH2 saturée ?"));
        QVERIFY(f->LabelErreur->isVisibleTo(f.get()));
        QVERIFY(f->StopAction->isEnabled());
        QCOMPARE(f->Graphe().NbrePoints, 0);
    }

    // The 256th point is the last: the record action goes off and the space bar does nothing.
    void limite256()
    {
        ouvre();
        f->Graphe().NbrePoints = 255;
        f->multimetre().MajActions();
        tape(f->EnregistreEdit, Qt::Key_Space);
        QCOMPARE(f->Graphe().NbrePoints, 256);
        QVERIFY(!f->EnregistreAction->isEnabled());
        inst->journal.clear();
        tape(f->EnregistreEdit, Qt::Key_Space);
        QCOMPARE(f->Graphe().NbrePoints, 256);
        QVERIFY(inst->journal.isEmpty());
    }

    void f8EtAcquisitionAutomatique()
    {
        ouvre();
        QVERIFY(!f->AcqAutoGB->isVisibleTo(f.get()));
        tape(f->EnregistreEdit, Qt::Key_F8);
        QVERIFY(f->AcqAutoGB->isVisibleTo(f.get()));
        f->AcqAutoCB->click();
        QVERIFY(f->MesureCB->isChecked());
        QVERIFY(f->StartBtn->isVisibleTo(f.get()));
        QVERIFY(!f->StopBtn->isVisibleTo(f.get()));
        QVERIFY(f->Timer.isActive());
        f->StartBtn->click();
        QVERIFY(f->StopBtn->isVisibleTo(f.get()));
        QVERIFY(!f->StartBtn->isVisibleTo(f.get()));
        // The timer's cycle records with the automatic acquisition running.
        f->multimetre().TimerTimer();
        QCOMPARE(f->Graphe().NbrePoints, 1);
        QVERIFY(f->Timer.isActive());
    }

    // Four points sorted by frequency go to the Korvalis stand-in; the next hand-over adds a page.
    void versKorvalis()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreStub());
        ouvre();
        for (double frequence : {3000.0, 100.0, 1000.0, 300.0}) {
            inst->valeurs[":MEAS:SOUR CHAN1;FREQ?"] = frequence;
            tape(f->EnregistreEdit, Qt::Key_Space);
        }
        QCOMPARE(f->Graphe().NbrePoints, 4);
        QVERIFY(f->KorvalisAction->isEnabled());
        f->montreConstanteDlg = [](TConstanteDlg &d) {
            d.EditComm->setText(QStringLiteral("Filtre"));
            return int(QDialog::Accepted);
        };
        f->KorvalisAction->trigger();
        QCOMPARE(banc.enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|LOAD"));
        const QString texte = QString::fromUtf8(banc.enregistre(QStringLiteral("presse-papiers-001.txt")));
        QVERIFY2(texte.contains(QStringLiteral("\r\nFiltre")), qPrintable(texte));
        QVERIFY(texte.contains(QStringLiteral("&4 INCERT")));
        QVERIFY(texte.indexOf(QStringLiteral("1.00000E+2")) < texte.indexOf(QStringLiteral("3.00000E+2")));
        QVERIFY(texte.indexOf(QStringLiteral("1.00000E+3")) < texte.indexOf(QStringLiteral("3.00000E+3")));
        QCOMPARE(f->Graphe().voie[0].valeur[0], 100.0);
        QCOMPARE(f->constanteDlg()->choix(), 1);
        f->KorvalisAction->trigger();
        QCOMPARE(banc.enregistre(QStringLiteral("macro-002.txt")), QByteArray("CLIP|ADD"));
    }

    void fermeture()
    {
        ouvre();
        f->Graphe().NbrePoints = 2;
        dialogue.reponse = false;
        f->close();
        QCOMPARE(dialogue.questions, QStringList{QStringLiteral("Abandon")});
        QVERIFY(f->isVisible());
        dialogue.reponse = true;
        f->close();
        QVERIFY(!f->isVisible());
        QVERIFY(QFile::exists(DossierDonnees + QStringLiteral("Ondivar.OD")));
    }

    // "Balayage" through the simulated Agilent and generator: the graph grows point by point
    // with the filter's gain and phase, the continuous update waits for the end of the sweep
    // and the other actions too; the points are then the window's.
    void balayageFiltre()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreSimGenerateur({"--model", "54622D", "--filtre", "1000", "--generateur", "keysight",
                                           "--generateur-tcp", "0"}));
        TSessionInstrument session;
        session.Detecte();
        QCOMPARE(constructeur, oAgilent);
        f = std::make_unique<TMultimetreForm>();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        f->FormActivate();
        f->MesureCB->click();
        QVERIFY(f->Timer.isActive());
        auto *barre = f->findChild<QProgressBar *>(QStringLiteral("BalayageBarre"));
        QVERIFY(barre && barre->isHidden());
        f->montreBalayageDlg = [&](TBalayageDlg &d) { return AccepteBalayage(d, banc.generateur, "300", "3k", 3); };
        QList<int> vus;
        QStringList pendant;
        QTimer sonde;
        sonde.setInterval(2);
        connect(&sonde, &QTimer::timeout, this, [&] {
            if (!f->balayageEnCours())
                return;
            if (vus.isEmpty() || vus.last() != f->Graphe().NbrePoints) {
                vus << f->Graphe().NbrePoints;
                if (f->Graphe().NbrePoints > 0 && !barre->isVisible())
                    pendant << QStringLiteral("barre");
            }
            if (f->Timer.isActive())
                pendant << QStringLiteral("minuterie");
            if (f->EnregistreAction->isEnabled() || f->BalayageAction->isEnabled() || !f->StopAction->isEnabled()
                || f->MesureCB->isEnabled())
                pendant << QStringLiteral("actions");
        });
        sonde.start();
        f->BalayageAction->trigger();
        sonde.stop();
        QVERIFY2(dialogue.messages.isEmpty(), qPrintable(dialogue.messages.join('|')));
        QCOMPARE(vus, (QList<int>{0, 1, 2, 3}));
        pendant.removeDuplicates();
        QVERIFY2(pendant.isEmpty(), qPrintable(pendant.join('|')));
        const Tgraphe &g = f->Graphe();
        QCOMPARE(g.NbrePoints, 4);
        std::vector<TPointFiltre> pts;
        for (int i = 0; i < g.NbrePoints; ++i)
            pts.push_back({g.voie[0].valeur[size_t(i)], g.voie[2].valeur[size_t(i)] / g.voie[1].valeur[size_t(i)],
                           g.voie[3].valeur[size_t(i)]});
        VerifieFiltre(pts, 3);
        QCOMPARE(f->Panneaux[4]->text(), QStringLiteral("Balayage terminé (4 points enregistrés)"));
        QVERIFY(barre->isHidden());
        // As before the sweep: continuous update on, the actions back.
        QVERIFY(f->MesureCB->isChecked() && f->MesureCB->isEnabled());
        QVERIFY(f->Timer.isActive());
        QVERIFY(f->KorvalisAction->isEnabled() && f->BalayageAction->isEnabled());
        f->UndoAction->trigger();
        QCOMPARE(f->Graphe().NbrePoints, 3);
        f->MesureCB->click();
        f->Graphe().NbrePoints = 0;
        f->close();
        f.reset();
        session.VoieSerie.setOpen(false);
    }

    // Stop: the sweep ends after the point under way, the points measured stay.
    void balayageArrete()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreSimGenerateur({"--model", "54622D", "--filtre", "1000", "--generateur", "scpi"}));
        TSessionInstrument session;
        session.Detecte();
        f = std::make_unique<TMultimetreForm>();
        f->montreBalayageDlg = [&](TBalayageDlg &d) { return AccepteBalayage(d, banc.generateur, "100", "10k", 5); };
        QTimer sonde;
        sonde.setInterval(2);
        bool arret = false;
        connect(&sonde, &QTimer::timeout, this, [&] {
            if (f->Graphe().NbrePoints == 2 && !arret) {
                arret = true;
                f->StopAction->trigger();
            }
        });
        sonde.start();
        f->BalayageAction->trigger();
        sonde.stop();
        QVERIFY(arret);
        QVERIFY2(f->Graphe().NbrePoints == 2 || f->Graphe().NbrePoints == 3, qPrintable(QString::number(f->Graphe().NbrePoints)));
        QVERIFY2(f->Panneaux[4]->text().startsWith(QStringLiteral("Balayage arrêté (")), qPrintable(f->Panneaux[4]->text()));
        QVERIFY(dialogue.messages.isEmpty());
        QVERIFY(f->EnregistreAction->isEnabled());
        f->Graphe().NbrePoints = 0;
        f->close();
        f.reset();
        session.VoieSerie.setOpen(false);
    }

    // A generator nobody answers at: its message, no point, the window as it was.
    void balayageGenerateurAbsent()
    {
        ouvre();
        const QString absent = QStringLiteral("TCPIP0::127.0.0.1::1::SOCKET");
        f->montreBalayageDlg = [&](TBalayageDlg &d) { return AccepteBalayage(d, absent, "100", "10k", 5); };
        f->BalayageAction->trigger();
        QCOMPARE(dialogue.messages.size(), 1);
        QVERIFY2(dialogue.messages.first().contains(absent), qPrintable(dialogue.messages.first()));
        QCOMPARE(f->Panneaux[4]->text(), dialogue.messages.first());
        QCOMPARE(f->Graphe().NbrePoints, 0);
        QVERIFY(f->EnregistreAction->isEnabled() && f->BalayageAction->isEnabled());
        QVERIFY(!f->StopAction->isEnabled());
    }

    void miseEnPage()
    {
        ouvre();
        QTest::qWait(20);
        const QRect ecran = f->screen()->availableGeometry();
        QVERIFY(f->frameGeometry().width() <= ecran.width());
        QVERIFY(f->frameGeometry().height() <= ecran.height());
        // Readings and widened ranges as long as they come.
        f->titreVoie(0, QStringLiteral("CH1 300 mHz..200 kHz"));
        f->labelVoie(3, QStringLiteral("\u2026=-179.9 \u00B0"));
        f->labelVoie(1, QStringLiteral("Ve=999.9 mV"));
        f->Panneaux[4]->setText(QStringLiteral("Erreur sur une mesure => point non acquis"));
        tape(f->EnregistreEdit, Qt::Key_F8);
        f->AcqAutoCB->click();
        QTest::qWait(20);
        verifieTextes(f.get());
        TVoiesDlg *d = f->voiesDlg();
        d->VoieLue = &f->Graphe().voie[1];
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        verifieTextes(d);
        QCOMPARE(d->ListeCommande->count(), 11);
        QVERIFY(d->ListeCommande->visualItemRect(d->ListeCommande->item(10)).bottom()
                < d->ListeCommande->viewport()->height());
        d->hide();
        d->VoieLue = nullptr;
    }
};

QTEST_MAIN(TestFenetreMultimetre)
#include "tst_fenetremultimetre.moc"
