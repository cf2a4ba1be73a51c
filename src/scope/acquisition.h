#pragma once
// The serial oscilloscope's read procedures, without widgets: the oscilloscope window and
// ondivar-cli run the same code and show what it says through IAcquisitionVue.
#include "link/types.h"
#include "scope/lecteurbloc.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

class TEchange;
class TPortSerie;

// What a read shows and asks for. Every call comes from the user-interface thread.
class IAcquisitionVue {
public:
    virtual ~IAcquisitionVue() = default;
    // A modal message box.
    virtual void message(const QString &texte) = 0;
    // Buttons in the "reading" state: read, send and save disabled, Stop disabled.
    virtual void boutonsLecture() {}
    // Buttons in the "idle" state: read enabled, send and save enabled when acqFaite, Stop disabled.
    virtual void boutonsRepos(bool /*acqFaite*/) {}
    virtual void stopActif(bool /*actif*/) {}
    // Status line at the bottom of the window (empty: cleared).
    virtual void statut(const QString & /*texte*/) {}
    // Gauge 1 is CH1's (also the time channel's), 2 is CH2's.
    virtual void jaugeMaximum(int /*jauge*/, int /*maximum*/) {}
    // redessine: repaint at once (the Sefram/GoodWill and Rigol reads ask for it).
    virtual void jaugePosition(int /*jauge*/, int /*position*/, bool /*redessine*/) {}
    // The read mode went back to item 0 ("Lire directement").
    virtual void optionLecture(int /*item*/) {}
    // Lets the user interface handle its pending events (clicks on Stop...).
    virtual void pompe();
};

// Point counts offered by the window for a maker, and the item selected at activation.
struct TChoixPoints {
    std::array<int, 4> nombres;
    int item;
};
TChoixPoints ChoixPoints(Tconstructeur c, int modele);

class TAcquisitionOsc : public TLecteurBloc {
public:
    explicit TAcquisitionOsc(TEchange &echange, IAcquisitionVue *vue = nullptr);
    ~TAcquisitionOsc() override;

    void setVue(IAcquisitionVue *vue) { vue_ = vue; }
    TEchange &echange() { return echange_; }

    // Fills Nombre for the detected maker, selects its default item and sets NbrePoints.
    void choisitNombres();

    // The read button: the procedure of the detected maker (constructeur, modeleGDS).
    void Enregistre();
    // The procedures, one per dialect.
    void enregistreHP();       // Agilent, Hewlett-Packard
    void enregistreSefram();   // Sefram, GoodWill/Instek
    void enregistreFI();       // Francaise d'Instrumentation
    void enregistreRigol();    // Rigol on the serial line

    // Window state the procedures read and write.
    std::array<int, 4> Nombre{250, 500, 1000, 2000};
    int OptionLecture = 0;     // 1: digitize, freeze the display, then read ("figer")
    Tconnect connect = cNone;  // the main window's display-joining dialect
    bool AcqAsauver = false;   // a record not yet saved or sent
    bool modePeak = false;     // the last HP/Agilent record is a peak-detect record

    // Milliseconds of the pauses this object made in the last read (its own pauses and the
    // wait of each command sent without reply): the floor of the benchmarks.
    qint64 dureePauses() const { return dureePauses_; }

    // The channels the instrument displayed in the last read that hold no record of it
    // ("CH1", "CH2"): cut short, timed out, never reached after an error, or all zeros.
    QStringList voiesNonLues() const;

protected:
    void enTeteLu() override;
    void nombreDePoints(qint64 annonce) override;
    void traceLecteur(const QString &ligne) override;

private:
    bool litVoieHP(int n, bool xy);
    void litVoie(int n, bool gds2000);
    void litVoieFI(int n);
    void litVoieRigol(int n, bool xy);
    void debutProcedure();
    void finProcedure();
    void bilan();
    void noteAffichees();
    void erreur(const std::exception &e);

    // Exchange helpers (each one notes what it costs in prescribed waits).
    void rapide(const QByteArray &c);
    void simple(const QByteArray &c);
    void requeteDonnees(const QByteArray &c);

    void installe(TLecteur l, int n);
    void retire();
    bool attenteBloc(qint64 debutMs, bool redessine);
    void pause(int ms);
    void trace(const QString &ligne);
    bool avecTraceActive() const;

    IAcquisitionVue &vue();
    void jaugeMax(int voie, int max);
    void jaugePos(int voie, int pos, bool redessine);

    TEchange &echange_;
    TPortSerie &port_;
    IAcquisitionVue *vue_ = nullptr;
    QString messageEnAttente_;
    qint64 dureePauses_ = 0;
    std::array<bool, 3> lue_{};   // channels read completely in this run
    std::array<bool, 3> affichee_{};   // channels the instrument displayed in this run
};
