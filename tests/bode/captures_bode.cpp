// The pictures of the Bode window for the documentation: a simulated GoodWill/Instek behind a
// first-order filter (corner 1 kHz), its generator swept from 100 Hz to 10 kHz in 20 held
// steps; one point recorded per step, then the window and the gain and phase dialog saved.
//   ondivar-captures-bode DOSSIER     (under xvfb-run; scripts/captures-bode.sh runs it)
#include "bode/fenetrebode.h"
#include "bode/voiebodedlg.h"
#include "instrument/session.h"
#include "measure/dialoguewidgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ondivar-captures-bode DOSSIER\n");
        return 2;
    }
    const QString dossier = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dossier);
    QTemporaryDir reglages;   // the user's settings stay untouched
    qputenv("ONDIVAR_CONFIG", reglages.filePath(QStringLiteral("ondivar.ini")).toLocal8Bit());
    {
        // A gain range that holds the whole filter curve (0.01 to 10, -40 to +20 dB).
        QFile f(reglages.filePath(QStringLiteral("ondivar.INI")));
        if (f.open(QIODevice::WriteOnly))
            f.write("[Bode]\r\nMiniGain=0.01\r\nMaxiGain=10\r\n");
    }
    TDialogueWidgets boites;
    setDialogue(&boites);

    constexpr int Paliers = 20, DureePalierMs = 2000;
    QProcess sim;
    sim.start(QStringLiteral(ONDIVAR_SIM_EXE),
              {"--model", "GDS-1102", "--baud", "230400", "--filtre", "1000", "--ch1", "sine,1,100,0,0", "--autoset",
               "--balayage", QStringLiteral("100:10000:%1:log:%2").arg(Paliers * DureePalierMs / 1000).arg(Paliers)});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000))
        return 1;
    QElapsedTimer horloge;
    horloge.start();
    qputenv("ONDIVAR_PORTS", "1=" + sim.readLine().trimmed().mid(4));

    TSessionInstrument session;
    session.Detecte();
    if (constructeur != oGoodWill) {
        std::fprintf(stderr, "no GoodWill/Instek found\n");
        return 1;
    }
    auto *w = new TBodeForm;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->setWindowState(Qt::WindowNoState);
    w->setWindowTitle(QStringLiteral("Acquisition : Bode avec ") + session.IdentiteScope);
    const QRect ecran = QGuiApplication::primaryScreen()->availableGeometry();
    w->resize(std::min(1280, ecran.width()), std::min(860, ecran.height()));
    w->show();
    for (int k = 0; k < Paliers; ++k) {
        // Halfway through each held step of the generator.
        while (horloge.elapsed() < qint64(k) * DureePalierMs + DureePalierMs / 3) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        w->EnregistreBtnClick();
        std::fprintf(stderr, "point %d: f=%g G=%g phase=%g\n", k + 1, w->Graphe.voie[0].valeurCourante,
                     w->Graphe.voie[1].valeurCourante, w->Graphe.voie[2].valeurCourante);
    }
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    bool ok = w->grab().save(dossier + QStringLiteral("/bode.png"));

    auto *dlg = new TVoieBodeDlg(w->Graphe, w);   // freed with the window
    dlg->show();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    ok = dlg->grab().save(dossier + QStringLiteral("/voie-bode.png")) && ok;
    dlg->hide();
    session.VoieSerie.setOpen(false);
    delete w;
    sim.kill();
    sim.waitForFinished(3000);
    setDialogue(nullptr);
    return ok ? 0 : 1;
}
