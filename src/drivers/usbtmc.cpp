#include "drivers/usbtmc.h"

#include "link/ticktimer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// Message types of the bulk transfers (the two of the class, and the clear of the stand-in).
constexpr quint8 MsgVersInstrument = 1;
constexpr quint8 MsgDemandeReponse = 2;
constexpr quint8 MsgEffaceSubstitut = 0xA0;   // vendor-specific range: stands for the class's clear request
constexpr int TailleEntete = 12;
// Largest transfer a stand-in may announce in reply; above this the framing is broken.
constexpr int TransfertMax = 1 << 20;

int &delaiUSB()
{
    static int d = 2000;
    return d;
}

// Lets the user interface run while a wait goes on.
void pompe()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

QString litTexte(const QString &fichier)
{
    QFile f(fichier);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.read(256)).trimmed();
}

void ecritEntete(char *h, quint8 type, quint8 tag, quint32 taille, quint8 attributs)
{
    std::memset(h, 0, TailleEntete);
    h[0] = char(type);
    h[1] = char(tag);
    h[2] = char(quint8(~tag));
    h[4] = char(taille & 0xFF);
    h[5] = char((taille >> 8) & 0xFF);
    h[6] = char((taille >> 16) & 0xFF);
    h[7] = char((taille >> 24) & 0xFF);
    h[8] = char(attributs);
}

} // namespace

// ---- Device list -----------------------------------------------------------------------

QString TInfoUSBTMC::nomVisa() const
{
    const auto hex = [](quint16 v) { return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper(); };
    return QStringLiteral("USB0::0x%1::0x%2::%3::INSTR").arg(hex(idVendeur), hex(idProduit), serie);
}

QString DossierUSBTMC()
{
    const QString d = qEnvironmentVariable("ONDIVAR_USBTMC_DIR");
    return d.isEmpty() ? QStringLiteral("/dev") : d;
}

QList<TInfoUSBTMC> ListeUSBTMC()
{
    QList<TInfoUSBTMC> liste;
    const QString dossier = DossierUSBTMC();
    const QDir dir(dossier);
    const bool noyau = QFileInfo(dossier).canonicalFilePath() == QLatin1String("/dev");
    static const QRegularExpression nom(QStringLiteral("^usbtmc(\\d{1,6})$"));
    const QStringList entrees = dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    for (const QString &e : entrees) {
        const auto m = nom.match(e);
        if (!m.hasMatch())
            continue;
        TInfoUSBTMC info;
        info.chemin = dir.filePath(e);
        info.numero = m.captured(1).toInt();
        if (!QFileInfo::exists(info.chemin))   // a link left by a stand-in that is gone
            continue;
        const QString sys = noyau
            ? QFileInfo(QStringLiteral("/sys/class/usbmisc/%1/device").arg(e)).canonicalFilePath() + QStringLiteral("/..")
            : info.chemin + QStringLiteral(".sysfs");
        bool okV = false, okP = false;
        const uint v = litTexte(sys + QStringLiteral("/idVendor")).toUInt(&okV, 16);
        const uint p = litTexte(sys + QStringLiteral("/idProduct")).toUInt(&okP, 16);
        if (okV && okP && v <= 0xFFFF && p <= 0xFFFF) {
            info.idVendeur = quint16(v);
            info.idProduit = quint16(p);
            info.identifie = true;
        }
        // A serial number goes into a resource name between "::": keep it to safe characters.
        QString serie = litTexte(sys + QStringLiteral("/serial"));
        static const QRegularExpression sur(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
        info.serie = sur.match(serie).hasMatch() ? serie : e;
        liste << info;
    }
    std::sort(liste.begin(), liste.end(), [](const TInfoUSBTMC &a, const TInfoUSBTMC &b) { return a.numero < b.numero; });
    return liste;
}

// ---- One device file -------------------------------------------------------------------

TUsbtmc::~TUsbtmc() { ferme(); }

bool TUsbtmc::ouvre(const QString &chemin)
{
    ferme();
    const QByteArray c = QFile::encodeName(chemin);
    perdu_ = false;
    erreurOuverture_ = 0;
    fd_ = ::open(c.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
        erreurOuverture_ = errno;
        return false;
    }
    substitut_ = ::isatty(fd_) == 1;
    if (substitut_) {
        termios t{};
        if (::tcgetattr(fd_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
        ::tcflush(fd_, TCIOFLUSH);
    }
    delaiNoyau_ = -1;
    return true;
}

void TUsbtmc::ferme()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    substitut_ = false;
}

quint8 TUsbtmc::prochainTag()
{
    tag_ = quint8(tag_ % 255 + 1);   // 1..255, never 0
    return tag_;
}

void TUsbtmc::vide()
{
    if (fd_ >= 0 && substitut_)
        ::tcflush(fd_, TCIFLUSH);
}

bool TUsbtmc::ecritTout(const char *d, qsizetype n, qint64 echeance)
{
    qsizetype fait = 0;
    while (fait < n) {
        const ssize_t k = ::write(fd_, d + fait, size_t(n - fait));
        if (k > 0) {
            fait += k;
            continue;
        }
        if (k < 0 && errno != EAGAIN && errno != EINTR) {
            perdu_ = true;
            return false;
        }
        const qint64 reste = echeance - TickClock::msecs();
        if (reste <= 0)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, int(std::min<qint64>(reste, 20)));
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            perdu_ = true;
            return false;
        }
    }
    return true;
}

