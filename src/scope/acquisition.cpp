#include "scope/acquisition.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/ticktimer.h"
#include "measure/partage.h"

#include <QCoreApplication>
#include <QLocale>
#include <QThread>
#include <algorithm>

static QString nomVoie(int n) { return QStringLiteral("CH") + QString::number(n); }

void IAcquisitionVue::pompe()
{
    QCoreApplication::processEvents();
}

namespace {
// The views of a procedure run without a caller's view: messages go to stderr.
class TVueSilencieuse : public IAcquisitionVue {
public:
    void message(const QString &texte) override { qWarning("%s", qPrintable(texte)); }
};
}

TChoixPoints ChoixPoints(Tconstructeur c, int modele)
{
    switch (c) {
    case oSefram: return {{1250, 2500, 5000, 12500}, 2};
    case oFI: return {{1250, 2500, 5000, 12500}, 1};
    case oGoodWill:
        if (modele == 2)
            return {{500, 1250, 2500, 5000}, 3};
        return {{1250, 2500, 5000, 12500}, 3};
    case oRigol: return {{1024, 2048, 4096, 8192}, 0};
    default: return {{250, 500, 1000, 2000}, 2};
    }
}

TAcquisitionOsc::TAcquisitionOsc(TEchange &echange, IAcquisitionVue *vue)
    : echange_(echange), port_(echange.port()), vue_(vue)
{
    port_.TriggerLength = 1;
}

TAcquisitionOsc::~TAcquisitionOsc()
{
    retire();
}

IAcquisitionVue &TAcquisitionOsc::vue()
{
    static TVueSilencieuse silencieuse;
    return vue_ ? *vue_ : silencieuse;
}

void TAcquisitionOsc::choisitNombres()
{
    const TChoixPoints c = ChoixPoints(constructeur, modeleGDS);
    Nombre = c.nombres;
    NbrePoints = Nombre[size_t(c.item)];
}

bool TAcquisitionOsc::avecTraceActive() const { return port_.Tracing() == TTraceLogState::tlOn; }

void TAcquisitionOsc::trace(const QString &ligne)
{
    if (avecTraceActive())
        port_.AddStringToLog(ligne);
}

void TAcquisitionOsc::traceLecteur(const QString &ligne) { trace(ligne); }

void TAcquisitionOsc::jaugeMax(int voie, int max) { vue().jaugeMaximum(Voie[std::clamp(voie, 0, 2)].Gauge, max); }

void TAcquisitionOsc::jaugePos(int voie, int pos, bool redessine)
{
    vue().jaugePosition(Voie[std::clamp(voie, 0, 2)].Gauge, pos, redessine);
}

void TAcquisitionOsc::enTeteLu()
{
    jaugeMax(VoieCourante, NbrePointsLu);
    if (lecteur() == TLecteur::gds2000)
        jaugePos(VoieCourante, 0, true);
}

void TAcquisitionOsc::nombreDePoints(qint64 annonce)
{
    // Shown by the block wait, outside the receive notification, so that the reader never
    // runs inside its own message box.
    messageEnAttente_ = QStringLiteral("Nombre de points = ") + QString::number(annonce);
}

void TAcquisitionOsc::pause(int ms)
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

void TAcquisitionOsc::rapide(const QByteArray &c) { echange_.EnvoieCommandeRapide(c); }

void TAcquisitionOsc::simple(const QByteArray &c)
{
    dureePauses_ += 100;
    echange_.EnvoieCommandeSimple(c);
}

void TAcquisitionOsc::requeteDonnees(const QByteArray &c)
{
    // Bytes left on the line since the reader was armed (the line end of the last reply)
    // would be counted by the readers that count every byte: start from a clean line.
    port_.FlushInBuffer();
    arme(lecteur(), VoieCourante);
    messageEnAttente_.clear();
    echange_.EnvoieCommandeSimple(c);
}

void TAcquisitionOsc::installe(TLecteur l, int n)
{
    arme(l, n);
    avecTrace = avecTraceActive();
    messageEnAttente_.clear();
    port_.setOnTriggerAvail([this](TPortSerie &p, int count) {
        for (int i = 0; i < count; ++i)
            if (p.CharReady())
                octet(static_cast<quint8>(p.GetChar()));
        finNotification();
    });
}

void TAcquisitionOsc::retire() { port_.setOnTriggerAvail({}); }

