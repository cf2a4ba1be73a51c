// The sweep: its frequency list, the settling wait, the oscilloscope commands per maker, the
// vertical-scale adjustment, retry-then-skip, Stop and a failing generator, with stand-ins for
// the generator, the oscilloscope and the window's point on a clock the test drives; and one
// run against the simulated generator.
#include "generator/balayage.h"
#include "generator/reglagesbalayage.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/ticktimer.h"
#include "measure/unites.h"

#include <QProcess>
#include <QtTest>
#include <cmath>
#include <functional>

Q_DECLARE_METATYPE(Tconstructeur)

namespace {

// The test's clock: it moves only when the sweep lets the interface work.
qint64 maintenant = 0;

struct Evenement {
    QByteArray quoi;
    qint64 t;
};

// Everything the stand-ins saw, in order.
struct Journal {
    std::vector<Evenement> e;
    void note(const QByteArray &q) { e.push_back({q, maintenant}); }
    QList<QByteArray> quoi() const
    {
        QList<QByteArray> l;
        for (const auto &x : e)
            l << x.quoi;
        return l;
    }
};

class FauxGenerateur : public IGenerateurBalayage {
public:
    explicit FauxGenerateur(Journal &j) : j_(j) {}
    bool regleFrequence(double f, QString &erreur) override
    {
        if (int(frequences.size()) == panneA) {
            erreur = QStringLiteral("Le générateur COM7 ne répond pas à « FREQ? »");
            return false;
        }
        frequences.push_back(f);
        j_.note("GEN " + QByteArray::number(f));
        return true;
    }
    std::vector<double> frequences;
    int panneA = -1;   // fails at this call (0-based)
private:
    Journal &j_;
};

class FauxOscillo : public IOscilloBalayage {
public:
    FauxOscillo(Journal &j, Tconstructeur c) : j_(j), c_(c) {}
    Tconstructeur constructeur() const override { return c_; }
    void commande(const QByteArray &c) override
    {
        j_.note(c);
        maintenant += dureeMs;
    }
    qint64 dureeMs = 0;   // what each command takes (a command without reply waits)
private:
    Journal &j_;
    Tconstructeur c_;
};

class FauxPoint : public IPointBalayage {
public:
    explicit FauxPoint(Journal &j) : j_(j) {}
    bool mesure(QString &erreur) override
    {
        const int n = mesures++;
        j_.note("MESURE");
        if (pendantMesure)
            pendantMesure(n);
        if (lance && lance(n))
            return false;
        if (echecs.contains(n)) {
            erreur = QStringLiteral("Moins de deux périodes ?");
            return false;
        }
        return true;
    }
    void enregistre() override
    {
        ++enregistrements;
        j_.note("ENREGISTRE");
    }
    bool voieEcran(int n, TVoieEcran &e) override
    {
        if (n != 1 || ecrans.empty())
            return false;
        e = ecrans.front();
        if (ecrans.size() > 1)
            ecrans.erase(ecrans.begin());
        return true;
    }
    double gain() const override { return 0.5; }
    double phase() const override { return -45; }

    int mesures = 0;
    int enregistrements = 0;
    QSet<int> echecs;                     // measurement numbers (0-based) that fail
    std::function<void(int)> pendantMesure;
    std::function<bool(int)> lance;       // throws for some measurement numbers
    std::vector<TVoieEcran> ecrans;       // what CH1 shows after each measurement
private:
    Journal &j_;
};

class FausseVue : public IVueBalayage {
public:
    void progression(int k, int n, double) override { derniere = {k, n}; }
    void etat(const QString &t) override { etats << t; }
    void pompe() override
    {
        maintenant += 10;
        if (pendantPompe)
            pendantPompe();
    }
    QPair<int, int> derniere{0, 0};
    QStringList etats;
    std::function<void()> pendantPompe;
};

class Horloge {
public:
    Horloge()
    {
        maintenant = 0;
        TickClock::setSource([] { return maintenant; });
    }
    ~Horloge() { TickClock::setSource({}); }
};

TParametresBalayage parametres(double debut, double fin, int parDecade = 10)
{
    TParametresBalayage p;
    p.debut = debut;
    p.fin = fin;
    p.parDecade = parDecade;
    return p;
}

} // namespace

