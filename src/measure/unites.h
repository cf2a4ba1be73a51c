#pragma once
// Numbers written for files and commands, SI prefixes, units with their SI dimension,
// angles of complex numbers, elapsed time and the two standard message boxes.
#include <QObject>
#include <QString>
#include <QTextStream>
#include <array>
#include <chrono>
#include <cstdint>

// ---- Number text -------------------------------------------------------------

// Scientific form with 6 significant digits and "." whatever the locale:
// 1234.5 -> "1.23450E+3", 0 -> "0.00000E+0". NaN -> "NaN", infinities -> "INF" / "-INF".
QString FormatNumber(double value);

// Decimal rounding to at most `chiffres` significant digits (1..17), halves away from zero,
// of the shortest decimal text that reads back as x: 1.2345 gives 1.235 although the binary
// value of 1.2345 lies just below the half. NaN and infinities are returned unchanged.
double ArrondiDecimal(double x, int chiffres);

// General notation (as "%g") with at most `chiffres` significant digits, rounded by
// ArrondiDecimal, with the user's decimal separator and no group separator:
// 1.2345, 4 -> "1.235" (or "1,235"); 0.5, 4 -> "0.5"; 1e30, 4 -> "1e+30".
// Every value text of the program with a number of significant digits is written by it.
QString FormatGeneral(double x, int chiffres);

// Value with a prefix letter and the unit, for graph scales: 1500, "V" -> "1.5 kV";
// at most 4 significant digits, user's decimal separator; NaN gives " ".
QString FormatPrefixed(double value, const QString &unite);

// ---- SI prefixes -------------------------------------------------------------
// Index 0..18, power of ten 3 * (i - 9); 9 is "no prefix", 0 and 18 mark under- and overflow.
constexpr int IndiceSansPrefixe = 9;
constexpr int IndicePrefixeMin = 0;
constexpr int IndicePrefixeMax = 18;
constexpr int PuissancePrefixe(int indice) { return 3 * (indice - IndiceSansPrefixe); }
// Letter of the prefix ("k", "m", micro sign U+00B5...); empty for 9, 0, 18 and out of range.
QString LettrePrefixe(int indice);

// ---- Units -------------------------------------------------------------------

class Tunite {
    Q_GADGET
    Q_PROPERTY(QString Unite READ Unite WRITE setUnite)
public:
    Tunite() { Init(); }
    explicit Tunite(const QString &symbole) { Init(); setUnite(symbole); }

    // Empty symbol, no dimension, 5 digits, with prefixes, no name.
    void Init();
    // Symbol and the seven exponents (m, kg, s, A, K, mol, cd); the rest is left alone.
    void setUniteComplet(const QString &nu, int d1, int d2, int d3, int d4, int d5, int d6, int d7);
    // Symbol, avecPrefixe and dimension of u (not the name nor the precision).
    void RecopieUnite(const Tunite &u);

    // Writing the symbol also sets the dimension and avecPrefixe of a standard unit
    // ("m", "A", "V", "s", degree); another symbol gets no dimension.
    void setUnite(const QString &symbole);
    QString Unite() const { return FUnite; }

    // The symbol with the prefix letter of the power of ten puissValeur (multiple of 3).
    QString NomAff(int puissValeur) const;
    // Value scaled to a prefix (when avecPrefixe) with PrecisionU digits, and its unit text.
    void formatValeurEtUnite(double nombre, QString &valeurStr, QString &uniteStr) const;
    // Value and unit without a space: "1.5mV".
    QString formatU(double nombre) const;

    QString FUnite;
    std::array<int8_t, 7> Dimension{};   // exponents of m, kg, s, A, K, mol, cd
    QString nom;
    uint8_t PrecisionU = 5;
    bool avecPrefixe = true;
};

