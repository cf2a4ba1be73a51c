#pragma once
// The simulated bench of the sweep tests: one simulator process serving the oscilloscope on
// a pseudo-terminal (COM9) and a generator (COM10, or its socket resource), the first-order
// filter of corner 1 kHz between CH1 and CH2; and the checks of a swept filter.
#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"

#include <QProcess>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

class TBancBalayage {
public:
    ~TBancBalayage() { arrete(); }

    // Starts "ondivar-sim --model <modele> --filtre 1000 ..." with the generator options;
    // ressource is the generator's; the oscilloscope's line is open when ouvrePort.
    bool demarre(const QString &modele, const QStringList &generateur, bool ouvrePort = true,
                 const QStringList &autres = {})
    {
        sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(ONDIVAR_SIM_EXE),
                   QStringList{"--model", modele, "--baud", "230400", "--filtre", "1000", "--ch1", "sine,1,50,0,0"}
                       + generateur + autres);
        if (!sim->waitForStarted(5000))
            return false;
        QString pty;
        ressource.clear();
        while (ressource.isEmpty() && sim->waitForReadyRead(5000))
            while (sim->canReadLine()) {
                const QByteArray l = sim->readLine().trimmed();
                if (l.startsWith("GEN "))
                    ressource = QString::fromLatin1(l.mid(4));
                else if (l.startsWith("PTY "))
                    pty = QString::fromLatin1(l.mid(4));
            }
        if (ressource.isEmpty() || pty.isEmpty())
            return false;
        qputenv("ONDIVAR_PORTS", ("9=" + pty + ";10=" + ressource).toLocal8Bit());
        if (!ressource.startsWith(QLatin1String("TCPIP")))
            ressource = QStringLiteral("COM10");
        if (!ouvrePort)
            return true;
        port = std::make_unique<TPortSerie>();
        port->setComNumber(9);
        port->setBaud(230400);
        port->setOpen(true);
        echange = std::make_unique<TEchange>(*port);
        return port->Open();
    }
    void arrete()
    {
        echange.reset();
        port.reset();
        if (sim) {
            sim->kill();
            sim->waitForFinished(3000);
            sim.reset();
        }
        qunsetenv("ONDIVAR_PORTS");
    }

    QString ressource;
    std::unique_ptr<QProcess> sim;
    std::unique_ptr<TPortSerie> port;
    std::unique_ptr<TEchange> echange;
};

struct TPointFiltre {
    double f, gain, phase;   // Hz, ratio, degrees
};

// Every point within 1 % of the filter's gain and 1 degree of its phase (or the measurement's
// own resolution at f, when given and larger); the -3 dB frequency, interpolated on log f
// between the points about it, within half a point's spacing of 1 kHz.
inline void VerifieFiltre(const std::vector<TPointFiltre> &points, int parDecade,
                          const std::function<double(double)> &resolutionPhase = {})
{
    QVERIFY(points.size() >= 2);
    for (const auto &p : points) {
        const double x = p.f / 1000;
        const double gain = 1 / std::sqrt(1 + x * x), phase = -std::atan(x) * 180 / M_PI;
        QVERIFY2(std::fabs(p.gain / gain - 1) < 0.01, qPrintable(QStringLiteral("%1 Hz: G %2 / %3").arg(p.f).arg(p.gain).arg(gain)));
        const double tolerance = resolutionPhase ? std::max(1.0, resolutionPhase(p.f)) : 1.0;
        QVERIFY2(std::fabs(p.phase - phase) < tolerance, qPrintable(QStringLiteral("%1 Hz: %2° / %3°").arg(p.f).arg(p.phase).arg(phase)));
    }
    const double seuil = M_SQRT1_2;
    double coude = NAN;
    for (size_t i = 1; i < points.size(); ++i) {
        const auto &a = points[i - 1], &b = points[i];
        if ((a.gain - seuil) * (b.gain - seuil) <= 0 && a.gain != b.gain) {
            const double t = (seuil - a.gain) / (b.gain - a.gain);
            coude = std::pow(10.0, std::log10(a.f) + t * (std::log10(b.f) - std::log10(a.f)));
            break;
        }
    }
    QVERIFY2(std::isfinite(coude), "no -3 dB crossing");
    QVERIFY2(std::fabs(std::log10(coude / 1000)) <= 0.5 / parDecade, qPrintable(QStringLiteral("-3 dB at %1 Hz").arg(coude)));
}
