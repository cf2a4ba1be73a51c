#pragma once
// A small VISA-like resource manager and session for the Rigol and Siglent instruments.
//
// Resources, in the order they are searched:
// - "USB0::0xVVVV::0xPPPP::SERIAL::INSTR": the USBTMC instruments of usbtmc.h;
// - "TCPIP0::host::port::SOCKET": raw-socket instruments on the network (Rigol usually
//   listens on 5555, Siglent on 5025), listed in the settings (section "Visa", value
//   "Ressources", separated by ";" or ",") and in the environment variable ONDIVAR_VISA
//   (same form), settings first. Names that are not of this form are left out.
//
// Writes go out whole: over USB as one message, over a socket followed by a line feed
// when they do not end with one. Reads wait at most the session's time-out (2000 ms,
// VISA's default); a read that gets nothing in that time returns nothing.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

// One open resource.
class TSessionVisa {
public:
    virtual ~TSessionVisa() = default;
    // Sends the whole text; false when it did not all go out.
    virtual bool ecrit(const QByteArray &texte, int delaiMs) = 0;
    // Reads at most max bytes. The first byte is awaited up to delaiMs; a text read then
    // goes on to the end of the line (or of the message), a data read returns what has
    // come. *fin: the instrument marked the end of its message (USB only).
    virtual QByteArray lit(int max, int delaiMs, bool texte, bool *fin) = 0;
    // Device clear: pending output of both sides is dropped.
    virtual void efface() = 0;
    // Waits until bytes are there or ms have passed; false at once where bytes only come
    // on request (USB).
    virtual bool attendDonnees(int ms) = 0;
    // True when reads tell where a message ends (USB), false for a plain byte stream.
    virtual bool finDeMessageConnue() const = 0;
    // True once the instrument has gone (connection closed by the far end or dropped,
    // device unplugged) and nothing it sent is left to read.
    virtual bool perdue() const = 0;
};

class TRigolVisa {
public:
    TRigolVisa() = default;
    ~TRigolVisa();
    TRigolVisa(const TRigolVisa &) = delete;
    TRigolVisa &operator=(const TRigolVisa &) = delete;

    // open: read whether a session is open; write true to run the opening sequence (when
    // not open), false to close (when open).
    bool open() const { return FVisa_open; }
    void setOpen(bool ouvrir);

    // The first name found by the last opening, or empty.
    QString nomVisaCom() const { return FnomVisaCom.isEmpty() ? QString() : FnomVisaCom.first(); }
    const QStringList &nomsVisaCom() const { return FnomVisaCom; }

    // false when not open; otherwise whether the whole text was written.
    bool send(const QByteArray &texte);
    // Empty and 0 when not open; otherwise one read of at most 1024 characters.
    int get_response(QByteArray &reponse);
    // send, then get_response into buf; one final line feed is dropped; reponse := buf.
    void getString(const QByteArray &commande, QByteArray &reponse);
    // One data read of at most 1024 bytes; attenteMs < 0 waits the session's time-out.
    int get_WavData(QByteArray &donnees, int attenteMs = -1, bool *fin = nullptr);
    // Waits up to ms for the first bytes of a reply (returns at once over USB).
    bool attendDonnees(int ms);
    // True when the session's reads tell where a message ends.
    bool finDeMessageConnue() const;

    // True when the open session was found lost (the instrument went away): it was closed
    // then. Cleared by the next opening.
    bool liaisonPerdue() const { return perdue_; }
    // The French message that reports it.
    QString messageLiaisonPerdue() const;
    // The name of the resource opened last.
    const QString &ressourceOuverte() const { return ressource_; }

    // Session time-out in milliseconds (2000 unless changed).
    int delai() const { return delai_; }
    void setDelai(int ms) { delai_ = ms < 1 ? 1 : ms; }

    // The instrument's reply to "*IDN?" at the last opening, and whether it names Siglent.
    QByteArray buf;
    QByteArray identificateur;
    bool isSIGLENT = false;

    // The resource manager's search: every resource present whose name matches the
    // expression ("?" one character, "*" any run, letters in any case), USB ones first.
    static QStringList chercheRessources(const QString &expression);
    static bool correspond(const QString &nom, const QString &expression);
    // The well-formed socket resources of the settings and of ONDIVAR_VISA.
    static QStringList ressourcesReseau();
    // The maker's name in an identification, in any letter case.
    static bool estSiglent(const QByteArray &ident);
    // Opens one resource by name; nullptr when it cannot be reached.
    static std::unique_ptr<TSessionVisa> ouvreRessource(const QString &nom, int delaiMs);

private:
    void ouvre();
    void ferme();
    // Closes a session whose instrument has gone and remembers it.
    void constate();
    // send then one text read, without the guard; one final line feed dropped.
    QByteArray question(const QByteArray &commande);

    std::unique_ptr<TSessionVisa> sess;
    QStringList FnomVisaCom;
    bool FVisa_open = false;
    bool perdue_ = false;
    QString ressource_;
    int delai_ = 2000;
    bool occupe_ = false;
    friend class TGardeVisa;
};
