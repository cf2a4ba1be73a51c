// Hewlett-Packard / Agilent 54600-series dialect.
#pragma once

#include "simengine.h"

class SimHpModel : public SimModel {
public:
    enum Joining { NoJoining, Connect, Vectors };
    struct Config {
        QString model;       // "54622D"
        QByteArray idn;
        bool agilent = false; // word samples, :WAV:BYT
        Joining joining = NoJoining;
        int recordPoints = 2000;
        QString normalMode;  // reply of :TIM:MODE? after reset
    };
    struct Channel {
        SimSignal signal;
        double range = 8.0;   // full screen, volts
        double offset = 0.0;
        bool inverted = false;
        bool displayed = true;
        QString coupling = "DC";
        int probe = 1;        // probe factor set on the instrument
    };

    explicit SimHpModel(const Config &cfg);
    static bool knows(const QString &name);
    static Config configFor(const QString &name);

    QString name() const override { return cfg_.model; }
    void reset() override;
    void setSignal(int channel, const SimSignal &s) override;
    bool setRecord(int points) override;
    void prepare() override;

    // What reaches input n now (generator, filter); the automatic measurements on input n.
    SimSignal entree(int n) const;
    SimMesures mesures(int n) const;

    // State, public for tests.
    Channel ch[2];
    double timeRange = 5e-3;  // full screen, seconds
    double timeDelay = 0.0;
    QString timeMode, trigMode = "AUTO", acqType = "NORMAL", wavFormat = "BYTE", byteOrder = "MSBF";
    bool vernier = false, joiningOn = true, running = true, dither = false;
    int acqPoints = 2000, wavPoints = 1000, wavSource = 1, measSource = 1, complete = 100;

    int pointsSent() const;
    double xInc() const { return timeRange / pointsSent(); }
    double xOrigin() const { return timeDelay - timeRange / 2.0; }
    double yInc(int c) const;
    int yRef() const { return wavFormat == "WORD" ? 32768 : 128; }
    QByteArray samples() const;

private:
    void build();
    Channel *chan(const SimCall &c);
    Config cfg_;
};
