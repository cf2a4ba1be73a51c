#include "measure/graphe.h"

#include "measure/unites.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace {

const std::array<QColor, NbreVoiesMult> couleursInitiales{
    QColor(0, 0, 0), QColor(255, 0, 0), QColor(0, 128, 0), QColor(0, 0, 255), QColor(128, 0, 128), QColor(0, 0, 0)};

constexpr double LimiteEcran = 1 << 28;

QColor couleurFenetre()
{
    // qGuiApp is a plain cast: under a QCoreApplication (the command-line tool) it is not null.
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance())
               ? QGuiApplication::palette().color(QPalette::Base)
               : QColor(Qt::white);
}

// Nearest integer, halves to even, kept well inside 32 bits.
int arrondiEcran(double v)
{
    if (std::isnan(v))
        return -1;
    return int(std::clamp(std::nearbyint(v), -LimiteEcran, LimiteEcran));
}

// The rectangle filled at the start of a full redraw: the painter's clip, or its whole device.
QRect rectangleAEffacer(const QPainter &p)
{
    if (p.hasClipping())
        return p.clipBoundingRect().toAlignedRect();
    const QPaintDevice *d = p.device();
    return d ? QRect(0, 0, d->width(), d->height()) : QRect();
}

QPen stylo(const QColor &c, int largeur, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(c, largeur, style);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

} // namespace

std::array<QColor, NbreVoiesMult> CouleurVoie = couleursInitiales;
std::array<QColor, 3> CouleurVoieOsc{QColor(0, 0, 0), QColor(0, 0, 255), QColor(255, 0, 0)};

void RetablitCouleursVoies() { CouleurVoie = couleursInitiales; }

QFont PoliceGraphe()
{
    static const bool substitue = [] {
        QFont::insertSubstitution(QStringLiteral("Calibri"), QStringLiteral("Carlito"));
        return true;
    }();
    (void)substitue;
    QFont f(QStringLiteral("Calibri"));
    f.setPointSize(10);
    return f;
}

// ---- Tgraphe -----------------------------------------------------------------

Tgraphe::Tgraphe() : couleurFond(couleurFenetre())
{
    voie[VoieAbscisse].AxeLog = true;
}

int Tgraphe::derniere() const { return std::clamp(DerniereVoie, 0, 4); }

int Tgraphe::nbrePoints() const { return std::clamp(NbrePoints, 0, TailleVecteurMult); }

void Tgraphe::LineG(int x1, int y1, int x2, int y2)
{
    if (Canvas)
        Canvas->drawLine(x1, y1, x2, y2);
}

void Tgraphe::DrawG(const TRectangle &r)
{
    LimiteCourbe = r;
    if (!Canvas)
        return;
    QPainter &p = *Canvas;
    const QFont police = PoliceGraphe();
    p.setFont(police);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::Antialiasing, false);
    hauteurTexte = QFontMetrics(police, p.device()).height();
    LimiteCourbe.bottom -= 2 * hauteurTexte;
    LimiteCourbe.top += 2;

    p.fillRect(rectangleAEffacer(p), couleurFond);
    p.setBrush(QBrush(couleurFond, Qt::SolidPattern));
    p.setPen(stylo(CouleurGrille, 1));

    dimPoint = (LimiteCourbe.bottom - LimiteCourbe.top) / 220 + 1;

    Tvoie &x = voie[VoieAbscisse];
    const double largeur = LimiteCourbe.right - LimiteCourbe.left;
    if (x.AxeLog) {
        x.a = largeur / std::log10(x.maxi / x.mini);
        x.b = LimiteCourbe.left - std::log10(x.mini) * x.a;
    } else {
        x.a = largeur / (x.maxi - x.mini);
        x.b = LimiteCourbe.left - x.mini * x.a;
    }

    if (Quadrillage)
        DrawAxis();

    p.setPen(stylo(CouleurGrille, 1));
    for (int j = 1; j <= derniere(); ++j) {
        Tvoie &v = voie[size_t(j)];
        v.a = (LimiteCourbe.top - LimiteCourbe.bottom) / (v.maxi - v.mini);
        v.b = LimiteCourbe.bottom - v.mini * v.a;
    }

    for (int i = 0; i < nbrePoints(); ++i)
        for (int j = 1; j <= derniere(); ++j)
            TraceCroix(j, x.valeur[size_t(i)], voie[size_t(j)].valeur[size_t(i)], x.incertitude[size_t(i)],
                       voie[size_t(j)].incertitude[size_t(i)]);

    for (int j = 0; j <= derniere(); ++j)
        voie[size_t(j)].posCurseur = -1;
}

