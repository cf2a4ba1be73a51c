#include "simbanc.h"
#include "simengine.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

// ---------------------------------------------------------------- sweep

double SimBalayage::frequenceA(double secondes) const
{
    if (!actif())
        return debut;
    double u = std::fmod(std::max(0.0, secondes), duree) / duree;   // 0..1, the sweep starts again
    if (paliers >= 2)
        u = std::min(std::floor(u * paliers), paliers - 1.0) / (paliers - 1);
    return logarithmique ? debut * std::pow(fin / debut, u) : debut + (fin - debut) * u;
}

bool SimBalayage::parse(const QString &text, SimBalayage &out)
{
    const QStringList f = text.split(':');
    if (f.size() < 3 || f.size() > 5)
        return false;
    SimBalayage b;
    if (!SimEngine::parseNumber(f[0], b.debut) || !SimEngine::parseNumber(f[1], b.fin)
        || !SimEngine::parseNumber(f[2], b.duree) || b.debut <= 0 || b.fin <= 0 || b.duree <= 0)
        return false;
    for (int i = 3; i < f.size(); ++i) {
        const QString w = f[i].trimmed().toLower();
        bool ok = false;
        const int n = w.toInt(&ok);
        if (w == "log") b.logarithmique = true;
        else if (w == "lin") b.logarithmique = false;
        else if (ok && n >= 2 && i == f.size() - 1) b.paliers = n;
        else return false;
    }
    out = b;
    return true;
}

// ---------------------------------------------------------------- bench

double SimBanc::gain(double fc, double f) { return fc > 0 ? 1.0 / std::sqrt(1.0 + (f / fc) * (f / fc)) : 1.0; }
double SimBanc::dephasage(double fc, double f) { return fc > 0 ? -std::atan(f / fc) * 180.0 / std::numbers::pi : 0.0; }

double SimBanc::frequence(const SimSignal &ch1) const
{
    if (frequenceGenerateur > 0.0)
        return frequenceGenerateur;
    return balayage.actif() ? balayage.frequenceA(secondes()) : ch1.frequency;
}

SimSignal SimBanc::entree(int c, const SimSignal &ch1, const SimSignal &ch2) const
{
    const double f = frequence(ch1);
    SimSignal s = c == 1 || coupure > 0.0 ? ch1 : ch2;
    if (c == 2 && coupure > 0.0)
        s.coupure = coupure;
    if (balayage.actif() || frequenceGenerateur > 0.0)
        s.frequency = f;
    return s;
}

void SimBanc::regleBaseDeTemps(double &parDivision, double divisions, const SimSignal &ch1) const
{
    const double f = frequence(ch1);
    if (!autoset || !(f > 0.0) || divisions <= 0)
        return;
    const double voulu = 2.5 / (f * divisions);
    double decade = std::pow(10.0, std::floor(std::log10(voulu)));
    for (int k = 0; k < 4; ++k, decade *= 10.0) {
        for (double m : {1.0, 2.0, 5.0}) {
            if (m * decade >= voulu * (1.0 - 1e-9)) {
                parDivision = m * decade;
                return;
            }
        }
    }
}

// ---------------------------------------------------------------- measurements

double SimTrace::at(double t) const
{
    const double v = signal->valueAt(t);
    return inverse ? -v : v;
}

namespace {

// Time where the samples v (step dt from t0) first cross `niveau` going up (or down) after
// index `depuis`; -1 when they do not.
double franchit(const std::vector<double> &v, double t0, double dt, double niveau, bool montant, size_t depuis, size_t *ou)
{
    for (size_t i = std::max<size_t>(depuis, 1); i < v.size(); ++i) {
        const bool passe = montant ? (v[i - 1] < niveau && v[i] >= niveau) : (v[i - 1] > niveau && v[i] <= niveau);
        if (passe) {
            *ou = i;
            const double x = (niveau - v[i - 1]) / (v[i] - v[i - 1]);
            return t0 + (i - 1 + x) * dt;
        }
    }
    return -1.0;
}

} // namespace

