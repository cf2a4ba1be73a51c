// The generator driver against the simulated generator, in every dialect and on both
// transports, with its faults; the pure command and identification rules in tables.
#include "generator/generateur.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/ticktimer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>
#include <cmath>

Q_DECLARE_METATYPE(TDialecteGenerateur)

namespace {

// ondivar-sim with a generator beside the oscilloscope.
class Banc {
public:
    explicit Banc(const QStringList &args)
    {
        proc.start(ONDIVAR_SIM_EXE, args);
        if (!proc.waitForStarted(5000))
            return;
        while (generateur.isEmpty() && proc.waitForReadyRead(5000)) {
            while (proc.canReadLine()) {
                const QByteArray l = proc.readLine().trimmed();
                if (l.startsWith("PTY "))
                    oscillo = QString::fromLocal8Bit(l.mid(4));
                else if (l.startsWith("GEN "))
                    generateur = QString::fromLocal8Bit(l.mid(4));
            }
        }
    }
    ~Banc()
    {
        proc.kill();
        proc.waitForFinished(3000);
    }
    // The generator's resource: its socket, or COM7 mapped to its pseudo-terminal (the
    // oscilloscope on COM8).
    QString ressource(const QString &baud = QString())
    {
        if (generateur.startsWith(QLatin1String("TCPIP")))
            return generateur;
        qputenv("ONDIVAR_PORTS", QStringLiteral("7=%1;8=%2").arg(generateur, oscillo).toLocal8Bit());
        return baud.isEmpty() ? QStringLiteral("COM7") : QStringLiteral("COM7:") + baud;
    }
    QProcess proc;
    QString oscillo, generateur;
};

// A clock that jumps at every reading: time-outs pass in a few real milliseconds while
// replies that are there still come first.
class HorlogeRapide {
public:
    HorlogeRapide()
    {
        TickClock::setSource([this] { return t_ += 25; });
    }
    ~HorlogeRapide() { TickClock::setSource({}); }

private:
    qint64 t_ = 1000000;
};

QStringList argsBanc(const QString &dialecte, bool tcp, const QString &defaut = QString())
{
    QStringList a{"--model", "54622D", "--autoset", "--generateur", dialecte};
    if (tcp)
        a << "--generateur-tcp" << "0";
    if (!defaut.isEmpty())
        a << "--generateur-defaut" << defaut;
    return a;
}

} // namespace

class TstGenerateur : public QObject {
    Q_OBJECT
private slots:
    void identite_data();
    void identite();
    void commandes_data();
    void commandes();
    void relecture_data();
    void relecture();
    void dialectes_data();
    void dialectes();
    void silencieux_data();
    void silencieux();
    void refus_data();
    void refus();
    void muetEnCours();
    void ressourcesIncorrectes_data();
    void ressourcesIncorrectes();
};

void TstGenerateur::identite_data()
{
    QTest::addColumn<QByteArray>("idn");
    QTest::addColumn<TDialecteGenerateur>("attendu");
    QTest::newRow("rigol DG") << QByteArray("Rigol Technologies,DG1022Z,DG1ZA1,00.01") << TDialecteGenerateur::RigolDG;
    QTest::newRow("rigol scope is not DG") << QByteArray("RIGOL TECHNOLOGIES,DS1102E,X,1") << TDialecteGenerateur::Scpi;
    QTest::newRow("siglent SDG") << QByteArray("Siglent Technologies,SDG2042X,S,2") << TDialecteGenerateur::SiglentSDG;
    QTest::newRow("agilent 33220A") << QByteArray("Agilent Technologies,33220A,MY1,2.02") << TDialecteGenerateur::Keysight33;
    QTest::newRow("keysight 33511B") << QByteArray("Keysight Technologies,33511B,MY2,4.03") << TDialecteGenerateur::Keysight33;
    QTest::newRow("feeltech model") << QByteArray("FY6900-60M\n") << TDialecteGenerateur::FeelTech;
    QTest::newRow("other maker") << QByteArray("TEKTRONIX,AFG1022,C1,V1.2") << TDialecteGenerateur::Scpi;
    QTest::newRow("nothing") << QByteArray("  \r\n") << TDialecteGenerateur::Auto;
}

