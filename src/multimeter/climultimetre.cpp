#include "multimeter/climultimetre.h"
#include "instrument/commandecli.h"

#include "instrument/argumentscli.h"

#include "export/formedde.h"
#include "instrument/recherchepilotes.h"
#include "instrument/session.h"
#include "link/dossiers.h"
#include "link/echange.h"
#include "measure/unites.h"
#include "multimeter/configmult.h"
#include "multimeter/cycle.h"
#include "multimeter/transfertmult.h"
#include "multimeter/voiesmult.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace {

// What a cycle shows, for a console: the failures and the refusals of a point on standard
// error, once per cycle.
class TVueMultimetreConsole : public IVueMultimetre {
public:
    explicit TVueMultimetreConsole(QTextStream &err) : err_(err) {}
    void panneau(int n, const QString &texte) override
    {
        if (n >= 0 && n < 5)
            panneaux[size_t(n)] = texte;
    }
    void erreurLecture(bool visible, const QString &texte) override
    {
        if (visible && !texte.isEmpty())
            refus = texte;
    }
    void message(const QString &texte) override { err_ << texte << Qt::endl; }
    void pompe() override { QCoreApplication::processEvents(); }
    void nouveauCycle()
    {
        panneaux = {};
        refus.clear();
    }
    // The cycle's failure, empty when the readings were good.
    QString echec() const
    {
        QStringList l;
        for (const QString &p : panneaux)
            if (!p.isEmpty())
                l << p;
        return l.join(QStringLiteral(" ; "));
    }
    std::array<QString, 5> panneaux;
    QString refus;

private:
    QTextStream &err_;
};

void aide(QTextStream &err)
{
    err << QStringLiteral(
        "Utilisation : ondivar-cli multimetre [CONFIG.od] [options]\n"
        "\n"
        "Cherche l'oscilloscope (comme « detect »), lit ses mesures automatiques comme la\n"
        "fenêtre du multimètre, une lecture par seconde, écrit chaque lecture sur la sortie\n"
        "standard (valeur et incertitude de chaque voie, séparées par des tabulations) et\n"
        "signale les lectures manquées sur la sortie d'erreur. Sans CONFIG.od, les voies par\n"
        "défaut : f, Ve, Vs et la phase.\n"
        "\n"
        "Options :\n"
        "  --port N                numéro de la voie série (COMN) pour cette exécution\n"
        "  --baud B                vitesse de la voie série pour cette exécution\n"
        "  --trace                 enregistre la trace et le journal de la voie série\n"
        "  --points N              nombre de lectures, de 1 à 256 (par défaut 10)\n"
        "  --auto                  acquisition automatique : chaque lecture correcte est\n"
        "                          enregistrée avec son temps (colonne t en tête) ; sinon\n"
        "                          seules les lectures correctes et stables le sont\n"
        "  --korvalis load|add|plus  envoie le tableau à Korvalis (nouveau fichier, nouvelle\n"
        "                          page, ajout à la page courante)\n"
        "  --commentaire TEXTE     commentaire de la page envoyée\n"
        "  --parametre NOM:UNITE:VALEUR  paramètre de la page envoyée\n"
        "  --help                  cette aide\n"
        "\n"
        "Code de sortie : 0 quand au moins un point est enregistré (et envoyé si demandé),\n"
        "1 en cas d'échec, 2 pour une option incorrecte.\n");
    err.flush();
}

struct TOptionsMult {
    int port = 0;
    int baud = 0;
    bool trace = false;
    int points = 10;
    bool automatique = false;
    bool korvalis = false;
    int choix = 0;   // the page dialog's choice: 0 new file, 1 new page, 2 added to the page
    QString commentaire;
    TParametre parametre;
    QStringList config;
};

// 0 when the options are good, otherwise the exit code (help: -1).
int litOptions(const QStringList &args, TOptionsMult &o, QTextStream &err)
{
    bool parametreDonne = false;
    TArgumentsCli arg(args, QStringLiteral("multimetre"), err);
    while (arg.suivant()) {
        const QString &a = arg.nom();
        QString v;
        auto valeur = [&]() { return arg.valeur(v); };
        auto manque = [&]() { return arg.manque(); };
        int code = 0;
        if (arg.commune(o.port, o.baud, o.trace, code)) {
            if (code != 0)
                return code;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            aide(err);
            return -1;
        } else if (a == QLatin1String("--auto")) {
            o.automatique = true;
        } else if (a == QLatin1String("--points")) {
            if (!valeur() || !LitEntierCli(v, o.points, 1, NbrePointsMax))
                return arg.erreur(QStringLiteral("--points attend un nombre de lectures de 1 à 256"));
        } else if (a == QLatin1String("--korvalis")) {
            if (const int code = arg.choixKorvalis(o.choix); code != 0)
                return code;
            o.korvalis = true;
        } else if (a == QLatin1String("--commentaire")) {
            if (!valeur())
                return manque();
            o.commentaire = v;
        } else if (a == QLatin1String("--parametre")) {
            if (!valeur())
                return manque();
            const qsizetype p1 = v.indexOf(QLatin1Char(':'));
            const qsizetype p2 = p1 < 0 ? -1 : v.indexOf(QLatin1Char(':'), p1 + 1);
            if (p2 < 0)
                return arg.erreur(QStringLiteral("--parametre attend NOM:UNITE:VALEUR, pas « ") + v + QStringLiteral(" »"));
            o.parametre = TParametre{v.left(p1), v.mid(p1 + 1, p2 - p1 - 1), v.mid(p2 + 1)};
            parametreDonne = true;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return arg.erreur(QStringLiteral("Option inconnue : ") + arg.texte());
        } else {
            // The words of the configuration's name, joined by spaces as the window does.
            o.config << arg.texte();
        }
    }
    if (!o.korvalis && (parametreDonne || !o.commentaire.isEmpty()))
        err << QStringLiteral("--commentaire et --parametre ne servent qu'avec --korvalis.") << Qt::endl;
    return 0;
}

