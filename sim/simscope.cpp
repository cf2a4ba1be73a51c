#include "simscope.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

SimScopeModel::SimScopeModel(const QString &name, const QByteArray &idn, int rec)
    : record(rec), name_(name), idn_(idn), defaultRecord_(rec)
{
    ch[1].signal.amplitude = 0.5;
    ch[1].signal.phaseDeg = -45.0;
}

void SimScopeModel::reset()
{
    for (SimVoie &c : ch) {
        c.scale = 1.0; c.offset = 0.0; c.position = 0.0; c.inverted = false; c.displayed = true;
    }
    timeScale = 5e-4;
    timeDelay = 0.0;
    running = true;
}

void SimScopeModel::setSignal(int channel, const SimSignal &s)
{
    if (channel >= 1 && channel <= 2)
        ch[channel - 1].signal = s;
}

bool SimScopeModel::setRecord(int points)
{
    if (points < 1)
        return false;
    record = defaultRecord_ = points;
    return true;
}

QByteArray SimScopeModel::withUnit(double v, const char *unit)
{
    return SimEngine::formatNumber(v, 3) + unit;
}

qint16 SimScopeModel::word(double d, double step)
{
    return qint16(std::clamp(std::round(d / step), -32768.0, 32767.0));
}

SimVoie *SimScopeModel::chan(const SimCall &c)
{
    const int n = c.suffix(0);
    return (n >= 1 && n <= 2) ? &ch[n - 1] : nullptr;
}

double SimScopeModel::shown(const SimSignal &s, int c, double t) const
{
    const double v = s.valueAt(t);
    return ch[c - 1].inverted ? -v : v;
}

SimSignal SimScopeModel::entree(int c) const { return banc.entree(c, ch[0].signal, ch[1].signal); }

void SimScopeModel::prepare()
{
    banc.regleBaseDeTemps(timeScale, divisionsEnregistrement(), ch[0].signal);
}

SimMesures SimScopeModel::mesures(int n, int autre) const
{
    const SimSignal s[2] = {entree(1), entree(2)};
    auto trace = [&](int k) {
        const SimVoie &v = ch[k - 1];
        SimTrace t;
        t.signal = &s[k - 1];
        t.inverse = v.inverted;
        t.division = v.scale;
        const double centre = centreSurDecalage ? -(v.inverted ? -v.offset : v.offset) : 0.0;
        t.bas = centre - demiHauteur * v.scale;
        t.haut = centre + demiHauteur * v.scale;
        return t;
    };
    const SimTrace a = trace(n), b = trace(autre);
    return SimMesures::de(a, autre != n ? &b : nullptr, ecranDebut(), ecranDivisions() * timeScale);
}

QByteArray SimScopeModel::avecPrefixe(double v, const char *unit)
{
    if (v >= SimMesures::Invalide)
        return QByteArray("9.9E+37") + unit;
    static const char *prefixes[] = {"p", "n", "u", "m", "", "k", "M", "G"};
    int k = 4;
    double m = v;
    if (m != 0.0) {
        k = std::clamp(int(std::floor(std::log10(std::fabs(m)) / 3.0)) + 4, 0, 7);
        m = v / std::pow(1000.0, k - 4);
    }
    const double a = std::fabs(m);
    char buf[64];
    std::snprintf(buf, sizeof buf, a < 9.9995 ? "%.3f%s%s" : a < 99.995 ? "%.2f%s%s" : "%.1f%s%s", m, prefixes[k], unit);
    return QByteArray(buf);
}