class TstBalayage : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { arretAcquisition = false; }
    void frequences_data();
    void frequences();
    void frequencesRefusees_data();
    void frequencesRefusees();
    void attente_data();
    void attente();
    void baseDeTemps_data();
    void baseDeTemps();
    void deroulement();
    void reglageVertical_data();
    void reglageVertical();
    void repriseEtAbandon();
    void exceptions();
    void arret_data();
    void arret();
    void generateurEnPanne();
    void generateurSimule();
    void reglages();
    void reglagesIllisibles_data();
    void reglagesIllisibles();
    void filtreSimule_data();
    void filtreSimule();
    void oscilloReel_data();
    void oscilloReel();
};

void TstBalayage::frequences_data()
{
    QTest::addColumn<double>("debut");
    QTest::addColumn<double>("fin");
    QTest::addColumn<bool>("log");
    QTest::addColumn<int>("n");   // per decade, or points
    QTest::addColumn<int>("compte");
    QTest::addColumn<double>("milieu");   // the value at index compte / 2
    QTest::newRow("two decades, 10 per decade") << 100.0 << 10000.0 << true << 10 << 21 << 1000.0;
    QTest::newRow("end off the steps added") << 100.0 << 5000.0 << true << 10 << 18 << 794.328235;
    QTest::newRow("end just past a step takes its place") << 100.0 << 1001.0 << true << 5 << 6 << 398.107171;
    QTest::newRow("downwards") << 10000.0 << 100.0 << true << 10 << 21 << 1000.0;
    QTest::newRow("less than a step") << 100.0 << 110.0 << true << 10 << 2 << 110.0;
    QTest::newRow("linear") << 1000.0 << 2000.0 << false << 11 << 11 << 1500.0;
    QTest::newRow("linear, two points") << 50.0 << 60.0 << false << 2 << 2 << 60.0;
}

void TstBalayage::frequences()
{
    QFETCH(double, debut);
    QFETCH(double, fin);
    QFETCH(bool, log);
    QFETCH(int, n);
    QFETCH(int, compte);
    QFETCH(double, milieu);
    TParametresBalayage p = parametres(debut, fin, n);
    p.logarithmique = log;
    p.nombrePoints = n;
    QString e;
    const std::vector<double> f = FrequencesBalayage(p, e);
    QVERIFY2(e.isEmpty(), qPrintable(e));
    QCOMPARE(int(f.size()), compte);
    QCOMPARE(f.front(), debut);
    QCOMPARE(f.back(), fin);
    QVERIFY(qFuzzyCompare(f[f.size() / 2], milieu));
    for (size_t i = 1; i < f.size(); ++i)
        QVERIFY(debut < fin ? f[i] > f[i - 1] : f[i] < f[i - 1]);
}

void TstBalayage::frequencesRefusees_data()
{
    QTest::addColumn<double>("debut");
    QTest::addColumn<double>("fin");
    QTest::addColumn<bool>("log");
    QTest::addColumn<int>("n");
    QTest::newRow("zero start") << 0.0 << 1000.0 << true << 10;
    QTest::newRow("negative end") << 10.0 << -1000.0 << true << 10;
    QTest::newRow("NaN") << qQNaN() << 1000.0 << true << 10;
    QTest::newRow("equal ends") << 1000.0 << 1000.0 << true << 10;
    QTest::newRow("no point per decade") << 100.0 << 1000.0 << true << 0;
    QTest::newRow("too many points") << 1e-3 << 1e7 << true << 1000;
    QTest::newRow("one linear point") << 100.0 << 1000.0 << false << 1;
}

void TstBalayage::frequencesRefusees()
{
    QFETCH(double, debut);
    QFETCH(double, fin);
    QFETCH(bool, log);
    QFETCH(int, n);
    TParametresBalayage p = parametres(debut, fin, n);
    p.logarithmique = log;
    p.nombrePoints = n;
    QString e;
    QVERIFY(FrequencesBalayage(p, e).empty());
    QVERIFY(!e.isEmpty());
    // The sweep says the same and touches nothing.
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, oAgilent);
    FauxPoint pt(j);
    Balayage b(g, o, pt);
    const TResultatBalayage r = b.execute(p);
    QCOMPARE(r.erreur, e);
    QVERIFY(j.e.empty());
}

