// korvalis-stub: a stand-in for Korvalis on the local link.
// It registers the service "Korvalis" and the presence semaphore, accepts the conversation
// "ServeurDDE" and the advise link "ServeurItem", and records every macro with the text
// of the link clipboard into the folder given by --dossier.
#include "export/formedde.h"
#include "export/lien.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <semaphore.h>
#include <unistd.h>

namespace {

// What the signal handler removes: only once this instance registered both.
char cheminSocket[256];
char nomSemaphore[128];
volatile sig_atomic_t enregistre = 0;

void nettoie()
{
    if (enregistre) {
        unlink(cheminSocket);
        sem_unlink(nomSemaphore);
        enregistre = 0;
    }
}

extern "C" void surSignal(int)
{
    nettoie();
    _exit(0);
}

class TKorvalisStub : public TServeurLien {
public:
    QString dossier;
    bool refuseConversation = false;
    bool refuseCommande = false;
    bool refuseAvis = false;

    void journal(const QString &ligne)
    {
        QFile f(dossier + QStringLiteral("/journal.txt"));
        if (f.open(QIODevice::WriteOnly | QIODevice::Append))
            f.write(ligne.toUtf8() + '\n');
    }

protected:
    bool initiation(const QString &service, const QString &topic) override
    {
        if (refuseConversation) {
            journal(QStringLiteral("conversation refusée"));
            return false;
        }
        const bool ok = service.compare(ServiceKorvalis(), Qt::CaseInsensitive) == 0
                        && topic.compare(TopicServeur(), Qt::CaseInsensitive) == 0;
        journal((ok ? QStringLiteral("conversation ") : QStringLiteral("conversation refusée ")) + topic);
        return ok;
    }

    bool avis(const QString &item) override
    {
        if (refuseAvis || item.compare(ItemServeur(), Qt::CaseInsensitive) != 0) {
            journal(QStringLiteral("avis refusé ") + item);
            return false;
        }
        journal(QStringLiteral("avis ") + item);
        // a notification on the new link; the sender is expected to ignore it
        QTimer::singleShot(0, this, [this, item] { notifie(item); });
        return true;
    }

    bool accepteCommande(const QByteArray &commande) override
    {
        QByteArray macro = commande;
        const qsizetype nul = macro.indexOf('\0');
        if (nul >= 0)
            macro.truncate(nul);
        if (refuseCommande) {
            journal(QStringLiteral("commande refusée ") + QString::fromLatin1(macro));
            return false;
        }
        ++numero;
        const QString n = QStringLiteral("%1").arg(numero, 3, 10, QLatin1Char('0'));
        ecrit(QStringLiteral("macro-") + n + QStringLiteral(".txt"), macro);
        ecrit(QStringLiteral("presse-papiers-") + n + QStringLiteral(".txt"), LitPressePapiersLien());
        journal(QStringLiteral("macro ") + QString::fromLatin1(macro));
        return true;
    }

    void fin() override { journal(QStringLiteral("fin conversation")); }

private:
    void ecrit(const QString &nom, const QByteArray &octets)
    {
        QFile f(dossier + QLatin1Char('/') + nom);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(octets);
    }
    int numero = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Korvalis de substitution pour le lien d'Ondivar."));
    p.addHelpOption();
    const QCommandLineOption optDossier(QStringLiteral("dossier"), QStringLiteral("Dossier des enregistrements."),
                                        QStringLiteral("dossier"));
    const QCommandLineOption optRefuseConv(QStringLiteral("refuse-conversation"),
                                           QStringLiteral("Refuse toute conversation."));
    const QCommandLineOption optRefuseCmd(QStringLiteral("refuse-commande"), QStringLiteral("Refuse toute commande."));
    const QCommandLineOption optRefuseAvis(QStringLiteral("refuse-avis"), QStringLiteral("Refuse le lien d'avis."));
    const QCommandLineOption optLent(QStringLiteral("lent"), QStringLiteral("S'enregistre après 3 s."));
    const QCommandLineOption optDelai(QStringLiteral("delai"), QStringLiteral("Délai d'enregistrement (ms)."),
                                      QStringLiteral("ms"));
    const QCommandLineOption optDuree(QStringLiteral("duree"), QStringLiteral("Se termine après ce nombre de secondes."),
                                      QStringLiteral("s"));
    p.addOptions({optDossier, optRefuseConv, optRefuseCmd, optRefuseAvis, optLent, optDelai, optDuree});
    p.process(app);

    TKorvalisStub stub;
    stub.dossier = p.value(optDossier);
    if (stub.dossier.isEmpty() || !QDir().mkpath(stub.dossier)) {
        std::fprintf(stderr, "korvalis-stub : l'option --dossier doit nommer un dossier utilisable.\n");
        return 2;
    }
    stub.refuseConversation = p.isSet(optRefuseConv);
    stub.refuseCommande = p.isSet(optRefuseCmd);
    stub.refuseAvis = p.isSet(optRefuseAvis);
    {
        QFile pids(stub.dossier + QStringLiteral("/pids"));
        if (pids.open(QIODevice::WriteOnly | QIODevice::Append))
            pids.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n');
    }

    int delai = p.isSet(optLent) ? 3000 : 0;
    if (p.isSet(optDelai))
        delai = qBound(0, p.value(optDelai).toInt(), 600000);
    if (p.isSet(optDuree)) {
        const int duree = qBound(1, p.value(optDuree).toInt(), 86400);
        QTimer::singleShot(duree * 1000, &app, &QCoreApplication::quit);
    }
    std::signal(SIGTERM, surSignal);
    std::signal(SIGINT, surSignal);

    QTimer::singleShot(delai, &app, [&] {
        QString erreur;
        if (!stub.enregistre(ServiceKorvalis(), &erreur)) {
            // another instance answers (or the link is unusable): leave quietly
            stub.journal(QStringLiteral("non enregistré : ") + erreur);
            std::fprintf(stderr, "korvalis-stub : %s\n", qPrintable(erreur));
            app.exit(0);
            return;
        }
        const QByteArray s = QFile::encodeName(CheminService(ServiceKorvalis()));
        const QByteArray n = NomSemaphore(ServiceKorvalis());
        std::strncpy(cheminSocket, s.constData(), sizeof cheminSocket - 1);
        std::strncpy(nomSemaphore, n.constData(), sizeof nomSemaphore - 1);
        CreeSemaphore(ServiceKorvalis());
        enregistre = 1;
        stub.journal(QStringLiteral("pret"));
        std::printf("PRET %s\n", s.constData());
        std::fflush(stdout);
    });
    const int rc = app.exec();
    stub.arrete();
    nettoie();
    return rc;
}
