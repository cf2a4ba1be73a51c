#include "link/types.h"

Tconstructeur constructeur = oNone;
int modeleGDS = 0;
