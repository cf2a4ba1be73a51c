#pragma once
// The local link that carries the conversations with Korvalis (and Korvalis's with us):
// one Unix socket per service in a private per-user folder, short framed messages, the
// presence semaphore, and the link's copy of the clipboard. docs/korvalis-link.md is the
// description an analysis application implements.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <memory>

// ---- Names ---------------------------------------------------------------------

// $ONDIVAR_LIEN_SUFFIXE when it holds only letters, digits, "-" and "_" (at most 32),
// otherwise empty: parallel test runs use it so their links never meet.
QString SuffixeLien();
// The private folder of the link, created (mode 700) when missing:
// $XDG_RUNTIME_DIR/ondivar-lien-<uid><suffix>, or the same name in the temporary folder.
// Empty, with a French message in *erreur, when it cannot be made or is not ours alone.
QString DossierLien(QString *erreur = nullptr);
// Socket path of a service ("Korvalis", this program's own): the folder + the name in lower
// case; empty when the folder is unusable.
QString CheminService(const QString &service, QString *erreur = nullptr);
// Name of a presence semaphore: "/" + nom + "-" + uid + suffix.
QByteArray NomSemaphore(const QString &nom);
// The link's copy of the clipboard text (UTF-8), written before every macro.
QString CheminPressePapiersLien();

// ---- Presence semaphore ----------------------------------------------------------

// True when the named semaphore exists. Opens without creating, closes at once:
// the probe never leaves a semaphore behind.
bool SemaphoreExiste(const QString &nom);
// For the analysis application's side (and its stand-in): create / remove.
bool CreeSemaphore(const QString &nom);
void SupprimeSemaphore(const QString &nom);

// ---- Link clipboard ----------------------------------------------------------------

// Writes the text atomically (mode 600); false when it cannot be written.
bool EcritPressePapiersLien(const QString &texte);
// The bytes of the link clipboard; empty when there is none.
QByteArray LitPressePapiersLien();

// ---- Frames ------------------------------------------------------------------------
// A frame is one type byte, the payload length (4 bytes, big-endian) and the payload.

namespace Trame {
constexpr char Initiation = 'C';   // client: service NUL topic
constexpr char Accord = 'A';       // server: the request is accepted
constexpr char Refus = 'R';        // server: the request is refused
constexpr char Avis = 'L';         // client: advise link (notify only) on an item
constexpr char Donnee = 'D';       // server: an advised item changed (payload: item)
constexpr char Execution = 'X';    // client: execute command, 8-bit text and its NUL
constexpr char Fin = 'T';          // either side: end of the conversation
constexpr int TailleMax = 65536;   // longest payload accepted
}

QByteArray EmballeTrame(char type, const QByteArray &charge = {});

// Cuts incoming bytes into frames; a frame of unknown type or too long puts it in error.
class TLecteurTrames {
public:
    void ajoute(const QByteArray &octets) { tampon_ += octets; }
    // Takes the next complete frame; false when none is complete (or on error).
    bool suivante(char &type, QByteArray &charge);
    bool enErreur() const { return erreur_; }
private:
    QByteArray tampon_;
    bool erreur_ = false;
};

// True when the peer process of the connected socket runs as the same user.
bool MemeUtilisateur(qintptr descripteur);

// ---- Client conversation -----------------------------------------------------------

class TConversationDDE {
public:
    ~TConversationDDE() { ferme(); }
    // Connects to the service and asks for the topic; false when nobody answers or the
    // topic is refused. Waits at most delaiMs for the answer.
    bool ouvre(const QString &service, const QString &topic, int delaiMs = 1000);
    // Asks for a notify-only link on item; false when refused (the conversation stays open).
    bool avise(const QString &item, int delaiMs = 1000);
    // Sends an execute command (the 8-bit text, its NUL added); true when accepted.
    bool execute(const QByteArray &commande, int delaiMs = 1000);
    // Ends the conversation (nothing when none is open).
    void ferme();
    bool ouverte() const { return ouverte_; }
private:
    bool requete(char type, const QByteArray &charge, int delaiMs);
    QLocalSocket socket_;
    TLecteurTrames lecteur_;
    bool ouverte_ = false;
};

// ---- Server ------------------------------------------------------------------------

// One service on the link. Connections from another user are closed at once. Subclasses
// answer the requests; every request gets one Accord or Refus frame.
class TServeurLien : public QObject {
    Q_OBJECT
public:
    explicit TServeurLien(QObject *parent = nullptr);
    ~TServeurLien() override;
    // Registers the service. Refused (false, *erreur) when another live process holds it;
    // a socket left behind by a process that died is replaced.
    bool enregistre(const QString &service, QString *erreur = nullptr);
    void arrete();
    bool actif() const { return serveur_.isListening(); }
    QString service() const { return service_; }
    // Sends a Donnee frame on every conversation that asked for an advise link on item.
    void notifie(const QString &item);

protected:
    // Accepts or refuses a conversation; ouverture() follows an accepted one, after the answer.
    virtual bool initiation(const QString &service, const QString &topic) = 0;
    virtual void ouverture() {}
    virtual bool avis(const QString &item) { Q_UNUSED(item); return false; }
    // Accepts or refuses a command; execution() follows an accepted one, after the answer.
    virtual bool accepteCommande(const QByteArray &commande) = 0;
    virtual void execution(const QByteArray &commande) { Q_UNUSED(commande); }
    // The end of an accepted conversation (Fin frame or connection lost).
    virtual void fin() {}

private:
    struct Connexion;
    void nouvelleConnexion();
    void lit(const std::shared_ptr<Connexion> &c);
    void termine(const std::shared_ptr<Connexion> &c);
    QLocalServer serveur_;
    QString service_;
    QList<std::shared_ptr<Connexion>> connexions_;
};
