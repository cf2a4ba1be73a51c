#include "shell/clibalayage.h"
#include "instrument/commandecli.h"

#include "instrument/argumentscli.h"

#include "bode/balayagebode.h"
#include "bode/graphebode.h"
#include "bode/reglagesbode.h"
#include "export/formedde.h"
#include "export/page.h"
#include "export/sauvegarde.h"
#include "generator/balayage.h"
#include "generator/generateur.h"
#include "instrument/recherchepilotes.h"
#include "instrument/session.h"
#include "link/dossiers.h"
#include "link/parsenumber.h"
#include "measure/unites.h"
#include "multimeter/balayagemult.h"
#include "multimeter/cycle.h"
#include "multimeter/transfertmult.h"
#include "multimeter/voiesmult.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <cmath>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interruption = 0;
extern "C" void surInterruption(int) { interruption = 1; }

void aide(QTextStream &err)
{
    err << QStringLiteral(
        "Utilisation : ondivar-cli balayage --generateur RESSOURCE --de F1 --a F2 [options]\n"
        "             (-o FICHIER | --korvalis load|add|plus)\n"
        "\n"
        "Cherche l'oscilloscope (comme « detect »), ouvre le générateur programmable et\n"
        "balaie sa fréquence de F1 à F2 : à chaque fréquence, la base de temps est réglée,\n"
        "le circuit se stabilise, puis un point est mesuré et enregistré comme le bouton\n"
        "« Enregistrer » du mode Bode ou du multimètre. Chaque point (f, G et phase séparés\n"
        "par des tabulations) est écrit sur la sortie standard dès qu'il est mesuré ; une\n"
        "barre de progression s'affiche sur la sortie d'erreur quand c'est un terminal.\n"
        "Ctrl+C arrête le balayage après l'échange en cours et garde les points mesurés.\n"
        "\n"
        "Options :\n"
        "  --generateur RESSOURCE  générateur : COMn[:bauds], TCPIP0::hôte::port::SOCKET\n"
        "                          ou USB0::…::INSTR\n"
        "  --dialecte D            auto (par défaut), scpi, rigol, siglent, keysight, feeltech\n"
        "  --de F1                 fréquence de début en hertz\n"
        "  --a F2                  fréquence de fin en hertz (comprise)\n"
        "  --par-decade N          points par décade, de 1 à 1000 (par défaut 10)\n"
        "  --attente MS            attente minimale après chaque changement de fréquence,\n"
        "                          en millisecondes (par défaut 200 ; au moins 3 périodes)\n"
        "  --mode bode|multimetre  mesure de chaque point (par défaut selon l'oscilloscope)\n"
        "  -o FICHIER              écrit les points : .csv tableur CSV, .kvx fichier\n"
        "                          Korvalis, toute autre extension (.txt) tableur ASCII\n"
        "                          séparé par des tabulations\n"
        "  --korvalis load|add|plus  envoie les points à Korvalis : nouveau fichier,\n"
        "                          nouvelle page ou ajout à la page courante\n"
        "  --port N                numéro de la voie série (COMN) de l'oscilloscope\n"
        "  --baud B                vitesse de la voie série pour cette exécution\n"
        "  --trace                 enregistre la trace et le journal de la voie série\n"
        "  --help                  cette aide\n"
        "\n"
        "Code de sortie : 0 quand tout le balayage est mesuré et écrit (ou envoyé), 1 en\n"
        "cas d'échec ou d'arrêt (les points mesurés sont écrits quand même), 2 pour une\n"
        "option incorrecte.\n");
    err.flush();
}

enum class TModeBalayage { Auto, Bode, Multimetre };

struct TOptionsBalayage {
    QString generateur;
    TDialecteGenerateur dialecte = TDialecteGenerateur::Auto;
    TParametresBalayage p;
    bool de = false, a = false;
    TModeBalayage mode = TModeBalayage::Auto;
    QString fichier;
    bool korvalis = false;
    int choix = 0;
    int port = 0;
    int baud = 0;
    bool trace = false;
};

