#pragma once
// The automatic frequency sweep, without widgets: for each frequency of the list, the
// generator is set, the oscilloscope's time base is set for about two to three periods in
// its maker's dialect, the sweep waits for the circuit to settle, then one measurement and
// one record are made through IPointBalayage (the Bode or multimeter window, ondivar-cli,
// the tests). A channel that clips or fills less than a quarter of the screen has its
// vertical scale changed and the point is measured again. A failed point is tried once more
// and then left out; Stop ends the sweep after the exchange in progress; a generator that
// fails ends it with its message. The points recorded so far stay the window's.
#include "generator/generateur.h"
#include "link/types.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

class TEchange;
class TRigol;

struct TParametresBalayage {
    double debut = 100;         // Hz
    double fin = 10000;         // Hz, included
    bool logarithmique = true;
    int parDecade = 10;         // points per decade (logarithmic)
    int nombrePoints = 21;      // points (linear), ends included
    int attenteMinMs = 200;     // settling wait: 3 periods of the new frequency, at least this
};

// The frequencies of a sweep, both ends included: logarithmic steps of a decade / parDecade
// from the start (the end added when the steps do not fall on it), or nombrePoints evenly
// spaced. Empty with a French message for a start or end that is not a positive number,
// equal ends, a count out of range (1 to 1000 per decade, 2 to 10 000 points) or more than
// 10 000 points in all.
std::vector<double> FrequencesBalayage(const TParametresBalayage &p, QString &erreur);
// The settling wait after setting frequency f, in milliseconds.
int AttenteStabilisation(double f, int attenteMinMs);

// The oscilloscope's side of the sweep, by maker:
// - horizontal divisions of the screen (Agilent, HP, Sefram, GoodWill, FI: 10; Rigol: 12;
//   Siglent: 14);
double DivisionsHorizontales(Tconstructeur c);
// - the smallest 1-2-5 time per division that puts at least `periodes` periods of f in
//   `divisions` divisions (so fewer than 2.5 × periodes);
double BaseDeTempsPour(double f, double divisions, double periodes = 2.2);
// - the time-base command: ":TIM:RANG <10 div>" (Agilent, HP), "TDIV <s>" (Siglent),
//   ":TIM:SCAL <s>" (the others);
QByteArray CommandeBaseDeTemps(Tconstructeur c, double parDivision);
// - the vertical-scale command of input n: ":CHANn:RANG <8 div>" (Agilent, HP), "Cn:VDIV <V>"
//   (Siglent), ":CHANn:SCAL <V>" (the others).
QByteArray CommandeCalibre(Tconstructeur c, int voie, double parDivision);
// The smallest 1-2-5 value at least v.
double Valeur125(double v);

// What the sweep sees of one input on the screen after a measurement.
struct TVoieEcran {
    double calibre = 0;      // volts per division
    double crete = 0;        // peak-to-peak volts seen
    bool saturee = false;    // the trace leaves the screen
};

// One point of the sweep: the window's measurement and record action.
class IPointBalayage {
public:
    virtual ~IPointBalayage() = default;
    // One measurement at the frequency now set; false with the reason otherwise. May throw
    // EserieError (reason: its message).
    virtual bool mesure(QString &erreur) = 0;
    // Records the point measured last, as the window's record action does.
    virtual void enregistre() = 0;
    // Input n (1 or 2) as the last measurement saw it, a failed one included (a reading
    // refused on a trace off the screen); false when it is not known (no vertical-scale
    // adjustment then).
    virtual bool voieEcran(int /*n*/, TVoieEcran & /*e*/) { return false; }
    // Divisions of the time base the measurement's record spans; 0: the screen's.
    virtual double divisionsEnregistrement() const { return 0; }
    // The results of the last measurement, for the progress line (NaN when not known).
    virtual double gain() const;
    virtual double phase() const;
};

// The oscilloscope's commands. commande may throw EserieError.
class IOscilloBalayage {
public:
    virtual ~IOscilloBalayage() = default;
    virtual Tconstructeur constructeur() const = 0;
    virtual void commande(const QByteArray &c) = 0;
};

// The detected instrument through the program's exchange (serial makers; Agilent and HP
// commands end with ";*OPC?") or the Rigol driver (Rigol over USB or VISA, Siglent).
class TOscilloBalayage : public IOscilloBalayage {
public:
    TOscilloBalayage(Tconstructeur c, TEchange *echange, TRigol *rigol) : c_(c), echange_(echange), rigol_(rigol) {}
    Tconstructeur constructeur() const override { return c_; }
    void commande(const QByteArray &c) override;

private:
    Tconstructeur c_;
    TEchange *echange_;
    TRigol *rigol_;
};

// The generator's side of the sweep (TGenerateur, or a stand-in).
class IGenerateurBalayage {
public:
    virtual ~IGenerateurBalayage() = default;
    virtual bool regleFrequence(double f, QString &erreur) = 0;
};

class TGenerateurBalayage : public IGenerateurBalayage {
public:
    explicit TGenerateurBalayage(TGenerateur &g) : g_(g) {}
    bool regleFrequence(double f, QString &erreur) override { return g_.regleFrequence(f, erreur); }

private:
    TGenerateur &g_;
};

// What the sweep shows. Every call comes from the user-interface thread.
class IVueBalayage {
public:
    virtual ~IVueBalayage() = default;
    // Point k (1..n) is under way at frequency f.
    virtual void progression(int /*k*/, int /*n*/, double /*f*/) {}
    // Point k was recorded.
    virtual void point(int /*k*/, double /*f*/, double /*gain*/, double /*phase*/) {}
    // A status-bar text (a point left out, the end of the sweep).
    virtual void etat(const QString & /*texte*/) {}
    // Lets the interface handle its pending events (the Stop button) during the waits.
    virtual void pompe();
};

struct TResultatBalayage {
    int points = 0;                 // points recorded
    QList<double> ignorees;         // frequencies left out after two failed tries
    bool arrete = false;            // ended by Stop
    QString erreur;                 // the failure that ended the sweep; empty otherwise
};

class Balayage {
public:
    static constexpr int MaxReglagesVerticaux = 4;

    Balayage(IGenerateurBalayage &generateur, IOscilloBalayage &oscillo, IPointBalayage &point, IVueBalayage *vue = nullptr)
        : gen_(generateur), osc_(oscillo), point_(point), vue_(vue) {}

    // Runs the sweep; refused (empty result with its message) while one runs.
    TResultatBalayage execute(const TParametresBalayage &p);
    // Stop: the sweep ends after the exchange in progress.
    void arrete() { arret_ = true; }
    bool enCours() const { return enCours_; }

    // The periods the time base puts at least in the record: 2.2, a margin over the two
    // periods the instruments' automatic measurements need (so fewer than 5.5).
    double periodes = 2.2;

private:
    IVueBalayage &vue();
    bool attend(int ms);
    bool arretDemande() const;
    bool mesurePoint(double f, QString &erreur);
    bool ajusteVertical(bool &change);

    IGenerateurBalayage &gen_;
    IOscilloBalayage &osc_;
    IPointBalayage &point_;
    IVueBalayage *vue_;
    bool arret_ = false;
    bool enCours_ = false;
    int attenteMinMs_ = 200;
};
