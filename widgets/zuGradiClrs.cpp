#include "zuGradiClrs.h"

#include <initializer_list>
#include <utility>

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

// A scheme under its form name, with the colours that differ from the defaults.
TzuGradiColors *named(const char *name, QObject *owner,
                      std::initializer_list<std::pair<ColorField, TColor>> overrides = {})
{
    auto *scheme = new TzuGradiColors(owner);
    scheme->setObjectName(QString::fromLatin1(name));
    for (const auto &[field, value] : overrides)
        scheme->*field = value;
    return scheme;
}

} // namespace

TzuGradiColors::TzuGradiColors(QObject *owner)
    : QObject(owner)
{}

TColor TzuGradiColors::Color(int index) const
{
    return index >= 0 && index < ColorCount ? this->*ColorFields[index] : 0;
}

// Buttons pick changed colours up on their next paint; only a form designer would need them
// repainted at once.
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
    using S = TzuGradiColors;
    return named("zuGradiColors2", owner,
                 {{&S::clrBegin, 0xFFFFFF},
                  {&S::clrEnd, 0xF6F6F6},
                  {&S::clrMouseInBegin, 0xEEF7FD},
                  {&S::clrMouseInEnd, 0xD6EBFA},
                  {&S::clrOutBright, 0x000000},
                  {&S::clrOutShadow, 0x000000},
                  {&S::clrOutBorder, 0x000000},
                  {&S::clrSelected, 0x454545},
                  {&S::clrMarkFace, 0x454545},
                  {&S::clrDisaText, 0xC1BAB3},
                  {&S::clrSelcText, 0xFFFFFF},
                  {&S::clrDisabled, 0x616161}});
}

TzuGradiColors *NewColorsBrown(QObject *owner)
{
    using S = TzuGradiColors;
    return named("ColorsBrown", owner,
                 {{&S::clrEnd, 0xE7F5FA},
                  {&S::clrOutShadow, 0xDBE8EC},
                  {&S::clrOutBorder, 0x505050},
                  {&S::clrSelected, 0xBBC8CC},
                  {&S::clrMarkFace, 0x9CB5C2},
                  {&S::clrSelcText, 0x414141},
                  {&S::clrDisabled, 0xDDE4E6}});
}