// 0 when the options are good, otherwise the exit code (help: -1).
int litOptions(const QStringList &args, TOptionsBalayage &o, QTextStream &err)
{
    TArgumentsCli arg(args, QStringLiteral("balayage"), err);
    while (arg.suivant()) {
        const QString &a = arg.nom();
        QString v;
        auto valeur = [&]() { return arg.valeur(v); };
        auto frequence = [&](double &f) {
            if (!valeur())
                return false;
            f = ParseNumber(v.trimmed());
            return std::isfinite(f) && f > 0;
        };
        int code = 0;
        if (arg.commune(o.port, o.baud, o.trace, code)) {
            if (code != 0)
                return code;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            aide(err);
            return -1;
        } else if (a == QLatin1String("--generateur")) {
            if (!valeur() || v.trimmed().isEmpty())
                return arg.erreur(QStringLiteral("--generateur attend la ressource du générateur (COM3, TCPIP0::hôte::port::SOCKET…)"));
            o.generateur = v.trimmed();
        } else if (a == QLatin1String("--dialecte")) {
            if (!valeur() || !LitDialecte(v.trimmed().toLower(), o.dialecte))
                return arg.erreur(QStringLiteral("--dialecte attend auto, scpi, rigol, siglent, keysight ou feeltech"));
        } else if (a == QLatin1String("--de")) {
            if (!frequence(o.p.debut))
                return arg.erreur(QStringLiteral("--de attend une fréquence positive en hertz"));
            o.de = true;
        } else if (a == QLatin1String("--a")) {
            if (!frequence(o.p.fin))
                return arg.erreur(QStringLiteral("--a attend une fréquence positive en hertz"));
            o.a = true;
        } else if (a == QLatin1String("--par-decade")) {
            if (!valeur() || !LitEntierCli(v, o.p.parDecade, 1, 1000))
                return arg.erreur(QStringLiteral("--par-decade attend un nombre de points de 1 à 1000"));
        } else if (a == QLatin1String("--attente")) {
            if (!valeur() || !LitEntierCli(v, o.p.attenteMinMs, 0, 3600000))
                return arg.erreur(QStringLiteral("--attente attend une durée en millisecondes (0 à 3600000)"));
        } else if (a == QLatin1String("--mode")) {
            if (!valeur())
                return arg.erreur(QStringLiteral("L'option --mode demande une valeur."));
            const QString m = v.trimmed().toLower();
            if (m == QLatin1String("bode"))
                o.mode = TModeBalayage::Bode;
            else if (m == QLatin1String("multimetre") || m == QStringLiteral("multimètre"))
                o.mode = TModeBalayage::Multimetre;
            else
                return arg.erreur(QStringLiteral("--mode attend bode ou multimetre, pas « ") + v + QStringLiteral(" »"));
        } else if (a == QLatin1String("-o") || a == QLatin1String("--sortie")) {
            if (!valeur() || v.trimmed().isEmpty())
                return arg.erreur(QStringLiteral("-o attend un nom de fichier"));
            o.fichier = v;
        } else if (a == QLatin1String("--korvalis")) {
            if (const int code = arg.choixKorvalis(o.choix); code != 0)
                return code;
            o.korvalis = true;
        } else {
            return arg.erreur(QStringLiteral("Option inconnue : ") + arg.texte());
        }
    }
    if (o.generateur.isEmpty())
        return arg.erreur(QStringLiteral("--generateur est obligatoire"));
    if (!o.de || !o.a)
        return arg.erreur(QStringLiteral("--de et --a sont obligatoires"));
    if (o.fichier.isEmpty() && !o.korvalis)
        return arg.erreur(QStringLiteral("-o FICHIER ou --korvalis est obligatoire"));
    o.p.logarithmique = true;
    QString e;
    if (FrequencesBalayage(o.p, e).empty())
        return arg.erreur(e);
    return 0;
}

