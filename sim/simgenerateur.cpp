#include "simgenerateur.h"
#include "simbanc.h"
#include "simengine.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// ---------------------------------------------------------------- the instrument

bool SimGenerateur::litDialecte(const QString &mot, Dialecte &d)
{
    const QString m = mot.trimmed().toLower();
    if (m == "scpi") d = Scpi;
    else if (m == "rigol") d = Rigol;
    else if (m == "siglent") d = Siglent;
    else if (m == "keysight") d = Keysight;
    else if (m == "feeltech") d = FeelTech;
    else return false;
    return true;
}

bool SimGenerateur::litDefaut(const QString &texte)
{
    const QString t = texte.trimmed().toLower();
    const QString nom = t.section('=', 0, 0);
    int apres = 0;   // from the start, before any frequency command
    if (t.contains('=')) {
        bool ok = false;
        apres = t.section('=', 1).toInt(&ok);
        if (!ok || apres < 1)
            return false;
    }
    if (nom == "silence" || nom == "silence-apres") defaut = Silence;
    else if (nom == "refus" || nom == "refus-apres") defaut = Refus;
    else return false;
    if ((nom.endsWith("-apres")) != t.contains('='))
        return false;
    defautApres = apres;
    return true;
}

bool SimGenerateur::prendFrequence(double f)
{
    ++commandesFrequence;
    if (enDefaut(Refus) || !std::isfinite(f) || f < 1e-6 || f > 60e6)
        return false;
    frequence = f;
    if (banc)
        banc->frequenceGenerateur = f;
    return true;
}

std::optional<QByteArray> SimGenerateur::traite(const QByteArray &brute)
{
    const QByteArray ligne = brute.trimmed();
    if (ligne.isEmpty())
        return std::nullopt;
    const bool frequenceDemandee = dialecte == FeelTech ? ligne.startsWith("WMF")
        : ligne.toUpper().contains("FREQ ") || ligne.toUpper().contains("FRQ,");
    // The silence that starts at the K-th frequency command covers it.
    if (defaut == Silence && commandesFrequence + (frequenceDemandee ? 1 : 0) >= defautApres) {
        if (frequenceDemandee)
            ++commandesFrequence;
        return std::nullopt;
    }
    return dialecte == FeelTech ? feeltech(ligne) : scpi(ligne);
}

static QByteArray nombreC(double v, int chiffres)
{
    return QByteArray::number(v, 'E', chiffres);
}

