// A programmable signal generator beside the simulated oscilloscope, in one of the dialects
// the program drives (generic SCPI, Rigol DG, Siglent SDG, Keysight/Agilent 33xxx, FeelTech
// FY6900), on a second pseudo-terminal or a loopback TCP port. Setting its frequency sets the
// bench's generator, so the oscilloscope's CH1 (and CH2 through the filter) follow it.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class SimBanc;
class QSocketNotifier;
class QTcpServer;

class SimGenerateur {
public:
    enum Dialecte { Scpi, Rigol, Siglent, Keysight, FeelTech };
    enum Defaut { Aucun, Silence, Refus };

    Dialecte dialecte = Scpi;
    Defaut defaut = Aucun;
    int defautApres = 0;           // the fault applies from the K-th frequency command on (0: always)
    double frequence = 1000.0;     // hertz
    double amplitude = 2.0;        // peak-to-peak volts
    bool sortie = false;
    QString forme = "SINE";
    SimBanc *banc = nullptr;       // told of every frequency taken

    static bool litDialecte(const QString &mot, Dialecte &d);
    // "silence", "refus", "silence-apres=K", "refus-apres=K"; false for anything else.
    bool litDefaut(const QString &texte);

    // The reply to one command line (without its line feed), terminator included; nothing
    // when the generator does not answer.
    std::optional<QByteArray> traite(const QByteArray &ligne);

    // Number of frequency commands received.
    int commandesFrequence = 0;

private:
    bool prendFrequence(double f);
    bool enDefaut(Defaut d) const { return defaut == d && commandesFrequence >= defautApres; }
    std::optional<QByteArray> scpi(const QByteArray &ligne);
    std::optional<QByteArray> feeltech(const QByteArray &ligne);
};

// Serves a SimGenerateur on a pseudo-terminal or a loopback TCP port.
class SimGenerateurServeur : public QObject {
    Q_OBJECT
public:
    explicit SimGenerateurServeur(SimGenerateur &g, QObject *parent = nullptr);
    ~SimGenerateurServeur() override;
    // A pseudo-terminal; *ressource receives the client's device path.
    bool ouvrePty(QString *ressource, QString *erreur);
    // A TCP port of 127.0.0.1 (0: any free one); *ressource receives
    // "TCPIP0::127.0.0.1::<port>::SOCKET".
    bool ouvreTcp(quint16 port, QString *ressource, QString *erreur);

private:
    void lignes(QByteArray &tampon, const QByteArray &recu, const std::function<void(const QByteArray &)> &envoie);

    SimGenerateur &g_;
    int fd_ = -1;
    int esclave_ = -1;
    QSocketNotifier *notifier_ = nullptr;
    QTcpServer *serveur_ = nullptr;
    QByteArray tamponPty_;
};

// The generator's command-line options of the simulators (--generateur, --generateur-tcp,
// --generateur-defaut): false when `opt` is none of them; `erreur` says what is wrong.
struct SimGenerateurOptions {
    bool actif = false;
    bool tcp = false;
    quint16 port = 0;
    SimGenerateur generateur;
    bool option(const QString &opt, const std::function<QString()> &valeur, QString &erreur);
    // Starts serving when asked: prints "GEN <resource>" on standard output. False with the
    // reason otherwise.
    bool demarre(SimBanc &banc, std::unique_ptr<SimGenerateurServeur> &serveur, QString &erreur);
};
