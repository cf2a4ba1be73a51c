#include "scope/lecteurbloc.h"
#include "link/parsenumber.h"
#include "measure/partage.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// The GDS2000 header text is kept within this size: line noise before it cannot grow it
// without bound (the instrument's own header is a few hundred characters).
constexpr qsizetype MaxEnTete = 8192;
}

TLecteurBloc::TLecteurBloc() : Voie{TvoieOsc(0), TvoieOsc(1), TvoieOsc(2)}
{
    for (int j = 0; j < TailleVoie; ++j)
        Voie[0].Valeur[size_t(j)] = j;
    Voie[0].Activee = true;
}

void TLecteurBloc::arme(TLecteur l, int voie)
{
    lecteur_ = l;
    VoieCourante = std::clamp(voie, 0, 2);
    NbreCourant = 0;
    NbreZero = 0;
    AcqFaite = false;
    ChaineOsc.clear();
    ChaineNbreData.clear();
    EnTeteMX.clear();
    MotCourant = {};
    PremierOctet = true;
    Attente = atDiese;
    annonce_ = 0;
    longueur_ = 0;
    mort_ = false;
}

void TLecteurBloc::lit(const char *donnees, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        octet(static_cast<quint8>(donnees[i]));
    finNotification();
}

qint64 TLecteurBloc::echantillonsRecus() const
{
    if (mort_)
        return 0;
    switch (lecteur_) {
    case TLecteur::sefram:
        return std::max<qint64>(0, (NbreCourant - 14) / 2);
    case TLecteur::rigol:
        return std::max<qint64>(0, NbreCourant - 4);
    case TLecteur::aucun:
        return 0;
    default:
        if (Attente != atData && Attente != atStatus)
            return 0;
        return lecteur_ == TLecteur::agilent ? NbreCourant / 2 : NbreCourant;
    }
}

void TLecteurBloc::stocke(qint64 index, qint32 v)
{
    if (index >= 0 && index < TailleVoie)
        Voie[VoieCourante].Valeur[size_t(index)] = v;
}

void TLecteurBloc::complet()
{
    AcqFaite = true;
    Attente = atStatus;
    const qint64 cap = lecteur_ == TLecteur::gds2000 ? TailleVoie - 1 : TailleVoie;
    NbrePointsLu = int(std::min(annonce_, cap));
}

void TLecteurBloc::octet(quint8 c)
{
    switch (lecteur_) {
    case TLecteur::aucun:
        return;

    case TLecteur::sefram: {
        if (Attente == atStatus)
            return;
        ++NbreCourant;
        if (NbreCourant <= 14) {
            ChaineOsc.append(char(c));
            if (NbreCourant == 14)
                enTeteSefram();
            return;
        }
        const qint64 k = NbreCourant - 15;
        if ((k & 1) == 0) {
            MotCourant[0] = c;
            PremierOctet = false;
        } else {
            MotCourant[1] = c;
            const qint64 index = k / 2;
            stocke(index, qint16(quint16(MotCourant[0] | (MotCourant[1] << 8))));
            PremierOctet = true;
            if (index >= annonce_ - 1)
                complet();
        }
        return;
    }

    case TLecteur::rigol:
        if (Attente == atStatus)
            return;
        if (NbreCourant < 4) {
            MotCourant[size_t(NbreCourant)] = c;
            if (++NbreCourant == 4)
                enTeteRigol();
            return;
        }
        stocke(NbreCourant - 4, c);
        if (++NbreCourant >= annonce_ + 4)
            complet();
        return;

    default:
        break;
    }

    // The "#" family.
    switch (Attente) {
    case atDiese:
        if (c == '#') {
            if (lecteur_ == TLecteur::gds2000)
                enTeteGDS2000();
            Attente = atNbreChiffre;
        } else if (lecteur_ == TLecteur::gds2000 && c >= 32) {
            if (EnTeteMX.size() >= MaxEnTete)
                EnTeteMX.remove(0, MaxEnTete / 2);
            EnTeteMX.append(char(c));
        }
        return;

    case atNbreChiffre:
        if (c < '1' || c > '9') {   // "#0" has no length; anything else is not a block
            inutilisable();
            return;
        }
        NbreChiffre = c - '0';
        ChaineNbreData.clear();
        longueur_ = 0;
        Attente = atNbreData;
        return;

    case atNbreData:
        if (c < '0' || c > '9') {
            inutilisable();
            return;
        }
        ChaineNbreData.append(char(c));
        longueur_ = longueur_ * 10 + (c - '0');
        if (ChaineNbreData.size() >= NbreChiffre)
            finLongueur();
        return;

    case atSampleRate:
        MotCourant[size_t(NbreCourant)] = c;
        if (++NbreCourant == 4) {
            const quint32 u = quint32(MotCourant[0]) | (quint32(MotCourant[1]) << 8)
                | (quint32(MotCourant[2]) << 16) | (quint32(MotCourant[3]) << 24);
            float f;
            std::memcpy(&f, &u, sizeof f);
            // A period that is no positive number would make every time unusable:
            // the time-base value read before the transfer stays then.
            if (std::isfinite(f) && f > 0.0f)
                Voie[0].increment = double(f);
            NbreCourant = 0;
            Attente = atReserved;
        }
        return;

    case atReserved:
        if (++NbreCourant >= 4)
            debutDonnees();
        return;

    case atStatus:
        return;

    case atData:
        break;
    }

    switch (lecteur_) {
    case TLecteur::agilent:
        if (PremierOctet) {
            MotCourant[0] = c;
        } else {
            MotCourant[1] = c;
            const qint64 index = NbreCourant / 2;
            const qint32 v = MotCourant[0] | (MotCourant[1] << 8);
            if (v == 0)
                ++NbreZero;
            stocke(index, v);
            if (index >= annonce_ - 1)
                complet();
        }
        PremierOctet = !PremierOctet;
        ++NbreCourant;
        return;

    case TLecteur::hewlett:
        if (c == 0)
            ++NbreZero;
        stocke(NbreCourant, c);
        if (++NbreCourant >= annonce_)
            complet();
        return;

    default: {   // gds800, fi, gds2000: NbreCourant counts samples
        if (PremierOctet) {
            MotCourant[0] = c;
            PremierOctet = false;
            return;
        }
        MotCourant[1] = c;
        const quint16 u = lecteur_ == TLecteur::fi ? quint16(MotCourant[0] | (MotCourant[1] << 8))
                                                   : quint16((MotCourant[0] << 8) | MotCourant[1]);
        const qint32 v = qint16(u);
        if (v == 0 && lecteur_ != TLecteur::gds2000)
            ++NbreZero;
        stocke(NbreCourant, v);
        PremierOctet = true;
        if (++NbreCourant >= annonce_)
            complet();
        return;
    }
    }
}

