#include "link/echange.h"
#include "link/parsenumber.h"
#include "link/portserie.h"
#include "link/ticktimer.h"

#include <QCoreApplication>
#include <QLocale>
#include <cmath>

bool arretAcquisition = false;

// Marks the exchange busy for the length of one call; a call made meanwhile
// (from an event handled during a wait) is refused instead of mixing replies.
class TEchange::Garde {
public:
    explicit Garde(TEchange &e) : e_(e)
    {
        if (e_.occupe_)
            throw EserieError(QStringLiteral("Échange déjà en cours avec l'oscilloscope : commande refusée"));
        e_.occupe_ = true;
    }
    ~Garde() { e_.occupe_ = false; }
private:
    TEchange &e_;
};

void TEchange::log(const QString &line)
{
    if (port_.Tracing() == TTraceLogState::tlOn)
        port_.AddStringToLog(line);
}

bool TEchange::estQueueDeCRLF(unsigned char c)
{
    const bool queue = lfAttendu_ && c == 10;
    lfAttendu_ = false;
    return queue;
}

void TEchange::ligneCoupee()
{
    lfAttendu_ = false;
    throw EPortError(port_.raisonPerte());
}

void TEchange::flushOnce()
{
    // Whatever waits came after the last reply's CR: its LF, if any, is among it.
    if (port_.CharReady())
        lfAttendu_ = false;
    port_.FlushInBuffer();
}

void TEchange::flushUntilQuiet()
{
    // A late byte (the LF after a CR) is discarded, then one tick lets stragglers in.
    while (port_.CharReady()) {
        lfAttendu_ = false;
        port_.FlushInBuffer();
        const qint64 t0 = TickClock::msecs();
        DelayTicks(1, false);
        dureeVidages_ += TickClock::msecs() - t0;
    }
}

void TEchange::send(const QByteArray &bytes)
{
    port_.PutString(bytes);
}

bool TEchange::LitReponse(int duree, QByteArray &reponse)
{
    TickTimer t;
    const int max = 18 * duree;
    t.StartTimer(max);
    reponse.clear();
    if (progression_) {
        progression_->setMaximum(max);
        progression_->setPosition(0);
    }
    bool complete = false;
    while (!complete && !t.TimerExpired()) {
        if (port_.CharReady()) {
            const unsigned char c = static_cast<unsigned char>(port_.GetChar());
            // The LF of the previous reply's CR LF, late for the flush, does not end this
            // reply; a LF alone otherwise is an empty reply.
            if (estQueueDeCRLF(c))
                continue;
            if (c >= 32)
                reponse += char(c);
            complete = c == 13 || c == 10;
            if (complete)
                finDeLigne(c);
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            port_.ProcessCommunications();
            if (!port_.Open())
                ligneCoupee();
            if (!port_.CharReady())
                port_.waitForData(10);   // returns as soon as a byte arrives
            if (progression_)
                progression_->setPosition(int(qMin<qint64>(t.ElapsedTicks(), max)));
        }
    }
    return complete;
}

QByteArray TEchange::GetString(const QByteArray &commande)
{
    Garde g(*this);
    log(QStringLiteral("Commande=") + QString::fromLatin1(commande));
    flushUntilQuiet();
    port_.setOnTriggerAvail({});
    send(commande + '\n');
    QByteArray rep;
    if (!LitReponse(2, rep))
        throw EserieError(QStringLiteral("Pas de réponse à : ") + QString::fromLatin1(commande));
    log(QStringLiteral("reponse=") + QString::fromLatin1(rep));
    return rep;
}

QByteArray TEchange::GetIDN()
{
    Garde g(*this);
    do {
        if (port_.CharReady())
            lfAttendu_ = false;
        port_.FlushInBuffer();
        DelayTicks(1, false);
    } while (port_.CharReady());
    port_.setOnTriggerAvail({});
    send("*IDN?\n");
    QByteArray rep;
    if (!LitReponse(5, rep))
        throw EserieError(QStringLiteral("Pas de réponse à : *IDN?"));
    return rep;
}

