#pragma once
// The two block readers of the Bode window: byte-driven state machines that take one
// channel's reply apart while it arrives and fill that channel's buffer.
//
// - Fixed header (Sefram and the other makers, reply to ":ACQn:POIN"): 14 bytes skipped,
//   then 500 signed 16-bit samples, low byte first, into indices 1 to 500.
// - Counted block (GoodWill/Instek and Francaise d'Instrumentation, reply to ":ACQn:MEM"):
//   "#", one digit d, d digits of the byte count (samples = count / 2), the sample interval
//   as a 32-bit float least significant byte first, four reserved bytes, then the samples
//   from index 0, signed 16-bit: high byte first for GoodWill/Instek (as the oscilloscope
//   reader decodes the same instruments), low byte first for FI.
//
// A counted block never writes outside the buffer: samples beyond index 32768 are read
// and dropped, so the reader stays in step with the reply and completes at its announced
// end. A block that cannot be read never completes (the read then ends at its time limit,
// reported as not done): a digit count that is not 1 to 9, byte-count characters that are
// not decimal digits, a block of no sample. Arming clears the buffer, so a short block
// leaves zeros rather than the samples of an earlier read.
#include "bode/voieoscbode.h"
#include "link/types.h"

#include <QByteArray>
#include <array>

class TLecteurBode {
public:
    enum TFormat { enTeteFixe, blocCompte };
    enum TetatAttente { atDiese, atNbreChiffre, atNbreData, atData, atStatus, atSampleRate, atReserved };

    // The reader of a maker: counted blocks for GoodWill/Instek and FI, the fixed header
    // for every other.
    static TFormat formatDe(Tconstructeur c) { return c == oGoodWill || c == oFI ? blocCompte : enTeteFixe; }

    // Arms the reader of maker c for buffer v (not owned; it must outlive the read):
    // state atDiese, counters and flags cleared, the buffer's samples set to 0. sauteLF: the
    // last reply's LF may still come; a LF as the very first byte is then not counted in the
    // fixed header (the counted block finds its "#" anyway).
    void arme(Tconstructeur c, TvoieOscBode *v, bool sauteLF = false);
    // One received byte.
    void octet(quint8 c);
    // A run of bytes.
    void lit(const char *donnees, qsizetype n);

    TFormat format() const { return format_; }
    // The block can no longer complete.
    bool inutilisable() const { return mort_; }

    // Reader state.
    TetatAttente Attente = atDiese;
    qint64 NbreCourant = 0;        // bytes (fixed header) or samples (counted block) so far
    qint64 nbrePointsAlire = 0;    // samples announced by a counted block
    int NbreChiffre = 0;
    QByteArray ChaineNbreData;
    std::array<quint8, 4> MotCourant{};   // the sample-interval float, least significant byte first
    std::array<quint8, 2> caracMot{};     // carac1 (low byte), carac2 (high byte) of a sample
    bool PremierOctet = true;
    bool AcqFaite = false;
    // Sample interval in seconds: set by a counted block whose interval is a positive number;
    // otherwise it keeps the value the owner put there (from the time base).
    double Deltat = 0;

private:
    void octetFixe(quint8 c);
    void octetCompte(quint8 c);
    void meurt() { Attente = atStatus; mort_ = true; }

    TFormat format_ = enTeteFixe;
    bool poidsFortDabord_ = false;
    TvoieOscBode *voie_ = nullptr;
    bool mort_ = false;
    bool sauteLF_ = false;
};
