#include "instrument/recherchepilotes.h"

#include "drivers/pilotes.h"

bool TRecherchePilotes::ouvreUSB(QString &ident) { return Rigol && RechercheRigolUSB(ident); }

bool TRecherchePilotes::ouvreVisa(QString &ident, bool &siglent)
{
    return Rigol && RigolVisa && RechercheRigolVisa(ident, siglent);
}

void TRecherchePilotes::unLock()
{
    if (Rigol)
        Rigol->unLock();
}
