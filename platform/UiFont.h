#pragma once

#include <QFont>

// The interface font "굴림체" at a pixel height, with Korean fixed-width fallbacks for
// machines that do not have it.
QFont GulimFont(int pixelSize = 12);
