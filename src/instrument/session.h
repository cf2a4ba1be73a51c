#pragma once
// The instrument session: what every mode window borrows to speak to the instrument.
// The serial port and its command exchange, the saved serial settings and the trace, the
// detection and what it found (maker, GDS family, identification, display-joining dialect),
// the Rigol driver, the link with Korvalis, the stop request, and the mode of the window in
// use. The main window owns one; the mode windows and ondivar-cli find it through
// SessionInstrument(). Nothing here knows a window.
#include "instrument/reglages.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class TFormDDE;
class TRigol;

// What the detection shows: the help line and the caption.
class IVueDetection {
public:
    virtual ~IVueDetection() = default;
    virtual void setAide(const QString &texte) = 0;
    virtual void setTitre(const QString &texte) = 0;
};

// A view that shows nothing and keeps the last caption (command-line tool, tests).
class TVueMuette : public IVueDetection {
public:
    void setAide(const QString &) override {}
    void setTitre(const QString &t) override { titre = t; }
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

// Decision on an identification text: maker, GoodWill family, the text kept and the
// dot-joining command dialect.
struct TDecision {
    Tconstructeur constructeur = oNone;
    int modeleGDS = 0;
    QString identite;
    Tconnect connect = cNone;
};
TDecision DecideIdentite(const QString &idn);

// The "Test" button of the serial dialog: opens port n at the given speed, asks "*IDN?" and
// closes the port whatever happened. Answers the text to show: the identification, or
// "COMn déjà ouvert", the port's own message (missing device, permission), or
// "pas de réponse à *IDN?".
QString TestVoieSerie(TEchange &echange, int port, int baud);

class TSessionInstrument : public QObject {
    Q_OBJECT
public:
    TSessionInstrument();
    ~TSessionInstrument() override;

    void setVue(IVueDetection *v) { vue_ = v; }
    void setRechercheRigol(IRechercheRigol *r) { rigol_ = r; }
    IRechercheRigol *rechercheRigol() const { return rigol_; }
    // How a port is probed; PortPresent by default (tests replace it).
    void setSondePort(std::function<bool(int)> sonde) { sonde_ = std::move(sonde); }
    bool portPresent(int n) const { return sonde_(n); }
    int nombrePortsPresents() const;
    int premierPortPresent() const;   // 0 when none

    // Settings under "Software\Ondivar"
    void LitRegistre();
    void EcritRegistre();

    // The detection: clears the last result, then the serial, USB and VISA searches in the
    // order the previous run's maker gives; the caption tells what was found. A detection
    // asked while one runs (its waits let the interface work) is refused: false, and the
    // running one goes on untouched.
    bool Detecte();
    bool detectionEnCours() const { return detectionEnCours_; }
    void RechercheSerie();
    void RechercheUSB();
    void RechercheVisa();
    bool instrumentDetecte() const { return constructeur != oNone; }

    // Applies the serial dialog's choices (OK).
    void appliqueConfiguration(int port, int baud, bool dtr, bool trace);

    // The end of the run, in two steps: the front panel given back, then the settings saved
    // (for a serial maker) and the port closed.
    void rendFacade();
    void termine();

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

    // The mode of the window in use: a window records it when it opens and mNone when it
    // closes; mNone is kept while no instrument is detected. modeChange tells the shell.
    void SetMode(Tmode acq);

    // The Rigol driver of the USB and VISA instruments (null when the program made none).
    TRigol *rigol() const;
    // The link with Korvalis: the program's, or one of the session's own made on first use.
    TFormDDE &lienKorvalis();
    // The stop request of the read in progress (the Stop buttons).
    static void demandeArret() { arretAcquisition = true; }

    TReglagesCom reglages;       // avecDTR, avecTrace, NumeroTrace, dernierConstructeur, port, speed
    QString IdentiteScope;
    Tconnect connect = cConn;
    Tmode AcquisitionEnCours = mNone;
    // The maker and the GoodWill/Instek family the detection found are the program-wide
    // `constructeur` and `modeleGDS` (link/types.h), which the read procedures read.

    TPortSerie VoieSerie;
    TEchange echange;

signals:
    void modeChange(Tmode mode);

private:
    void aide(const QString &t) { if (vue_) vue_->setAide(t); }
    void titre(const QString &t) { if (vue_) vue_->setTitre(t); }
    void fermePort();

    IVueDetection *vue_ = nullptr;
    IRechercheRigol *rigol_ = nullptr;
    std::function<bool(int)> sonde_;
    std::unique_ptr<TFormDDE> lienPropre_;
    bool detectionEnCours_ = false;
};

// The session of the run (the main window's or ondivar-cli's); null before it exists.
TSessionInstrument *SessionInstrument();
