#include "bode/lecteurbode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {
// Bytes of the fixed header skipped before the samples.
constexpr int TailleEnTeteFixe = 14;
}

void TLecteurBode::arme(Tconstructeur c, TvoieOscBode *v, bool sauteLF)
{
    sauteLF_ = sauteLF;
    format_ = formatDe(c);
    poidsFortDabord_ = c == oGoodWill;
    voie_ = v;
    if (voie_)
        std::fill(voie_->Valeur.begin(), voie_->Valeur.end(), 0);
    Attente = atDiese;
    NbreCourant = 0;
    nbrePointsAlire = 0;
    NbreChiffre = 0;
    ChaineNbreData.clear();
    MotCourant = {};
    caracMot = {};
    PremierOctet = true;
    AcqFaite = false;
    mort_ = false;
}

void TLecteurBode::lit(const char *donnees, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        octet(static_cast<quint8>(donnees[i]));
}

void TLecteurBode::octet(quint8 c)
{
    if (!voie_)
        return;
    if (format_ == enTeteFixe)
        octetFixe(c);
    else
        octetCompte(c);
}

void TLecteurBode::octetFixe(quint8 c)
{
    if (AcqFaite)
        return;
    if (NbreCourant == 0 && std::exchange(sauteLF_, false) && c == '\n')
        return;
    ++NbreCourant;
    const qint64 k = NbreCourant - TailleEnTeteFixe;
    if (k <= 0)
        return;
    if (k & 1) {
        caracMot[0] = c;
        return;
    }
    caracMot[1] = c;
    const qint64 index = k / 2;   // 1 to 500
    voie_->Valeur[size_t(index)] = qint16(quint16(caracMot[0] | (caracMot[1] << 8)));
    if (index >= NbreEchantillonsBode) {
        AcqFaite = true;
        Attente = atStatus;
    }
}

void TLecteurBode::octetCompte(quint8 c)
{
    switch (Attente) {
    case atDiese:
        if (c == '#')
            Attente = atNbreChiffre;
        return;

    case atNbreChiffre:
        if (c < '1' || c > '9') {   // no count to read
            meurt();
            return;
        }
        NbreChiffre = c - '0';
        ChaineNbreData.clear();
        Attente = atNbreData;
        return;

    case atNbreData: {
        if (c < '0' || c > '9') {
            meurt();
            return;
        }
        ChaineNbreData.append(char(c));
        if (ChaineNbreData.size() < NbreChiffre)
            return;
        nbrePointsAlire = ChaineNbreData.toLongLong() / 2;   // at most 9 digits
        if (nbrePointsAlire < 1) {
            meurt();
            return;
        }
        NbreCourant = 0;
        MotCourant = {};
        Attente = atSampleRate;
        return;
    }

    case atSampleRate:
        MotCourant[size_t(NbreCourant)] = c;
        if (++NbreCourant == 4) {
            const quint32 u = quint32(MotCourant[0]) | (quint32(MotCourant[1]) << 8)
                | (quint32(MotCourant[2]) << 16) | (quint32(MotCourant[3]) << 24);
            float f;
            std::memcpy(&f, &u, sizeof f);
            // An interval that is no positive number would make the frequency meaningless.
            if (std::isfinite(f) && f > 0.0f)
                Deltat = double(f);
            NbreCourant = 0;
            Attente = atReserved;
        }
        return;

    case atReserved:
        if (++NbreCourant >= 4) {
            NbreCourant = 0;
            PremierOctet = true;
            Attente = atData;
        }
        return;

    case atData: {
        if (PremierOctet) {
            caracMot[poidsFortDabord_ ? 1 : 0] = c;
            PremierOctet = false;
            return;
        }
        caracMot[poidsFortDabord_ ? 0 : 1] = c;
        PremierOctet = true;
        if (NbreCourant < TailleVoieBode)
            voie_->Valeur[size_t(NbreCourant)] = qint16(quint16(caracMot[0] | (caracMot[1] << 8)));
        ++NbreCourant;
        if (NbreCourant >= nbrePointsAlire) {
            AcqFaite = true;
            Attente = atStatus;
        }
        return;
    }

    case atStatus:
        return;
    }
}
