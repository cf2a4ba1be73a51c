#pragma once
// Per-user settings store of the program: key "Software\Ondivar".
// Values are text: integers as decimal text, booleans "1"/"0".
#include <QSettings>
#include <QString>
#include <memory>

// Opens the store: $ONDIVAR_CONFIG when set (tests, scripts), otherwise
// ~/.config/Ondivar/Ondivar.ini (XDG config folder).
std::unique_ptr<QSettings> OuvreRegistre();

// Reads section/value as an integer; missing or not a valid integer gives defaut.
int LitEntier(QSettings &s, const QString &section, const QString &valeur, int defaut);
bool LitBooleen(QSettings &s, const QString &section, const QString &valeur, bool defaut);
void EcritEntier(QSettings &s, const QString &section, const QString &valeur, int v);
void EcritBooleen(QSettings &s, const QString &section, const QString &valeur, bool v);
