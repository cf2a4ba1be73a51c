#include "simmodel_hp.h"

#include <cmath>
#include <numbers>

bool SimHpModel::knows(const QString &name)
{
    const QString n = name.toUpper();
    return n == "54622D" || n == "54645A" || n == "54600A";
}

SimHpModel::Config SimHpModel::configFor(const QString &name)
{
    Config c;
    c.model = name.toUpper();
    if (c.model == "54622D") {
        c.idn = "AGILENT TECHNOLOGIES,54622D,MY40000123,A.02.30";
        c.agilent = true;
        c.joining = Vectors;
        c.recordPoints = 2000;
        c.normalMode = "MAIN";
    } else if (c.model == "54645A") {
        c.idn = "HEWLETT-PACKARD,54645A,0,A.01.50";
        c.joining = Connect;
        c.recordPoints = 2000;
        c.normalMode = "NORMAL";
    } else {
        c.model = "54600A";
        c.idn = "HEWLETT-PACKARD,54600A,0,A.01.20";
        c.joining = NoJoining;
        c.recordPoints = 1000;
        c.normalMode = "NORMAL";
    }
    return c;
}

SimHpModel::SimHpModel(const Config &cfg) : cfg_(cfg)
{
    ch[1].signal.amplitude = 0.5;
    ch[1].signal.phaseDeg = -45.0;
    reset();
    build();
}

void SimHpModel::reset()
{
    for (Channel &c : ch) {
        c.range = 8.0; c.offset = 0.0; c.inverted = false; c.displayed = true; c.coupling = "DC"; c.probe = 1;
    }
    timeRange = 5e-3; timeDelay = 0.0;
    timeMode = cfg_.normalMode; trigMode = "AUTO"; acqType = "NORMAL";
    wavFormat = "BYTE"; byteOrder = "MSBF";
    vernier = false; joiningOn = true; running = true; dither = false;
    acqPoints = cfg_.recordPoints; wavPoints = 1000; wavSource = 1; measSource = 1; complete = 100;
}

void SimHpModel::setSignal(int channel, const SimSignal &s)
{
    if (channel >= 1 && channel <= 2)
        ch[channel - 1].signal = s;
}

bool SimHpModel::setRecord(int points)
{
    if (points < 1)
        return false;
    cfg_.recordPoints = points;
    acqPoints = points;
    return true;
}

int SimHpModel::pointsSent() const { return std::max(1, std::min(wavPoints, acqPoints)); }

double SimHpModel::yInc(int c) const
{
    return ch[c - 1].range / (wavFormat == "WORD" ? 64000.0 : 250.0);
}

QByteArray SimHpModel::samples() const
{
    const Channel &c = ch[wavSource - 1];
    const SimSignal signal = entree(wavSource);
    const int n = pointsSent();
    const bool word = wavFormat == "WORD";
    const double inc = yInc(wavSource), ref = yRef(), top = word ? 65535.0 : 255.0;
    QByteArray d;
    d.reserve(word ? 2 * n : n);
    for (int j = 0; j < n; ++j) {
        const double v = signal.valueAt(xOrigin() + j * xInc());
        // An inverted channel's data are centred on the opposite of the offset, which the
        // host corrects by changing the sign of YOR: decoded, they give the input signal.
        const double centre = c.inverted ? -c.offset : c.offset;
        const double raw = std::clamp(std::round((v - centre) / inc + ref), 0.0, top);
        const auto r = static_cast<unsigned>(raw);
        if (!word) {
            d.append(char(r));
        } else if (byteOrder == "LSBF") {
            d.append(char(r & 0xff)); d.append(char(r >> 8));
        } else {
            d.append(char(r >> 8)); d.append(char(r & 0xff));
        }
    }
    return d;
}

SimHpModel::Channel *SimHpModel::chan(const SimCall &c)
{
    const int n = c.suffix(0);
    return (n >= 1 && n <= 2) ? &ch[n - 1] : nullptr;
}

namespace {
QString upperArg(const SimCall &c) { return c.args.trimmed().toUpper(); }

// Long reply form of a time-base mode word.
QString timeModeWord(const QString &a, const QString &normal)
{
    if (a.startsWith("NORM") || a == "MAIN") return normal;
    if (a.startsWith("DEL")) return "DELAYED";
    if (a.startsWith("WIND")) return "WINDOW";
    if (a == "XY") return "XY";
    if (a.startsWith("ROLL")) return "ROLL";
    return QString();
}

} // namespace

