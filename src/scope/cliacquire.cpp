#include "scope/cliacquire.h"
#include "instrument/commandecli.h"

#include "instrument/argumentscli.h"

#include "drivers/pilotes.h"
#include "drivers/rigol.h"
#include "export/formedde.h"
#include "instrument/recherchepilotes.h"
#include "link/dossiers.h"
#include "link/echange.h"
#include "measure/unites.h"
#include "scope/exportosc.h"
#include "scope/lecturerigol.h"
#include "instrument/session.h"

#include <QCoreApplication>
#include <unistd.h>

namespace {

// The read's messages on standard error; the gauges as a bar when it is a terminal.
class TVueAcquisitionConsole : public IAcquisitionVue {
public:
    TVueAcquisitionConsole(QTextStream &err, bool terminal) : err_(err), terminal_(terminal) {}
    ~TVueAcquisitionConsole() override { finLigne(); }
    void message(const QString &texte) override
    {
        finLigne();
        err_ << texte << Qt::endl;
    }
    void jaugeMaximum(int jauge, int maximum) override
    {
        maximum_[jauge == 2 ? 1 : 0] = std::max(maximum, 1);
    }
    void jaugePosition(int jauge, int position, bool) override
    {
        if (!terminal_)
            return;
        const int j = jauge == 2 ? 1 : 0;
        const int pourcent = std::clamp(int(qint64(position) * 100 / maximum_[j]), 0, 100);
        if (position <= 0 || (pourcent == dernier_ && j == jaugeCourante_))
            return;
        dernier_ = pourcent;
        jaugeCourante_ = j;
        const int plein = pourcent * 30 / 100;
        err_ << '\r' << (j == 0 ? "CH1 " : "CH2 ") << '[' << QString(plein, QLatin1Char('#'))
             << QString(30 - plein, QLatin1Char('.')) << "] " << qSetFieldWidth(3) << pourcent
             << qSetFieldWidth(0) << " %" << Qt::flush;
        ligneOuverte_ = true;
    }
    void pompe() override { QCoreApplication::processEvents(); }

private:
    void finLigne()
    {
        if (ligneOuverte_) {
            err_ << Qt::endl;
            ligneOuverte_ = false;
            dernier_ = -1;
        }
    }
    QTextStream &err_;
    bool terminal_;
    bool ligneOuverte_ = false;
    int maximum_[2] = {1, 1};
    int dernier_ = -1;
    int jaugeCourante_ = -1;
};

// The Rigol read's messages on standard error.
class TVueRigolConsole : public IVueLectureRigol {
public:
    explicit TVueRigolConsole(QTextStream &err) : err_(err) {}
    void message(const QString &texte) override { err_ << texte << Qt::endl; }
    void voiesActives(bool, bool) override {}

private:
    QTextStream &err_;
};

// The driver objects of the USB and VISA instruments, made for this run when the program
// has none yet (ondivar-cli makes them in main; a test may not).
class TPilotesAuBesoin {
public:
    TPilotesAuBesoin() : propres_(!Rigol)
    {
        if (propres_)
            CreePilotesRigol();
    }
    ~TPilotesAuBesoin()
    {
        if (propres_)
            LiberePilotesRigol();
    }
    TPilotesAuBesoin(const TPilotesAuBesoin &) = delete;
    TPilotesAuBesoin &operator=(const TPilotesAuBesoin &) = delete;

private:
    bool propres_;
};

void aide(QTextStream &err)
{
    err << QStringLiteral(
        "Utilisation : ondivar-cli acquire [options] (-o FICHIER | --korvalis load|add)\n"
        "\n"
        "Cherche l'oscilloscope (comme « detect »), lit un enregistrement par la procédure\n"
        "du constructeur, puis écrit la page dans un fichier ou l'envoie à Korvalis.\n"
        "\n"
        "Options :\n"
        "  --port N                numéro de la voie série (COMN) pour cette exécution\n"
        "  --baud B                vitesse de la voie série pour cette exécution\n"
        "  --trace                 enregistre la trace et le journal de la voie série\n"
        "  --points N              nombre de points, parmi ceux que la fenêtre propose pour\n"
        "                          le constructeur (par défaut, celui qu'elle choisit) ;\n"
        "                          Rigol USB, Rigol Visa et Siglent : 600 (par défaut),\n"
        "                          1024, 2048, 4096 ou 8192\n"
        "  --lecture directe|figer lire directement (par défaut) ou faire une acquisition,\n"
        "                          figer l'écran puis lire (Agilent et Hewlett-Packard)\n"
        "  --enregistrement totalite|periode|demi-periode\n"
        "                          partie de l'enregistrement gardée (par défaut totalite)\n"
        "  --nom1 NOM --signif1 TEXTE   nom et signification de CH1 (VA, Tension)\n"
        "  --nom2 NOM --signif2 TEXTE   nom et signification de CH2 (VB, Tension)\n"
        "  --commentaire TEXTE     commentaire général de la page\n"
        "  --parametre NOM:UNITE:VALEUR  paramètre de la page\n"
        "                          (figer, periode, demi-periode, --commentaire et\n"
        "                          --parametre : voie série seulement ; refusés pour\n"
        "                          Rigol USB, Rigol Visa et Siglent)\n"
        "  -o FICHIER              écrit la page ; l'extension choisit la forme : .kvx fichier\n"
        "                          Korvalis, .csv tableur CSV, toute autre tableur ASCII\n"
        "                          (sans extension : .KVX est ajoutée) ; Rigol USB, Rigol\n"
        "                          Visa et Siglent : le fichier Korvalis est réduit au nombre\n"
        "                          de points, les tableurs gardent tous les échantillons\n"
        "  --korvalis load|add     envoie la page à Korvalis (nouveau fichier, nouvelle page)\n"
        "  --help                  cette aide\n"
        "\n"
        "Code de sortie : 0 quand la page est écrite ou envoyée, 1 en cas d'échec,\n"
        "2 pour une option incorrecte, 3 quand la page est écrite ou envoyée mais qu'une\n"
        "voie affichée par l'oscilloscope n'a pas pu être lue (lecture incomplète).\n");
    err.flush();
}

QString sansAccents(QString s)
{
    s = s.toLower();
    s.replace(QChar(0xE9), QLatin1Char('e'));
    return s;
}

struct TOptionsAcquire {
    bool commentaireDonne = false;
    bool parametreDonne = false;
    int port = 0;
    int baud = 0;
    bool trace = false;
    int points = 0;
    int lecture = 0;
    TSaisieOsc saisie;
    QString fichier;
    bool korvalis = false;
    Tenvoi ordre = eLoad;
};

// 0 when the options are good, otherwise the exit code (help: -1).
int litOptions(const QStringList &args, TOptionsAcquire &o, QTextStream &err)
{
    bool aFichier = false;
    TArgumentsCli arg(args, QStringLiteral("acquire"), err);
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
        } else if (a == QLatin1String("--points")) {
            if (!valeur() || !LitEntierCli(v, o.points, 1, TailleVoie))
                return arg.erreur(QStringLiteral("--points attend un nombre de points"));
        } else if (a == QLatin1String("--lecture")) {
            if (!valeur())
                return manque();
            const QString m = sansAccents(v);
            if (m == QLatin1String("directe"))
                o.lecture = 0;
            else if (m == QLatin1String("figer"))
                o.lecture = 1;
            else
                return arg.erreur(QStringLiteral("--lecture attend directe ou figer, pas « ") + v + QStringLiteral(" »"));
        } else if (a == QLatin1String("--enregistrement")) {
            if (!valeur())
                return manque();
            const QString m = sansAccents(v);
            if (m == QLatin1String("totalite"))
                o.saisie.choix = xyTotalite;
            else if (m == QLatin1String("periode"))
                o.saisie.choix = xyPeriode;
            else if (m == QLatin1String("demi-periode"))
                o.saisie.choix = xyDemiPeriode;
            else
                return arg.erreur(QStringLiteral("--enregistrement attend totalite, periode ou demi-periode, pas « ")
                                            + v + QStringLiteral(" »"));
        } else if (a == QLatin1String("--nom1") || a == QLatin1String("--nom2") || a == QLatin1String("--signif1")
                   || a == QLatin1String("--signif2") || a == QLatin1String("--commentaire")) {
            if (!valeur())
                return manque();
            if (a == QLatin1String("--nom1")) o.saisie.nom1 = v;
            else if (a == QLatin1String("--nom2")) o.saisie.nom2 = v;
            else if (a == QLatin1String("--signif1")) o.saisie.signif1 = v;
            else if (a == QLatin1String("--signif2")) o.saisie.signif2 = v;
            else {
                o.saisie.commentaire = v;
                o.commentaireDonne = true;
            }
        } else if (a == QLatin1String("--parametre")) {
            if (!valeur())
                return manque();
            const qsizetype p1 = v.indexOf(QLatin1Char(':'));
            const qsizetype p2 = p1 < 0 ? -1 : v.indexOf(QLatin1Char(':'), p1 + 1);
            if (p2 < 0)
                return arg.erreur(QStringLiteral("--parametre attend NOM:UNITE:VALEUR, pas « ") + v + QStringLiteral(" »"));
            o.saisie.parametre = TParametre{v.left(p1), v.mid(p1 + 1, p2 - p1 - 1), v.mid(p2 + 1)};
            o.parametreDonne = true;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--sortie")) {
            if (!valeur() || v.isEmpty())
                return arg.erreur(QStringLiteral("L'option -o demande un nom de fichier."));
            o.fichier = v;
            aFichier = true;
        } else if (a == QLatin1String("--korvalis")) {
            int choix = 0;
            if (const int code = arg.choixKorvalis(choix, false); code != 0)
                return code;
            o.ordre = choix == 0 ? eLoad : eAdd;
            o.korvalis = true;
        } else {
            return arg.erreur(QStringLiteral("Option inconnue : ") + arg.texte());
        }
    }
    if (aFichier && o.korvalis)
        return arg.erreur(QStringLiteral("-o et --korvalis ne vont pas ensemble : choisir l'un des deux."));
    if (!aFichier && !o.korvalis)
        return arg.erreur(QStringLiteral("Où mettre la page ? -o FICHIER ou --korvalis load|add manque."));
    return 0;
}

