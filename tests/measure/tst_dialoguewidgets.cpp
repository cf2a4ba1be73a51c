#include "measure/dialoguewidgets.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QScreen>
#include <QtTest>
#include <functional>

namespace {

struct VuBoite {
    QStringList boutons;
    QPoint centre;
    QString texte;
};

// Waits for the modal box, notes what it shows, then answers it with `repondre`.
void repondQuandOuverte(VuBoite &vu, std::function<void(QMessageBox *)> repondre)
{
    auto *minuterie = new QTimer;
    QObject::connect(minuterie, &QTimer::timeout, minuterie, [=, &vu] {
        auto *boite = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!boite || !boite->isVisible())
            return;
        minuterie->stop();
        minuterie->deleteLater();
        for (QAbstractButton *b : boite->buttons())
            vu.boutons << b->text();
        vu.boutons.sort();
        vu.centre = boite->frameGeometry().center();
        vu.texte = boite->text();
        repondre(boite);
    });
    minuterie->start(10);
}

QAbstractButton *bouton(QMessageBox *boite, const QString &texte)
{
    for (QAbstractButton *b : boite->buttons())
        if (b->text() == texte)
            return b;
    return nullptr;
}

bool presDuCentre(QPoint p)
{
    const QPoint c = QGuiApplication::primaryScreen()->availableGeometry().center();
    return (p - c).manhattanLength() <= 4;
}

} // namespace

class TestDialogueWidgets : public QObject {
    Q_OBJECT
private slots:
    void confirm_data()
    {
        QTest::addColumn<QString>("reponse");   // button text, or "Esc"
        QTest::addColumn<bool>("attendu");
        QTest::newRow("Oui") << "Oui" << true;
        QTest::newRow("Non") << "Non" << false;
        QTest::newRow("Escape is no") << "Esc" << false;
        QTest::newRow("Enter is yes") << "Enter" << true;
    }
    void confirm()
    {
        QFETCH(QString, reponse);
        QFETCH(bool, attendu);
        TDialogueWidgets d;
        setDialogue(&d);
        VuBoite vu;
        repondQuandOuverte(vu, [reponse](QMessageBox *boite) {
            if (reponse == QLatin1String("Esc"))
                QTest::keyClick(boite, Qt::Key_Escape);
            else if (reponse == QLatin1String("Enter"))
                QTest::keyClick(boite, Qt::Key_Return);
            else if (QAbstractButton *b = bouton(boite, reponse))
                b->click();
        });
        const bool r = Confirm(QStringLiteral("Effacer les mesures ?"));
        setDialogue(nullptr);
        QCOMPARE(r, attendu);
        QCOMPARE(vu.boutons, (QStringList{"Non", "Oui"}));
        QCOMPARE(vu.texte, QStringLiteral("Effacer les mesures ?"));
        QVERIFY(presDuCentre(vu.centre));
    }

    void inform()
    {
        TDialogueWidgets d;
        setDialogue(&d);
        VuBoite vu;
        repondQuandOuverte(vu, [](QMessageBox *boite) { bouton(boite, QStringLiteral("OK"))->click(); });
        Inform(QStringLiteral("Acquisition terminée"));
        setDialogue(nullptr);
        QCOMPARE(vu.boutons, QStringList{"OK"});
        QCOMPARE(vu.texte, QStringLiteral("Acquisition terminée"));
        QVERIFY(presDuCentre(vu.centre));
    }
};

QTEST_MAIN(TestDialogueWidgets)
#include "tst_dialoguewidgets.moc"