void SimScopeModel::mesuresDialecte(StyleMesure style)
{
    struct Champ { const char *mot, *motGds, *unite; double SimMesures::*champ; };
    static const Champ champs[] = {
        {"FREQ", "FREQ", "Hz", &SimMesures::freq}, {"PER", "PER", "s", &SimMesures::per},
        {"VPP", "PK2P", "V", &SimMesures::vpp}, {"VAMP", "AMP", "V", &SimMesures::vamp},
        {"VMAX", "MAX", "V", &SimMesures::vmax}, {"VMIN", "MIN", "V", &SimMesures::vmin},
        {"VAV", "CME", "V", &SimMesures::vav}, {"VRMS", "RMS", "V", &SimMesures::vrms},
        {"RIS", "RIS", "s", &SimMesures::ris}, {"FALL", "FALL", "s", &SimMesures::fall},
        {"DUTY", "PDUT", "%", &SimMesures::duty}, {"PHAS", "PHAS", "", &SimMesures::phase},
    };
    auto texte = [style](const Champ &c, double v) {
        const bool pourcent = c.champ == &SimMesures::duty;
        if (pourcent && v < SimMesures::Invalide && style != Nombre)
            v *= 100.0;   // the Rigol gives the duty as a ratio, the others in percent
        const char *unite = style == Nombre ? "" : c.unite;
        if (style != Prefixe)
            return SimEngine::formatNumber(v, 3) + unite;
        if (!pourcent && c.champ != &SimMesures::phase)
            return avecPrefixe(v, unite);
        if (v >= SimMesures::Invalide)
            return QByteArray("9.9E+37") + unite;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.2f%s", v, unite);   // "50.00%", "-45.00"
        return QByteArray(buf);
    };
    if (style == Prefixe) {
        // GoodWill: ":MEAS:SOUR1 CH1" and ":MEAS:SOUR2 CH2" choose the sources (the
        // instrument answers with the source it now holds), then ":MEAS:FREQ?".
        auto source = [](const QString &a) {
            const QString t = a.trimmed().toUpper();
            return t == "CH1" ? 1 : t == "CH2" ? 2 : SimEngine::parseChannel(t);
        };
        on("MEAS:SOUR#", [this, source](SimEngine &e, const SimCall &c) {
            const int n = source(c.args);
            if (n < 1 || n > 2) return;
            (c.suffix(0) == 2 ? measSource2 : measSource) = n;
            e.replyText("CH" + QByteArray::number(n));
        });
        on("MEAS:SOUR#?", [this](SimEngine &e, const SimCall &c) {
            e.replyText("CH" + QByteArray::number(c.suffix(0) == 2 ? measSource2 : measSource));
        });
        for (const Champ &k : champs) {
            on(QString("MEAS:") + k.motGds + "?", [this, k, texte](SimEngine &e, const SimCall &) {
                e.replyText(texte(k, mesures(measSource, measSource2).*k.champ));
            });
        }
        return;
    }
    if (style == NombreUnite) {
        on("MEAS:SOUR", [this](SimEngine &, const SimCall &c) {
            const int n = SimEngine::parseChannel(c.args);
            if (n >= 1 && n <= 2) measSource = n;
        });
        on("MEAS:SOUR?", [this](SimEngine &e, const SimCall &) { e.replyText("CHAN" + QByteArray::number(measSource)); });
    }
    for (const Champ &k : champs) {
        if (style == Nombre && k.champ == &SimMesures::phase)
            continue;   // the Rigol measures no phase
        auto h = [this, k, texte, style](SimEngine &e, const SimCall &c) {
            int n = SimEngine::parseChannel(c.args);
            if (n < 1 || n > 2) {
                if (style == Nombre) return;   // ":MEAS:VRMS? CHAN1": the channel is required
                n = measSource;
            }
            e.replyText(texte(k, mesures(n, 3 - n).*k.champ));
        };
        on(QString("MEAS:") + k.mot + "?", h);
        if (style == Nombre && k.champ == &SimMesures::duty)
            on("MEAS:PDUT?", h);
    }
}

