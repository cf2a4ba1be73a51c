#pragma once
// Types shared by the whole program.
#include <QString>

enum Tconstructeur { oNone, oAgilent, oHewlett, oSefram, oGoodWill, oRigol, oRigolUSB, oRigolVisa, oSiglent, oFI };
constexpr int NbreConstructeurs = 10;
enum Tmode { mNone, mOsc, mMult, mMultSefram };
enum Tconnect { cNone, cConn, cVect };

// Maker of the instrument currently detected, and the GoodWill/Instek family (0 GDS800, 1 GDS1000, 2 GDS2000).
extern Tconstructeur constructeur;
extern int modeleGDS;

// True for the makers reached over the serial line.
inline bool estSerie(Tconstructeur c)
{
    return c == oAgilent || c == oHewlett || c == oSefram || c == oGoodWill || c == oRigol || c == oFI;
}
