#include "simengine.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <numbers>

// ---------------------------------------------------------------- SimSignal

double SimSignal::valueAt(double t) const
{
    if (coupure > 0.0 && frequency > 0.0) {
        // The steady state through the filter: each harmonic by its own gain and phase.
        const double w = 2.0 * std::numbers::pi * frequency * t + phaseDeg * std::numbers::pi / 180.0;
        auto harmonique = [&](int k) {
            const double fk = k * frequency;
            return SimBanc::gain(coupure, fk) * std::sin(k * w + SimBanc::dephasage(coupure, fk) * std::numbers::pi / 180.0);
        };
        if (shape == Sine)
            return offset + amplitude * harmonique(1);
        double sum = 0.0;
        for (int k = 1; k < 200; k += 2) {
            if (shape == Square)
                sum += harmonique(k) / k;
            else
                sum += ((k / 2) % 2 ? -1.0 : 1.0) * harmonique(k) / (double(k) * k);
        }
        const double scale = shape == Square ? 4.0 / std::numbers::pi : 8.0 / (std::numbers::pi * std::numbers::pi);
        return offset + amplitude * scale * sum;
    }
    const double arg = 2.0 * std::numbers::pi * frequency * t + phaseDeg * std::numbers::pi / 180.0;
    const double s = std::sin(arg);
    if (shape == Square)
        return offset + (s >= 0.0 ? amplitude : -amplitude);
    if (shape == Triangle) // same phase as the sine: rises through 0 at arg = 0
        return offset + amplitude * (2.0 / std::numbers::pi) * std::asin(s);
    return offset + amplitude * s;
}

