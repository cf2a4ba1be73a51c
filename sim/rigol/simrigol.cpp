#include "simrigol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

// ---------------------------------------------------------------- faults

bool SimRigolDefauts::ajoute(const QString &nom, const QString &valeur)
{
    if (nom == "truncate" && valeur.isEmpty()) { tronque = true; return true; }
    if (nom == "baddigits" && valeur.isEmpty()) { chiffresFaux = true; return true; }
    if (nom == "drop" && valeur.isEmpty()) { coupure = true; return true; }
    if (nom == "badcount") {
        bool ok = true;
        const qint64 d = valeur.isEmpty() ? -10 : valeur.toLongLong(&ok);
        if (!ok) return false;
        ecart = true;
        ecartCompte = d;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- formats

QByteArray FormatSiglent(double v, const char *unite)
{
    char b[64];
    std::snprintf(b, sizeof b, "%.2E%s", v, unite);
    return QByteArray(b);
}

QByteArray FormatSaraSiglent(double v)
{
    static const struct { double f; const char *p; } prefixes[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1.0, ""}};
    for (const auto &p : prefixes) {
        if (v >= p.f || p.f == 1.0) {
            const double m = v / p.f;
            char b[64];
            std::snprintf(b, sizeof b, m >= 100 ? "%.0f%sSa/s" : m >= 10 ? "%.1f%sSa/s" : "%.2f%sSa/s", m, p.p);
            return QByteArray(b);
        }
    }
    return QByteArray();
}

namespace {

constexpr double Invalide = SimMesures::Invalide;

QString argMaj(const SimCall &c) { return c.args.trimmed().toUpper(); }

} // namespace

// ---------------------------------------------------------------- model

bool SimRigolModel::genrePour(const QString &nom, Genre &g)
{
    const QString n = nom.toUpper();
    if (n == "DS1000E") { g = DS1000E; return true; }
    if (n == "DS1000Z") { g = DS1000Z; return true; }
    if (n == "SDS1000X-E" || n == "SDS1000XE") { g = SDS1000XE; return true; }
    return false;
}

SimRigolModel::SimRigolModel(Genre g) : genre(g)
{
    switch (g) {
    case DS1000E:
        idn = "RIGOL TECHNOLOGIES,DS1102E,DS1EB104702974,00.04.01.00.02";
        idVendeur = 0x1AB1; idProduit = 0x0588; serie = "DS1EB104702974";
        points = 600; entete = false;
        break;
    case DS1000Z:
        idn = "RIGOL TECHNOLOGIES,DS1104Z,DS1ZA000000001,00.04.04.SP4";
        idVendeur = 0x1AB1; idProduit = 0x04CE; serie = "DS1ZA000000001";
        points = 1200; entete = true;
        break;
    case SDS1000XE:
        idn = "Siglent Technologies,SDS1202X-E,SDSMMEBD2R1234,8.2.6.1.37R4";
        idVendeur = 0xF4EC; idProduit = 0xEE38; serie = "SDSMMEBD2R1234";
        points = 1400; entete = true;
        break;
    }
    voie[1].signal.amplitude = 0.5;
    voie[1].signal.phaseDeg = -90.0;
    construit();
}

QString SimRigolModel::name() const
{
    return genre == DS1000E ? "DS1000E" : genre == DS1000Z ? "DS1000Z" : "SDS1000X-E";
}

void SimRigolModel::reset()
{
    for (SimRigolVoie &v : voie) {
        v.echelle = 0.5; v.decalage = 0.0; v.inverse = false; v.affichee = true;
    }
    tdiv = 1e-3; toff = 0.0; trdl = 0.0;
    formeTemps = "YT"; modeTemps = "MAIN";
}

void SimRigolModel::setSignal(int channel, const SimSignal &s)
{
    if (channel >= 1 && channel <= 2)
        voie[channel - 1].signal = s;
}

bool SimRigolModel::regleVoie(int n, const QString &texte)
{
    if (n < 1 || n > 2)
        return false;
    SimRigolVoie &v = voie[n - 1];
    for (const QString &morceau : texte.split(',', Qt::SkipEmptyParts)) {
        const QString k = morceau.section('=', 0, 0).trimmed().toLower();
        const QString val = morceau.section('=', 1).trimmed();
        bool ok = false;
        const double x = val.toDouble(&ok);
        if (k == "scale" && ok && x > 0) v.echelle = x;
        else if (k == "offset" && ok) v.decalage = x;
        else if (k == "inv" && ok) v.inverse = x != 0;
        else if (k == "disp" && ok) v.affichee = x != 0;
        else return false;
    }
    return true;
}

double SimRigolModel::tempsEchantillon(int j) const
{
    if (genre == SDS1000XE)
        return trdl + j / sara();
    return toff - 6.0 * tdiv + j * (12.0 * tdiv / points);
}

SimSignal SimRigolModel::entree(int n) const { return banc.entree(n, voie[0].signal, voie[1].signal); }

void SimRigolModel::prepare()
{
    banc.regleBaseDeTemps(tdiv, genre == SDS1000XE ? 14.0 : 12.0, voie[0].signal);
}

// Measurements of the displayed trace (inversion included) over the screen, which spans 10
// divisions vertically about minus the offset (the range of the samples).
SimMesures SimRigolModel::mesures(int n) const
{
    const SimSignal s[2] = {entree(1), entree(2)};
    auto trace = [&](int k) {
        const SimRigolVoie &v = voie[k - 1];
        SimTrace t;
        t.signal = &s[k - 1];
        t.inverse = v.inverse;
        t.division = v.echelle;
        const double centre = -(v.inverse ? -v.decalage : v.decalage);
        t.bas = centre - 5.0 * v.echelle;
        t.haut = centre + 5.0 * v.echelle;
        return t;
    };
    const SimTrace a = trace(n), b = trace(3 - n);
    if (genre == SDS1000XE)
        return SimMesures::de(a, &b, trdl, 14.0 * tdiv);
    return SimMesures::de(a, &b, toff - 6.0 * tdiv, 12.0 * tdiv);
}

QByteArray SimRigolModel::echantillons(int n) const
{
    const SimRigolVoie &v = voie[n - 1];
    const SimSignal signal = entree(n);
    QByteArray d;
    d.reserve(points);
    const double dec = v.inverse ? -v.decalage : v.decalage;
    for (int j = 0; j < points; ++j) {
        double w = signal.valueAt(tempsEchantillon(j));
        if (v.inverse)
            w = -w;
        if (genre == SDS1000XE) {
            // Signed codes, 25 per division, sent in two's complement.
            const double code = std::clamp(std::round((w + dec) * 25.0 / v.echelle), -128.0, 127.0);
            d.append(char(qint8(code)));
        } else {
            // 125 stands for minus the offset; 25 codes per division, growing downwards.
            const double b = std::clamp(std::round(125.0 - (w + dec) * 25.0 / v.echelle), 0.0, 255.0);
            d.append(char(quint8(b)));
        }
    }
    return d;
}

QByteArray SimRigolModel::nombre(double v) const
{
    char b[64];
    std::snprintf(b, sizeof b, genre == DS1000Z ? "%.6e" : "%.3e", v);
    return QByteArray(b);
}

QByteArray SimRigolModel::enteteSig(const SimCall &c, const char *nom) const
{
    if (!enTeteSiglent)
        return QByteArray();
    QByteArray h;
    if (!c.suffixes.isEmpty())
        h = "C" + QByteArray::number(c.suffix(0)) + ":";
    return h + nom + " ";
}

SimRigolVoie *SimRigolModel::voieDe(const SimCall &c)
{
    const int n = c.suffix(0);
    return (n >= 1 && n <= 2) ? &voie[n - 1] : nullptr;
}

void SimRigolModel::repondOnde(SimEngine &e, int n)
{
    const QByteArray d = echantillons(n);
    const bool siglent = genre == SDS1000XE;
    const bool avecEntete = siglent || entete;
    const int chiffres = genre == DS1000E ? 8 : 9;
    const bool f = ++nbreOndes >= defauts.apres;
    qint64 annonce = d.size();
    if (f && defauts.ecart)
        annonce = std::clamp<qint64>(annonce + defauts.ecartCompte, 0, chiffres == 8 ? 99999999 : 999999999);
    QByteArray tete;
    if (avecEntete) {
        char b[32];
        std::snprintf(b, sizeof b, "#%d%0*lld", chiffres, chiffres, static_cast<long long>(annonce));
        tete = b;
        if (f && defauts.chiffresFaux)
            for (qsizetype k = 2; k < tete.size(); ++k)
                tete[k] = char('A' + (k - 2));
    }
    QByteArray prefixe;
    if (siglent && enTeteSiglent)
        prefixe = "C" + QByteArray::number(n) + ":WF DAT2,";
    QByteArray corps = d, fin = siglent ? "\n\n" : (avecEntete ? "\n" : "");
    if (f && defauts.tronque) {
        corps = d.left(d.size() / 2);
        fin.clear();
    }
    const QByteArray tout = prefixe + tete + corps + fin;
    if (f && defauts.coupure)
        couperApres = prefixe.size() + tete.size() + d.size() / 2;
    const QByteArray t = e.terminator();
    e.setTerminator(QByteArray());
    e.replyText(tout);
    e.setTerminator(t);
}

void SimRigolModel::construit()
{
    on("*IDN?", [this](SimEngine &e, const SimCall &) { e.replyText(idn); });
    on("*OPC?", [](SimEngine &e, const SimCall &) { e.replyText(QByteArray("1")); });
    on("*OPC", [](SimEngine &, const SimCall &) {});
    on("*CLS", [](SimEngine &, const SimCall &) {});
    on("*RST", [this](SimEngine &, const SimCall &) { reset(); });
    on("KEY:LOCK", [this](SimEngine &, const SimCall &c) {
        const QString a = argMaj(c);
        if (a.startsWith("DIS")) verrou = false;
        else if (a.startsWith("ENAB")) verrou = true;
    });
    on("KEY:LOCK?", [this](SimEngine &e, const SimCall &) { e.replyText(QByteArray(verrou ? "ENABLE" : "DISABLE")); });
    if (genre == SDS1000XE)
        construitSiglent();
    else
        construitRigol();
}

void SimRigolModel::construitRigol()
{
    const bool z = genre == DS1000Z;
    auto booleen = [z](SimEngine &e, bool b) { e.replyText(QByteArray(z ? (b ? "1" : "0") : (b ? "ON" : "OFF"))); };

    on("RUN", [](SimEngine &, const SimCall &) {});
    on("STOP", [](SimEngine &, const SimCall &) {});
    on("TIM:SCAL?", [this](SimEngine &e, const SimCall &) { e.replyText(nombre(tdiv)); });
    on("TIM:SCAL", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v) && v > 0) tdiv = v; });
    on("TIM:OFFS?", [this](SimEngine &e, const SimCall &) { e.replyText(nombre(toff)); });
    on("TIM:OFFS", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v)) toff = v; });
    on("TIM:FORM?", [this](SimEngine &e, const SimCall &) { e.replyText(formeTemps); });
    on("TIM:FORM", [this](SimEngine &, const SimCall &c) {
        const QString a = argMaj(c).remove('-');
        if (a == "XY" || a == "YT") formeTemps = a;
    });
    on("TIM:MODE?", [this](SimEngine &e, const SimCall &) { e.replyText(modeTemps); });
    on("TIM:MODE", [this](SimEngine &, const SimCall &c) {
        const QString a = argMaj(c);
        if (a.startsWith("MAIN")) modeTemps = "MAIN";
        else if (a.startsWith("DEL")) modeTemps = "DELAYED";
    });

    on("CHAN#:DISP?", [this, booleen](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) booleen(e, v->affichee); });
    on("CHAN#:DISP", [this](SimEngine &, const SimCall &c) { if (auto *v = voieDe(c)) SimEngine::parseBool(c.args, v->affichee); });
    on("CHAN#:INV?", [this, booleen](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) booleen(e, v->inverse); });
    on("CHAN#:INV", [this](SimEngine &, const SimCall &c) { if (auto *v = voieDe(c)) SimEngine::parseBool(c.args, v->inverse); });
    on("CHAN#:SCAL?", [this](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) e.replyText(nombre(v->echelle)); });
    on("CHAN#:SCAL", [this](SimEngine &, const SimCall &c) {
        double x; if (auto *v = voieDe(c); v && SimEngine::parseNumber(c.args, x) && x > 0) v->echelle = x;
    });
    on("CHAN#:OFFS?", [this](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) e.replyText(nombre(v->decalage)); });
    on("CHAN#:OFFS", [this](SimEngine &, const SimCall &c) {
        double x; if (auto *v = voieDe(c); v && SimEngine::parseNumber(c.args, x)) v->decalage = x;
    });

    on("WAV:DATA?", [this](SimEngine &e, const SimCall &c) {
        const int n = SimEngine::parseChannel(c.args);
        if (n >= 1 && n <= 2) repondOnde(e, n);
    });

    // Automatic measurements: ":MEAS:VPP? CHAN1", and ":MEAS:ITEM? VPP,CHAN1" on the DS1000Z.
    static const char *noms[] = {"FREQ", "PER", "VPP", "VMAX", "VMIN", "VAMP", "VAV", "VRMS", "RIS", "FALL", "PDUT", "DUTY"};
    auto valeur = [this](const QString &nom, int n, double &x) {
        if (n < 1 || n > 2) return false;
        const SimMesures m = mesures(n);
        const double vals[] = {m.freq, m.per, m.vpp, m.vmax, m.vmin, m.vamp, m.vav, m.vrms, m.ris, m.fall, m.duty, m.duty};
        for (int k = 0; k < 12; ++k)
            if (nom == QLatin1String(noms[k])) { x = vals[k]; return true; }
        return false;
    };
    for (const char *nom : noms) {
        const QString n = QString::fromLatin1(nom);
        on("MEAS:" + n + "?", [this, n, valeur](SimEngine &e, const SimCall &c) {
            double x; if (valeur(n, SimEngine::parseChannel(c.args), x)) e.replyText(nombre(x));
        });
    }
    on("MEAS:ITEM?", [this, valeur](SimEngine &e, const SimCall &c) {
        const QStringList a = argMaj(c).split(',');
        double x;
        if (a.size() == 2 && valeur(a[0].trimmed(), SimEngine::parseChannel(a[1]), x)) e.replyText(nombre(x));
    });
}