bool TAcquisitionOsc::attenteBloc(qint64 debutMs, bool redessine)
{
    qint64 position = 0;
    jaugePos(VoieCourante, 0, redessine);
    for (;;) {
        const qint64 recus = echantillonsRecus();
        if (recus - position > NbrePointsLu / 32) {
            position = recus;
            jaugePos(VoieCourante, int(std::min<qint64>(position, NbrePointsLu)), redessine);
        }
        vue().pompe();
        port_.ProcessCommunications();
        if (!messageEnAttente_.isEmpty()) {
            // The time the box stays open is not counted against the transfer.
            const QString m = messageEnAttente_;
            messageEnAttente_.clear();
            const qint64 t0 = TickClock::msecs();
            vue().message(m);
            debutMs += TickClock::msecs() - t0;
            continue;
        }
        if (AcqFaite)
            break;
        // A line that went away will bring nothing more.
        if (!port_.Open())
            break;
        if (TickClock::msecs() - debutMs > qint64(DureeMax) * 1000)
            break;
        port_.waitForData(5);
    }
    retire();
    // Nothing more can be read on a line that went away: the read ends with its reason.
    if (!AcqFaite && !port_.Open())
        throw EPortError(port_.raisonPerte());
    return AcqFaite;
}

void TAcquisitionOsc::debutProcedure()
{
    dureePauses_ = 0;
    AcqFaite = false;
    lue_ = {false, false, false};
    affichee_ = {false, false, false};
    vue().boutonsLecture();
    vue().jaugePosition(1, 0, false);
    vue().jaugePosition(2, 0, false);
}

void TAcquisitionOsc::noteAffichees()
{
    for (int n = 1; n <= 2; ++n)
        affichee_[size_t(n)] = Voie[n].Activee;
}

QStringList TAcquisitionOsc::voiesNonLues() const
{
    QStringList l;
    for (int n = 1; n <= 2; ++n)
        if (affichee_[size_t(n)] && !lue_[size_t(n)])
            l << nomVoie(n);
    return l;
}

void TAcquisitionOsc::bilan()
{
    // Only the channels read in this run hold a record; the record exists when one of them does.
    for (int n = 1; n <= 2; ++n)
        if (!lue_[size_t(n)])
            Voie[n].Activee = false;
    AcqFaite = lue_[1] || lue_[2];
}

void TAcquisitionOsc::finProcedure()
{
    vue().boutonsRepos(AcqFaite);
    vue().statut(QString());
}

void TAcquisitionOsc::erreur(const std::exception &e)
{
    retire();
    QString texte;
    if (auto *s = dynamic_cast<const EserieError *>(&e))
        texte = s->texte;
    else if (auto *p = dynamic_cast<const EPortError *>(&e))
        texte = p->texte;
    else
        texte = QString::fromUtf8(e.what());
    vue().message(texte);
    bilan();
    AcqAsauver = false;
}

void TAcquisitionOsc::Enregistre()
{
    switch (constructeur) {
    case oAgilent:
    case oHewlett:
        trace(QStringLiteral("appel-enregistreHP"));
        enregistreHP();
        break;
    case oSefram:
    case oGoodWill:
        trace(QStringLiteral("appel-enregistreSefram"));
        enregistreSefram();
        break;
    case oRigol:
        trace(QStringLiteral("appel-enregistreRigol"));
        enregistreRigol();
        break;
    case oFI:
        trace(QStringLiteral("appel-enregistreFI"));
        enregistreFI();
        break;
    default:
        trace(QStringLiteral("enregistre?"));
        break;
    }
}

static QByteArray nombre(qint64 n) { return QByteArray::number(n); }
static QByteArray prefixe(int n) { return ":CHAN" + nombre(n) + ":"; }

// ---------------------------------------------------------------- HP and Agilent

