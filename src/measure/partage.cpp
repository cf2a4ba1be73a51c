#include "measure/partage.h"

double baseDeTemps = 0.0;
std::array<double, 5> calibreVoie{};
double frequenceCourante = 0.0;