void TstGenerateur::identite()
{
    QFETCH(QByteArray, idn);
    QFETCH(TDialecteGenerateur, attendu);
    QCOMPARE(DialecteIdentite(idn), attendu);
}

void TstGenerateur::commandes_data()
{
    QTest::addColumn<TDialecteGenerateur>("d");
    QTest::addColumn<double>("f");
    QTest::addColumn<QByteArray>("attendu");
    QTest::newRow("scpi") << TDialecteGenerateur::Scpi << 1000.0 << QByteArray("FREQ 1000");
    QTest::newRow("scpi decimals") << TDialecteGenerateur::Scpi << 1234.5678 << QByteArray("FREQ 1234.5678");
    QTest::newRow("scpi microhertz") << TDialecteGenerateur::Keysight33 << 0.0000014 << QByteArray("FREQ 0.000001");
    QTest::newRow("rigol") << TDialecteGenerateur::RigolDG << 12589.254118 << QByteArray(":SOUR1:FREQ 12589.254118");
    QTest::newRow("siglent") << TDialecteGenerateur::SiglentSDG << 2e6 << QByteArray("C1:BSWV FRQ,2000000");
    QTest::newRow("keysight") << TDialecteGenerateur::Keysight33 << 158.489319246 << QByteArray("FREQ 158.489319");
    QTest::newRow("feeltech 1 kHz") << TDialecteGenerateur::FeelTech << 1000.0 << QByteArray("WMF00001000000000");
    QTest::newRow("feeltech 0.5 Hz") << TDialecteGenerateur::FeelTech << 0.5 << QByteArray("WMF00000000500000");
    QTest::newRow("feeltech 60 MHz") << TDialecteGenerateur::FeelTech << 60e6 << QByteArray("WMF60000000000000");
}

void TstGenerateur::commandes()
{
    QFETCH(TDialecteGenerateur, d);
    QFETCH(double, f);
    QFETCH(QByteArray, attendu);
    QCOMPARE(CommandeFrequence(d, f), attendu);
}

void TstGenerateur::relecture_data()
{
    QTest::addColumn<TDialecteGenerateur>("d");
    QTest::addColumn<QByteArray>("reponse");
    QTest::addColumn<double>("attendu");
    QTest::newRow("keysight") << TDialecteGenerateur::Keysight33 << QByteArray("+1.0000000000000E+03") << 1000.0;
    QTest::newRow("rigol") << TDialecteGenerateur::RigolDG << QByteArray("1.258925E+04") << 12589.25;
    QTest::newRow("siglent") << TDialecteGenerateur::SiglentSDG
                             << QByteArray("C1:BSWV WVTP,SINE,FRQ,2500HZ,PERI,0.0004S,AMP,2V") << 2500.0;
    QTest::newRow("siglent without FRQ") << TDialecteGenerateur::SiglentSDG << QByteArray("C1:BSWV WVTP,NOISE") << qQNaN();
    QTest::newRow("garbage") << TDialecteGenerateur::Scpi << QByteArray("ERR") << qQNaN();
}

void TstGenerateur::relecture()
{
    QFETCH(TDialecteGenerateur, d);
    QFETCH(QByteArray, reponse);
    QFETCH(double, attendu);
    const double v = LitFrequence(d, reponse);
    if (std::isnan(attendu))
        QVERIFY(std::isnan(v));
    else
        QCOMPARE(v, attendu);
}

