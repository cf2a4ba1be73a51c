#pragma once
// What the main window knows and does, without the window: the mode buttons, the detection
// runs and the close sequence, over the instrument session it owns. The window shows what
// it is told through IVuePrincipale.
#include "instrument/session.h"
#include "link/types.h"

#include <QString>

// What the main window shows: the help line, the caption and the three buttons that come and go.
class IVuePrincipale : public IVueDetection {
public:
    virtual void setComVisible(bool visible) = 0;
    virtual void setOscVisible(bool visible) = 0;
    virtual void setMultVisible(bool visible) = 0;
    // The buttons that start a detection ("Voie série", "Test"), off while one runs.
    virtual void setDetectionPossible(bool /*possible*/) {}
};

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

class TNoyauPrincipal {
public:
    TNoyauPrincipal();
    ~TNoyauPrincipal();

    void setVue(IVuePrincipale *v);

    // A detection, then the mode buttons and the serial button as it leaves them. Refused
    // (false, nothing changed) while another detection runs.
    bool ResetOscillo();
    // The mode the windows record, shown by the mode buttons (through the session's signal).
    void SetMode(Tmode acq) { session.SetMode(acq); }

    // The close sequence; answers the text of the trace message box, empty when none is due.
    QString Fermeture();

    static QString adresseSupport();
    static QString adresseMiseAJour();

    TSessionInstrument session;
    bool PremiereFois = true;
    int NbreRS232 = 0;

private:
    void montreModes(Tmode m);
    IVuePrincipale *vue_ = nullptr;
};