template <size_t N>
QString listeNombres(const std::array<int, N> &n)
{
    QStringList l;
    for (int v : n)
        l << QString::number(v);
    return l.join(QStringLiteral(", "));
}

bool lectureParPiloteRigol(Tconstructeur c) { return c == oRigolUSB || c == oRigolVisa || c == oSiglent; }

// The serial-only options given for an instrument read through the Rigol driver: the
// refusal naming the first of them and why it means nothing there; empty when none is given.
QString optionSansObjet(const TOptionsAcquire &o)
{
    QString option, raison;
    if (o.lecture == 1) {
        option = QStringLiteral("--lecture figer");
        raison = QStringLiteral("cet oscilloscope est toujours lu directement");
    } else if (o.saisie.choix == xyPeriode || o.saisie.choix == xyDemiPeriode) {
        option = o.saisie.choix == xyPeriode ? QStringLiteral("--enregistrement periode")
                                             : QStringLiteral("--enregistrement demi-periode");
        raison = QStringLiteral("cet oscilloscope donne toujours la totalité de l'enregistrement");
    } else if (o.commentaireDonne) {
        option = QStringLiteral("--commentaire");
        raison = QStringLiteral("la page de cet oscilloscope n'a pas de commentaire général");
    } else if (o.parametreDonne) {
        option = QStringLiteral("--parametre");
        raison = QStringLiteral("la page de cet oscilloscope n'a pas de paramètre");
    } else {
        return {};
    }
    return QStringLiteral("L'option ") + option + QStringLiteral(" est refusée pour ") + NomConstructeur(constructeur)
           + QStringLiteral(" : ") + raison + QStringLiteral(".");
}

