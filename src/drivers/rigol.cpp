#include "drivers/rigol.h"

#include "drivers/blocrigol.h"
#include "drivers/usbtmc.h"
#include "drivers/visa.h"
#include "link/echange.h"
#include "link/parsenumber.h"
#include "measure/unites.h"

#include <QLocale>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// Readings the instruments give for "no valid value" (9.9E37) read as NaN.
double valide(double v) { return std::isfinite(v) && std::fabs(v) <= 1e37 ? v : NaN(); }

[[noreturn]] void echec(const QString &texte) { throw EserieError(texte); }

} // namespace

TRigol::TRigol(TRigolVisa &visa) : visa_(visa) {}

bool TRigol::dialecteSiglent() const { return isVisa && visa_.isSIGLENT; }

// ---- Commands --------------------------------------------------------------------------

int TRigol::Ecrit(const QByteArray &SCPI)
{
    if (isVisa)
        return visa_.send(SCPI) ? int(SCPI.size()) : 0;
    // One command message: the text and its NUL in a 256-byte buffer.
    if (SCPI.size() > 255)
        return 0;
    char tampon[256] = {};
    std::memcpy(tampon, SCPI.constData(), size_t(SCPI.size()));
    const int r = WriteUSB(0, 1, Fsequence, int(SCPI.size()), tampon);
    ++Fsequence;
    return r;
}

void TRigol::Query(const QByteArray &SCPI, QByteArray &reponse)
{
    reponse.clear();
    if (isVisa) {
        visa_.getString(SCPI, reponse);
        if (dialecteSiglent())
            reponse = SansEnTeteSiglent(SCPI, reponse);
        return;
    }
    if (Ecrit(SCPI) == 0)
        return;
    char zeros[TailleReponseUSB] = {};
    const int demande = WriteUSB(0, 2, Fsequence, 0, zeros);
    ++Fsequence;
    if (demande == 0)
        return;
    char tampon[TailleReponseUSB];
    int longueur = 0;
    if (ReadUSB(0, &longueur, tampon, TailleReponseUSB) == 0)
        return;
    reponse = QByteArray(tampon, std::clamp(longueur, 0, TailleReponseUSB));
    if (reponse.endsWith('\n'))
        reponse.chop(1);
}

QByteArray TRigol::Query(const QByteArray &SCPI)
{
    QByteArray r;
    Query(SCPI, r);
    return r;
}

bool TRigol::QueryBool(const QByteArray &SCPI)
{
    const QByteArray r = Query(SCPI);
    return r.contains("ON") || r.contains('1');
}

QByteArray TRigol::SansEnTeteSiglent(const QByteArray &SCPI, const QByteArray &reponse)
{
    // Common commands ("*IDN?") carry no header; their replies may hold spaces.
    if (SCPI.startsWith('*'))
        return reponse;
    const qsizetype espace = reponse.indexOf(' ');
    if (espace <= 0 || !std::isalpha(quint8(reponse.at(0))))
        return reponse;
    for (qsizetype k = 0; k < espace; ++k) {
        const char c = reponse.at(k);
        if (!std::isalnum(quint8(c)) && c != ':' && c != '_')
            return reponse;
    }
    QByteArray reste = reponse.mid(espace + 1).trimmed();
    // A parameter query repeats its parameter: "C1:PAVA RMS,7.07E-01V".
    const qsizetype question = SCPI.indexOf('?');
    const QByteArray parametre = question >= 0 ? SCPI.mid(question + 1).trimmed().toUpper() : QByteArray();
    if (!parametre.isEmpty() && reste.toUpper().startsWith(parametre + ','))
        reste.remove(0, parametre.size() + 1);
    return reste;
}

double TRigol::LitNombreRigol(const QByteArray &reponse)
{
    // ParseNumber swaps the first "." or "," to the user's mark and drops the spaces.
    return valide(ParseNumber(QString::fromLatin1(reponse).trimmed()));
}