void TAcquisitionOsc::enregistreHP()
{
    trace(QStringLiteral("Debut-lecture-HP"));
    arretAcquisition = false;
    debutProcedure();
    const bool agilent = constructeur == oAgilent;
    try {
        bool figer = OptionLecture == 1;
        if (!agilent && figer && echange_.GetString(":TRIG:MODE?").contains("SING")) {
            figer = false;   // a single-shot record is read as it stands
            OptionLecture = 0;
            vue().optionLecture(0);
        }
        const QByteArray mode = echange_.GetString(":TIM:MODE?");
        const bool xy = mode.contains("XY");
        if (mode.contains("WIND") || mode.contains("DEL"))
            throw EserieError(QStringLiteral("Acquisition impossible en mode ") + QString::fromLatin1(mode));
        const bool roll = mode.contains("ROLL");
        if (roll) {
            figer = false;
            rapide(":STOP");
        }
        modePeak = echange_.GetString(":ACQ:TYPE?").contains("PEAK");
        if (agilent) {
            rapide(":WAVEFORM:BYT LSBF");
            rapide(":WAVEFORM:FORMAT WORD");
        } else {
            rapide(":WAVEFORM:FORMAT BYTE");
        }
        for (int n = 1; n <= 2; ++n)
            Voie[n].Activee = echange_.GetBool(":STATUS? CHAN" + nombre(n));
        noteAffichees();
        if (xy) {
            rapide(":TIM:MODE NORM");
            vue().message(QStringLiteral("Vérifier la non saturation des voies"));
        }
        bool jointure = false;
        if (figer) {
            if (connect == cConn)
                jointure = echange_.GetBool(":DISP:CONN?");
            else if (connect == cVect)
                jointure = echange_.GetBool(":DISP:VECT?");
            if (!agilent)
                rapide(echange_.GetBool(":TIM:VERN?") ? ":ACQ:COMP 100" : ":ACQ:COMP 40");
            if (jointure)
                rapide(connect == cConn ? ":DISP:CONN OFF" : ":DISP:VECT 0");
            QByteArray dig = ":DIG ";
            if (Voie[1].Activee)
                dig += "CHAN1";
            if (Voie[1].Activee && Voie[2].Activee)
                dig += ",";
            if (Voie[2].Activee)
                dig += "CHAN2";
            if (dig == ":DIG ")
                throw EserieError(QStringLiteral("Aucune voie active"));
            if (!agilent)
                rapide(":DITHER OFF");
            vue().statut(QStringLiteral("Attente de fin d'acquisition"));
            vue().stopActif(true);
            echange_.EnvoieCommandeLente(dig);
            vue().stopActif(false);
            vue().statut(QStringLiteral("Lecture de l'acquisition"));
        } else if (!agilent && !roll) {
            rapide(":ACQ:COMP 0");
        }
        for (int n = 1; n <= 2; ++n)
            if (Voie[n].Activee)
                litVoieHP(n, xy);
        if (figer || roll)
            rapide(":RUN");
        if (jointure)
            rapide(agilent ? ":DISP:VECT 1" : ":DISP:CONN ON");
        if (xy)
            rapide(":TIM:MODE XY");
        bilan();
        AcqAsauver = AcqFaite;
    } catch (const std::exception &e) {
        erreur(e);
    }
    finProcedure();
}

bool TAcquisitionOsc::litVoieHP(int n, bool xy)
{
    VoieCourante = n;
    TvoieOsc &v = Voie[n];
    v.Activee = false;
    rapide(":WAV:SOURCE CHAN" + nombre(n));
    vue().stopActif(true);
    pause(100);
    NbrePointsLu = echange_.GetInt(":ACQ:POINTS?", 0);
    vue().pompe();
    if (arretAcquisition)
        throw EserieError(QStringLiteral("Problème de lecture"));
    vue().stopActif(false);
    if (NbrePointsLu < Nombre[0])
        throw EserieError(QStringLiteral("Acquisition de ") + nomVoie(n) + QStringLiteral(" non effectuée par l'oscillo"));
    if (NbrePoints > NbrePointsLu)
        vue().message(QStringLiteral("Pas plus de ") + QString::number(NbrePointsLu) + QStringLiteral(" points"));
    NbrePointsLu = std::min(NbrePoints, NbrePointsLu);
    if (n == 2)
        pause(50);
    rapide(":WAV:POINTS " + nombre(NbrePointsLu));
    if (n == 2)
        pause(50);
    Voie[0].increment = echange_.GetFloat(":WAV:XINC?");
    Voie[0].origine = echange_.GetFloat(":WAV:XOR?");
    Voie[0].reference = echange_.GetInt(":WAV:XREF?", 0);
    v.increment = echange_.GetFloat(":WAV:YINC?");
    v.origine = echange_.GetFloat(":WAV:YOR?");
    v.reference = echange_.GetInt(":WAV:YREF?", 0);
    if (echange_.GetBool(prefixe(n) + "INV?"))
        v.origine = -v.origine;
    installe(constructeur == oAgilent ? TLecteur::agilent : TLecteur::hewlett, n);
    vue().pompe();
    if (arretAcquisition) {
        retire();
        throw EserieError(QStringLiteral("Problème de lecture"));
    }
    if (n == 2)
        pause(250);
    Attente = atDiese;
    const qint64 debut = TickClock::msecs();
    DureeMax = NbrePointsLu / 250 + 2;
    requeteDonnees(":WAV:DATA?");
    trace(QStringLiteral(":WAV:DATA?"));
    const bool complet = attenteBloc(debut, false);
    NbreCourant = 0;
    if (complet) {
        jaugePos(n, NbrePointsLu, false);
        v.Activee = true;
        lue_[size_t(n)] = true;
        pause(100);
        if (NbrePointsLu / 10 < NbreZero)
            vue().message(nomVoie(n) + QStringLiteral(" saturée ou acquisition non complète"));
    } else {
        vue().message(xy ? QStringLiteral("Acquisition en mode XY impossible")
                         : QStringLiteral("Acquisition de ") + nomVoie(n)
                               + QStringLiteral(" non effectuée par l'ordinateur (time out) HP"));
        jaugePos(n, 0, false);
    }
    return complet;
}