void SimScopeModel::calibresEcran()
{
    on("TIM:RANG?", [this](SimEngine &e, const SimCall &) { e.replyText(withUnit(ecranDivisions() * timeScale, "s")); });
    on("CHAN#:RANG?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyText(withUnit(8.0 * p->scale, "V")); });
}

QByteArray SimScopeModel::echantillonsBode(int n, double t0, double dt, int count, bool highFirst) const
{
    const SimSignal s = entree(n);
    const double step = pasBode(ch[n - 1].scale);
    QByteArray d;
    d.reserve(2 * count);
    for (int j = 0; j < count; ++j) {
        const quint16 w = quint16(word(shown(s, n, t0 + j * dt), step));
        if (highFirst)
            d.append(char(w >> 8)).append(char(w & 0xff));
        else
            d.append(char(w & 0xff)).append(char(w >> 8));
    }
    return d;
}

void SimScopeModel::blocCompteBode(SimEngine &e, int n, double t0, double dt, bool highFirst, const QByteArray &reserve)
{
    SimBlock b;
    b.width = 2;
    b.data = echantillonsBode(n, t0, dt, 500, highFirst);
    const float p = float(dt);
    quint32 u;
    std::memcpy(&u, &p, sizeof u);
    b.extra.append(char(u & 0xff)).append(char((u >> 8) & 0xff)).append(char((u >> 16) & 0xff)).append(char(u >> 24));
    b.extra.append(reserve);
    e.replyBlock(b);
}

void SimScopeModel::common(bool numericBools)
{
    on("*IDN?", [this](SimEngine &e, const SimCall &) { e.replyText(idn_); });
    on("*OPC?", [](SimEngine &e, const SimCall &) { e.replyText(QByteArray("1")); });
    on("*OPC", [](SimEngine &, const SimCall &) {});
    on("*CLS", [](SimEngine &, const SimCall &) {});
    on("*RST", [this](SimEngine &, const SimCall &) { reset(); });
    auto boolText = [numericBools](bool b) { return QByteArray(numericBools ? (b ? "1" : "0") : (b ? "ON" : "OFF")); };
    on("RUN", [this](SimEngine &, const SimCall &) { running = true; });
    on("STOP", [this](SimEngine &, const SimCall &) { running = false; });
    on("CHAN#:DISP?", [this, boolText](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyText(boolText(p->displayed)); });
    on("CHAN#:DISP", [this](SimEngine &, const SimCall &c) { if (auto *p = chan(c)) SimEngine::parseBool(c.args, p->displayed); });
    on("CHAN#:INV?", [this, boolText](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyText(boolText(p->inverted)); });
    on("CHAN#:INV", [this](SimEngine &, const SimCall &c) { if (auto *p = chan(c)) SimEngine::parseBool(c.args, p->inverted); });
    on("CHAN#:SCAL", [this](SimEngine &, const SimCall &c) {
        double v; if (auto *p = chan(c); p && SimEngine::parseNumber(c.args, v) && v > 0) p->scale = v;
    });
    on("CHAN#:OFFS", [this](SimEngine &, const SimCall &c) {
        double v; if (auto *p = chan(c); p && SimEngine::parseNumber(c.args, v)) p->offset = v;
    });
    on("CHAN#:POS", [this](SimEngine &, const SimCall &c) {
        double v; if (auto *p = chan(c); p && SimEngine::parseNumber(c.args, v)) p->position = v;
    });
    on("CHAN#:POS?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyNumber(p->position); });
    on("TIM:SCAL", [this](SimEngine &, const SimCall &c) {
        double v; if (SimEngine::parseNumber(c.args, v) && v > 0) timeScale = v;
    });
}

// ---------------------------------------------------------------- Sefram 5x50

SimSeframModel::SimSeframModel() : SimScopeModel("5150", "SEFRAM,5150,0001234,V1.13", 500)
{
    reset();
    common(false);
    on("TIM:SWE?", [this](SimEngine &e, const SimCall &) { e.replyInt(sweep); });
    on("TIM:SWE", [this](SimEngine &, const SimCall &c) {
        bool ok; const int n = c.args.toInt(&ok); if (ok && n >= 0 && n <= 4) sweep = n;
    });
    on("ACQ:MOD?", [this](SimEngine &e, const SimCall &) { e.replyInt(acqMode); });
    on("ACQ:MOD", [this](SimEngine &, const SimCall &c) {
        bool ok; const int n = c.args.toInt(&ok); if (ok && n >= 0 && n <= 2) acqMode = n;
    });
    on("TIM:SCAL?", [this](SimEngine &e, const SimCall &) { e.replyText(withUnit(timeScale, "s")); });
    on("TIM:DEL?", [this](SimEngine &e, const SimCall &) { e.replyText(withUnit(timeDelay, "s")); });
    on("TIM:DEL", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v)) timeDelay = v; });
    on("CHAN#:SCAL?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyText(withUnit(p->scale, "V")); });
    calibresEcran();
    mesuresDialecte(NombreUnite);
    // :ACQ1:POIN sends the record: 25 samples per division, sample 250 at the delay; 16-bit
    // words, 65 536 raw steps over the 8 divisions, for the oscilloscope and the Bode reads
    // alike (one instrument, one answer). A switched-off channel sends nothing.
    on("ACQ#:POIN", [this](SimEngine &e, const SimCall &c) {
        const int n = c.suffix(0);
        if (n < 1 || n > 2 || !ch[n - 1].displayed) return;
        const int count = std::min(record, 4995);   // the header has four digits for 8 + 2 per sample
        const double dt = timeScale / 25.0, step = pasBode(ch[n - 1].scale);
        const SimSignal s = entree(n);
        SimBlock b;
        b.framing = SimBlock::Sefram;
        b.width = 2;
        for (int j = 0; j < count; ++j) {
            const quint16 w = quint16(word(shown(s, n, timeDelay + (j - 250) * dt), step));
            b.data.append(char(w & 0xff)).append(char(w >> 8));
        }
        e.replyBlock(b);
    });
}