void TstBalayage::attente_data()
{
    QTest::addColumn<double>("f");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("attendu");
    QTest::addColumn<int>("commande");
    QTest::newRow("1 kHz: the floor") << 1000.0 << 200 << 200 << 0;
    QTest::newRow("10 Hz: three periods") << 10.0 << 200 << 300 << 0;
    QTest::newRow("longer floor") << 10.0 << 500 << 500 << 0;
    QTest::newRow("7 Hz rounds up") << 7.0 << 0 << 429 << 0;
    // The time the time-base command takes is settling time already spent.
    QTest::newRow("slow command") << 1000.0 << 200 << 200 << 150;
    QTest::newRow("command longer than the wait") << 1000.0 << 200 << 300 << 300;
}

// The wait between the new frequency and the measurement, on the sweep's own clock.
void TstBalayage::attente()
{
    QFETCH(double, f);
    QFETCH(int, minimum);
    QFETCH(int, attendu);
    QFETCH(int, commande);
    if (commande == 0)
        QCOMPARE(AttenteStabilisation(f, minimum), attendu);

    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, oAgilent);
    o.dureeMs = commande;
    FauxPoint pt(j);
    FausseVue v;
    Balayage b(g, o, pt, &v);
    TParametresBalayage p = parametres(f, f * 1.001);
    p.attenteMinMs = minimum;
    QCOMPARE(b.execute(p).points, 2);
    qint64 regle = -1;
    for (const auto &x : j.e) {
        if (x.quoi.startsWith("GEN"))
            regle = x.t;
        if (x.quoi == "MESURE") {
            QVERIFY(x.t - regle >= attendu);
            QVERIFY(x.t - regle <= attendu + 20);
            break;
        }
    }
}

void TstBalayage::baseDeTemps_data()
{
    QTest::addColumn<Tconstructeur>("c");
    QTest::addColumn<double>("divisions");   // of the record; 0: the screen's
    QTest::addColumn<QByteArray>("temps");
    QTest::addColumn<QByteArray>("vertical");
    QTest::newRow("agilent range") << oAgilent << 0.0 << QByteArray(":TIM:RANG 5.00000E-3") << QByteArray(":CHAN1:RANG 1.60000E+1");
    QTest::newRow("hp range") << oHewlett << 0.0 << QByteArray(":TIM:RANG 5.00000E-3") << QByteArray(":CHAN1:RANG 1.60000E+1");
    QTest::newRow("sefram scale") << oSefram << 0.0 << QByteArray(":TIM:SCAL 5.00000E-4") << QByteArray(":CHAN1:SCAL 2.00000E+0");
    QTest::newRow("gds bode record") << oGoodWill << 20.0 << QByteArray(":TIM:SCAL 2.00000E-4") << QByteArray(":CHAN1:SCAL 2.00000E+0");
    QTest::newRow("fi scale") << oFI << 0.0 << QByteArray(":TIM:SCAL 5.00000E-4") << QByteArray(":CHAN1:SCAL 2.00000E+0");
    QTest::newRow("rigol 12 div") << oRigol << 0.0 << QByteArray(":TIM:SCAL 2.00000E-4") << QByteArray(":CHAN1:SCAL 2.00000E+0");
    QTest::newRow("rigol visa") << oRigolVisa << 0.0 << QByteArray(":TIM:SCAL 2.00000E-4") << QByteArray(":CHAN1:SCAL 2.00000E+0");
    QTest::newRow("siglent tdiv") << oSiglent << 0.0 << QByteArray("TDIV 2.00000E-4") << QByteArray("C1:VDIV 2.00000E+0");
}

// Before the measurement, the time base for a few periods of 1 kHz (at least 2.2, fewer than
// 5.5) in the maker's words; the vertical command in the same dialect.
void TstBalayage::baseDeTemps()
{
    QFETCH(Tconstructeur, c);
    QFETCH(double, divisions);
    QFETCH(QByteArray, temps);
    QFETCH(QByteArray, vertical);
    const double div = divisions > 0 ? divisions : DivisionsHorizontales(c);
    const double s = BaseDeTempsPour(1000, div, 2.2);
    const double periodes = 1000 * s * div;
    QVERIFY2(periodes >= 2.2 && periodes < 5.5, qPrintable(QString::number(periodes)));
    QCOMPARE(CommandeCalibre(c, 1, 2.0), vertical);

    struct Point : FauxPoint {
        using FauxPoint::FauxPoint;
        double div = 0;
        double divisionsEnregistrement() const override { return div; }
    };
    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, c);
    Point pt(j);
    pt.div = divisions;
    FausseVue v;
    Balayage b(g, o, pt, &v);
    QCOMPARE(b.execute(parametres(1000, 1001)).points, 2);
    QCOMPARE(j.quoi().mid(0, 3), (QList<QByteArray>{"GEN 1000", temps, "MESURE"}));
}

