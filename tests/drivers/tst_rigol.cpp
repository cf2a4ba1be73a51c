// The Rigol command object: reply readers, opening rules, waveforms in both dialects and
// over both transports, the storage limit, bad blocks, and the phase between channels.
#include "drivers/pilotes.h"
#include "drivers/rigol.h"
#include "drivers/usbtmc.h"
#include "drivers/visa.h"
#include "link/echange.h"
#include "link/parsenumber.h"
#include "measure/unites.h"
#include "simengine.h"
#include "simrigol_client.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <numbers>

namespace {

// The command object with its raw state open to the tests.
class RigolOuvert : public TRigol {
public:
    using TRigol::TRigol;
    using TRigol::data;
    using TRigol::Factive;
    using TRigol::Fincrement;
    using TRigol::Forigine;
    using TRigol::Freference;
};

// The value a simulated channel shows at time t (inversion included).
double attendu(const QString &signal, bool inverse, double t)
{
    SimSignal s;
    SimSignal::parse(signal, s);
    const double v = s.valueAt(t);
    return inverse ? -v : v;
}

void pourLesDeuxLocales(const std::function<void()> &f)
{
    for (const char *loc : {"C", "fr_FR"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(loc)));
        f();
    }
    QLocale::setDefault(QLocale::c());
}

} // namespace