double TRigol::LitNombreSiglent(const QByteArray &reponse)
{
    QString s = QString::fromLatin1(reponse);
    const QString sep = QLocale().decimalPoint();
    if (sep == QLatin1String(",")) {
        const qsizetype i = s.indexOf(QLatin1Char('.'));
        if (i >= 0)
            s[i] = QLatin1Char(',');
    }
    s.remove(QLatin1Char(' '));
    // Prefix letters: M is milli, except in a sample rate where the search starts at K.
    static const struct { const char *lettres; const char *exposant; } prefixes[] = {
        {"N", "E-9"}, {"U", "E-6"}, {"M", "E-3"}, {"Kk", "E+3"}, {"M", "E+6"}, {"G", "E+9"},
    };
    const int debut = s.contains(QLatin1String("Sa/s")) ? 3 : 0;
    for (int k = debut; k < 6; ++k) {
        qsizetype pos = -1;
        for (const char *l = prefixes[k].lettres; *l; ++l) {
            const qsizetype p = s.indexOf(QLatin1Char(*l));
            if (p >= 0 && (pos < 0 || p < pos))
                pos = p;
        }
        if (pos >= 0) {
            s = s.left(pos) + QLatin1String(prefixes[k].exposant);
            break;
        }
    }
    qsizetype n = 0;
    while (n < s.size()) {
        const QChar c = s[n];
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('+') && c != QLatin1Char('-') && c != QLatin1Char('.')
            && c != QLatin1Char('E') && c != QLatin1Char('e') && QString(c) != sep)
            break;
        ++n;
    }
    s.truncate(n);
    // A bare trailing exponent mark is no number (ParseNumber would read it as exa).
    if (s.isEmpty() || s.endsWith(QLatin1Char('E')) || s.endsWith(QLatin1Char('e')))
        return NaN();
    return valide(ParseNumber(s));
}

double TRigol::QueryFloat(const QByteArray &SCPI) { return LitNombreRigol(Query(SCPI)); }

double TRigol::QueryFloatSiglent(const QByteArray &SCPI) { return LitNombreSiglent(Query(SCPI)); }

void TRigol::waitOPC() { Query("*OPC?"); }

void TRigol::unLock() { Ecrit(":KEY:LOCK DISABLE"); }

void TRigol::getBaseDeTemps()
{
    Fdeltat = QueryFloat(":TIM:SCAL?");
    Forigine[0] = QueryFloat(":TIM:OFFS?") - 6 * Fdeltat;
}

// ---- Waveforms -------------------------------------------------------------------------

void TRigol::QueryWave(int voie)
{
    if (voie != 1 && voie != 2)
        return;
    verifieLiaison();
    try {
        if (dialecteSiglent())
            litVoieSiglent(voie);
        else
            litVoieRigol(voie);
    } catch (const EserieError &) {
        if (!isVisa && !perte().isEmpty()) {
            FnumDevice = 0;
            FermeUSB();
        }
        throw;
    }
    // A link lost during the read would pass for a channel switched off.
    verifieLiaison();
}

void TRigol::verifieLiaison()
{
    const QString p = perte();
    if (!p.isEmpty()) {
        if (!isVisa) {
            FnumDevice = 0;   // the next opening lists the instruments again
            FermeUSB();
        }
        echec(p);
    }
    if (!open())
        echec(QStringLiteral("Aucune liaison ouverte avec l'oscilloscope : le brancher, puis appuyer sur « Test »"));
}

namespace {

// Reads the chunks of one waveform reply into the collector.
// USB: until a chunk is short or ends the instrument's message. VISA: until the block is
// complete, the message ends (USB resources), or nothing comes: the session's time-out
// before the first byte, SilenceFinMs after it on a socket.
void litReponse(TRigolVisa &visa, bool parVisa, TCollecteur &c)
{
    if (!parVisa) {
        char morceau[TRigol::TailleMorceauUSB];
        for (;;) {
            int n = 0;
            bool fin = false;
            if (ReadUSB(0, &n, morceau, TRigol::TailleMorceauUSB, &fin) == 0 || n <= 0)
                break;
            c.ajoute(morceau, std::min(n, TRigol::TailleMorceauUSB));
            if (c.complet() || fin || n < TRigol::TailleMorceauUSB)
                break;
        }
        c.termine();
        return;
    }
    visa.attendDonnees(TRigol::PauseDonneesMs);
    const bool finConnue = visa.finDeMessageConnue();
    bool commence = false;
    QByteArray morceau;
    for (;;) {
        bool fin = false;
        const int attente = commence && !finConnue ? TRigol::SilenceFinMs : -1;
        if (visa.get_WavData(morceau, attente, &fin) <= 0)
            break;
        commence = true;
        c.ajoute(morceau.constData(), morceau.size());
        if (c.complet() || c.enteteInvalide() || fin)
            break;
    }
    c.termine();
}

QString nomVoie(int n) { return QStringLiteral("CH%1").arg(n); }

// Reports what went wrong with a reply, once the bytes that came are stored; perte, when
// not empty, tells that the link went with it.
void verifie(const TCollecteur &c, int n, const QString &perte)
{
    const QString suite = perte.isEmpty() ? QString() : QStringLiteral(". ") + perte;
    if (c.enteteInvalide())
        echec(QStringLiteral("En-tête du bloc de données illisible sur la voie %1").arg(nomVoie(n)) + suite);
    if (c.stockes() == 0)
        echec(QStringLiteral("Aucune donnée reçue de l'oscilloscope sur la voie %1").arg(nomVoie(n)) + suite);
    if (c.avecEntete() && c.recus() < c.annonce())
        echec(QStringLiteral("Bloc de données incomplet sur la voie %1 : %2 octets reçus sur %3 annoncés")
                  .arg(nomVoie(n)).arg(c.recus()).arg(c.annonce()) + suite);
}

} // namespace