// ---------------------------------------------------------------- Sefram and GoodWill/Instek

void TAcquisitionOsc::enregistreSefram()
{
    debutProcedure();
    const bool goodwill = constructeur == oGoodWill;
    const bool gds2000 = goodwill && modeleGDS == 2;
    try {
        bool arret = false, xy = false;
        if (gds2000) {
            simple(":HEAD ON");
            if (echange_.GetString(":TIM:MOD?").contains("XY")) {
                xy = true;
                rapide(":TIM:MOD MAIN");
            }
            int code = 1;
            const QByteArray m = echange_.GetString(":ACQ:MOD?");
            if (m.contains("SAMP")) code = 0;
            if (m.contains("AVER")) code = 2;
            if (m.contains("PDET")) code = 1;
            if (code == 1)
                throw EserieError(QStringLiteral("Acquisition impossible en mode PEAK"));
        } else {
            const int balayage = echange_.GetInt(":TIM:SWE?", 0);
            if (balayage == 1)
                throw EserieError(QStringLiteral("Acquisition impossible en mode Delayed"));
            if (balayage == 2)
                throw EserieError(QStringLiteral("Acquisition impossible en mode Windows"));
            if (balayage == 3) {
                arret = true;
                rapide(":STOP");
            }
            if (balayage == 4) {
                xy = true;
                rapide(":TIM:SWE 0");
            }
            if (echange_.GetInt(":ACQ:MOD?", 0) == 1)
                throw EserieError(QStringLiteral("Acquisition impossible en mode PEAK"));
        }
        Voie[0].increment = 1e-7;
        Voie[0].reference = 0;
        for (int n = 1; n <= 2; ++n) {
            Voie[n].increment = 0.04;
            Voie[n].origine = 0;
            Voie[n].reference = 0;
        }
        for (int n = 1; n <= 2; ++n) {
            Voie[n].Activee = echange_.GetBool(prefixe(n) + "DISP?");
            trace(QStringLiteral("Voie") + QString::number(n) + QStringLiteral(" active : ")
                  + (Voie[n].Activee ? QStringLiteral("Oui") : QStringLiteral("Non")));
        }
        noteAffichees();
        for (int n = 1; n <= 2; ++n)
            if (Voie[n].Activee)
                litVoie(n, gds2000);
        retire();
        if (arret)
            rapide(":RUN");
        if (xy)
            rapide(gds2000 ? ":TIM:MOD XY" : ":TIM:SWE 4");
        bilan();
        AcqAsauver = AcqFaite;
    } catch (const std::exception &e) {
        erreur(e);
    }
    finProcedure();
}

