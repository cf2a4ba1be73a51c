#include "multimeter/cycle.h"

#include "drivers/rigol.h"
#include "link/echange.h"
#include "link/parsenumber.h"
#include "link/portserie.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace {

bool viaRigol(Tconstructeur c) { return c == oRigolUSB || c == oRigolVisa || c == oSiglent; }

QByteArray nombre(int n) { return QByteArray::number(n); }

// A port that is closed or lost speaks as the link does: the cycle handles link errors only.
template <class F>
auto parLaLiaison(F &&f)
{
    try {
        return f();
    } catch (const EPortError &e) {
        throw EserieError(e.texte);
    }
}

} // namespace

// ---- Numbers of the replies --------------------------------------------------

double LitNombreMesure(const QByteArray &reponse)
{
    // The number, an optional prefix letter, then whatever unit follows ("Hz", "V", "%"...).
    static const QRegularExpression forme(QStringLiteral(
        "^\\s*([+-]?(?:\\d+[.,]?\\d*|[.,]\\d+)(?:[eE][+-]?\\d+)?)\\s*([yzafpnu\u00B5mkMGTPE]?)(.*)$"));
    const QString texte = QString::fromLatin1(reponse).trimmed();
    const QRegularExpressionMatch m = forme.match(texte);
    if (!m.hasMatch())
        return NaN();
    QString prefixe = m.captured(2);
    const QString unite = m.captured(3).trimmed();
    // A unit holds no digits: "1.5 2" is not a number.
    for (const QChar c : unite)
        if (c.isDigit())
            return NaN();
    if (prefixe == QLatin1String("u"))
        prefixe = QStringLiteral("\u00B5");
    const double v = ParseNumber(m.captured(1) + prefixe);
    return std::isnan(v) || std::fabs(v) > 1e37 ? NaN() : v;
}

// ---- The instrument through the exchange and the Rigol driver ----------------

void TInstrumentMesure::videEntree()
{
    if (echange_)
        parLaLiaison([&] { echange_->port().FlushInBuffer(); });
}

double TInstrumentMesure::GetFloat(const QByteArray &commande)
{
    // The exchange's GetFloat reads "1.000kHz" as NaN; the measurement replies of some
    // makers carry their unit, so the reply line is read here.
    if (!echange_)
        return NaN();
    try {
        return LitNombreMesure(parLaLiaison([&] { return echange_->GetString(commande); }));
    } catch (const EserieError &) {
        return NaN();
    }
}

QByteArray TInstrumentMesure::GetString(const QByteArray &commande)
{
    if (!echange_)
        throw EserieError(QStringLiteral("Pas de réponse à : ") + QString::fromLatin1(commande));
    return parLaLiaison([&] { return echange_->GetString(commande); });
}

void TInstrumentMesure::EnvoieCommandeSimple(const QByteArray &commande)
{
    if (echange_)
        parLaLiaison([&] { echange_->EnvoieCommandeSimple(commande); });
}

void TInstrumentMesure::EnvoieCommandeRapide(const QByteArray &commande)
{
    if (!echange_)
        throw EserieError(QStringLiteral("Pas de réponse à ") + QString::fromLatin1(commande)
                          + QStringLiteral(" au bout de 2 secondes"));
    parLaLiaison([&] { echange_->EnvoieCommandeRapide(commande); });
}

double TInstrumentMesure::QueryFloat(const QByteArray &commande)
{
    return rigol_ ? rigol_->QueryFloat(commande) : NaN();
}

double TInstrumentMesure::QueryFloatSiglent(const QByteArray &commande)
{
    return rigol_ ? rigol_->QueryFloatSiglent(commande) : NaN();
}

void TInstrumentMesure::Ecrit(const QByteArray &commande)
{
    if (rigol_)
        rigol_->Ecrit(commande);
}

void TInstrumentMesure::QueryWave(int voie)
{
    if (!rigol_)
        throw EserieError(QStringLiteral("Oscilloscope non connecté"));
    rigol_->QueryWave(voie);
}

double TInstrumentMesure::phase() { return rigol_ ? rigol_->phase() : NaN(); }

void TInstrumentMesure::unLock()
{
    if (rigol_)
        rigol_->unLock();
}

void TInstrumentMesure::pause(int ms) { QThread::msleep(ulong(std::max(ms, 0))); }

// ---- View --------------------------------------------------------------------

void IVueMultimetre::pompe() { QCoreApplication::processEvents(); }

namespace {
IVueMultimetre &vueMuette()
{
    static IVueMultimetre v;
    return v;
}
} // namespace

// ---- The cycle ---------------------------------------------------------------