std::optional<QByteArray> SimGenerateur::scpi(const QByteArray &ligne)
{
    QByteArray c = ligne.toUpper();
    if (c.startsWith(':'))
        c.remove(0, 1);
    const QByteArray fin = "\n";
    if (c == "*IDN?") {
        switch (dialecte) {
        case Rigol: return QByteArray("Rigol Technologies,DG1022Z,DG1ZA000000001,00.01.05") + fin;
        case Siglent: return QByteArray("Siglent Technologies,SDG1032X,SDG1XAAA000001,1.01.01.33R1") + fin;
        case Keysight: return QByteArray("Agilent Technologies,33220A,MY44000001,2.02-2.02-22-2") + fin;
        default: return QByteArray("ONDIVAR,GEN-SIM,0,1.0") + fin;
        }
    }
    if (c == "*OPC?")
        return QByteArray("1") + fin;
    if (c == "*RST" || c == "*CLS")
        return std::nullopt;

    if (dialecte == Siglent) {
        if (c == "C1:BSWV?") {
            return "C1:BSWV WVTP," + forme.toLatin1() + ",FRQ," + QByteArray::number(frequence, 'g', 12) + "HZ,PERI,"
                + QByteArray::number(1.0 / frequence, 'g', 12) + "S,AMP," + QByteArray::number(amplitude, 'g', 6)
                + "V,OFST,0V,PHSE,0" + fin;
        }
        if (c.startsWith("C1:BSWV ")) {
            const QList<QByteArray> champs = c.mid(8).split(',');
            for (qsizetype i = 0; i + 1 < champs.size(); i += 2) {
                const QByteArray nom = champs[i].trimmed(), val = champs[i + 1].trimmed();
                double v = 0;
                if (nom == "FRQ") {
                    if (SimEngine::parseNumber(QString::fromLatin1(val), v)) prendFrequence(v);
                    else ++commandesFrequence;
                } else if (nom == "AMP" && SimEngine::parseNumber(QString::fromLatin1(val), v)) {
                    amplitude = v;
                } else if (nom == "WVTP") {
                    forme = QString::fromLatin1(val);
                }
            }
            return std::nullopt;
        }
        if (c.startsWith("C1:OUTP "))
            sortie = c.contains("ON");
        return std::nullopt;
    }

    // Rigol DG: the same tree under ":SOUR1"; generic SCPI and Keysight without.
    if (c.startsWith("SOUR1:") || c.startsWith("SOURCE1:"))
        c = c.mid(c.indexOf(':') + 1);
    else if (dialecte == Rigol && (c.startsWith("FREQ") || c.startsWith("FUNC") || c.startsWith("VOLT")))
        return std::nullopt;   // a DG wants its source named
    const qsizetype espace = c.indexOf(' ');
    const QByteArray tete = espace < 0 ? c : c.left(espace);
    const QByteArray arg = espace < 0 ? QByteArray() : c.mid(espace + 1).trimmed();
    if (tete == "FREQ?" || tete == "FREQUENCY?") {
        switch (dialecte) {
        case Keysight: return "+" + nombreC(frequence, 13) + fin;
        case Rigol: return nombreC(frequence, 6) + fin;
        default: return QByteArray::number(frequence, 'g', 12) + fin;
        }
    }
    if (tete == "FREQ" || tete == "FREQUENCY") {
        double v = 0;
        if (SimEngine::parseNumber(QString::fromLatin1(arg), v)) prendFrequence(v);
        else ++commandesFrequence;
        return std::nullopt;
    }
    if (tete == "VOLT" || tete == "VOLTAGE") {
        double v = 0;
        if (SimEngine::parseNumber(QString::fromLatin1(arg), v)) amplitude = v;
        return std::nullopt;
    }
    if (tete == "FUNC" || tete == "FUNCTION") {
        forme = QString::fromLatin1(arg);
        return std::nullopt;
    }
    if (tete == "OUTP" || tete == "OUTP1" || tete == "OUTPUT") {
        sortie = arg == "ON" || arg == "1";
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QByteArray> SimGenerateur::feeltech(const QByteArray &c)
{
    // Every command is answered by a line feed once executed; reads by their value first.
    const QByteArray lf = "\n";
    if (c == "UMO")
        return QByteArray("FY6900-60M") + lf;
    if (c == "UID")
        return QByteArray("1234567890") + lf;
    if (c == "RMF")
        return QByteArray::number(frequence, 'f', 6) + lf;
    if (c.startsWith("WMF")) {
        const QByteArray chiffres = c.mid(3);
        bool ok = chiffres.size() == 14;
        for (char ch : chiffres)
            ok = ok && ch >= '0' && ch <= '9';
        if (!ok) {
            ++commandesFrequence;
            return QByteArray("ERR") + lf;
        }
        if (!prendFrequence(chiffres.toLongLong() / 1e6))
            return QByteArray("ERR") + lf;
        return lf;
    }
    if (c.startsWith("WMA")) {
        bool ok = false;
        const double v = c.mid(3).toDouble(&ok);
        if (ok) amplitude = v;
        return lf;
    }
    if (c.startsWith("WMW")) {
        forme = c.mid(3) == "00" ? "SINE" : QString::fromLatin1(c.mid(3));
        return lf;
    }
    if (c.startsWith("WMN")) {
        sortie = c.mid(3) == "1";
        return lf;
    }
    if (c.startsWith('W'))
        return lf;
    // "*IDN?" and what the FeelTech does not know: no reply.
    return std::nullopt;
}

// ---------------------------------------------------------------- serving it

SimGenerateurServeur::SimGenerateurServeur(SimGenerateur &g, QObject *parent) : QObject(parent), g_(g) {}

SimGenerateurServeur::~SimGenerateurServeur()
{
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
    if (esclave_ >= 0) ::close(esclave_);
}

void SimGenerateurServeur::lignes(QByteArray &tampon, const QByteArray &recu, const std::function<void(const QByteArray &)> &envoie)
{
    tampon += recu;
    for (;;) {
        const qsizetype lf = tampon.indexOf('\n');
        if (lf < 0)
            break;
        const QByteArray ligne = tampon.left(lf);
        tampon.remove(0, lf + 1);
        if (auto r = g_.traite(ligne))
            envoie(*r);
    }
    if (tampon.size() > 4096)
        tampon.clear();
}

static void brut(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &t);
}

bool SimGenerateurServeur::ouvrePty(QString *ressource, QString *erreur)
{
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
        if (erreur) *erreur = QString("pseudo-terminal: %1").arg(std::strerror(errno));
        return false;
    }
    const char *nom = ptsname(fd_);
    if (!nom) {
        if (erreur) *erreur = "ptsname failed";
        return false;
    }
    *ressource = QString::fromLocal8Bit(nom);
    esclave_ = ::open(nom, O_RDWR | O_NOCTTY | O_NONBLOCK);   // held so the master never hangs up
    if (esclave_ < 0) {
        if (erreur) *erreur = QString("%1: %2").arg(*ressource, std::strerror(errno));
        return false;
    }
    brut(esclave_);
    brut(fd_);
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char b[512];
        const ssize_t n = ::read(fd_, b, sizeof b);
        if (n <= 0)
            return;
        lignes(tamponPty_, QByteArray(b, n), [this](const QByteArray &r) {
            qsizetype fait = 0;
            while (fait < r.size()) {
                const ssize_t w = ::write(fd_, r.constData() + fait, size_t(r.size() - fait));
                if (w <= 0)
                    break;
                fait += w;
            }
        });
    });
    return true;
}

