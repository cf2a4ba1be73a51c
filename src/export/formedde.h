#pragma once
// The link with Korvalis: Execute hands a transfer text over (clipboard + macro), and the
// program's own service lets Korvalis bring the current window to the front.
#include "export/commandelien.h"
#include "export/lien.h"
#include "export/pages.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

// The macro of an order: "CLIP|ADD", "CLIP|LOAD", "CLIP|PLUS", "CLIP|ADDCOL".
QString MacroEnvoi(Tenvoi ordre);

// ---- Where Korvalis is --------------------------------------------------------------

// Korvalis's own settings file: $ONDIVAR_KORVALIS_INI, else ~/.config/Korvalis/Korvalis.ini.
// Its value "Path" of the group "Korvalis", then its top-level "Path", name the program.
QString FichierReglagesKorvalis();
// The first existing file of: the two "Path" values (empty counts as absent),
// dossierAnalyse + "Korvalis" (or "Korvalis.exe"), otherwise the bare name "Korvalis".
QString TrouveCheminKorvalis(const QString &fichierReglages, const QString &dossierAnalyse);

// This program's service: the program file's name up to its first "." ("Ondivar" when none).
QString NomServiceProgramme(const QString &cheminProgramme);

// ---- Launching ----------------------------------------------------------------------

class ILanceur {
public:
    virtual ~ILanceur() = default;
    // The desktop's "open" of the program; true when it was started.
    virtual bool ouvre(const QString &chemin) = 0;
    // The plain launch (minimised, not activated where the desktop offers it).
    virtual bool lance(const QString &chemin) = 0;
};

// Both start the program detached from this one.
class TLanceurSysteme : public ILanceur {
public:
    bool ouvre(const QString &chemin) override;
    bool lance(const QString &chemin) override;
};

// ---- Server side ----------------------------------------------------------------------

constexpr int LongueurMaxLigne = 255;

class TServeurDDE : public TServeurLien {
    Q_OBJECT
public:
    using TServeurLien::TServeurLien;
    std::function<void()> setFocusMain;
    // A client opened a conversation on "ServeurDDE".
    void ServeurDDEOpen();
    // One command: "CONFIG|LOAD", "FOCUS", "GETDATA" (any case) call setFocusMain;
    // several lines, none, or any other word do nothing. Never throws.
    void ServeurDDEExecuteMacro(const QStringList &Msg);

protected:
    bool initiation(const QString &service, const QString &topic) override;
    void ouverture() override { ServeurDDEOpen(); }
    bool accepteCommande(const QByteArray &commande) override;
    void execution(const QByteArray &commande) override;
};

// ---- The DDE window ---------------------------------------------------------------

enum class TResultatEnvoi { Envoye, ImpossibleDeLancer, TransfertNonExecute };

class TFormDDE : public QObject {
    Q_OBJECT
public:
    // Created once at start-up, after the application object and ConstruitDossiers():
    // fixes Korvalis's path (DossierAnalyse is one candidate) and, with avecServeur,
    // registers this program's service.
    explicit TFormDDE(bool avecServeur = true, QObject *parent = nullptr);
    ~TFormDDE() override;

    // Puts donnees on the clipboard, starts Korvalis when needed and sends the macro of
    // the order; every failure is reported with Inform. The result tells what happened.
    TResultatEnvoi Execute(Tenvoi Ordre, const QString &donnees);

    // Set by the main window: brings the current window to the front.
    std::function<void()> setFocusMain;

    QString CheminKorvalis() const { return cheminKorvalis_; }
    TServeurDDE *ServeurDDE() { return &serveur_; }

    // For tests: the launcher (not owned; null restores the system's), the blocking wait.
    void setLanceur(ILanceur *l) { lanceur_ = l ? l : &lanceurSysteme_; }
    std::function<void(int ms)> attente;
    int attenteMs = 2000;

private:
    bool ouvreConversation();
    TConversationDDE ClientDDE;
    TServeurDDE serveur_;
    TLanceurSysteme lanceurSysteme_;
    ILanceur *lanceur_ = &lanceurSysteme_;
    QString cheminKorvalis_;
};

// The program's link (the first one created); null before start-up made it.
TFormDDE *FormDDE();

// Names on the wire.
inline QString ServiceKorvalis() { return QStringLiteral("Korvalis"); }
inline QString TopicServeur() { return QStringLiteral("ServeurDDE"); }
inline QString ItemServeur() { return QStringLiteral("ServeurItem"); }
