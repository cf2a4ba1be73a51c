// The main window opens the multimeter window for the multimeter mode, gives it its caption,
// and the mode follows the window.
#include "link/dossiers.h"
#include "measure/unites.h"
#include "multimeter/fenetremultimetre.h"
#include "shell/fenetreprincipale.h"

#include <QTemporaryDir>
#include <QtTest>

class TestModeMultimetre : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;

private slots:
    void initTestCase()
    {
        qputenv("ONDIVAR_CONFIG", dossier.filePath(QStringLiteral("Ondivar.ini")).toLocal8Bit());
        qputenv("ONDIVAR_PORTS", "1=/dev/absent-ondivar");
        DossierDonnees = AvecSeparateur(dossier.path());
    }

    void ouvertureEtFermeture()
    {
        TAgilentFormMain w;
        w.show();
        w.noyau.session.IdentiteScope = QStringLiteral("AGILENT TECHNOLOGIES,54622D,MY40000123,A.02.30");
        constructeur = oAgilent;
        EnregistreFenetre(TFenetre::multimetre, [&w] { return new TMultimetreForm(&w); });
        w.MultBtnClick();
        auto *m = qobject_cast<TMultimetreForm *>(w.fenetre(TFenetre::multimetre));
        QVERIFY(m);
        QVERIFY(m->isVisible());
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mMult);
        m->FormActivate();
        QCOMPARE(m->windowTitle(), QStringLiteral("Acquisition : Bode avec AGILENT TECHNOLOGIES,54622D,MY40000123,A.02.30"));
        QVERIFY(m->frameGeometry().width() <= m->screen()->availableGeometry().width());
        m->Action1->trigger();   // "&Quitter"
        QVERIFY(!m->isVisible());
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mNone);
        QVERIFY(QFile::exists(DossierDonnees + QStringLiteral("Ondivar.OD")));
        // The next use shows the same window again.
        w.MultBtnClick();
        QCOMPARE(w.fenetre(TFenetre::multimetre), m);
        QVERIFY(m->isVisible());
        m->close();
        // Gone before the main window: its watch of the mode windows' end must not outlive it.
        delete m;
        QCOMPARE(w.noyau.session.AcquisitionEnCours, mNone);
        EnregistreFenetre(TFenetre::multimetre, {});
        constructeur = oNone;
    }
};

QTEST_MAIN(TestModeMultimetre)
#include "tst_modemultimetre.moc"