// One whole sweep: for each frequency the generator, the time base, the measurement, the
// record, in this order; progress to n of n; a closing status.
void TstBalayage::deroulement()
{
    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, oSefram);
    FauxPoint pt(j);
    FausseVue v;
    Balayage b(g, o, pt, &v);
    const TResultatBalayage r = b.execute(parametres(100, 10000));
    QCOMPARE(r.points, 21);
    QVERIFY(r.ignorees.isEmpty());
    QVERIFY(!r.arrete);
    QVERIFY(r.erreur.isEmpty());
    QCOMPARE(int(g.frequences.size()), 21);
    QCOMPARE(g.frequences.back(), 10000.0);
    QCOMPARE(v.derniere, qMakePair(21, 21));
    const QList<QByteArray> q = j.quoi();
    QCOMPARE(q.size(), 21 * 4);
    for (int k = 0; k < 21; ++k) {
        QVERIFY(q[4 * k].startsWith("GEN "));
        QVERIFY(q[4 * k + 1].startsWith(":TIM:SCAL "));
        QCOMPARE(q[4 * k + 2], QByteArray("MESURE"));
        QCOMPARE(q[4 * k + 3], QByteArray("ENREGISTRE"));
    }
    QVERIFY2(v.etats.last().startsWith(QStringLiteral("Balayage terminé (21 points enregistrés)")), qPrintable(v.etats.last()));
    QVERIFY(!b.enCours());
}

void TstBalayage::reglageVertical_data()
{
    QTest::addColumn<Tconstructeur>("c");
    QTest::addColumn<QList<QByteArray>>("attendu");
    QTest::newRow("sefram") << oSefram
                            << QList<QByteArray>{"MESURE", ":CHAN1:SCAL 2.00000E+0", "MESURE", ":CHAN1:SCAL 5.00000E-1", "MESURE", "ENREGISTRE"};
    QTest::newRow("agilent") << oAgilent
                             << QList<QByteArray>{"MESURE", ":CHAN1:RANG 1.60000E+1", "MESURE", ":CHAN1:RANG 4.00000E+0", "MESURE", "ENREGISTRE"};
    QTest::newRow("siglent") << oSiglent
                             << QList<QByteArray>{"MESURE", "C1:VDIV 2.00000E+0", "MESURE", "C1:VDIV 5.00000E-1", "MESURE", "ENREGISTRE"};
}

// CH1 clips at 1 V/div: one step up and measure again; then 3 V peak-to-peak at 2 V/div fills
// less than a quarter of the 8 divisions: down to 0.5 V/div and measure again; then it fits.
void TstBalayage::reglageVertical()
{
    QFETCH(Tconstructeur, c);
    QFETCH(QList<QByteArray>, attendu);
    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, c);
    FauxPoint pt(j);
    pt.ecrans = {{1.0, 8.0, true}, {2.0, 3.0, false}, {0.5, 3.0, false}};
    FausseVue v;
    Balayage b(g, o, pt, &v);
    TParametresBalayage p = parametres(1000, 2000);
    p.logarithmique = false;
    p.nombrePoints = 2;
    QCOMPARE(b.execute(p).points, 2);
    QCOMPARE(j.quoi().mid(2, attendu.size()), attendu);
    QCOMPARE(pt.mesures, 4);
}

// A failed point is measured once more; failing again it is left out, its frequency named.
void TstBalayage::repriseEtAbandon()
{
    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, oRigol);
    FauxPoint pt(j);
    // Point 2 fails once (measurement 2), point 3 twice (measurements 4 and 5).
    pt.echecs = {2, 4, 5};
    FausseVue v;
    Balayage b(g, o, pt, &v);
    const TResultatBalayage r = b.execute(parametres(100, 1000, 5));
    QCOMPARE(r.points, 5);
    QCOMPARE(r.ignorees, QList<double>{ArrondiDecimal(100 * std::pow(10.0, 0.6), 9)});
    QCOMPARE(pt.mesures, 6 + 2);
    QVERIFY(std::any_of(v.etats.begin(), v.etats.end(), [](const QString &t) {
        return t.startsWith(QStringLiteral("Point à 398.1 Hz ignoré : Moins de deux périodes ?"));
    }));
    QVERIFY2(v.etats.last().contains(QStringLiteral("points ignorés : 398.1 Hz")), qPrintable(v.etats.last()));
}

