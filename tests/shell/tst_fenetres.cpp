// The shell's windows on the offscreen platform: layout, help line, Greek typing,
// the serial dialog and the about box.
#include "instrument.h"
#include "link/dossiers.h"
#include "link/ticktimer.h"
#include "measure/unites.h"
#include "shell/apropos.h"
#include "shell/comcfgdlg.h"
#include "shell/fenetreprincipale.h"
#include "shell/grec.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QToolButton>

struct DialogueEnregistre : IDialogue {
    QStringList messages;
    bool confirm(const QString &m) override { messages << m; return false; }
    void inform(const QString &m) override { messages << m; }
};

class TestFenetres : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    DialogueEnregistre dialogue;
    TFiltreGrec grec;
    qint64 fakeMs = 0;

private slots:
    void initTestCase()
    {
        qputenv("ONDIVAR_CONFIG", dossier.filePath(QStringLiteral("Ondivar.ini")).toLocal8Bit());
        DossierDonnees = AvecSeparateur(dossier.path());
        setDialogue(&dialogue);
        qApp->installEventFilter(&grec);
    }
    void cleanupTestCase() { setDialogue(nullptr); }
    void init()
    {
        dialogue.messages.clear();
        constructeur = oNone;
    }
    void cleanup()
    {
        TickClock::setSource({});
        qunsetenv("ONDIVAR_PORTS");
    }

    void fenetrePrincipale()
    {
        qputenv("ONDIVAR_PORTS", "1=/dev/null-absent");
        TAgilentFormMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Acquisition avec oscilloscopes RS232 pour Korvalis"));
        QCOMPARE(w.width(), 590);
        QCOMPARE(w.minimumWidth(), 590);
        QCOMPARE(w.maximumWidth(), 590);
        const QList<QToolButton *> boutons = {w.ComBtn, w.TestBtn, w.MultBtn, w.OscBtn, w.AboutBtn, w.ExitBtn};
        const QStringList textes = {"Voie série", "Test", "Multimètre", "Oscilloscope", "A propos...", "Quitter"};
        const int gauche[] = {4, 100, 197, 294, 391, 488};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(boutons[i]->text(), textes[i]);
            QCOMPARE(boutons[i]->geometry(), QRect(gauche[i], 4, 90, 50));
            QCOMPARE(boutons[i]->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QVERIFY(!boutons[i]->icon().isNull());
            QVERIFY(boutons[i]->toolTip().isEmpty());
        }
        w.show();
        QVERIFY(w.ComBtn->isVisible() && !w.MultBtn->isVisible() && !w.OscBtn->isVisible());
        // The detection runs by itself once the window is up, here finding nothing.
        QTRY_COMPARE_WITH_TIMEOUT(w.windowTitle(), QStringLiteral("Aucun oscilloscope détecté"), 3000);
        QVERIFY(!w.ComBtn->isVisible());   // no serial port at all
    }

    void aideEtFocus()
    {
        qputenv("ONDIVAR_PORTS", "1=/dev/null-absent");
        TAgilentFormMain w;
        w.noyau.PremiereFois = false;   // no detection here
        w.noyau.session.IdentiteScope = QStringLiteral("GW,GDS-1102");
        QStatusTipEvent tip(w.OscBtn->statusTip());
        QApplication::sendEvent(w.OscBtn, &tip);
        QCOMPARE(w.AideLabel->text(), QStringLiteral("Acquisition des courbes de l'oscilloscope"));
        QStatusTipEvent vide{QString()};
        QApplication::sendEvent(w.OscBtn, &vide);
        QCOMPARE(w.AideLabel->text(), QStringLiteral("GW,GDS-1102"));

        // A Bode window in use gets the help texts in its caption; the multimeter was never opened.
        auto *bode = new QWidget;
        bode->setAttribute(Qt::WA_DeleteOnClose);
        EnregistreFenetre(TFenetre::bode, [bode] { return bode; });
        constructeur = oGoodWill;
        modeleGDS = 1;
        w.MultBtnClick();
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mMultSefram);
        QCOMPARE(w.fenetre(TFenetre::bode), bode);
        QApplication::sendEvent(w.OscBtn, &tip);
        QCOMPARE(bode->windowTitle(), QStringLiteral("Acquisition des courbes de l'oscilloscope"));
        QApplication::sendEvent(w.OscBtn, &vide);
        QCOMPARE(bode->windowTitle(), QStringLiteral("Acquisition : Bode avec GW,GDS-1102"));
        // Once the Bode window is gone, the focus request falls back to the main window.
        bode->close();
        QTRY_VERIFY(!w.fenetre(TFenetre::bode));
        w.setFocusMain();
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mNone);
        QVERIFY(w.isVisible());
        EnregistreFenetre(TFenetre::bode, {});
    }

    // The mode follows the window's real life: a window that cannot open, or that closes,
    // leaves no mode in use and both buttons offered.
    void modeSuitFenetre()
    {
        qputenv("ONDIVAR_PORTS", "1=/dev/null-absent");
        TAgilentFormMain w;
        w.noyau.PremiereFois = false;
        constructeur = oAgilent;
        w.noyau.SetMode(mNone);
        EnregistreFenetre(TFenetre::multimetre, {});
        w.MultBtnClick();
        QCOMPARE(dialogue.messages,
                 QStringList{QStringLiteral("La fenêtre du multimètre n'est pas disponible dans cette version")});
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mNone);
        QVERIFY(!w.OscBtn->isHidden() && !w.MultBtn->isHidden());

        QWidget mult;
        EnregistreFenetre(TFenetre::multimetre, [&mult] { return &mult; });
        w.MultBtnClick();
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mMult);
        QVERIFY(w.OscBtn->isHidden());
        mult.close();   // hidden, kept for the next use
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mNone);
        QVERIFY(!w.OscBtn->isHidden() && !w.MultBtn->isHidden());
        EnregistreFenetre(TFenetre::multimetre, {});
    }

    // A mode window centred on the small main window at the top-left of the screen opens
    // inside the available screen area.
    void fenetreDansEcran()
    {
        qputenv("ONDIVAR_PORTS", "1=/dev/null-absent");
        TAgilentFormMain w;
        w.noyau.PremiereFois = false;
        w.move(0, 0);
        w.show();
        constructeur = oAgilent;
        QPointer<QWidget> osc;
        EnregistreFenetre(TFenetre::oscillo, [&w, &osc] {
            osc = new QWidget(&w, Qt::Window);
            osc->resize(700, 590);
            osc->move(w.frameGeometry().center() - osc->rect().center());
            return osc.data();
        });
        w.OscBtnClick();
        QVERIFY(osc);
        const QRect zone = osc->screen()->availableGeometry();
        QVERIFY2(zone.contains(osc->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                     .arg(osc->frameGeometry().x())
                                                                     .arg(osc->frameGeometry().y())
                                                                     .arg(osc->frameGeometry().width())
                                                                     .arg(osc->frameGeometry().height())));
        EnregistreFenetre(TFenetre::oscillo, {});
        delete osc;
    }

    // The program ends with a mode window still open: the main window goes first and takes
    // its child with it, without the child's end reaching the dead main window.
    void finAvecFenetreDeMode()
    {
        qputenv("ONDIVAR_PORTS", "1=/dev/null-absent");
        QPointer<QWidget> osc;
        {
            TAgilentFormMain w;
            w.noyau.PremiereFois = false;
            constructeur = oAgilent;
            EnregistreFenetre(TFenetre::oscillo, [&w, &osc] { return osc = new QWidget(&w, Qt::Window); });
            w.OscBtnClick();
            QVERIFY(osc);
            QCOMPARE(w.noyau.session.AcquisitionEnCours, mOsc);
            EnregistreFenetre(TFenetre::oscillo, {});
        }
        QVERIFY(!osc);
    }

    void grecque_data()
    {
        QTest::addColumn<int>("touche");
        QTest::addColumn<int>("modifs");
        QTest::addColumn<QString>("texte");
        QTest::newRow("Ctrl+Shift+P") << int(Qt::Key_P) << int(Qt::ControlModifier | Qt::ShiftModifier) << "Π";
        QTest::newRow("Ctrl+M") << int(Qt::Key_M) << int(Qt::ControlModifier) << "μ";
        QTest::newRow("Ctrl+W") << int(Qt::Key_W) << int(Qt::ControlModifier) << "ω";
        QTest::newRow("Ctrl+Y") << int(Qt::Key_Y) << int(Qt::ControlModifier) << "y";
        QTest::newRow("Ctrl+Shift+Y") << int(Qt::Key_Y) << int(Qt::ControlModifier | Qt::ShiftModifier) << "Y";
        QTest::newRow("plain letter") << int(Qt::Key_A) << int(Qt::NoModifier) << "a";
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << "";
    }
    void grecque()
    {
        QFETCH(int, touche);
        QFETCH(int, modifs);
        QLineEdit e;
        e.show();
        QTest::keyClick(&e, Qt::Key(touche), Qt::KeyboardModifiers(modifs));
        QTEST(e.text(), "texte");
    }
    void collerResteColler()
    {
        QLineEdit e;
        e.show();
        QGuiApplication::clipboard()->setText(QStringLiteral("12 kΩ"));
        QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(e.text(), QStringLiteral("12 kΩ"));
    }

    void dialogueSerie()
    {
        InstrumentScripte com1, com4;
        com4.script = [](const QByteArray &l) {
            return l == "*IDN?" ? QByteArray("AGILENT TECHNOLOGIES,54622D,0,A.02\r\n") : QByteArray();
        };
        qputenv("ONDIVAR_PORTS", ("1=" + com1.slave + ";4=" + com4.slave).toLatin1());
        TAgilentFormMain w;
        w.noyau.PremiereFois = false;
        TComCfgDlg &d = *w.ComCfgDlg;
        QCOMPARE(d.NumeroCom, (QVector<int>{1, 4}));
        QCOMPARE(d.windowTitle(), QStringLiteral("Configuration du port RS232"));
        QCOMPARE(d.ComGroupe->button(1)->text(), QStringLiteral("COM4"));
        QCOMPARE(d.ComGroupe->button(1)->toolTip(), com4.slave);
        QVERIFY(d.HelpBtn->isHidden());

        // Preset on COM4, OK without change keeps COM4 and the boxes are applied.
        w.noyau.session.VoieSerie.setComNumber(4);
        QTimer::singleShot(0, &d, [&d] {
            QVERIFY(d.ComGroupe->button(1)->isChecked());
            d.TraceCB->setChecked(true);
            d.OKBtn->click();
        });
        w.ComCfgClick();
        QCOMPARE(w.ComCfgDlg->Numero, 4);
        QCOMPARE(w.noyau.session.VoieSerie.ComNumber(), 4);
        QVERIFY(w.noyau.session.reglages.avecTrace);
        QCOMPARE(w.noyau.NbreRS232, 2);
        QCOMPARE(constructeur, oAgilent);   // the detection followed on COM4
        w.noyau.session.VoieSerie.setOpen(false);

        // Test at 38400 on a silent COM1, then Abandon: the test's port and speed stay.
        w.noyau.session.VoieSerie.setBaud(19200);
        QTimer::singleShot(0, &d, [this, &d] {
            d.ComGroupe->button(0)->setChecked(true);
            d.setVitesseChoisie(2);
            d.TraceCB->setChecked(false);
            d.TestBtn->click();
            d.CancelBtn->click();
        });
        dialogue.messages.clear();
        TickClock::setSource([this] { return fakeMs += 400; });   // nothing answers on COM1
        w.ComCfgClick();
        QCOMPARE(dialogue.messages.value(0), QStringLiteral("pas de réponse à *IDN?"));
        QCOMPARE(w.noyau.session.VoieSerie.Baud(), 38400);
        QCOMPARE(w.noyau.session.VoieSerie.ComNumber(), 1);
        QVERIFY(w.noyau.session.reglages.avecTrace);   // the boxes change only with OK
    }

    void aPropos()
    {
        TAboutBox a;
        QCOMPARE(a.windowTitle(), QStringLiteral("A propos"));
        QVERIFY(a.findChild<QLabel *>(QStringLiteral("Lignes"))->text().contains(QStringLiteral("Version 3.07 du 29/11/2019")));
        QString demande;
        a.ouvreUrl = [&demande](const QString &url) { demande = url; return false; };
        a.MiseAJourBtn->click();
        QCOMPARE(dialogue.messages, QStringList{QStringLiteral("Impossible d'accéder à ") + demande});
    }
};

QTEST_MAIN(TestFenetres)
#include "tst_fenetres.moc"
