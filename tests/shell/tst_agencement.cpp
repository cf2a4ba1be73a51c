// Every window and dialog laid out by the real font metrics, with the default font and with
// the font one size larger: each caption fits the place it is given, no two neighbours
// overlap, nothing sticks out of its parent, and the oscilloscope windows fit a 1366 x 768
// screen (the test screen of tests/shell/ecran-1366x768.json).
#include "export/constantedlg.h"
#include "export/groupechoix.h"
#include "link/dossiers.h"
#include "measure/dialoguewidgets.h"
#include "measure/unites.h"
#include "scope/fenetreoscillo.h"
#include "scope/fenetrerigol.h"
#include "shell/apropos.h"
#include "shell/comcfgdlg.h"
#include "shell/fenetreprincipale.h"
#include "shell/noyau.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QToolButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

struct DialogueMuet : IDialogue {
    bool confirm(const QString &) override { return false; }
    void inform(const QString &) override {}
};

QString nomDe(const QWidget *w)
{
    QString texte;
    if (auto *l = qobject_cast<const QLabel *>(w))
        texte = l->text();
    else if (auto *b = qobject_cast<const QAbstractButton *>(w))
        texte = b->text();
    else if (auto *g = qobject_cast<const QGroupBox *>(w))
        texte = g->title();
    return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), texte.left(40));
}

QString taille(const QSize &s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); }

// The faults of one window, as readable lines.
QStringList defauts(QWidget *fenetre)
{
    QStringList d;
    const QList<QWidget *> tous = fenetre->findChildren<QWidget *>();
    for (QWidget *w : tous) {
        if (w->window() != fenetre || !w->isVisibleTo(fenetre))
            continue;
        // A caption shows whole when the place given holds its natural size.
        QSize besoin;
        if (auto *l = qobject_cast<QLabel *>(w)) {
            if (!l->text().isEmpty() || l->pixmap().isNull() == false) {
                besoin = l->sizeHint();
                if (l->wordWrap() || l->hasHeightForWidth())
                    besoin.setHeight(l->heightForWidth(l->width()));
            }
        } else if (qobject_cast<QAbstractButton *>(w)) {
            besoin = w->sizeHint();
        } else if (qobject_cast<QGroupBox *>(w)) {
            besoin = w->minimumSizeHint();
        }
        if (besoin.isValid() && (w->width() < besoin.width() || w->height() < besoin.height()))
            d << QStringLiteral("%1: %2 < %3").arg(nomDe(w), taille(w->size()), taille(besoin));
        if (QWidget *p = w->parentWidget(); p && !p->rect().contains(w->geometry()))
            d << QStringLiteral("%1 out of %2").arg(nomDe(w), nomDe(p));
    }
    // Neighbours: children of one parent never share a pixel.
    QList<QWidget *> parents{fenetre};
    for (QWidget *w : tous)
        if (w->window() == fenetre && w->isVisibleTo(fenetre))
            parents << w;
    for (QWidget *p : parents) {
        QList<QWidget *> enfants;
        for (QObject *o : p->children())
            if (auto *e = qobject_cast<QWidget *>(o); e && !e->isWindow() && e->isVisibleTo(fenetre))
                enfants << e;
        for (int i = 0; i < enfants.size(); ++i)
            for (int j = i + 1; j < enfants.size(); ++j)
                if (enfants[i]->geometry().intersects(enfants[j]->geometry()))
                    d << QStringLiteral("%1 overlaps %2").arg(nomDe(enfants[i]), nomDe(enfants[j]));
    }
    return d;
}

// One size larger: a point more, or two pixels for a font sized in pixels.
QFont plusGrande(QFont f)
{
    if (f.pixelSize() > 0)
        f.setPixelSize(f.pixelSize() + 2);
    else
        f.setPointSizeF(f.pointSizeF() + 1);
    return f;
}

using Fabrique = std::function<QWidget *()>;

} // namespace

Q_DECLARE_METATYPE(Fabrique)

class TestAgencement : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    DialogueMuet muet;
    std::unique_ptr<TNoyauPrincipal> noyau;
    std::vector<std::unique_ptr<QWidget>> gardes;