// The read of the Rigol window for a Rigol on USB or VISA or a Siglent on VISA, then the
// page written or sent as that window does.
int acquiertRigol(TSessionInstrument &noyau, const TOptionsAcquire &o, QTextStream &err)
{
    const QString refus = optionSansObjet(o);
    if (!refus.isEmpty()) {
        err << refus << Qt::endl;
        return 2;
    }
    if (o.points && std::find(NombresRigol.begin(), NombresRigol.end(), o.points) == NombresRigol.end()) {
        err << QStringLiteral("Nombre de points refusé : ") << o.points << QStringLiteral(". Pour ")
            << NomConstructeur(constructeur) << QStringLiteral(", choisir parmi : ") << listeNombres(NombresRigol)
            << QStringLiteral(".") << Qt::endl;
        return 2;
    }
    const int points = o.points ? o.points : NombresRigol[0];
    TRigol *rigol = noyau.rigol();
    if (!rigol) {
        err << QStringLiteral("Aucune liaison ouverte avec l'oscilloscope.") << Qt::endl;
        return 1;
    }
    TVueRigolConsole vue(err);
    noyau.SetMode(mOsc);
    const TResultatLectureRigol r = LitRigol(*rigol, &vue);
    noyau.SetMode(mNone);
    const int lus = r.nbreLusValides();
    if (lus <= 0) {
        vue.message(QStringLiteral("Aucun enregistrement lu : rien n'est écrit ni envoyé."));
        return 1;
    }
    if (!r.actif[1] && !r.actif[2]) {
        vue.message(QStringLiteral("Aucune voie affichée par l'oscilloscope : rien n'est écrit ni envoyé."));
        return 1;
    }
    TSaisieOsc s = o.saisie;
    CompleteNoms(s);
    const TEnregistrement e = EnregistrementRigol(*rigol, lus, s.nom1, s.signif1, s.nom2, s.signif2, r.voieEchouee);
    int code = 1;
    if (!o.korvalis) {
        const QString nom = SauveFichierRigol(o.fichier, e, points, noyau.IdentiteScope);
        if (!nom.isEmpty()) {
            vue.message(QStringLiteral("Page écrite dans « ") + nom + QStringLiteral(" » (") + QString::number(lus)
                        + QStringLiteral(" échantillons lus)."));
            code = 0;
        }
    } else {
        if (DossierAnalyse.isEmpty())
            ConstruitDossiers();
        const QString texte = TexteEnvoiRigol(e, points, o.ordre == eLoad, noyau.IdentiteScope);
        if (noyau.lienKorvalis().Execute(o.ordre, texte) == TResultatEnvoi::Envoye) {
            vue.message(QStringLiteral("Page envoyée à Korvalis."));
            code = 0;
        }
    }
    // A script must be able to tell a partial read from a whole one.
    if (code == 0 && !r.reussie()) {
        if (r.voieEchouee)
            vue.message(QStringLiteral("Lecture incomplète : CH%1 affichée par l'oscilloscope n'a pas pu être lue ; "
                                       "la page ne contient que les voies lues.")
                            .arg(r.voieEchouee));
        code = 3;
    }
    return code;
}

} // namespace