// A wait that keeps the events flowing.
void attend(int ms)
{
    QEventLoop boucle;
    QTimer::singleShot(ms, &boucle, &QEventLoop::quit);
    boucle.exec();
}

} // namespace

int cliMultimetre(const QStringList &args, QTextStream &out, QTextStream &err)
{
    TOptionsMult o;
    const int rc = litOptions(args, o, err);
    if (rc != 0)
        return rc < 0 ? 0 : rc;
    const QString config = o.config.join(QLatin1Char(' '));
    if (!config.isEmpty() && !QFileInfo(config).isFile()) {
        err << QStringLiteral("Configuration introuvable : ") << config << Qt::endl;
        return 1;
    }

    TCommandeCli commande(out, err);
    TSessionInstrument &session = commande.session;
    auto fin = [&](int code) { return commande.fin(code); };
    if (!commande.detecte(o.port, o.baud, o.trace))
        return fin(1);
    if (ModeBode(constructeur, modeleGDS)) {
        err << session.IdentiteScope << QStringLiteral(" (") << NomConstructeur(constructeur)
            << QStringLiteral(") offre le mode Bode au lieu du multimètre.") << Qt::endl;
        return fin(1);
    }

    TVueMultimetreConsole vue(err);
    TInstrumentMesure instrument(&session.echange, session.rigol());
    TMultimetre m(instrument, &vue);
    Tgraphe &g = m.Graphe;
    InitVoies(g);
    TConfigMultimetre lue;
    if (!config.isEmpty()) {
        // The channels of the file (its "MESURE" and "Constante" are the window's).
        if (!LitConfig(config, g.voie, lue)) {
            err << QStringLiteral("Configuration illisible : ") << config << Qt::endl;
            return fin(1);
        }
        g.DerniereVoie = 0;
        MajVoies(g);
    }
    if (g.DerniereVoie < 1) {
        err << QStringLiteral("Aucune voie active dans la configuration.") << Qt::endl;
        return fin(1);
    }
    QStringList noms;
    if (o.automatique)
        noms << QStringLiteral("t (s)");
    for (int i = 0; i <= g.DerniereVoie; ++i) {
        const Tvoie &v = g.voie[size_t(i)];
        noms << v.Nom + QStringLiteral(" (") + v.Unite + QLatin1Char(')');
    }
    err << QStringLiteral("Voies : ") << noms.join(QStringLiteral(", ")) << QStringLiteral(" ; valeur puis incertitude de chacune.")
        << Qt::endl;

    session.SetMode(mMult);
    m.VerifieSondes();
    if (o.automatique) {
        m.AcqAutoCB = true;
        m.MesureCB = true;
        m.MajActions();
        m.StartBtnClick();
    } else {
        m.MesureCB = false;
        m.MajActions();
    }
    for (int k = 0; k < o.points && g.NbrePoints < NbrePointsMax; ++k) {
        if (k > 0)
            attend(TMultimetre::IntervalleMs);
        vue.nouveauCycle();
        const int avant = g.NbrePoints;
        m.LectureVoies();
        const QString echec = vue.echec();
        if (!echec.isEmpty() || g.ErreurLectureGlb) {
            err << QStringLiteral("Lecture ") << k + 1 << QStringLiteral(" : ")
                << (echec.isEmpty() ? QStringLiteral("erreur sur une mesure => point non acquis") : echec) << Qt::endl;
            continue;
        }
        QStringList champs;
        if (o.automatique)
            champs << FormatNumber(g.voie[VoieTemps].valeurCourante);
        for (int i = 0; i <= g.DerniereVoie; ++i) {
            const Tvoie &v = g.voie[size_t(i)];
            champs << FormatNumber(v.valeurCourante) << FormatNumber(v.incertitudeCourante);
        }
        out << champs.join(QLatin1Char('\t')) << '\n';
        out.flush();
        if (g.NbrePoints == avant)
            err << QStringLiteral("Lecture ") << k + 1 << QStringLiteral(" : point non enregistré")
                << (vue.refus.isEmpty() ? QString() : QStringLiteral(" (") + vue.refus + QLatin1Char(')')) << Qt::endl;
    }
    session.SetMode(mNone);
    const int points = g.NbrePoints;
    err << points << (points > 1 ? QStringLiteral(" points enregistrés.") : QStringLiteral(" point enregistré.")) << Qt::endl;
    if (points < 1)
        return fin(1);
    if (!o.korvalis)
        return fin(0);

    TInfosPage infos;
    infos.choix = o.choix;
    infos.identification = session.IdentiteScope;
    infos.commentaire = o.commentaire;
    infos.parametre = o.parametre;
    const TTransfertMultimetre t = PrepareTransfertMultimetre(g, o.automatique, infos);
    if (DossierAnalyse.isEmpty())
        ConstruitDossiers();
    TFormDDE dde(false);
    if (dde.Execute(t.ordre, t.texte) != TResultatEnvoi::Envoye)
        return fin(1);
    err << QStringLiteral("Tableau envoyé à Korvalis.") << Qt::endl;
    return fin(0);
}
