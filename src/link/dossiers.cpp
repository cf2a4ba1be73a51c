#include "link/dossiers.h"

#include <QDir>
#include <QStandardPaths>

QString DossierDonnees;
QString DossierAnalyse;

QString AvecSeparateur(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString SpecialFolder(TDossierSpecial which)
{
    QString p;
    if (which == TDossierSpecial::Documents)
        p = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    else
        p = qEnvironmentVariable("ONDIVAR_PROGRAMMES", QStringLiteral("/opt"));
    return AvecSeparateur(p);
}

void ConstruitDossiers()
{
    DossierDonnees = SpecialFolder(TDossierSpecial::Documents) + QStringLiteral("Korvalis/");
    DossierAnalyse = SpecialFolder(TDossierSpecial::Programmes) + QStringLiteral("Quintare/Korvalis/");
    QDir().mkpath(DossierDonnees);
}
