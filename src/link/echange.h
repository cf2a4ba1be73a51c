#pragma once
// The command exchange with a serial instrument: queries, completion waits and
// the readers of numbers, units, booleans and integers.
#include <QByteArray>
#include <QString>
#include <functional>
#include <stdexcept>

class TPortSerie;

// The one failure the exchange raises itself, with a French message.
class EserieError : public std::runtime_error {
public:
    explicit EserieError(const QString &msg) : std::runtime_error(msg.toUtf8().toStdString()), texte(msg) {}
    QString message() const { return texte; }
    QString texte;
};

// Global stop flag: set by the Stop buttons, tested by every acquisition loop.
extern bool arretAcquisition;

// What a wait shows the user: the main window's progress bar, or nothing.
class IProgression {
public:
    virtual ~IProgression() = default;
    virtual void setMaximum(int max) = 0;
    virtual void setPosition(int pos) = 0;
};

// A reply read as a number with its unit and prefix ("1.000kHz", "20.0mV", "2.5E-04s"): a
// trailing unit ("Hz", or one letter) is dropped, then a prefix letter M, k, m, u or n scales
// the number. A reply ending with a digit has no unit and is read whole. NaN for a text that
// is not a number or a magnitude above 1e37.
double LitNombreUnite(const QByteArray &reponse);

class TEchange {
public:
    explicit TEchange(TPortSerie &port) : port_(port) {}

    void setProgression(IProgression *p) { progression_ = p; }
    TPortSerie &port() { return port_; }
    // True while a reply is awaited: a second exchange is refused meanwhile.
    bool occupe() const { return occupe_; }

    QByteArray GetString(const QByteArray &commande);
    QByteArray GetIDN();
    double GetFloat(const QByteArray &commande);
    double GetFloatUnite(const QByteArray &commande);
    bool GetBool(const QByteArray &commande);
    int GetInt(const QByteArray &commande, int defaut);
    void EnvoieCommandeRapide(const QByteArray &commande);
    void EnvoieCommandeLente(const QByteArray &commande);
    void EnvoieCommandeSimple(const QByteArray &commande);

    // Reads one reply line within 18 × duree ticks; answers whether it was completed.
    bool LitReponse(int duree, QByteArray &reponse);

    // True when the last reply ended with a CR whose LF has not come yet: a reader that takes
    // what follows byte by byte may see that LF first.
    bool lfEnAttente() const { return lfAttendu_; }

    // Milliseconds spent so far in the flush waits (the tick left for stragglers), for the benchmarks.
    qint64 dureeVidages() const { return dureeVidages_; }

private:
    class Garde;
    void log(const QString &line);
    void flushOnce();
    void flushUntilQuiet();
    void send(const QByteArray &bytes);

    // A byte is the tail LF of the previous reply's CR LF only when it is the first byte
    // to come after that CR.
    void finDeLigne(unsigned char c) { lfAttendu_ = c == 13; }
    bool estQueueDeCRLF(unsigned char c);
    // The line went away during a wait: the port's own failure, with its reason.
    [[noreturn]] void ligneCoupee();

    TPortSerie &port_;
    IProgression *progression_ = nullptr;
    bool lfAttendu_ = false;
    bool occupe_ = false;
    qint64 dureeVidages_ = 0;
};
