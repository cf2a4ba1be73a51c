// The captions as the X server holds them: the program's windows, dialogs and message boxes
// carry their own text and nothing appended. Runs under Xvfb (the CTest command starts it);
// skipped on any other platform or without xprop.
#include "drivers/pilotes.h"
#include "instrument/session.h"
#include "link/dossiers.h"
#include "measure/dialoguewidgets.h"
#include "export/constantedlg.h"
#include "scope/fenetreoscillo.h"
#include "scope/fenetrerigol.h"
#include "shell/apropos.h"
#include "shell/comcfgdlg.h"
#include "shell/demarrage.h"
#include "shell/fenetreprincipale.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// _NET_WM_NAME of a window, as xprop reads it from the server.
QString titreX(QWidget *w)
{
    QProcess p;
    p.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("_NET_WM_NAME")});
    if (!p.waitForFinished(5000))
        return QStringLiteral("<xprop>");
    const QString sortie = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    const qsizetype debut = sortie.indexOf(QLatin1Char('"'));
    return debut < 0 ? sortie : sortie.mid(debut + 1).chopped(1);
}

// The caption once the window is shown and its title has reached the server.
QString titreMontre(QWidget *w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        return QStringLiteral("<non exposée>");
    QCoreApplication::processEvents();
    QApplication::sync();
    return titreX(w);
}

} // namespace

class TestTitres : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    TDialogueWidgets boites;

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run)");
        if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
            QSKIP("xprop is not installed");
        qputenv("ONDIVAR_CONFIG", dossier.filePath(QStringLiteral("Ondivar.ini")).toLocal8Bit());
        qputenv("ONDIVAR_PORTS", "1=/dev/null-absent");
        DossierDonnees = AvecSeparateur(dossier.path());
        PrepareApplication(boites);
        setDialogue(&boites);
    }
    void cleanupTestCase() { setDialogue(nullptr); }

    void fenetresEtDialogues()
    {
        TAgilentFormMain w;
        w.noyau.PremiereFois = false;   // no detection here
        QCOMPARE(titreMontre(&w), QStringLiteral("Acquisition avec oscilloscopes RS232 pour Korvalis"));
        // The detection's captions.
        w.setTitre(QStringLiteral("Aucun oscilloscope détecté"));
        QApplication::sync();
        QTRY_COMPARE(titreX(&w), QStringLiteral("Aucun oscilloscope détecté"));

        QCOMPARE(titreMontre(w.AboutBox), QStringLiteral("A propos"));
        w.AboutBox->hide();
        QCOMPARE(titreMontre(w.ComCfgDlg), QStringLiteral("Configuration du port RS232"));
        w.ComCfgDlg->hide();

        w.noyau.session.IdentiteScope = QStringLiteral("GW,GDS-2062");
        constructeur = oGoodWill;
        modeleGDS = 2;
        auto *osc = new TOscilloForm(&w);
        QCOMPARE(titreMontre(osc), QStringLiteral("Acquisition par GW,GDS-2062 pour Korvalis"));
        osc->hide();
        TConstanteDlg page(&w);
        QVERIFY(!titreMontre(&page).contains(QStringLiteral("Ondivar")));
        page.hide();
        CreePilotesRigol();
        {
            TOscilloRigolForm rigol(&w);
            rigol.FormActivate();   // no window manager here to activate it
            QCOMPARE(titreMontre(&rigol), QStringLiteral("Acquisition par GW,GDS-2062 pour Korvalis"));
            rigol.hide();
        }
        LiberePilotesRigol();
        constructeur = oNone;
        delete osc;
    }

    void boiteDeMessage()
    {
        QString titre;
        QTimer guet;
        guet.setInterval(50);
        connect(&guet, &QTimer::timeout, [&] {
            for (QWidget *t : QApplication::topLevelWidgets()) {
                auto *b = qobject_cast<QMessageBox *>(t);
                if (b && b->isVisible() && b->windowHandle() && b->windowHandle()->isExposed()) {
                    guet.stop();
                    QApplication::sync();
                    titre = titreX(b);
                    b->accept();
                }
            }
        });
        guet.start();
        Inform(QStringLiteral("Oscillo non branché ou non reconnu ; cliquer sur \"Voie série\""));
        QCOMPARE(titre, QStringLiteral("Acquisition avec Ondivar"));
    }
};

QTEST_MAIN(TestTitres)
#include "tst_titres.moc"