bool SimSignal::parse(const QString &text, SimSignal &out)
{
    const QStringList f = text.split(',');
    if (f.isEmpty() || f.size() > 5)
        return false;
    SimSignal s;
    const QString shape = f[0].trimmed().toLower();
    if (shape == "sine" || shape == "sin")
        s.shape = Sine;
    else if (shape == "square" || shape == "sq")
        s.shape = Square;
    else if (shape == "triangle" || shape == "tri")
        s.shape = Triangle;
    else
        return false;
    double *fields[] = {&s.amplitude, &s.frequency, &s.phaseDeg, &s.offset};
    for (int i = 1; i < f.size(); ++i) {
        bool ok = false;
        const double v = f[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return false;
        *fields[i - 1] = v;
    }
    if (s.frequency < 0 || s.amplitude < 0)
        return false;
    out = s;
    return true;
}

// ---------------------------------------------------------------- SimFaults

bool SimFaults::add(const QString &text, QString *error)
{
    for (const QString &part : text.split(',', Qt::SkipEmptyParts)) {
        const QString p = part.trimmed().toLower();
        const int eq = p.indexOf('=');
        const QString name = eq < 0 ? p : p.left(eq);
        const QString value = eq < 0 ? QString() : p.mid(eq + 1);
        bool ok = true;
        int n = 0;
        if (!value.isEmpty())
            n = value.toInt(&ok);
        if (!ok) {
            if (error) *error = "bad fault value: " + part;
            return false;
        }
        if (name == "silence" && value.isEmpty()) silence = true;
        else if (name == "late" && !value.isEmpty() && n >= 0) lateMs = n;
        else if (name == "lflate" && !value.isEmpty() && n > 0) lfLateMs = n;
        else if (name == "noterm" && value.isEmpty()) noterm = true;
        else if (name == "noise" && n >= 0) noise = value.isEmpty() ? 8 : n;
        else if (name == "truncate" && value.isEmpty()) truncate = true;
        else if (name == "badcount") { badcount = true; if (!value.isEmpty()) badcountDelta = n; }
        else if (name == "blocknoise" && n >= 0) blocknoise = value.isEmpty() ? 8 : n;
        else if (name == "undef" && value.isEmpty()) undef = true;
        else if (name == "baddigits" && value.isEmpty()) baddigits = true;
        else if (name == "zeros" && !value.isEmpty() && n >= 0) zeros = n;
        else if (name == "tailzeros" && !value.isEmpty() && n >= 0) tailzeros = n;
        else if (name == "oversize" && !value.isEmpty() && n > 0) oversize = n;
        else if (name == "hangup" && value.isEmpty()) hangup = true;
        else {
            if (error) *error = "unknown fault: " + part;
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------- SimModel

QString SimModel::shortMnemonic(const QString &m) const
{
    // SCPI short form: first four letters, three when the fourth is a vowel.
    if (m.size() <= 4 || m.startsWith('*'))
        return m;
    static const QString vowels = "AEIOU";
    if (vowels.contains(m[3]))
        return m.left(3);
    return m.left(4);
}

void SimModel::on(const QString &key, Handler h) { table_[key] = std::move(h); }

const SimModel::Handler *SimModel::find(const QString &key) const
{
    auto it = table_.find(key);
    return it == table_.end() ? nullptr : &it->second;
}

QStringList SimModel::keys() const
{
    QStringList k;
    for (const auto &e : table_)
        k << e.first;
    return k;
}

// ---------------------------------------------------------------- SimEngine

SimEngine::SimEngine(std::unique_ptr<SimModel> model) : model_(std::move(model)) {}

QList<SimCall> SimEngine::split(const QByteArray &line) const
{
    QList<SimCall> calls;
    QStringList path; // header path of the previous compound command
    const QString text = QString::fromLatin1(line);
    for (const QString &raw : text.split(';')) {
        const QString cmd = raw.trimmed();
        if (cmd.isEmpty())
            continue;
        SimCall c;
        int sp = 0;
        while (sp < cmd.size() && !cmd[sp].isSpace())
            ++sp;
        c.header = cmd.left(sp);
        c.args = cmd.mid(sp).trimmed();
        QString h = c.header.toUpper();
        c.query = h.endsWith('?');
        if (c.query)
            h.chop(1);
        QStringList parts;
        if (h.startsWith('*')) {
            parts << h;
        } else {
            const bool rooted = h.startsWith(':');
            parts = h.split(':', Qt::SkipEmptyParts);
            if (!rooted && !path.isEmpty())
                parts = path + parts;
        }
        QStringList norm;
        static const QRegularExpression tail("^(.*?)(\\d+)$");
        for (const QString &p : parts) {
            QString m = p;
            QString suffixMark;
            if (!m.startsWith('*')) {
                const auto match = tail.match(m);
                if (match.hasMatch() && !match.captured(1).isEmpty()) {
                    m = match.captured(1);
                    c.suffixes << match.captured(2).toInt();
                    suffixMark = "#";
                }
            }
            norm << model_->shortMnemonic(m) + suffixMark;
        }
        if (!h.startsWith('*')) {
            path = parts;
            if (!path.isEmpty())
                path.removeLast();
        }
        c.key = norm.join(':') + (c.query ? "?" : "");
        calls << c;
    }
    return calls;
}

std::vector<SimReply> SimEngine::processLine(const QByteArray &line)
{
    std::vector<SimReply> out;
    out_ = &out;
    lineDelayMs_ = 0;
    rxBytes += line.size() + 1;
    model_->prepare();
    for (const SimCall &c : split(line)) {
        if (c.key == "*SIMSTAT?") { // simulator's own counters, outside any dialect
            SimReply r;
            r.bytes = QByteArray::number(rxBytes) + "," + QByteArray::number(txBytes) + term_;
            out.push_back(r);
            continue;
        }
        if (c.query)
            ++queries_;
        const SimModel::Handler *h = model_->find(c.key);
        if (!h) {
            unknown_ << c.header;
            std::fprintf(stderr, "ondivar-sim: unknown command \"%s\"\n", qPrintable(c.header + (c.args.isEmpty() ? QString() : " " + c.args)));
            continue;
        }
        (*h)(*this, c);
    }
    out_ = nullptr;
    return out;
}

bool SimEngine::faultActive() const { return queries_ >= faults_.after; }

QByteArray SimEngine::noiseBytes(int count)
{
    QByteArray n;
    std::uniform_int_distribution<int> printable(32, 126), control(1, 31), pick(0, 3);
    for (int i = 0; i < count; ++i) {
        int b;
        if (pick(rng_) == 0) {
            do b = control(rng_); while (b == '\r' || b == '\n');
        } else {
            do b = printable(rng_); while (b == '#');
        }
        n.append(char(b));
    }
    // Make sure both kinds appear whenever there is room for both.
    if (count >= 2) {
        bool low = false, high = false;
        for (char ch : n) (static_cast<unsigned char>(ch) < 32 ? low : high) = true;
        if (!low) n[0] = '\x07';
        if (!high) n[n.size() - 1] = 'X';
    }
    return n;
}

void SimEngine::push(SimReply r)
{
    r.delayMs += lineDelayMs_;
    txBytes += r.bytes.size();
    if (faults_.lfLateMs > 0 && faultActive() && r.bytes.endsWith("\r\n") && !r.hangup) {
        // The CR goes out with the reply, its LF a while later.
        r.bytes.chop(1);
        SimReply lf;
        lf.bytes = "\n";
        lf.delayMs = r.delayMs + faults_.lfLateMs;
        out_->push_back(r);
        out_->push_back(lf);
        return;
    }
    out_->push_back(r);
}

void SimEngine::replyText(const QByteArray &text)
{
    if (!out_)
        return;
    const bool f = faultActive();
    if (f && faults_.silence)
        return;
    SimReply r;
    if (f && faults_.noise > 0)
        r.bytes = noiseBytes(faults_.noise);
    r.bytes += text;
    if (!(f && faults_.noterm))
        r.bytes += term_;
    r.delayMs = f ? faults_.lateMs : 0;
    push(r);
}

void SimEngine::replyBlock(const QByteArray &data, int width)
{
    SimBlock b;
    b.data = data;
    b.width = width;
    replyBlock(b);
}

void SimEngine::replyBlock(SimBlock b)
{
    if (!out_)
        return;
    const bool f = faultActive();
    if (f && faults_.silence)
        return;
    const int w = std::max(1, b.width);
    QByteArray &d = b.data;
    if (f && faults_.oversize > 0 && !d.isEmpty()) {
        const QByteArray one = d;
        const qsizetype want = qsizetype(faults_.oversize) * w;
        d.clear();
        d.reserve(want);
        while (d.size() < want)
            d += one.left(want - d.size());
    }
    const qsizetype samples = d.size() / w;
    if (f && faults_.zeros > 0 && samples > 0) {
        const qsizetype z = std::min<qsizetype>(faults_.zeros, samples);
        for (qsizetype k = 0; k < z; ++k) {
            const qsizetype j = k * samples / z;
            for (int i = 0; i < w; ++i)
                d[j * w + i] = '\0';
        }
    }
    if (f && faults_.tailzeros > 0) {
        const qsizetype z = std::min<qsizetype>(faults_.tailzeros, samples);
        for (qsizetype i = (samples - z) * w; i < samples * w; ++i)
            d[i] = '\0';
    }
    qint64 declared = d.size();
    if (f && faults_.badcount)
        declared = std::max<qint64>(0, declared + faults_.badcountDelta);

    QByteArray head;
    switch (b.framing) {
    case SimBlock::Ieee: {
        QByteArray count = QByteArray::number(declared);
        if (f && faults_.baddigits)
            for (char &c : count) c = char('A' + (c - '0'));
        head = f && faults_.undef ? QByteArray("#0") : "#" + QByteArray::number(count.size()) + count;
        break;
    }
    case SimBlock::Sefram: {
        // "W" + channel + 4-digit byte count C (8 + 2 per sample) + 8 characters.
        QByteArray count = QByteArray::number(declared + 8).rightJustified(4, '0').right(4);
        if (f && faults_.baddigits)
            count = "12A4";
        head = "WV" + count + "CH1 WORD";
        break;
    }
    case SimBlock::Rigol: {
        const quint32 n = quint32(declared);
        head.append(char(n & 0xff)).append(char((n >> 8) & 0xff)).append(char((n >> 16) & 0xff)).append(char(n >> 24));
        break;
    }
    }
    SimReply r;
    if (f && faults_.noise > 0)
        r.bytes = noiseBytes(faults_.noise);
    r.bytes += b.prefix;
    if (f && faults_.blocknoise > 0)
        r.bytes += noiseBytes(faults_.blocknoise);
    r.bytes += head;
    r.bytes += b.extra;
    if (f && (faults_.truncate || faults_.hangup)) {
        r.bytes += d.left(d.size() / 2);
        r.hangup = faults_.hangup;
    } else {
        r.bytes += d;
        if (b.terminated && !(f && faults_.noterm))
            r.bytes += term_;
    }
    r.delayMs = f ? faults_.lateMs : 0;
    push(r);
}

QByteArray SimEngine::block(const QByteArray &data, qint64 declaredCount)
{
    const QByteArray count = QByteArray::number(declaredCount < 0 ? data.size() : declaredCount);
    QByteArray b = "#";
    b += QByteArray::number(count.size());
    b += count;
    b += data;
    return b;
}

QByteArray SimEngine::formatNumber(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", decimals, v);
    return QByteArray(buf);
}

bool SimEngine::parseNumber(const QString &text, double &v)
{
    static const QRegularExpression re(
        "^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*([A-Za-z]*)\\s*$");
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    double x = m.captured(1).toDouble();
    QString suf = m.captured(2);
    // Strip the unit, keep the prefix.
    static const char *units[] = {"HZ", "DEG", "PCT", "S", "V"};
    QString up = suf.toUpper();
    QString unit;
    for (const char *u : units) {
        if (up.endsWith(QLatin1String(u))) {
            unit = QLatin1String(u);
            up.chop(unit.size());
            suf.chop(unit.size());
            break;
        }
    }
    double mult = 1.0;
    if (up.isEmpty()) mult = 1.0;
    else if (up == "MA") mult = 1e6;
    else if (up == "M") mult = (unit == "HZ" && suf != "m") ? 1e6 : 1e-3; // MHZ is mega, mHz milli
    else if (up == "K") mult = 1e3;
    else if (up == "U") mult = 1e-6;
    else if (up == "N") mult = 1e-9;
    else if (up == "P") mult = 1e-12;
    else if (up == "G") mult = 1e9;
    else return false;
    v = x * mult;
    return std::isfinite(v);
}

bool SimEngine::parseBool(const QString &text, bool &b)
{
    const QString t = text.trimmed().toUpper();
    if (t == "ON" || t == "1") { b = true; return true; }
    if (t == "OFF" || t == "0") { b = false; return true; }
    return false;
}

int SimEngine::parseChannel(const QString &text)
{
    static const QRegularExpression re("^\\s*:?CHAN(?:NEL)?(\\d+)\\s*$", QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}
