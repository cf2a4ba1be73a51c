#pragma once
// Reading VISA resource names: the socket resources "TCPIP[board]::host::port::SOCKET",
// lists of them as the settings hold them, and the resource manager's search expressions.
#include <QString>
#include <QStringList>

struct TAdresseTCP {
    QString hote;
    quint16 port = 0;
};

// A socket resource: board of up to 3 digits, host of letters, digits, ".", "_" and "-"
// (1 to 253), port 1 to 65535, "SOCKET"; letters in any case. False for anything else.
bool LitAdresseTCP(const QString &nom, TAdresseTCP &a);
// Adds the well-formed socket resources of a list separated by ";" or "," (spaces around
// the names ignored) to liste, each once whatever its letter case.
void AjouteRessources(const QString &texte, QStringList &liste);
// Whether a resource name matches a search expression: "?" one character, "*" any run,
// every other character itself, letters in any case.
bool CorrespondVisa(const QString &nom, const QString &expression);
