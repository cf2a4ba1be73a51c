#include "measure/graphe.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <memory>

namespace {

const double NaN = std::nan("");
const QColor blanc(255, 255, 255);

// A graph drawing into a white image: abscissa 100 Hz..10 kHz (log), channel 1 0..5 V,
// channel 2 0..10 V.
struct Banc {
    explicit Banc(int largeur = 600, int hauteur = 400) : image(largeur, hauteur, QImage::Format_ARGB32_Premultiplied)
    {
        image.fill(blanc);
        peintre.begin(&image);
        g.Canvas = &peintre;
        g.couleurFond = blanc;
        g.voie[0].mini = 100;
        g.voie[0].maxi = 10000;
        g.voie[0].Unite = "Hz";
        g.voie[0].Nom = "f";
        g.voie[1].maxi = 5;
        g.voie[2].maxi = 10;
        g.DerniereVoie = 2;
        rect = {0, 0, largeur, hauteur};
    }
    void dessine() { g.DrawG(rect); }
    // Sets the current readings of channels 0..2.
    void lecture(double f, double v1, double v2)
    {
        g.voie[0].valeurCourante = f;
        g.voie[1].valeurCourante = v1;
        g.voie[2].valeurCourante = v2;
    }
    QColor pixel(int x, int y) const { return image.pixelColor(x, y); }
    int grisDansColonne(int x) const
    {
        int n = 0;
        for (int y = g.LimiteCourbe.top; y < g.LimiteCourbe.bottom; ++y)
            n += pixel(x, y) == CouleurGrille;
        return n;
    }

    QImage image;
    QPainter peintre;
    Tgraphe g;
    TRectangle rect;
};

int hauteurPolice()
{
    QImage i(1, 1, QImage::Format_ARGB32_Premultiplied);
    return QFontMetrics(PoliceGraphe(), &i).height();
}

} // namespace