// What a measurement throws: the exchange's failure and a calculation's are that point's
// (tried again, then left out with their text); the line itself gone ends the sweep.
void TstBalayage::exceptions()
{
    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, oSefram);
    FauxPoint pt(j);
    pt.lance = [](int n) -> bool {
        if (n == 0)
            throw EserieError(QStringLiteral("Pas de réponse à : :ACQ1:POIN"));
        if (n == 2 || n == 3)
            throw std::domain_error("angle de 0 + j0");
        if (n == 4)
            throw EPortError(QStringLiteral("Liaison perdue avec COM1"));
        return false;
    };
    FausseVue v;
    Balayage b(g, o, pt, &v);
    const TResultatBalayage r = b.execute(parametres(100, 10000));
    QCOMPARE(r.points, 1);
    QCOMPARE(r.ignorees.size(), 1);
    QCOMPARE(r.erreur, QStringLiteral("Liaison perdue avec COM1"));
    QVERIFY(std::any_of(v.etats.begin(), v.etats.end(), [](const QString &t) { return t.endsWith(QStringLiteral("ignoré : angle de 0 + j0")); }));
    QCOMPARE(pt.mesures, 5);
}

void TstBalayage::arret_data()
{
    QTest::addColumn<bool>("pendantAttente");
    QTest::newRow("during a measurement") << false;
    QTest::newRow("during the settling wait") << true;
}

// Stop ends the sweep after the exchange in progress; what was recorded stays.
void TstBalayage::arret()
{
    QFETCH(bool, pendantAttente);
    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    FauxOscillo o(j, oSefram);
    FauxPoint pt(j);
    FausseVue v;
    Balayage b(g, o, pt, &v);
    if (pendantAttente) {
        v.pendantPompe = [&] {
            if (g.frequences.size() == 4)
                arretAcquisition = true;   // the windows' Stop
        };
    } else {
        pt.pendantMesure = [&](int n) {
            if (n == 2)
                b.arrete();
        };
    }
    const TResultatBalayage r = b.execute(parametres(100, 10000));
    QVERIFY(r.arrete);
    QVERIFY(r.erreur.isEmpty());
    QCOMPARE(r.points, 3);
    QCOMPARE(pt.enregistrements, 3);
    QCOMPARE(int(g.frequences.size()), pendantAttente ? 4 : 3);
    QCOMPARE(j.quoi().last(), pendantAttente ? QByteArray(":TIM:SCAL 2.00000E-3") : QByteArray("ENREGISTRE"));
    QVERIFY(v.etats.last().startsWith(QStringLiteral("Balayage arrêté (3 points enregistrés)")));
}

// The generator stops answering: the sweep ends with its message, the points stay.
void TstBalayage::generateurEnPanne()
{
    Horloge h;
    Journal j;
    FauxGenerateur g(j);
    g.panneA = 3;
    FauxOscillo o(j, oSefram);
    FauxPoint pt(j);
    FausseVue v;
    Balayage b(g, o, pt, &v);
    const TResultatBalayage r = b.execute(parametres(100, 10000));
    QCOMPARE(r.points, 3);
    QVERIFY(!r.arrete);
    QCOMPARE(r.erreur, QStringLiteral("Le générateur COM7 ne répond pas à « FREQ? »"));
    QVERIFY(v.etats.last().startsWith(QStringLiteral("Balayage interrompu : Le générateur COM7 ne répond pas")));
}

