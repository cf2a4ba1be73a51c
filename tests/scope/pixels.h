#pragma once
// Reading back what a drawing area shows: colours near a point, in a column, anywhere.
#include "measure/graphe.h"
#include "scope/zonecourbes.h"

#include <QImage>
#include <vector>

inline const QColor Bleu(0, 0, 255);
inline const QColor Rouge(255, 0, 0);

// The colour at (x, y) or at one of its eight neighbours.
inline bool couleurPres(const QImage &img, int x, int y, const QColor &c)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (img.valid(x + dx, y + dy) && img.pixelColor(x + dx, y + dy).rgb() == c.rgb())
                return true;
    return false;
}

inline bool contientCouleur(const QImage &img, const QColor &c)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y).rgb() == c.rgb())
                return true;
    return false;
}

// Pixels of colour c in column x.
inline int pixelsColonne(const QImage &img, int x, const QColor &c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        n += img.valid(x, y) && img.pixelColor(x, y).rgb() == c.rgb();
    return n;
}

// Share of the samples (every pas-th of the n first) drawn where the graph maps them, in c.
inline double partTracee(const TZoneCourbes &z, const QImage &img, const qint32 *v, int n, int pas, const QColor &c)
{
    int vus = 0, total = 0;
    for (int i = 0; i < n; i += pas) {
        int x, y;
        z.graphe().GrandeurToEcran(i, v[i], x, y);
        ++total;
        vus += couleurPres(img, x, y, c);
    }
    return total ? double(vus) / total : 0.0;
}

inline QImage image(TZoneCourbes &z) { return z.grab().toImage().convertToFormat(QImage::Format_RGB32); }
