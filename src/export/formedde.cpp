#include "export/formedde.h"

#include "export/windows1252.h"
#include "link/dossiers.h"
#include "measure/unites.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

QString MacroEnvoi(Tenvoi ordre)
{
    switch (ordre) {
    case eAdd: return QStringLiteral("CLIP|ADD");
    case eLoad: return QStringLiteral("CLIP|LOAD");
    case ePlus: return QStringLiteral("CLIP|PLUS");
    case eAddCol: return QStringLiteral("CLIP|ADDCOL");
    }
    return QString();
}

// ---- Where Korvalis is --------------------------------------------------------------

QString FichierReglagesKorvalis()
{
    const QString f = qEnvironmentVariable("ONDIVAR_KORVALIS_INI");
    if (!f.isEmpty())
        return f;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Korvalis/Korvalis.ini");
}

QString TrouveCheminKorvalis(const QString &fichierReglages, const QString &dossierAnalyse)
{
    QStringList candidats;
    if (QFileInfo(fichierReglages).isFile()) {
        QSettings r(fichierReglages, QSettings::IniFormat);
        candidats << r.value(QStringLiteral("Korvalis/Path")).toString()
                  << r.value(QStringLiteral("Path")).toString();
    }
    if (!dossierAnalyse.isEmpty()) {
        const QString d = AvecSeparateur(dossierAnalyse);
        candidats << d + QStringLiteral("Korvalis") << d + QStringLiteral("Korvalis.exe");
    }
    for (const QString &c : std::as_const(candidats))
        if (!c.isEmpty() && QFileInfo(c).isFile())
            return c;
    return QStringLiteral("Korvalis");
}

QString NomServiceProgramme(const QString &cheminProgramme)
{
    QString nom = QFileInfo(cheminProgramme).fileName();
    const qsizetype point = nom.indexOf(QLatin1Char('.'));
    if (point >= 0)
        nom.truncate(point);
    return nom.isEmpty() ? QStringLiteral("Ondivar") : nom;
}

// ---- Launching ----------------------------------------------------------------------

bool TLanceurSysteme::ouvre(const QString &chemin)
{
    const QString dossier = QFileInfo(chemin).isFile() ? QFileInfo(chemin).absolutePath() : QString();
    return QProcess::startDetached(chemin, {}, dossier);
}

bool TLanceurSysteme::lance(const QString &chemin)
{
    return QProcess::startDetached(chemin, {});
}

// ---- Server side ----------------------------------------------------------------------

void TServeurDDE::ServeurDDEOpen()
{
    try {
        if (setFocusMain)
            setFocusMain();
    } catch (...) {
    }
}

void TServeurDDE::ServeurDDEExecuteMacro(const QStringList &Msg)
{
    try {
        if (Msg.size() != 1 || Msg.at(0).size() > LongueurMaxLigne)
            return;
        const QString mot = MotCommande(Msg.at(0));
        static const char *const focus[] = {"CONFIG|LOAD", "FOCUS", "GETDATA"};
        for (const char *m : focus)
            if (mot.compare(QLatin1String(m), Qt::CaseInsensitive) == 0) {
                if (setFocusMain)
                    setFocusMain();
                return;
            }
        // "CONFIG|SAVE" and any other word: nothing
    } catch (...) {
    }
}

bool TServeurDDE::initiation(const QString &service, const QString &topic)
{
    return service.compare(this->service(), Qt::CaseInsensitive) == 0
           && topic.compare(TopicServeur(), Qt::CaseInsensitive) == 0;
}

bool TServeurDDE::accepteCommande(const QByteArray &commande)
{
    for (const QString &l : LignesCommande(commande))
        if (l.size() > LongueurMaxLigne)
            return false;
    return true;
}

void TServeurDDE::execution(const QByteArray &commande)
{
    ServeurDDEExecuteMacro(LignesCommande(commande));
}

// ---- The DDE window ---------------------------------------------------------------

namespace {
TFormDDE *g_formDDE = nullptr;
}

TFormDDE *FormDDE() { return g_formDDE; }

TFormDDE::TFormDDE(bool avecServeur, QObject *parent)
    : QObject(parent), cheminKorvalis_(TrouveCheminKorvalis(FichierReglagesKorvalis(), DossierAnalyse))
{
    attente = [](int ms) { QThread::msleep(ulong(ms)); };
    serveur_.setFocusMain = [this] {
        if (setFocusMain)
            setFocusMain();
    };
    if (!g_formDDE)
        g_formDDE = this;
    if (avecServeur) {
        QString erreur;
        if (!serveur_.enregistre(NomServiceProgramme(CheminProgramme()), &erreur))
            qWarning("%s", qPrintable(erreur));
    }
}

TFormDDE::~TFormDDE()
{
    if (g_formDDE == this)
        g_formDDE = nullptr;
    ClientDDE.ferme();
}

bool TFormDDE::ouvreConversation()
{
    if (!ClientDDE.ouvre(ServiceKorvalis(), TopicServeur())) {
        if (!lanceur_->lance(cheminKorvalis_) || !ClientDDE.ouvre(ServiceKorvalis(), TopicServeur()))
            return false;
    }
    ClientDDE.avise(ItemServeur());   // Korvalis may refuse it
    return true;
}

TResultatEnvoi TFormDDE::Execute(Tenvoi Ordre, const QString &donnees)
{
    // 1-2. Presence probe; a shell launch and its wait when Korvalis is absent.
    if (!SemaphoreExiste(ServiceKorvalis()) && lanceur_->ouvre(cheminKorvalis_))
        attente(attenteMs);

    // 3. The clipboard keeps the text whatever follows. Korvalis reads the link's copy.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (QClipboard *presse = QGuiApplication::clipboard())
            presse->setText(donnees);
    if (!EcritPressePapiersLien(donnees)) {
        Inform(QStringLiteral("Transfert non exécuté"));
        return TResultatEnvoi::TransfertNonExecute;
    }

    // 4-6. The conversation, a second attempt after a wait.
    ClientDDE.ferme();
    if (!ouvreConversation()) {
        attente(attenteMs);
        ClientDDE.ferme();
        if (!ouvreConversation()) {
            ClientDDE.ferme();
            Inform(QStringLiteral("Impossible de lancer Korvalis"));
            return TResultatEnvoi::ImpossibleDeLancer;
        }
    }

    // 7-8. The macro, then the conversation closed in every case.
    const bool accepte = ClientDDE.execute(EnWindows1252(MacroEnvoi(Ordre)));
    ClientDDE.ferme();
    if (!accepte) {
        Inform(QStringLiteral("Transfert non exécuté"));
        return TResultatEnvoi::TransfertNonExecute;
    }
    return TResultatEnvoi::Envoye;
}
