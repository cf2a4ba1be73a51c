#include "bode/clibode.h"
#include "instrument/commandecli.h"

#include "instrument/argumentscli.h"

#include "bode/graphebode.h"
#include "bode/mesurebode.h"
#include "bode/reglagesbode.h"
#include "export/formedde.h"
#include "export/page.h"
#include "instrument/session.h"
#include "link/dossiers.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/ticktimer.h"
#include "measure/unites.h"

#include <QCoreApplication>
#include <QThread>

namespace {

// The measurement's messages on standard error.
class TVueBodeConsole : public IVueBode {
public:
    explicit TVueBodeConsole(QTextStream &err) : err_(err) {}
    void afficheErreur(const QString &t) override { err_ << t << Qt::endl; }
    void message(const QString &t) override { err_ << t << Qt::endl; }
    void pompe() override { QCoreApplication::processEvents(); }

private:
    QTextStream &err_;
};

void aide(QTextStream &err)
{
    err << QStringLiteral(
        "Utilisation : ondivar-cli bode [options]\n"
        "\n"
        "Cherche l'oscilloscope (comme « detect »), mesure le gain et la phase de CH2 par\n"
        "rapport à CH1 (ou l'inverse) à la fréquence du générateur, N fois à une seconde\n"
        "d'intervalle, écrit chaque point enregistré (f, G et phase séparés par des\n"
        "tabulations) sur la sortie standard, puis envoie les points à Korvalis comme\n"
        "le bouton « Korvalis » de la fenêtre Bode.\n"
        "\n"
        "Options :\n"
        "  --port N                numéro de la voie série (COMN) pour cette exécution\n"
        "  --baud B                vitesse de la voie série pour cette exécution\n"
        "  --trace                 enregistre la trace et le journal de la voie série\n"
        "  --mesures N             nombre de mesures (par défaut 1)\n"
        "  --reference 1|2         voie de référence (par défaut celle des réglages Bode)\n"
        "  --korvalis load|add|plus  envoie les points à Korvalis : nouveau fichier,\n"
        "                          nouvelle page ou ajout à la page courante\n"
        "  --commentaire TEXTE     commentaire de la page envoyée\n"
        "  --help                  cette aide\n"
        "\n"
        "Code de sortie : 0 quand au moins un point est enregistré (et envoyé si\n"
        "--korvalis est donné), 1 en cas d'échec, 2 pour une option incorrecte.\n");
    err.flush();
}

struct TOptionsBode {
    int port = 0;
    int baud = 0;
    bool trace = false;
    int mesures = 1;
    int reference = 0;   // 0: the settings' choice
    bool korvalis = false;
    int choix = 0;       // 0 "Nouveau fichier", 1 "Nouvelle page", 2 "Ajout page courante"
    QString commentaire;
};

// 0 when the options are good, otherwise the exit code (help: -1).
int litOptions(const QStringList &args, TOptionsBode &o, QTextStream &err)
{
    TArgumentsCli arg(args, QStringLiteral("bode"), err);
    while (arg.suivant()) {
        const QString &a = arg.nom();
        QString v;
        auto valeur = [&]() { return arg.valeur(v); };
        int code = 0;
        if (arg.commune(o.port, o.baud, o.trace, code)) {
            if (code != 0)
                return code;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            aide(err);
            return -1;
        } else if (a == QLatin1String("--mesures")) {
            if (!valeur() || !LitEntierCli(v, o.mesures, 1, NbrePointsBode))
                return arg.erreur(QStringLiteral("--mesures attend un nombre de mesures de 1 à 256"));
        } else if (a == QLatin1String("--reference")) {
            if (!valeur() || !LitEntierCli(v, o.reference, 1, 2))
                return arg.erreur(QStringLiteral("--reference attend 1 (CH1) ou 2 (CH2)"));
        } else if (a == QLatin1String("--korvalis")) {
            if (const int code = arg.choixKorvalis(o.choix); code != 0)
                return code;
            o.korvalis = true;
        } else if (a == QLatin1String("--commentaire")) {
            if (!valeur())
                return arg.erreur(QStringLiteral("L'option --commentaire demande une valeur."));
            o.commentaire = v;
        } else {
            return arg.erreur(QStringLiteral("Option inconnue : ") + arg.texte());
        }
    }
    return 0;
}

// One second between the end of a measurement and the start of the next, the events handled.
void attente(TPortSerie &port, int ms)
{
    const qint64 fin = TickClock::msecs() + ms;
    while (TickClock::msecs() < fin) {
        QCoreApplication::processEvents();
        if (port.Open())
            port.waitForData(int(std::min<qint64>(10, std::max<qint64>(1, fin - TickClock::msecs()))));
        else
            QThread::msleep(5);
    }
}

} // namespace

