// ondivar-cli: the acquisition without a display, for scripts and for checking a set-up.
#include "drivers/pilotes.h"
#include "export/clisend.h"
#include "instrument/argumentscli.h"
#include "instrument/commandecli.h"
#include "instrument/recherchepilotes.h"
#include "scope/cliacquire.h"
#include "bode/clibode.h"
#include "multimeter/climultimetre.h"
#include "shell/clibalayage.h"
#include "link/dossiers.h"
#include "measure/unites.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>

namespace {

QTextStream &sortie()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &erreurs()
{
    static QTextStream s(stderr);
    return s;
}

const char *const nomsConstructeurs[NbreConstructeurs] = {"oNone", "oAgilent", "oHewlett", "oSefram", "oGoodWill",
                                                         "oRigol", "oRigolUSB", "oRigolVisa", "oSiglent", "oFI"};
const char *const nomsConnect[3] = {"cNone", "cConn", "cVect"};

void aide()
{
    erreurs() << QStringLiteral(
        "Utilisation : ondivar-cli <commande> [options]\n"
        "\n"
        "Commandes :\n"
        "  detect     cherche l'oscilloscope (voie série, puis USB, puis VISA) et affiche\n"
        "             constructeur=, IdentiteScope=, modeleGDS= et connect= ;\n"
        "             code de sortie 0 quand un oscilloscope est trouvé, 1 sinon.\n"
        "  acquire    lit l'oscilloscope détecté et écrit la page dans un fichier (-o)\n"
        "             ou l'envoie à Korvalis (--korvalis load|add) ;\n"
        "             ondivar-cli acquire --help pour ses options.\n"
        "  bode       mesure le gain et la phase (oscilloscopes du mode Bode), écrit\n"
        "             chaque point et l'envoie à Korvalis (--korvalis load|add|plus) ;\n"
        "             ondivar-cli bode --help pour ses options\n"
        "             (--mesures N, --reference 1|2, --commentaire TEXTE).\n"
        "  multimetre [CONFIG.od] lit les mesures automatiques de l'oscilloscope une fois par\n"
        "             seconde comme la fenêtre du multimètre et peut envoyer le tableau à\n"
        "             Korvalis ; ondivar-cli multimetre --help pour ses options.\n"
        "  balayage --generateur RESSOURCE --de F1 --a F2 (-o FICHIER | --korvalis load|add|plus)\n"
        "             balaie la fréquence d'un générateur programmable, mesure un point\n"
        "             Bode ou multimètre à chaque fréquence et l'écrit dès qu'il vient ;\n"
        "             ondivar-cli balayage --help pour ses options.\n"
        "  send --ordre load|add|plus|addcol FICHIER\n"
        "             transmet un texte de transfert à Korvalis (FICHIER ou - pour\n"
        "             l'entrée standard) ; code de sortie 0 quand la macro est envoyée.\n"
        "\n"
        "Options :\n"
        "  --port N   numéro de la voie série (COMN) pour cette exécution\n"
        "  --baud B   vitesse de la voie série pour cette exécution\n"
        "  --trace    enregistre la trace et le journal de la voie série\n"
        "  --help     cette aide\n"
        "\n"
        "La voie COMn est reliée à un périphérique par la variable ONDIVAR_PORTS\n"
        "(par exemple ONDIVAR_PORTS=\"1=/dev/ttyUSB0\"), la section [Ports] des réglages,\n"
        "ou à défaut les adaptateurs USB puis les ports ttyS présents.\n");
    erreurs().flush();
}

struct TOptions {
    QString commande;
    int port = 0;
    int baud = 0;
    bool trace = false;
    QStringList reste;
};

int erreurOption(const QString &message)
{
    const int code = ErreurUsageCli(erreurs(), QString(), message);
    erreurs().flush();
    return code;
}

int detect(const TOptions &o)
{
    TCommandeCli commande(sortie(), erreurs());
    if (!commande.detecte(o.port, o.baud, o.trace))
        return commande.fin(1);
    const TSessionInstrument &session = commande.session;
    sortie() << "constructeur=" << nomsConstructeurs[int(constructeur)] << '\n'
             << "IdentiteScope=" << session.IdentiteScope << '\n'
             << "modeleGDS=" << modeleGDS << '\n'
             << "connect=" << nomsConnect[int(session.connect)] << '\n';
    return commande.fin(0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ondivar"));
    ConstruitDossiers();
    const QStringList args = app.arguments().mid(1);
    TPilotesRigol pilotes;
    if (!args.isEmpty() && args.first() == QLatin1String("bode")) {
        const int rc = cliBode(args.mid(1), sortie(), erreurs());
        sortie().flush();
        erreurs().flush();
        return rc;
    }
    if (!args.isEmpty() && args.first() == QLatin1String("balayage")) {
        const int rc = cliBalayage(args.mid(1), sortie(), erreurs());
        sortie().flush();
        erreurs().flush();
        return rc;
    }
    if (!args.isEmpty() && args.first() == QLatin1String("multimetre")) {
        const int rc = cliMultimetre(args.mid(1), sortie(), erreurs());
        sortie().flush();
        erreurs().flush();
        return rc;
    }
    if (!args.isEmpty() && (args.first() == QLatin1String("send") || args.first() == QLatin1String("acquire"))) {
        const int rc = args.first() == QLatin1String("send") ? cliSend(args.mid(1), sortie(), erreurs())
                                                              : cliAcquire(args.mid(1), sortie(), erreurs());
        sortie().flush();
        erreurs().flush();
        return rc;
    }
    TOptions o;
    TArgumentsCli arg(args, QString(), erreurs());
    while (arg.suivant()) {
        const QString &a = arg.nom();
        int code = 0;
        if (arg.commune(o.port, o.baud, o.trace, code)) {
            if (code != 0) {
                erreurs().flush();
                return code;
            }
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            aide();
            return 0;
        } else if (o.commande.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            o.commande = arg.texte();
        } else {
            o.reste << arg.texte();
        }
    }
    if (o.commande.isEmpty()) {
        aide();
        return 2;
    }
    if (o.commande == QLatin1String("detect")) {
        if (!o.reste.isEmpty())
            return erreurOption(QStringLiteral("Option inconnue : ") + o.reste.first());
        return detect(o);
    }
    return erreurOption(QStringLiteral("Commande inconnue : ") + o.commande);
}
