#include "link/portserie.h"
#include "link/portmap.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>

#include <cerrno>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TPortSerie::TPortSerie(QObject *parent) : QObject(parent)
{
    // No limit inside QSerialPort: bytes beyond our own buffer wait there, never lost.
    serial_.setReadBufferSize(0);
    connect(&serial_, &QSerialPort::readyRead, this, &TPortSerie::onReadyRead);
    connect(&serial_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // An adapter pulled out gives a resource error; a far end that closed (a
        // pseudo-terminal's other side) reads as end of file, a read error.
        // The port is closed outside QSerialPort's own call: at the next wait, or soon.
        if (e == QSerialPort::ResourceError || (e == QSerialPort::ReadError && raccroche())) {
            if (!perteEnAttente_)
                QMetaObject::invokeMethod(this, [this] { if (perteEnAttente_) perte(); }, Qt::QueuedConnection);
            perteEnAttente_ = true;
        }
    });
    dsrPoll_.setInterval(5);
    connect(&dsrPoll_, &QTimer::timeout, this, &TPortSerie::flushOut);
}

TPortSerie::~TPortSerie()
{
    closeNow();
}

QString TPortSerie::devicePath() const { return PortMap::devicePath(comNumber_); }

void TPortSerie::setComNumber(int n)
{
    if (n == comNumber_)
        return;
    if (!Open()) {
        comNumber_ = n;
        return;
    }
    const bool wasTracing = tracing_ == TTraceLogState::tlOn;
    closeNow();
    comNumber_ = n;
    if (wasTracing)
        startTrace(TraceName, LogName);
    openNow();
}

void TPortSerie::setBaud(int baud)
{
    baud_ = baud;
    if (Open())
        serial_.setBaudRate(baud_);
}

void TPortSerie::setHWFlowOptions(int options)
{
    hwFlow_ = options;
    updateDtr();
}

void TPortSerie::setOpen(bool open)
{
    if (open == Open())
        return;
    if (open)
        openNow();
    else
        closeNow();
}

// The group that may open the device: the device's own when it gives its group read and
// write, otherwise the one the serial adapters get on Debian and Ubuntu.
static QString groupeDuPeripherique(const QString &path)
{
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) == 0 && st.st_gid != 0
        && (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        if (const group *g = ::getgrgid(st.st_gid))
            return QString::fromLocal8Bit(g->gr_name);
    }
    return QStringLiteral("dialout");
}

void TPortSerie::openDevice(QSerialPort &sp, const QString &path, bool exclusive)
{
    if (path.isEmpty())
        throw EPortError(QStringLiteral("Aucun périphérique série n'est associé à ce port "
                                        "(voir la variable ONDIVAR_PORTS ou la section [Ports] des réglages)"));
    if (!QFileInfo::exists(path))
        throw EPortError(QStringLiteral("Le périphérique %1 n'existe pas : l'adaptateur est-il branché ?").arg(path));
    if (::access(path.toLocal8Bit().constData(), R_OK | W_OK) != 0 && errno == EACCES)
        throw EAccesRefuse(QStringLiteral("Accès refusé à %1 : le compte doit faire partie du groupe "
                                          "« %2 » (sudo adduser $USER %2, puis se reconnecter)").arg(path, groupeDuPeripherique(path)));
    sp.setPortName(path);
    if (!sp.open(QIODevice::ReadWrite)) {
        const auto err = sp.error();
        const QString why = sp.errorString();
        sp.clearError();
        if (err == QSerialPort::PermissionError)
            throw EAlreadyOpen(QStringLiteral("%1 est déjà ouvert par un autre programme").arg(path));
        if (err == QSerialPort::DeviceNotFoundError)
            throw EPortError(QStringLiteral("Le périphérique %1 n'existe pas : l'adaptateur est-il branché ?").arg(path));
        throw EPortError(QStringLiteral("Impossible d'ouvrir %1 : %2").arg(path, why));
    }
    if (exclusive) {
        // Programs that skip lock files still collide here (flock is per open file).
        if (::flock(int(sp.handle()), LOCK_EX | LOCK_NB) != 0) {
            sp.close();
            throw EAlreadyOpen(QStringLiteral("%1 est déjà ouvert par un autre programme").arg(path));
        }
    }
}

