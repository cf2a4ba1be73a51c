// The sweep's dialog, offscreen: its values kept in the settings from one run to the next,
// the typed frequencies, and OK refusing what the sweep could not run.
#include "generator/balayagedlg.h"
#include "generator/balayagefenetre.h"
#include "measure/unites.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
class TDialogueNote : public IDialogue {
public:
    bool confirm(const QString &m) override { questions << m; return false; }
    void inform(const QString &m) override { messages << m; }
    QStringList questions, messages;
};

void remplit(TBalayageDlg &d, const QString &ressource, const QString &debut, const QString &fin, int parDecade = 10)
{
    d.RessourceEdit->setText(ressource);
    d.DebutEdit->setText(debut);
    d.FinEdit->setText(fin);
    d.ParDecadeSpin->setValue(parDecade);
}
} // namespace

class TstBalayageDlg : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    TDialogueNote note;

private slots:
    void initTestCase()
    {
        qputenv("ONDIVAR_CONFIG", dossier.filePath(QStringLiteral("ondivar.ini")).toLocal8Bit());
        setDialogue(&note);
    }
    void cleanupTestCase() { setDialogue(nullptr); }
    void init()
    {
        note = TDialogueNote();
        QFile::remove(dossier.filePath(QStringLiteral("ondivar.ini")));
    }

    // OK writes the values to the settings; the next dialog opens with them; Cancel writes
    // nothing. What the dialog does not show (the amplitude) is kept.
    void reglagesGardes()
    {
        {
            QSettings s(dossier.filePath(QStringLiteral("ondivar.ini")), QSettings::IniFormat);
            s.setValue(QStringLiteral("Balayage/Amplitude"), QStringLiteral("2"));
        }
        QWidget fenetre;
        TBalayageFenetre b(&fenetre);
        TReglagesBalayage r;
        const bool ok = b.demande(r, [](TBalayageDlg &d) {
            // The defaults at the first run.
            if (d.RessourceEdit->text() != QString() || d.DebutEdit->text() != QStringLiteral("100 Hz")
                || d.FinEdit->text() != QStringLiteral("10 kHz") || d.ParDecadeSpin->value() != 10
                || d.AttenteSpin->value() != 200 || d.DialecteCB->currentText() != QStringLiteral("Automatique"))
                return int(QDialog::Rejected);
            remplit(d, QStringLiteral(" TCPIP0::192.168.1.20::5025::SOCKET "), QStringLiteral("1234,5"),
                    QStringLiteral("20 kHz"), 7);
            d.AttenteSpin->setValue(500);
            d.DialecteCB->setCurrentIndex(d.DialecteCB->findText(QStringLiteral("Siglent SDG")));
            d.OKBtn->click();
            return d.result();
        });
        QVERIFY(ok);
        QCOMPARE(r.ressource, QStringLiteral("TCPIP0::192.168.1.20::5025::SOCKET"));
        QCOMPARE(r.dialecte, TDialecteGenerateur::SiglentSDG);
        QCOMPARE(r.parametres.debut, 1234.5);
        QCOMPARE(r.parametres.fin, 20000.0);
        QCOMPARE(r.parametres.parDecade, 7);
        QCOMPARE(r.parametres.attenteMinMs, 500);
        QCOMPARE(r.amplitude, 2.0);

        const TReglagesBalayage lu = LitReglagesBalayage();
        QCOMPARE(lu.ressource, r.ressource);
        QCOMPARE(lu.dialecte, r.dialecte);
        QCOMPARE(lu.parametres.debut, 1234.5);
        QCOMPARE(lu.parametres.parDecade, 7);
        QCOMPARE(lu.amplitude, 2.0);

        QString vus;
        QVERIFY(!b.demande(r, [&](TBalayageDlg &d) {
            vus = d.RessourceEdit->text() + '|' + d.DialecteCB->currentText() + '|' + d.DebutEdit->text() + '|'
                  + d.FinEdit->text() + '|' + QString::number(d.AttenteSpin->value());
            d.RessourceEdit->setText(QStringLiteral("COM4"));
            d.AnnulerBtn->click();
            return d.result();
        }));
        QCOMPARE(vus, QStringLiteral("TCPIP0::192.168.1.20::5025::SOCKET|Siglent SDG|") + FormatGeneral(1234.5, 9)
                          + QStringLiteral(" Hz|20 kHz|500"));
        QCOMPARE(LitReglagesBalayage().ressource, r.ressource);
        QVERIFY(note.messages.isEmpty());
    }

    void refus_data()
    {
        QTest::addColumn<QString>("ressource");
        QTest::addColumn<QString>("debut");
        QTest::addColumn<QString>("fin");
        QTest::addColumn<int>("parDecade");
        QTest::addColumn<QString>("message");   // the start of the box's text
        QTest::addColumn<QString>("focus");
        QTest::newRow("no generator") << "  " << "100" << "10k" << 10 << "Aucun générateur indiqué" << "RessourceEdit";
        QTest::newRow("unknown resource") << "GPIB0::5::INSTR" << "100" << "10k" << 10
                                          << "Ressource du générateur incorrecte : « GPIB0::5::INSTR »" << "RessourceEdit";
        QTest::newRow("start not a number") << "COM3" << "abc" << "10k" << 10
                                            << "Fréquences de début et de fin du balayage incorrectes" << "DebutEdit";
        QTest::newRow("negative end") << "COM3" << "100" << "-5" << 10
                                      << "Fréquences de début et de fin du balayage incorrectes" << "FinEdit";
        QTest::newRow("equal ends") << "USB0::0x1AB1::0x0642::DG1ZA1::INSTR" << "1k" << "1000 Hz" << 10
                                    << "Les fréquences de début et de fin du balayage sont égales" << "FinEdit";
        QTest::newRow("too many points") << "COM3:115200" << "1m" << "1G" << 1000 << "Balayage de plus de 10000 points"
                                         << "FinEdit";
    }
    void refus()
    {
        QFETCH(QString, ressource);
        QFETCH(QString, debut);
        QFETCH(QString, fin);
        QFETCH(int, parDecade);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        TBalayageDlg d(TReglagesBalayage{});
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        remplit(d, ressource, debut, fin, parDecade);
        d.OKBtn->click();
        QCOMPARE(note.messages.size(), 1);
        QVERIFY2(note.messages.first().startsWith(message), qPrintable(note.messages.first()));
        // Still open, with the faulty value to correct.
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(d.focusWidget() ? d.focusWidget()->objectName() : QString(), focus);
    }
};

QTEST_MAIN(TstBalayageDlg)
#include "tst_balayagedlg.moc"