// Each point on standard output as it comes, the progress bar on a terminal, Ctrl+C as Stop.
class TVueConsole : public IVueBalayage {
public:
    TVueConsole(QTextStream &out, QTextStream &err) : out_(out), err_(err), terminal_(isatty(STDERR_FILENO) == 1) {}
    void progression(int k, int n, double f) override
    {
        if (!terminal_)
            return;
        constexpr int largeur = 30;
        const int plein = n > 0 ? (k - 1) * largeur / n : 0;
        err_ << '\r' << '[' << QString(plein, QLatin1Char('#')) << QString(largeur - plein, QLatin1Char('.')) << "] "
             << QStringLiteral("point %1/%2 à %3").arg(k).arg(n).arg(FormatPrefixed(f, QStringLiteral("Hz")))
             << QStringLiteral("    ");
        err_.flush();
        enLigne_ = true;
    }
    void point(int, double f, double gain, double phase) override
    {
        finLigne();
        out_ << FormatNumber(f) << '\t' << FormatNumber(gain) << '\t' << FormatNumber(phase) << '\n';
        out_.flush();
    }
    void etat(const QString &texte) override
    {
        finLigne();
        err_ << texte << Qt::endl;
    }
    void pompe() override
    {
        QCoreApplication::processEvents();
        if (interruption && balayage)
            balayage->arrete();
    }
    void finLigne()
    {
        if (enLigne_) {
            err_ << '\r' << QString(72, QLatin1Char(' ')) << '\r';
            err_.flush();
            enLigne_ = false;
        }
    }
    Balayage *balayage = nullptr;

private:
    QTextStream &out_;
    QTextStream &err_;
    bool terminal_;
    bool enLigne_ = false;
};

// The Bode measurement's messages on standard error.
class TVueBodeConsole : public IVueBode {
public:
    explicit TVueBodeConsole(TVueConsole &v) : v_(v) {}
    void pompe() override { v_.pompe(); }

private:
    TVueConsole &v_;
};

class TVueMultConsole : public IVueMultimetre {
public:
    TVueMultConsole(TVueConsole &v, QTextStream &err) : v_(v), err_(err) {}
    void message(const QString &t) override { err_ << t << Qt::endl; }
    void pompe() override { v_.pompe(); }

private:
    TVueConsole &v_;
    QTextStream &err_;
};

} // namespace

