#pragma once

#include "funcs.h"

#include <QIcon>

// colour turned by n 240ths of a turn, as a plain colour value; n <= 0 gives colour unchanged
// (a system colour stays a system colour then).
TColor HueShiftColor(TColor color, int n);

// The program icon "MAINICON" at size x size pixels, made from its image closest to 16 x 16.
QIcon LoadSmallIcon(int size);