std::vector<TTraitAbscisse> Tgraphe::TraitsAbscisse() const
{
    std::vector<TTraitAbscisse> traits;
    const Tvoie &x = voie[VoieAbscisse];
    if (x.AxeLog) {
        const double l1 = std::log10(x.mini);
        const double l2 = std::log10(x.maxi);
        if (!std::isfinite(l1) || !std::isfinite(l2))
            return traits;
        const bool mineures = std::log10(x.maxi / x.mini) <= 4;
        const int k1 = int(std::nearbyint(l1));
        const int k2 = int(std::nearbyint(l2));
        for (int k = k1; k <= k2; ++k) {
            const double dix = std::pow(10.0, k);
            traits.push_back({x.GrandeurToEcran(dix), false, FormatPrefixed(dix, x.Unite)});
            if (mineures)
                for (int m = 2; m <= 9; ++m)
                    traits.push_back({x.GrandeurToEcran(m * dix), true, QString()});
        }
    } else {
        for (int i = 1; i <= 4; ++i) {
            const double v = i * x.maxi / 5;
            traits.push_back({x.GrandeurToEcran(v), true, FormatPrefixed(v, x.Unite)});
        }
    }
    return traits;
}

void Tgraphe::DrawAxis()
{
    if (!Canvas)
        return;
    QPainter &p = *Canvas;
    const TRectangle &r = LimiteCourbe;
    const QPen pointille = stylo(CouleurGrille, 1, Qt::DotLine);
    const QPen plein = stylo(CouleurGrille, 1);
    const int ascent = QFontMetrics(p.font(), p.device()).ascent();
    const int h = QFontMetrics(p.font(), p.device()).height();

    p.setPen(pointille);
    for (int i = 0; i <= 10; ++i) {
        const int y = r.top + (i * (r.bottom - r.top)) / 10;
        LineG(r.left, y, r.right, y);
    }
    for (const TTraitAbscisse &t : TraitsAbscisse()) {
        p.setPen(t.pointille ? pointille : plein);
        LineG(t.x, r.top, t.x, r.bottom);
        if (!t.texte.isEmpty()) {
            p.setPen(plein);
            p.drawText(t.x, r.bottom + 2 + ascent, t.texte);
        }
    }
    p.setPen(plein);
    p.drawText(r.right - 2 * h, r.bottom + 2 + ascent, voie[VoieAbscisse].Nom);
}

void Tgraphe::TraceCroix(indiceVoieMult j, double x, double y, double dx, double dy)
{
    if (!Canvas || j < 0 || j >= NbreVoiesMult || std::isnan(x) || std::isnan(y))
        return;
    if (std::isnan(dx))
        dx = 0;
    if (std::isnan(dy))
        dy = 0;
    dx *= 2.58;
    dy *= 2.58;
    const Tvoie &vx = voie[VoieAbscisse];
    const Tvoie &vy = voie[size_t(j)];
    const int64_t x1 = vx.GrandeurToEcran(x - dx), x2 = vx.GrandeurToEcran(x + dx);
    const int64_t y1 = vy.GrandeurToEcran(y - dy), y2 = vy.GrandeurToEcran(y + dy);
    const int64_t w = std::max<int64_t>((x2 - x1) / 2, 1);
    const int64_t cx = (x1 + x2) / 2;
    const int64_t hh = std::max<int64_t>((y1 - y2) / 2, dimPoint);
    const int64_t cy = (y1 + y2) / 2;
    // The brush alone covers the box, so that in not-xor mode no pixel is painted twice.
    Canvas->setPen(Qt::NoPen);
    Canvas->setBrush(QBrush(CouleurVoie[size_t(j)], Qt::SolidPattern));
    Canvas->drawEllipse(QRect(int(cx - w), int(cy - hh), int(2 * w), int(2 * hh)));
}

