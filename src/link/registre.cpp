#include "link/registre.h"

#include <QDir>
#include <QStandardPaths>

std::unique_ptr<QSettings> OuvreRegistre()
{
    QString path = qEnvironmentVariable("ONDIVAR_CONFIG");
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
               + QStringLiteral("/Ondivar/Ondivar.ini");
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

static QString cle(const QString &section, const QString &valeur)
{
    return section + QLatin1Char('/') + valeur;
}

int LitEntier(QSettings &s, const QString &section, const QString &valeur, int defaut)
{
    const QVariant v = s.value(cle(section, valeur));
    if (!v.isValid())
        return defaut;
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok, 10);
    return ok ? n : defaut;
}

bool LitBooleen(QSettings &s, const QString &section, const QString &valeur, bool defaut)
{
    return LitEntier(s, section, valeur, defaut ? 1 : 0) != 0;
}

void EcritEntier(QSettings &s, const QString &section, const QString &valeur, int v)
{
    s.setValue(cle(section, valeur), QString::number(v));
}

void EcritBooleen(QSettings &s, const QString &section, const QString &valeur, bool v)
{
    s.setValue(cle(section, valeur), v ? QStringLiteral("1") : QStringLiteral("0"));
}
