#pragma once
// The program's two driver objects for the instruments off the serial line, and the two
// searches the instrument detection makes with them.
#include "drivers/rigol.h"
#include "drivers/visa.h"

#include <QString>

// Created by CreePilotesRigol() at start-up (the VISA session first), freed by
// LiberePilotesRigol() at exit, before the application object goes. nullptr otherwise.
extern TRigolVisa *RigolVisa;
extern TRigol *Rigol;
void CreePilotesRigol();
void LiberePilotesRigol();

// Creates the two objects for the length of a scope (main()).
class TPilotesRigol {
public:
    TPilotesRigol() { CreePilotesRigol(); }
    ~TPilotesRigol() { LiberePilotesRigol(); }
    TPilotesRigol(const TPilotesRigol &) = delete;
    TPilotesRigol &operator=(const TPilotesRigol &) = delete;
};

// USB search: opens the Rigol object on USB; on success gives its identification, leaves
// it on the USB transport and gives the front panel back.
bool RechercheRigolUSB(QString &ident);
// VISA search: opens the VISA session; on success gives the identification and whether it
// names Siglent, switches the Rigol object to VISA and gives the front panel back. When it
// finds nothing while a USBTMC device is there that the user may not open, says so (Inform)
// with the group and the command that give access.
bool RechercheRigolVisa(QString &ident, bool &siglent);