void SimSeframModel::reset()
{
    SimScopeModel::reset();
    sweep = 0;
    acqMode = 0;
}

// ---------------------------------------------------------------- GoodWill/Instek

SimGdsModel::SimGdsModel(const QString &name, const QByteArray &idn, Family f)
    : SimScopeModel(name, idn, f == Gds2000 ? 5000 : 12500), family(f)
{
    reset();
    common(false);
    on("TIM:SCAL?", [this](SimEngine &e, const SimCall &) { e.replyText(withUnit(timeScale, "s")); });
    on("CHAN#:SCAL?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyText(withUnit(p->scale, "V")); });
    if (family == Gds2000) {
        on("HEAD", [this](SimEngine &, const SimCall &c) { SimEngine::parseBool(c.args, header); });
        on("HEAD?", [this](SimEngine &e, const SimCall &) { e.replyText(QByteArray(header ? "ON" : "OFF")); });
        on("TIM:MOD?", [this](SimEngine &e, const SimCall &) { e.replyText(timeMode); });
        on("TIM:MOD", [this](SimEngine &, const SimCall &c) {
            const QString a = c.args.trimmed().toUpper();
            if (a == "MAIN" || a == "XY" || a == "ROLL" || a.startsWith("WIND")) timeMode = a.startsWith("WIND") ? "WINDOW" : a;
        });
        on("ACQ:MOD?", [this](SimEngine &e, const SimCall &) { e.replyText(acqWord); });
        on("ACQ:MOD", [this](SimEngine &, const SimCall &c) {
            const QString a = c.args.trimmed().toUpper();
            if (a.startsWith("SAMP")) acqWord = "SAMPLE";
            else if (a.startsWith("PDET")) acqWord = "PDETECT";
            else if (a.startsWith("AVER")) acqWord = "AVERAGE";
            else if (!a.isEmpty()) acqWord = a;   // any other word is kept as it is (tests)
        });
        on("TIM:POS?", [this](SimEngine &e, const SimCall &) { e.replyNumber(timeDelay); });
        on("TIM:POS", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v)) timeDelay = v; });
    } else {
        on("TIM:SWE?", [this](SimEngine &e, const SimCall &) { e.replyInt(sweep); });
        on("TIM:SWE", [this](SimEngine &, const SimCall &c) {
            bool ok; const int n = c.args.toInt(&ok); if (ok && n >= 0 && n <= 4) sweep = n;
        });
        on("ACQ:MOD?", [this](SimEngine &e, const SimCall &) { e.replyInt(acqMode); });
        on("ACQ:MOD", [this](SimEngine &, const SimCall &c) {
            bool ok; const int n = c.args.toInt(&ok); if (ok && n >= 0 && n <= 2) acqMode = n;
        });
        on("TIM:DEL?", [this](SimEngine &e, const SimCall &) { e.replyText(withUnit(timeDelay, "s")); });
        on("TIM:DEL", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v)) timeDelay = v; });
        on("ACQ:LENG?", [this](SimEngine &e, const SimCall &) { e.replyInt(record); });
        on("ACQ:LENG", [this](SimEngine &, const SimCall &c) {
            bool ok; const int n = c.args.toInt(&ok);
            if (ok && n > 0 && n <= 125000 && family == Gds800) record = n;
        });
    }
    // :ACQ1:MEM? sends the record of input 1 at 25 raw steps per division.
    on("ACQ#:MEM?", [this](SimEngine &e, const SimCall &c) {
        const int n = c.suffix(0);
        if (n < 1 || n > 2) return;
        const double dt = samplePeriod(), t0 = firstSampleTime(), step = ch[n - 1].scale / 25.0;
        const SimSignal s = entree(n);
        SimBlock b;
        b.width = 2;
        for (int j = 0; j < record; ++j) {
            const quint16 w = quint16(word(shown(s, n, t0 + j * dt), step));
            b.data.append(char(w >> 8)).append(char(w & 0xff));
        }
        if (family == Gds2000) {
            if (header)
                b.prefix = "Format,1.0B;Memory Length," + QByteArray::number(record)
                    + ";IntpDistance,0;Trigger Address," + QByteArray::number(record / 2)
                    + ";Trigger Level,0.000E+00;Source,CH" + QByteArray::number(n)
                    + ";Vertical Units,V;Vertical Scale," + SimEngine::formatNumber(ch[n - 1].scale)
                    + ";Horizontal Units,S;Horizontal Scale," + SimEngine::formatNumber(timeScale)
                    + ";Sampling Period," + SimEngine::formatNumber(dt) + ";Waveform Data;";
        } else {
            const float p = float(dt);
            quint32 u;
            std::memcpy(&u, &p, sizeof u);
            b.extra.append(char(u & 0xff)).append(char((u >> 8) & 0xff)).append(char((u >> 16) & 0xff)).append(char(u >> 24));
            b.extra.append(char(n)).append(3, '\0');   // source and reserved bytes
        }
        e.replyBlock(b);
    });
    calibresEcran();
    mesuresDialecte(Prefixe);
    // ":ACQ1:MEM" (no question mark), as the gain and phase measurement asks: 500 samples over
    // 20 divisions from the delay minus 10, at the Bode scale, high byte first.
    on("ACQ#:MEM", [this](SimEngine &e, const SimCall &c) {
        const int n = c.suffix(0);
        if (n < 1 || n > 2 || !ch[n - 1].displayed) return;
        blocCompteBode(e, n, timeDelay - 10.0 * timeScale, 20.0 * timeScale / 500.0, true,
                       QByteArray(1, char(n)) + QByteArray(3, '\0'));
    });
}