// The real driver on the simulated generator, which goes silent at its fifth frequency.
void TstBalayage::generateurSimule()
{
    QProcess sim;
    sim.start(ONDIVAR_SIM_EXE, {"--model", "54622D", "--generateur", "rigol", "--generateur-tcp", "0",
                                "--generateur-defaut", "silence-apres=5"});
    QVERIFY(sim.waitForStarted(5000));
    QString ressource;
    while (ressource.isEmpty() && sim.waitForReadyRead(5000))
        while (sim.canReadLine()) {
            const QByteArray l = sim.readLine().trimmed();
            if (l.startsWith("GEN "))
                ressource = QString::fromLatin1(l.mid(4));
        }
    QVERIFY(!ressource.isEmpty());
    TGenerateur gen;
    QString e;
    QVERIFY2(gen.ouvre(ressource, TReglageGenerateur(), e), qPrintable(e));

    // Real time, sped up by the waits of the sweep.
    QElapsedTimer reel;
    reel.start();
    maintenant = 0;
    TickClock::setSource([&] { return reel.elapsed() + maintenant; });
    Journal j;
    TGenerateurBalayage g(gen);
    FauxOscillo o(j, oAgilent);
    FauxPoint pt(j);
    FausseVue v;
    v.pendantPompe = [] { maintenant += 40; };
    Balayage b(g, o, pt, &v);
    const TResultatBalayage r = b.execute(parametres(100, 10000));
    TickClock::setSource({});
    sim.kill();
    sim.waitForFinished(3000);
    QCOMPARE(r.points, 4);
    QVERIFY2(r.erreur.contains(QStringLiteral("Le générateur %1 ne répond pas").arg(ressource)), qPrintable(r.erreur));
    QVERIFY(!gen.estOuvert());
}

// The settings come back as written, in any locale.
void TstBalayage::reglages()
{
    QTemporaryDir dir;
    QSettings s(dir.filePath("o.ini"), QSettings::IniFormat);
    TReglagesBalayage r;
    r.ressource = "TCPIP0::192.168.1.20::5025::SOCKET";
    r.dialecte = TDialecteGenerateur::SiglentSDG;
    r.parametres.debut = 12.5;
    r.parametres.fin = 250000;
    r.parametres.logarithmique = false;
    r.parametres.parDecade = 7;
    r.parametres.nombrePoints = 33;
    r.parametres.attenteMinMs = 750;
    r.amplitude = 0.5;
    r.EcritRegistre(s);
    QLocale::setDefault(QLocale(QLocale::French));
    TReglagesBalayage lu;
    lu.LitRegistre(s);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(lu.ressource, r.ressource);
    QCOMPARE(lu.dialecte, r.dialecte);
    QCOMPARE(lu.parametres.debut, 12.5);
    QCOMPARE(lu.parametres.fin, 250000.0);
    QCOMPARE(lu.parametres.logarithmique, false);
    QCOMPARE(lu.parametres.parDecade, 7);
    QCOMPARE(lu.parametres.nombrePoints, 33);
    QCOMPARE(lu.parametres.attenteMinMs, 750);
    QCOMPARE(lu.reglageGenerateur().amplitude, 0.5);
    QCOMPARE(lu.reglageGenerateur().dialecte, TDialecteGenerateur::SiglentSDG);
}

void TstBalayage::reglagesIllisibles_data()
{
    QTest::addColumn<QString>("valeur");
    QTest::addColumn<QString>("texte");
    QTest::newRow("dialect") << "Dialecte" << "tektronix";
    QTest::newRow("start") << "Debut" << "-5";
    QTest::newRow("end") << "Fin" << "beaucoup";
    QTest::newRow("per decade") << "ParDecade" << "0";
    QTest::newRow("points") << "NombrePoints" << "1";
    QTest::newRow("wait") << "Attente" << "-200";
}

// A value that cannot be used reads as its default; the others stay.
void TstBalayage::reglagesIllisibles()
{
    QFETCH(QString, valeur);
    QFETCH(QString, texte);
    QTemporaryDir dir;
    QSettings s(dir.filePath("o.ini"), QSettings::IniFormat);
    s.setValue("Balayage/Generateur", "COM3");
    s.setValue("Balayage/" + valeur, texte);
    TReglagesBalayage lu;
    lu.LitRegistre(s);
    const TReglagesBalayage d;
    QCOMPARE(lu.ressource, QStringLiteral("COM3"));
    QCOMPARE(lu.dialecte, d.dialecte);
    QCOMPARE(lu.parametres.debut, d.parametres.debut);
    QCOMPARE(lu.parametres.fin, d.parametres.fin);
    QCOMPARE(lu.parametres.parDecade, d.parametres.parDecade);
    QCOMPARE(lu.parametres.nombrePoints, d.parametres.nombrePoints);
    QCOMPARE(lu.parametres.attenteMinMs, d.parametres.attenteMinMs);
}

