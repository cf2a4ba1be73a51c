#pragma once
// Reading the commands Korvalis sends on this program's service.
#include <QByteArray>
#include <QString>
#include <QStringList>

// The lines of a received command: 8-bit text up to its NUL, cut at CR LF, LF or CR;
// a final line end gives no empty line, an empty command no line.
QStringList LignesCommande(const QByteArray &commande);
// The command word of a line: the text before the first "(" when a ")" follows it,
// otherwise the whole line.
QString MotCommande(const QString &ligne);
