#pragma once
// One gain and phase measurement through the serial line, without widgets: both channels
// displayed, each channel's block read by its byte-driven reader while the interface stays
// live, then the period, the frequency, the RMS values, the gain and the phase. The Bode
// window, ondivar-cli and the tests run this same procedure and see it through IVueBode.
#include "bode/gainphase.h"
#include "bode/lecteurbode.h"
#include "link/ticktimer.h"

#include <QString>

class TEchange;
class TPortSerie;

// Texts of the procedure.
extern const QString MessageDeuxVoies;   // "Deux voies actives nécessaires pour mesurer gain/phase"
// "Acquisition de CH" + n + " non effectuée par l'ordinateur"
QString MessageAcquisitionNonFaite(int n);

// What a measurement shows and asks for. Every call comes from the user-interface thread.
class IVueBode {
public:
    virtual ~IVueBode() = default;
    // The error strip: shown with a text, hidden.
    virtual void afficheErreur(const QString & /*texte*/) {}
    virtual void effaceErreur() {}
    // The refresh of the window's buttons.
    virtual void majBoutons() {}
    // The Stop button, enabled during a channel read.
    virtual void stopActif(bool /*actif*/) {}
    // A failed channel read: the continuous measurement stops (timer off, On/Off released),
    // then the text is shown in a modal information box.
    virtual void arreteContinu() {}
    virtual void message(const QString & /*texte*/) {}
    // The busy cursor during a measurement.
    virtual void curseurAttente(bool /*actif*/) {}
    // A measurement succeeded: the window shows the new current values.
    virtual void resultats() {}
    // Lets the interface handle its pending events (clicks on Stop, On/Off, Exit...).
    virtual void pompe();
};

class TMesureBode {
public:
    explicit TMesureBode(TEchange &echange, IVueBode *vue = nullptr);
    ~TMesureBode();
    TMesureBode(const TMesureBode &) = delete;
    TMesureBode &operator=(const TMesureBode &) = delete;

    void setVue(IVueBode *vue) { vue_ = vue; }

    // One whole measurement with the reference channel voieRef (1 or 2). True when new
    // current values were computed (frequency, gain and phase in `calcul`); otherwise the
    // error strip or the message box said why and the current values are unchanged.
    // A measurement asked while one runs (its waits let the interface work) is refused:
    // false, and the running one goes on untouched.
    bool Mesure(int voieRef);
    // Reads the block of channel n (1 or 2) into calcul.VoieOsc[n]; true when complete.
    bool acquiertVoie(int n);

    // A channel read is in progress (the Stop button is enabled).
    bool lectureEnCours() const { return lecture_; }
    // A measurement is in progress.
    bool mesureEnCours() const { return mesure_; }
    // The window closes or exits: the read in progress ends, with no result and no message.
    void forceArret() { arretForce = true; }

    // Milliseconds of the prescribed waits of the last measurement (220 ms before each
    // channel, 100 ms after each command sent without reply): the floor of the benchmarks.
    qint64 dureePauses() const { return dureePauses_; }

    TCalculBode calcul;
    TLecteurBode lecteur;
    int voieCourante = 1;
    bool AcqFaite = false;
    bool arretForce = false;

private:
    void pause(int ms);
    void installe();
    void retire();
    IVueBode &vue();

    TEchange &echange_;
    TPortSerie &port_;
    IVueBode *vue_ = nullptr;
    TickTimer minuterie_;
    bool lecture_ = false;
    bool mesure_ = false;
    qint64 dureePauses_ = 0;
};
