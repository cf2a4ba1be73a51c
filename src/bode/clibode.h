#pragma once
// "ondivar-cli bode": detects the instrument, runs gain and phase measurements one second
// apart, prints each recorded point and hands the points to Korvalis, with no display.
#include <QStringList>
#include <QTextStream>

// args are the words after "bode". Points go to out (f, G and the phase, tab-separated),
// messages to err in French. Exit code: 0 at least one point recorded (and sent when asked),
// 1 no instrument, no Bode instrument, no point or the send failed, 2 a usage error.
int cliBode(const QStringList &args, QTextStream &out, QTextStream &err);
