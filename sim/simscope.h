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

    SimVoie ch[2];
    double timeScale = 5e-4;  // seconds per division
    double timeDelay = 0.0;   // seconds (Sefram, GoodWill :TIM:DEL, Rigol :TIM:OFFS, GDS2000 :TIM:POS)
    int record;               // samples of a waveform block
    bool running = true;

    // "5.000E-04s": a number followed by its unit letter.
    static QByteArray withUnit(double v, const char *unit);
    // 16-bit sample of the displayed value d at `step` volts per raw step.
    static qint16 word(double d, double step);

protected:
    // *IDN?, *OPC?, :RUN, :STOP and the channel settings shared by every dialect.
    void common(bool numericBools);
    SimVoie *chan(const SimCall &c);
    // The value shown on the screen for input c (1 or 2) at time t: inverted when asked.
    double shown(int c, double t) const;

    QString name_;
    QByteArray idn_;
    int defaultRecord_;
};

class SimSeframModel : public SimScopeModel {
public:
    SimSeframModel();
    int sweep = 0;     // :TIM:SWE 0 normal, 1 delayed, 2 window, 3 stopped, 4 XY
    int acqMode = 0;   // :ACQ:MOD 0 normal, 1 peak detect
    void reset() override;
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
};

class SimFiModel : public SimScopeModel {
public:
    SimFiModel();
    void reset() override;
    int sweep = 0;
    int acqMode = 0;
    double samplePeriod() const { return 10.0 * timeScale / record; }
};

class SimRigolSerialModel : public SimScopeModel {
public:
    SimRigolSerialModel();
    void reset() override;
    QString format = "YT";    // :TIM:FORM YT | XY
    QString mode = "MAIN";    // :TIM:MODE MAIN | DELAYED
    bool keysLocked = true;
};

class SimUnknownModel : public SimScopeModel {
public:
    SimUnknownModel();
};
