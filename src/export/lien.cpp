#include "export/lien.h"

#include "export/windows1252.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <cerrno>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// ---- Names ---------------------------------------------------------------------

QString SuffixeLien()
{
    const QString s = qEnvironmentVariable("ONDIVAR_LIEN_SUFFIXE");
    if (s.size() > 32)
        return QString();
    for (const QChar c : s)
        if (!(c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))))
            return QString();
    return s;
}

namespace {

// A folder that exists, is no link, belongs to us and is closed to others.
bool dossierPrive(const QByteArray &chemin)
{
    struct stat st {};
    if (lstat(chemin.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

} // namespace

QString DossierLien(QString *erreur)
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QDir::isAbsolutePath(base) || !dossierPrive(QFile::encodeName(base)))
        base = QDir::tempPath();
    const QString dossier = base + QStringLiteral("/ondivar-lien-") + QString::number(geteuid()) + SuffixeLien();
    const QByteArray d = QFile::encodeName(dossier);
    if (mkdir(d.constData(), 0700) != 0 && errno != EEXIST) {
        if (erreur)
            *erreur = QStringLiteral("Impossible de créer le dossier du lien « %1 ».").arg(dossier);
        return QString();
    }
    if (!dossierPrive(d)) {
        if (erreur)
            *erreur = QStringLiteral("Le dossier du lien « %1 » n'est pas réservé à l'utilisateur.").arg(dossier);
        return QString();
    }
    return dossier;
}

QString CheminService(const QString &service, QString *erreur)
{
    if (service.isEmpty() || service.contains(QLatin1Char('/'))) {
        if (erreur)
            *erreur = QStringLiteral("Nom de service incorrect : « %1 ».").arg(service);
        return QString();
    }
    const QString dossier = DossierLien(erreur);
    if (dossier.isEmpty())
        return QString();
    const QString chemin = dossier + QLatin1Char('/') + service.toLower();   // names match in any case
    if (QFile::encodeName(chemin).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        if (erreur)
            *erreur = QStringLiteral("Chemin du lien trop long : « %1 ».").arg(chemin);
        return QString();
    }
    return chemin;
}

QByteArray NomSemaphore(const QString &nom)
{
    return '/' + QFile::encodeName(nom) + '-' + QByteArray::number(geteuid()) + SuffixeLien().toLatin1();
}

QString CheminPressePapiersLien()
{
    const QString dossier = DossierLien();
    return dossier.isEmpty() ? QString() : dossier + QStringLiteral("/presse-papiers");
}

// ---- Presence semaphore ----------------------------------------------------------

bool SemaphoreExiste(const QString &nom)
{
    sem_t *s = sem_open(NomSemaphore(nom).constData(), 0);
    if (s == SEM_FAILED)
        return errno != ENOENT;   // present but not ours to open still means present
    sem_close(s);
    return true;
}

bool CreeSemaphore(const QString &nom)
{
    sem_t *s = sem_open(NomSemaphore(nom).constData(), O_CREAT, 0600, 0);
    if (s == SEM_FAILED)
        return false;
    sem_close(s);
    return true;
}

void SupprimeSemaphore(const QString &nom)
{
    sem_unlink(NomSemaphore(nom).constData());
}

// ---- Link clipboard ----------------------------------------------------------------

bool EcritPressePapiersLien(const QString &texte)
{
    const QString chemin = CheminPressePapiersLien();
    if (chemin.isEmpty())
        return false;
    QSaveFile f(chemin);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray octets = texte.toUtf8();
    if (f.write(octets) != octets.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

QByteArray LitPressePapiersLien()
{
    QFile f(CheminPressePapiersLien());
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// ---- Frames ------------------------------------------------------------------------

QByteArray EmballeTrame(char type, const QByteArray &charge)
{
    QByteArray t;
    t.reserve(5 + charge.size());
    t.append(type);
    char longueur[4];
    qToBigEndian<quint32>(quint32(charge.size()), longueur);
    t.append(longueur, 4);
    t.append(charge);
    return t;
}

bool TLecteurTrames::suivante(char &type, QByteArray &charge)
{
    if (erreur_ || tampon_.size() < 5)
        return false;
    const char t = tampon_.at(0);
    static const QByteArray types = QByteArrayLiteral("CARLDXT");
    const quint32 n = qFromBigEndian<quint32>(tampon_.constData() + 1);
    if (!types.contains(t) || n > quint32(Trame::TailleMax)) {
        erreur_ = true;
        tampon_.clear();
        return false;
    }
    if (tampon_.size() < 5 + qsizetype(n))
        return false;
    type = t;
    charge = tampon_.mid(5, n);
    tampon_.remove(0, 5 + n);
    return true;
}

bool MemeUtilisateur(qintptr descripteur)
{
    ucred cred {};
    socklen_t taille = sizeof cred;
    if (getsockopt(int(descripteur), SOL_SOCKET, SO_PEERCRED, &cred, &taille) != 0)
        return false;
    return cred.uid == geteuid();
}

// ---- Client conversation -----------------------------------------------------------

bool TConversationDDE::requete(char type, const QByteArray &charge, int delaiMs)
{
    if (socket_.state() != QLocalSocket::ConnectedState)
        return false;
    QDeadlineTimer delai(delaiMs);
    socket_.write(EmballeTrame(type, charge));
    while (socket_.bytesToWrite() > 0)
        if (!socket_.waitForBytesWritten(int(delai.remainingTime())))
            return false;
    for (;;) {
        char t = 0;
        QByteArray c;
        while (lecteur_.suivante(t, c)) {
            if (t == Trame::Accord)
                return true;
            if (t == Trame::Refus)
                return false;
            if (t == Trame::Fin) {
                ouverte_ = false;
                socket_.abort();
                return false;
            }
            // Donnee: an advise notification, not used
        }
        if (lecteur_.enErreur() || delai.hasExpired())
            return false;
        if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(int(delai.remainingTime())))
            return false;
        lecteur_.ajoute(socket_.readAll());
    }
}

bool TConversationDDE::ouvre(const QString &service, const QString &topic, int delaiMs)
{
    ferme();
    const QString chemin = CheminService(service);
    if (chemin.isEmpty())
        return false;
    QDeadlineTimer delai(delaiMs);
    socket_.connectToServer(chemin);
    if (!socket_.waitForConnected(int(delai.remainingTime()))) {
        socket_.abort();
        return false;
    }
    const QByteArray charge = EnWindows1252(service) + '\0' + EnWindows1252(topic);
    if (!requete(Trame::Initiation, charge, int(delai.remainingTime()))) {
        socket_.abort();
        lecteur_ = TLecteurTrames();
        return false;
    }
    ouverte_ = true;
    return true;
}

bool TConversationDDE::avise(const QString &item, int delaiMs)
{
    return ouverte_ && requete(Trame::Avis, EnWindows1252(item), delaiMs);
}

bool TConversationDDE::execute(const QByteArray &commande, int delaiMs)
{
    return ouverte_ && requete(Trame::Execution, commande + '\0', delaiMs);
}

void TConversationDDE::ferme()
{
    if (socket_.state() == QLocalSocket::ConnectedState) {
        if (ouverte_) {
            socket_.write(EmballeTrame(Trame::Fin));
            while (socket_.bytesToWrite() > 0 && socket_.waitForBytesWritten(1000)) {
            }
        }
        socket_.disconnectFromServer();
        if (socket_.state() != QLocalSocket::UnconnectedState)
            socket_.waitForDisconnected(1000);
    }
    socket_.abort();
    ouverte_ = false;
    lecteur_ = TLecteurTrames();
}

// ---- Server ------------------------------------------------------------------------

struct TServeurLien::Connexion {
    QLocalSocket *socket = nullptr;
    TLecteurTrames lecteur;
    bool ouverte = false;
    bool terminee = false;
    QStringList items;
};

TServeurLien::TServeurLien(QObject *parent) : QObject(parent)
{
    connect(&serveur_, &QLocalServer::newConnection, this, &TServeurLien::nouvelleConnexion);
}

TServeurLien::~TServeurLien()
{
    arrete();
}

bool TServeurLien::enregistre(const QString &service, QString *erreur)
{
    arrete();
    const QString chemin = CheminService(service, erreur);
    if (chemin.isEmpty())
        return false;
    {
        QLocalSocket sonde;
        sonde.connectToServer(chemin);
        if (sonde.waitForConnected(500)) {
            sonde.abort();
            if (erreur)
                *erreur = QStringLiteral("Le service « %1 » est déjà ouvert par un autre programme.").arg(service);
            return false;
        }
    }
    QLocalServer::removeServer(chemin);
    serveur_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!serveur_.listen(chemin)) {
        if (erreur)
            *erreur = QStringLiteral("Impossible d'ouvrir le service « %1 ».").arg(service);
        return false;
    }
    service_ = service;
    return true;
}

void TServeurLien::arrete()
{
    const auto connexions = connexions_;
    connexions_.clear();
    for (const auto &c : connexions) {
        c->terminee = true;
        c->socket->disconnect(this);
        c->socket->abort();
        c->socket->deleteLater();
    }
    if (serveur_.isListening()) {
        const QString chemin = serveur_.fullServerName();
        serveur_.close();
        QFile::remove(chemin);
    }
}

void TServeurLien::notifie(const QString &item)
{
    for (const auto &c : std::as_const(connexions_))
        if (c->ouverte && c->items.contains(item))
            c->socket->write(EmballeTrame(Trame::Donnee, EnWindows1252(item)));
}

void TServeurLien::nouvelleConnexion()
{
    while (QLocalSocket *s = serveur_.nextPendingConnection()) {
        if (!MemeUtilisateur(s->socketDescriptor())) {
            s->abort();
            s->deleteLater();
            continue;
        }
        auto c = std::make_shared<Connexion>();
        c->socket = s;
        connexions_.append(c);
        const std::weak_ptr<Connexion> w = c;
        connect(s, &QLocalSocket::readyRead, this, [this, w] { if (auto c = w.lock()) lit(c); });
        connect(s, &QLocalSocket::disconnected, this, [this, w] { if (auto c = w.lock()) termine(c); });
        if (s->bytesAvailable() > 0)
            lit(c);
    }
}

void TServeurLien::lit(const std::shared_ptr<Connexion> &cp)
{
    const std::shared_ptr<Connexion> c = cp;   // kept alive while its frames are handled
    if (c->terminee)
        return;
    c->lecteur.ajoute(c->socket->readAll());
    char type = 0;
    QByteArray charge;
    while (!c->terminee && c->lecteur.suivante(type, charge)) {
        switch (type) {
        case Trame::Initiation: {
            const qsizetype nul = charge.indexOf('\0');
            const QString service = DeWindows1252(nul < 0 ? charge : charge.left(nul));
            const QString topic = nul < 0 ? QString() : DeWindows1252(charge.mid(nul + 1));
            const bool ok = !c->ouverte && initiation(service, topic);
            c->socket->write(EmballeTrame(ok ? Trame::Accord : Trame::Refus));
            if (ok) {
                c->ouverte = true;
                ouverture();
            }
            break;
        }
        case Trame::Avis: {
            const QString item = DeWindows1252(charge);
            const bool ok = c->ouverte && avis(item);
            if (ok && !c->items.contains(item))
                c->items.append(item);
            c->socket->write(EmballeTrame(ok ? Trame::Accord : Trame::Refus));
            break;
        }
        case Trame::Execution: {
            const bool ok = c->ouverte && accepteCommande(charge);
            c->socket->write(EmballeTrame(ok ? Trame::Accord : Trame::Refus));
            if (ok) {
                c->socket->flush();
                execution(charge);
            }
            break;
        }
        case Trame::Fin:
            c->socket->disconnectFromServer();
            termine(c);
            return;
        default:   // Accord, Refus, Donnee come from servers only
            c->socket->write(EmballeTrame(Trame::Refus));
            break;
        }
    }
    if (c->lecteur.enErreur()) {
        c->socket->abort();
        termine(c);
    }
}

void TServeurLien::termine(const std::shared_ptr<Connexion> &cp)
{
    const std::shared_ptr<Connexion> c = cp;
    if (c->terminee)
        return;
    c->terminee = true;
    if (c->ouverte) {
        c->ouverte = false;
        fin();
    }
    connexions_.removeOne(c);
    c->socket->disconnect(this);
    c->socket->deleteLater();
}
