// The serial oscilloscopes other than the HP/Agilent family: Sefram 5x50, GoodWill/Instek
// GDS-820, GDS-1102 and GDS-2062, Rigol DS1102E on its serial line, Francaise
// d'Instrumentation FI3104, and an instrument the host does not know.
#pragma once

#include "simengine.h"

// One input with the instrument's settings for it.
struct SimVoie {
    SimSignal signal;
    double scale = 1.0;     // volts per division
    double offset = 0.0;    // volts
    double position = 0.0;  // divisions (GoodWill), reported only
    bool inverted = false;
    bool displayed = true;
};

class SimScopeModel : public SimModel {
public:
    SimScopeModel(const QString &name, const QByteArray &idn, int record);

    QString name() const override { return name_; }
    void reset() override;
    void setSignal(int channel, const SimSignal &s) override;
    bool setRecord(int points) override;

    // Style of the measurement replies: plain numbers (Rigol), number and unit
    // ("1.000E+03Hz": Sefram, FI), prefixed value and unit ("1.000kHz": GoodWill).
    enum StyleMesure { Nombre, NombreUnite, Prefixe };

    void prepare() override;
    // What reaches input c now (generator, filter).
    SimSignal entree(int c) const;
    // The automatic measurements of input n, the phase that of input `autre` relative to it.
    SimMesures mesures(int n, int autre) const;
    // Screen: its first instant and width in divisions; divisions spanned by the record
    // the autoset fits the periods to; half height in divisions, centred on minus the offset
    // (Rigol) or on zero.
    virtual double ecranDebut() const { return timeDelay - 5.0 * timeScale; }
    virtual double ecranDivisions() const { return 10.0; }
    virtual double divisionsEnregistrement() const { return 10.0; }
    double demiHauteur = 4.0;
    bool centreSurDecalage = false;

    SimVoie ch[2];
    int measSource = 1, measSource2 = 2;   // :MEAS:SOUR (GoodWill :MEAS:SOUR1 / :MEAS:SOUR2)
    double timeScale = 5e-4;  // seconds per division
    double timeDelay = 0.0;   // seconds (Sefram, GoodWill :TIM:DEL, Rigol :TIM:OFFS, GDS2000 :TIM:POS)
    int record;               // samples of a waveform block
    bool running = true;

    // "5.000E-04s": a number followed by its unit letter.
    static QByteArray withUnit(double v, const char *unit);
    // 16-bit sample of the displayed value d at `step` volts per raw step.
    static qint16 word(double d, double step);
    // "1.000kHz", "707.1mV": four significant digits, SI prefix, unit.
    static QByteArray avecPrefixe(double v, const char *unit);
    // Volts per sample unit of the blocks read by the gain and phase measurement: 65 536
    // units over the 8 divisions of the screen.
    static double pasBode(double scale) { return scale * 8.0 / 65536.0; }

protected:
    // *IDN?, *OPC?, :RUN, :STOP and the channel settings shared by every dialect.
    void common(bool numericBools);
    SimVoie *chan(const SimCall &c);
    // The value shown on the screen for input c (1 or 2), fed with s, at time t: inverted when asked.
    double shown(const SimSignal &s, int c, double t) const;
    // The measurement commands in the maker's dialect.
    void mesuresDialecte(StyleMesure style);
    // :TIM:RANG? and :CHANn:RANG? (full screen) with a unit.
    void calibresEcran();
    // `count` samples of input n from t0 every dt, at the Bode scale, two bytes each.
    QByteArray echantillonsBode(int n, double t0, double dt, int count, bool highFirst) const;
    // The counted block of the gain and phase reader: sample period (float, least
    // significant byte first) and four bytes after the count, 500 samples.
    void blocCompteBode(SimEngine &e, int n, double t0, double dt, bool highFirst, const QByteArray &reserve);

    QString name_;
    QByteArray idn_;
    int defaultRecord_;
};

class SimSeframModel : public SimScopeModel {
public:
    SimSeframModel();
    int sweep = 0;     // :TIM:SWE 0 normal, 1 delayed, 2 window, 3 stopped, 4 XY
    int acqMode = 0;   // :ACQ:MOD 0 normal, 1 peak detect
    bool bode = false; // --bode, kept for older scripts: :ACQn:POIN has one scale whoever asks
    void reset() override;
    double divisionsEnregistrement() const override { return 20.0; }
};

class SimGdsModel : public SimScopeModel {
public:
    enum Family { Gds800, Gds1000, Gds2000 };
    SimGdsModel(const QString &name, const QByteArray &idn, Family f);
    void reset() override;
    Family family;
    int sweep = 0;                 // GDS800/1000 :TIM:SWE
    int acqMode = 0;               // GDS800/1000 :ACQ:MOD
    QString timeMode = "MAIN";     // GDS2000 :TIM:MOD
    QString acqWord = "SAMPLE";    // GDS2000 :ACQ:MOD
    bool header = false;           // GDS2000 :HEAD
    double samplePeriod() const;
    double firstSampleTime() const;
    double ecranDebut() const override { return family == Gds2000 ? -timeDelay : timeDelay - 5.0 * timeScale; }
    double divisionsEnregistrement() const override { return family == Gds2000 ? 10.0 : 20.0; }
};

class SimFiModel : public SimScopeModel {
public:
    SimFiModel();
    void reset() override;
    int sweep = 0;
    int acqMode = 0;
    double samplePeriod() const { return 10.0 * timeScale / record; }
    double ecranDebut() const override { return 0.0; }
};

class SimRigolSerialModel : public SimScopeModel {
public:
    SimRigolSerialModel();
    void reset() override;
    QString format = "YT";    // :TIM:FORM YT | XY
    QString mode = "MAIN";    // :TIM:MODE MAIN | DELAYED
    bool keysLocked = true;
    double ecranDebut() const override { return timeDelay - 6.0 * timeScale; }
    double ecranDivisions() const override { return 12.0; }
    double divisionsEnregistrement() const override { return 12.0; }
};

class SimUnknownModel : public SimScopeModel {
public:
    SimUnknownModel();
};