void TLecteurBloc::finLongueur()
{
    if (avecTrace)
        traceLecteur(QStringLiteral("Nbre=") + QString::fromLatin1(ChaineNbreData));
    annonce_ = lecteur_ == TLecteur::hewlett ? longueur_ : longueur_ / 2;
    const qint64 cap = lecteur_ == TLecteur::gds2000 ? TailleVoie - 1 : TailleVoie;
    NbrePointsLu = int(std::min(annonce_, cap));
    DureeMax = NbrePointsLu / 250 + 2;
    NbreCourant = 0;
    MotCourant = {};
    PremierOctet = true;
    if (annonce_ <= 0) {   // an empty block holds no record
        inutilisable();
        enTeteLu();
        return;
    }
    if (lecteur_ == TLecteur::gds800 || lecteur_ == TLecteur::fi) {
        Attente = atSampleRate;
    } else {
        Attente = atData;
        AcqFaite = false;
    }
    enTeteLu();
    const bool avecMessage = lecteur_ == TLecteur::hewlett || lecteur_ == TLecteur::agilent
        || lecteur_ == TLecteur::gds800;
    if (avecMessage && annonce_ != NbrePoints)
        nombreDePoints(annonce_);
}

void TLecteurBloc::debutDonnees()
{
    NbreCourant = 0;
    PremierOctet = true;
    Attente = atData;
}

void TLecteurBloc::enTeteGDS2000()
{
    for (const QByteArray &champ : EnTeteMX.split(';')) {
        if (avecTrace)
            traceLecteur(QString::fromLatin1(champ));
        if (!champ.contains("Sampling Period"))
            continue;
        const qsizetype virgule = champ.indexOf(',');
        const double v = virgule < 0 ? NaN() : ParseNumber(QString::fromLatin1(champ.mid(virgule + 1)));
        if (avecTrace)
            traceLecteur(QString::fromLatin1(champ) + QStringLiteral("=") + QString::number(v));
        // A field that is no positive number leaves the period read before the transfer.
        if (std::isfinite(v) && v > 0.0)
            Voie[0].increment = v;
    }
    sauve1000 = false;
    sauve2000 = false;
}

void TLecteurBloc::enTeteSefram()
{
    // Characters 3 to 6 of the header: the byte count C of the reply, 8 + 2 per sample.
    const QByteArray texte = ChaineOsc.mid(2, 4).trimmed();
    bool ok = !texte.isEmpty() && std::all_of(texte.begin(), texte.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    const qint64 c = ok ? texte.toLongLong() : 0;
    annonce_ = ok ? (c - 8) / 2 : 0;
    NbrePointsLu = int(std::clamp<qint64>(annonce_, 0, TailleVoie));
    DureeMax = NbrePointsLu / 250 + 2;
    PremierOctet = true;
    if (annonce_ <= 0)
        inutilisable();
    else
        Attente = atData;
    enTeteLu();
}

void TLecteurBloc::enTeteRigol()
{
    const quint32 u = quint32(MotCourant[0]) | (quint32(MotCourant[1]) << 8)
        | (quint32(MotCourant[2]) << 16) | (quint32(MotCourant[3]) << 24);
    const qint32 n = qint32(u);
    annonce_ = std::max<qint64>(0, n);
    NbrePointsLu = int(std::min<qint64>(annonce_, TailleVoie));
    DureeMax = NbrePointsLu / 250 + 2;
    if (n <= 0) {
        inutilisable();
        enTeteLu();
        return;
    }
    Voie[0].increment = 12.0 * baseDeTemps / double(n);
    Attente = atData;
    enTeteLu();
}

void TLecteurBloc::finNotification()
{
    if (!avecTrace || lecteur_ != TLecteur::gds2000 || (Attente != atData && Attente != atStatus) || mort_)
        return;
    auto ligne = [this](const char *titre) {
        QString l = QString::fromLatin1(titre);
        for (qint64 i = NbreCourant - 5; i < NbreCourant; ++i)
            if (i >= 0 && i < TailleVoie)
                l += QLatin1Char('\t') + QString::number(Voie[VoieCourante].Valeur[size_t(i)]);
        traceLecteur(l);
    };
    if (!sauve1000 && NbreCourant > 1000) {
        ligne("1000");
        sauve1000 = true;
    }
    if (!sauve2000 && NbreCourant > 2000) {
        ligne("2000");
        sauve2000 = true;
    }
}
