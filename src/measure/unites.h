#pragma once
// Numbers for files and commands, SI prefixes, units, angles, elapsed time, message helpers.
#include <QString>
#include <array>
#include <cstdint>

// Scientific form with 6 significant digits and "." whatever the locale: 1.23450E+3.
QString FormatNumber(double value);
// Value with a prefix letter and unit for graph scales: "1.5 kV"; NaN gives " ".
QString FormatPrefixed(double value, const QString &unite);

// SI prefix letter for index 0..18 (9: none; 0 and 18: out of range).
QString LettrePrefixe(int indice);

class Tunite {
public:
    Tunite() { Init(); }
    void Init();
    void setUniteComplet(const QString &nu, int d1, int d2, int d3, int d4, int d5, int d6, int d7);
    void RecopieUnite(const Tunite &u);
    void setUnite(const QString &symbole);
    QString Unite() const { return FUnite; }
    QString NomAff(int puissValeur) const;
    void formatValeurEtUnite(double nombre, QString &valeurStr, QString &uniteStr) const;
    QString formatU(double nombre) const;

    QString FUnite;
    std::array<int8_t, 7> Dimension{};   // m, kg, s, A, K, mol, cd
    QString nom;
    uint8_t PrecisionU = 5;
    bool avecPrefixe = true;
};

// The standard units "m", "A", "V", "s", "°" and the empty unit, in that order.
const Tunite &UniteStandard(int i);

extern bool angleEnDegre;
// Angle of re + j·im in degrees or radians; throws std::domain_error for 0 + j0.
double ComplexAngle(double re, double im);
double FullTurn();
double FloorValue(double x);

// A mark on a monotonic clock, so elapsed times stay right across midnight.
using MarqueTemps = qint64;
MarqueTemps MarqueMaintenant();
double ElapsedSeconds(MarqueTemps marque);

// Message boxes, through whatever the program installed (windows, or a console).
class IDialogue {
public:
    virtual ~IDialogue() = default;
    virtual bool confirm(const QString &message) = 0;
    virtual void inform(const QString &message) = 0;
};
void setDialogue(IDialogue *d);   // nullptr: console answers (confirm says no)
bool Confirm(const QString &message);
void Inform(const QString &message);
