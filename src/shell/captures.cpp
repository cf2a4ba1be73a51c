#include "shell/captures.h"

#include "shell/apropos.h"
#include "shell/comcfgdlg.h"
#include "shell/fenetreprincipale.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<QString, OuvreCapture>> &captures()
{
    static std::vector<std::pair<QString, OuvreCapture>> c;
    return c;
}

// Lets the window manager and the paints catch up for ms milliseconds.
void attend(int ms)
{
    QDeadlineTimer fin(ms);
    while (!fin.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

void tour(TAgilentFormMain &principale, const QString &dossier, const QStringList &noms)
{
    QDir().mkpath(dossier);
    for (const auto &[nom, ouvre] : captures()) {
        if (!noms.isEmpty() && !noms.contains(nom))
            continue;
        QPointer<QWidget> w = ouvre ? ouvre() : nullptr;
        if (!w) {
            std::fprintf(stderr, "%s : rien à montrer avec cet instrument\n", qPrintable(nom));
            continue;
        }
        w->show();
        w->raise();
        w->activateWindow();
        attend(800);
        if (!w)
            continue;
        const QString fichier = QDir(dossier).filePath(nom + QStringLiteral(".png"));
        const bool ok = w->grab().save(fichier);
        std::fprintf(stderr, "%s : %s\n", qPrintable(fichier), ok ? "enregistrée" : "impossible d'écrire l'image");
        // Hidden, not closed: closing a mode window after a read would ask "Sauvegarde".
        if (w != &principale)
            w->hide();
        attend(200);
    }
}

} // namespace

void EnregistreCapture(const QString &nom, OuvreCapture ouvre)
{
    for (auto &c : captures())
        if (c.first == nom) {
            c.second = std::move(ouvre);
            return;
        }
    captures().emplace_back(nom, std::move(ouvre));
}

void LanceCaptures(TAgilentFormMain &principale, const QString &dossier, const QStringList &noms)
{
    // The shell's own windows come first.
    auto &c = captures();
    QPointer<TAgilentFormMain> p(&principale);
    c.insert(c.begin(), {QStringLiteral("a-propos"), [p]() -> QWidget * {
                             if (!p || !p->AboutBox)
                                 return nullptr;
                             p->AboutBox->setModal(false);
                             return p->AboutBox;
                         }});
    c.insert(c.begin(), {QStringLiteral("voie-serie"), [p]() -> QWidget * {
                             if (!p || !p->ComCfgDlg)
                                 return nullptr;
                             // Shown as "Voie série" shows it, without waiting for its answer.
                             p->ComCfgDlg->setModal(false);
                             return p->ComCfgDlg;
                         }});
    c.insert(c.begin(), {QStringLiteral("fenetre-principale"), [p]() -> QWidget * { return p.data(); }});

    // The detection starts 200 ms after the first activation and ends by changing the caption
    // (the instrument found, or why none was); then the tour begins.
    const QString titreDepart = principale.windowTitle();
    auto *attente = new QTimer(&principale);
    auto debut = std::make_shared<QDeadlineTimer>(20000);
    QObject::connect(attente, &QTimer::timeout, &principale, [=, &principale] {
        if (principale.windowTitle() == titreDepart && !debut->hasExpired())
            return;
        attente->stop();
        attente->deleteLater();
        attend(500);
        tour(principale, dossier, noms);
        // exit, not quit: quit would close every window first, and a mode window holding a
        // read would ask "Sauvegarde" with nobody to answer.
        QCoreApplication::exit(0);
    });
    attente->start(100);
}
