// The oscilloscope window: the part of the record kept, the save and its names, closing,
// the space bar, the settings, the page dialog, and one whole read and send through the
// simulated instrument and the Korvalis stand-in.
#include "bancosc.h"
#include "pixels.h"
#include "export/constantedlg.h"
#include "scope/exportosc.h"
#include "scope/fenetreoscillo.h"
#include "scope/zonecourbes.h"
#include "export/groupechoix.h"
#include "instrument/session.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QToolButton>
#include <cmath>

namespace {

struct Courbe {
    std::vector<qint32> x, y;
};

// n samples of X = a sin(2 pi i / p), Y = a cos(2 pi i / p).
Courbe sinCos(int n, int p, double a = 1000)
{
    Courbe c;
    for (int i = 0; i < n; ++i) {
        c.x.push_back(qint32(std::lround(a * std::sin(2 * M_PI * i / p))));
        c.y.push_back(qint32(std::lround(a * std::cos(2 * M_PI * i / p))));
    }
    return c;
}

// A small record put straight into the window's buffers: CH1 a ramp, CH2 its opposite.
void remplit(TAcquisitionOsc &a, int n, bool ch2 = true)
{
    for (int i = 0; i < n; ++i) {
        a.Voie[0].Valeur[size_t(i)] = i;
        a.Voie[1].Valeur[size_t(i)] = i;
        a.Voie[2].Valeur[size_t(i)] = -i;
    }
    a.Voie[1].Activee = true;
    a.Voie[2].Activee = ch2;
    a.NbrePointsLu = n;
    a.AcqFaite = true;
    a.AcqAsauver = true;
}

QByteArray contenu(const QString &nom)
{
    QFile f(nom);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(Courbe)

class TestFenetreOscillo : public QObject {
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
    }
    void cleanup()
    {
        setDialogue(nullptr);
        session.reset();
        banc.reset();
        constructeur = oNone;
    }

    void periode_data()
    {
        QTest::addColumn<Courbe>("c");
        QTest::addColumn<bool>("demi");
        QTest::addColumn<int>("debut");
        QTest::addColumn<int>("fin");
        // Period 100: first extreme in 1..150 is X's maximum at 25; the curve is back on it
        // at 125, the range ends one sample later.
        QTest::newRow("sin/cos, one period") << sinCos(300, 100) << false << 25 << 126;
        QTest::newRow("sin/cos, half period") << sinCos(300, 100) << true << 25 << 75;
        QTest::newRow("fewer than 16 samples") << sinCos(15, 5) << false << 0 << 14;
        Courbe spirale;
        for (int i = 0; i < 300; ++i) {
            spirale.x.push_back(qint32(std::lround(i * 10 * std::sin(2 * M_PI * i / 100))));
            spirale.y.push_back(qint32(std::lround(i * 10 * std::cos(2 * M_PI * i / 100))));
        }
        QTest::newRow("never comes back") << spirale << false << 0 << 299;
        Courbe plat = sinCos(300, 100);
        std::fill(plat.y.begin(), plat.y.end(), 7);
        QTest::newRow("flat CH2") << plat << false << 0 << 299;
        Courbe platX = sinCos(300, 100);
        std::fill(platX.x.begin(), platX.x.end(), -3);
        QTest::newRow("flat CH1, half") << platX << true << 0 << 299;
        // Sample 0 does not count: the first extreme is CH2's maximum at sample 1.
        QTest::newRow("start at sample 1") << sinCos(126, 100) << false << 1 << 102;
        // Back on the start at the last sample: no sample after it to add.
        QTest::newRow("closes on the last sample") << sinCos(102, 100) << false << 1 << 101;
    }
    void periode()
    {
        QFETCH(Courbe, c);
        QFETCH(bool, demi);
        const TIntervalle r = ChercheIntervalle(c.x.data(), c.y.data(), int(c.x.size()), demi);
        QTEST(r.debut, "debut");
        QTEST(r.fin, "fin");
    }

    // The window's selection: the period search only with both channels and another option.
    void selection_data()
    {
        QTest::addColumn<int>("choix");
        QTest::addColumn<bool>("ch2");
        QTest::addColumn<int>("debut");
        QTest::addColumn<int>("fin");
        QTest::newRow("période") << int(xyPeriode) << true << 25 << 126;
        QTest::newRow("demi-période") << int(xyDemiPeriode) << true << 25 << 75;
        QTest::newRow("totalité") << int(xyTotalite) << true << 0 << 299;
        QTest::newRow("période, CH1 only") << int(xyPeriode) << false << 0 << 299;
    }
    void selection()
    {
        QFETCH(int, choix);
        QFETCH(bool, ch2);
        TOscilloForm w;
        TAcquisitionOsc &a = w.acquisition();
        remplit(a, 300, ch2);
        const Courbe c = sinCos(300, 100);
        std::copy(c.x.begin(), c.x.end(), a.Voie[1].Valeur.begin());
        std::copy(c.y.begin(), c.y.end(), a.Voie[2].Valeur.begin());
        w.XYrg->setItemIndex(choix);
        QTEST(w.selection().debut, "debut");
        QTEST(w.selection().fin, "fin");
    }

    void sauvegarde_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<int>("filtre");
        QTest::addColumn<QString>("ecrit");
        QTest::addColumn<QByteArray>("attendu");   // a piece of the file
        QTest::newRow("essai, second filter") << "essai" << 1 << "essai.TXT" << QByteArray("VA\tVB\r\n");
        QTest::newRow("essai, first filter") << "essai" << 0 << "essai.KVX" << QByteArray("QUINTARE KORVALIS");
        QTest::newRow("essai, third filter") << "essai" << 2 << "essai.CSV" << QByteArray("t,VA,VB\n");
        QTest::newRow("extension wins over filter") << "essai.csv" << 1 << "essai.csv" << QByteArray("t,VA,VB\n");
    }
    void sauvegarde()
    {
        QFETCH(QString, nom);
        QFETCH(int, filtre);
        QFETCH(QString, ecrit);
        QFETCH(QByteArray, attendu);
        TOscilloForm w;
        remplit(w.acquisition(), 20);
        w.EditNomA->clear();   // an empty name becomes VA in the edit itself
        w.demandeFichier = [&](QString &n, int &f) {
            n = banc->chemin(nom);
            f = filtre;
            return true;
        };
        w.SaveBtnClick();
        QCOMPARE(w.EditNomA->text(), QStringLiteral("VA"));
        QStringList fichiers = QDir(banc->dossier.path()).entryList({QStringLiteral("essai*")}, QDir::Files);
        QCOMPARE(fichiers, QStringList{ecrit});
        const QByteArray f = contenu(banc->chemin(ecrit));
        QVERIFY2(f.contains(attendu), f.left(200).constData());
        if (ecrit.endsWith(QLatin1String("CSV"), Qt::CaseInsensitive))
            QVERIFY(!f.contains('\r'));
        QVERIFY(!w.acquisition().AcqAsauver);
        QVERIFY(note.messages.isEmpty());
    }