void SimHpModel::build()
{
    // Common commands.
    on("*IDN?", [this](SimEngine &e, const SimCall &) { e.replyText(cfg_.idn); });
    on("*OPC?", [](SimEngine &e, const SimCall &) { e.replyText(QByteArray("1")); });
    on("*OPC", [](SimEngine &, const SimCall &) {});
    on("*WAI", [](SimEngine &, const SimCall &) {});
    on("*CLS", [](SimEngine &, const SimCall &) {});
    on("*ESR?", [](SimEngine &e, const SimCall &) { e.replyInt(0); });
    on("*RST", [this](SimEngine &, const SimCall &) { reset(); });

    // Run control.
    on("RUN", [this](SimEngine &, const SimCall &) { running = true; });
    on("STOP", [this](SimEngine &, const SimCall &) { running = false; });
    on("SING", [this](SimEngine &, const SimCall &) { trigMode = "SINGLE"; running = false; });
    on("DIG", [this](SimEngine &e, const SimCall &) { running = false; e.addDelay(e.acquireMs); });
    on("DITH", [this](SimEngine &, const SimCall &c) { SimEngine::parseBool(c.args, dither); });

    // Channel display: :STATUS? CHAN1, :VIEW CHAN1, :BLANK CHAN1.
    on("STAT?", [this](SimEngine &e, const SimCall &c) {
        const int n = SimEngine::parseChannel(c.args);
        if (n >= 1 && n <= 2) e.replyBool(ch[n - 1].displayed);
    });
    on("VIEW", [this](SimEngine &, const SimCall &c) {
        const int n = SimEngine::parseChannel(c.args);
        if (n >= 1 && n <= 2) ch[n - 1].displayed = true;
    });
    on("BLAN", [this](SimEngine &, const SimCall &c) {
        const int n = SimEngine::parseChannel(c.args);
        if (n >= 1 && n <= 2) ch[n - 1].displayed = false;
    });

    // Time base.
    on("TIM:MODE?", [this](SimEngine &e, const SimCall &) { e.replyText(timeMode); });
    on("TIM:MODE", [this](SimEngine &, const SimCall &c) {
        const QString w = timeModeWord(upperArg(c), cfg_.normalMode);
        if (!w.isEmpty()) timeMode = w;
    });
    on("TIM:RANG?", [this](SimEngine &e, const SimCall &) { e.replyNumber(timeRange); });
    on("TIM:RANG", [this](SimEngine &, const SimCall &c) {
        double v; if (SimEngine::parseNumber(c.args, v) && v > 0) timeRange = v;
    });
    on("TIM:SCAL?", [this](SimEngine &e, const SimCall &) { e.replyNumber(timeRange / 10.0); });
    on("TIM:SCAL", [this](SimEngine &, const SimCall &c) {
        double v; if (SimEngine::parseNumber(c.args, v) && v > 0) timeRange = 10.0 * v;
    });
    on("TIM:DEL?", [this](SimEngine &e, const SimCall &) { e.replyNumber(timeDelay); });
    on("TIM:DEL", [this](SimEngine &, const SimCall &c) {
        double v; if (SimEngine::parseNumber(c.args, v)) timeDelay = v;
    });
    on("TIM:VERN?", [this](SimEngine &e, const SimCall &) { e.replyBool(vernier); });
    on("TIM:VERN", [this](SimEngine &, const SimCall &c) { SimEngine::parseBool(c.args, vernier); });

    // Trigger and acquisition.
    on("TRIG:MODE?", [this](SimEngine &e, const SimCall &) { e.replyText(trigMode); });
    on("TRIG:MODE", [this](SimEngine &, const SimCall &c) {
        const QString a = upperArg(c);
        if (a.startsWith("AUTO")) trigMode = a.startsWith("AUTOL") ? "AUTOLEVEL" : "AUTO";
        else if (a.startsWith("NORM")) trigMode = "NORMAL";
        else if (a.startsWith("SING")) trigMode = "SINGLE";
        else if (a.startsWith("TV")) trigMode = "TV";
    });
    on("ACQ:TYPE?", [this](SimEngine &e, const SimCall &) { e.replyText(acqType); });
    on("ACQ:TYPE", [this](SimEngine &, const SimCall &c) {
        const QString a = upperArg(c);
        if (a.startsWith("NORM")) acqType = "NORMAL";
        else if (a.startsWith("PEAK")) acqType = "PEAK";
        else if (a.startsWith("AVER")) acqType = "AVERAGE";
    });
    on("ACQ:POIN?", [this](SimEngine &e, const SimCall &) { e.replyInt(acqPoints); });
    on("ACQ:POIN", [this](SimEngine &, const SimCall &c) {
        bool ok; const int n = c.args.toInt(&ok);
        if (ok && n > 0) acqPoints = std::min(n, cfg_.recordPoints);
    });
    on("ACQ:COMP?", [this](SimEngine &e, const SimCall &) { e.replyInt(complete); });
    on("ACQ:COMP", [this](SimEngine &, const SimCall &c) {
        bool ok; const int n = c.args.toInt(&ok);
        if (ok && n >= 0 && n <= 100) complete = n;
    });

    // Display joining.
    if (cfg_.joining == Connect) {
        on("DISP:CONN?", [this](SimEngine &e, const SimCall &) { e.replyBool(joiningOn); });
        on("DISP:CONN", [this](SimEngine &, const SimCall &c) { SimEngine::parseBool(c.args, joiningOn); });
    } else if (cfg_.joining == Vectors) {
        on("DISP:VECT?", [this](SimEngine &e, const SimCall &) { e.replyBool(joiningOn); });
        on("DISP:VECT", [this](SimEngine &, const SimCall &c) { SimEngine::parseBool(c.args, joiningOn); });
    }

    // Channels.
    on("CHAN#:RANG?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyNumber(p->range); });
    on("CHAN#:RANG", [this](SimEngine &, const SimCall &c) {
        double v; if (auto *p = chan(c); p && SimEngine::parseNumber(c.args, v) && v > 0) p->range = v;
    });
    on("CHAN#:SCAL?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyNumber(p->range / 8.0); });
    on("CHAN#:SCAL", [this](SimEngine &, const SimCall &c) {
        double v; if (auto *p = chan(c); p && SimEngine::parseNumber(c.args, v) && v > 0) p->range = 8.0 * v;
    });
    on("CHAN#:OFFS?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyNumber(p->offset); });
    on("CHAN#:OFFS", [this](SimEngine &, const SimCall &c) {
        double v; if (auto *p = chan(c); p && SimEngine::parseNumber(c.args, v)) p->offset = v;
    });
    on("CHAN#:INV?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyBool(p->inverted); });
    on("CHAN#:INV", [this](SimEngine &, const SimCall &c) { if (auto *p = chan(c)) SimEngine::parseBool(c.args, p->inverted); });
    on("CHAN#:DISP?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyBool(p->displayed); });
    on("CHAN#:DISP", [this](SimEngine &, const SimCall &c) { if (auto *p = chan(c)) SimEngine::parseBool(c.args, p->displayed); });
    on("CHAN#:COUP?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyText(p->coupling); });
    on("CHAN#:COUP", [this](SimEngine &, const SimCall &c) {
        const QString a = upperArg(c);
        if (auto *p = chan(c); p && (a == "AC" || a == "DC" || a == "GND")) p->coupling = a;
    });

    // Waveform transfer.
    on("WAV:FORM?", [this](SimEngine &e, const SimCall &) { e.replyText(wavFormat); });
    on("WAV:FORM", [this](SimEngine &, const SimCall &c) {
        const QString a = upperArg(c);
        if (a == "BYTE" || (cfg_.agilent && a == "WORD")) wavFormat = a;
    });
    if (cfg_.agilent) {
        on("WAV:BYT?", [this](SimEngine &e, const SimCall &) { e.replyText(byteOrder); });
        on("WAV:BYT", [this](SimEngine &, const SimCall &c) {
            const QString a = upperArg(c);
            if (a == "LSBF" || a == "MSBF") byteOrder = a;
        });
    }
    on("WAV:SOUR?", [this](SimEngine &e, const SimCall &) { e.replyText("CHAN" + QString::number(wavSource)); });
    on("WAV:SOUR", [this](SimEngine &, const SimCall &c) {
        const int n = SimEngine::parseChannel(c.args);
        if (n >= 1 && n <= 2) wavSource = n;
    });
    on("WAV:POIN?", [this](SimEngine &e, const SimCall &) { e.replyInt(pointsSent()); });
    on("WAV:POIN", [this](SimEngine &, const SimCall &c) {
        bool ok; const int n = c.args.toInt(&ok);
        if (ok && n > 0) wavPoints = n;
    });
    on("WAV:XINC?", [this](SimEngine &e, const SimCall &) { e.replyNumber(xInc(), 5); });
    on("WAV:XOR?", [this](SimEngine &e, const SimCall &) { e.replyNumber(xOrigin(), 5); });
    on("WAV:XREF?", [](SimEngine &e, const SimCall &) { e.replyInt(0); });
    on("WAV:YINC?", [this](SimEngine &e, const SimCall &) { e.replyNumber(yInc(wavSource), 5); });
    on("WAV:YOR?", [this](SimEngine &e, const SimCall &) { e.replyNumber(ch[wavSource - 1].offset, 5); });
    on("WAV:YREF?", [this](SimEngine &e, const SimCall &) { e.replyInt(yRef()); });
    on("WAV:PRE?", [this](SimEngine &e, const SimCall &) {
        QByteArray p = QByteArray(wavFormat == "WORD" ? "1" : "0") + "," + (acqType == "PEAK" ? "1" : "0") + ","
            + QByteArray::number(pointsSent()) + ",1,"
            + SimEngine::formatNumber(xInc(), 5) + "," + SimEngine::formatNumber(xOrigin(), 5) + ",0,"
            + SimEngine::formatNumber(yInc(wavSource), 5) + ","
            + SimEngine::formatNumber(ch[wavSource - 1].offset, 5) + "," + QByteArray::number(yRef());
        e.replyText(p);
    });
    on("WAV:DATA?", [this](SimEngine &e, const SimCall &) { e.replyBlock(samples(), wavFormat == "WORD" ? 2 : 1); });

    // Automatic measurements on the signal fed to the source channel.
    on("MEAS:SOUR", [this](SimEngine &, const SimCall &c) {
        const int n = SimEngine::parseChannel(c.args);
        if (n >= 1 && n <= 2) measSource = n;
    });
    on("MEAS:SOUR?", [this](SimEngine &e, const SimCall &) { e.replyText("CHAN" + QString::number(measSource)); });
    // Each keyword answers for the channel named in its argument, or the source.
    struct M { const char *key; double (*f)(const SimMesures &); };
    static const M meas[] = {
        {"MEAS:FREQ?", [](const SimMesures &m) { return m.freq; }},
        {"MEAS:PER?", [](const SimMesures &m) { return m.per; }},
        {"MEAS:VPP?", [](const SimMesures &m) { return m.vpp; }},
        {"MEAS:VAMP?", [](const SimMesures &m) { return m.vamp; }},
        {"MEAS:VMAX?", [](const SimMesures &m) { return m.vmax; }},
        {"MEAS:VMIN?", [](const SimMesures &m) { return m.vmin; }},
        {"MEAS:VAV?", [](const SimMesures &m) { return m.vav; }},
        {"MEAS:VRMS?", [](const SimMesures &m) { return m.vrms; }},
        {"MEAS:RIS?", [](const SimMesures &m) { return m.ris; }},
        {"MEAS:FALL?", [](const SimMesures &m) { return m.fall; }},
        {"MEAS:DUTY?", [](const SimMesures &m) { return m.duty >= SimMesures::Invalide ? m.duty : 100.0 * m.duty; }},
        {"MEAS:PHAS?", [](const SimMesures &m) { return m.phase; }},
    };
    for (const M &m : meas) {
        auto f = m.f;
        on(m.key, [this, f](SimEngine &e, const SimCall &c) {
            int n = SimEngine::parseChannel(c.args);
            if (n < 1 || n > 2) n = measSource;
            e.replyNumber(f(mesures(n)), 5);
        });
    }

    // Probe factor: a number on the Agilent, "X1", "X10"... on the Hewlett-Packard.
    on("CHAN#:PROB?", [this](SimEngine &e, const SimCall &c) {
        if (auto *p = chan(c)) {
            if (cfg_.agilent) e.replyNumber(p->probe);
            else e.replyText("X" + QString::number(p->probe));
        }
    });
    on("CHAN#:PROB", [this](SimEngine &, const SimCall &c) {
        QString a = upperArg(c);
        if (a.startsWith('X')) a.remove(0, 1);
        double v;
        if (auto *p = chan(c); p && SimEngine::parseNumber(a, v) && v >= 1 && v <= 1000) p->probe = int(std::lround(v));
    });
}

SimSignal SimHpModel::entree(int n) const { return banc.entree(n, ch[0].signal, ch[1].signal); }

void SimHpModel::prepare()
{
    if (!banc.autoset)
        return;
    double parDivision = timeRange / 10.0;
    banc.regleBaseDeTemps(parDivision, 10.0, ch[0].signal);
    timeRange = 10.0 * parDivision;
}

SimMesures SimHpModel::mesures(int n) const
{
    const SimSignal s[2] = {entree(1), entree(2)};
    auto trace = [&](int k) {
        SimTrace t;
        t.signal = &s[k - 1];
        t.division = ch[k - 1].range / 8.0;
        t.bas = ch[k - 1].offset - ch[k - 1].range / 2.0;
        t.haut = ch[k - 1].offset + ch[k - 1].range / 2.0;
        return t;
    };
    const SimTrace a = trace(n), b = trace(3 - n);
    return SimMesures::de(a, &b, xOrigin(), timeRange);
}

