#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>

#include <initializer_list>

class QWidget;

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

// One colour as three bytes.
struct TRgb
{
    quint8 r = 0;
    quint8 g = 0;
    quint8 b = 0;
    friend bool operator==(const TRgb &, const TRgb &) = default;
};

// Hue in turns (0 up to below 1), saturation and lightness from 0 to 1.
struct THsl
{
    double h = 0;
    double s = 0;
    double l = 0;
};

// The channels of a colour value; a system colour gives its current RGB, clNone black.
TRgb ColorToRgb(TColor color);
TColor RgbToColor(TRgb rgb);

THsl RgbToHsl(quint8 r, quint8 g, quint8 b);
// Any hue wraps round; channels are rounded to the nearest integer, halves to even.
TRgb HslToRgb(double h, double s, double l);
// rgb with its hue turned by n 240ths of a turn.
TRgb HueShiftRgb(TRgb rgb, int n);

// Turns the hue of every pixel by n 240ths of a turn; the image becomes 24 bits per pixel.
void HueShiftBitmap(QImage &bitmap, int n);

// The colour a control shows when it follows its parent: the parent's background.
QColor ParentBackground(const QWidget *widget);

// caption as room pixels hold it in characters charWidth pixels wide: cut to whole characters
// with "...", counting bytes as code page 949 does, when it is longer.
QString FitCaption(const QString &caption, int room, int charWidth);

// A control's tag: a number that tells what the control is for (its Qt property "tag").
int TagOf(const QObject *object);
void SetTag(QObject *object, int tag);

// Tab goes through the widgets in this order, the first one staying where it was.
void SetTabChain(std::initializer_list<QWidget *> widgets);

// Makes the program's bitmaps and icons available (they live in the static library).
void EnsureResources();
// The program's bitmap ":/name", decoded once and shared; a null image when there is none.
QImage ResourceImage(const QString &name);
