#pragma once
// What every ondivar-cli command that talks to the instrument does around its own work: the
// program's messages go to standard error, the instrument is detected (serial, then USB and
// VISA), and at the end the trace files are named and both streams flushed.
#include "instrument/recherchepilotes.h"
#include "instrument/session.h"
#include "measure/unites.h"

class QTextStream;

class TCommandeCli {
public:
    TCommandeCli(QTextStream &out, QTextStream &err);

    // Detects the instrument; false, with the reason on standard error, when none answers.
    bool detecte(int port, int baud, bool trace);
    // Names the trace files when they were kept, flushes both streams; answers code.
    int fin(int code);

private:
    QTextStream &out_;
    QTextStream &err_;
    TDialogueFlux dialogue_;
    TDialogueTemporaire garde_;
    TVueMuette vue_;
    TRecherchePilotes recherche_;

public:
    // Last, so that it goes first: it holds the view and the search above.
    TSessionInstrument session;
};

// The makers whose "Multimètre" leads to the gain and phase measurement of two sample blocks:
// Sefram, Francaise d'Instrumentation, GoodWill/Instek GDS800 and GDS1000.
bool ModeBode(Tconstructeur c, int modele);