int cliBalayage(const QStringList &args, QTextStream &out, QTextStream &err)
{
    TOptionsBalayage o;
    const int rc = litOptions(args, o, err);
    if (rc != 0)
        return rc < 0 ? 0 : rc;

    TCommandeCli commande(out, err);
    TSessionInstrument &session = commande.session;
    auto fin = [&](int code) { return commande.fin(code); };
    if (!commande.detecte(o.port, o.baud, o.trace))
        return fin(1);
    const bool modeBode = ModeBode(constructeur, modeleGDS);
    if (o.mode == TModeBalayage::Auto)
        o.mode = modeBode ? TModeBalayage::Bode : TModeBalayage::Multimetre;
    if ((o.mode == TModeBalayage::Bode) != modeBode) {
        err << session.IdentiteScope << QStringLiteral(" (") << NomConstructeur(constructeur)
            << (modeBode ? QStringLiteral(") offre le mode Bode au lieu du multimètre.")
                         : QStringLiteral(") passe par le multimètre, pas par le mode Bode."))
            << Qt::endl;
        return fin(1);
    }

    TGenerateur generateur;
    TReglageGenerateur reglage;
    reglage.dialecte = o.dialecte;
    QString e;
    if (!generateur.ouvre(o.generateur, reglage, e)) {
        err << e << Qt::endl;
        return fin(1);
    }
    err << QStringLiteral("Générateur ") << NomDialecte(generateur.dialecte()) << QStringLiteral(" sur ")
        << generateur.ressource() << Qt::endl;

    TVueConsole vue(out, err);
    TGenerateurBalayage g(generateur);
    TOscilloBalayage oscillo(constructeur, &session.echange, session.rigol());

    // The graph of the mode, with the window's settings.
    Tgraphe grapheBode;
    TReglagesBode r;
    TVueBodeConsole vueBode(vue);
    TMesureBode mesureBode(session.echange, &vueBode);
    TVueMultConsole vueMult(vue, err);
    TInstrumentMesure instrument(&session.echange, session.rigol());
    TMultimetre multimetre(instrument, &vueMult);
    std::unique_ptr<IPointBalayage> point;
    if (o.mode == TModeBalayage::Bode) {
        InitGrapheBode(grapheBode);
        ChargeReglagesBode(FichierReglagesBode(), r);
        Tvoie &f = grapheBode.voie[VoieFrequence], &gn = grapheBode.voie[VoieGain], &ph = grapheBode.voie[VoiePhase];
        f.maxi = r.maxiF;
        f.mini = r.miniF;
        gn.maxi = r.maxiGain;
        gn.mini = r.miniGain;
        gn.AxedB = r.logY;
        angleEnDegre = r.degre;
        UnitePhase(grapheBode);
        ph.maxi = r.maxiPhase;
        ph.mini = r.miniPhase;
        point = std::make_unique<TPointBalayageBode>(mesureBode, grapheBode, r.ref, &vueBode);
        session.SetMode(mMultSefram);
    } else {
        InitVoies(multimetre.Graphe);
        multimetre.MesureCB = false;
        point = std::make_unique<TPointBalayageMult>(multimetre, &vueMult);
        session.SetMode(mMult);
        multimetre.VerifieSondes();
    }

    Balayage b(g, oscillo, *point, &vue);
    vue.balayage = &b;
    interruption = 0;
    auto ancien = std::signal(SIGINT, surInterruption);
    const TResultatBalayage res = b.execute(o.p);
    std::signal(SIGINT, ancien == SIG_ERR ? SIG_DFL : ancien);
    vue.finLigne();
    session.SetMode(mNone);
    int code = res.erreur.isEmpty() && !res.arrete ? 0 : 1;
    if (res.points < 1) {
        err << QStringLiteral("Aucun point enregistré : rien n'est écrit.") << Qt::endl;
        return fin(1);
    }

    TInfosPage infos;
    infos.choix = o.choix;
    infos.identification = session.IdentiteScope;
    TPage page;
    QString texteKorvalis;
    Tenvoi ordre = OrdrePourChoix(o.choix);
    if (o.mode == TModeBalayage::Bode) {
        grapheBode.tri();
        infos.parametre.nom = r.nomConstante;
        infos.parametre.unite = r.uniteConstante;
        page = PageTransfertBode(VoiesBode(grapheBode), grapheBode.NbrePoints, grapheBode.voie[VoieGain].AxedB, infos);
        if (o.korvalis)
            texteKorvalis = TexteKorvalisBode(grapheBode, infos, CheminProgramme());
    } else {
        multimetre.Graphe.tri();
        page = PageMultimetre(multimetre.Graphe, false, infos);
        if (o.korvalis) {
            const TTransfertMultimetre t = PrepareTransfertMultimetre(multimetre.Graphe, false, infos);
            texteKorvalis = t.texte;
            ordre = t.ordre;
        }
    }
    if (!o.fichier.isEmpty()) {
        const TForme forme = FormeParExtension(o.fichier, TCheminSauvegarde::Oscillo);
        const TResultatSauvegarde s = EcritFichierTexte(o.fichier, TexteFichier(page, forme, session.IdentiteScope));
        if (!s.ok) {
            err << s.message << Qt::endl;
            code = 1;
        } else {
            err << res.points << (res.points > 1 ? QStringLiteral(" points écrits dans ") : QStringLiteral(" point écrit dans "))
                << o.fichier << Qt::endl;
        }
    }
    if (o.korvalis) {
        if (DossierAnalyse.isEmpty())
            ConstruitDossiers();
        TFormDDE dde(false);
        if (dde.Execute(ordre, texteKorvalis) == TResultatEnvoi::Envoye)
            err << QStringLiteral("Points envoyés à Korvalis.") << Qt::endl;
        else
            code = 1;
    }
    return fin(code);
}
