#include "scope/zonecourbes.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <limits>

TZoneCourbes::TZoneCourbes(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ZoneCourbes"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
    efface();
}

TRectangle TZoneCourbes::cadre() const
{
    // The last column and row stay inside the widget: the graticule's border lines show.
    return TRectangle{0, 0, std::max(width() - 1, 1), std::max(height() - 1, 1)};
}

void TZoneCourbes::efface()
{
    g_.NbrePoints = 0;
    g_.Enveloppe = false;
    g_.Affichee = {false, false, false};
    g_.MaxY = 1;
    g_.MinY = -1;
    sansMarques();
}

void TZoneCourbes::montre(const qint32 *ch1, const qint32 *ch2, int n, bool enveloppe)
{
    const int capacite = enveloppe ? TgrapheOsc::TailleVoie / 2 : TgrapheOsc::TailleVoie;
    n = std::clamp(n, 0, capacite);
    if (n == 0 || (!ch1 && !ch2)) {
        efface();
        update();
        return;
    }
    const int echantillons = enveloppe ? 2 * n : n;
    qint64 mini = std::numeric_limits<qint64>::max(), maxi = std::numeric_limits<qint64>::min();
    const qint32 *sources[3] = {nullptr, ch1, ch2};
    for (int e = 1; e <= 2; ++e) {
        g_.Affichee[size_t(e)] = sources[e] != nullptr;
        if (!sources[e])
            continue;
        std::copy(sources[e], sources[e] + echantillons, g_.voie[size_t(e)].begin());
        const auto [bas, haut] = std::minmax_element(sources[e], sources[e] + echantillons);
        mini = std::min<qint64>(mini, *bas);
        maxi = std::max<qint64>(maxi, *haut);
    }
    // A twentieth of the range above and below, so that extremes stay off the border;
    // a flat record lies on the middle line.
    const qint64 marge = std::max<qint64>((maxi - mini) / 20, 1);
    g_.MaxY = qint32(std::min<qint64>(maxi + marge, std::numeric_limits<qint32>::max()));
    g_.MinY = qint32(std::max<qint64>(mini - marge, std::numeric_limits<qint32>::min()));
    g_.NbrePoints = n;
    g_.Enveloppe = enveloppe;
    cale();
    update();
}

void TZoneCourbes::marque(int debut, int fin)
{
    // Marker positions are sample indices of the drawing: slots for an envelope.
    const int k = g_.Enveloppe ? 2 : 1;
    g_.posX[1] = {std::max(debut, 0) / k, std::max(fin, 0) / k};
    update();
}

void TZoneCourbes::sansMarques()
{
    for (auto &m : g_.posX)
        m = {0, 0};
    for (auto &m : g_.posY)
        m = {0, 0};
    update();
}

void TZoneCourbes::cale()
{
    const TRectangle r = cadre();
    const int n = g_.NbrePoints;
    g_.Ax = n > 0 ? double(r.right - r.left) / n : 0.0;
    g_.Bx = r.left;
    if (g_.MaxY != g_.MinY) {
        g_.Ay = double(r.top - r.bottom) / (double(g_.MaxY) - double(g_.MinY));
        g_.By = r.bottom - g_.MinY * g_.Ay;
    }
}

void TZoneCourbes::resizeEvent(QResizeEvent *e)
{
    cale();
    QWidget::resizeEvent(e);
}

void TZoneCourbes::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    g_.couleurFond = palette().color(QPalette::Base);
    g_.Canvas = &p;
    g_.DrawG(cadre());
    g_.Canvas = nullptr;
}
