#include "simrigolport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {

qint64 maintenant()
{
    static QElapsedTimer t = [] { QElapsedTimer e; e.start(); return e; }();
    return t.elapsed();
}

constexpr int TailleEntete = 12;

quint32 litLE32(const char *p)
{
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 | quint32(quint8(p[3])) << 24;
}

QByteArray entete(quint8 type, quint8 tag, quint32 taille, quint8 attributs)
{
    QByteArray h(TailleEntete, '\0');
    h[0] = char(type);
    h[1] = char(tag);
    h[2] = char(quint8(~tag));
    for (int k = 0; k < 4; ++k)
        h[4 + k] = char((taille >> (8 * k)) & 0xFF);
    h[8] = char(attributs);
    return h;
}

} // namespace

// ---------------------------------------------------------------- shared part

bool SimRigolCoeur::setEchoLog(const QString &fichier, QString *erreur)
{
    echo.setFileName(fichier);
    if (!echo.open(QIODevice::Append | QIODevice::Text)) {
        if (erreur) *erreur = fichier + ": " + echo.errorString();
        return false;
    }
    return true;
}

QByteArray SimRigolCoeur::execute(const QByteArray &message, int *delaiMs, qint64 *coupure)
{
    QByteArray sortie;
    *delaiMs = 0;
    *coupure = -1;
    for (QByteArray ligne : message.split('\n')) {
        ligne = ligne.trimmed();
        if (ligne.isEmpty())
            continue;
        if (echo.isOpen()) {
            echo.write(ligne + "\n");
            echo.flush();
        }
        // Remote commands lock the front panel, until ":KEY:LOCK DISABLE".
        if (!ligne.toUpper().contains("KEY:LOCK"))
            model.verrou = true;
        model.couperApres = -1;
        const qsizetype base = sortie.size();
        for (const SimReply &r : engine.processLine(ligne)) {
            sortie += r.bytes;
            *delaiMs = std::max(*delaiMs, r.delayMs);
        }
        if (model.couperApres >= 0 && *coupure < 0)
            *coupure = base + model.couperApres;
    }
    return sortie;
}

// ---------------------------------------------------------------- TCP

SimServeurTCP::SimServeurTCP(SimRigolCoeur &coeur, QObject *parent) : QObject(parent), coeur_(coeur)
{
    connect(&serveur_, &QTcpServer::newConnection, this, &SimServeurTCP::nouveauClient);
}

bool SimServeurTCP::ecoute(quint16 port, QString *erreur)
{
    if (!serveur_.listen(QHostAddress::LocalHost, port)) {
        if (erreur) *erreur = serveur_.errorString();
        return false;
    }
    return true;
}

void SimServeurTCP::nouveauClient()
{
    while (QTcpSocket *s = serveur_.nextPendingConnection()) {
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto tampon = std::make_shared<QByteArray>();
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QTcpSocket::readyRead, s, [this, s, tampon] {
            *tampon += s->readAll();
            qsizetype lf;
            while ((lf = tampon->indexOf('\n')) >= 0) {
                const QByteArray ligne = tampon->left(lf);
                tampon->remove(0, lf + 1);
                int delai = 0;
                qint64 coupure = -1;
                const QByteArray r = coeur_.execute(ligne, &delai, &coupure);
                if (r.isEmpty())
                    continue;
                QPointer<QTcpSocket> p(s);
                auto envoie = [p, r, coupure] {
                    if (!p) return;
                    if (coupure >= 0) {
                        p->write(r.left(coupure));
                        p->disconnectFromHost();   // sends what is queued, then closes
                    } else {
                        p->write(r);
                    }
                };
                if (delai > 0)
                    QTimer::singleShot(delai, s, envoie);
                else
                    envoie();
            }
        });
    }
}

// ---------------------------------------------------------------- USBTMC stand-in

SimUsbtmc::SimUsbtmc(SimRigolCoeur &coeur, QObject *parent) : QObject(parent), coeur_(coeur)
{
    attente_.setSingleShot(true);
    connect(&attente_, &QTimer::timeout, this, &SimUsbtmc::repond);
}

SimUsbtmc::~SimUsbtmc()
{
    delete notifLecture_;
    delete notifEcriture_;
    if (maitre_ >= 0) ::close(maitre_);
    if (esclave_ >= 0) ::close(esclave_);
    nettoie();
}

