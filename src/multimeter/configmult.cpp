#include "multimeter/configmult.h"

#include "export/sauvegarde.h"
#include "link/dossiers.h"
#include "link/parsenumber.h"
#include "measure/unites.h"
#include "multimeter/fichierini.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace {

const QString SectionOndivar = QStringLiteral("Ondivar");
const QString SectionConstante = QStringLiteral("Constante");
const QString CleNom = QStringLiteral("Nom");
const QString CleUnite = QStringLiteral("Unite");
const QString CleSignif = QStringLiteral("Signif");
const QString CleCommand = QStringLiteral("Command");
const QString CleCommandGDS = QStringLiteral("CommandGDS");
const QString CleActive = QStringLiteral("Active");
const QString ClePositive = QStringLiteral("Positive");
const QString CleIncertitude = QStringLiteral("Incertitude");
const QString CleMaxi = QStringLiteral("Maxi");
const QString CleMini = QStringLiteral("Mini");
const QString CleNumero = QStringLiteral("Numéro");
const QString CleLogX = QStringLiteral("LogX");
const QString CleMesure = QStringLiteral("MESURE");

QString sectionVoie(int i)
{
    return QStringLiteral("Voie") + QString::number(i);
}

std::optional<int> entier(const std::optional<QString> &v)
{
    if (!v)
        return std::nullopt;
    bool ok = false;
    const int n = v->trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

bool booleen(const std::optional<QString> &v, bool defaut)
{
    if (!v)
        return defaut;
    if (const auto n = entier(v))
        return *n != 0;
    const QString t = v->trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return defaut;
}

double nombre(const std::optional<QString> &v, double defaut)
{
    if (!v)
        return defaut;
    const double x = ParseNumber(v->trimmed());
    return std::isnan(x) ? defaut : x;
}

// The keyword of a measurement, as it goes into the instrument's commands: plain
// letters, digits and the separators of the dialects, nothing that would add a command.
bool motCle(const QString &t)
{
    if (t.isEmpty() || t.size() > 32)
        return false;
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')
                        || u == ':' || u == '_' || u == '.';
        if (!ok)
            return false;
    }
    return true;
}

QByteArray commande(const std::optional<QString> &v, const QByteArray &defaut)
{
    if (!v || !motCle(*v))
        return defaut;
    return v->toLatin1();
}

