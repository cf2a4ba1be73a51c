#pragma once
// The Rigol USB and VISA searches of the detection, over the program's driver objects.
#include "instrument/session.h"

class TRecherchePilotes : public IRechercheRigol {
public:
    bool ouvreUSB(QString &ident) override;
    bool ouvreVisa(QString &ident, bool &siglent) override;
    void unLock() override;
};