    void sauvegardeEchoueOuAnnulee()
    {
        TOscilloForm w;
        remplit(w.acquisition(), 20);
        w.demandeFichier = [](QString &, int &) { return false; };
        w.SaveBtnClick();
        QVERIFY(w.acquisition().AcqAsauver);
        w.demandeFichier = [this](QString &n, int &f) {
            n = banc->chemin(QStringLiteral("pas/de/dossier/essai"));
            f = 1;
            return true;
        };
        w.SaveBtnClick();
        QCOMPARE(note.messages.size(), 1);   // the input/output error, in French
        QVERIFY(w.acquisition().AcqAsauver);
    }

    // Closing: "Sauvegarde" only when the record was neither saved nor sent; Yes saves;
    // the mode goes back to none and the settings are written, then read by the next window.
    void fermeture()
    {
        session->AcquisitionEnCours = mOsc;
        {
            TOscilloForm w;
            w.show();
            remplit(w.acquisition(), 20);
            note.reponse = true;
            w.demandeFichier = [this](QString &n, int &f) {
                n = banc->chemin(QStringLiteral("auto"));
                f = 0;
                return true;
            };
            w.EditNomA->setText(QStringLiteral("Ue"));
            w.EditCommB->setText(QStringLiteral("Courant"));
            w.OptionLectureRG->setItemIndex(1);
            QVERIFY(w.close());
            QCOMPARE(note.questions, QStringList{QStringLiteral("Sauvegarde")});
            QVERIFY(QFile::exists(banc->chemin(QStringLiteral("auto.KVX"))));
            QVERIFY(!w.isVisible());
            QCOMPARE(session->AcquisitionEnCours, mNone);
            // shown again and closed with nothing new: no question
            w.show();
            QVERIFY(w.close());
            QCOMPARE(note.questions.size(), 1);
        }
        TOscilloForm suivante;
        QCOMPARE(suivante.EditNomA->text(), QStringLiteral("Ue"));
        QCOMPARE(suivante.EditCommA->text(), QStringLiteral("Tension"));
        QCOMPARE(suivante.EditNomB->text(), QStringLiteral("VB"));
        QCOMPARE(suivante.EditCommB->text(), QStringLiteral("Courant"));
        QCOMPARE(suivante.OptionLectureRG->itemIndex(), 1);
    }