void TEchange::EnvoieCommandeRapide(const QByteArray &commande)
{
    Garde g(*this);
    log(QStringLiteral("Rapide:") + QString::fromLatin1(commande));
    flushOnce();
    send(commande + ";*OPC?\n");
    QByteArray rep;
    if (!LitReponse(2, rep))
        throw EserieError(QStringLiteral("Pas de réponse à ") + QString::fromLatin1(commande)
                          + QStringLiteral(" au bout de 2 secondes"));
}

void TEchange::EnvoieCommandeLente(const QByteArray &commande)
{
    Garde g(*this);
    log(QStringLiteral("Lente:") + QString::fromLatin1(commande));
    flushOnce();
    arretAcquisition = false;
    TickTimer t;
    t.StartTimer(90);
    send(commande + ";*OPC?\n");
    bool fini = false;
    while (!fini && !arretAcquisition && !t.TimerExpired()) {
        port_.ProcessCommunications();
        if (!port_.Open())
            ligneCoupee();
        if (port_.CharReady()) {
            const unsigned char c = static_cast<unsigned char>(port_.GetChar());
            // The LF of the previous reply's CR LF, come after the flush, does not mean
            // this command is done.
            if (estQueueDeCRLF(c))
                continue;
            fini = c == 13 || c == 10;
            if (fini)
                finDeLigne(c);
        } else {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (!arretAcquisition && !port_.CharReady())
                port_.waitForData(10);
        }
    }
    if (arretAcquisition)
        throw EserieError(QStringLiteral("Arrêt de l'acquisition par l'utilisateur"));
}

void TEchange::EnvoieCommandeSimple(const QByteArray &commande)
{
    Garde g(*this);
    log(QStringLiteral("Simple:") + QString::fromLatin1(commande));
    flushOnce();
    send(commande + '\n');
    // What comes now is for whoever reads next (a block reader skips a late LF itself).
    lfAttendu_ = false;
    const qint64 fin = TickClock::msecs() + 100;
    while (TickClock::msecs() < fin)
        port_.waitForData(int(qMax<qint64>(1, fin - TickClock::msecs())));
}

static double borne(double v)
{
    return (std::isnan(v) || std::fabs(v) > 1e37) ? NaN() : v;
}

double TEchange::GetFloat(const QByteArray &commande)
{
    try {
        return borne(ParseNumber(QString::fromLatin1(GetString(commande))));
    } catch (const EserieError &) {
        return NaN();
    }
}

double LitNombreUnite(const QByteArray &reponse)
{
    QByteArray s = reponse.trimmed();
    // A reply that ends with a digit has no unit: nothing is dropped ("2.5E-04" is 2.5E-04,
    // not 2.5).
    const bool unite = !s.isEmpty() && !(s.back() >= '0' && s.back() <= '9');
    char c = '0';
    if (unite) {
        if (s.endsWith('z'))
            s.chop(2);
        else
            s.chop(1);
        if (!s.isEmpty()) {
            c = s.back();
            if (c < '0' || c > '9')
                s.chop(1);
        }
    }
    double v = ParseNumber(QString::fromLatin1(s));
    switch (c) {
    case 'M': v *= 1e6; break;
    case 'k': v *= 1e3; break;
    case 'm': v *= 1e-3; break;
    case 'u': v *= 1e-6; break;
    case 'n': v *= 1e-9; break;
    default: break;
    }
    return borne(v);
}

double TEchange::GetFloatUnite(const QByteArray &commande)
{
    double v = NaN();
    try {
        v = LitNombreUnite(GetString(commande));
    } catch (const EserieError &) {
        return NaN();
    }
    log(QLocale().toString(v, 'g', 15));
    return v;
}

bool TEchange::GetBool(const QByteArray &commande)
{
    try {
        const QByteArray s = GetString(commande);
        return s.contains("ON") || s.contains('1');
    } catch (const EserieError &) {
        return false;
    }
}

int TEchange::GetInt(const QByteArray &commande, int defaut)
{
    try {
        bool ok = false;
        const int v = GetString(commande).trimmed().toInt(&ok, 10);
        if (!ok)
            return defaut;
        log(QString::number(v));
        return v;
    } catch (const EserieError &) {
        return defaut;
    }
}