TMultimetre::TMultimetre(IInstrumentMesure &instrument, IVueMultimetre *vue) : instrument_(instrument), vue_(vue)
{
    Graphe.PanelErreurLect = [this](const QString &texte) { this->vue().erreurLecture(true, texte); };
    ChargeVoiesParDefaut();
}

IVueMultimetre &TMultimetre::vue() { return vue_ ? *vue_ : vueMuette(); }

void TMultimetre::ChargeVoiesParDefaut()
{
    for (size_t i = 0; i <= 4; ++i)
        Graphe.voie[i].AppliqueMesure(TableMesures[i]);
    Graphe.voie[VoieAbscisse].AxeLog = true;
    Graphe.DerniereVoie = 3;   // rows 1..3 are active, row 4 is not
}

void TMultimetre::setTimer(bool actif)
{
    timerActif = actif;
    vue().minuterie(actif, IntervalleMs);
}

void TMultimetre::cocheMesure(bool coche)
{
    if (MesureCB == coche)
        return;
    MesureCB = coche;
    vue().mesureCoche(coche);
}

void TMultimetre::majEtatActions() { vue().actions(etatActions); }

double TMultimetre::phaseDesFormes()
{
    instrument_.QueryWave(1);
    instrument_.pause(100);
    instrument_.QueryWave(2);
    return instrument_.phase();
}

double TMultimetre::litVoie(const Tvoie &v)
{
    const int n = v.NumVoie;
    const bool phase = v.Command == "PHAS";
    switch (constructeur) {
    case oRigol:
        if (phase)
            return 0;
        return instrument_.GetFloat(":MEAS:" + v.Command + "? CHAN" + nombre(n));
    case oRigolUSB:
    case oRigolVisa:
        if (phase)
            return phaseDesFormes();
        return instrument_.QueryFloat(":MEAS:" + v.Command + "? CHAN" + nombre(n));
    case oSiglent:
        if (phase)
            return phaseDesFormes();
        return instrument_.QueryFloatSiglent("C" + nombre(n) + ":PAVA? RMS");
    case oGoodWill:
        if (phase)
            instrument_.GetFloat(":MEAS:SOURce2 CH" + nombre(3 - n));
        instrument_.GetFloat(":MEAS:SOURce1 CH" + nombre(n));
        return instrument_.GetFloat(":MEAS:" + v.commandGDS + "?");
    default:
        return instrument_.GetFloat(":MEAS:SOUR CHAN" + nombre(n) + ";" + v.Command + "?");
    }
}

void TMultimetre::elargit()
{
    bool change = false;
    for (int i = 0; i <= std::clamp(Graphe.DerniereVoie, 0, 4); ++i) {
        Tvoie &v = Graphe.voie[size_t(i)];
        const double a = std::fabs(v.valeurCourante);
        // Nothing to widen for a zero (no logarithm) or a non-finite value.
        if (!(a > 0) || !std::isfinite(a))
            continue;
        // Leading digit d and its power of ten p. Below 1, p is taken as 1 / 10^-e so that
        // 0.3 gives the digit 3 and the bound 0.3 (not 2 and 0.2 from 0.3 / 0.1).
        const double e = FloorValue(std::log10(a));
        const double dix = std::pow(10.0, std::fabs(e));
        const auto fois = [&](double k) { return e < 0 ? k / dix : k * dix; };
        const double d = std::clamp(std::trunc(e < 0 ? a * dix : a / dix), 1.0, 9.0);
        bool voieChange = false;
        if (a > v.maxi) {
            v.maxi = fois(d + 1);
            voieChange = true;
        }
        if (i == VoieAbscisse && a < v.mini) {
            v.mini = fois(d);
            voieChange = true;
        }
        if (!voieChange)
            continue;
        change = true;
        QString titre = QStringLiteral("CH") + QString::number(v.NumVoie) + QLatin1Char(' ');
        if (i == VoieAbscisse)
            titre += v.StrValeur(v.mini) + QStringLiteral("..") + v.StrValeur(v.maxi);
        else
            titre += v.Signif + (v.Positive ? QStringLiteral(" +") : QStringLiteral(" \u00B1")) + v.StrValeur(v.maxi);
        vue().titreVoie(i, titre);
    }
    if (change) {
        aRepeindre = true;
        vue().repeint(false);
    }
}

void TMultimetre::finDeCycle()
{
    switch (constructeur) {
    case oRigol: instrument_.EnvoieCommandeSimple(":KEY:LOCK DIS"); break;
    case oRigolUSB:
    case oRigolVisa:
    case oSiglent: instrument_.unLock(); break;
    default: break;
    }
    MajActions();
    setTimer(MesureCB);
}