// Each dialect, identified by "*IDN?" (or the FeelTech probe) or given, sets the frequency,
// and the oscilloscope of the same simulator then measures that frequency on CH1.
void TstGenerateur::dialectes_data()
{
    QTest::addColumn<QString>("sim");
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<TDialecteGenerateur>("reglage");
    QTest::addColumn<TDialecteGenerateur>("attendu");
    using D = TDialecteGenerateur;
    QTest::newRow("scpi socket") << "scpi" << true << "" << D::Auto << D::Scpi;
    QTest::newRow("rigol socket") << "rigol" << true << "" << D::Auto << D::RigolDG;
    QTest::newRow("siglent socket") << "siglent" << true << "" << D::Auto << D::SiglentSDG;
    QTest::newRow("keysight socket") << "keysight" << true << "" << D::Auto << D::Keysight33;
    QTest::newRow("keysight serial") << "keysight" << false << "57600" << D::Auto << D::Keysight33;
    QTest::newRow("rigol given") << "rigol" << true << "" << D::RigolDG << D::RigolDG;
    QTest::newRow("feeltech found") << "feeltech" << false << "" << D::Auto << D::FeelTech;
    QTest::newRow("feeltech given") << "feeltech" << false << "" << D::FeelTech << D::FeelTech;
    QTest::newRow("feeltech found at its named speed") << "feeltech" << false << "115200" << D::Auto << D::FeelTech;
}

void TstGenerateur::dialectes()
{
    QFETCH(QString, sim);
    QFETCH(bool, tcp);
    QFETCH(QString, baud);
    QFETCH(TDialecteGenerateur, reglage);
    QFETCH(TDialecteGenerateur, attendu);
    Banc banc(argsBanc(sim, tcp));
    QVERIFY(!banc.generateur.isEmpty());
    const QString res = banc.ressource(baud);

    TGenerateur g;
    TReglageGenerateur r;
    r.dialecte = reglage;
    r.amplitude = 1.0;
    QString erreur;
    {
        // Only the FeelTech probe waits for a silence (its "*IDN?" is not answered).
        std::unique_ptr<HorlogeRapide> h;
        if (attendu == TDialecteGenerateur::FeelTech && reglage == TDialecteGenerateur::Auto)
            h = std::make_unique<HorlogeRapide>();
        QVERIFY2(g.ouvre(res, r, erreur), qPrintable(erreur));
    }
    QCOMPARE(g.dialecte(), attendu);
    QVERIFY(!g.identite().isEmpty());
    QCOMPARE(g.ressource(), res);
    QVERIFY2(g.regleFrequence(2500.0, erreur), qPrintable(erreur));
    QCOMPARE(g.frequence(), 2500.0);
    QVERIFY2(g.regleFrequence(316.227766, erreur), qPrintable(erreur));

    // The oscilloscope of the same bench sees the new frequency.
    qputenv("ONDIVAR_PORTS", QStringLiteral("8=%1").arg(banc.oscillo).toLocal8Bit());
    TPortSerie port;
    port.setComNumber(8);
    port.setBaud(19200);
    port.setOpen(true);
    TEchange echange(port);
    const double f = echange.GetFloat(":MEAS:FREQ?");
    QVERIFY2(std::fabs(f - 316.227766) < 0.01, qPrintable(QString::number(f)));
}

void TstGenerateur::silencieux_data()
{
    QTest::addColumn<QString>("sim");
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<TDialecteGenerateur>("reglage");
    QTest::addColumn<QString>("commande");
    QTest::newRow("socket, identified") << "rigol" << true << TDialecteGenerateur::Auto << "*IDN?";
    QTest::newRow("socket, given") << "siglent" << true << TDialecteGenerateur::SiglentSDG << "*IDN?";
    QTest::newRow("serial, both probes") << "scpi" << false << TDialecteGenerateur::Auto << "UMO";
    QTest::newRow("serial, feeltech") << "feeltech" << false << TDialecteGenerateur::FeelTech << "UMO";
}

// Nothing answers: a French message naming the resource and what went unanswered; the
// generator stays closed.
void TstGenerateur::silencieux()
{
    QFETCH(QString, sim);
    QFETCH(bool, tcp);
    QFETCH(TDialecteGenerateur, reglage);
    QFETCH(QString, commande);
    Banc banc(argsBanc(sim, tcp, "silence"));
    QVERIFY(!banc.generateur.isEmpty());
    const QString res = banc.ressource();
    TGenerateur g;
    TReglageGenerateur r;
    r.dialecte = reglage;
    QString erreur;
    {
        HorlogeRapide h;
        QVERIFY(!g.ouvre(res, r, erreur));
    }
    QVERIFY(!g.estOuvert());
    QVERIFY2(erreur.contains(res), qPrintable(erreur));
    QVERIFY2(erreur.contains(QStringLiteral("ne répond")), qPrintable(erreur));
    QVERIFY2(erreur.contains(commande), qPrintable(erreur));
    QVERIFY(!g.regleFrequence(1000, erreur));
}

