#include "generator/balayage.h"

#include "drivers/rigol.h"
#include "link/echange.h"
#include "link/parsenumber.h"
#include "link/portserie.h"
#include "link/ticktimer.h"
#include "measure/unites.h"

#include <QCoreApplication>
#include <QThread>
#include <cmath>

namespace {
constexpr int MaxPoints = 10000;
constexpr double DivisionsVerticales = 8.0;
}

// ---- Frequencies -------------------------------------------------------------------------

std::vector<double> FrequencesBalayage(const TParametresBalayage &p, QString &erreur)
{
    std::vector<double> f;
    erreur.clear();
    if (!std::isfinite(p.debut) || !std::isfinite(p.fin) || p.debut <= 0 || p.fin <= 0) {
        erreur = QStringLiteral("Fréquences de début et de fin du balayage incorrectes : deux nombres positifs sont attendus");
        return f;
    }
    if (ArrondiDecimal(p.debut, 9) == ArrondiDecimal(p.fin, 9)) {
        erreur = QStringLiteral("Les fréquences de début et de fin du balayage sont égales");
        return f;
    }
    if (p.logarithmique) {
        if (p.parDecade < 1 || p.parDecade > 1000) {
            erreur = QStringLiteral("Nombre de points par décade incorrect (de 1 à 1000)");
            return f;
        }
        const double pas = std::log10(p.fin / p.debut) * p.parDecade;   // signed, in steps
        const double total = std::fabs(pas);
        if (total + 2 > MaxPoints) {
            erreur = QStringLiteral("Balayage de plus de %1 points : réduire le nombre de points par décade").arg(MaxPoints);
            return f;
        }
        const int nPas = int(std::floor(total + 1e-6));
        const double sens = pas > 0 ? 1.0 : -1.0;
        for (int k = 0; k <= nPas; ++k)
            f.push_back(ArrondiDecimal(p.debut * std::pow(10.0, sens * k / p.parDecade), 9));
        // An end just past the last step takes its place; one farther off is added.
        if (total - nPas <= 0.05 && nPas > 0)
            f.back() = p.fin;
        else
            f.push_back(p.fin);
    } else {
        if (p.nombrePoints < 2 || p.nombrePoints > MaxPoints) {
            erreur = QStringLiteral("Nombre de points du balayage incorrect (de 2 à %1)").arg(MaxPoints);
            return f;
        }
        const int n = p.nombrePoints;
        for (int k = 0; k < n - 1; ++k)
            f.push_back(ArrondiDecimal(p.debut + (p.fin - p.debut) * k / (n - 1), 9));
        f.push_back(p.fin);
    }
    return f;
}

int AttenteStabilisation(double f, int attenteMinMs)
{
    const double trois = f > 0 ? std::ceil(3000.0 / f) : 0.0;
    return int(std::min(3.6e6, std::max<double>(std::max(0, attenteMinMs), trois)));
}

// ---- Oscilloscope ------------------------------------------------------------------------

double DivisionsHorizontales(Tconstructeur c)
{
    switch (c) {
    case oRigol:
    case oRigolUSB:
    case oRigolVisa: return 12.0;
    case oSiglent: return 14.0;
    default: return 10.0;
    }
}

double Valeur125(double v)
{
    if (!std::isfinite(v) || v <= 0)
        return NaN();
    double d = std::pow(10.0, std::floor(std::log10(v)));
    for (int i = 0; i < 3; ++i, d *= 10.0)
        for (double m : {1.0, 2.0, 5.0})
            if (m * d >= v * (1.0 - 1e-9))
                return ArrondiDecimal(m * d, 6);
    return ArrondiDecimal(d, 6);
}

double BaseDeTempsPour(double f, double divisions, double periodes)
{
    if (!(f > 0) || !(divisions > 0) || !(periodes > 0))
        return NaN();
    return Valeur125(periodes / (f * divisions));
}

static QByteArray nombre(double v) { return FormatNumber(v).toLatin1(); }

QByteArray CommandeBaseDeTemps(Tconstructeur c, double parDivision)
{
    switch (c) {
    case oAgilent:
    case oHewlett: return ":TIM:RANG " + nombre(parDivision * DivisionsHorizontales(c));
    case oSiglent: return "TDIV " + nombre(parDivision);
    default: return ":TIM:SCAL " + nombre(parDivision);
    }
}

QByteArray CommandeCalibre(Tconstructeur c, int voie, double parDivision)
{
    const QByteArray n = QByteArray::number(voie);
    switch (c) {
    case oAgilent:
    case oHewlett: return ":CHAN" + n + ":RANG " + nombre(parDivision * DivisionsVerticales);
    case oSiglent: return "C" + n + ":VDIV " + nombre(parDivision);
    default: return ":CHAN" + n + ":SCAL " + nombre(parDivision);
    }
}

void TOscilloBalayage::commande(const QByteArray &c)
{
    switch (c_) {
    case oAgilent:
    case oHewlett:
        if (!echange_)
            break;
        echange_->EnvoieCommandeRapide(c);
        return;
    case oSefram:
    case oGoodWill:
    case oFI:
    case oRigol:
        if (!echange_)
            break;
        echange_->EnvoieCommandeSimple(c);
        return;
    case oRigolUSB:
    case oRigolVisa:
    case oSiglent:
        if (rigol_ && rigol_->Ecrit(c) != 0)
            return;
        break;
    default:
        break;
    }
    throw EserieError(QStringLiteral("Commande non envoyée à l'oscilloscope : ") + QString::fromLatin1(c));
}

// ---- The sweep -----------------------------------------------------------------------------

double IPointBalayage::gain() const { return NaN(); }
double IPointBalayage::phase() const { return NaN(); }

void IVueBalayage::pompe()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

