#include "zuGradiClrs.h"

namespace {

using ColorField = TColor TzuGradiColors::*;
constexpr ColorField ColorFields[TzuGradiColors::ColorCount] = {
    &TzuGradiColors::clrBegin,        &TzuGradiColors::clrEnd,
    &TzuGradiColors::clrMouseInBegin, &TzuGradiColors::clrMouseInEnd,
    &TzuGradiColors::clrOutBright,    &TzuGradiColors::clrOutShadow,
    &TzuGradiColors::clrOutBorder,    &TzuGradiColors::clrSelected,
    &TzuGradiColors::clrThick,        &TzuGradiColors::clrMarkFace,
    &TzuGradiColors::clrMarkBorder,   &TzuGradiColors::clrText,
    &TzuGradiColors::clrDisaText,     &TzuGradiColors::clrSelcText,
    &TzuGradiColors::clrDisabled,
};

using MarkField = int TzuGradiColors::*;
constexpr MarkField MarkFields[TzuGradiColors::MarkCount] = {
    &TzuGradiColors::MarkLeft,   &TzuGradiColors::MarkTop,   &TzuGradiColors::MarkRight,
    &TzuGradiColors::MarkBottom, &TzuGradiColors::MarkRound,
};

TzuGradiColors *named(const char *name, QObject *owner)
{
    auto *scheme = new TzuGradiColors(owner);
    scheme->setObjectName(QString::fromLatin1(name));
    return scheme;
}

} // namespace

TzuGradiColors::TzuGradiColors(QObject *owner)
    : QObject(owner)
{}

// Buttons pick changed colours up on their next paint; only a form designer would need them
// repainted at once.
TColor TzuGradiColors::Color(int index) const
{
    return index >= 0 && index < ColorCount ? this->*ColorFields[index] : 0;
}

void TzuGradiColors::SetColor(int index, TColor value)
{
    if (index >= 0 && index < ColorCount)
        this->*ColorFields[index] = value;
}

int TzuGradiColors::Mark(int index) const
{
    return index >= 0 && index < MarkCount ? this->*MarkFields[index] : 0;
}

void TzuGradiColors::SetMark(int index, int value)
{
    if (index >= 0 && index < MarkCount)
        this->*MarkFields[index] = value;
}

TzuGradiColors *NewGradiColors1(QObject *owner)
{
    return named("zuGradiColors1", owner);
}

TzuGradiColors *NewGradiColors2(QObject *owner)
{
    TzuGradiColors *scheme = named("zuGradiColors2", owner);
    scheme->clrBegin = 0xFFFFFF;
    scheme->clrEnd = 0xF6F6F6;
    scheme->clrMouseInBegin = 0xEEF7FD;
    scheme->clrMouseInEnd = 0xD6EBFA;
    scheme->clrOutBright = 0x000000;
    scheme->clrOutShadow = 0x000000;
    scheme->clrOutBorder = 0x000000;
    scheme->clrSelected = 0x454545;
    scheme->clrMarkFace = 0x454545;
    scheme->clrDisaText = 0xC1BAB3;
    scheme->clrSelcText = 0xFFFFFF;
    scheme->clrDisabled = 0x616161;
    return scheme;
}

TzuGradiColors *NewColorsBrown(QObject *owner)
{
    TzuGradiColors *scheme = named("ColorsBrown", owner);
    scheme->clrEnd = 0xE7F5FA;
    scheme->clrOutShadow = 0xDBE8EC;
    scheme->clrOutBorder = 0x505050;
    scheme->clrSelected = 0xBBC8CC;
    scheme->clrMarkFace = 0x9CB5C2;
    scheme->clrSelcText = 0x414141;
    scheme->clrDisabled = 0xDDE4E6;
    return scheme;
}