void SimGdsModel::reset()
{
    SimScopeModel::reset();
    sweep = 0; acqMode = 0; timeMode = "MAIN"; acqWord = "SAMPLE"; header = false;
    record = defaultRecord_;
}

// GDS800/1000: the record spans 20 divisions centred on the delay; GDS2000: 10 divisions
// from minus the position.
double SimGdsModel::samplePeriod() const { return (family == Gds2000 ? 10.0 : 20.0) * timeScale / record; }
double SimGdsModel::firstSampleTime() const { return family == Gds2000 ? -timeDelay : timeDelay - 10.0 * timeScale; }

// ---------------------------------------------------------------- Francaise d'Instrumentation

SimFiModel::SimFiModel() : SimScopeModel("FI3104", "FRANCAISE D'INSTRUMENTATION,FI3104,0000120,V1.02", 2500)
{
    reset();
    common(false);
    on("TIM:SWE?", [this](SimEngine &e, const SimCall &) { e.replyInt(sweep); });
    on("TIM:SWE", [this](SimEngine &, const SimCall &c) {
        bool ok; const int n = c.args.toInt(&ok); if (ok && n >= 0 && n <= 4) sweep = n;
    });
    on("ACQ:MOD?", [this](SimEngine &e, const SimCall &) { e.replyInt(acqMode); });
    on("ACQ:MOD", [this](SimEngine &, const SimCall &c) {
        bool ok; const int n = c.args.toInt(&ok); if (ok && n >= 0 && n <= 2) acqMode = n;
    });
    on("TIM:SCAL?", [this](SimEngine &e, const SimCall &) { e.replyText(withUnit(timeScale, "s")); });
    on("CHAN#:SCAL?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyText(withUnit(p->scale, "V")); });
    // The record starts at time 0, 10 divisions long; samples low byte first.
    on("ACQ#:MEM?", [this](SimEngine &e, const SimCall &c) {
        const int n = c.suffix(0);
        if (n < 1 || n > 2) return;
        const double dt = samplePeriod(), step = ch[n - 1].scale / 25.0;
        const SimSignal s = entree(n);
        SimBlock b;
        b.width = 2;
        for (int j = 0; j < record; ++j) {
            const quint16 w = quint16(word(shown(s, n, j * dt), step));
            b.data.append(char(w & 0xff)).append(char(w >> 8));
        }
        const float p = float(dt);
        quint32 u;
        std::memcpy(&u, &p, sizeof u);
        b.extra.append(char(u & 0xff)).append(char((u >> 8) & 0xff)).append(char((u >> 16) & 0xff)).append(char(u >> 24));
        b.extra.append(4, '\0');
        e.replyBlock(b);
    });
    calibresEcran();
    mesuresDialecte(NombreUnite);
    // ":ACQ1:POIN", as the gain and phase measurement asks: the counted block with its sample
    // period, 500 samples over the 10 divisions from time 0, at the Bode scale, low byte first.
    on("ACQ#:POIN", [this](SimEngine &e, const SimCall &c) {
        const int n = c.suffix(0);
        if (n < 1 || n > 2 || !ch[n - 1].displayed) return;
        blocCompteBode(e, n, 0.0, 10.0 * timeScale / 500.0, false, QByteArray(4, '\0'));
    });
}

void SimFiModel::reset()
{
    SimScopeModel::reset();
    sweep = 0; acqMode = 0;
    record = defaultRecord_;
}

// ---------------------------------------------------------------- Rigol DS1102E, serial line

SimRigolSerialModel::SimRigolSerialModel()
    : SimScopeModel("DS1102E", "RIGOL TECHNOLOGIES,DS1102E,DS1EB104702974,00.02.01.01.00", 8192)
{
    reset();
    common(false);
    on("TIM:FORM?", [this](SimEngine &e, const SimCall &) { e.replyText(format); });
    on("TIM:FORM", [this](SimEngine &, const SimCall &c) {
        const QString a = c.args.trimmed().toUpper();
        if (a == "YT" || a == "XY") format = a;
    });
    on("TIM:MODE?", [this](SimEngine &e, const SimCall &) { e.replyText(mode); });
    on("TIM:MODE", [this](SimEngine &, const SimCall &c) {
        const QString a = c.args.trimmed().toUpper();
        if (a.startsWith("MAIN")) mode = "MAIN";
        else if (a.startsWith("DEL")) mode = "DELAYED";
    });
    on("TIM:SCAL?", [this](SimEngine &e, const SimCall &) { e.replyNumber(timeScale); });
    on("TIM:OFFS?", [this](SimEngine &e, const SimCall &) { e.replyNumber(timeDelay); });
    on("TIM:OFFS", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v)) timeDelay = v; });
    on("CHAN#:SCAL?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyNumber(p->scale); });
    on("CHAN#:OFFS?", [this](SimEngine &e, const SimCall &c) { if (auto *p = chan(c)) e.replyNumber(p->offset); });
    on("KEY:LOCK", [this](SimEngine &, const SimCall &c) {
        const QString a = c.args.trimmed().toUpper();
        if (a.startsWith("DIS")) keysLocked = false;
        else if (a.startsWith("ENAB")) keysLocked = true;
    });
    // :WAV:DATA? CHAN1: a 4-byte little-endian count, then one byte per sample, raw 125 at
    // the screen centre and 25 steps per division, higher voltages giving lower bytes.
    on("WAV:DATA?", [this](SimEngine &e, const SimCall &c) {
        const int n = SimEngine::parseChannel(c.args);
        if (n < 1 || n > 2) return;
        const SimVoie &v = ch[n - 1];
        const SimSignal s = entree(n);
        const double dt = 12.0 * timeScale / record, t0 = timeDelay - 6.0 * timeScale;
        // Inverted: the host changes the sign of the offset; decoded, the bytes give the input.
        const double off = v.inverted ? -v.offset : v.offset;
        SimBlock b;
        b.framing = SimBlock::Rigol;
        b.terminated = false;
        b.data.reserve(record);
        for (int j = 0; j < record; ++j) {
            const double raw = 125.0 - (s.valueAt(t0 + j * dt) + off) * 25.0 / v.scale;
            b.data.append(char(int(std::clamp(std::round(raw), 0.0, 255.0))));
        }
        e.replyBlock(b);
    });
    // ":MEAS:VRMS? CHAN1": plain numbers, the screen 10 divisions high about minus the offset.
    demiHauteur = 5.0;
    centreSurDecalage = true;
    mesuresDialecte(Nombre);
}

void SimRigolSerialModel::reset()
{
    SimScopeModel::reset();
    format = "YT"; mode = "MAIN"; keysLocked = true;
    record = defaultRecord_;
}

// ---------------------------------------------------------------- unknown

SimUnknownModel::SimUnknownModel() : SimScopeModel("TDS210", "TEKTRONIX,TDS 210,0,CF:91.1CT FV:v1.16 TDS2CM:CMV:v1.04", 2500)
{
    on("*IDN?", [this](SimEngine &e, const SimCall &) { e.replyText(idn_); });
    on("*OPC?", [](SimEngine &e, const SimCall &) { e.replyText(QByteArray("1")); });
}