void TAcquisitionOsc::litVoie(int n, bool gds2000)
{
    const bool goodwill = constructeur == oGoodWill;
    trace(QStringLiteral("Entrée litVoie") + QString::number(n));
    VoieCourante = n;
    TvoieOsc &v = Voie[n];
    v.Activee = false;
    vue().stopActif(true);
    pause(50);
    TvoieOsc &t = Voie[0];
    t.scale = echange_.GetFloatUnite(":TIM:SCAL?");
    t.increment = t.scale * 10.0 / (gds2000 ? 5000.0 : 250.0);
    if (gds2000)
        t.origine = -echange_.GetFloat(":TIM:POS?");
    else
        t.origine = echange_.GetFloatUnite(":TIM:DEL?") - 250.0 * t.increment;
    v.scale = echange_.GetFloatUnite(prefixe(n) + "SCAL?");
    // The Sefram sends 16-bit words, 65 536 steps over the 8 divisions (as the Bode mode
    // reads the same reply); the GoodWill/Instek blocks hold 25 steps per division.
    v.increment = goodwill ? v.scale / 25.0 : v.scale * 8.0 / 65536.0;
    v.position = goodwill ? echange_.GetFloat(prefixe(n) + "POS?") : 0.0;
    if (echange_.GetBool(prefixe(n) + "INV?")) {
        v.origine = -v.origine;
        v.increment = -v.increment;
    }
    if (goodwill && modeleGDS == 0)
        simple(":ACQ:LENG " + nombre(NbrePoints));
    installe(!goodwill ? TLecteur::sefram : gds2000 ? TLecteur::gds2000 : TLecteur::gds800, n);
    pause(500);
    const qint64 debut = TickClock::msecs();
    NbrePointsLu = NbrePoints;
    DureeMax = NbrePoints / 250 + 2;
    Attente = atDiese;
    EnTeteMX.clear();
    requeteDonnees(goodwill ? ":ACQ" + nombre(n) + ":MEM?" : ":ACQ" + nombre(n) + ":POIN");
    trace(QStringLiteral("Debut boucle d'attente"));
    const bool complet = attenteBloc(debut, true);
    trace(QStringLiteral("Fin boucle d'attente N=") + QString::number(NbrePointsLu) + QStringLiteral("duree=")
          + QLocale().toString(double(TickClock::msecs() - debut) / 1000.0, 'f', 2));
    retire();
    trace(QStringLiteral("Nbre=") + QString::number(NbreCourant) + QStringLiteral(";voie=") + QString::number(n));
    if (complet) {
        jaugePos(n, NbrePointsLu, true);
        v.Activee = true;
        lue_[size_t(n)] = true;
    } else {
        vue().message(QStringLiteral("Acquisition de ") + nomVoie(n)
                      + QStringLiteral(" non effectuée par l'ordinateur (time out)"));
        jaugePos(n, 0, true);
        v.Activee = false;
    }
    pause(50);
    NbreCourant = 0;
    trace(QStringLiteral("Sortie litVoie") + QString::number(n));
}

// ---------------------------------------------------------------- Francaise d'Instrumentation

void TAcquisitionOsc::enregistreFI()
{
    debutProcedure();
    try {
        bool arret = false, xy = false;
        const int balayage = echange_.GetInt(":TIM:SWE?", 0);
        if (balayage != 0 && balayage != 3 && balayage != 4)
            throw EserieError(QStringLiteral("Acquisition impossible en mode Delayed ou Windows"));
        if (balayage == 3) {
            arret = true;
            rapide(":STOP");
        }
        if (balayage == 4) {
            xy = true;
            rapide(":TIM:SWE 0");
        }
        if (echange_.GetInt(":ACQ:MOD?", 0) == 1)
            throw EserieError(QStringLiteral("Acquisition impossible en mode PEAK"));
        // The block gives the sample period; the record starts at the trigger's left edge.
        Voie[0].origine = 0.0;
        for (int n = 1; n <= 2; ++n)
            Voie[n].Activee = echange_.GetBool(prefixe(n) + "DISP?");
        noteAffichees();
        for (int n = 1; n <= 2; ++n)
            if (Voie[n].Activee)
                litVoieFI(n);
        if (arret)
            rapide(":RUN");
        if (xy)
            rapide(":TIM:SWE 4");
        bilan();
        AcqAsauver = AcqFaite;
    } catch (const std::exception &e) {
        erreur(e);
    }
    finProcedure();
}

