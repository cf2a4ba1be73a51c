#pragma once
// The command object of the oscilloscopes that are not on the serial line: Rigol
// instruments over USB (usbtmc.h) or VISA (visa.h), Siglent instruments over VISA.
// It sends commands, reads replies as text, booleans and numbers in each maker's style,
// reads the waveforms of CH1 and CH2 with their scales, turns raw bytes into volts and
// seconds and estimates the phase between the two channels.
//
// Two dialects: Rigol (":CHAN1:SCAL?", ":WAV:DATA? CHAN1") on USB and VISA, Siglent
// ("C1:VDIV?", "C1:WF? DAT2") on VISA when the VISA session names a Siglent instrument.
// Siglent replies are read past their command header, whatever the instrument's header
// setting.
#include <QByteArray>
#include <QString>
#include <array>

class TRigolVisa;

// 0 the time axis, 1 and 2 the channels CH1 and CH2.
using indiceVoieRigol = int;

class TRigol {
public:
    // At most this many waveform bytes are stored per channel.
    static constexpr int NbreMaxOctets = 32768;
    // Pause before reading a waveform over VISA: it ends as soon as the first bytes are there.
    static constexpr int PauseDonneesMs = 250;
    // Over a socket, a waveform without a length header ends after this silence once its
    // bytes have started (USB transfers mark their end themselves).
    static constexpr int SilenceFinMs = 100;
    // Size of a USB reply read.
    static constexpr int TailleReponseUSB = 52;
    // Size of a USB waveform chunk.
    static constexpr int TailleMorceauUSB = 1024;

    explicit TRigol(TRigolVisa &visa);

    // Sends one command; non-zero when it was sent (its length over VISA).
    int Ecrit(const QByteArray &SCPI);
    // Sends one command and reads the reply; empty when anything fails.
    void Query(const QByteArray &SCPI, QByteArray &reponse);
    QByteArray Query(const QByteArray &SCPI);
    // True when the reply contains "ON", else when it contains "1".
    bool QueryBool(const QByteArray &SCPI);
    // A number in the Rigol reply style; NaN on failure.
    double QueryFloat(const QByteArray &SCPI);
    // A number in the Siglent reply style ("5.00E-01V", "1.00GSa/s"); NaN on failure.
    double QueryFloatSiglent(const QByteArray &SCPI);
    // "*OPC?", reply ignored.
    void waitOPC();
    // Gives the front panel back: ":KEY:LOCK DISABLE".
    void unLock();
    // Time base: per division into Fdeltat, time of sample 0 into origine(0).
    void getBaseDeTemps();
    // Reads channel 1 or 2 in the dialect of the instrument. An inactive channel is only
    // marked so. Throws EserieError (French message) when the waveform could not be read:
    // command not sent, no byte received, block incomplete or its header unreadable, the
    // link lost (verifieLiaison); the bytes that did arrive are kept.
    void QueryWave(int voie);
    // Throws EserieError with a French message when the instrument is no longer reached:
    // its link was found lost (the session or the USB link is then closed, and the next
    // detection opens it again) or no link is open.
    void verifieLiaison();

    // A sample in seconds (voie 0) or volts (1, 2); NaN outside the buffers.
    double getValeur(indiceVoieRigol voie, int i) const;
    // getValeur written by FormatNumber.
    QString getValeurStr(indiceVoieRigol voie, int i) const;
    bool getActive(indiceVoieRigol voie) const;
    double getOrigine(indiceVoieRigol voie) const;
    double getIncrement(indiceVoieRigol voie) const;
    int getReference(indiceVoieRigol voie) const;
    // Raw waveform bytes of channel 1 or 2 (NbreMaxOctets + 1 of them), nullptr otherwise.
    const quint8 *donnees(int voie) const;
    // The time base per division as last read.
    double deltat() const { return Fdeltat; }

    // Opens or closes the USB link. Reading: with isVisa whether the VISA session is open,
    // otherwise whether a USB instrument was opened.
    bool open() const;
    void setOpen(bool ouvrir);
    // Identification of the USB instrument (maker and model).
    const QByteArray &ident() const { return Fident; }
    int nombreUSB() const { return FnumDevice; }
    int sequence() const { return Fsequence; }

    // Phase of CH1 relative to CH2 in degrees, from the last waveforms; NaN when a channel
    // is inactive, without a full period, or with too few samples after it.
    double phase();
    // Looks for one full period in channel 1's waveform.
    void chercheZeros();
    bool periodique() const { return Fperiodique; }
    int indexZero1() const { return FindexZero1; }
    int indexZero2() const { return FindexZero2; }

    // True when the Siglent dialect is spoken (VISA session with a Siglent instrument).
    bool dialecteSiglent() const;

    // Reply readers, exposed for the tests: numbers in each style (with the user's locale)
    // and the shortening of an identification whose maker field has 18 characters.
    static double LitNombreRigol(const QByteArray &reponse);
    static double LitNombreSiglent(const QByteArray &reponse);
    static QByteArray RaccourcitIdent(const QByteArray &identification);
    // The value of a Siglent reply, past the command header the instrument repeats unless
    // its header setting says otherwise ("C1:VDIV 5.00E-01V", "C1:PAVA RMS,7.07E-01V"):
    // the setting belongs to the user and is left as it is. Replies without one come back
    // unchanged.
    static QByteArray SansEnTeteSiglent(const QByteArray &SCPI, const QByteArray &reponse);

    // true: commands go through VISA; false: through the USB transport.
    bool isVisa = false;
    // Number of raw bytes stored for the last channel read.
    int NbrePointsRigol = 0;

protected:
    void litVoieRigol(int n);
    void litVoieSiglent(int n);
    // The lost-link message when the link went during the last transfer, else empty.
    QString perte() const;
    // Level of a raw byte on an increasing scale (Siglent bytes are signed).
    int niveau(int voie, int i) const;

    TRigolVisa &visa_;
    int FnumDevice = 0;
    int Fsequence = 0;
    QByteArray Fident;
    double Fincrement[3] = {0, 0, 0};
    double Forigine[3] = {0, 0, 0};
    int Freference[3] = {0, 0, 0};
    bool Factive[3] = {true, false, false};
    int FvaleurMoy[3] = {0, 0, 0};
    bool Fperiodique = false;
    int FindexZero1 = 0;
    int FindexZero2 = 0;
    double Fdeltat = 0;
    // Index 0 unused; 1 and 2 hold CH1 and CH2.
    std::array<std::array<quint8, NbreMaxOctets + 1>, 3> data{};
};
