#pragma once
// "ondivar-cli send": hands a transfer text to Korvalis from the command line.
#include <QIODevice>
#include <QStringList>
#include <QTextStream>

// args are the words after "send": "--ordre" load|add|plus|addcol (or "--ordre=..."),
// then a file name or "-" for standard input. The text is read as UTF-8, or as
// Windows-1252 when it is not valid UTF-8. Messages go to err.
// Exit code: 0 the macro was sent, 1 the transfer failed, 2 a usage or reading error.
int cliSend(const QStringList &args, QTextStream &out, QTextStream &err);
// The same, standard input being entree.
int cliSend(const QStringList &args, QTextStream &out, QTextStream &err, QIODevice &entree);