class TestRigol : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TRigolVisa> visa;
    std::unique_ptr<RigolOuvert> rigol;
    std::unique_ptr<SimRigol> sim;

    QString dossierUSB() const { return dir->path() + "/dev"; }

    // Starts a simulator on the transport asked for and opens the object on it: a Rigol
    // on USB through the USB transport, anything else through VISA (USB or socket).
    bool branche(const QStringList &args, bool usb)
    {
        sim = std::make_unique<SimRigol>(args, usb ? dossierUSB() : QString());
        if (!sim->ok())
            return false;
        if (usb && !args.join(' ').contains("SDS")) {
            rigol->setOpen(true);
            return rigol->open() && !rigol->isVisa;
        }
        if (!usb)
            qputenv("ONDIVAR_VISA", sim->ressource.toLatin1());
        visa->setOpen(true);
        rigol->isVisa = true;
        return rigol->open();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("ONDIVAR_USBTMC_DIR", dossierUSB().toLocal8Bit());
        qputenv("ONDIVAR_CONFIG", (dir->path() + "/Ondivar.ini").toLocal8Bit());
        qunsetenv("ONDIVAR_VISA");
        setDelaiUSB(2000);
        visa = std::make_unique<TRigolVisa>();
        rigol = std::make_unique<RigolOuvert>(*visa);
    }
    void cleanup()
    {
        rigol.reset();
        visa.reset();
        sim.reset();
        FermeUSB();
        QLocale::setDefault(QLocale::c());
    }

    void nombres_data()
    {
        QTest::addColumn<bool>("siglent");
        QTest::addColumn<QByteArray>("reponse");
        QTest::addColumn<double>("valeur");
        QTest::newRow("rigol exponent") << false << QByteArray("1.000e-03") << 1e-3;
        QTest::newRow("rigol comma") << false << QByteArray("2,5") << 2.5;
        QTest::newRow("rigol spaces") << false << QByteArray(" -1.5 e+00 ") << -1.5;
        QTest::newRow("rigol invalid 9.9e37") << false << QByteArray("9.9e37") << NaN();
        QTest::newRow("rigol text") << false << QByteArray("CHAN1") << NaN();
        QTest::newRow("rigol empty") << false << QByteArray() << NaN();
        QTest::newRow("volts") << true << QByteArray("5.00E-01V") << 0.5;
        QTest::newRow("GSa/s") << true << QByteArray("1.00GSa/s") << 1e9;
        QTest::newRow("MSa/s is mega") << true << QByteArray("50.0MSa/s") << 5e7;
        QTest::newRow("kSa/s") << true << QByteArray("500kSa/s") << 5e5;
        QTest::newRow("MS is milli") << true << QByteArray("2.00MS") << 0.002;
        QTest::newRow("micro") << true << QByteArray("20.0US") << 2e-5;
        QTest::newRow("seconds") << true << QByteArray("-1.00E-03S") << -1e-3;
        QTest::newRow("header first") << true << QByteArray("C1:VDIV 5.00E-01V") << NaN();
        QTest::newRow("no value") << true << QByteArray("****") << NaN();
        QTest::newRow("bare exponent") << true << QByteArray("5EV") << NaN();
    }
    void nombres()
    {
        QFETCH(bool, siglent);
        QFETCH(QByteArray, reponse);
        QFETCH(double, valeur);
        pourLesDeuxLocales([&] {
            const double v = siglent ? TRigol::LitNombreSiglent(reponse) : TRigol::LitNombreRigol(reponse);
            if (std::isnan(valeur))
                QVERIFY2(std::isnan(v), qPrintable(QLocale().name()));
            else
                QVERIFY2(std::fabs(v - valeur) <= 1e-12 * std::fabs(valeur), qPrintable(QLocale().name()));
        });
    }

    // Siglent replies past their header, in both header forms and without one.
    void enTetesSiglent_data()
    {
        QTest::addColumn<QByteArray>("commande");
        QTest::addColumn<QByteArray>("reponse");
        QTest::addColumn<QByteArray>("valeur");
        QTest::newRow("short") << QByteArray("C1:VDIV?") << QByteArray("C1:VDIV 5.00E-01V") << QByteArray("5.00E-01V");
        QTest::newRow("long") << QByteArray("C1:VDIV?") << QByteArray("C1:VOLT_DIV 5.00E-01V") << QByteArray("5.00E-01V");
        QTest::newRow("off") << QByteArray("C1:VDIV?") << QByteArray("5.00E-01V") << QByteArray("5.00E-01V");
        QTest::newRow("channel 1 off") << QByteArray("C1:TRA?") << QByteArray("C1:TRA OFF") << QByteArray("OFF");
        QTest::newRow("parameter") << QByteArray("C2:PAVA? RMS") << QByteArray("C2:PAVA RMS,7.07E-01V") << QByteArray("7.07E-01V");
        QTest::newRow("parameter, header off") << QByteArray("C2:PAVA? RMS") << QByteArray("7.07E-01V") << QByteArray("7.07E-01V");
        QTest::newRow("sample rate") << QByteArray("SARA?") << QByteArray("SARA 1.00GSa/s") << QByteArray("1.00GSa/s");
        QTest::newRow("common command") << QByteArray("*IDN?") << QByteArray("Siglent Technologies,SDS1202X-E")
                                        << QByteArray("Siglent Technologies,SDS1202X-E");
        QTest::newRow("empty") << QByteArray("TDIV?") << QByteArray() << QByteArray();
    }
    void enTetesSiglent()
    {
        QFETCH(QByteArray, commande);
        QFETCH(QByteArray, reponse);
        QFETCH(QByteArray, valeur);
        QCOMPARE(TRigol::SansEnTeteSiglent(commande, reponse), valeur);
    }

    void identification_data()
    {
        QTest::addColumn<QByteArray>("idn");
        QTest::addColumn<QByteArray>("garde");
        QTest::newRow("18-char maker") << QByteArray("RIGOL TECHNOLOGIES,DS1102E,DS1EB1047,00.04.01")
                                       << QByteArray("RIGOL TECHNOLOGIES,DS1102E");
        QTest::newRow("other length") << QByteArray("RIGOL,DS1102E,DS1EB1047,00.04.01,X") << QByteArray("RIGOL,DS1102E,DS1EB1047");
        QTest::newRow("no comma after 19") << QByteArray("RIGOL TECHNOLOGIES,DS1102E") << QByteArray("RIGOL TECHNOLOGIES,DS1102E");
        QTest::newRow("short") << QByteArray("RIGOL") << QByteArray("RIGOL");
    }
    void identification()
    {
        QFETCH(QByteArray, idn);
        QFETCH(QByteArray, garde);
        QCOMPARE(TRigol::RaccourcitIdent(idn), garde);
    }

    // Opening on USB: nothing without a device, nothing for another maker's instrument;
    // with a Rigol the identification is kept short, transfers are numbered from 0 and
    // closing gives the front panel back.
    void ouvertureUSB()
    {
        rigol->setOpen(true);
        QVERIFY(!rigol->open());
        QCOMPARE(rigol->nombreUSB(), 0);
        {
            SimRigol siglent({"--model", "SDS1000X-E"}, dossierUSB());
            QVERIFY(siglent.ok());
            rigol->setOpen(true);
            QVERIFY(!rigol->open());
        }
        QVERIFY(branche({"--model", "DS1000E"}, true));
        QCOMPARE(rigol->ident(), QByteArray("RIGOL TECHNOLOGIES,DS1102E"));
        QCOMPARE(rigol->sequence(), 2);   // the command, then the read request
        QCOMPARE(rigol->Query(":KEY:LOCK?"), QByteArray("ENABLE"));
        rigol->setOpen(false);
        QCOMPARE(rigol->Query(":KEY:LOCK?"), QByteArray("DISABLE"));
        QCOMPARE(rigol->sequence(), 2 + 2 + 1 + 2);
        QVERIFY(rigol->open());   // the device count is left as it was
    }

    // Both readers and the boolean rule, over each transport and under both locales.
    void questions_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<bool>("usb");
        QTest::newRow("DS1000E usb") << "DS1000E" << true;
        QTest::newRow("DS1000Z tcp") << "DS1000Z" << false;
        QTest::newRow("SDS tcp") << "SDS1000X-E" << false;
        QTest::newRow("SDS usb") << "SDS1000X-E" << true;
    }
    void questions()
    {
        QFETCH(QString, modele);
        QFETCH(bool, usb);
        QVERIFY(branche({"--model", modele, "--set2", "inv=1"}, usb));
        pourLesDeuxLocales([&] {
            if (rigol->dialecteSiglent()) {
                QCOMPARE(rigol->QueryFloatSiglent("TDIV?"), 1e-3);
                QCOMPARE(rigol->QueryFloatSiglent("SARA?"), 1e5);
                QCOMPARE(rigol->QueryFloatSiglent("C1:VDIV?"), 0.5);
                QVERIFY(rigol->QueryBool("C1:TRA?"));
                QVERIFY(!rigol->QueryBool("C1:INVS?"));   // "C1:INVS OFF": read past the header
                QVERIFY(rigol->QueryBool("C2:INVS?"));
                QVERIFY(std::fabs(rigol->QueryFloatSiglent("C1:PAVA? RMS") - std::sqrt(0.5)) < 0.01);
                QByteArray chdr;
                visa->getString("CHDR?", chdr);
                QCOMPARE(chdr, QByteArray("CHDR SHORT"));   // the user's setting, untouched
            } else {
                QCOMPARE(rigol->QueryFloat(":TIM:SCAL?"), 1e-3);
                QCOMPARE(rigol->QueryFloat(":CHAN1:SCAL?"), 0.5);
                QVERIFY(rigol->QueryBool(":CHAN1:DISP?"));
                QVERIFY(!rigol->QueryBool(":CHAN1:INV?"));
                QVERIFY(rigol->QueryBool(":CHAN2:INV?"));
                QCOMPARE(rigol->QueryFloat(":MEAS:FREQ? CHAN1"), 1000.0);
            }
        });
    }

    // Raw bytes to volts and seconds in both dialects, with offsets and inversion.
    void ondes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("pas");
        QTest::addColumn<double>("debut");
        const QString s1 = "sine,1,1000,0,0", s2 = "square,0.8,500,0,0.2";
        const QStringList base = {"--ch1", s1, "--ch2", s2};
        QTest::newRow("DS1000E usb raw 600") << (QStringList{"--model", "DS1000E"} + base) << true << 600 << 20e-6 << -6e-3;
        QTest::newRow("DS1000E tcp header") << (QStringList{"--model", "DS1000E", "--header", "--toff", "1e-3"} + base)
                                            << false << 600 << 20e-6 << -5e-3;
        QTest::newRow("DS1000Z tcp offsets inv")
            << (QStringList{"--model", "DS1000Z", "--set1", "scale=0.5,offset=0.3,inv=1", "--set2", "scale=1,offset=-1"} + base)
            << false << 1200 << 10e-6 << -6e-3;
        QTest::newRow("DS1000Z usb") << (QStringList{"--model", "DS1000Z", "--tdiv", "2e-3"} + base) << true << 1200 << 20e-6 << -12e-3;
        QTest::newRow("SDS tcp offsets inv")
            << (QStringList{"--model", "SDS1000X-E", "--set1", "offset=0.4,inv=1", "--set2", "scale=0.2,offset=-0.2", "--trdl", "1e-3"} + base)
            << false << 1400 << 10e-6 << 1e-3;
    }
    void ondes()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, usb);
        QFETCH(int, points);
        QFETCH(double, pas);
        QFETCH(double, debut);
        QVERIFY(branche(args, usb));
        if (!rigol->dialecteSiglent())
            rigol->getBaseDeTemps();
        for (int n = 1; n <= 2; ++n) {
            rigol->QueryWave(n);
            QVERIFY(rigol->getActive(n));
            QCOMPARE(rigol->NbrePointsRigol, points);
        }
        QVERIFY(std::fabs(rigol->getIncrement(0) - pas) < 1e-12);
        QVERIFY(std::fabs(rigol->getValeur(0, 0) - debut) < 1e-12);
        const QString sig[2] = {args[args.indexOf("--ch1") + 1], args[args.indexOf("--ch2") + 1]};
        const qsizetype s1 = args.indexOf("--set1");
        const bool inv1 = s1 >= 0 && args[s1 + 1].contains("inv=1");
        for (int n = 1; n <= 2; ++n) {
            const double pasV = std::fabs(rigol->getIncrement(n));   // volts per raw unit
            for (int j = 0; j < points; j += 7) {
                const double t = rigol->getValeur(0, j);
                const double v = rigol->getValeur(n, j);
                const double e = attendu(sig[n - 1], n == 1 && inv1, t);
                // Square edges fall between samples; elsewhere within half a raw unit.
                if (!sig[n - 1].startsWith("square") || std::fabs(std::sin(2 * std::numbers::pi * 500 * t)) > 0.05)
                    QVERIFY2(std::fabs(v - e) <= 0.5 * pasV + 1e-9,
                             qPrintable(QString("voie %1 j %2: %3 au lieu de %4").arg(n).arg(j).arg(v).arg(e)));
            }
        }
        QCOMPARE(rigol->getValeurStr(0, 1), FormatNumber(debut + pas));
    }

    // Whatever the instrument sends, at most 32 768 bytes are stored, the time step still
    // spans the whole record, and the link stays in step.
    void limite_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<bool>("usb");
        QTest::newRow("DS1000Z tcp header") << "DS1000Z" << false;
        QTest::newRow("DS1000E usb raw") << "DS1000E" << true;
        QTest::newRow("DS1000E tcp raw") << "DS1000E" << false;
        QTest::newRow("SDS tcp") << "SDS1000X-E" << false;
    }
    void limite()
    {
        QFETCH(QString, modele);
        QFETCH(bool, usb);
        QVERIFY(branche({"--model", modele, "--points", "40000"}, usb));
        if (!rigol->dialecteSiglent())
            rigol->getBaseDeTemps();
        rigol->QueryWave(1);
        QCOMPARE(rigol->NbrePointsRigol, TRigol::NbreMaxOctets);
        if (!rigol->dialecteSiglent())
            QVERIFY(std::fabs(rigol->getIncrement(0) - 12e-3 / 40000) < 1e-15);
        // The samples kept sit at their own times: a step from the count stored (32 768 over
        // 12 divisions) would put the last one 2.2 ms late, 61 degrees off the signal.
        const double pasV = std::fabs(rigol->getIncrement(1));
        // (The Siglent gives its time step itself, from a sample rate rounded to three digits.)
        for (int j : {0, 1000, 20000, TRigol::NbreMaxOctets - 1}) {
            if (rigol->dialecteSiglent())
                break;
            const double e = attendu("sine,1,1000,0,0", false, rigol->getValeur(0, j));
            QVERIFY2(std::fabs(rigol->getValeur(1, j) - e) <= 0.5 * pasV + 1e-9,
                     qPrintable(QString("%1: %2 au lieu de %3").arg(j).arg(rigol->getValeur(1, j)).arg(e)));
        }
        QCOMPARE(rigol->Query("*OPC?"), QByteArray("1"));
    }

    // Bad blocks reach the caller as an EserieError, never hang past the time-out and
    // keep what did arrive.
    void mauvaisBlocs_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("debutMessage");
        QTest::addColumn<int>("gardes");
        QTest::newRow("Z tcp truncated") << QStringList{"--model", "DS1000Z", "--fault", "truncate"} << false
                                         << "Bloc de données incomplet" << 600;
        QTest::newRow("Z usb truncated") << QStringList{"--model", "DS1000Z", "--fault", "truncate"} << true
                                         << "Bloc de données incomplet" << 600;
        QTest::newRow("SDS tcp truncated") << QStringList{"--model", "SDS1000X-E", "--fault", "truncate"} << false
                                           << "Bloc de données incomplet" << 700;
        QTest::newRow("Z count beyond buffer") << QStringList{"--model", "DS1000Z", "--fault", "badcount=100000"} << false
                                               << "Bloc de données incomplet" << 1201;
        QTest::newRow("SDS count beyond buffer") << QStringList{"--model", "SDS1000X-E", "--fault", "badcount=100000"} << true
                                                 << "Bloc de données incomplet" << 1402;
        QTest::newRow("SDS count digits") << QStringList{"--model", "SDS1000X-E", "--fault", "baddigits"} << false
                                          << "En-tête du bloc" << 0;
        QTest::newRow("Z empty block") << QStringList{"--model", "DS1000Z", "--fault", "badcount=-1200"} << false
                                       << "Aucune donnée" << 0;
        QTest::newRow("Z tcp dropped") << QStringList{"--model", "DS1000Z", "--fault", "drop"} << false
                                       << "Bloc de données incomplet" << 600;
        QTest::newRow("E usb dropped") << QStringList{"--model", "DS1000E", "--header", "--points", "4000", "--fault", "drop"}
                                       << true << "Bloc de données incomplet" << 1014;
        QTest::newRow("E usb dropped at once") << QStringList{"--model", "DS1000E", "--fault", "drop"} << true
                                               << "Aucune donnée" << 0;
    }
    void mauvaisBlocs()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, usb);
        QFETCH(QString, debutMessage);
        QFETCH(int, gardes);
        visa->setDelai(800);
        setDelaiUSB(800);
        QVERIFY(branche(args, usb));
        QString message;
        try {
            rigol->QueryWave(1);
        } catch (const EserieError &e) {
            message = e.message();
        }
        QVERIFY2(message.startsWith(debutMessage), qPrintable(message));
        QVERIFY(rigol->NbrePointsRigol <= gardes);
        QVERIFY(rigol->NbrePointsRigol >= gardes - 16);   // a dropped link may lose its last chunk
    }

    // A Rigol reply with count digits that are no number is a raw reply: kept as it came.
    void enteteRigolInvalide()
    {
        QVERIFY(branche({"--model", "DS1000Z", "--fault", "baddigits"}, false));
        rigol->QueryWave(1);
        QCOMPARE(rigol->NbrePointsRigol, 11 + 1200 + 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(rigol->donnees(1)), 4), QByteArray("#9AB"));
    }

    // An inactive channel is only marked so; its old bytes stay.
    void voieEteinte()
    {
        QVERIFY(branche({"--model", "DS1000Z"}, false));
        rigol->QueryWave(2);
        QVERIFY(rigol->getActive(2));
        const quint8 avant = rigol->donnees(2)[5];
        QVERIFY(rigol->Ecrit(":CHAN2:DISP OFF") > 0);
        rigol->QueryWave(2);
        QVERIFY(!rigol->getActive(2));
        QCOMPARE(rigol->donnees(2)[5], avant);
        QVERIFY(rigol->getActive(0));
    }

    // Samples in units from chosen raw bytes.
    void valeursBrutes()
    {
        rigol->Fincrement[1] = 0.02;
        rigol->Forigine[1] = 0.1;
        rigol->Freference[1] = 125;
        rigol->data[1][0] = 125;
        rigol->data[1][1] = 0x80;
        rigol->data[1][2] = 0xFF;
        QCOMPARE(rigol->getValeur(1, 0), 0.1);   // the reference gives the origin
        visa->isSIGLENT = true;
        rigol->isVisa = true;
        QVERIFY(std::fabs(rigol->getValeur(1, 1) - (-128 * 0.02 + 0.1)) < 1e-12);   // two's complement
        QVERIFY(std::fabs(rigol->getValeur(1, 2) - (-0.02 + 0.1)) < 1e-12);
        QVERIFY(std::isnan(rigol->getValeur(1, -1)));
        QVERIFY(std::isnan(rigol->getValeur(1, TRigol::NbreMaxOctets + 1)));
        QVERIFY(std::isnan(rigol->getValeur(3, 0)));
        QCOMPARE(rigol->getReference(0), 0);
    }

    // The period search on chosen bytes. A first sample right at the mid-level takes the side
    // of the next one (taken as "below", the search would stop half-way: 50 samples for a
    // period of 100). Siglent bytes are signed codes: read as unsigned, an offset signal that
    // crosses code 0 gives the mid-level and the products nonsense (106 degrees for 30).
    void rechercheDePeriode_data()
    {
        QTest::addColumn<bool>("siglent");
        QTest::addColumn<double>("off1");   // raw units
        QTest::addColumn<double>("amp2");
        QTest::addColumn<double>("off2");
        QTest::addColumn<double>("retard2");   // degrees
        QTest::addColumn<double>("phase");
        QTest::newRow("rigol, mid-level at 0") << false << 0.0 << 25.0 << 0.0 << 90.0 << 90.0;
        QTest::newRow("siglent, offsets across 0") << true << 30.0 << 30.0 << -20.0 << 30.0 << 30.0;
        QTest::newRow("siglent, centred") << true << 0.0 << 20.0 << 0.0 << -60.0 << -60.0;
    }
    void rechercheDePeriode()
    {
        QFETCH(bool, siglent);
        QFETCH(double, off1);
        QFETCH(double, amp2);
        QFETCH(double, off2);
        QFETCH(double, retard2);
        QFETCH(double, phase);
        visa->isSIGLENT = siglent;
        rigol->isVisa = siglent;
        const int N = 700, periode = 100;
        auto octet = [siglent](double v) {
            return siglent ? quint8(qint8(std::clamp(std::round(v), -128.0, 127.0)))
                           : quint8(std::clamp(std::round(125 + v), 0.0, 255.0));
        };
        for (int i = 0; i < N; ++i) {
            const double w = 2 * std::numbers::pi * i / periode;
            rigol->data[1][size_t(i)] = octet(40 * std::sin(w) + off1);
            rigol->data[2][size_t(i)] = octet(amp2 * std::sin(w - retard2 * std::numbers::pi / 180) + off2);
        }
        rigol->NbrePointsRigol = N;
        rigol->Factive[1] = rigol->Factive[2] = true;
        rigol->chercheZeros();
        QVERIFY(rigol->periodique());
        QCOMPARE(rigol->indexZero2() - rigol->indexZero1(), periode);
        QVERIFY2(std::fabs(rigol->phase() - phase) <= 1.0, qPrintable(QString::number(rigol->phase())));
    }

    void phase_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<double>("phase");   // NaN: no phase
        QTest::newRow("E usb 90") << QStringList{"--model", "DS1000E", "--ch2", "sine,0.5,1000,-90,0"} << true << 90.0;
        QTest::newRow("Z tcp 30") << QStringList{"--model", "DS1000Z", "--ch2", "sine,0.7,1000,-30,0.1"} << false << 30.0;
        QTest::newRow("Z tcp -120") << QStringList{"--model", "DS1000Z", "--ch2", "sine,1,1000,120,0"} << false << -120.0;
        QTest::newRow("SDS tcp 90") << QStringList{"--model", "SDS1000X-E", "--ch2", "sine,0.5,1000,-90,0"} << false << 90.0;
        QTest::newRow("SDS tcp 30") << QStringList{"--model", "SDS1000X-E", "--ch2", "sine,0.7,1000,-30,0"} << false << 30.0;
        QTest::newRow("SDS usb -60") << QStringList{"--model", "SDS1000X-E", "--ch2", "sine,1,1000,60,0"} << true << -60.0;
        QTest::newRow("Z falling start 30") << QStringList{"--model", "DS1000Z", "--ch1", "sine,1,1000,180,0", "--ch2", "sine,1,1000,150,0"}
                                            << false << 30.0;
        QTest::newRow("CH2 off") << QStringList{"--model", "DS1000Z", "--set2", "disp=0"} << false << NaN();
        QTest::newRow("no full period") << QStringList{"--model", "DS1000E", "--ch1", "sine,1,20,0,0", "--ch2", "sine,1,20,-90,0"}
                                        << true << NaN();
        QTest::newRow("CH2 flat") << QStringList{"--model", "DS1000Z", "--ch2", "sine,0,1000,0,0"} << false << NaN();
    }
    void phase()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, usb);
        QFETCH(double, phase);
        QVERIFY(branche(args, usb));
        if (!rigol->dialecteSiglent())
            rigol->getBaseDeTemps();
        rigol->QueryWave(1);
        rigol->QueryWave(2);
        const double p = rigol->phase();
        if (std::isnan(phase))
            QVERIFY2(std::isnan(p), qPrintable(QString::number(p)));
        else
            QVERIFY2(std::fabs(p - phase) <= 2.0, qPrintable(QString::number(p)));
    }

    // An instrument that goes away is reported, its session closed, and the next opening
    // finds it again once it is back (same address, same device name).
    void liaisonPerdue_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<bool>("usb");
        QTest::newRow("DS1000Z tcp") << "DS1000Z" << false;
        QTest::newRow("SDS tcp") << "SDS1000X-E" << false;
        QTest::newRow("DS1000Z visa usb") << "DS1000Z" << true;
        QTest::newRow("DS1000E usb") << "DS1000E" << true;
    }
    void liaisonPerdue()
    {
        QFETCH(QString, modele);
        QFETCH(bool, usb);
        visa->setDelai(800);
        setDelaiUSB(800);
        const bool parVisa = !(usb && modele == "DS1000E");
        auto ouvre = [&](const QStringList &args) {
            sim = std::make_unique<SimRigol>(args, usb ? dossierUSB() : QString());
            if (!sim->ok())
                return false;
            if (!parVisa) {
                rigol->setOpen(true);
                return rigol->open();
            }
            if (!usb)
                qputenv("ONDIVAR_VISA", sim->ressource.toLatin1());
            visa->setOpen(true);
            rigol->isVisa = true;
            return rigol->open();
        };
        QVERIFY(ouvre({"--model", modele}));
        QStringList args = {"--model", modele};
        if (!usb)
            args << "--port" << sim->ressource.section("::", 2, 2);
        rigol->QueryWave(1);
        QVERIFY(rigol->getActive(1));

        sim.reset();   // the instrument goes away
        for (int essai = 0; essai < 2; ++essai) {
            QString message;
            try {
                rigol->QueryWave(1);
            } catch (const EserieError &e) {
                message = e.message();
            }
            // Said when it is found; later reads say there is no link until the next detection.
            QVERIFY2(message.startsWith(essai == 0 || parVisa ? "Liaison perdue avec l'oscilloscope" : "Aucune liaison"),
                     qPrintable(message));
            QVERIFY(message.contains("« Test »"));
            QVERIFY(!rigol->open());
        }
        if (parVisa) {
            QVERIFY(visa->liaisonPerdue());
            QVERIFY(visa->messageLiaisonPerdue().contains(visa->ressourceOuverte()));
        }

        QVERIFY(ouvre(args));   // back: the next detection finds it
        QVERIFY(!visa->liaisonPerdue());
        if (!rigol->dialecteSiglent())
            rigol->getBaseDeTemps();
        rigol->QueryWave(1);
        QVERIFY(rigol->getActive(1));
        QVERIFY(rigol->NbrePointsRigol > 0);
    }

    // The two searches of the instrument detection, on the program's objects.
    void recherches()
    {
        CreePilotesRigol();
        QString ident;
        bool siglent = true;
        QVERIFY(!RechercheRigolUSB(ident));
        QVERIFY(!RechercheRigolVisa(ident, siglent));
        {
            SimRigol s({"--model", "SDS1000X-E"});
            QVERIFY(s.ok());
            qputenv("ONDIVAR_VISA", s.ressource.toLatin1());
            QVERIFY(RechercheRigolVisa(ident, siglent));
            QVERIFY(siglent);
            QVERIFY(ident.startsWith("Siglent Technologies,SDS1202X-E"));
            QVERIFY(Rigol->isVisa && Rigol->dialecteSiglent());
            // With no USB instrument the USB search fails, whatever the VISA session's state.
            QVERIFY(!RechercheRigolUSB(ident));
        }
        SimRigol z({"--model", "DS1000Z"}, dossierUSB());
        QVERIFY(z.ok());
        QVERIFY(RechercheRigolUSB(ident));
        QCOMPARE(ident, QString("RIGOL TECHNOLOGIES,DS1104Z"));
        QVERIFY(!Rigol->isVisa);
        QCOMPARE(Rigol->Query(":KEY:LOCK?"), QByteArray("DISABLE"));
        LiberePilotesRigol();
        QVERIFY(!Rigol && !RigolVisa);
    }
};

QTEST_MAIN(TestRigol)
#include "tst_rigol.moc"
