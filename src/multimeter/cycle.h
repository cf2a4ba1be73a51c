#pragma once
// The multimeter's measurement cycle, without widgets: the window, ondivar-cli and the tests
// drive the same object. It reads the instrument's automatic measurements in the maker's
// dialect, shows them with their uncertainty through IVueMultimetre, widens the display
// ranges, records points in its graph, and runs the one-shot timer chain of the continuous
// update (the window only starts and stops its single-shot timer when told).
#include "link/types.h"
#include "measure/graphe.h"
#include "measure/unites.h"

#include <QByteArray>
#include <QString>
#include <functional>

class TEchange;
class TRigol;

// What the cycle asks of the instrument, in the words of the exchange and the Rigol driver.
// Readers answer NaN on failure; EnvoieCommandeRapide, GetString and QueryWave may throw
// EserieError.
class IInstrumentMesure {
public:
    virtual ~IInstrumentMesure() = default;
    // Empties the serial input buffer.
    virtual void videEntree() = 0;
    // A number from the serial link; a reply with its unit ("1.000kHz") reads as without it.
    virtual double GetFloat(const QByteArray &commande) = 0;
    virtual QByteArray GetString(const QByteArray &commande) = 0;
    virtual void EnvoieCommandeSimple(const QByteArray &commande) = 0;
    virtual void EnvoieCommandeRapide(const QByteArray &commande) = 0;
    // The Rigol driver.
    virtual double QueryFloat(const QByteArray &commande) = 0;
    virtual double QueryFloatSiglent(const QByteArray &commande) = 0;
    virtual void Ecrit(const QByteArray &commande) = 0;
    virtual void QueryWave(int voie) = 0;
    // Phase between the two waveforms last captured, NaN when it cannot be computed.
    virtual double phase() = 0;
    virtual void unLock() = 0;
    virtual void pause(int ms) = 0;
};

// The instrument reached through the program's exchange (serial makers) and Rigol driver
// (Rigol over USB or VISA, Siglent). Either may be missing: its readers then answer NaN.
class TInstrumentMesure : public IInstrumentMesure {
public:
    TInstrumentMesure(TEchange *echange, TRigol *rigol) : echange_(echange), rigol_(rigol) {}
    void videEntree() override;
    double GetFloat(const QByteArray &commande) override;
    QByteArray GetString(const QByteArray &commande) override;
    void EnvoieCommandeSimple(const QByteArray &commande) override;
    void EnvoieCommandeRapide(const QByteArray &commande) override;
    double QueryFloat(const QByteArray &commande) override;
    double QueryFloatSiglent(const QByteArray &commande) override;
    void Ecrit(const QByteArray &commande) override;
    void QueryWave(int voie) override;
    double phase() override;
    void unLock() override;
    void pause(int ms) override;

private:
    TEchange *echange_;
    TRigol *rigol_;
};

// The number of a measurement reply, with or without its unit: "1.000kHz", "1.000E+03Hz",
// "1000" and "1.000k" all give 1000; "20.0mV" gives 0.02. NaN when it is not a number or
// when its magnitude exceeds 1e37 (the instruments' "cannot measure" 9.9E+37).
double LitNombreMesure(const QByteArray &reponse);

// Enabled and visible states the window shows.
struct TEtatActions {
    bool enregistre = true;   // EnregistreAction
    bool undo = false;
    bool reset = false;
    bool korvalis = false;
    bool stop = false;        // StopAction
    bool startVisible = false;
    bool stopVisible = false;
    bool operator==(const TEtatActions &) const = default;
};

// What the cycle shows. Every call comes from the user-interface thread.
class IVueMultimetre {
public:
    virtual ~IVueMultimetre() = default;
    // Status-bar panel 0..4 (empty: cleared).
    virtual void panneau(int /*n*/, const QString & /*texte*/) {}
    // Label of channel i (0..5) and its hint.
    virtual void labelVoie(int /*i*/, const QString & /*texte*/) {}
    virtual void hintVoie(int /*i*/, const QString & /*texte*/) {}
    // Caption of channel i's group box.
    virtual void titreVoie(int /*i*/, const QString & /*texte*/) {}
    // The graph's error label ("Données instables (cf Avg)", "Données incorrectes").
    virtual void erreurLecture(bool /*visible*/, const QString & /*texte*/) {}
    // LabelErreur ("Données incorrectes (calibre ?)").
    virtual void erreurVisible(bool /*visible*/) {}
    virtual void actions(const TEtatActions & /*etat*/) {}
    // The single-shot timer: started for intervalleMs when actif, stopped otherwise.
    virtual void minuterie(bool /*actif*/, int /*intervalleMs*/) {}
    // The cycle changed the check of MesureCB.
    virtual void mesureCoche(bool /*coche*/) {}
    // F8: the automatic-acquisition group box appears.
    virtual void acqAutoVisible() {}
    // The graph needs a full repaint; at once, or at the next paint.
    virtual void repeint(bool /*immediat*/) {}
    // Runs drawing on the graph (cursor, current point) with its Canvas set to the window's
    // surface, then shows the result. Without a surface the drawing just runs (nothing drawn).
    virtual void dessine(const std::function<void()> &dessin) { dessin(); }
    // Keyboard focus back to EnregistreEdit.
    virtual void focusEnregistre() {}
    // A modal message box.
    virtual void message(const QString &texte) { Inform(texte); }
    // Lets the interface handle its pending events (clicks on Stop, on the check boxes...).
    virtual void pompe();
};

class TMultimetre {
public:
    static constexpr int IntervalleMs = 1000;

    explicit TMultimetre(IInstrumentMesure &instrument, IVueMultimetre *vue = nullptr);

    void setVue(IVueMultimetre *vue) { vue_ = vue; }

    // One measurement cycle.
    void LectureVoies();
    // The timer fired: it is off until the end of the cycle it starts.
    void TimerTimer();
    // The record action.
    void EnregistreExec();
    // A typed space: runs the record action when it is enabled; answers whether it was consumed.
    bool ToucheEspace();
    // F8 shows the automatic-acquisition box; answers whether the key was consumed.
    bool FormShortCut(int touche);
    void StartBtnClick();
    void StopBtnClick();
    // "&Stop": unblocks the instrument with "*RST".
    void StopActionExec();
    // The user changed MesureCB or AcqAutoCB (also the cancel of the file dialogs).
    void setMesureCB(bool coche);
    void setAcqAutoCB(bool coche);
    void MesureCBClick();
    void MajActions();
    // Probe check of inputs 1 and 2 at the window's first activation (Agilent, HP).
    void VerifieSondes();

    // The multimeter's default channels: rows 0..4 of the measurement table.
    void ChargeVoiesParDefaut();

    Tgraphe Graphe;
    bool MesureCB = false;
    bool AcqAutoCB = false;
    TMarqueTemps DebutAcquisition;
    bool PremiereFois = true;
    TEtatActions etatActions;
    bool timerActif = false;
    // The graph was marked for repainting by the range widening.
    bool aRepeindre = false;

private:
    IVueMultimetre &vue();
    void setTimer(bool actif);
    void cocheMesure(bool coche);
    void majEtatActions();
    double litVoie(const Tvoie &v);
    double phaseDesFormes();
    void elargit();
    void finDeCycle();

    IInstrumentMesure &instrument_;
    IVueMultimetre *vue_ = nullptr;
};
