#pragma once
// The serial settings kept from one run to the next (sections "COM" and "Trace").
#include "link/types.h"
#include <QSettings>
#include <functional>

struct TReglagesCom {
    // The maker ordinal saved by the previous run, as read: a value above the last maker is
    // kept (the detection then makes no first attempt); a negative one reads as oNone.
    int dernierConstructeur = oNone;
    int NumeroTrace = 0;   // 0..25: letter a..z of the trace files
    bool avecTrace = false;
    bool avecDTR = false;
    int port = 1;
    int baud = 19200;

    // Reads the settings; a port that is not present is replaced by the first present
    // one among 1..50, or 1.
    void LitRegistre(QSettings &s, const std::function<bool(int)> &portPresent);
    // Advances the trace counter (wrapping after z) and writes every value.
    void EcritRegistre(QSettings &s, Tconstructeur courant);
    // Letter of the trace and log file names.
    QChar lettreTrace() const { return QChar(char16_t(u'a' + NumeroTrace)); }
};