void TAcquisitionOsc::litVoieFI(int n)
{
    VoieCourante = n;
    TvoieOsc &v = Voie[n];
    v.Activee = false;
    vue().stopActif(true);
    vue().stopActif(false);
    pause(100);
    Voie[0].reference = 0;
    v.scale = echange_.GetFloatUnite(prefixe(n) + "SCAL?");
    v.increment = v.scale / 25.0;
    v.reference = 0;
    v.origine = 0;
    installe(TLecteur::fi, n);
    if (n == 2)
        pause(250);
    const qint64 debut = TickClock::msecs();
    NbrePointsLu = NbrePoints;
    DureeMax = NbrePoints / 250 + 2;
    Attente = atDiese;
    requeteDonnees(":ACQ" + nombre(n) + ":MEM?");
    const bool complet = attenteBloc(debut, false);
    NbreCourant = 0;
    if (complet) {
        jaugePos(n, NbrePointsLu, false);
        v.Activee = true;
        lue_[size_t(n)] = true;
    } else {
        vue().message(QStringLiteral("Acquisition de ") + nomVoie(n)
                      + QStringLiteral(" non effectuée par l'ordinateur (time out) FI"));
        jaugePos(n, 0, false);
    }
    pause(100);
}

// ---------------------------------------------------------------- Rigol on the serial line

void TAcquisitionOsc::enregistreRigol()
{
    debutProcedure();
    bool enErreur = false;
    try {
        const QByteArray format = echange_.GetString(":TIM:FORM?");
        const QByteArray mode = echange_.GetString(":TIM:MODE?");
        if (mode.contains("DEL"))
            throw EserieError(QStringLiteral("Acquisition impossible en mode delayed"));
        const bool xy = format.contains("XY");
        if (xy) {
            rapide(":TIM:FORM YT");
            vue().message(QStringLiteral("Vérifier la non saturation des voies"));
        }
        for (int n = 1; n <= 2; ++n)
            Voie[n].Activee = echange_.GetBool(prefixe(n) + "DISP?");
        noteAffichees();
        for (int n = 1; n <= 2; ++n)
            if (Voie[n].Activee)
                litVoieRigol(n, xy);
        if (xy)
            rapide(":TIM:FORM XY");
        bilan();
        AcqAsauver = AcqFaite;
    } catch (const std::exception &e) {
        enErreur = true;
        erreur(e);
    }
    try {
        simple(":KEY:LOCK DIS");
    } catch (const std::exception &e) {
        if (!enErreur)
            erreur(e);
    }
    finProcedure();
    // Trailing raw zeros are no samples: drop them from the count the exports use.
    // A channel with nothing but zeros holds no record and leaves the count to the other.
    bool change = false;
    for (int n = 1; n <= 2; ++n) {
        if (!Voie[n].Activee)
            continue;
        int k = std::clamp(NbrePointsLu, 0, TailleVoie);
        while (k > 0 && Voie[n].Valeur[size_t(k - 1)] == 0)
            --k;
        if (k == 0) {
            Voie[n].Activee = false;
            lue_[size_t(n)] = false;
            change = true;
        } else {
            NbrePointsLu = k;
        }
    }
    if (change) {
        AcqFaite = lue_[1] || lue_[2];
        AcqAsauver = AcqAsauver && AcqFaite;
        vue().boutonsRepos(AcqFaite);
    }
}

void TAcquisitionOsc::litVoieRigol(int n, bool xy)
{
    VoieCourante = n;
    vue().stopActif(true);
    TvoieOsc &v = Voie[n];
    v.Activee = false;
    pause(100);
    const double T = echange_.GetFloat(":TIM:SCAL?");
    baseDeTemps = T;
    Voie[0].scale = T;
    Voie[0].origine = echange_.GetFloat(":TIM:OFFS?") - 6.0 * T;
    Voie[0].reference = 0;
    v.scale = echange_.GetFloat(prefixe(n) + "SCAL?");
    v.increment = -v.scale / 25.0;
    v.reference = 125;
    v.origine = -echange_.GetFloat(prefixe(n) + "OFFS?");
    if (echange_.GetBool(prefixe(n) + "INV?"))
        v.origine = -v.origine;
    if (n == 2)
        pause(100);
    NbrePointsLu = NbrePoints;
    installe(TLecteur::rigol, n);
    Attente = atDiese;
    const qint64 debut = TickClock::msecs();
    DureeMax = NbrePoints / 250 + 2;
    requeteDonnees(":WAV:DATA? CHAN" + nombre(n));
    const bool complet = attenteBloc(debut, true);
    if (complet) {
        jaugePos(n, NbrePointsLu, true);
        v.Activee = true;
        lue_[size_t(n)] = true;
        pause(100);
    } else {
        vue().message(xy ? QStringLiteral("Acquisition en mode XY impossible")
                         : QStringLiteral("Acquisition de ") + nomVoie(n)
                               + QStringLiteral(" non effectuée par l'ordinateur (time out) Rigol"));
        jaugePos(n, 0, true);
    }
}
