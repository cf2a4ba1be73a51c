#include "drivers/pilotes.h"

#include "drivers/usbtmc.h"
#include "measure/unites.h"

TRigolVisa *RigolVisa = nullptr;
TRigol *Rigol = nullptr;

void CreePilotesRigol()
{
    if (!RigolVisa)
        RigolVisa = new TRigolVisa;
    if (!Rigol)
        Rigol = new TRigol(*RigolVisa);
}

void LiberePilotesRigol()
{
    delete Rigol;
    Rigol = nullptr;
    delete RigolVisa;
    RigolVisa = nullptr;
    FermeUSB();
}

bool RechercheRigolUSB(QString &ident)
{
    if (!Rigol)
        return false;
    Rigol->setOpen(true);
    // Whether the USB link is open, not `open`: that one reads the VISA session's state
    // while isVisa is still true from an earlier detection.
    if (Rigol->nombreUSB() == 0)
        return false;
    ident = QString::fromLatin1(Rigol->ident());
    Rigol->isVisa = false;
    Rigol->unLock();
    return true;
}

bool RechercheRigolVisa(QString &ident, bool &siglent)
{
    if (!RigolVisa || !Rigol)
        return false;
    RigolVisa->setOpen(true);
    if (!RigolVisa->open()) {
        // The last search of a detection: an instrument that is there but may not be
        // opened is said so, not taken for no instrument.
        const QString refus = AccesRefuseUSBTMC();
        if (!refus.isEmpty())
            Inform(refus);
        return false;
    }
    ident = QString::fromLatin1(RigolVisa->identificateur);
    Rigol->isVisa = true;
    Rigol->unLock();
    siglent = RigolVisa->isSIGLENT;
    return true;
}