void TMultimetre::LectureVoies()
{
    // A cycle started from an event handled inside a running one (a space typed right after
    // unchecking MesureCB) would mix two exchanges: it is refused.
    if (enCycle_)
        return;
    enCycle_ = true;
    struct Fin {
        bool &drapeau;
        ~Fin() { drapeau = false; }
    } fin{enCycle_};
    try {
        // 1, 2
        arretAcquisition = false;
        for (int n = 0; n <= 4; ++n)
            vue().panneau(n, QString());
        const int derniere = std::clamp(Graphe.DerniereVoie, 0, 4);
        std::array<bool, 5> entrees{};
        for (int i = 0; i <= derniere; ++i) {
            const int n = Graphe.voie[size_t(i)].NumVoie;
            if (n >= 1 && n <= 4)
                entrees[size_t(n)] = true;
        }
        // 3
        setTimer(false);
        vue().erreurLecture(false, QString());
        if (!MesureCB) {
            etatActions.enregistre = false;
            majEtatActions();
        }
        // 4, 5
        if (!viaRigol(constructeur))
            instrument_.videEntree();
        switch (constructeur) {
        case oRigol: baseDeTemps = instrument_.GetFloat(":TIM:SCAL?"); break;
        case oRigolUSB:
        case oRigolVisa: baseDeTemps = instrument_.QueryFloat(":TIM:SCAL?"); break;
        case oSiglent: baseDeTemps = instrument_.QueryFloatSiglent("TDIV?"); break;
        default: baseDeTemps = instrument_.GetFloat(":TIM:RANG?"); break;
        }
        for (int n = 1; n <= 4; ++n) {
            if (!entrees[size_t(n)])
                continue;
            switch (constructeur) {
            case oRigol: calibreVoie[size_t(n)] = instrument_.GetFloat(":CHAN" + nombre(n) + ":SCAL?"); break;
            case oRigolUSB:
            case oRigolVisa: calibreVoie[size_t(n)] = instrument_.QueryFloat(":CHAN" + nombre(n) + ":SCAL?"); break;
            case oSiglent: calibreVoie[size_t(n)] = instrument_.QueryFloatSiglent("C" + nombre(n) + ":VDIV?"); break;
            default: calibreVoie[size_t(n)] = instrument_.GetFloat(":CHAN" + nombre(n) + ":RANG?"); break;
            }
        }
        // 6
        vue().pompe();
        if (arretAcquisition) {
            finDeCycle();
            return;
        }
        // 7
        Graphe.ErreurLectureGlb = false;
        for (int i = 0; i <= derniere; ++i) {
            Tvoie &v = Graphe.voie[size_t(i)];
            v.oldValeur = v.valeurCourante;
            vue().hintVoie(i, QString());
            v.valeurCourante = litVoie(v);
            v.erreurLecture = std::isnan(v.valeurCourante);
            Graphe.ErreurLectureGlb = Graphe.ErreurLectureGlb || v.erreurLecture;
            if (v.erreurLecture) {
                v.valeurCourante = v.oldValeur;
                vue().labelVoie(i, v.Nom + QStringLiteral("=???"));
                int panneau = 0;
                QString texte;
                if (v.Unite == QStringLiteral("\u00B0") || v.Unite == QLatin1String("Hz") || v.Unite == QLatin1String("s")) {
                    texte = QStringLiteral("Moins de deux périodes ?");
                } else {
                    panneau = std::clamp(int(v.NumVoie), 0, 4);
                    texte = QStringLiteral("CH") + QString::number(v.NumVoie) + QStringLiteral(" saturée ?");
                }
                vue().panneau(panneau, texte);
                vue().hintVoie(i, texte);
                break;
            }
            v.SetPhase();
            vue().labelVoie(i, v.Nom + QLatin1Char('=') + v.StrValeur(v.valeurCourante));
            if (!MesureCB)
                v.oldValeur = v.valeurCourante;
            vue().pompe();
            if (arretAcquisition) {
                finDeCycle();
                return;
            }
        }
        // 8
        if (Graphe.ErreurLectureGlb) {
            vue().panneau(4, QStringLiteral("Erreur sur une mesure => point non acquis"));
            vue().erreurVisible(true);
            etatActions.stop = true;
            majEtatActions();
            if (MesureCB)
                vue().repeint(true);
            finDeCycle();
            return;
        }
        // 9
        Graphe.voie[VoieTemps].valeurCourante = ElapsedSeconds(DebutAcquisition);
        frequenceCourante = Graphe.voie[VoieAbscisse].valeurCourante;
        for (int i = 0; i <= derniere; ++i)
            Graphe.voie[size_t(i)].SetIncertitude();
        // 10
        elargit();
        // 11
        vue().erreurVisible(false);
        etatActions.stop = false;
        majEtatActions();
        if (MesureCB)
            vue().dessine([this] { Graphe.AfficheCurseur(); });
        if ((Graphe.acqAutoEnCours || !MesureCB) && Graphe.NbrePoints < NbrePointsMax)
            vue().dessine([this] { Graphe.EnregistrePointCourant(); });
    } catch (const EserieError &e) {
        Graphe.ErreurLectureGlb = true;
        if (MesureCB)
            vue().repeint(true);
        vue().panneau(4, QStringLiteral("Arrêt après attente d'une seconde : ") + e.message());
        cocheMesure(false);
        vue().erreurVisible(true);
        etatActions.stop = true;
        // The front panel is given back even so.
        try {
            finDeCycle();
        } catch (const EserieError &) {
            MajActions();
            setTimer(false);
        }
        return;
    }
    // 12
    finDeCycle();
}