int cliAcquire(const QStringList &args, QTextStream &out, QTextStream &err)
{
    TOptionsAcquire o;
    const int rc = litOptions(args, o, err);
    if (rc != 0)
        return rc < 0 ? 0 : rc;

    TPilotesAuBesoin pilotes;
    TCommandeCli commande(out, err);
    TSessionInstrument &noyau = commande.session;
    auto fin = [&](int code) { return commande.fin(code); };
    if (!commande.detecte(o.port, o.baud, o.trace))
        return fin(1);
    if (lectureParPiloteRigol(constructeur))
        return fin(acquiertRigol(noyau, o, err));
    if (!estSerie(constructeur)) {
        err << QStringLiteral("« acquire » lit les oscilloscopes de la voie série ; ") << noyau.IdentiteScope
            << QStringLiteral(" (") << NomConstructeur(constructeur)
            << QStringLiteral(") n'est pas encore pris en charge par cette commande.") << Qt::endl;
        return fin(1);
    }
    const TChoixPoints choix = ChoixPoints(constructeur, modeleGDS);
    if (o.points && std::find(choix.nombres.begin(), choix.nombres.end(), o.points) == choix.nombres.end()) {
        err << QStringLiteral("Nombre de points refusé : ") << o.points << QStringLiteral(". Pour ")
            << NomConstructeur(constructeur) << QStringLiteral(", choisir parmi : ") << listeNombres(choix.nombres)
            << QStringLiteral(".") << Qt::endl;
        return fin(2);
    }

    int code = 1;
    {
        TVueAcquisitionConsole vueAcq(err, ::isatty(STDERR_FILENO) == 1);
        TAcquisitionOsc acq(noyau.echange, &vueAcq);
        acq.choisitNombres();
        if (o.points)
            acq.NbrePoints = o.points;
        acq.OptionLecture = o.lecture;
        acq.connect = noyau.connect;
        noyau.SetMode(mOsc);
        arretAcquisition = false;
        acq.Enregistre();
        if (constructeur == oRigol) {
            try {
                noyau.echange.EnvoieCommandeSimple(":KEY:LOCK DIS");
            } catch (const std::exception &) {
            }
        }
        noyau.SetMode(mNone);
        if (!acq.AcqFaite || acq.NbrePointsLu <= 0) {
            vueAcq.message(QStringLiteral("Aucun enregistrement lu : rien n'est écrit ni envoyé."));
            return fin(1);
        }
        TSaisieOsc s = o.saisie;
        CompleteNoms(s);
        if (!o.korvalis) {
            const QString nom = NomSauvegardeOsc(o.fichier, 0);
            if (SauveOsc(nom, acq, s, noyau.IdentiteScope)) {
                vueAcq.message(QStringLiteral("Page écrite dans « ") + nom + QStringLiteral(" » (")
                               + QString::number(acq.NbrePointsLu) + QStringLiteral(" échantillons lus)."));
                code = 0;
            }
        } else {
            if (DossierAnalyse.isEmpty())
                ConstruitDossiers();
            TFormDDE dde(false);
            const QString texte = TexteEnvoiOsc(acq, s, o.ordre == eLoad, noyau.IdentiteScope);
            if (dde.Execute(o.ordre, texte) == TResultatEnvoi::Envoye) {
                vueAcq.message(QStringLiteral("Page envoyée à Korvalis."));
                code = 0;
            }
        }
        // A script must be able to tell a partial read from a whole one.
        const QStringList nonLues = acq.voiesNonLues();
        if (code == 0 && !nonLues.isEmpty()) {
            vueAcq.message(QStringLiteral("Lecture incomplète : ") + nonLues.join(QStringLiteral(", "))
                           + (nonLues.size() > 1 ? QStringLiteral(" affichées par l'oscilloscope n'ont pas pu être lues")
                                                 : QStringLiteral(" affichée par l'oscilloscope n'a pas pu être lue"))
                           + QStringLiteral(" ; la page ne contient que les voies lues."));
            code = 3;
        }
    }
    return fin(code);
}