namespace {
// The window's point, here from the oscilloscope's automatic measurements: gain CH2/CH1 of
// the RMS voltages, phase of CH2 against CH1.
class PointMesures : public IPointBalayage {
public:
    explicit PointMesures(TEchange &e) : e_(e) {}
    bool mesure(QString &erreur) override
    {
        f_ = e_.GetFloat(":MEAS:FREQ? CHAN1");
        const double v1 = e_.GetFloat(":MEAS:VRMS? CHAN1");
        const double v2 = e_.GetFloat(":MEAS:VRMS? CHAN2");
        ph_ = e_.GetFloat(":MEAS:PHAS? CHAN1");
        g_ = v2 / v1;
        if (std::isnan(f_) || std::isnan(g_) || std::isnan(ph_)) {
            erreur = QStringLiteral("Moins de deux périodes ?");
            return false;
        }
        return true;
    }
    void enregistre() override { points.push_back({f_, g_, ph_}); }
    bool voieEcran(int n, TVoieEcran &v) override
    {
        const QByteArray c = "CHAN" + QByteArray::number(n);
        v.calibre = e_.GetFloat(":" + c + ":RANG?") / 8;
        v.crete = e_.GetFloat(":MEAS:VPP? " + c);
        v.saturee = std::isnan(v.crete);
        return true;
    }
    double gain() const override { return g_; }
    double phase() const override { return ph_; }
    struct P { double f, g, ph; };
    std::vector<P> points;
private:
    TEchange &e_;
    double f_ = 0, g_ = 0, ph_ = 0;
};
}

// The whole bench: the generator of the simulator, its oscilloscope with the first-order
// filter of corner 1 kHz between CH1 and CH2, the sweep setting both. Every point is the
// filter's gain within 1 % and phase within 1 degree; CH2 is rescaled where it gets small.
void TstBalayage::filtreSimule_data()
{
    QTest::addColumn<QStringList>("generateur");
    QTest::addColumn<int>("parDecade");
    QTest::newRow("keysight socket") << QStringList{"--generateur", "keysight", "--generateur-tcp", "0"} << 10;
    QTest::newRow("feeltech serial") << QStringList{"--generateur", "feeltech"} << 3;
}

void TstBalayage::filtreSimule()
{
    QFETCH(QStringList, generateur);
    QFETCH(int, parDecade);
    QProcess sim;
    sim.start(ONDIVAR_SIM_EXE, QStringList{"--model", "54622D", "--filtre", "1000", "--ch1", "sine,1,50,0,0"} + generateur);
    QVERIFY(sim.waitForStarted(5000));
    QString ressource, pty;
    while (ressource.isEmpty() && sim.waitForReadyRead(5000))
        while (sim.canReadLine()) {
            const QByteArray l = sim.readLine().trimmed();
            if (l.startsWith("GEN "))
                ressource = QString::fromLatin1(l.mid(4));
            else if (l.startsWith("PTY "))
                pty = QString::fromLatin1(l.mid(4));
        }
    QVERIFY(!ressource.isEmpty() && !pty.isEmpty());
    qputenv("ONDIVAR_PORTS", ("9=" + pty + ";10=" + ressource).toLocal8Bit());
    if (!ressource.startsWith(QLatin1String("TCPIP")))
        ressource = QStringLiteral("COM10");
    TGenerateur gen;
    TReglageGenerateur reglage;
    reglage.dialecte = generateur.contains("feeltech") ? TDialecteGenerateur::FeelTech : TDialecteGenerateur::Auto;
    QString e;
    QVERIFY2(gen.ouvre(ressource, reglage, e), qPrintable(e));
    TPortSerie port;
    port.setComNumber(9);
    port.setBaud(19200);
    port.setOpen(true);
    TEchange echange(port);

    QElapsedTimer reel;
    reel.start();
    maintenant = 0;
    TickClock::setSource([&] { return reel.elapsed() + maintenant; });
    Journal j;
    TGenerateurBalayage g(gen);
    TOscilloBalayage o(oAgilent, &echange, nullptr);
    PointMesures pt(echange);
    FausseVue v;
    v.pendantPompe = [] { maintenant += 40; };
    Balayage b(g, o, pt, &v);
    const TResultatBalayage r = b.execute(parametres(100, 10000, parDecade));
    TickClock::setSource({});
    QVERIFY2(r.erreur.isEmpty(), qPrintable(r.erreur));
    QCOMPARE(r.points, 2 * parDecade + 1);
    QCOMPARE(int(pt.points.size()), 2 * parDecade + 1);
    for (const auto &p : pt.points) {
        const double gain = 1 / std::sqrt(1 + (p.f / 1000) * (p.f / 1000));
        const double phase = -std::atan(p.f / 1000) * 180 / M_PI;
        QVERIFY2(std::fabs(p.g / gain - 1) < 0.01, qPrintable(QStringLiteral("%1 Hz: %2 / %3").arg(p.f).arg(p.g).arg(gain)));
        QVERIFY2(std::fabs(p.ph - phase) < 1, qPrintable(QStringLiteral("%1 Hz: %2 / %3").arg(p.f).arg(p.ph).arg(phase)));
    }
    QCOMPARE(pt.points.back().f, 10000.0);
    // At 10 kHz CH2 is a tenth of CH1: its scale came down.
    QVERIFY(echange.GetFloat(":CHAN2:RANG?") < echange.GetFloat(":CHAN1:RANG?"));
    port.setOpen(false);
    sim.kill();
    sim.waitForFinished(3000);
}