SimMesures SimMesures::de(const SimTrace &a, const SimTrace *autre, double t0, double duree)
{
    constexpr double X = Invalide;
    SimMesures m{X, X, X, X, X, X, X, X, X, X, X, X};
    const double f = a.signal->frequency;
    const double periodes = f > 0.0 ? f * duree : 0.0;

    // Extremes over the whole screen.
    constexpr int N = 4096;
    double hi = -1e300, lo = 1e300;
    for (int i = 0; i < N; ++i) {
        const double v = a.at(t0 + (i + 0.5) * duree / N);
        hi = std::max(hi, v);
        lo = std::min(lo, v);
    }
    const bool plat = !(f > 0.0) || hi - lo < 0.04 * a.division;
    const bool periodique = !plat && periodes >= 2.0;
    const bool sature = hi > a.haut || lo < a.bas;

    // Mean, RMS, duty and the fundamental over whole periods (the screen when there is none).
    const double fenetre = periodes >= 1.0 ? std::floor(periodes) / f : duree;
    const double mi = (hi + lo) / 2.0;
    double s = 0, q = 0, haut = 0, ca = 0, sa = 0, cb = 0, sb = 0;
    const double w = 2.0 * std::numbers::pi * f;
    for (int i = 0; i < N; ++i) {
        const double t = t0 + (i + 0.5) * fenetre / N;
        const double v = a.at(t);
        s += v;
        q += v * v;
        haut += v > mi ? 1.0 : 0.0;
        ca += v * std::cos(w * (t - t0));
        sa += v * std::sin(w * (t - t0));
        if (autre) {
            const double u = autre->at(t);
            cb += u * std::cos(w * (t - t0));
            sb += u * std::sin(w * (t - t0));
        }
    }
    if (!sature) {
        m.vmax = hi;
        m.vmin = lo;
        m.vpp = m.vamp = hi - lo;
        m.vav = s / N;
        m.vrms = std::sqrt(q / N);
    }
    if (!periodique)
        return m;
    m.freq = f;
    m.per = 1.0 / f;
    m.duty = haut / N;

    // Rise and fall between 10 % and 90 % on the first whole edges of two periods.
    std::vector<double> v(8192);
    const double dt = 2.0 / f / double(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = a.at(t0 + i * dt);
    const double b10 = lo + 0.1 * (hi - lo), b90 = lo + 0.9 * (hi - lo);
    size_t i1 = 0, i2 = 0;
    const double tb = franchit(v, t0, dt, b10, true, 0, &i1), th = tb < 0 ? -1 : franchit(v, t0, dt, b90, true, i1, &i2);
    if (tb >= 0 && th >= 0)
        m.ris = std::max(th - tb, 1e-9);
    const double td = franchit(v, t0, dt, b90, false, 0, &i1), tf = td < 0 ? -1 : franchit(v, t0, dt, b10, false, i1, &i2);
    if (td >= 0 && tf >= 0)
        m.fall = std::max(tf - td, 1e-9);

    if (autre) {
        double bh = -1e300, bl = 1e300;
        for (int i = 0; i < N; ++i) {
            const double u = autre->at(t0 + (i + 0.5) * duree / N);
            bh = std::max(bh, u);
            bl = std::min(bl, u);
        }
        if (bh - bl >= 0.04 * autre->division) {
            double d = (std::atan2(cb, sb) - std::atan2(ca, sa)) * 180.0 / std::numbers::pi;
            if (d > 180.0) d -= 360.0;
            if (d <= -180.0) d += 360.0;
            m.phase = d;
        }
    }
    return m;
}

bool SimBanc::option(const QString &opt, const std::function<QString()> &valeur, QString &erreur)
{
    erreur.clear();
    if (opt == "--filtre") {
        const QString v = valeur();
        if (!SimEngine::parseNumber(v, coupure) || coupure <= 0)
            erreur = "bad value for --filtre: " + v;
    } else if (opt == "--balayage") {
        const QString v = valeur();
        if (!SimBalayage::parse(v, balayage))
            erreur = "bad value for --balayage: " + v + " (start:stop:duration[:log|lin][:steps])";
    } else if (opt == "--autoset") {
        autoset = true;
    } else {
        return false;
    }
    return true;
}
