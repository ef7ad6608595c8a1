#pragma once

#include "funcs.h"

#include <QObject>

// The colours of gradient buttons, shared by the buttons of one form. Buttons refer to a scheme
// without owning it and become system push buttons when it is destroyed.
class TzuGradiColors : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TColor clrBegin MEMBER clrBegin)
    Q_PROPERTY(TColor clrEnd MEMBER clrEnd)
    Q_PROPERTY(TColor clrMouseInBegin MEMBER clrMouseInBegin)
    Q_PROPERTY(TColor clrMouseInEnd MEMBER clrMouseInEnd)
    Q_PROPERTY(TColor clrOutBright MEMBER clrOutBright)
    Q_PROPERTY(TColor clrOutShadow MEMBER clrOutShadow)
    Q_PROPERTY(TColor clrOutBorder MEMBER clrOutBorder)
    Q_PROPERTY(TColor clrSelected MEMBER clrSelected)
    Q_PROPERTY(TColor clrThick MEMBER clrThick)
    Q_PROPERTY(TColor clrMarkFace MEMBER clrMarkFace)
    Q_PROPERTY(TColor clrMarkBorder MEMBER clrMarkBorder)
    Q_PROPERTY(TColor clrText MEMBER clrText)
    Q_PROPERTY(TColor clrDisaText MEMBER clrDisaText)
    Q_PROPERTY(TColor clrSelcText MEMBER clrSelcText)
    Q_PROPERTY(TColor clrDisabled MEMBER clrDisabled)
    Q_PROPERTY(int MarkLeft MEMBER MarkLeft)
    Q_PROPERTY(int MarkTop MEMBER MarkTop)
    Q_PROPERTY(int MarkRight MEMBER MarkRight)
    Q_PROPERTY(int MarkBottom MEMBER MarkBottom)
    Q_PROPERTY(int MarkRound MEMBER MarkRound)
public:
    explicit TzuGradiColors(QObject *owner = nullptr);

    static constexpr int ColorCount = 15;
    static constexpr int MarkCount = 5;

    TColor clrBegin = 0xEEFCFF;        // gradient start; the pressed face
    TColor clrEnd = 0xDEF2F8;          // gradient end
    TColor clrMouseInBegin = 0xE6F4FF; // gradient under the mouse
    TColor clrMouseInEnd = 0xC6E6FD;
    TColor clrOutBright = 0xFFFFFF; // bevel, top and left
    TColor clrOutShadow = 0xB5D0D9; // bevel, right and bottom
    TColor clrOutBorder = 0x464646; // rounded outline
    TColor clrSelected = 0xFFE8D0;  // the selected face
    TColor clrThick = 0xFFF7EE;     // kept with the scheme; nothing draws it
    TColor clrMarkFace = 0x60AFFF;  // the mark triangle
    TColor clrMarkBorder = 0x0075EA;
    TColor clrText = 0x000000;
    TColor clrDisaText = 0x6D6558;
    TColor clrSelcText = 0x000000;
    TColor clrDisabled = 0xCCD8D9; // the disabled face

    // Kept with the scheme; nothing draws them.
    int MarkLeft = -1;
    int MarkTop = -1;
    int MarkRight = -1;
    int MarkBottom = -1;
    int MarkRound = 2;

    // The colours in the order above, 0 (clrBegin) to 14 (clrDisabled).
    TColor Color(int index) const;
    void SetColor(int index, TColor value);
    // MarkLeft, MarkTop, MarkRight, MarkBottom, MarkRound as 0 to 4.
    int Mark(int index) const;
    void SetMark(int index, int value);
};

// The schemes the forms hold, under their names: the dialogs' (all defaults), the record
// view's and the navigator pane's.
TzuGradiColors *NewGradiColors1(QObject *owner);
TzuGradiColors *NewGradiColors2(QObject *owner);
TzuGradiColors *NewColorsBrown(QObject *owner);