void TPortSerie::openNow()
{
    openDevice(serial_, devicePath(), true);
    serial_.setBaudRate(baud_);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setParity(QSerialPort::NoParity);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    serial_.setDataTerminalReady(true);
    serial_.setRequestToSend(true);
    serial_.clearError();   // a pseudo-terminal has no modem lines
    raisonPerte_.clear();
    perteEnAttente_ = false;
    dtr_ = true;
    in_.clear();
    inHead_ = 0;
    outPending_.clear();
    if (tracing_ == TTraceLogState::tlOn) {
        trace_.clear();
        log_.clear();
        logBytes_ = 0;
    }
    AddStringToLog(QStringLiteral("# ouverture de COM%1 (%2) à %3 bauds").arg(comNumber_).arg(serial_.portName()).arg(baud_));
}

bool TPortSerie::raccroche()
{
    if (!serial_.isOpen())
        return false;
    pollfd p{int(serial_.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

void TPortSerie::perte()
{
    perteEnAttente_ = false;
    if (!serial_.isOpen())
        return;
    // The bytes that came before the line went away still reach their reader.
    pull();
    deliverTrigger();
    if (!serial_.isOpen())
        return;
    raisonPerte_ = QStringLiteral("La liaison série COM%1 (%2) est coupée : l'instrument est éteint "
                                  "ou l'adaptateur débranché").arg(comNumber_).arg(serial_.portName());
    AddStringToLog(QStringLiteral("# périphérique perdu : ") + serial_.errorString());
    closeNow();
    emit lineLost();
}

QString TPortSerie::raisonPerte() const
{
    if (!raisonPerte_.isEmpty())
        return raisonPerte_;
    return QStringLiteral("La voie série COM%1 n'est pas ouverte").arg(comNumber_);
}

void TPortSerie::closeNow()
{
    if (!serial_.isOpen())
        return;
    AddStringToLog(QStringLiteral("# fermeture de COM%1").arg(comNumber_));
    dsrPoll_.stop();
    outPending_.clear();
    serial_.close();
    in_.clear();
    inHead_ = 0;
    if (tracing_ == TTraceLogState::tlOn)
        dumpTrace();
}

bool TPortSerie::dsrAsserted()
{
    if (!serial_.isOpen())
        return false;
    const auto pins = serial_.pinoutSignals();
    serial_.clearError();
    return pins & QSerialPort::DataSetReadySignal;
}

void TPortSerie::PutString(const QByteArray &text)
{
    if (!serial_.isOpen())
        throw EPortError(raisonPerte());
    outPending_ += text;
    flushOut();
}

void TPortSerie::flushOut()
{
    if (outPending_.isEmpty() || !serial_.isOpen()) {
        dsrPoll_.stop();
        return;
    }
    if ((hwFlow_ & hwfRequireDSR) && !dsrAsserted()) {
        if (!dsrPoll_.isActive())
            dsrPoll_.start();
        return;
    }
    dsrPoll_.stop();
    traceBytes('>', outPending_.constData(), outPending_.size());
    serial_.write(outPending_);
    outPending_.clear();
}

void TPortSerie::onReadyRead()
{
    pull();
    deliverTrigger();
}

void TPortSerie::pull()
{
    if (!serial_.isOpen())
        return;
    if (inHead_ > 0 && inHead_ >= in_.size() / 2) {
        in_.remove(0, inHead_);
        inHead_ = 0;
    }
    const qsizetype room = InSize - waiting();
    if (room > 0 && serial_.bytesAvailable() > 0) {
        const QByteArray got = serial_.read(room);
        traceBytes('<', got.constData(), got.size());
        in_ += got;
    }
    updateDtr();
}

void TPortSerie::updateDtr()
{
    // The kernel has no DTR/DSR receive flow control: we drive DTR ourselves
    // from the count of bytes not yet read by the program.
    bool want = true;
    if (hwFlow_ & hwfUseDTR) {
        const qsizetype pending = waiting() + (serial_.isOpen() ? serial_.bytesAvailable() : 0);
        if (dtr_ && pending >= BufferFull)
            want = false;
        else if (!dtr_ && pending > BufferResume)
            want = false;
    }
    if (want != dtr_) {
        dtr_ = want;
        if (serial_.isOpen()) {
            serial_.setDataTerminalReady(want);
            serial_.clearError();
        }
        AddStringToLog(want ? QStringLiteral("# DTR levé") : QStringLiteral("# DTR baissé"));
    }
}

void TPortSerie::deliverTrigger()
{
    if (!trigger_ || inTrigger_ || waiting() < TriggerLength)
        return;
    inTrigger_ = true;
    TriggerHandler h = trigger_;   // the handler may remove itself
    h(*this, waiting());
    inTrigger_ = false;
}

bool TPortSerie::CharReady()
{
    if (inHead_ >= in_.size())
        pull();
    return inHead_ < in_.size();
}

char TPortSerie::GetChar()
{
    if (inHead_ >= in_.size())
        return 0;
    const char c = in_.at(inHead_++);
    if (!dtr_)
        updateDtr();
    return c;
}

void TPortSerie::FlushInBuffer()
{
    in_.clear();
    inHead_ = 0;
    if (serial_.isOpen()) {
        const QByteArray rest = serial_.readAll();
        traceBytes('<', rest.constData(), rest.size());
        serial_.clear(QSerialPort::Input);
    }
    updateDtr();
}

void TPortSerie::ProcessCommunications()
{
    if (!serial_.isOpen())
        return;
    serial_.waitForReadyRead(0);   // emits readyRead when bytes have come
    pull();
    deliverTrigger();
    if (serial_.isOpen() && serial_.bytesAvailable() == 0 && (perteEnAttente_ || raccroche()))
        perte();
}

void TPortSerie::waitForData(int ms)
{
    if (!serial_.isOpen())
        return;
    if (serial_.bytesAvailable() == 0)
        serial_.waitForReadyRead(ms);
    pull();
    // A hung-up line stays "readable" for ever with nothing to read: end the wait now.
    if (serial_.isOpen() && serial_.bytesAvailable() == 0 && (perteEnAttente_ || raccroche()))
        perte();
}

void TPortSerie::traceBytes(char dir, const char *data, qsizetype n)
{
    if (tracing_ != TTraceLogState::tlOn)
        return;
    for (qsizetype i = 0; i < n; ++i) {
        trace_.emplace_back(dir, data[i]);
        if (trace_.size() > size_t(TraceSize))
            trace_.pop_front();
    }
}

void TPortSerie::AddStringToLog(const QString &line)
{
    if (tracing_ != TTraceLogState::tlOn)
        return;
    log_.push_back(line);
    logBytes_ += line.size() + 1;
    while (logBytes_ > LogSize && !log_.empty()) {
        logBytes_ -= log_.front().size() + 1;
        log_.pop_front();
    }
}

void TPortSerie::startTrace(const QString &traceName, const QString &logName)
{
    TraceName = traceName;
    LogName = logName;
    tracing_ = TTraceLogState::tlOn;
    trace_.clear();
    log_.clear();
    logBytes_ = 0;
}

static void saveFile(const QString &name, const QByteArray &data)
{
    // Written aside and renamed: a failed write leaves the previous file whole.
    QSaveFile f(name);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(data);
        f.commit();
    }
}

void TPortSerie::dumpTrace()
{
    if (tracing_ != TTraceLogState::tlOn)
        return;
    tracing_ = TTraceLogState::tlDump;
    // Trace: one line per run of bytes in one direction, "> " sent, "< " received,
    // each byte in hexadecimal, then the printable text.
    QByteArray out;
    size_t i = 0;
    while (i < trace_.size()) {
        const char dir = trace_[i].first;
        QByteArray hex, text;
        size_t j = i;
        for (; j < trace_.size() && trace_[j].first == dir && j - i < 32; ++j) {
            const unsigned char c = static_cast<unsigned char>(trace_[j].second);
            hex += QByteArray::number(c, 16).rightJustified(2, '0').toUpper() + ' ';
            text += (c >= 32 && c < 127) ? char(c) : '.';
        }
        out += dir;
        out += ' ';
        out += hex.leftJustified(32 * 3, ' ');
        out += ' ';
        out += text;
        out += '\n';
        i = j;
    }
    saveFile(TraceName, out);
    QByteArray logText;
    for (const QString &l : log_) {
        logText += l.toLatin1();
        logText += '\n';
    }
    saveFile(LogName, logText);
    trace_.clear();
    log_.clear();
    logBytes_ = 0;
    tracing_ = TTraceLogState::tlOff;
}

bool TPortSerie::PortPresent(int n)
{
    const QString path = PortMap::devicePath(n);
    if (path.isEmpty())
        return false;
    // A serial line is a character device; a regular file or a folder never is.
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    QSerialPort probe;
    probe.setReadBufferSize(64);
    try {
        openDevice(probe, path, true);
    } catch (const EAlreadyOpen &) {
        return true;
    } catch (const EAccesRefuse &) {
        // A line the account may not open is still a line of the machine: opening it
        // then tells the user what to do.
        return true;
    } catch (const EPortError &) {
        return false;   // not a terminal (/dev/null), missing, broken
    }
    const bool terminal = ::isatty(int(probe.handle())) == 1;
    probe.close();
    return terminal;
}