    // The maker's point counts and default item at each activation; idle buttons.
    void activation()
    {
        constructeur = oGoodWill;
        modeleGDS = 2;
        session->IdentiteScope = QStringLiteral("GW,GDS-2062");
        TOscilloForm w;
        w.NbreRG->setItemIndex(0);
        w.FormActivate();
        QCOMPARE(w.NbreRG->items(), (QStringList{"500", "1250", "2500", "5000"}));
        QCOMPARE(w.NbreRG->itemIndex(), 3);
        QCOMPARE(w.NbrePoints, 5000);
        QCOMPARE(w.windowTitle(), QStringLiteral("Acquisition par GW,GDS-2062 pour Korvalis"));
        QVERIFY(w.OptionLectureRG->isHidden());
        QVERIFY(w.LireBtn->isEnabled() && !w.KorvalisBtn->isEnabled() && !w.SaveBtn->isEnabled());
        QVERIFY(!w.StopBtn->isEnabled() && !w.KorvalisAddBtn->isEnabled() && w.ExitBtn->isEnabled());
        w.NbreRG->bouton(1)->click();
        QCOMPARE(w.NbrePoints, 1250);
        constructeur = oAgilent;
        w.FormActivate();
        QCOMPARE(w.NbrePoints, 1000);
        QVERIFY(!w.OptionLectureRG->isHidden());
    }

    // Space with the read button disabled goes into the field like any letter.
    void espaceSansLecture()
    {
        TOscilloForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.LireBtn->setEnabled(false);
        w.EditNomA->clear();
        w.EditNomA->setFocus();
        QTest::keyClicks(w.EditNomA, QStringLiteral("U 1"));
        QCOMPARE(w.EditNomA->text(), QStringLiteral("U 1"));
    }

    void constanteDlg()
    {
        TConstanteDlg d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Renseignements sur la page courante"));
        QCOMPARE(d.NewPageCB->items(), (QStringList{"Nouveau fichier", "Nouvelle page"}));
        QCOMPARE(d.choix(), 0);
        d.FormShow();
        QCOMPARE(d.NewPageCB->count(), 2);
        d.setChoix(1);
        d.FormShow();
        QCOMPARE(d.NewPageCB->items(), (QStringList{"Nouveau fichier", "Nouvelle page", "Ajout page courante"}));
        d.FormShow();   // shown twice: still three
        QCOMPARE(d.NewPageCB->count(), 3);
        d.setChoix(2);
        QCOMPARE(d.ordre(), ePlus);
        d.setChoix(0);
        d.FormShow();
        QCOMPARE(d.NewPageCB->count(), 2);
        QCOMPARE(d.ordre(), eLoad);
    }

