#pragma once
// The block readers: one byte-driven state machine that takes a binary waveform reply
// apart while it arrives and fills the buffer of the channel being read.
//
// Every reader stores at most TailleVoie samples: a longer block is read to its end and the
// samples beyond the buffer are dropped, so the line stays in step with the reply.
// A block that cannot be used never completes and ends in the procedure's time-out:
// "#0" (undefined length), length digits that are not decimal digits, an empty block,
// a Sefram header whose count is not a decimal number, a Rigol count of 0 or below.
#include "scope/voieosc.h"

#include <QByteArray>
#include <QString>
#include <array>

enum TetatAttente { atDiese, atNbreChiffre, atNbreData, atData, atStatus, atSampleRate, atReserved };

// The readers, one per dialect.
enum class TLecteur {
    aucun,
    hewlett,    // "#" block, 8-bit unsigned samples
    agilent,    // "#" block, 16-bit unsigned samples, low byte first
    sefram,     // 14-character text header, 16-bit signed samples, low byte first
    gds800,     // "#" block, sample period float + 4 reserved bytes, 16-bit high byte first (GDS800/1000)
    fi,         // as gds800, samples low byte first
    gds2000,    // text header with "Sampling Period", then "#" block, 16-bit signed high byte first
    rigol       // 4-byte little-endian count N, then N 8-bit unsigned samples
};

class TLecteurBloc {
public:
    TLecteurBloc();
    virtual ~TLecteurBloc() = default;

    // Channel buffers: 0 time channel, 1 CH1, 2 CH2.
    TvoieOsc Voie[3];

    // Arms reader `l` for channel `voie`: counters, flags and header texts cleared, state atDiese.
    void arme(TLecteur l, int voie);
    TLecteur lecteur() const { return lecteur_; }
    // One byte of the reply.
    void octet(quint8 c);
    // A run of bytes, as one notification.
    void lit(const char *donnees, qsizetype n);
    // End of one notification (GDS2000 trace lines).
    void finNotification();
    // Samples received so far, stored or dropped.
    qint64 echantillonsRecus() const;
    // Samples the block announced (0 until its header has come).
    qint64 echantillonsAnnonces() const { return annonce_; }

    // Reader state.
    TetatAttente Attente = atDiese;
    int NbreChiffre = 0;
    QByteArray ChaineNbreData;
    QByteArray ChaineOsc;
    QByteArray EnTeteMX;
    std::array<quint8, 4> MotCourant{};
    bool PremierOctet = true;
    qint64 NbreCourant = 0;
    int NbrePointsLu = 0;
    int NbrePoints = 1000;
    int NbreZero = 0;
    int DureeMax = 0;
    int VoieCourante = 1;
    bool AcqFaite = false;
    bool sauve1000 = false, sauve2000 = false;
    // Log lines are produced only when this is set (the serial port's trace is on).
    bool avecTrace = false;

protected:
    // Hooks for the owner, called at most once per block or per trace line.
    virtual void enTeteLu() {}                       // gauge maximum, DureeMax are set
    virtual void nombreDePoints(qint64 /*annonce*/) {} // "Nombre de points = " is due
    virtual void traceLecteur(const QString & /*ligne*/) {}

private:
    void finLongueur();
    void debutDonnees();
    void enTeteGDS2000();
    void enTeteSefram();
    void enTeteRigol();
    void stocke(qint64 index, qint32 v);
    void complet();
    void inutilisable() { Attente = atStatus; mort_ = true; }

    TLecteur lecteur_ = TLecteur::aucun;
    qint64 annonce_ = 0;     // samples announced by the header
    qint64 longueur_ = 0;    // byte count being read from the length digits
    bool mort_ = false;      // the block cannot complete
};