IVueBalayage &Balayage::vue()
{
    static IVueBalayage muette;
    return vue_ ? *vue_ : muette;
}

bool Balayage::arretDemande() const
{
    return arret_ || arretAcquisition;
}

bool Balayage::attend(int ms)
{
    const qint64 fin = TickClock::msecs() + ms;
    while (TickClock::msecs() < fin) {
        if (arretDemande())
            return false;
        vue().pompe();
        if (TickClock::msecs() < fin)
            QThread::msleep(1);
    }
    return !arretDemande();
}

bool Balayage::ajusteVertical(bool &change)
{
    change = false;
    const Tconstructeur c = osc_.constructeur();
    for (int n = 1; n <= 2; ++n) {
        TVoieEcran e;
        if (!point_.voieEcran(n, e) || !std::isfinite(e.calibre) || e.calibre <= 0)
            continue;
        double nouveau = e.calibre;
        if (e.saturee)
            nouveau = Valeur125(e.calibre * 1.5);
        else if (std::isfinite(e.crete) && e.crete > 0 && e.crete < e.calibre * DivisionsVerticales / 4) {
            // About 30 to 80 % of the screen.
            nouveau = Valeur125(e.crete / (DivisionsVerticales * 0.8));
            if (!(nouveau < e.calibre))
                nouveau = e.calibre;
        }
        if (std::isfinite(nouveau) && nouveau != e.calibre) {
            osc_.commande(CommandeCalibre(c, n, nouveau));
            change = true;
        }
    }
    return change;
}

bool Balayage::mesurePoint(double f, QString &erreur)
{
    const Tconstructeur c = osc_.constructeur();
    const double div = point_.divisionsEnregistrement() > 0 ? point_.divisionsEnregistrement() : DivisionsHorizontales(c);
    const double base = BaseDeTempsPour(f, div, periodes);
    // The circuit settles while the time base is being set (a command without reply has its
    // own wait): only what is left of the settling time is waited for afterwards.
    const qint64 debut = TickClock::msecs();
    if (std::isfinite(base))
        osc_.commande(CommandeBaseDeTemps(c, base));
    const qint64 passe = TickClock::msecs() - debut;
    if (!attend(int(std::max<qint64>(0, AttenteStabilisation(f, attenteMinMs_) - passe))))
        return false;
    for (int r = 0;; ++r) {
        const bool mesure = point_.mesure(erreur);
        if (r == MaxReglagesVerticaux || arretDemande())
            return mesure;
        // A reading that failed on a trace off the screen is taken again on a coarser scale.
        bool change = false;
        ajusteVertical(change);
        if (!change)
            return mesure;
        // The new scale shows on the next acquisition.
        if (!attend(std::max(attenteMinMs_, AttenteStabilisation(f, 0))))
            return false;
    }
}

static QString texteFrequence(double f)
{
    return FormatPrefixed(f, QStringLiteral("Hz"));
}

TResultatBalayage Balayage::execute(const TParametresBalayage &p)
{
    TResultatBalayage res;
    if (enCours_) {
        res.erreur = QStringLiteral("Un balayage est déjà en cours");
        return res;
    }
    const std::vector<double> liste = FrequencesBalayage(p, res.erreur);
    if (liste.empty())
        return res;
    enCours_ = true;
    struct Fin { bool &b; ~Fin() { b = false; } } fin{enCours_};
    arret_ = false;
    arretAcquisition = false;
    attenteMinMs_ = std::max(0, p.attenteMinMs);
    const int n = int(liste.size());

    for (int k = 0; k < n; ++k) {
        if (arretDemande()) {
            res.arrete = true;
            break;
        }
        const double f = liste[size_t(k)];
        vue().progression(k + 1, n, f);
        QString e;
        if (!gen_.regleFrequence(f, e)) {
            res.erreur = e;
            break;
        }
        bool ok = false;
        bool fatal = false;
        for (int essai = 0; essai < 2 && !ok; ++essai) {
            if (arretDemande())
                break;
            try {
                ok = mesurePoint(f, e);
            } catch (const EserieError &x) {
                e = x.message();
                ok = false;
            } catch (const EPortError &x) {
                // The oscilloscope's line went away: no point can be measured any more.
                res.erreur = x.texte;
                fatal = true;
                break;
            } catch (const std::exception &x) {
                // A calculation that could not be made (an angle of 0 + j0...): this point only.
                e = QString::fromLocal8Bit(x.what());
                ok = false;
            }
        }
        if (fatal)
            break;
        if (ok) {
            point_.enregistre();
            ++res.points;
            vue().point(k + 1, f, point_.gain(), point_.phase());
        }
        if (arretDemande()) {
            res.arrete = true;
            break;
        }
        if (!ok) {
            res.ignorees << f;
            vue().etat(QStringLiteral("Point à %1 ignoré : %2").arg(texteFrequence(f),
                                                                    e.isEmpty() ? QStringLiteral("mesure impossible") : e));
        }
    }

    QString bilan;
    if (!res.erreur.isEmpty())
        bilan = QStringLiteral("Balayage interrompu : %1").arg(res.erreur);
    else if (res.arrete)
        bilan = QStringLiteral("Balayage arrêté");
    else
        bilan = QStringLiteral("Balayage terminé");
    bilan += QStringLiteral(" (%1 point%2 enregistré%2)").arg(res.points).arg(res.points > 1 ? QStringLiteral("s") : QString());
    if (!res.ignorees.isEmpty()) {
        QStringList fs;
        for (double f : std::as_const(res.ignorees))
            fs << texteFrequence(f);
        bilan += QStringLiteral(" ; points ignorés : ") + fs.join(QStringLiteral(", "));
    }
    vue().etat(bilan);
    return res;
}
