#pragma once
// The two plots of the measurement windows, drawn on a QPainter:
// - Tgraphe: recorded points of up to four ordinate channels against the abscissa channel
//   (linear or logarithmic), each point an ellipse sized by its uncertainty, with a live
//   cross-shaped cursor drawn in not-xor mode so that drawing it again erases it;
// - TgrapheOsc: two raw sample curves on an oscilloscope graticule with marker lines.
// The live cursor and the current points need a raster surface (a QImage or a widget's
// backing store) for the not-xor mode.
#include "measure/voies.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <array>
#include <functional>
#include <vector>

class QPainter;

// A rectangle in pixels as a window's client area gives it: right and bottom are just past
// the last column and row.
struct TRectangle {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Grid lines and axis texts.
inline constexpr QColor CouleurGrille{128, 128, 128};
// Colour of each channel index of Tgraphe, shared by every graph and by the windows' labels;
// the Bode settings change entries.
extern std::array<QColor, NbreVoiesMult> CouleurVoie;
// Back to black, red, green, blue, purple, black.
void RetablitCouleursVoies();
// Curve colours of TgrapheOsc, inputs 1 and 2 (index 0 unused): blue and red.
extern std::array<QColor, 3> CouleurVoieOsc;

// "Calibri" 10 points; where Calibri is missing, the metric-compatible Carlito stands in.
QFont PoliceGraphe();

// One vertical line of the abscissa scale, with its label when it has one.
struct TTraitAbscisse {
    int x = 0;
    bool pointille = false;
    QString texte;
};

class Tgraphe {
public:
    Tgraphe();

    // Full redraw into r.
    void DrawG(const TRectangle &r);
    // Grid and abscissa labels (DrawG calls it when Quadrillage).
    void DrawAxis();
    // The vertical lines and labels of the abscissa for the current mapping of channel 0.
    std::vector<TTraitAbscisse> TraitsAbscisse() const;
    void LineG(int x1, int y1, int x2, int y2);
    // The ellipse of one point of channel j: half-axes 2.58 times the uncertainties (99 %).
    void TraceCroix(indiceVoieMult j, double x, double y, double dx, double dy);
    // The points of the current readings, in not-xor mode.
    void AffichePointCourant();
    // Moves the live cursor to the current readings (erasing the previous one).
    void AfficheCurseur();
    // Records the current readings as a new point; false (with the message shown through
    // PanelErreurLect) when the readings failed or are unstable.
    bool EnregistrePointCourant();
    // Sorts the points by abscissa and unwraps the phases.
    void tri();

    int32_t dimPoint = 1;
    QPainter *Canvas = nullptr;   // the window's, not owned
    bool Quadrillage = true;
    bool ErreurLectureGlb = false;
    std::array<Tvoie, NbreVoiesMult> voie;
    int32_t NbrePoints = 0;
    indiceVoieMult DerniereVoie = 1;
    TRectangle LimiteCourbe;
    // Where recording errors are shown (the window makes its label visible with the text).
    std::function<void(const QString &)> PanelErreurLect;
    bool acqAutoEnCours = false;
    // The window colour behind the plot.
    QColor couleurFond;
    // Character height of the font in pixels, measured at the last DrawG.
    int hauteurTexte = 0;

private:
    int derniere() const;
    int nbrePoints() const;
    void croixCurseur(indiceVoieMult j);
    void signaleErreur(const QString &texte);
};

class TgrapheOsc {
public:
    TgrapheOsc();

    void DrawG(const TRectangle &r);
    // Screen point of a sample: (Ax·index + Bx, Ay·sample + By), rounded halves to even.
    void GrandeurToEcran(int index, int32_t sample, int &x, int &y) const;
    void LineG(int x1, int y1, int x2, int y2);

    static constexpr int TailleVoie = 32769;

    QPainter *Canvas = nullptr;   // not owned
    bool Quadrillage = true;
    std::array<std::vector<int32_t>, 3> voie;   // inputs 1 and 2, TailleVoie samples each
    int32_t NbrePoints = 0;
    double Ax = 1, Ay = 1, Bx = 0, By = 0;
    int32_t MaxY = 0, MinY = 0;
    // Markers of inputs 1 and 2: posX in sample indices, posY in sample values; 0 is none.
    std::array<std::array<int32_t, 2>, 3> posX{};
    std::array<std::array<int32_t, 2>, 3> posY{};
    QColor couleurFond;
    // Inputs drawn (index 0 unused); an input left out keeps its samples but shows nothing.
    std::array<bool, 3> Affichee{false, true, true};
    // Peak-detect record: samples 2j and 2j + 1 are the minimum and maximum of slot j,
    // NbrePoints counts the slots and each input is drawn as the band between its two curves.
    bool Enveloppe = false;
};