class TestGraphe : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { RetablitCouleursVoies(); }

    void police()
    {
        const QString famille = QFontInfo(PoliceGraphe()).family();
        QVERIFY2(famille == "Calibri" || famille == "Carlito", qPrintable(famille));
        QCOMPARE(PoliceGraphe().pointSize(), 10);
    }

    // The plot area loses two text lines at the bottom and 2 pixels at the top.
    void dimPoint_data()
    {
        QTest::addColumn<int>("hauteurUtile");
        QTest::addColumn<int>("dimPoint");
        QTest::newRow("440") << 440 << 3;
        QTest::newRow("439") << 439 << 2;
        QTest::newRow("100") << 100 << 1;
    }
    void dimPoint()
    {
        QFETCH(int, hauteurUtile);
        QFETCH(int, dimPoint);
        const int h = hauteurPolice();
        Banc b(300, hauteurUtile + 2 * h + 2);
        b.dessine();
        QCOMPARE(b.g.hauteurTexte, h);
        QCOMPARE(b.g.LimiteCourbe.bottom - b.g.LimiteCourbe.top, hauteurUtile);
        QCOMPARE(b.g.dimPoint, dimPoint);
    }

    void abscisseLog()
    {
        Banc b;
        b.dessine();
        QCOMPARE(b.g.voie[0].GrandeurToEcran(100), 0);
        QCOMPARE(b.g.voie[0].GrandeurToEcran(10000), 600);
        QStringList textes;
        QList<int> xs;
        int pointilles = 0;
        for (const TTraitAbscisse &t : b.g.TraitsAbscisse()) {
            if (!t.texte.isEmpty()) {
                textes << t.texte;
                xs << t.x;
            }
            pointilles += t.pointille;
        }
        QCOMPARE(textes, QStringList({"100 Hz", "1 kHz", "10 kHz"}));
        QCOMPARE(xs, QList<int>({0, 300, 600}));
        QCOMPARE(pointilles, 3 * 8);
        // Solid line at 1 kHz, dotted one at 200 Hz, both grey.
        QCOMPARE(b.grisDansColonne(300), b.g.LimiteCourbe.bottom - b.g.LimiteCourbe.top);
        const int x200 = b.g.voie[0].GrandeurToEcran(200);
        QVERIFY(b.grisDansColonne(x200) > 10);
        QVERIFY(b.grisDansColonne(x200) < b.g.LimiteCourbe.bottom - b.g.LimiteCourbe.top);
        // Grid rows: the first horizontal line at the top of the plot area.
        int gris = 0;
        for (int x = 0; x < 600; ++x)
            gris += b.pixel(x, b.g.LimiteCourbe.top) == CouleurGrille;
        QVERIFY(gris > 100);
        // Labels below the plot area.
        bool texte = false;
        for (int y = b.g.LimiteCourbe.bottom + 2; y < 400 && !texte; ++y)
            for (int x = 305; x < 340 && !texte; ++x)
                texte = b.pixel(x, y) != blanc;
        QVERIFY(texte);
    }

    void sixDecadesSansLignesMineures()
    {
        Banc b;
        b.g.voie[0].mini = 1;
        b.g.voie[0].maxi = 1000000;
        b.dessine();
        int textes = 0;
        for (const TTraitAbscisse &t : b.g.TraitsAbscisse()) {
            QVERIFY(!t.pointille);
            textes += !t.texte.isEmpty();
        }
        QCOMPARE(textes, 7);
        QVERIFY(b.grisDansColonne(b.g.voie[0].GrandeurToEcran(20)) <= 11);   // the horizontal grid only
    }

    void abscisseLineaire()
    {
        Banc b;
        b.g.voie[0].AxeLog = false;
        b.g.voie[0].mini = 0;
        b.g.voie[0].maxi = 5;
        b.g.voie[0].Unite = "V";
        b.dessine();
        QStringList textes;
        QList<int> xs;
        for (const TTraitAbscisse &t : b.g.TraitsAbscisse()) {
            QVERIFY(t.pointille);
            textes << t.texte;
            xs << t.x;
        }
        QCOMPARE(textes, QStringList({"1 V", "2 V", "3 V", "4 V"}));
        QCOMPARE(xs, QList<int>({120, 240, 360, 480}));
    }

    void ellipses()
    {
        Banc b;
        b.g.NbrePoints = 2;
        b.g.voie[0].valeur[0] = 1000;
        b.g.voie[1].valeur[0] = 2.5;
        b.g.voie[2].valeur[0] = 8;
        b.g.voie[0].valeur[1] = 300;
        b.g.voie[1].valeur[1] = 1;
        b.g.voie[1].incertitude[1] = 0.2;   // half-height 2.58 * 0.2 V
        b.g.voie[2].valeur[1] = NaN;
        b.dessine();
        const Tvoie &x = b.g.voie[0], &v1 = b.g.voie[1], &v2 = b.g.voie[2];
        QCOMPARE(b.pixel(x.GrandeurToEcran(1000), v1.GrandeurToEcran(2.5)), QColor(255, 0, 0));
        QCOMPARE(b.pixel(x.GrandeurToEcran(1000), v2.GrandeurToEcran(8)), QColor(0, 128, 0));
        // The uncertainty stretches the ellipse: 0.4 V above the centre is still red.
        QCOMPARE(b.pixel(x.GrandeurToEcran(300), v1.GrandeurToEcran(1.4)), QColor(255, 0, 0));
        QVERIFY(b.pixel(x.GrandeurToEcran(300), v1.GrandeurToEcran(1.6)) != QColor(255, 0, 0));
        for (int j = 0; j <= 2; ++j)
            QCOMPARE(b.g.voie[size_t(j)].posCurseur, -1);

        // The colour table is shared and can be changed.
        CouleurVoie[1] = QColor(10, 20, 200);
        b.dessine();
        QCOMPARE(b.pixel(x.GrandeurToEcran(1000), v1.GrandeurToEcran(2.5)), QColor(10, 20, 200));
    }

    void pointNaNNonDessine()
    {
        Banc vide, b;
        vide.dessine();
        b.g.NbrePoints = 2;
        b.g.voie[0].valeur[0] = 1000;
        b.g.voie[1].valeur[0] = NaN;
        b.g.voie[2].valeur[0] = NaN;
        b.g.voie[0].valeur[1] = NaN;
        b.g.voie[1].valeur[1] = 1;
        b.g.voie[2].valeur[1] = 1;
        b.dessine();
        QCOMPARE(b.image, vide.image);
    }

    void curseur()
    {
        Banc b;
        b.dessine();
        const QImage avant = b.image.copy();
        b.lecture(1500, 2.7, 8.3);   // away from the grid lines
        b.g.AfficheCurseur();
        QVERIFY(b.image != avant);
        const int x = b.g.voie[0].GrandeurToEcran(1500);
        const int y = b.g.voie[1].GrandeurToEcran(2.7);
        QCOMPARE(b.pixel(x + 2 * b.g.dimPoint, y), QColor(255, 0, 0));   // not-xor on white gives the colour
        QCOMPARE(b.pixel(x, y - 2 * b.g.dimPoint), QColor(255, 0, 0));
        QCOMPARE(b.pixel(x, y), QColor(255, 0, 0));   // the arms cross without erasing each other

        // Moving it leaves only the new cursor.
        b.lecture(2000, 1, 3);
        b.g.AfficheCurseur();
        Banc temoin;
        temoin.dessine();
        temoin.lecture(2000, 1, 3);
        temoin.g.AfficheCurseur();
        QCOMPARE(b.image, temoin.image);

        // Drawn a second time at the same place, it goes: a failed reading shows no cursor.
        b.lecture(NaN, NaN, NaN);
        b.g.AfficheCurseur();
        QCOMPARE(b.image, avant);

        // Nothing happens after a failed cycle.
        b.lecture(1000, 2.5, 8);
        b.g.ErreurLectureGlb = true;
        b.g.AfficheCurseur();
        QCOMPARE(b.image, avant);
    }

    void enregistre_data()
    {
        QTest::addColumn<bool>("erreurGlb");
        QTest::addColumn<bool>("auto_");
        QTest::addColumn<double>("ancienneF");
        QTest::addColumn<double>("f");
        QTest::addColumn<double>("ancienneV");
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("message");
        const QString instables = "Données instables (cf Avg)";
        // Ranges: 9900 Hz / 32 = 309.4 Hz, 5 V / 32 = 0.156 V.
        QTest::newRow("stable") << false << false << 1000.0 << 1300.0 << 2.0 << 2.15 << "";
        QTest::newRow("failed reading") << true << false << 1000.0 << 1000.0 << 2.0 << 2.0 << "Données incorrectes";
        QTest::newRow("failed reading, automatic") << true << true << 1000.0 << 1000.0 << 2.0 << 2.0
                                                   << "Données incorrectes";
        QTest::newRow("first reading") << false << false << NaN << 1000.0 << NaN << 2.0 << instables;
        QTest::newRow("first reading, automatic") << false << true << NaN << 1300.0 << NaN << 2.15 << "";
        QTest::newRow("abscissa moved") << false << false << 1000.0 << 1400.0 << 2.0 << 2.0 << instables;
        QTest::newRow("ordinate moved") << false << false << 1000.0 << 1000.0 << 2.0 << 2.2 << instables;
        QTest::newRow("NaN reading") << false << false << 1000.0 << 1000.0 << 2.0 << NaN << instables;
        QTest::newRow("NaN reading, automatic") << false << true << 1000.0 << 1000.0 << 2.0 << NaN << "-";
    }
    void enregistre()
    {
        QFETCH(bool, erreurGlb);
        QFETCH(bool, auto_);
        QFETCH(double, ancienneF);
        QFETCH(double, f);
        QFETCH(double, ancienneV);
        QFETCH(double, v);
        QFETCH(QString, message);
        Banc b;
        b.g.DerniereVoie = 1;
        b.dessine();
        QStringList messages;
        b.g.PanelErreurLect = [&](const QString &t) { messages << t; };
        b.g.ErreurLectureGlb = erreurGlb;
        b.g.acqAutoEnCours = auto_;
        b.g.NbrePoints = 4;
        b.g.voie[0].oldValeur = ancienneF;
        b.g.voie[1].oldValeur = ancienneV;
        b.lecture(f, v, NaN);   // channel 2 is not in use
        b.g.voie[0].incertitudeCourante = 5;
        b.g.voie[1].incertitudeCourante = 0.01;
        b.g.voie[5].valeurCourante = 12.5;
        const QImage avant = b.image.copy();

        const bool enregistre = b.g.EnregistrePointCourant();
        QCOMPARE(enregistre, message.isEmpty());
        QCOMPARE(messages, message.isEmpty() || message == "-" ? QStringList() : QStringList{message});
        if (!enregistre) {
            QCOMPARE(b.g.NbrePoints, 4);
            QCOMPARE(b.image, avant);
            return;
        }
        QCOMPARE(b.g.NbrePoints, 5);
        QCOMPARE(b.g.voie[0].valeur[4], f);
        QCOMPARE(b.g.voie[0].incertitude[4], 5.0);
        QCOMPARE(b.g.voie[1].valeur[4], v);
        QCOMPARE(b.g.voie[1].incertitude[4], 0.01);
        QCOMPARE(b.g.voie[5].valeur[4], 12.5);
        // The new point is drawn.
        QCOMPARE(b.pixel(b.g.voie[0].GrandeurToEcran(f), b.g.voie[1].GrandeurToEcran(v)), QColor(255, 0, 0));
    }
    void enregistreTableauPlein()
    {
        Tgraphe g;
        g.acqAutoEnCours = true;
        g.voie[0].valeurCourante = 1000;
        g.voie[1].valeurCourante = 1;
        g.NbrePoints = NbrePointsMax;
        QVERIFY(!g.EnregistrePointCourant());
        QCOMPARE(g.NbrePoints, NbrePointsMax);
    }

    void tri()
    {
        Tgraphe g;
        g.NbrePoints = 3;
        g.voie[2].Active = true;
        g.voie[2].Unite = "\u00B0";
        g.voie[3].Active = false;   // inactive: left alone
        g.voie[3].Unite = "\u00B0";
        const double f[] = {300, 100, 200}, v[] = {3, 1, 2}, dv[] = {0.3, 0.1, 0.2};
        const double phase[] = {175, 170, -170};
        for (size_t i = 0; i < 3; ++i) {
            g.voie[0].valeur[i] = f[i];
            g.voie[0].incertitude[i] = f[i] / 100;
            g.voie[1].valeur[i] = v[i];
            g.voie[1].incertitude[i] = dv[i];
            g.voie[2].valeur[i] = phase[i];
            g.voie[3].valeur[i] = phase[i];
            g.voie[5].valeur[i] = double(i);
        }
        g.tri();
        for (size_t i = 0; i < 3; ++i) {
            QCOMPARE(g.voie[0].valeur[i], 100.0 * double(i + 1));
            QCOMPARE(g.voie[0].incertitude[i], double(i + 1));
            QCOMPARE(g.voie[1].valeur[i], double(i + 1));
            QCOMPARE(g.voie[1].incertitude[i], 0.1 * double(i + 1));
            QCOMPARE(g.voie[5].valeur[i], double(i));   // elapsed time keeps its order
        }
        QCOMPARE(g.voie[2].valeur[0], 170.0);
        QCOMPARE(g.voie[2].valeur[1], 190.0);
        QCOMPARE(g.voie[2].valeur[2], 175.0);
        QCOMPARE(g.voie[3].valeur[1], -170.0);
    }
    void triStable()
    {
        Tgraphe g;
        g.NbrePoints = 4;
        const double f[] = {200, 100, 200, 50}, v[] = {1, 2, 3, 4};
        for (size_t i = 0; i < 4; ++i) {
            g.voie[0].valeur[i] = f[i];
            g.voie[1].valeur[i] = v[i];
        }
        g.tri();
        QList<double> ordre;
        for (size_t i = 0; i < 4; ++i)
            ordre << g.voie[1].valeur[i];
        QCOMPARE(ordre, QList<double>({4, 2, 1, 3}));
    }

    void oscGrandeurToEcran()
    {
        TgrapheOsc g;
        g.Ax = 0.5;
        g.Bx = 0;
        g.Ay = -1;
        g.By = 100.5;
        int x, y;
        g.GrandeurToEcran(5, 0, x, y);
        QCOMPARE(x, 2);
        QCOMPARE(y, 100);
        g.GrandeurToEcran(7, 1, x, y);
        QCOMPARE(x, 4);
        QCOMPARE(y, 100);
    }

    void oscDessin()
    {
        QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter p(&image);
        auto g = std::make_unique<TgrapheOsc>();
        g->Canvas = &p;
        g->couleurFond = blanc;
        g->NbrePoints = 100;
        g->MinY = 0;
        g->MaxY = 100;
        std::fill(g->voie[1].begin(), g->voie[1].begin() + 100, 50);
        std::fill(g->voie[2].begin(), g->voie[2].begin() + 100, 25);
        g->posX[1][0] = 60;   // vertical marker of input 1 at sample 60
        g->posY[2][1] = 90;   // horizontal marker of input 2 at the value 90
        g->DrawG({0, 0, 200, 100});
        QCOMPARE(g->Ax, 2.0);
        QCOMPARE(image.pixelColor(31, 50), QColor(0, 0, 255));
        QCOMPARE(image.pixelColor(31, 75), QColor(255, 0, 0));
        QCOMPARE(image.pixelColor(31, 60), blanc);
        auto compte = [&](int x0, int y0, int dx, int dy, int n, const QColor &c) {
            int k = 0;
            for (int i = 0; i < n; ++i)
                k += image.pixelColor(x0 + i * dx, y0 + i * dy) == c;
            return k;
        };
        QVERIFY(compte(20, 0, 0, 1, 100, CouleurGrille) > 10);         // graticule, 1/10 across
        QVERIFY(compte(0, 12, 1, 0, 200, CouleurGrille) > 20);         // graticule, 1/8 down
        QVERIFY(compte(120, 0, 0, 1, 100, QColor(0, 0, 255)) > 10);    // marker x = 2 * 60
        QVERIFY(compte(0, 10, 1, 0, 200, QColor(255, 0, 0)) > 20);     // marker y = 100 - 90

        // No samples, no range: no curve, no fault.
        g->NbrePoints = 0;
        g->MaxY = g->MinY;
        g->DrawG({0, 0, 200, 100});
        QCOMPARE(image.pixelColor(31, 50), blanc);
    }
};

QTEST_MAIN(TestGraphe)
#include "tst_graphe.moc"
