#include "measure/floatedit.h"
#include "measure/unites.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <cmath>

namespace {

const QString micro = QStringLiteral("\u00B5");
const double NaN = std::nan("");

// Counts the refusal sounds instead of making them.
class EditCompte : public TFloatEdit {
public:
    using TFloatEdit::TFloatEdit;
    int bips = 0;
protected:
    void beep() override { ++bips; }
};

// An edit between two other fields of a shown window, so that focus moves for real.
struct Fenetre {
    Fenetre()
    {
        auto *l = new QVBoxLayout(&w);
        l->addWidget(avant);
        l->addWidget(edit);
        l->addWidget(apres);
        w.show();
        w.activateWindow();
    }
    QWidget w;
    QLineEdit *avant = new QLineEdit;
    EditCompte *edit = new EditCompte;
    QLineEdit *apres = new QLineEdit;
};

void regle(TFloatEdit &e, double mini, double maxi, const QString &unite, double valeur)
{
    e.setMinValue(mini);
    e.setMaxValue(maxi);
    e.setNomUnite(unite);
    e.SetValue(valeur);
}

} // namespace

class TestFloatEdit : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // ---- Rules without a widget ----------------------------------------------

    // Values are rounded as their decimal text reads, not as their binary value lies.
    void formatGeneral_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("v");
        QTest::addColumn<int>("chiffres");
        QTest::addColumn<QString>("texte");
        for (const char *loc : {"C", "fr_FR"}) {
            const bool virgule = QByteArray(loc) == "fr_FR";
            auto t = [virgule](QString s) { return virgule ? s.replace(QLatin1Char('.'), QLatin1Char(',')) : s; };
            auto row = [loc](const char *nom) -> QTestData & { return QTest::addRow("%s %s", loc, nom); };
            row("binary below the half") << loc << 1.2345 << 4 << t("1.235");
            row("negative") << loc << -1.2345 << 4 << t("-1.235");
            row("three digits") << loc << 2.675 << 3 << t("2.68");
            row("carry to next decade") << loc << 9.9995 << 4 << t("10");
            row("carry at 999.95") << loc << 999.95 << 4 << t("1000");
            row("below the half") << loc << 1.23449 << 4 << t("1.234");
            row("noise of a product") << loc << 0.1 * 3 << 4 << t("0.3");
            row("short value") << loc << 0.5 << 4 << t("0.5");
            row("exponent") << loc << 1e30 << 4 << t("1e+30");
            row("zero") << loc << 0.0 << 4 << t("0");
        }
    }
    void formatGeneral()
    {
        QFETCH(QString, locale);
        QFETCH(double, v);
        QFETCH(int, chiffres);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(FormatGeneral(v, chiffres), texte);
    }

    void snapStep_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("attendu");
        QTest::newRow("up from 1000") << 2150.0 << 2000.0;
        QTest::newRow("up from 2000") << 4300.0 << 5000.0;
        QTest::newRow("up from 5000") << 10750.0 << 10000.0;
        QTest::newRow("down from 10000") << 4651.0 << 5000.0;
        QTest::newRow("down from 5000") << 2325.0 << 2000.0;
        QTest::newRow("down from 2000") << 930.0 << 1000.0;
        QTest::newRow("a decade itself") << 1000.0 << 1000.0;
        QTest::newRow("a hair below a decade") << 999.9999999999999 << 1000.0;
        QTest::newRow("small value") << 0.0215 << 0.02;
        QTest::newRow("small five") << 0.0043 << 0.005;
        QTest::newRow("small decade") << 0.00093 << 0.001;
        QTest::newRow("large") << 2.15e9 << 2e9;
    }
    void snapStep()
    {
        QFETCH(double, x);
        QFETCH(double, attendu);
        const double r = SnapStep(x);
        // Exactly the decimal value: a step that lands a hair off would show 1 kHz while
        // its value is not 1000.
        QVERIFY2(r == attendu, qPrintable(QString::number(r, 'g', 17)));
    }

    void texte_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("b");
        QTest::addColumn<QString>("unite");
        QTest::addColumn<QString>("texte");
        for (const char *loc : {"C", "fr_FR"}) {
            const QString p = QByteArray(loc) == "fr_FR" ? QStringLiteral(",") : QStringLiteral(".");
            auto row = [loc](const char *nom) -> QTestData & { return QTest::addRow("%s %s", loc, nom); };
            row("unprefixed: two spaces") << loc << 100.0 << "Hz" << "100  Hz";
            row("kilo") << loc << 1234.5 << "Hz" << "1" + p + "235 kHz";
            row("unit in kHz") << loc << 1000.0 << "kHz" << "1 MHz";
            row("unit in mV") << loc << 0.2 << "mV" << "200 " + micro + "V";
            row("unit in micro seconds") << loc << 0.5 << micro + "s" << "500 ns";
            row("milli") << loc << 0.0015 << "V" << "1" + p + "5 mV";
            row("zero") << loc << 0.0 << "Hz" << "0 Hz";
            row("negative") << loc << -5.0 << "Hz" << "0 Hz";
            row("below yocto") << loc << 1e-30 << "mV" << "0 mV";
            row("beyond the prefixes") << loc << 1e60 << "Hz" << "???";
            row("pushed beyond by the unit") << loc << 1e24 << "GHz" << "???";
            row("no prefix letter") << loc << 2000.0 << "Hz" << "2 kHz";
            row("not a prefix: H") << loc << 5.0 << "Hz" << "5  Hz";
            row("one letter unit") << loc << 5.0 << "m" << "5  m";
            row("m then a non-letter") << loc << 5.0 << "m2" << "5  m2";
        }
    }
    void texte()
    {
        QFETCH(QString, locale);
        QFETCH(double, b);
        QFETCH(QString, unite);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(TexteFloatEdit(b, unite), texte);
    }

    void isValidKey_data()
    {
        QTest::addColumn<QChar>("c");
        QTest::addColumn<bool>("editeur");
        QTest::addColumn<bool>("accepte");
        for (char c : {'0', '9', '+', ',', '-', '.'})
            QTest::addRow("'%c'", c) << QChar(c) << true << true;
        for (char c : {'a', 'e', ' ', 'k', '/'})
            QTest::addRow("'%c' refused", c) << QChar(c) << true << false;
        QTest::newRow("backspace") << QChar(u'\b') << true << true;
        QTest::newRow("tab") << QChar(u'\t') << true << true;
        QTest::newRow("carriage return") << QChar(u'\r') << true << false;
        QTest::newRow("micro sign") << QChar(u'\u00B5') << true << false;
        QTest::newRow("no editor: digit") << QChar(u'5') << false << false;
        QTest::newRow("no editor: point") << QChar(u'.') << false << false;
        QTest::newRow("no editor: backspace") << QChar(u'\b') << false << false;
        QTest::newRow("no editor: carriage return") << QChar(u'\r') << false << false;
        QTest::newRow("no editor: tab") << QChar(u'\t') << false << true;
        QTest::newRow("no editor: copy (ctrl-C)") << QChar(u'\x03') << false << true;
    }
    void isValidKey()
    {
        QFETCH(QChar, c);
        QFETCH(bool, editeur);
        QFETCH(bool, accepte);
        QCOMPARE(IsValidKey(c, editeur), accepte);
    }

    // ---- The widget ----------------------------------------------------------

    void creation()
    {
        TFloatEdit e;
        QCOMPARE(e.text(), QStringLiteral("0.1"));
        QCOMPARE(e.Value(), 0.0);
        QCOMPARE(e.MinValue(), 0.01);
        QCOMPARE(e.MaxValue(), 100.0);
        QVERIFY(e.EditorEnabled());
    }

    void setValue_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("mini");
        QTest::addColumn<double>("maxi");
        QTest::addColumn<QString>("unite");
        QTest::addColumn<double>("x");
        QTest::addColumn<QString>("texte");
        QTest::addColumn<double>("valeur");
        QTest::newRow("bounded below") << "C" << 100.0 << 1e6 << "Hz" << 50.0 << "100  Hz" << 100.0;
        QTest::newRow("bounded above") << "C" << 100.0 << 1e6 << "Hz" << 2e6 << "1 MHz" << 1e6;
        QTest::newRow("NaN gives the minimum") << "C" << 100.0 << 1e6 << "Hz" << NaN << "100  Hz" << 100.0;
        QTest::newRow("mV") << "C" << 0.01 << 100.0 << "mV" << 0.2 << "200 " + micro + "V" << 0.2;
        QTest::newRow("point") << "C" << 100.0 << 1e6 << "Hz" << 1500.0 << "1.5 kHz" << 1500.0;
        QTest::newRow("comma") << "fr_FR" << 100.0 << 1e6 << "Hz" << 1500.0 << "1,5 kHz" << 1500.0;
        QTest::newRow("comma, decimal rounding") << "fr_FR" << 100.0 << 1e6 << "Hz" << 1234.5 << "1,235 kHz" << 1234.5;
    }
    void setValue()
    {
        QFETCH(QString, locale);
        QFETCH(double, mini);
        QFETCH(double, maxi);
        QFETCH(QString, unite);
        QFETCH(double, x);
        QFETCH(QString, texte);
        QFETCH(double, valeur);
        QLocale::setDefault(QLocale(locale));
        TFloatEdit e;
        QSignalSpy change(&e, &QLineEdit::textChanged);
        regle(e, mini, maxi, unite, x);
        QCOMPARE(e.text(), texte);
        QCOMPARE(e.Value(), valeur);
        QCOMPARE(e.property("Value").toDouble(), valeur);
        QCOMPARE(change.count(), 1);
    }

    // The current value again leaves the text as it is, even when the unit has changed.
    void equalValueKeepsText()
    {
        TFloatEdit e;
        regle(e, 1, 1e6, QStringLiteral("Hz"), 100);
        QSignalSpy change(&e, &QLineEdit::textChanged);
        e.setNomUnite(QStringLiteral("kHz"));
        e.SetValue(100);
        QCOMPARE(e.text(), QStringLiteral("100  Hz"));
        e.SetValue(50);   // the unit written meanwhile applies at the next change
        QCOMPARE(e.text(), QStringLiteral("50 kHz"));
        QCOMPARE(change.count(), 1);
    }

    // Arrow keys and the buttons step by 2.15 to the next 1-2-5 value, bounded.
    void steps_data()
    {
        QTest::addColumn<double>("depart");
        QTest::addColumn<int>("touche");
        QTest::addColumn<QString>("texte");
        QTest::addColumn<double>("valeur");
        QTest::addColumn<int>("changements");
        QTest::newRow("5000 up") << 5000.0 << int(Qt::Key_Up) << "10 kHz" << 10000.0 << 1;
        QTest::newRow("1000 up") << 1000.0 << int(Qt::Key_Up) << "2 kHz" << 2000.0 << 1;
        QTest::newRow("10000 down") << 10000.0 << int(Qt::Key_Down) << "5 kHz" << 5000.0 << 1;
        QTest::newRow("100 down, at the minimum") << 100.0 << int(Qt::Key_Down) << "100  Hz" << 100.0 << 0;
        QTest::newRow("500 k up, at the maximum") << 5e5 << int(Qt::Key_Up) << "1 MHz" << 1e6 << 1;
    }
    void steps()
    {
        QFETCH(double, depart);
        QFETCH(int, touche);
        QFETCH(QString, texte);
        QFETCH(double, valeur);
        QFETCH(int, changements);
        for (bool parBouton : {false, true}) {
            EditCompte e;
            e.resize(120, 30);
            regle(e, 100, 1e6, QStringLiteral("Hz"), depart);
            const QString avant = e.text();
            QSignalSpy change(&e, &QLineEdit::textChanged);
            if (parBouton) {
                const auto boutons = e.boutons()->findChildren<QToolButton *>();
                QCOMPARE(boutons.size(), 2);
                QToolButton *b = boutons.at(touche == Qt::Key_Up ? 0 : 1);
                QCOMPARE(b->arrowType(), touche == Qt::Key_Up ? Qt::UpArrow : Qt::DownArrow);
                b->click();
            } else {
                QTest::keyClick(&e, Qt::Key(touche));
            }
            QCOMPARE(e.text(), changements ? texte : avant);
            QCOMPARE(e.Value(), valeur);
            QCOMPARE(change.count(), changements);
            QCOMPARE(e.bips, 0);
        }
    }

    void readOnlyStepsBeep()
    {
        EditCompte e;
        regle(e, 1, 1e6, QStringLiteral("Hz"), 1000);
        e.setReadOnly(true);
        e.UpStep();
        QTest::keyClick(&e, Qt::Key_Down);
        QCOMPARE(e.bips, 2);
        QCOMPARE(e.Value(), 1000.0);
        QCOMPARE(e.text(), QStringLiteral("1 kHz"));
    }

    // Typed characters: refused ones beep and change nothing; Tab still moves on.
    void typing_data()
    {
        QTest::addColumn<bool>("editeur");
        QTest::addColumn<QString>("saisie");
        QTest::addColumn<QString>("texte");
        QTest::addColumn<int>("bips");
        QTest::newRow("digits") << true << "25" << "1 kHz25" << 0;
        QTest::newRow("letter") << true << "k" << "1 kHz" << 1;
        QTest::newRow("no editor: digit") << false << "5" << "1 kHz" << 1;
        QTest::newRow("no editor: point and minus") << false << ".-" << "1 kHz" << 2;
    }
    void typing()
    {
        QFETCH(bool, editeur);
        QFETCH(QString, saisie);
        QFETCH(QString, texte);
        QFETCH(int, bips);
        Fenetre f;
        regle(*f.edit, 1, 1e6, QStringLiteral("Hz"), 1000);
        f.edit->setEditorEnabled(editeur);
        f.edit->setFocus(Qt::OtherFocusReason);
        f.edit->deselect();
        f.edit->end(false);
        QTest::keyClicks(f.edit, saisie);
        QCOMPARE(f.edit->text(), texte);
        QCOMPARE(f.edit->bips, bips);
        QTest::keyClick(f.edit, Qt::Key_Tab);
        QVERIFY(QTest::qWaitFor([&] { return f.apres->hasFocus(); }, 1000));
        QCOMPARE(f.edit->bips, bips);
    }

    // Without the editor the text changes only by the steps.
    void editorDisabledKeepsText()
    {
        Fenetre f;
        regle(*f.edit, 1, 1e6, QStringLiteral("Hz"), 1000);
        f.edit->setEditorEnabled(false);
        f.edit->setFocus(Qt::OtherFocusReason);
        f.edit->end(false);
        QGuiApplication::clipboard()->setText(QStringLiteral("7"));
        QTest::keyClick(f.edit, Qt::Key_Backspace);
        QCOMPARE(f.edit->bips, 1);
        QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(f.edit, Qt::Key_Home);
        QTest::keyClick(f.edit, Qt::Key_Delete);
        f.edit->selectAll();
        QTest::keyClick(f.edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(f.edit->text(), QStringLiteral("1 kHz"));
        QCOMPARE(f.edit->bips, 1);
        QTest::keyClick(f.edit, Qt::Key_Up);
        QCOMPARE(f.edit->text(), QStringLiteral("2 kHz"));
        // With the editor, pasting works.
        f.edit->setEditorEnabled(true);
        f.edit->end(false);
        QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.edit->text(), QStringLiteral("2 kHz7"));
    }

    // A bound changed meanwhile applies when the focus leaves, before the owner reads the text.
    void focusOutRebounds()
    {
        Fenetre f;
        regle(*f.edit, 1, 1e6, QStringLiteral("Hz"), 5000);
        f.edit->setFocus(Qt::OtherFocusReason);
        QVERIFY(QTest::qWaitFor([&] { return f.edit->hasFocus(); }, 1000));
        f.edit->setMaxValue(2000);
        QCOMPARE(f.edit->text(), QStringLiteral("5 kHz"));
        QString luParLeProprietaire;
        QObject::connect(f.edit, &QLineEdit::editingFinished, f.edit, [&] { luParLeProprietaire = f.edit->text(); });
        f.apres->setFocus(Qt::TabFocusReason);
        QVERIFY(QTest::qWaitFor([&] { return f.apres->hasFocus(); }, 1000));
        QCOMPARE(f.edit->Value(), 2000.0);
        QCOMPARE(f.edit->text(), QStringLiteral("2 kHz"));
        QCOMPARE(luParLeProprietaire, QStringLiteral("2 kHz"));
    }

    void focusInSelects_data()
    {
        QTest::addColumn<bool>("autoSelect");
        QTest::addColumn<bool>("parClic");
        QTest::addColumn<bool>("toutSelectionne");
        QTest::newRow("tab") << true << false << true;
        QTest::newRow("left click") << true << true << false;
        QTest::newRow("tab, no auto-select") << false << false << false;
    }
    void focusInSelects()
    {
        QFETCH(bool, autoSelect);
        QFETCH(bool, parClic);
        QFETCH(bool, toutSelectionne);
        Fenetre f;
        QVERIFY(QTest::qWaitForWindowActive(&f.w));
        regle(*f.edit, 1, 1e6, QStringLiteral("Hz"), 1000);
        f.edit->setAutoSelect(autoSelect);
        f.avant->setFocus(Qt::OtherFocusReason);
        QVERIFY(QTest::qWaitFor([&] { return f.avant->hasFocus(); }, 1000));
        if (parClic)
            QTest::mouseClick(f.edit, Qt::LeftButton, {}, QPoint(5, f.edit->height() / 2));
        else
            QTest::keyClick(f.avant, Qt::Key_Tab);
        QVERIFY(QTest::qWaitFor([&] { return f.edit->hasFocus(); }, 1000));
        QCOMPARE(f.edit->selectedText() == f.edit->text(), toutSelectionne);
    }

    // The buttons keep the right edge at full height; the height follows the font.
    void layout()
    {
        TFloatEdit e;
        e.show();
        e.resize(120, 40);
        QCOMPARE(e.boutons()->geometry(), QRect(120 - TFloatEdit::LargeurBouton, 0, TFloatEdit::LargeurBouton, 40));
        QCOMPARE(e.boutons()->parentWidget(), &e);
        QVERIFY(e.textMargins().right() >= TFloatEdit::LargeurBouton);

        const int petite = e.minimumHeight();
        QVERIFY(petite > e.fontMetrics().height());
        QFont grande = e.font();
        grande.setPointSize(40);
        e.setFont(grande);
        const int h = e.fontMetrics().height();
        QVERIFY2(h > 40, "a 40-point font is higher than 40 pixels");
        QVERIFY(e.minimumHeight() > h + 2);
        QVERIFY(e.minimumHeight() > petite + 20);
        e.resize(120, 10);
        QCOMPARE(e.height(), e.minimumHeight());
        QCOMPARE(e.boutons()->height(), e.height());
        QCOMPARE(HauteurMinimale(16, 13, 1), 16 + 3 + 4 + 2);
    }
};

QTEST_MAIN(TestFloatEdit)
#include "tst_floatedit.moc"
