#pragma once
// "ondivar-cli multimetre": detects the instrument, runs measurement cycles of the multimeter
// one second apart, prints each reading and hands the table to Korvalis when asked.
#include <QStringList>
#include <QTextStream>

// args are the words after "multimetre". Readings go to out, one tab-separated line each;
// messages to err in French. Exit code: 0 at least one point was recorded (and sent when
// asked), 1 no instrument, no point or the send failed, 2 a usage error.
int cliMultimetre(const QStringList &args, QTextStream &out, QTextStream &err);
