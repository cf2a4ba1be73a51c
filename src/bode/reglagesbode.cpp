#include "bode/reglagesbode.h"

#include "export/sauvegarde.h"
#include "export/windows1252.h"
#include "link/parsenumber.h"
#include "link/registre.h"
#include "measure/unites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cmath>

namespace {

const QString SectionBode = QStringLiteral("Bode");
const QString SectionConstante = QStringLiteral("Constante");

// The section named by a "[name]" line, or a null string for any other line.
QString nomSection(const QString &ligne)
{
    const QString t = ligne.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return QString();
}

bool cleValeur(const QString &ligne, QString &cle, QString &valeur)
{
    const QString t = ligne.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype egal = t.indexOf(QLatin1Char('='));
    if (egal <= 0)
        return false;
    cle = t.left(egal).trimmed();
    valeur = t.mid(egal + 1).trimmed();
    return true;
}

bool memeNom(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The value of a key of a section, the last one written winning; false when absent.
bool cherche(const QStringList &lignes, const QString &section, const QString &nom, QString &valeur)
{
    bool dedans = false, trouve = false;
    for (const QString &l : lignes) {
        const QString s = nomSection(l);
        if (!s.isNull()) {
            dedans = memeNom(s, section);
            continue;
        }
        QString c, v;
        if (dedans && cleValeur(l, c, v) && memeNom(c, nom)) {
            valeur = v;
            trouve = true;
        }
    }
    return trouve;
}

QStringList lignesDe(const QString &texte)
{
    QString t = texte;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList l = t.split(QLatin1Char('\n'));
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

void litNombre(const QStringList &l, const QString &nom, double &x)
{
    QString v;
    if (!cherche(l, SectionBode, nom, v))
        return;
    const double d = ParseNumber(v);
    if (std::isfinite(d))
        x = d;
}

void litBooleen(const QStringList &l, const QString &nom, bool &b)
{
    QString v;
    if (!cherche(l, SectionBode, nom, v))
        return;
    bool ok = false;
    const int i = v.toInt(&ok);
    if (ok)
        b = i != 0;
}

void litCouleur(const QStringList &l, const QString &nom, quint32 &c)
{
    QString v;
    if (!cherche(l, SectionBode, nom, v))
        return;
    bool ok = false;
    const qlonglong i = v.toLongLong(&ok);
    if (ok && i >= 0 && i <= 0xFFFFFF)
        c = quint32(i);
}

// The twelve keys written, in their order and with their names.
QStringList lignesBode(const TReglagesBode &r)
{
    auto nombre = [](double x) { return FormatGeneral(x, 15); };
    auto booleen = [](bool b) { return b ? QStringLiteral("1") : QStringLiteral("0"); };
    return {
        QStringLiteral("MaxiF=") + nombre(r.maxiF),
        QStringLiteral("MiniF=") + nombre(r.miniF),
        QStringLiteral("LogX=") + booleen(r.logX),
        QStringLiteral("MaxiGain=") + nombre(r.maxiGain),
        QStringLiteral("MiniGain=") + nombre(r.miniGain),
        QStringLiteral("couleurG=") + QString::number(r.couleurG),
        QStringLiteral("logY=") + booleen(r.logY),
        QStringLiteral("couleurP=") + QString::number(r.couleurP),
        QStringLiteral("Degre=") + booleen(r.degre),
        QStringLiteral("MaxiPhase=") + nombre(r.maxiPhase),
        QStringLiteral("MiniPhase=") + nombre(r.miniPhase),
        QStringLiteral("Ref=") + QString::number(r.ref),
    };
}

bool estCleEcrite(const QString &cle)
{
    static const QStringList cles = {
        QStringLiteral("MaxiF"), QStringLiteral("MiniF"), QStringLiteral("LogX"), QStringLiteral("MaxiGain"),
        QStringLiteral("MiniGain"), QStringLiteral("couleurG"), QStringLiteral("logY"), QStringLiteral("couleurP"),
        QStringLiteral("Degre"), QStringLiteral("MaxiPhase"), QStringLiteral("MiniPhase"), QStringLiteral("Ref")};
    return cles.contains(cle, Qt::CaseInsensitive);
}

} // namespace

void LitReglagesBode(const QString &texte, TReglagesBode &r)
{
    const QStringList l = lignesDe(texte);
    QString v;
    if (cherche(l, SectionConstante, QStringLiteral("Nom"), v))
        r.nomConstante = v;
    if (cherche(l, SectionConstante, QStringLiteral("Unite"), v))
        r.uniteConstante = v;
    litNombre(l, QStringLiteral("MaxiF"), r.maxiF);
    litNombre(l, QStringLiteral("MiniF"), r.miniF);
    litBooleen(l, QStringLiteral("LogX"), r.logX);
    litNombre(l, QStringLiteral("MaxiGain"), r.maxiGain);
    litNombre(l, QStringLiteral("MiniGain"), r.miniGain);
    litCouleur(l, QStringLiteral("CouleurG"), r.couleurG);
    litBooleen(l, QStringLiteral("LogY"), r.logY);
    if (r.logY && r.miniGain < 0.00001)
        r.miniGain = 0.01;
    litCouleur(l, QStringLiteral("CouleurP"), r.couleurP);
    litBooleen(l, QStringLiteral("Degre"), r.degre);
    litNombre(l, QStringLiteral("MaxiPhase"), r.maxiPhase);
    litNombre(l, QStringLiteral("MiniPhase"), r.miniPhase);
    if (cherche(l, SectionBode, QStringLiteral("Ref"), v)) {
        bool ok = false;
        const int i = v.toInt(&ok);
        if (ok && (i == 1 || i == 2))
            r.ref = i;
    }
}

QString EcritReglagesBode(const QString &existant, const TReglagesBode &r)
{
    QStringList apres;
    bool dansBode = false;
    qsizetype insertion = -1;   // where the keys go: after the first "Bode" section's last line
    auto finDeSection = [&] {
        if (!dansBode || insertion >= 0)
            return;
        insertion = apres.size();
        while (insertion > 0 && apres.at(insertion - 1).trimmed().isEmpty())
            --insertion;
    };
    for (const QString &l : lignesDe(existant)) {
        const QString s = nomSection(l);
        if (!s.isNull()) {
            finDeSection();
            dansBode = memeNom(s, SectionBode);
            apres << l;
            continue;
        }
        QString c, v;
        if (dansBode && cleValeur(l, c, v) && estCleEcrite(c))
            continue;
        apres << l;
    }
    finDeSection();
    const QStringList cles = lignesBode(r);
    if (insertion >= 0) {
        for (qsizetype k = 0; k < cles.size(); ++k)
            apres.insert(insertion + k, cles.at(k));
    } else {
        if (!apres.isEmpty() && !apres.last().trimmed().isEmpty())
            apres << QString();
        apres << QLatin1Char('[') + SectionBode + QLatin1Char(']');
        apres << cles;
    }
    return apres.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QString FichierReglagesBode()
{
    const QString registre = OuvreRegistre()->fileName();
    return QFileInfo(registre).absolutePath() + QStringLiteral("/ondivar.INI");
}

void ChargeReglagesBode(const QString &fichier, TReglagesBode &r)
{
    QFile f(fichier);
    if (!f.open(QIODevice::ReadOnly))
        return;
    LitReglagesBode(DeWindows1252(f.read(1 << 20)), r);
}

bool SauveReglagesBode(const QString &fichier, const TReglagesBode &r)
{
    QString existant;
    QFile f(fichier);
    if (f.open(QIODevice::ReadOnly)) {
        existant = DeWindows1252(f.read(1 << 20));
        f.close();
    }
    const QFileInfo info(fichier);
    if (!info.absoluteDir().exists() && !info.absoluteDir().mkpath(QStringLiteral(".")))
        return false;
    return EcritFichierTexte(fichier, EcritReglagesBode(existant, r)).ok;
}