void TMultimetre::TimerTimer()
{
    setTimer(false);
    LectureVoies();
}

void TMultimetre::EnregistreExec()
{
    if (!MesureCB) {
        LectureVoies();
        return;
    }
    vue().dessine([this] { Graphe.EnregistrePointCourant(); });
    MajActions();
    vue().focusEnregistre();
}

bool TMultimetre::ToucheEspace()
{
    if (!etatActions.enregistre)
        return false;
    EnregistreExec();
    return true;
}

bool TMultimetre::FormShortCut(int touche)
{
    if (touche != Qt::Key_F8)
        return false;
    vue().acqAutoVisible();
    return true;
}

void TMultimetre::StartBtnClick()
{
    Graphe.acqAutoEnCours = true;
    DebutAcquisition = MarqueTemps();
    etatActions.startVisible = false;
    etatActions.stopVisible = true;
    majEtatActions();
}

void TMultimetre::StopBtnClick()
{
    Graphe.acqAutoEnCours = false;
    etatActions.startVisible = true;
    etatActions.stopVisible = false;
    majEtatActions();
}

void TMultimetre::StopActionExec()
{
    arretAcquisition = true;
    cocheMesure(false);
    etatActions.stop = false;
    majEtatActions();
    try {
        // The instruments behind the Rigol driver have no serial link to wait on.
        if (viaRigol(constructeur))
            instrument_.Ecrit("*RST");
        else
            instrument_.EnvoieCommandeRapide("*RST");
    } catch (const EserieError &e) {
        vue().message(e.message());
    }
}

void TMultimetre::setMesureCB(bool coche)
{
    cocheMesure(coche);
    MesureCBClick();
}

void TMultimetre::setAcqAutoCB(bool coche)
{
    AcqAutoCB = coche;
    MesureCBClick();
}

void TMultimetre::MesureCBClick()
{
    arretAcquisition = true;
    MajActions();
    vue().focusEnregistre();
}

void TMultimetre::MajActions()
{
    const int n = Graphe.NbrePoints;
    etatActions.enregistre = n < NbrePointsMax;
    etatActions.undo = n > 0;
    etatActions.reset = n > 0;
    etatActions.korvalis = n > 3;
    setTimer(MesureCB && n < NbrePointsMax);
    if (!AcqAutoCB)
        Graphe.acqAutoEnCours = false;
    else if (!MesureCB) {
        // Checking MesureCB is a click on it.
        cocheMesure(true);
        arretAcquisition = true;
        setTimer(n < NbrePointsMax);
    }
    etatActions.startVisible = AcqAutoCB && !Graphe.acqAutoEnCours;
    etatActions.stopVisible = AcqAutoCB && Graphe.acqAutoEnCours;
    majEtatActions();
}

void TMultimetre::VerifieSondes()
{
    try {
        for (int i = 1; i <= 2; ++i) {
            const QString voie = QStringLiteral("Vérifier coeff. de sonde (PROB) ");
            if (constructeur == oAgilent) {
                const double k = instrument_.GetFloat(":CHAN" + nombre(i) + ":PROB?");
                if (std::isnan(k))
                    return;   // no answer: the check ends
                if (std::nearbyint(k) != 1)
                    vue().message(voie + QStringLiteral("sur voie") + QString::number(i));
            } else if (constructeur == oHewlett) {
                const QByteArray r = instrument_.GetString(":CHAN" + nombre(i) + ":PROB?");
                if (r != "X1")
                    vue().message(voie + QString::fromLatin1(r) + QStringLiteral(" sur voie") + QString::number(i));
            } else {
                return;
            }
        }
    } catch (const std::exception &) {
        // Any failure ends the check silently.
    }
}