QString texteBool(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

// The user's decimal notation, with the fewest digits (15 at least) that read back as x.
QString texteNombre(double x)
{
    QString t;
    for (int chiffres = 15; chiffres <= 17; ++chiffres) {
        t = FormatGeneral(x, chiffres);
        if (ParseNumber(t) == x)
            break;
    }
    return t;
}

void litVoie(const TFichierIni &ini, int i, Tvoie &v)
{
    const QString s = sectionVoie(i);
    v.Nom = ini.lit(s, CleNom, v.Nom);
    v.Unite = ini.lit(s, CleUnite, v.Unite);
    v.Signif = ini.lit(s, CleSignif, v.Signif);
    v.Command = commande(ini.valeur(s, CleCommand), v.Command);
    v.commandGDS = commande(ini.valeur(s, CleCommandGDS), v.commandGDS);
    v.Active = booleen(ini.valeur(s, CleActive), v.Active);
    v.Positive = booleen(ini.valeur(s, ClePositive), v.Positive);
    v.CalculIncertitude = CalculIncertitudeDepuis(entier(ini.valeur(s, CleIncertitude)).value_or(ciNone));
    v.maxi = nombre(ini.valeur(s, CleMaxi), v.maxi);
    v.mini = nombre(ini.valeur(s, CleMini), v.mini);
    const int numero = entier(ini.valeur(s, CleNumero)).value_or(v.NumVoie);
    v.NumVoie = numero == 2 ? 2 : 1;
}

void ecritVoie(TFichierIni &ini, int i, const Tvoie &v)
{
    const QString s = sectionVoie(i);
    ini.ecrit(s, CleNom, v.Nom);
    ini.ecrit(s, CleUnite, v.Unite);
    ini.ecrit(s, CleSignif, v.Signif);
    ini.ecrit(s, CleCommand, QString::fromLatin1(v.Command));
    ini.ecrit(s, CleCommandGDS, QString::fromLatin1(v.commandGDS));
    ini.ecrit(s, CleActive, texteBool(v.Active));
    ini.ecrit(s, ClePositive, texteBool(v.Positive));
    ini.ecrit(s, CleIncertitude, QString::number(int(v.CalculIncertitude)));
    ini.ecrit(s, CleMaxi, texteNombre(v.maxi));
    ini.ecrit(s, CleMini, texteNombre(v.mini));
    ini.ecrit(s, CleNumero, QString::number(int(v.NumVoie)));
}

// The bytes of an existing file: nothing when it cannot be read or is too large.
std::optional<QByteArray> litOctets(const QString &nomFichier)
{
    QFile f(nomFichier);
    if (QFileInfo(nomFichier).isDir() || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (f.size() > TailleMaxConfig)
        return std::nullopt;
    QByteArray octets = f.read(TailleMaxConfig + 1);
    if (octets.size() > TailleMaxConfig || f.error() != QFileDevice::NoError)
        return std::nullopt;
    return octets;
}

} // namespace

QString FichierConfigDefaut()
{
    return AvecSeparateur(DossierDonnees) + QStringLiteral("Ondivar.OD");
}

QString FichierConfigDemarrage(const QStringList &parametres)
{
    if (parametres.isEmpty())
        return FichierConfigDefaut();
    QStringList mots;
    for (const QString &p : parametres)
        if (!p.startsWith(QLatin1Char('-')))
            mots.append(p);
    return mots.join(QLatin1Char(' '));
}

QString NomFichierConfig(const QString &nomFichier)
{
    if (nomFichier.isEmpty())
        return nomFichier;
    const QFileInfo info(nomFichier);
    const QString suffixe = info.suffix();
    if (suffixe.compare(QLatin1String("od"), Qt::CaseInsensitive) == 0)
        return nomFichier;
    const QString nom = info.fileName();
    QString base = nomFichier;
    if (!suffixe.isEmpty() && nom.size() > suffixe.size() + 1)
        base.chop(suffixe.size() + 1);
    else if (base.endsWith(QLatin1Char('.')))
        base.chop(1);
    return base + QStringLiteral(".OD");
}

void LitConfigOctets(const QByteArray &octets, TVoiesMult &voies, TConfigMultimetre &config)
{
    const TFichierIni ini(DecodeTexteIni(octets));
    for (int i = 0; i < NbreVoiesConfig; ++i)
        litVoie(ini, i, voies[size_t(i)]);
    config.nomConstante = ini.lit(SectionConstante, CleNom);
    config.uniteConstante = ini.lit(SectionConstante, CleUnite);
    voies[VoieAbscisse].AxeLog = booleen(ini.valeur(SectionOndivar, CleLogX), true);
    config.mesure = booleen(ini.valeur(SectionOndivar, CleMesure), true);
}

bool LitConfig(const QString &nomFichier, TVoiesMult &voies, TConfigMultimetre &config)
{
    if (nomFichier.isEmpty() || !QFileInfo::exists(nomFichier))
        return false;
    const auto octets = litOctets(nomFichier);
    if (!octets)
        return false;
    LitConfigOctets(*octets, voies, config);
    return true;
}

QString TexteConfig(const QString &existant, const TVoiesMult &voies, bool mesure)
{
    TFichierIni ini(existant);
    for (int i = 0; i < NbreVoiesConfig; ++i)
        ecritVoie(ini, i, voies[size_t(i)]);
    ini.ecrit(SectionOndivar, CleLogX, texteBool(voies[VoieAbscisse].AxeLog));
    ini.ecrit(SectionOndivar, CleMesure, texteBool(mesure));
    return ini.texte();
}

bool SauveConfig(const QString &nomFichier, const TVoiesMult &voies, bool mesure)
{
    const QString nom = NomFichierConfig(nomFichier);
    if (nom.isEmpty())
        return false;
    QString existant;
    if (QFileInfo::exists(nom)) {
        const auto octets = litOctets(nom);
        if (!octets)
            return false;
        existant = DecodeTexteIni(*octets);
    }
    return EcritFichierOctets(nom, EncodeTexteIni(TexteConfig(existant, voies, mesure))).ok;
}
