#pragma once

#include "ImageList.h"
#include "funcs.h"
#include "zuGradiClrs.h"
#include "zuPicCBtn.h"

#include <QList>

// The program's push button. With a colour scheme it draws itself: a gradient face with a
// rounded outline and a bevel, flat faces when pressed, selected or disabled, an optional icon,
// mark triangle and grayscale look. Without a scheme it is a system push button.
class TzuGradiButton : public TzuPictureCButton
{
    Q_OBJECT
    Q_PROPERTY(int CapX READ CapX WRITE SetCapX)
    Q_PROPERTY(int CapY READ CapY WRITE SetCapY)
    Q_PROPERTY(int IconX READ IconX WRITE SetIconX)
    Q_PROPERTY(int IconY READ IconY WRITE SetIconY)
    Q_PROPERTY(TzuGradiColors *Colors READ Colors WRITE SetColors)
    Q_PROPERTY(bool Grayed READ Grayed WRITE SetGrayed)
    Q_PROPERTY(TImageList *Images READ Images WRITE SetImages)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(bool Selected READ Selected WRITE SetSelected)
    Q_PROPERTY(bool Marked READ Marked WRITE SetMarked)
    Q_PROPERTY(bool VerticalGradi READ VerticalGradi WRITE SetVerticalGradi)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
public:
    explicit TzuGradiButton(QWidget *parent = nullptr);
    TzuGradiButton(const QString &caption, QWidget *parent = nullptr);

    // Caption position; CapX below 0 centres the caption.
    int CapX() const { return m_capX; }
    void SetCapX(int value) { Assign(m_capX, value, Always); }
    int CapY() const { return m_capY; }
    void SetCapY(int value) { Assign(m_capY, value, Always); }
    int IconX() const { return m_iconX; }
    void SetIconX(int value) { Assign(m_iconX, value, Always); }
    int IconY() const { return m_iconY; }
    void SetIconY(int value) { Assign(m_iconY, value, Always); }
    TzuGradiColors *Colors() const { return m_colors; }
    void SetColors(TzuGradiColors *value);
    bool Grayed() const { return m_grayed; }
    void SetGrayed(bool value) { Assign(m_grayed, value, IfChanged); }
    TImageList *Images() const { return m_images; }
    void SetImages(TImageList *value);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int value) { Assign(m_imageIndex, value, IfChanged); }
    // A selected look that program code latches; clicks do not change it.
    bool Selected() const { return m_selected; }
    void SetSelected(bool value) { Assign(m_selected, value, Always); }
    bool Marked() const { return m_marked; }
    void SetMarked(bool value) { Assign(m_marked, value, IfChanged); }
    bool VerticalGradi() const { return m_verticalGradi; }
    void SetVerticalGradi(bool value) { Assign(m_verticalGradi, value, IfChanged); }
    // The colour outside the rounded corners; the parent's while ParentColor is set.
    TColor Color() const;
    void SetColor(TColor value);
    bool ParentColor() const { return m_parentColor; }
    void SetParentColor(bool value);

    // Draws the whole button for one paint; pushed is the pressed state of that paint.
    virtual void DrawButton(QPainter &target, bool pushed);
    void DrawFace(QPainter &target, bool pushed) override { DrawButton(target, pushed); }
    // The whole face takes presses.
    bool HitTest(int, int) override { return true; }
    // The gradient face between two colours, with its outline and bevel.
    virtual void DrawGradient(QPainter &canvas, TColor begin, TColor end);

    // The colours of count gradient lines from begin towards end over a face size pixels
    // long. Each channel moves by its step and is cut to a whole number after every line, so
    // the end colour is usually missed.
    static QList<TRgb> GradientLines(TColor begin, TColor end, int size, int count);

protected:
    bool OwnerDraw() const override { return m_colors != nullptr; }

private:
    // Setters store the value and repaint, some only when it changed.
    enum AssignRule { Always, IfChanged };
    template<typename T>
    void Assign(T &field, T value, AssignRule rule)
    {
        if (rule == IfChanged && field == value)
            return;
        field = value;
        update();
    }

    void FlatFace(QPainter &canvas, TColor color);

    bool m_grayed = false;
    bool m_verticalGradi = false;
    int m_capX = -1;
    int m_capY = -1;
    int m_iconX = 5;
    int m_iconY = 5;
    TzuGradiColors *m_colors = nullptr;
    TImageList *m_images = nullptr;
    int m_imageIndex = -1;
    bool m_selected = false;
    bool m_marked = false;
    TColor m_color = 0;
    bool m_parentColor = true;
    QMetaObject::Connection m_colorsGone;
    QMetaObject::Connection m_imagesGone;
};