QString TRigol::perte() const
{
    if (isVisa)
        return visa_.liaisonPerdue() ? visa_.messageLiaisonPerdue() : QString();
    return FnumDevice > 0 && USBPerdu(0)
               ? QStringLiteral("Liaison perdue avec l'oscilloscope USB : vérifier le câble et l'oscilloscope, "
                                "puis appuyer sur « Test »")
               : QString();
}

void TRigol::litVoieRigol(int n)
{
    const QByteArray prefixe = ":CHAN" + QByteArray::number(n) + ":";
    Factive[n] = QueryBool(prefixe + "DISP?");
    if (!Factive[n])
        return;
    Fincrement[n] = -QueryFloat(prefixe + "SCAL?") / 25;
    Freference[n] = 125;
    Forigine[n] = -QueryFloat(prefixe + "OFFS?");
    if (QueryBool(prefixe + "INV?"))
        Forigine[n] = -Forigine[n];
    const QByteArray commande = ":WAV:DATA? CHAN" + QByteArray::number(n);
    if (Ecrit(commande) == 0)
        echec(QStringLiteral("Commande non transmise à l'oscilloscope : ") + QString::fromLatin1(commande));
    if (!isVisa) {
        char zeros[TailleReponseUSB] = {};
        const int demande = WriteUSB(0, 2, Fsequence, 0, zeros);
        ++Fsequence;
        if (demande == 0)
            echec(QStringLiteral("Demande de données non transmise à l'oscilloscope (voie %1)").arg(nomVoie(n)));
    }
    TCollecteur c(TCollecteur::Dialecte::Rigol, data[size_t(n)].data(), NbreMaxOctets);
    litReponse(visa_, isVisa, c);
    NbrePointsRigol = c.stockes();
    // The record spans 12 divisions whatever part of it was kept.
    const qint64 total = c.avecEntete() ? c.annonce() : c.recus();
    if (total > 0)
        Fincrement[0] = Fdeltat * 12 / double(total);
    verifie(c, n, perte());
}

void TRigol::litVoieSiglent(int n)
{
    const QByteArray prefixe = "C" + QByteArray::number(n) + ":";
    Factive[n] = QueryBool(prefixe + "TRA?");
    if (!Factive[n])
        return;
    Fincrement[n] = QueryFloatSiglent(prefixe + "VDIV?") / 25;
    Forigine[n] = -QueryFloatSiglent(prefixe + "OFST?");
    Forigine[0] = QueryFloatSiglent("TRDL?");
    Fincrement[0] = 1 / QueryFloatSiglent("SARA?");
    if (QueryBool(prefixe + "INVS?"))
        Forigine[n] = -Forigine[n];
    const QByteArray commande = prefixe + "WF? DAT2";
    if (Ecrit(commande) == 0)
        echec(QStringLiteral("Commande non transmise à l'oscilloscope : ") + QString::fromLatin1(commande));
    TCollecteur c(TCollecteur::Dialecte::Siglent, data[size_t(n)].data(), NbreMaxOctets);
    litReponse(visa_, true, c);
    NbrePointsRigol = c.stockes();
    verifie(c, n, perte());
}

// ---- Samples ---------------------------------------------------------------------------

const quint8 *TRigol::donnees(int voie) const
{
    return voie == 1 || voie == 2 ? data[size_t(voie)].data() : nullptr;
}

double TRigol::getValeur(indiceVoieRigol voie, int i) const
{
    if (voie == 0)
        return i * Fincrement[0] + Forigine[0];
    if ((voie != 1 && voie != 2) || i < 0 || i > NbreMaxOctets)
        return NaN();
    const int b = data[size_t(voie)][size_t(i)];
    if (dialecteSiglent()) {
        const int code = b <= 127 ? b : b - 256;   // two's complement
        return code * Fincrement[voie] + Forigine[voie];
    }
    return (b - Freference[voie]) * Fincrement[voie] + Forigine[voie];
}

QString TRigol::getValeurStr(indiceVoieRigol voie, int i) const { return FormatNumber(getValeur(voie, i)); }

bool TRigol::getActive(indiceVoieRigol voie) const
{
    return voie == 0 || ((voie == 1 || voie == 2) && Factive[voie]);
}

