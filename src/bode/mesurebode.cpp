#include "bode/mesurebode.h"

#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

const QString MessageDeuxVoies = QStringLiteral("Deux voies actives nécessaires pour mesurer gain/phase");

QString MessageAcquisitionNonFaite(int n)
{
    return QStringLiteral("Acquisition de CH") + QString::number(n) + QStringLiteral(" non effectuée par l'ordinateur");
}

void IVueBode::pompe()
{
    QCoreApplication::processEvents();
}

namespace {
// Without a caller's view the messages go to stderr.
class TVueBodeSilencieuse : public IVueBode {
public:
    void afficheErreur(const QString &t) override { qWarning("%s", qPrintable(t)); }
    void message(const QString &t) override { qWarning("%s", qPrintable(t)); }
};

// Sets a flag for the length of a scope.
struct TDrapeau {
    explicit TDrapeau(bool &d) : d_(d) { d_ = true; }
    ~TDrapeau() { d_ = false; }
    bool &d_;
};
} // namespace

TMesureBode::TMesureBode(TEchange &echange, IVueBode *vue)
    : echange_(echange), port_(echange.port()), vue_(vue)
{
    // Every received byte is handed to the reader as it comes.
    port_.TriggerLength = 1;
}

TMesureBode::~TMesureBode()
{
    retire();
}

IVueBode &TMesureBode::vue()
{
    static TVueBodeSilencieuse silencieuse;
    return vue_ ? *vue_ : silencieuse;
}

void TMesureBode::pause(int ms)
{
    dureePauses_ += ms;
    const qint64 fin = TickClock::msecs() + ms;
    for (;;) {
        vue().pompe();
        const qint64 reste = fin - TickClock::msecs();
        if (reste <= 0)
            break;
        const int pas = int(std::min<qint64>(reste, 5));
        if (!port_.Open() || port_.waiting() >= TPortSerie::InSize)
            QThread::msleep(ulong(std::min(pas, 1)));
        else
            port_.waitForData(pas);
    }
}

void TMesureBode::installe()
{
    port_.setOnTriggerAvail([this](TPortSerie &p, int count) {
        for (int i = 0; i < count && p.CharReady(); ++i)
            lecteur.octet(static_cast<quint8>(p.GetChar()));
    });
}

void TMesureBode::retire()
{
    port_.setOnTriggerAvail({});
}

static double echelle(TEchange &e, const QByteArray &commande)
{
    try {
        return LitNombreUnite(e.GetString(commande));
    } catch (const EserieError &) {
        return std::numeric_limits<double>::quiet_NaN();
    }
}

bool TMesureBode::acquiertVoie(int n)
{
    n = n == 2 ? 2 : 1;
    voieCourante = n;
    pause(220);
    const QByteArray chiffre = QByteArray::number(n);
    if (n == 1 && constructeur != oFI)
        calcul.Deltat = DeltatTempsParDivision(echelle(echange_, ":TIM:SCAL?"));
    TvoieOscBode &v = calcul.VoieOsc[size_t(n)];
    v.increment = IncrementVoie(echelle(echange_, ":CHAN" + chiffre + ":SCAL?"));

    // A byte left on the line (the end of the last reply) would be counted by the fixed-header
    // reader: the read starts from a clean line, and the LF of the scale's CR LF, when it has
    // not come yet, is not taken for the block's first byte.
    const bool lfEnRetard = echange_.lfEnAttente();
    port_.FlushInBuffer();
    lecteur.Deltat = calcul.Deltat;
    lecteur.arme(constructeur, &v, lfEnRetard);
    installe();
    dureePauses_ += 100;
    echange_.EnvoieCommandeSimple(constructeur == oGoodWill ? ":ACQ" + chiffre + ":MEM" : ":ACQ" + chiffre + ":POIN");

    arretAcquisition = false;
    {
        TDrapeau garde(lecture_);
        vue().stopActif(true);
        AcqFaite = false;
        minuterie_.StartTimerSecs(2);
        for (;;) {
            port_.ProcessCommunications();
            vue().pompe();
            // A block that can no longer complete is reported at once, as its time limit would.
            if (lecteur.AcqFaite || arretAcquisition || arretForce || minuterie_.TimerExpired()
                || lecteur.inutilisable() || !port_.Open())
                break;
            port_.waitForData(5);
        }
        vue().stopActif(false);
        retire();
    }
    AcqFaite = lecteur.AcqFaite;
    calcul.Deltat = lecteur.Deltat;
    if (!AcqFaite && !arretForce) {
        if (!port_.Open())
            throw EPortError(port_.raisonPerte());
        vue().arreteContinu();
        vue().message(MessageAcquisitionNonFaite(n));
    }
    return AcqFaite;
}

bool TMesureBode::Mesure(int voieRef)
{
    if (mesure_)
        return false;
    TDrapeau garde(mesure_);
    dureePauses_ = 0;
    arretForce = false;
    vue().curseurAttente(true);
    calcul.redessine = false;
    calcul.voieRef = voieRef == 2 ? 2 : 1;
    vue().majBoutons();
    bool reussi = false;
    try {
        // Both are always asked.
        const bool affichee1 = echange_.GetBool(":CHAN1:DISP?");
        const bool affichee2 = echange_.GetBool(":CHAN2:DISP?");
        if (!affichee1 || !affichee2) {
            vue().afficheErreur(MessageDeuxVoies);
        } else {
            AcqFaite = false;
            if (acquiertVoie(1) && !arretForce)
                acquiertVoie(2);
            if (AcqFaite && !arretForce) {
                const double f = calcul.frequence.valeurCourante, g = calcul.gain.valeurCourante,
                             p = calcul.phase.valeurCourante;
                if (!calcul.mesureFrequence()) {
                    vue().afficheErreur(calcul.erreur);
                } else if (!calcul.calculeGainPhase()) {
                    // No angle between the channels: the current values stay as they were.
                    calcul.frequence.valeurCourante = f;
                    calcul.gain.valeurCourante = g;
                    calcul.phase.valeurCourante = p;
                    vue().afficheErreur(calcul.erreur);
                } else {
                    vue().effaceErreur();
                    reussi = true;
                    vue().resultats();
                }
            }
        }
    } catch (const EPortError &e) {
        retire();
        vue().arreteContinu();
        vue().message(e.texte);
    } catch (const EserieError &e) {
        retire();
        vue().arreteContinu();
        vue().message(e.texte);
    }
    vue().curseurAttente(false);
    return reussi;
}
