// Rigol and Siglent instruments of the simulator: a Rigol of the DS1000E kind, a Rigol of
// the DS1000Z kind and a Siglent of the SDS1000X-E kind, with their command tables.
#pragma once

#include "simengine.h"

#include <QByteArray>
#include <QString>

// What a channel of the instrument is set to, besides the signal fed to it.
struct SimRigolVoie {
    SimSignal signal;
    double echelle = 0.5;   // volts per division
    double decalage = 0.0;  // vertical offset setting, volts
    bool inverse = false;
    bool affichee = true;
};

// Faults of the waveform replies.
struct SimRigolDefauts {
    bool tronque = false;      // the block stops after half its data
    bool ecart = false;        // the header announces count + ecartCompte bytes
    qint64 ecartCompte = 0;
    bool chiffresFaux = false; // the header's count digits are letters
    bool coupure = false;      // the connection is dropped in the middle of the data
    int apres = 1;             // first waveform reply (1-based) the faults apply to

    // "truncate", "badcount=D", "baddigits", "drop"; false for another name.
    bool ajoute(const QString &nom, const QString &valeur);
};

class SimRigolModel : public SimModel {
public:
    enum Genre { DS1000E, DS1000Z, SDS1000XE };

    explicit SimRigolModel(Genre g);
    // "DS1000E", "DS1000Z", "SDS1000X-E" (any case); false otherwise.
    static bool genrePour(const QString &nom, Genre &g);

    QString name() const override;
    void reset() override;
    void setSignal(int channel, const SimSignal &s) override;
    void prepare() override;

    // What reaches input n now (generator, filter); the automatic measurements of input n
    // (the phase that of the other input relative to it).
    SimSignal entree(int n) const;
    SimMesures mesures(int n) const;

    // A channel setting "scale=0.5,offset=0,inv=1,disp=0"; false when not understood.
    bool regleVoie(int voie, const QString &texte);

    Genre genre;
    QByteArray idn;
    quint16 idVendeur, idProduit;
    QString serie;
    SimRigolVoie voie[2];
    double tdiv = 1e-3;       // seconds per division
    double toff = 0.0;        // Rigol time offset
    double trdl = 0.0;        // Siglent trigger delay
    int points;               // samples per waveform
    bool entete;              // Rigol: "#" header before the samples
    bool enTeteSiglent = true; // Siglent: replies carry the command header (CHDR SHORT)
    bool verrou = false;      // front panel locked by remote commands
    QString formeTemps = "YT", modeTemps = "MAIN";
    SimRigolDefauts defauts;
    int nbreOndes = 0;        // waveform replies sent so far

    // Set by a waveform reply whose connection is to be dropped: bytes to send first.
    qint64 couperApres = -1;

    // Samples of one channel as the instrument sends them.
    QByteArray echantillons(int n) const;
    double tempsEchantillon(int j) const;
    double sara() const { return points / (14.0 * tdiv); }

private:
    void construit();
    void construitRigol();
    void construitSiglent();
    void repondOnde(SimEngine &e, int n);
    SimRigolVoie *voieDe(const SimCall &c);
    QByteArray nombre(double v) const;
    QByteArray enteteSig(const SimCall &c, const char *nom) const;
};

// Siglent's style for a value with its unit: "5.00E-01V".
QByteArray FormatSiglent(double v, const char *unite);
// Siglent's style for a sample rate: "1.00GSa/s", "50.0MSa/s", "500kSa/s".
QByteArray FormatSaraSiglent(double v);