// The standard units, built once on first use and kept to the end of the run, in this order:
// 0 "m", 1 "A", 2 "V", 3 "s", 4 degree (no prefix), 5 the empty unit.
// The first five are the ones looked up by symbol. Throws std::out_of_range for another index.
constexpr int NbreUnitesStandard = 6;
const Tunite &UniteStandard(int i);
inline const Tunite &UniteMetre() { return UniteStandard(0); }
inline const Tunite &UniteAmpere() { return UniteStandard(1); }
inline const Tunite &UniteVolt() { return UniteStandard(2); }
inline const Tunite &UniteSeconde() { return UniteStandard(3); }
inline const Tunite &UniteDegre() { return UniteStandard(4); }
inline const Tunite &UniteSansDimension() { return UniteStandard(5); }

// ---- Angles and numbers ------------------------------------------------------

// Angles are in degrees when true (the default), in radians otherwise.
extern bool angleEnDegre;

// Angle of re + j*im in (-180, 180] degrees or (-pi, pi] after angleEnDegre.
// NaN in gives NaN out; 0 + j0 has no angle and throws std::domain_error.
double ComplexAngle(double re, double im);
// 360 in degrees, 2*pi in radians.
double FullTurn();
// Largest integer not above x; NaN stays NaN.
double FloorValue(double x);

// ---- Elapsed time ------------------------------------------------------------
// Marks are taken on a monotonic clock, so a wait that spans midnight (or a change of the
// system clock) is still measured right.

class TMarqueTemps {
public:
    using Horloge = std::chrono::steady_clock;
    TMarqueTemps() = default;
    explicit TMarqueTemps(Horloge::time_point t) : instant(t) {}

    template <class Rep, class Period>
    TMarqueTemps operator+(std::chrono::duration<Rep, Period> d) const
    { return TMarqueTemps(instant + std::chrono::duration_cast<Horloge::duration>(d)); }
    template <class Rep, class Period>
    TMarqueTemps operator-(std::chrono::duration<Rep, Period> d) const
    { return TMarqueTemps(instant - std::chrono::duration_cast<Horloge::duration>(d)); }

    Horloge::time_point instant{};
};

// Now, as a mark for ElapsedSeconds.
TMarqueTemps MarqueTemps();
// Seconds from mark to now.
double ElapsedSeconds(TMarqueTemps marque);
// Seconds between two marks, never negative.
double ElapsedSeconds(TMarqueTemps debut, TMarqueTemps fin);

// ---- Message boxes -----------------------------------------------------------
// Procedures ask through this interface so they run the same with windows or headless.

class IDialogue {
public:
    virtual ~IDialogue() = default;
    // true when the user answers yes.
    virtual bool confirm(const QString &message) = 0;
    virtual void inform(const QString &message) = 0;
};

// Headless answers: writes the message to stderr and answers `reponse` to confirmations.
class TDialogueConsole : public IDialogue {
public:
    explicit TDialogueConsole(bool reponse = false) : reponse(reponse) {}
    bool confirm(const QString &message) override;
    void inform(const QString &message) override;
    bool reponse;
};

// The messages written to a text stream (the command-line tool's standard error); answers no.
class TDialogueFlux : public IDialogue {
public:
    explicit TDialogueFlux(QTextStream &flux) : flux_(flux) {}
    bool confirm(const QString &message) override { inform(message); return false; }
    void inform(const QString &message) override { flux_ << message << Qt::endl; }
private:
    QTextStream &flux_;
};

// The console answerer used while no other one is installed (answers no).
TDialogueConsole &dialogueConsole();
// Installs d (not owned; it must outlive its use); nullptr goes back to dialogueConsole().
void setDialogue(IDialogue *d);
IDialogue &dialogue();
// Installs an answerer for the length of a scope and puts the previous one back.
struct TDialogueTemporaire {
    explicit TDialogueTemporaire(IDialogue *d) : precedent(&dialogue()) { setDialogue(d); }
    ~TDialogueTemporaire() { setDialogue(precedent == &dialogueConsole() ? nullptr : precedent); }
    TDialogueTemporaire(const TDialogueTemporaire &) = delete;
    TDialogueTemporaire &operator=(const TDialogueTemporaire &) = delete;
    IDialogue *precedent;
};

// A confirmation with the buttons Yes and No; true when Yes is chosen.
bool Confirm(const QString &message);
// An information with an OK button.
void Inform(const QString &message);