int cliBode(const QStringList &args, QTextStream &out, QTextStream &err)
{
    TOptionsBode o;
    const int rc = litOptions(args, o, err);
    if (rc != 0)
        return rc < 0 ? 0 : rc;

    TCommandeCli commande(out, err);
    TSessionInstrument &noyau = commande.session;
    auto fin = [&](int code) { return commande.fin(code); };
    if (!commande.detecte(o.port, o.baud, o.trace))
        return fin(1);
    const bool bode = ModeBode(constructeur, modeleGDS);
    if (!bode) {
        err << QStringLiteral("« bode » mesure avec les oscilloscopes Sefram, Francaise d'Instrumentation et "
                              "GoodWill/Instek GDS800/GDS1000 ; ")
            << noyau.IdentiteScope << QStringLiteral(" (") << NomConstructeur(constructeur)
            << QStringLiteral(") passe par le multimètre.") << Qt::endl;
        return fin(1);
    }

    // The display settings of the Bode window: ranges, decibel axis, angle unit, reference.
    Tgraphe graphe;
    InitGrapheBode(graphe);
    TReglagesBode r;
    ChargeReglagesBode(FichierReglagesBode(), r);
    Tvoie &f = graphe.voie[VoieFrequence], &g = graphe.voie[VoieGain], &p = graphe.voie[VoiePhase];
    f.maxi = r.maxiF;
    f.mini = r.miniF;
    g.maxi = r.maxiGain;
    g.mini = r.miniGain;
    g.AxedB = r.logY;
    angleEnDegre = r.degre;
    UnitePhase(graphe);
    p.maxi = r.maxiPhase;
    p.mini = r.miniPhase;
    const int reference = o.reference ? o.reference : r.ref;

    TVueBodeConsole vueBode(err);
    TMesureBode mesure(noyau.echange, &vueBode);
    noyau.SetMode(mMultSefram);
    for (int k = 0; k < o.mesures; ++k) {
        if (k > 0)
            attente(noyau.VoieSerie, 1000);
        GrapheVersCalcul(graphe, mesure.calcul);
        if (!mesure.Mesure(reference))
            continue;
        ResultatsVersGraphe(mesure.calcul, graphe);
        EnregistrePointBode(graphe);
        out << FormatNumber(f.valeurCourante) << '\t' << FormatNumber(g.valeurCourante) << '\t'
            << FormatNumber(p.valeurCourante) << Qt::endl;
        if (!noyau.VoieSerie.Open())
            break;
    }
    noyau.SetMode(mNone);
    if (graphe.NbrePoints == 0) {
        err << QStringLiteral("Aucun point enregistré : rien n'est envoyé.") << Qt::endl;
        return fin(1);
    }
    err << QString::number(graphe.NbrePoints)
        << (graphe.NbrePoints > 1 ? QStringLiteral(" points enregistrés.") : QStringLiteral(" point enregistré."))
        << Qt::endl;
    int code = 0;
    if (o.korvalis) {
        graphe.tri();
        TInfosPage infos;
        infos.choix = o.choix;
        infos.identification = noyau.IdentiteScope;
        infos.commentaire = o.commentaire;
        infos.parametre.nom = r.nomConstante;
        infos.parametre.unite = r.uniteConstante;
        if (DossierAnalyse.isEmpty())
            ConstruitDossiers();
        TFormDDE dde(false);
        const QString texte = TexteKorvalisBode(graphe, infos, CheminProgramme());
        if (dde.Execute(OrdrePourChoix(o.choix), texte) == TResultatEnvoi::Envoye)
            err << QStringLiteral("Points envoyés à Korvalis.") << Qt::endl;
        else
            code = 1;
    }
    return fin(code);
}
