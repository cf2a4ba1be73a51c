#pragma once
// "ondivar-cli balayage": detects the oscilloscope, opens the programmable generator and
// sweeps its frequency, one Bode or multimeter point at each, with no display; the points go
// to standard output as they come, then to a table file or to Korvalis.
#include <QStringList>
#include <QTextStream>

// args are the words after "balayage". Points go to out (f, G and the phase, tab-separated),
// messages and the progress bar to err in French. Exit code: 0 for a whole sweep whose points
// were written (or sent), 1 for a failure (no instrument, no generator, a sweep stopped or
// interrupted, no point, a failed write or send; the points measured are written even so),
// 2 for a usage error.
int cliBalayage(const QStringList &args, QTextStream &out, QTextStream &err);