int TUsbtmc::litExact(char *d, int n, qint64 echeance)
{
    int fait = 0;
    while (fait < n) {
        const ssize_t k = ::read(fd_, d + fait, size_t(n - fait));
        if (k > 0) {
            fait += int(k);
            continue;
        }
        if (k == 0 || (errno != EAGAIN && errno != EINTR)) {
            perdu_ = true;   // EIO: the other side of the pseudo-terminal has gone
            return -1;
        }
        const qint64 reste = echeance - TickClock::msecs();
        if (reste <= 0)
            return 0;
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, int(std::min<qint64>(reste, 20)));
        if (r > 0 && !(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            perdu_ = true;
            return -1;
        }
        if (r == 0)
            pompe();
    }
    return n;
}

bool TUsbtmc::ecrit(const QByteArray &message, int delaiMs)
{
    const bool ok = ecritMessage(message, delaiMs);
    if (perdu_)
        ferme();
    return ok;
}

int TUsbtmc::lit(char *tampon, int capacite, int delaiMs, bool *fin)
{
    const int n = litReponse(tampon, capacite, delaiMs, fin);
    if (perdu_)
        ferme();
    return n;
}

bool TUsbtmc::ecritMessage(const QByteArray &message, int delaiMs)
{
    if (fd_ < 0)
        return false;
    if (!substitut_) {
        // The kernel frames the message and sends it in one transfer.
        const ssize_t k = ::write(fd_, message.constData(), size_t(message.size()));
        if (k < 0 && (errno == ENODEV || errno == EIO))
            perdu_ = true;
        return k == message.size();
    }
    vide();   // stale replies of an earlier request that timed out
    const quint8 tag = prochainTag();
    QByteArray trame(TailleEntete, '\0');
    ecritEntete(trame.data(), MsgVersInstrument, tag, quint32(message.size()), 0x01);
    trame += message;
    while (trame.size() % 4)
        trame += '\0';
    return ecritTout(trame.constData(), trame.size(), TickClock::msecs() + delaiMs);
}

int TUsbtmc::litReponse(char *tampon, int capacite, int delaiMs, bool *fin)
{
    if (fin)
        *fin = false;
    if (fd_ < 0 || !tampon || capacite <= 0)
        return -1;
    if (!substitut_) {
        const int delai = std::max(delaiMs, 100);
        if (delai != delaiNoyau_) {
            __u32 t = __u32(delai);
            if (::ioctl(fd_, USBTMC_IOCTL_SET_TIMEOUT, &t) == 0)
                delaiNoyau_ = delai;
        }
        ssize_t k;
        do
            k = ::read(fd_, tampon, size_t(capacite));
        while (k < 0 && errno == EINTR);
        if (k < 0) {
            if (errno == ETIMEDOUT)
                return 0;
            if (errno == ENODEV || errno == EIO)
                perdu_ = true;
            return -1;
        }
        if (fin) {
            __u8 attributs = 0;
            *fin = ::ioctl(fd_, USBTMC_IOCTL_MSG_IN_ATTR, &attributs) == 0 ? (attributs & 1) != 0 : k < capacite;
        }
        return int(k);
    }

    vide();
    const quint8 tag = prochainTag();
    char h[TailleEntete];
    ecritEntete(h, MsgDemandeReponse, tag, quint32(capacite), 0);
    const qint64 echeance = TickClock::msecs() + delaiMs;
    if (!ecritTout(h, TailleEntete, echeance))
        return -1;
    for (;;) {
        const int r = litExact(h, TailleEntete, echeance);
        if (r <= 0)
            return r;
        const quint8 type = quint8(h[0]), t = quint8(h[1]), nt = quint8(h[2]);
        const quint32 taille = quint32(quint8(h[4])) | quint32(quint8(h[5])) << 8
                               | quint32(quint8(h[6])) << 16 | quint32(quint8(h[7])) << 24;
        if (type != MsgDemandeReponse || nt != quint8(~t) || h[3] != 0 || taille > quint32(TransfertMax)) {
            vide();
            return -1;
        }
        const bool ancien = t != tag;   // the late reply of an earlier request
        if (!ancien && taille > quint32(capacite)) {
            vide();   // more than asked for: the framing cannot be trusted
            return -1;
        }
        // Data and padding, read in pieces that fit the caller's buffer.
        const qint64 finDonnees = TickClock::msecs() + std::max(delaiMs, 100);
        quint32 aLire = taille + (4 - taille % 4) % 4;
        quint32 recu = 0;
        char rebut[256];
        while (aLire > 0) {
            const bool versTampon = !ancien && recu < taille;
            char *dest = versTampon ? tampon + recu : rebut;
            const int n = int(versTampon ? taille - recu : std::min<quint32>(aLire, sizeof rebut));
            const int k = litExact(dest, n, finDonnees);
            if (k <= 0) {
                vide();
                return k < 0 ? -1 : 0;
            }
            if (versTampon)
                recu += quint32(k);
            aLire -= quint32(k);
        }
        if (ancien)
            continue;
        if (fin)
            *fin = (quint8(h[8]) & 1) != 0;
        return int(taille);
    }
}