bool SimGenerateurServeur::ouvreTcp(quint16 port, QString *ressource, QString *erreur)
{
    serveur_ = new QTcpServer(this);
    if (!serveur_->listen(QHostAddress::LocalHost, port)) {
        if (erreur) *erreur = "TCP port: " + serveur_->errorString();
        return false;
    }
    *ressource = QString("TCPIP0::127.0.0.1::%1::SOCKET").arg(serveur_->serverPort());
    connect(serveur_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = serveur_->nextPendingConnection()) {
            s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            auto tampon = std::make_shared<QByteArray>();
            connect(s, &QTcpSocket::readyRead, s, [this, s, tampon] {
                lignes(*tampon, s->readAll(), [s](const QByteArray &r) { s->write(r); s->flush(); });
            });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}

// ---------------------------------------------------------------- options

bool SimGenerateurOptions::option(const QString &opt, const std::function<QString()> &valeur, QString &erreur)
{
    erreur.clear();
    if (opt == "--generateur") {
        const QString v = valeur();
        if (!SimGenerateur::litDialecte(v, generateur.dialecte))
            erreur = "bad value for --generateur: " + v + " (scpi, rigol, siglent, keysight, feeltech)";
        actif = true;
    } else if (opt == "--generateur-tcp") {
        const QString v = valeur();
        bool ok = false;
        const int p = v.toInt(&ok);
        if (!ok || p < 0 || p > 65535)
            erreur = "bad value for --generateur-tcp: " + v;
        tcp = true;
        port = quint16(p);
    } else if (opt == "--generateur-defaut") {
        const QString v = valeur();
        if (!generateur.litDefaut(v))
            erreur = "bad value for --generateur-defaut: " + v + " (silence, refus, silence-apres=K, refus-apres=K)";
    } else {
        return false;
    }
    return true;
}

bool SimGenerateurOptions::demarre(SimBanc &banc, std::unique_ptr<SimGenerateurServeur> &serveur, QString &erreur)
{
    if (!actif) {
        if (tcp) {
            erreur = "--generateur-tcp needs --generateur";
            return false;
        }
        return true;
    }
    generateur.banc = &banc;
    serveur = std::make_unique<SimGenerateurServeur>(generateur);
    QString ressource;
    if (!(tcp ? serveur->ouvreTcp(port, &ressource, &erreur) : serveur->ouvrePty(&ressource, &erreur)))
        return false;
    std::printf("GEN %s\n", qPrintable(ressource));
    std::fflush(stdout);
    return true;
}
