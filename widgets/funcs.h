#pragma once

#include <QColor>
#include <QPalette>

// 32-bit colour values as the program stores them: 0x00BBGGRR for a plain colour,
// 0xFF0000nn for system colour nn, 0x1FFFFFFF for no colour.
using TColor = quint32;

constexpr TColor clNone = 0x1FFFFFFF;

// The QColor a colour value stands for; an invalid QColor for clNone.
QColor ColorToQColor(TColor color);

// The plain 0x00BBGGRR value of a QColor.
TColor QColorToColor(const QColor &color);

// The palette role that stands in for system colour number index.
QPalette::ColorRole SystemColorRole(int index, QPalette::ColorGroup *group = nullptr);

// Makes the program's bitmaps and icons available (they live in the static library).
void EnsureResources();