    // After a read the drawing area shows the channels read where their samples map, CH1
    // blue and CH2 red; a channel switched off is not drawn; the markers of "Une période"
    // and "Une demi-période" stand at the selection and follow the option at once.
    void courbesApresLecture_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ch2");
        const QStringList signaux{"--ch1", "sine,1.5,1000,0,0.25", "--ch2", "sine,0.8,1000,90,0"};
        QTest::newRow("both channels") << QStringList{"--model", "54622D"} + signaux << true;
        QTest::newRow("CH2 switched off") << QStringList{"--model", "54622D", "--init", ":BLANK CHAN2"} + signaux << false;
    }
    void courbesApresLecture()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ch2);
        QVERIFY(banc->demarreSim(args));
        session->Detecte();
        QCOMPARE(constructeur, oAgilent);
        TOscilloForm w;
        w.resize(1100, 650);   // as on a 1366 x 768 screen (the test screen is smaller)
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TZoneCourbes &z = *w.ZoneCourbes;
        QVERIFY(z.width() >= 300 && z.height() >= 200);
        // Before any read: the graticule alone.
        QImage avant = image(z);
        QVERIFY(!contientCouleur(avant, Bleu) && !contientCouleur(avant, Rouge));
        QVERIFY(contientCouleur(avant, CouleurGrille));

        w.LireBtn->click();
        QVERIFY2(note.messages.isEmpty(), qPrintable(note.messages.join('|')));
        TAcquisitionOsc &a = w.acquisition();
        QCOMPARE(a.Voie[2].Activee, ch2);
        const int n = a.NbrePointsLu;
        QCOMPARE(n, 1000);
        QCOMPARE(z.graphe().NbrePoints, n);
        QImage img = image(z);
        // CH2 is drawn over CH1: a few CH1 points are hidden where the curves cross.
        QVERIFY(partTracee(z, img, a.Voie[1].Valeur.data(), n, 20, Bleu) >= 0.8);
        if (ch2)
            QVERIFY(partTracee(z, img, a.Voie[2].Valeur.data(), n, 20, Rouge) >= 0.95);
        else
            QVERIFY(!contientCouleur(img, Rouge));
        // The curve spans the area: its extremes are near the top and the bottom.
        const auto [bas, haut] = std::minmax_element(a.Voie[1].Valeur.begin(), a.Voie[1].Valeur.begin() + n);
        int x, yHaut, yBas;
        z.graphe().GrandeurToEcran(0, *haut, x, yHaut);
        z.graphe().GrandeurToEcran(0, *bas, x, yBas);
        if (!ch2)
            QVERIFY(yHaut < z.height() / 8 && yBas > z.height() * 7 / 8);

        auto colonne = [&](int indice) {
            int cx, cy;
            z.graphe().GrandeurToEcran(indice, 0, cx, cy);
            return pixelsColonne(image(z), cx, Bleu);
        };
        const int ligne = z.height() / 4;   // a dotted line over the height, not a curve crossing
        w.XYrg->bouton(xyPeriode)->click();
        const TIntervalle periode = w.selection();
        if (!ch2) {
            QCOMPARE(periode, (TIntervalle{0, n - 1}));   // no XY record: the whole record, no marker
            QCOMPARE(z.graphe().posX[1], (std::array<int32_t, 2>{0, 0}));
            return;
        }
        QVERIFY(periode.debut > 0 && periode.fin < n - 1 && periode.fin - periode.debut > 10);
        QCOMPARE(z.graphe().posX[1], (std::array<int32_t, 2>{periode.debut, periode.fin}));
        QVERIFY(colonne(periode.debut) > ligne);
        QVERIFY(colonne(periode.fin) > ligne);
        w.XYrg->bouton(xyDemiPeriode)->click();
        const TIntervalle demi = w.selection();
        QCOMPARE(demi.debut, periode.debut);
        QVERIFY(demi.fin < periode.fin);
        QVERIFY(colonne(demi.fin) > ligne);
        QVERIFY(colonne(periode.fin) < ligne);
        w.XYrg->setItemIndex(xyTotalite);   // set by the program, not clicked: the markers go too
        QCOMPARE(z.graphe().posX[1], (std::array<int32_t, 2>{0, 0}));
        QVERIFY(colonne(periode.debut) < ligne);
        session->VoieSerie.setOpen(false);
    }

    // A peak-detect record of an HP/Agilent instrument is drawn as its envelope: each slot
    // from its minimum to its maximum.
    void enveloppePeak()
    {
        constructeur = oAgilent;
        TOscilloForm w;
        w.resize(1100, 650);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TAcquisitionOsc &a = w.acquisition();
        const int cases = 20;
        remplit(a, 2 * cases, false);
        for (int j = 0; j < cases; ++j) {
            a.Voie[1].Valeur[size_t(2 * j)] = -500 - j;
            a.Voie[1].Valeur[size_t(2 * j + 1)] = 500 + j;
        }
        a.modePeak = true;
        w.afficheCourbes();
        TZoneCourbes &z = *w.ZoneCourbes;
        QVERIFY(z.graphe().Enveloppe);
        QCOMPARE(z.graphe().NbrePoints, cases);
        const QImage img = image(z);
        for (int j = 1; j < cases; ++j) {
            int x, yMin, yMax;
            z.graphe().GrandeurToEcran(j, -500 - j, x, yMin);
            z.graphe().GrandeurToEcran(j, 500 + j, x, yMax);
            QVERIFY(yMin - yMax > z.height() / 2);
            for (int y : {yMin, (yMin + yMax) / 2, yMax})
                QVERIFY2(couleurPres(img, x, y, Bleu), qPrintable(QStringLiteral("slot %1, y %2").arg(j).arg(y)));
        }
        // The same record from a maker without peak detection is a plain curve.
        constructeur = oSefram;
        w.afficheCourbes();
        QVERIFY(!z.graphe().Enveloppe);
        QCOMPARE(z.graphe().NbrePoints, 2 * cases);
    }

    // The whole road: detection, names typed, space bar read, send, add, close.
    void lectureEtEnvoi()
    {
        QVERIFY(banc->demarreSim({"--model", "54622D", "--ch1", "sine,1.5,1000,0,0.25", "--ch2", "sine,0.8,1000,90,0"}));
        QVERIFY(banc->demarreStub());
        session->Detecte();
        QCOMPARE(constructeur, oAgilent);
        session->SetMode(mOsc);
        TOscilloForm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Acquisition par ") + session->IdentiteScope + QStringLiteral(" pour Korvalis"));
        QCOMPARE(w.NbrePoints, 1000);
        w.EditNomA->clear();
        w.EditNomA->setFocus();
        QTest::keyClicks(w.EditNomA, QStringLiteral("Ue"));
        QTest::keyClick(w.EditNomA, Qt::Key_Space);
        QCOMPARE(w.EditNomA->text(), QStringLiteral("Ue"));
        QVERIFY2(note.messages.isEmpty(), qPrintable(note.messages.join('|')));
        TAcquisitionOsc &a = w.acquisition();
        QVERIFY(a.AcqFaite && a.AcqAsauver);
        QCOMPARE(a.NbrePointsLu, 1000);
        QCOMPARE(w.GaugeA->maximum(), 1000);
        QCOMPARE(w.GaugeA->value(), 1000);
        QVERIFY(w.LireBtn->isEnabled() && w.KorvalisBtn->isEnabled() && w.SaveBtn->isEnabled());
        QVERIFY(!w.KorvalisAddBtn->isEnabled());

        w.XYrg->setItemIndex(xyPeriode);
        w.NomConstEdit->setText(QStringLiteral("R"));
        w.UniteConstEdit->setText(QStringLiteral("Ω"));
        w.ValeurConstEdit->setText(QStringLiteral("1k"));
        w.KorvalisBtn->click();
        QVERIFY(note.messages.isEmpty());
        QVERIFY(!a.AcqAsauver);
        QVERIFY(w.KorvalisAddBtn->isEnabled());
        QCOMPARE(banc->enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|LOAD"));
        const QByteArray texte = banc->enregistre(QStringLiteral("presse-papiers-001.txt"));
        QCOMPARE(QString::fromUtf8(texte), TexteEnvoiOsc(a, w.saisie(), true, session->IdentiteScope));
        QVERIFY(texte.contains("\tUe\t"));
        QVERIFY(texte.contains("&1 NOMX"));
        // one period of a 1 kHz signal: the loop is shorter than the record
        QVERIFY(w.FinOsc - w.debutOsc < 999 && w.FinOsc - w.debutOsc > 10);

        w.KorvalisAddBtn->click();
        QCOMPARE(banc->enregistre(QStringLiteral("macro-002.txt")), QByteArray("CLIP|ADD"));
        QVERIFY(!banc->enregistre(QStringLiteral("presse-papiers-002.txt")).contains("NOMX"));
        QVERIFY(w.close());
        QVERIFY(note.questions.isEmpty());
        QCOMPARE(session->AcquisitionEnCours, mNone);
        session->VoieSerie.setOpen(false);
    }
};

QTEST_MAIN(TestFenetreOscillo)
#include "tst_fenetreoscillo.moc"