void TUsbtmc::efface()
{
    if (fd_ < 0)
        return;
    if (!substitut_) {
        ::ioctl(fd_, USBTMC_IOCTL_CLEAR);
        return;
    }
    char h[TailleEntete];
    ecritEntete(h, MsgEffaceSubstitut, prochainTag(), 0, 0);
    ::tcflush(fd_, TCIOFLUSH);
    ecritTout(h, TailleEntete, TickClock::msecs() + delaiUSB());
}

// ---- Entry points ----------------------------------------------------------------------

namespace {

struct TPeripheriques {
    QStringList chemins;                          // Rigol instruments found by GetDeviceNum
    std::vector<std::unique_ptr<TUsbtmc>> ouverts; // same order, opened on first use
    bool occupe = false;                          // a call is waiting (events run meanwhile)
};

TPeripheriques &peripheriques()
{
    static TPeripheriques p;
    return p;
}

TUsbtmc *peripherique(int device)
{
    TPeripheriques &p = peripheriques();
    if (device < 0 || device >= p.chemins.size())
        return nullptr;
    auto &u = p.ouverts[size_t(device)];
    if (!u)
        u = std::make_unique<TUsbtmc>();
    if (!u->estOuvert() && !u->ouvre(p.chemins[device]))
        return nullptr;
    return u.get();
}

// Refuses a call made from an event handled while another one waits.
class TGardeUSB {
public:
    TGardeUSB() : libre_(!peripheriques().occupe) { if (libre_) peripheriques().occupe = true; }
    ~TGardeUSB() { if (libre_) peripheriques().occupe = false; }
    bool libre() const { return libre_; }
private:
    bool libre_;
};

} // namespace

bool RigolUSBDisponible() { return !ListeUSBTMC().isEmpty(); }

int GetDeviceNum()
{
    TGardeUSB garde;
    if (!garde.libre())
        return 0;
    QStringList chemins;
    for (const TInfoUSBTMC &i : ListeUSBTMC())
        if (!i.identifie || i.idVendeur == VendeurRigol)
            chemins << i.chemin;
    TPeripheriques &p = peripheriques();
    if (chemins != p.chemins) {
        p.ouverts.clear();
        p.chemins = chemins;
        p.ouverts.resize(size_t(chemins.size()));
    }
    return int(chemins.size());
}

int WriteUSB(int device, int type, int sequence, int length, const char *buffer)
{
    Q_UNUSED(sequence)   // the wire tags come from the device file's own count
    TGardeUSB garde;
    if (!garde.libre())
        return 0;
    TUsbtmc *u = peripherique(device);
    if (!u)
        return 0;
    if (type == 2)
        return 1;   // the request goes out with the read that follows
    if (type != 1 || length < 0 || (length > 0 && !buffer))
        return 0;
    return u->ecrit(QByteArray(buffer, length), delaiUSB()) ? 1 : 0;
}

int ReadUSB(int device, int *length, char *buffer, int capacite, bool *fin)
{
    if (length)
        *length = 0;
    if (fin)
        *fin = false;
    TGardeUSB garde;
    if (!garde.libre())
        return 0;
    TUsbtmc *u = peripherique(device);
    if (!u || !length)
        return 0;
    const int n = u->lit(buffer, capacite, delaiUSB(), fin);
    if (n <= 0)
        return 0;
    *length = n;
    return 1;
}

void FermeUSB()
{
    TPeripheriques &p = peripheriques();
    for (auto &u : p.ouverts)
        if (u)
            u->ferme();
}

bool USBPerdu(int device)
{
    TPeripheriques &p = peripheriques();
    if (device < 0 || device >= int(p.ouverts.size()) || !p.ouverts[size_t(device)])
        return false;
    return p.ouverts[size_t(device)]->perdu();
}

QString MessageAccesUSBTMC(const QString &chemin)
{
    // Opened (and closed at once) with the rights of the running program.
    const QByteArray c = QFile::encodeName(chemin);
    const int fd = ::open(c.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return QString();
    }
    if (errno != EACCES && errno != EPERM)
        return QString();
    return QStringLiteral("Accès refusé à %1 : le compte doit faire partie du groupe « plugdev » "
                          "(sudo adduser $USER plugdev, puis se reconnecter) et une règle udev doit donner "
                          "ce groupe aux appareils usbtmc (voir docs/rigol-visa.md)").arg(chemin);
}

QString AccesRefuseUSBTMC()
{
    for (const TInfoUSBTMC &i : ListeUSBTMC()) {
        const QString m = MessageAccesUSBTMC(i.chemin);
        if (!m.isEmpty())
            return m;
    }
    return QString();
}

int DelaiUSB() { return delaiUSB(); }
void setDelaiUSB(int ms) { delaiUSB() = std::max(ms, 1); }