void Tgraphe::AffichePointCourant()
{
    if (ErreurLectureGlb || !Canvas)
        return;
    Canvas->save();
    Canvas->setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    const Tvoie &x = voie[VoieAbscisse];
    for (int j = 1; j <= derniere(); ++j)
        TraceCroix(j, x.valeurCourante, voie[size_t(j)].valeurCourante, x.incertitudeCourante,
                   voie[size_t(j)].incertitudeCourante);
    Canvas->restore();
}

void Tgraphe::croixCurseur(indiceVoieMult j)
{
    const int x = voie[VoieAbscisse].posCurseur;
    const int y = voie[size_t(j)].posCurseur;
    if (y < 0)
        return;
    // Two arms 3 pixels wide, filled as one shape so that where they cross the pixels are
    // painted once (in not-xor mode a second paint would clear them).
    const qreal bras = 3.0 * dimPoint;
    QPainterPath croix;
    croix.setFillRule(Qt::WindingFill);
    croix.addRect(QRectF(x - bras, y - 1, 2 * bras + 1, 3));
    croix.addRect(QRectF(x - 1, y - bras, 3, 2 * bras + 1));
    Canvas->fillPath(croix, CouleurVoie[size_t(j)]);
}

void Tgraphe::AfficheCurseur()
{
    if (ErreurLectureGlb || !Canvas)
        return;
    Canvas->save();
    Canvas->setRenderHint(QPainter::Antialiasing, false);
    Canvas->setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    if (voie[VoieAbscisse].posCurseur > 0)
        for (int j = 1; j <= derniere(); ++j)
            croixCurseur(j);
    Tvoie &x = voie[VoieAbscisse];
    x.posCurseur = x.GrandeurToEcran(x.valeurCourante);
    for (int j = 1; j <= derniere(); ++j) {
        Tvoie &v = voie[size_t(j)];
        v.posCurseur = v.GrandeurToEcran(v.valeurCourante);
        croixCurseur(j);
    }
    Canvas->restore();
}

void Tgraphe::signaleErreur(const QString &texte)
{
    if (PanelErreurLect)
        PanelErreurLect(texte);
}

bool Tgraphe::EnregistrePointCourant()
{
    if (ErreurLectureGlb) {
        signaleErreur(QStringLiteral("Données incorrectes"));
        return false;
    }
    if (!acqAutoEnCours)
        for (int j = 0; j <= derniere(); ++j) {
            const Tvoie &v = voie[size_t(j)];
            if (std::isnan(v.valeurCourante) || std::isnan(v.oldValeur)
                || std::fabs(v.valeurCourante - v.oldValeur) > (v.maxi - v.mini) / 32) {
                signaleErreur(QStringLiteral("Données instables (cf Avg)"));
                return false;
            }
        }
    // The table holds NbrePointsMax points; the windows refuse the record action from there on.
    if (NbrePoints < 0 || NbrePoints >= NbrePointsMax)
        return false;
    const size_t n = size_t(NbrePoints);
    for (int j = 0; j <= derniere(); ++j)
        if (std::isnan(voie[size_t(j)].valeurCourante))
            return false;
    for (int j = 0; j <= derniere(); ++j) {
        Tvoie &v = voie[size_t(j)];
        v.valeur[n] = v.valeurCourante;
        v.incertitude[n] = v.incertitudeCourante;
    }
    voie[VoieTemps].valeur[n] = voie[VoieTemps].valeurCourante;
    ++NbrePoints;
    AffichePointCourant();
    return true;
}

void Tgraphe::tri()
{
    const int n = nbrePoints();
    // Insertion sort, stable: a point moves before another only on a strictly smaller abscissa.
    for (int i = 1; i < n; ++i) {
        int k = i;
        while (k > 0 && voie[0].valeur[size_t(k)] < voie[0].valeur[size_t(k - 1)]) {
            for (int j = 0; j <= 4; ++j) {
                std::swap(voie[size_t(j)].valeur[size_t(k)], voie[size_t(j)].valeur[size_t(k - 1)]);
                std::swap(voie[size_t(j)].incertitude[size_t(k)], voie[size_t(j)].incertitude[size_t(k - 1)]);
            }
            --k;
        }
    }
    for (int j = 1; j <= 4; ++j) {
        Tvoie &v = voie[size_t(j)];
        if (!v.Active || v.Unite != QStringLiteral("\u00B0"))
            continue;
        for (int i = 1; i < n; ++i) {
            double &p = v.valeur[size_t(i)];
            const double tours = std::nearbyint((p - v.valeur[size_t(i - 1)]) / 360);
            if (std::isfinite(tours))
                p -= 360 * tours;
        }
    }
}

