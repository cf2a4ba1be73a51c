#pragma once
// "ondivar-cli acquire": detects the instrument, reads one record with the maker's procedure
// and writes it to a file or hands it to Korvalis, with no display.
#include <QStringList>
#include <QTextStream>

// args are the words after "acquire". Messages go to err in French; a progress bar is drawn
// on standard error when it is a terminal. Exit code: 0 a page was written or sent,
// 1 no instrument, no record or the write / send failed, 2 a usage error, 3 a page was written
// or sent but a channel the instrument displayed could not be read.
int cliAcquire(const QStringList &args, QTextStream &out, QTextStream &err);
