// Engine of the simulated oscilloscope: command parsing, dispatch tables,
// reply formatting and fault injection. Transport-free, so it can be unit tested.
#pragma once

#include "simbanc.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <vector>

// One input signal fed to a channel.
struct SimSignal {
    enum Shape { Sine, Square, Triangle };
    Shape shape = Sine;
    double amplitude = 1.0;   // peak, volts
    double frequency = 1000.0; // hertz
    double phaseDeg = 0.0;
    double offset = 0.0;      // volts
    double coupure = 0.0;     // seen through a first-order low-pass of this corner (Hz); 0: none

    double valueAt(double t) const;
    // "shape,amplitude,frequency,phase,offset"; trailing fields optional.
    static bool parse(const QString &text, SimSignal &out);
};

// Faults applied to the replies.
struct SimFaults {
    bool silence = false;
    int lateMs = 0;
    int lfLateMs = 0;        // the LF of a reply's CR LF held back that long after the CR
    bool noterm = false;
    int noise = 0;
    bool truncate = false;
    bool badcount = false;
    int badcountDelta = -10;
    // Waveform blocks only.
    int blocknoise = 0;      // noise bytes (never '#', CR or LF) before the block
    bool undef = false;      // "#0" instead of "#" digit count
    bool baddigits = false;  // count digits replaced by letters
    int zeros = 0;           // that many samples set to 0, spread over the record
    int tailzeros = 0;       // the last samples set to 0
    int oversize = 0;        // the block carries this many samples (the record repeated)
    bool hangup = false;     // the simulator closes the line half-way through the block and exits
    int after = 1;            // first query (1-based) the faults apply to

    // Adds one fault description ("late=4000", "noise=8", "silence", ...);
    // several may be given separated by commas.
    bool add(const QString &text, QString *error = nullptr);
};

// One command of a line, split and normalised.
struct SimCall {
    QString header;       // as received, e.g. ":CHANNEL1:RANGE"
    QString key;          // normalised, e.g. "CHAN#:RANG?" (leading ':' dropped)
    QList<int> suffixes;  // numeric suffixes replaced by '#' in key
    QString args;         // text after the header, trimmed
    bool query = false;
    int suffix(int i, int def = 1) const { return i < suffixes.size() ? suffixes[i] : def; }
};

// One piece of output for the transport.
struct SimReply {
    QByteArray bytes;
    int delayMs = 0;
    bool hangup = false;     // close the line once these bytes are out
};

// A waveform reply: an optional text before it, the framing, the samples.
struct SimBlock {
    enum Framing { Ieee, Sefram, Rigol };
    Framing framing = Ieee;
    QByteArray prefix;       // text sent first (GDS2000 header)
    QByteArray extra;        // bytes after the "#" count, not counted by it (GDS sample period)
    QByteArray data;         // the samples
    int width = 1;           // bytes per sample
    bool terminated = true;  // line end after the block
};

class SimEngine;

// A dialect: a table from normalised command keys to handlers, plus the
// instrument state those handlers work on.
class SimModel {
public:
    using Handler = std::function<void(SimEngine &, const SimCall &)>;
    virtual ~SimModel() = default;

    virtual QString name() const = 0;
    virtual void reset() = 0;
    virtual void setSignal(int channel, const SimSignal &s) = 0;
    virtual int channelCount() const { return 2; }
    // Record length held by the instrument (--record); false when the model has none.
    virtual bool setRecord(int /*points*/) { return false; }

    // Run before each received line: lets the bench (autoset) update the instrument's state.
    virtual void prepare() {}

    // Normalises one header mnemonic to its short form (SCPI rule).
    virtual QString shortMnemonic(const QString &m) const;

    const Handler *find(const QString &key) const;
    QStringList keys() const;

    static std::unique_ptr<SimModel> create(const QString &name);
    static QStringList modelNames();

    // Generator, filter and autoset around the instrument.
    SimBanc banc;

protected:
    void on(const QString &key, Handler h);

private:
    std::map<QString, Handler> table_;
};

class SimEngine {
public:
    explicit SimEngine(std::unique_ptr<SimModel> model);

    SimModel &model() { return *model_; }
    void setTerminator(const QByteArray &t) { term_ = t; }
    QByteArray terminator() const { return term_; }
    void setFaults(const SimFaults &f) { faults_ = f; }
    void setSeed(quint32 seed) { rng_.seed(seed); }

    // Executes one received line (without its LF) and returns the replies.
    std::vector<SimReply> processLine(const QByteArray &line);

    // Splits one line into calls (exposed for tests).
    QList<SimCall> split(const QByteArray &line) const;

    int queryCount() const { return queries_; }
    // Forgets the queries and bytes counted so far (after the start-up commands).
    void resetCounters() { queries_ = 0; rxBytes = txBytes = 0; }
    QStringList unknownCommands() const { return unknown_; }

    // Reply helpers for handlers.
    void replyText(const QByteArray &text);
    void replyText(const QString &text) { replyText(text.toLatin1()); }
    void replyNumber(double v, int decimals = 3) { replyText(formatNumber(v, decimals)); }
    void replyBool(bool b) { replyText(QByteArray(b ? "1" : "0")); }
    void replyInt(long long v) { replyText(QByteArray::number(v)); }
    void replyBlock(const QByteArray &data, int width = 1);
    void replyBlock(SimBlock b);

    // Extra time before the replies that follow in this line (an acquisition in progress).
    void addDelay(int ms) { lineDelayMs_ += ms; }
    // Time a digitize takes (--acq-ms).
    int acquireMs = 0;
    // Bytes received (lines with their LF) and queued for sending, answered by "*SIMSTAT?".
    qint64 rxBytes = 0, txBytes = 0;

    // "#" + digit d + d-digit count + data.
    static QByteArray block(const QByteArray &data, qint64 declaredCount = -1);
    // "1.000E-03" style.
    static QByteArray formatNumber(double v, int decimals = 3);
    // Decimal number with optional SI prefix and unit ("500us", "2 V", "1E-3").
    static bool parseNumber(const QString &text, double &v);
    // ON/OFF/1/0.
    static bool parseBool(const QString &text, bool &b);
    // "CHAN1", "CHANNEL2" -> 1, 2; 0 when not a channel.
    static int parseChannel(const QString &text);

private:
    bool faultActive() const;
    QByteArray noiseBytes(int n);
    void push(SimReply r);

    std::unique_ptr<SimModel> model_;
    QByteArray term_ = "\r\n";
    SimFaults faults_;
    std::mt19937 rng_{12345u};
    int queries_ = 0;
    std::vector<SimReply> *out_ = nullptr;
    QStringList unknown_;
    int lineDelayMs_ = 0;
};