bool SimUsbtmc::ouvre(const QString &dossier, int index, QString *chemin, QString *erreur)
{
    maitre_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (maitre_ < 0 || grantpt(maitre_) != 0 || unlockpt(maitre_) != 0) {
        if (erreur) *erreur = QString("pseudo-terminal: %1").arg(std::strerror(errno));
        return false;
    }
    const char *nom = ptsname(maitre_);
    if (!nom) {
        if (erreur) *erreur = "ptsname";
        return false;
    }
    const QByteArray pts(nom);
    // Held open so that the master never sees a hang-up when the client closes its side.
    esclave_ = ::open(pts.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (esclave_ >= 0 && tcgetattr(esclave_, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(esclave_, TCSANOW, &t);
    }
    fcntl(maitre_, F_SETFL, fcntl(maitre_, F_GETFL) | O_NONBLOCK);

    QDir().mkpath(dossier);
    const QDir d(dossier);
    for (int n = index < 0 ? 0 : index; n < (index < 0 ? 64 : index + 1); ++n) {
        const QString lien = d.absoluteFilePath(QString("usbtmc%1").arg(n));
        if (::symlink(pts.constData(), QFile::encodeName(lien).constData()) == 0) {
            lien_ = lien;
            break;
        }
        if (errno != EEXIST) break;
    }
    if (lien_.isEmpty()) {
        if (erreur) *erreur = QString("no free usbtmcN name in %1").arg(dossier);
        return false;
    }
    sysfs_ = lien_ + ".sysfs";
    QDir().mkpath(sysfs_);
    const struct { const char *f; QString v; } fichiers[] = {
        {"idVendor", QString("%1").arg(coeur_.model.idVendeur, 4, 16, QLatin1Char('0'))},
        {"idProduct", QString("%1").arg(coeur_.model.idProduit, 4, 16, QLatin1Char('0'))},
        {"serial", coeur_.model.serie},
    };
    for (const auto &f : fichiers) {
        QFile q(sysfs_ + "/" + f.f);
        if (q.open(QIODevice::WriteOnly))
            q.write(f.v.toLatin1() + "\n");
    }
    *chemin = lien_;
    notifLecture_ = new QSocketNotifier(maitre_, QSocketNotifier::Read, this);
    connect(notifLecture_, &QSocketNotifier::activated, this, &SimUsbtmc::lisible);
    notifEcriture_ = new QSocketNotifier(maitre_, QSocketNotifier::Write, this);
    notifEcriture_->setEnabled(false);
    connect(notifEcriture_, &QSocketNotifier::activated, this, [this] { ecrit(QByteArray()); });
    return true;
}

QList<QByteArray> SimUsbtmc::aNettoyer() const
{
    QList<QByteArray> l;
    if (!lien_.isEmpty()) {
        l << QFile::encodeName(lien_);
        for (const char *f : {"/idVendor", "/idProduct", "/serial"})
            l << QFile::encodeName(sysfs_ + f);
    }
    return l;
}

void SimUsbtmc::nettoie()
{
    if (lien_.isEmpty())
        return;
    for (const QByteArray &p : aNettoyer())
        ::unlink(p.constData());
    ::rmdir(QFile::encodeName(sysfs_).constData());
    lien_.clear();
}

void SimUsbtmc::lisible()
{
    char b[4096];
    for (;;) {
        const ssize_t n = ::read(maitre_, b, sizeof b);
        if (n > 0) {
            entree_.append(b, n);
            continue;
        }
        break;
    }
    traite();
}

void SimUsbtmc::traite()
{
    while (entree_.size() >= TailleEntete) {
        const quint8 type = quint8(entree_[0]), tag = quint8(entree_[1]);
        if (quint8(entree_[2]) != quint8(~tag)) {
            std::fprintf(stderr, "ondivar-sim-rigol: bad USBTMC header, input dropped\n");
            entree_.clear();
            return;
        }
        const quint32 taille = litLE32(entree_.constData() + 4);
        const quint8 attributs = quint8(entree_[8]);
        if (type == 1) {
            if (taille > (1u << 20)) {
                entree_.clear();
                return;
            }
            const qsizetype total = TailleEntete + qsizetype(taille) + (4 - taille % 4) % 4;
            if (entree_.size() < total)
                return;
            message_ += entree_.mid(TailleEntete, taille);
            entree_.remove(0, total);
            if (attributs & 1) {
                // A new message: output not yet read is dropped ("query interrupted").
                int delai = 0;
                qint64 coupure = -1;
                reponse_ = coeur_.execute(message_, &delai, &coupure);
                message_.clear();
                coupure_ = coupure;
                envoyes_ = 0;
                pretA_ = maintenant() + delai;
                repond();
            }
        } else if (type == 2) {
            entree_.remove(0, TailleEntete);
            demande_ = true;
            tagDemande_ = tag;
            tailleDemande_ = taille;
            repond();
        } else if (type == 0xA0) {
            // Device clear.
            entree_.remove(0, TailleEntete);
            reponse_.clear();
            message_.clear();
            demande_ = false;
            coupure_ = -1;
        } else {
            entree_.remove(0, TailleEntete);
        }
    }
}

void SimUsbtmc::repond()
{
    if (!demande_ || reponse_.isEmpty() || maitre_ < 0)
        return;
    const qint64 t = maintenant();
    if (t < pretA_) {
        attente_.start(int(pretA_ - t));
        return;
    }
    const quint32 morceau = std::min<quint32>(tailleDemande_, quint32(reponse_.size()));
    const bool dernier = morceau == quint32(reponse_.size());
    if (coupure_ >= 0 && envoyes_ + morceau > coupure_) {
        ecrit(entete(2, tagDemande_, morceau, dernier ? 1 : 0) + reponse_.left(coupure_ - envoyes_));
        coupe();
        return;
    }
    QByteArray trame = entete(2, tagDemande_, morceau, dernier ? 1 : 0) + reponse_.left(morceau);
    while (trame.size() % 4)
        trame += '\0';
    reponse_.remove(0, morceau);
    envoyes_ += morceau;
    demande_ = false;
    ecrit(trame);
}

void SimUsbtmc::ecrit(const QByteArray &b)
{
    sortieFil_ += b;
    while (!sortieFil_.isEmpty() && maitre_ >= 0) {
        const ssize_t n = ::write(maitre_, sortieFil_.constData(), size_t(sortieFil_.size()));
        if (n <= 0)
            break;
        sortieFil_.remove(0, n);
    }
    if (notifEcriture_)
        notifEcriture_->setEnabled(!sortieFil_.isEmpty());
}

void SimUsbtmc::coupe()
{
    // The cable is pulled: the device file goes, and so does this instrument.
    std::fprintf(stderr, "ondivar-sim-rigol: link dropped\n");
    delete notifLecture_;
    notifLecture_ = nullptr;
    delete notifEcriture_;
    notifEcriture_ = nullptr;
    ::close(maitre_);
    maitre_ = -1;
    if (esclave_ >= 0) ::close(esclave_);
    esclave_ = -1;
    nettoie();
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}
