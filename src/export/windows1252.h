#pragma once
// Exact Windows-1252 text, the 8-bit form of every file this program writes.
#include <QByteArray>
#include <QString>

// Encodes text to Windows-1252. A character the code page cannot hold (including a
// character outside the basic plane, counted once) becomes "?" and is counted in
// *remplaces when given.
QByteArray EnWindows1252(const QString &texte, int *remplaces = nullptr);

// Decodes Windows-1252 bytes. The five bytes the code page leaves unassigned
// (81, 8D, 8F, 90, 9D hex) decode to the control characters of the same value.
QString DeWindows1252(const QByteArray &octets);