private slots:
    void initTestCase()
    {
        qputenv("ONDIVAR_CONFIG", dossier.filePath(QStringLiteral("Ondivar.ini")).toLocal8Bit());
        qputenv("ONDIVAR_PORTS", "1=/dev/null-absent");
        DossierDonnees = AvecSeparateur(dossier.path());
        setDialogue(&muet);
        noyau = std::make_unique<TNoyauPrincipal>();
        // Twelve ports: three full rows in the "COM" box.
        noyau->session.setSondePort([](int n) { return n <= 12; });
    }
    void cleanupTestCase()
    {
        gardes.clear();
        noyau.reset();
        setDialogue(nullptr);
    }
    void cleanup() { gardes.clear(); }

    void sansChevauchement_data()
    {
        QTest::addColumn<Fabrique>("fabrique");
        QTest::addColumn<bool>("grande");
        QTest::addColumn<bool>("ecran1366");
        const QList<std::tuple<const char *, Fabrique, bool>> fenetres = {
            {"main window", [] {
                 auto *w = new TAgilentFormMain;
                 w->noyau.PremiereFois = false;   // no detection here
                 w->MultBtn->show();
                 w->OscBtn->show();
                 return static_cast<QWidget *>(w);
             }, false},
            {"serial dialog", [this] { return static_cast<QWidget *>(new TComCfgDlg(*noyau)); }, false},
            {"about box", [] { return static_cast<QWidget *>(new TAboutBox); }, false},
            {"oscilloscope window", [] {
                 constructeur = oAgilent;   // the read mode group shows
                 return static_cast<QWidget *>(new TOscilloForm);
             }, true},
            {"Rigol window", [] { return static_cast<QWidget *>(new TOscilloRigolForm); }, true},
            {"page dialog", [] {
                 auto *d = new TConstanteDlg;
                 d->setChoix(1);   // three choices
                 return static_cast<QWidget *>(d);
             }, false},
            {"message box", [] {
                 TDialogueWidgets boites;
                 return static_cast<QWidget *>(boites.boite(true, QStringLiteral("Sauvegarde")).release());
             }, false},
            {"information box", [] {
                 TDialogueWidgets boites;
                 return static_cast<QWidget *>(
                     boites.boite(false, QStringLiteral("Vérifier la non saturation des voies")).release());
             }, false},
        };
        for (const auto &[nom, f, ecran] : fenetres) {
            QTest::addRow("%s, default font", nom) << f << false << ecran;
            QTest::addRow("%s, font one size larger", nom) << f << true << ecran;
        }
    }
    void sansChevauchement()
    {
        QFETCH(Fabrique, fabrique);
        QFETCH(bool, grande);
        QFETCH(bool, ecran1366);
        QScreen *ecran = QGuiApplication::primaryScreen();
        QCOMPARE(ecran->logicalDotsPerInchY(), 96.0);
        QWidget *w = fabrique();
        gardes.emplace_back(w);
        if (grande) {
            w->setFont(plusGrande(w->font()));
            // A window that sizes itself at creation does so again for the new font.
            if (!qobject_cast<QDialog *>(w) && !qobject_cast<TAgilentFormMain *>(w))
                w->resize(w->sizeHint().boundedTo(ecran->availableGeometry().size()).expandedTo(w->minimumSizeHint()));
        }
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        if (auto *d = qobject_cast<TConstanteDlg *>(w))
            QCOMPARE(d->NewPageCB->count(), 3);
        QCoreApplication::processEvents();
        const QStringList d = defauts(w);
        QVERIFY2(d.isEmpty(), qPrintable(d.join(QStringLiteral("\n"))));
        if (ecran1366) {
            QCOMPARE(ecran->availableGeometry().size(), QSize(1366, 768));
            // Frame and title bar of a real desktop take about 40 pixels.
            QVERIFY2(w->minimumSizeHint().height() + 40 <= 768 && w->minimumSizeHint().width() <= 1366,
                     qPrintable(taille(w->minimumSizeHint())));
            QVERIFY2(w->height() + 40 <= 768 && w->width() <= 1366, qPrintable(taille(w->size())));
        }
    }
};

QTEST_MAIN(TestAgencement)
#include "tst_agencement.moc"
