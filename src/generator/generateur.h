#pragma once
// A programmable signal generator: the resource it is reached on (serial port COMn, raw
// socket "TCPIP0::host::port::SOCKET", USBTMC "USB0::...::INSTR"), the dialect it speaks,
// and the frequency (amplitude, sine, output) the sweep sets on it.
//
// Dialects, chosen from the "*IDN?" reply or given by a setting:
// - generic SCPI: "FREQ <f>", checked by "FREQ?" where answered, else by "*OPC?";
// - Rigol DG: ":SOUR1:FREQ <f>", checked by ":SOUR1:FREQ?";
// - Siglent SDG: "C1:BSWV FRQ,<f>", checked by "C1:BSWV?";
// - Keysight/Agilent 33xxx: "FREQ <f>", checked by "FREQ?";
// - FeelTech FY6800/FY6900 (serial, 115200 baud): "WMF" and the frequency in microhertz on
//   14 digits; the generator answers every command with a bare line feed. It does not
//   answer "*IDN?": it names its model on "UMO".
// Every failure gives a French message naming the resource; a generator that failed while
// opening is closed again (never left open half-configured).
#include <QByteArray>
#include <QString>
#include <memory>

enum class TDialecteGenerateur { Auto, Scpi, RigolDG, SiglentSDG, Keysight33, FeelTech };

// "auto", "scpi", "rigol", "siglent", "keysight", "feeltech" (the settings' and command
// line's words) and back; LitDialecte is false for any other word.
QString MotDialecte(TDialecteGenerateur d);
bool LitDialecte(const QString &mot, TDialecteGenerateur &d);
// The name shown to the user ("Rigol DG", "FeelTech FY6800/FY6900"...).
QString NomDialecte(TDialecteGenerateur d);
// The dialect an identification names: Rigol DG, Siglent SDG, Keysight/Agilent 33xxx,
// FeelTech FY; any other non-empty identification is generic SCPI; Auto for an empty one.
TDialecteGenerateur DialecteIdentite(const QByteArray &identite);

// A frequency as the generators take it: plain decimal with "." whatever the locale, to the
// microhertz, no exponent, no trailing zeros ("1000", "1234.5", "0.000001").
QByteArray TexteFrequence(double f);
// The command setting frequency f in dialect d (not Auto).
QByteArray CommandeFrequence(TDialecteGenerateur d, double f);
// The frequency in a read-back reply of dialect d; NaN when it holds none.
double LitFrequence(TDialecteGenerateur d, const QByteArray &reponse);

// The link to the generator, one line at a time.
class ITransportGenerateur {
public:
    virtual ~ITransportGenerateur() = default;
    // Drops what came unasked, then sends the line and its line feed; false when it did not
    // go out.
    virtual bool ecrit(const QByteArray &ligne) = 0;
    // One reply line, without its CR/LF, within delaiMs; false when no complete line came.
    // An empty line (a bare line feed) is a reply.
    virtual bool litLigne(int delaiMs, QByteArray &ligne) = 0;
    // True once the link itself has gone (device unplugged, connection closed).
    virtual bool perdu() const = 0;
};

// Opens the transport a resource names: "COMn" or "COMn:baud" (the port map), a socket or a
// USBTMC resource (the VISA session of the drivers). baud 0: the one given in the name, else
// 9600 (TGenerateur asks 115200 of a FeelTech). nullptr and erreur set when it cannot be opened.
std::unique_ptr<ITransportGenerateur> OuvreTransportGenerateur(const QString &ressource, int baud, QString &erreur);
// Empty when the resource has the form of one of the three (the port, host or device may
// still be missing); otherwise the French message saying what is expected.
QString VerifieRessourceGenerateur(const QString &ressource);
// True when the resource names a serial port; *baud receives the speed it names (0: none).
bool EstRessourceSerie(const QString &ressource, int *numero = nullptr, int *baud = nullptr);

struct TReglageGenerateur {
    TDialecteGenerateur dialecte = TDialecteGenerateur::Auto;
    bool sinus = true;        // sine waveform at the start
    double amplitude = 0;     // peak-to-peak volts set at the start; 0 or NaN: left as it is
    bool sortie = true;       // output switched on at the start
    int delaiMs = 1000;       // reply time limit
};

class TGenerateur {
public:
    TGenerateur() = default;
    ~TGenerateur();
    TGenerateur(const TGenerateur &) = delete;
    TGenerateur &operator=(const TGenerateur &) = delete;

    // Opens the resource, identifies the generator and applies the start settings. False with
    // the French message in erreur otherwise (the generator is then closed).
    bool ouvre(const QString &ressource, const TReglageGenerateur &r, QString &erreur);
    // The same over a transport the caller opened (other transports); it is owned now. With
    // the dialect Auto a generator silent to "*IDN?" fails here: the reopening at the FeelTech's
    // 115200 baud is the resource version's.
    bool ouvre(std::unique_ptr<ITransportGenerateur> t, const QString &nom, const TReglageGenerateur &r, QString &erreur);
    void ferme();
    bool estOuvert() const { return bool(t_); }

    // Sets the frequency and checks it was taken. False with the message otherwise: silent
    // generator, refused command, link lost; after a silent reply or a lost link the
    // generator is closed.
    bool regleFrequence(double f, QString &erreur);

    TDialecteGenerateur dialecte() const { return dialecte_; }
    const QString &ressource() const { return nom_; }
    // The identification ("*IDN?" or "UMO" reply).
    const QByteArray &identite() const { return identite_; }
    double frequence() const { return frequence_; }

private:
    enum TControle { cRelecture, cOpc, cAucun, cAccuse };
    bool question(const QByteArray &commande, QByteArray &reponse);
    bool commande(const QByteArray &c, QString &erreur);
    bool identifie(const TReglageGenerateur &r, QString &erreur);
    bool configure(const TReglageGenerateur &r, QString &erreur);
    QString silencieux(const QByteArray &commande) const;
    QString refuse(const QByteArray &commande, const QByteArray &reponse) const;
    bool echec(QString &erreur, const QString &message);

    std::unique_ptr<ITransportGenerateur> t_;
    QString nom_;
    TDialecteGenerateur dialecte_ = TDialecteGenerateur::Auto;
    TControle controle_ = cAucun;
    QByteArray identite_;
    double frequence_ = 0;
    int delaiMs_ = 1000;
    bool occupe_ = false;
};