double TRigol::getOrigine(indiceVoieRigol voie) const { return voie >= 0 && voie <= 2 ? Forigine[voie] : NaN(); }

double TRigol::getIncrement(indiceVoieRigol voie) const { return voie >= 0 && voie <= 2 ? Fincrement[voie] : NaN(); }

int TRigol::getReference(indiceVoieRigol voie) const { return voie == 1 || voie == 2 ? Freference[voie] : 0; }

// ---- Opening ---------------------------------------------------------------------------

QByteArray TRigol::RaccourcitIdent(const QByteArray &identification)
{
    // Written for a maker field of 18 characters ("RIGOL TECHNOLOGIES"): its comma is
    // character 19, and the model ends at the next comma.
    const qsizetype p = identification.mid(19).indexOf(',');
    return p >= 0 ? identification.left(p + 19) : identification;
}

bool TRigol::open() const { return isVisa ? visa_.open() : FnumDevice > 0; }

void TRigol::setOpen(bool ouvrir)
{
    if (!RigolUSBDisponible())
        return;
    if (ouvrir) {
        if (FnumDevice > 0)
            return;
        Fsequence = 0;
        Fident.clear();
        FnumDevice = GetDeviceNum();
        if (FnumDevice == 0)
            return;
        isVisa = false;
        const QByteArray idn = Query("*IDN?");
        if (idn.isEmpty()) {
            // An instrument that does not answer cannot be driven.
            FnumDevice = 0;
            FermeUSB();
            return;
        }
        Fident = RaccourcitIdent(idn);
    } else {
        if (FnumDevice == 0)
            return;
        unLock();
    }
}

// ---- Period and phase ------------------------------------------------------------------

int TRigol::niveau(int voie, int i) const
{
    const int b = data[size_t(voie)][size_t(i)];
    // Siglent bytes are signed codes: offset them so that the order of levels is kept.
    return dialecteSiglent() ? (b <= 127 ? b + 128 : b - 128) : b;
}

void TRigol::chercheZeros()
{
    const int N = std::clamp(NbrePointsRigol, 0, NbreMaxOctets);
    for (int v = 1; v <= 2; ++v) {
        int mx = 0, mn = 255;
        for (int i = 0; i < N; ++i) {
            mx = std::max(mx, niveau(v, i));
            mn = std::min(mn, niveau(v, i));
        }
        FvaleurMoy[v] = N > 0 ? (mx + mn) / 2 : 0;
    }
    FindexZero1 = 0;
    if (N < 2) {
        FindexZero2 = std::max(N - 1, 0);
        Fperiodique = false;
        return;
    }
    Fperiodique = true;
    const int m = FvaleurMoy[1];
    auto ecart = [&](int i) { return niveau(1, i) - m; };
    // The side of the waveform at sample i: a sample right at the mid-level takes the side
    // of the next one that is not, or a full period would be taken for half of one.
    auto cote = [&](int i) {
        while (i < N && ecart(i) == 0)
            ++i;
        return i < N ? ecart(i) : -1;
    };
    int c = cote(0);
    while (FindexZero1 < N / 2 && ecart(FindexZero1) * c > 0)
        ++FindexZero1;
    const int cote1 = cote(FindexZero1);
    FindexZero2 = FindexZero1 + 16;
    while (FindexZero2 < N && ecart(FindexZero2) * cote1 > 0)
        ++FindexZero2;
    FindexZero2 += 16;
    while (FindexZero2 < N && ecart(FindexZero2) * cote1 < 0)
        ++FindexZero2;
    if (FindexZero2 >= N) {
        FindexZero1 = 0;
        FindexZero2 = N - 1;
        Fperiodique = false;
    }
}

double TRigol::phase()
{
    if (!Factive[1] || !Factive[2])
        return NaN();
    chercheZeros();
    if (!Fperiodique)
        return NaN();
    const int z1 = FindexZero1, z2 = FindexZero2, q = (z2 - z1) / 4;
    if (z2 + q > NbrePointsRigol)
        return NaN();
    const int m1 = FvaleurMoy[1], m2 = FvaleurMoy[2];
    qint64 X = 0, Y = 0;   // 32 768 products of up to 255 × 255 overflow 32 bits
    for (int i = z1; i < z2; ++i) {
        const qint64 a = niveau(1, i) - m1;
        X += a * (niveau(2, i) - m2);
        Y += a * (niveau(2, i + q) - m2);
    }
    if (X == 0 && Y == 0)
        return NaN();   // CH2 flat where CH1 is not: no angle
    return std::atan2(double(Y), double(X)) * 180.0 / std::numbers::pi;
}