void SimRigolModel::construitSiglent()
{
    auto marche = [](bool b) { return QByteArray(b ? "ON" : "OFF"); };
    on("CHDR", [this](SimEngine &, const SimCall &c) {
        const QString a = argMaj(c);
        if (a == "OFF") enTeteSiglent = false;
        else if (a == "SHORT" || a == "LONG") enTeteSiglent = true;
    });
    on("CHDR?", [this](SimEngine &e, const SimCall &) { e.replyText(QByteArray(enTeteSiglent ? "CHDR SHORT" : "OFF")); });
    on("TDIV?", [this](SimEngine &e, const SimCall &c) { e.replyText(enteteSig(c, "TDIV") + FormatSiglent(tdiv, "S")); });
    on("TDIV", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v) && v > 0) tdiv = v; });
    on("TRDL?", [this](SimEngine &e, const SimCall &c) { e.replyText(enteteSig(c, "TRDL") + FormatSiglent(trdl, "S")); });
    on("TRDL", [this](SimEngine &, const SimCall &c) { double v; if (SimEngine::parseNumber(c.args, v)) trdl = v; });
    on("SARA?", [this](SimEngine &e, const SimCall &c) { e.replyText(enteteSig(c, "SARA") + FormatSaraSiglent(sara())); });
    on("C#:TRA?", [this, marche](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) e.replyText(enteteSig(c, "TRA") + marche(v->affichee)); });
    on("C#:TRA", [this](SimEngine &, const SimCall &c) { if (auto *v = voieDe(c)) SimEngine::parseBool(c.args, v->affichee); });
    on("C#:INVS?", [this, marche](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) e.replyText(enteteSig(c, "INVS") + marche(v->inverse)); });
    on("C#:INVS", [this](SimEngine &, const SimCall &c) { if (auto *v = voieDe(c)) SimEngine::parseBool(c.args, v->inverse); });
    on("C#:VDIV?", [this](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) e.replyText(enteteSig(c, "VDIV") + FormatSiglent(v->echelle, "V")); });
    on("C#:VDIV", [this](SimEngine &, const SimCall &c) {
        double x; if (auto *v = voieDe(c); v && SimEngine::parseNumber(c.args, x) && x > 0) v->echelle = x;
    });
    on("C#:OFST?", [this](SimEngine &e, const SimCall &c) { if (auto *v = voieDe(c)) e.replyText(enteteSig(c, "OFST") + FormatSiglent(v->decalage, "V")); });
    on("C#:OFST", [this](SimEngine &, const SimCall &c) {
        double x; if (auto *v = voieDe(c); v && SimEngine::parseNumber(c.args, x)) v->decalage = x;
    });
    on("C#:WF?", [this](SimEngine &e, const SimCall &c) {
        if (voieDe(c) && argMaj(c) == "DAT2") repondOnde(e, c.suffix(0));
    });
    on("C#:PAVA?", [this](SimEngine &e, const SimCall &c) {
        SimRigolVoie *v = voieDe(c);
        if (!v) return;
        const SimMesures m = mesures(c.suffix(0));
        const QString p = argMaj(c);
        static const struct { const char *nom; const char *unite; } params[] = {
            {"RMS", "V"}, {"PKPK", "V"}, {"MEAN", "V"}, {"AMPL", "V"}, {"MAX", "V"}, {"MIN", "V"},
            {"FREQ", "Hz"}, {"PER", "S"}, {"RISE", "S"}, {"FALL", "S"}, {"DUTY", "%"}};
        const double vals[] = {m.vrms, m.vpp, m.vav, m.vamp, m.vmax, m.vmin, m.freq, m.per, m.ris, m.fall,
                               m.duty >= Invalide ? Invalide : 100 * m.duty};
        for (int k = 0; k < 11; ++k) {
            if (p != QLatin1String(params[k].nom)) continue;
            char b[64];
            std::snprintf(b, sizeof b, "%.3E%s", vals[k], params[k].unite);
            const QByteArray val = vals[k] >= Invalide ? QByteArray("****") : QByteArray(b);
            const QByteArray h = enTeteSiglent ? "C" + QByteArray::number(c.suffix(0)) + ":PAVA " + params[k].nom + "," : QByteArray();
            e.replyText(h + val);
        }
    });
}
