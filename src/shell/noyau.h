#pragma once
// What the main window knows and does, without the window: the serial settings, the
// port and its command exchange, the instrument detection, the mode switch and the
// close sequence. The window (or ondivar-cli) shows what it is told through IVuePrincipale.
#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"
#include "shell/reglages.h"

#include <QString>
#include <functional>
#include <memory>

// What the detection shows: the help line, the caption and the three buttons that come and go.
class IVuePrincipale {
public:
    virtual ~IVuePrincipale() = default;
    virtual void setAide(const QString &texte) = 0;
    virtual void setTitre(const QString &texte) = 0;
    virtual void setComVisible(bool visible) = 0;
    virtual void setOscVisible(bool visible) = 0;
    virtual void setMultVisible(bool visible) = 0;
};

// A view that shows nothing and keeps the last caption (command-line tool, tests).
class TVueMuette : public IVuePrincipale {
public:
    void setAide(const QString &) override {}
    void setTitre(const QString &t) override { titre = t; }
    void setComVisible(bool) override {}
    void setOscVisible(bool) override {}
    void setMultVisible(bool) override {}
    QString titre;
};

// The Rigol USB and VISA searches, as the drivers offer them.
class IRechercheRigol {
public:
    virtual ~IRechercheRigol() = default;
    // Opens the Rigol driver on USB; on success gives its identification and gives the
    // front panel back.
    virtual bool ouvreUSB(QString &ident) = 0;
    // Opens a VISA session; on success gives the identification and whether it is a Siglent,
    // switches the Rigol driver to VISA and gives the front panel back.
    virtual bool ouvreVisa(QString &ident, bool &siglent) = 0;
    // Gives the front panel back at the end of the run.
    virtual void unLock() = 0;
};

// Display names by maker (for the log) and of the GoodWill/Instek families.
QString NomConstructeur(Tconstructeur c);
QString NomModeleGDS(int modele);

// The windows the mode buttons open.
enum class TFenetre { aucune, oscillo, oscilloRigol, multimetre, bode };
// The oscilloscope window of a maker: the Rigol USB/VISA window for the makers reached
// through the Rigol driver (Siglent included), the serial window for the serial makers.
TFenetre FenetreOscillo(Tconstructeur c);
// The window and mode of the Multimètre button.
TFenetre FenetreMultimetre(Tconstructeur c, int modele);
Tmode ModeMultimetre(Tconstructeur c, int modele);
// The window in use for a mode.
TFenetre FenetreDuMode(Tmode m, Tconstructeur c, int modele);

// Speed choices of the serial dialog: 9600, 19200, 38400, 57600.
int IndexVitesse(int baud);      // 1 for 19200, 2 for 38400, 3 for 57600, 0 otherwise
int VitesseIndex(int index);     // the reverse, 9600 for anything else

// Decision on an identification text: maker, GoodWill family, the text kept and the
// dot-joining command dialect.
struct TDecision {
    Tconstructeur constructeur = oNone;
    int modeleGDS = 0;
    QString identite;
    Tconnect connect = cNone;
};
TDecision DecideIdentite(const QString &idn);

class TNoyauPrincipal {
public:
    TNoyauPrincipal();
    ~TNoyauPrincipal();

    void setVue(IVuePrincipale *v) { vue_ = v; }
    void setRechercheRigol(IRechercheRigol *r) { rigol_ = r; }
    // How a port is probed; PortPresent by default (tests replace it).
    void setSondePort(std::function<bool(int)> sonde) { sonde_ = std::move(sonde); }
    bool portPresent(int n) const { return sonde_(n); }
    int nombrePortsPresents() const;
    int premierPortPresent() const;   // 0 when none

    // Settings under "Software\Ondivar"
    void LitRegistre();
    void EcritRegistre();

    // Detection and modes
    void ResetOscillo();
    void RechercheSerie();
    void RechercheUSB();
    void RechercheVisa();
    void SetMode(Tmode acq);
    bool instrumentDetecte() const { return constructeur != oNone; }

    // Applies the serial dialog's choices (OK).
    void appliqueConfiguration(int port, int baud, bool dtr, bool trace);

    // The close sequence; answers the text of the trace message box, empty when none is due.
    QString Fermeture();

    // A run of the command-line tool: the saved settings, with the port, the speed and the
    // trace of this run when given (0 and false keep the saved ones), then a detection.
    void DetectionLigneDeCommande(int port, int baud, bool trace);
    // Its end: the trace and log written when recorded (answers the text naming the two
    // files, empty otherwise) and the port closed.
    QString FinLigneDeCommande();

    // Trace and log of the serial port
    void SetTrace(bool on);
    QString nomFichierTrace() const;
    QString nomFichierLog() const;

    TReglagesCom reglages;       // avecDTR, avecTrace, NumeroTrace, dernierConstructeur, port, speed
    bool PremiereFois = true;
    int NbreRS232 = 0;
    QString IdentiteScope;
    Tconnect connect = cConn;
    Tmode AcquisitionEnCours = mNone;

    TPortSerie VoieSerie;
    TEchange echange;

    static QString adresseSupport();
    static QString adresseMiseAJour();

private:
    void aide(const QString &t) { if (vue_) vue_->setAide(t); }
    void titre(const QString &t) { if (vue_) vue_->setTitre(t); }
    void fermePort();

    IVuePrincipale *vue_ = nullptr;
    IRechercheRigol *rigol_ = nullptr;
    std::function<bool(int)> sonde_;
};

// The one main window core of the run (the window's or ondivar-cli's); null before it exists.
TNoyauPrincipal *NoyauPrincipal();

// The "Test" button of the serial dialog: opens port n at the given speed, asks "*IDN?" and
// closes the port whatever happened. Answers the text to show: the identification, or
// "COMn déjà ouvert", the port's own message (missing device, permission), or
// "pas de réponse à *IDN?".
QString TestVoieSerie(TEchange &echange, int port, int baud);
