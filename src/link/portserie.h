#pragma once
// The program's serial line, over QSerialPort, with its own receive buffer,
// the emulated DTR/DSR handshake, receive notifications and the trace and log rings.
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <stdexcept>

// Failure of the port itself (not open, device missing, no permission...).
class EPortError : public std::runtime_error {
public:
    explicit EPortError(const QString &msg) : std::runtime_error(msg.toStdString()), texte(msg) {}
    QString texte;
};
// The device is held by another program.
class EAlreadyOpen : public EPortError {
public:
    using EPortError::EPortError;
};
// The account may not open the device (it is not in the device's group).
class EAccesRefuse : public EPortError {
public:
    using EPortError::EPortError;
};

enum class TTraceLogState { tlOff, tlOn, tlDump };

enum THWFlowOption { hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8 };

class TPortSerie : public QObject {
    Q_OBJECT
public:
    static constexpr int InSize = 5120;
    static constexpr int OutSize = 1024;
    static constexpr int BufferFull = 3072;
    static constexpr int BufferResume = 1280;
    static constexpr int TraceSize = 128000;
    static constexpr int LogSize = 256000;

    using TriggerHandler = std::function<void(TPortSerie &port, int count)>;

    explicit TPortSerie(QObject *parent = nullptr);
    ~TPortSerie() override;

    // Settings
    int ComNumber() const { return comNumber_; }
    void setComNumber(int n);
    int Baud() const { return baud_; }
    void setBaud(int baud);
    int HWFlowOptions() const { return hwFlow_; }
    void setHWFlowOptions(int options);
    int TriggerLength = 1;
    void setOnTriggerAvail(TriggerHandler h) { trigger_ = std::move(h); }
    bool hasTriggerHandler() const { return bool(trigger_); }

    // Opening and closing
    bool Open() const { return serial_.isOpen(); }
    void setOpen(bool open);   // throws EAlreadyOpen / EPortError
    QString devicePath() const;
    // Why the port is not open: the line that went away, or simply closed.
    QString raisonPerte() const;

    // Data
    void PutString(const QByteArray &text);
    bool CharReady();
    char GetChar();
    int waiting() const { return int(in_.size() - inHead_); }
    void FlushInBuffer();
    void ProcessCommunications();
    // Waits up to ms for bytes to arrive (returns at once when some do).
    // Pending events are not handled here; callers pump before or after.
    void waitForData(int ms);

    // Handshake state, for diagnosis and tests
    bool dtrAsserted() const { return dtr_; }
    bool dsrAsserted();

    // Trace and log
    TTraceLogState Tracing() const { return tracing_; }
    QString TraceName, LogName;
    void startTrace(const QString &traceName, const QString &logName);
    void dumpTrace();   // writes both files when recording, then stops
    void AddStringToLog(const QString &line);
    QStringList logEntries() const { return QStringList(log_.begin(), log_.end()); }

    // Probe: is device n a serial line of the machine? Present when it opens as a terminal,
    // or is a character device that is in use or that the account may not open.
    static bool PortPresent(int n);

signals:
    void lineLost();   // the device vanished while open

private:
    void onReadyRead();
    void pull();
    void updateDtr();
    void flushOut();
    void deliverTrigger();
    void traceBytes(char dir, const char *data, qsizetype n);
    void openNow();
    void closeNow();
    bool raccroche();
    void perte();
    static void openDevice(QSerialPort &sp, const QString &path, bool exclusive);

    QSerialPort serial_;
    int comNumber_ = 1;
    int baud_ = 19200;
    int hwFlow_ = 0;
    QByteArray in_;      // our receive buffer (up to InSize), oldest first
    qsizetype inHead_ = 0;
    QByteArray outPending_;
    QTimer dsrPoll_;
    bool dtr_ = true;
    bool inTrigger_ = false;
    TriggerHandler trigger_;
    TTraceLogState tracing_ = TTraceLogState::tlOff;
    std::deque<std::pair<char, char>> trace_;
    std::deque<QString> log_;
    qsizetype logBytes_ = 0;
    int lockFd_ = -1;
    QString raisonPerte_;
    bool perteEnAttente_ = false;
};