// ---- TgrapheOsc --------------------------------------------------------------

TgrapheOsc::TgrapheOsc() : couleurFond(couleurFenetre())
{
    voie[1].assign(TailleVoie, 0);
    voie[2].assign(TailleVoie, 0);
}

void TgrapheOsc::LineG(int x1, int y1, int x2, int y2)
{
    if (Canvas)
        Canvas->drawLine(x1, y1, x2, y2);
}

void TgrapheOsc::GrandeurToEcran(int index, int32_t sample, int &x, int &y) const
{
    x = arrondiEcran(Ax * index + Bx);
    y = arrondiEcran(Ay * sample + By);
}

void TgrapheOsc::DrawG(const TRectangle &r)
{
    if (!Canvas)
        return;
    QPainter &p = *Canvas;
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(rectangleAEffacer(p), couleurFond);
    p.setBrush(QBrush(couleurFond, Qt::SolidPattern));
    p.setPen(stylo(CouleurGrille, 1));

    // An envelope needs two samples per slot.
    const int n = std::clamp(NbrePoints, 0, Enveloppe ? TailleVoie / 2 : TailleVoie);
    Ax = n > 0 ? double(r.right - r.left) / n : 0.0;
    Bx = r.left;

    if (Quadrillage) {
        p.setPen(stylo(CouleurGrille, 1, Qt::DotLine));
        for (int i = 0; i <= 8; ++i) {
            const int y = r.top + (i * (r.bottom - r.top)) / 8;
            LineG(r.left, y, r.right, y);
        }
        for (int i = 0; i <= 10; ++i) {
            const int x = r.left + (i * (r.right - r.left)) / 10;
            LineG(x, r.top, x, r.bottom);
        }
        p.setPen(stylo(CouleurGrille, 1));
    }

    if (MaxY != MinY) {
        Ay = double(r.top - r.bottom) / (double(MaxY) - double(MinY));
        By = r.bottom - MinY * Ay;
    } else {   // no range: the samples lie on the middle line
        Ay = 0;
        By = (r.top + r.bottom) / 2;
    }

    for (int e = 1; e <= 2; ++e) {
        const std::vector<int32_t> &v = voie[size_t(e)];
        if (n == 0 || !Affichee[size_t(e)] || v.size() < size_t(Enveloppe ? 2 * n : n))
            continue;
        p.setPen(stylo(CouleurVoieOsc[size_t(e)], 1));
        if (!Enveloppe) {
            QPolygon courbe(n);
            for (int i = 0; i < n; ++i) {
                int x, y;
                GrandeurToEcran(i, v[size_t(i)], x, y);
                courbe.setPoint(i, x, y);
            }
            p.drawPolyline(courbe);
            continue;
        }
        // The band: each slot from its minimum to its maximum, and both edges joined.
        QPolygon bas(n), haut(n);
        for (int j = 0; j < n; ++j) {
            int x, y1, y2;
            GrandeurToEcran(j, v[size_t(2 * j)], x, y1);
            GrandeurToEcran(j, v[size_t(2 * j + 1)], x, y2);
            bas.setPoint(j, x, y1);
            haut.setPoint(j, x, y2);
            LineG(x, y1, x, y2);
        }
        p.drawPolyline(bas);
        p.drawPolyline(haut);
    }

    for (int e = 1; e <= 2; ++e) {
        p.setPen(stylo(CouleurVoieOsc[size_t(e)], 1, Qt::DotLine));
        for (int m = 0; m < 2; ++m) {
            int x, y;
            if (posX[size_t(e)][size_t(m)] != 0) {
                GrandeurToEcran(posX[size_t(e)][size_t(m)], 0, x, y);
                LineG(x, r.top, x, r.bottom);
            }
            if (posY[size_t(e)][size_t(m)] != 0) {
                GrandeurToEcran(0, posY[size_t(e)][size_t(m)], x, y);
                LineG(r.left, y, r.right, y);
            }
        }
    }
}