void TstBalayage::oscilloReel_data()
{
    QTest::addColumn<QString>("modele");
    QTest::addColumn<Tconstructeur>("c");
    QTest::addColumn<QByteArray>("temps");
    QTest::addColumn<QByteArray>("vertical");
    QTest::addColumn<double>("tempsLu");
    QTest::addColumn<double>("verticalLu");
    QTest::addColumn<bool>("avecUnite");
    QTest::newRow("agilent") << "54622D" << oAgilent << QByteArray(":TIM:RANG?") << QByteArray(":CHAN1:RANG?") << 2e-3 << 4.0 << false;
    QTest::newRow("sefram") << "5150" << oSefram << QByteArray(":TIM:SCAL?") << QByteArray(":CHAN1:SCAL?") << 2e-4 << 0.5 << true;
    QTest::newRow("gds") << "GDS-1102" << oGoodWill << QByteArray(":TIM:SCAL?") << QByteArray(":CHAN1:SCAL?") << 2e-4 << 0.5 << true;
    QTest::newRow("fi") << "FI3104" << oFI << QByteArray(":TIM:SCAL?") << QByteArray(":CHAN1:SCAL?") << 2e-4 << 0.5 << true;
    QTest::newRow("rigol serial") << "DS1102E" << oRigol << QByteArray(":TIM:SCAL?") << QByteArray(":CHAN1:SCAL?") << 2e-4 << 0.5 << false;
}

// The sweep's commands reach a serial oscilloscope through the program's exchange and take.
void TstBalayage::oscilloReel()
{
    QFETCH(QString, modele);
    QFETCH(Tconstructeur, c);
    QFETCH(QByteArray, temps);
    QFETCH(QByteArray, vertical);
    QFETCH(double, tempsLu);
    QFETCH(double, verticalLu);
    QFETCH(bool, avecUnite);
    QProcess sim;
    sim.start(ONDIVAR_SIM_EXE, {"--model", modele});
    QVERIFY(sim.waitForStarted(5000) && sim.waitForReadyRead(5000));
    const QByteArray pty = sim.readLine().trimmed().mid(4);
    qputenv("ONDIVAR_PORTS", "9=" + pty);
    TPortSerie port;
    port.setComNumber(9);
    port.setBaud(19200);
    port.setOpen(true);
    TEchange echange(port);
    TOscilloBalayage o(c, &echange, nullptr);
    o.commande(CommandeBaseDeTemps(c, 2e-4));
    o.commande(CommandeCalibre(c, 1, 0.5));
    auto lit = [&](const QByteArray &q) { return avecUnite ? echange.GetFloatUnite(q) : echange.GetFloat(q); };
    QVERIFY(qFuzzyCompare(lit(temps), tempsLu));
    QVERIFY(qFuzzyCompare(lit(vertical), verticalLu));
    port.setOpen(false);
    sim.kill();
    sim.waitForFinished(3000);

    // Without its link the command fails with a message, never silently.
    TOscilloBalayage sans(c, nullptr, nullptr);
    QVERIFY_THROWS_EXCEPTION(EserieError, sans.commande(":TIM:SCAL 1E-3"));
}

QTEST_GUILESS_MAIN(TstBalayage)
#include "tst_balayage.moc"