void TstGenerateur::refus_data()
{
    QTest::addColumn<QString>("sim");
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QString>("commande");
    QTest::newRow("rigol") << "rigol" << true << ":SOUR1:FREQ 2000";
    QTest::newRow("siglent") << "siglent" << true << "C1:BSWV FRQ,2000";
    QTest::newRow("scpi") << "scpi" << true << "FREQ 2000";
    QTest::newRow("feeltech") << "feeltech" << false << "WMF00002000000000";
}

// The second frequency is refused: the message names the command, the generator stays
// usable and keeps its last good frequency.
void TstGenerateur::refus()
{
    QFETCH(QString, sim);
    QFETCH(bool, tcp);
    QFETCH(QString, commande);
    Banc banc(argsBanc(sim, tcp, "refus-apres=2"));
    TGenerateur g;
    TReglageGenerateur r;
    r.dialecte = sim == "feeltech" ? TDialecteGenerateur::FeelTech : TDialecteGenerateur::Auto;
    QString erreur;
    QVERIFY2(g.ouvre(banc.ressource(), r, erreur), qPrintable(erreur));
    QVERIFY2(g.regleFrequence(1000, erreur), qPrintable(erreur));
    QVERIFY(!g.regleFrequence(2000, erreur));
    QVERIFY2(erreur.contains(QStringLiteral("a refusé la commande « %1 »").arg(commande)), qPrintable(erreur));
    QVERIFY(erreur.contains(banc.ressource()));
    QVERIFY(g.estOuvert());
    QCOMPARE(g.frequence(), 1000.0);
}

// A generator that stops answering during use is closed with its message.
void TstGenerateur::muetEnCours()
{
    Banc banc(argsBanc("keysight", true, "silence-apres=2"));
    TGenerateur g;
    QString erreur;
    QVERIFY2(g.ouvre(banc.ressource(), TReglageGenerateur(), erreur), qPrintable(erreur));
    QVERIFY2(g.regleFrequence(1000, erreur), qPrintable(erreur));
    {
        HorlogeRapide h;
        QVERIFY(!g.regleFrequence(2000, erreur));
    }
    QVERIFY2(erreur.contains(QStringLiteral("ne répond pas à « FREQ? »")), qPrintable(erreur));
    QVERIFY(!g.estOuvert());
}

void TstGenerateur::ressourcesIncorrectes_data()
{
    QTest::addColumn<QString>("ressource");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("word") << "generateur" << "Ressource du générateur incorrecte";
    QTest::newRow("COM0") << "COM0" << "Ressource du générateur incorrecte";
    QTest::newRow("COM51") << "COM51" << "Ressource du générateur incorrecte";
    QTest::newRow("socket without port") << "TCPIP0::127.0.0.1::SOCKET" << "Ressource du générateur incorrecte";
    QTest::newRow("nobody listening") << "TCPIP0::127.0.0.1::1::SOCKET" << "Impossible de joindre le générateur";
    QTest::newRow("unmapped port") << "COM33" << "Impossible d'ouvrir le générateur sur COM33";
    QTest::newRow("no such USB") << "USB0::0x1AB1::0x0642::NONE::INSTR" << "absent";
}

void TstGenerateur::ressourcesIncorrectes()
{
    QFETCH(QString, ressource);
    QFETCH(QString, attendu);
    qputenv("ONDIVAR_PORTS", "33=/nonexistent/tty");
    qputenv("ONDIVAR_USBTMC_DIR", QDir::tempPath().toLocal8Bit() + "/ondivar-no-usbtmc");
    TGenerateur g;
    QString erreur;
    QVERIFY(!g.ouvre(ressource, TReglageGenerateur(), erreur));
    QVERIFY2(erreur.contains(attendu), qPrintable(erreur));
    QVERIFY(!g.estOuvert());
}

QTEST_GUILESS_MAIN(TstGenerateur)
#include "tst_generateur.moc"
