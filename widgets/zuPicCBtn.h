#pragma once

#include <QPushButton>

// A push button that its descendants draw. It keeps track of the mouse and lets a press count
// only where HitTest allows it.
class TzuPictureCButton : public QPushButton
{
    Q_OBJECT
public:
    explicit TzuPictureCButton(QWidget *parent = nullptr);

    bool MouseInside() const { return m_mouseInside; }

    // Draws the whole button for one paint; pushed is the pressed state of that paint.
    virtual void DrawFace(QPainter &target, bool pushed) = 0;
    // Whether a press at client point (x, y) counts.
    virtual bool HitTest(int x, int y) = 0;

signals:
    // A double click; without a receiver a double click is a second press.
    void OnDblClick();

protected:
    // Whether the button draws itself at present; otherwise it is a system push button.
    virtual bool OwnerDraw() const { return true; }
    // Applies the drawing mode after OwnerDraw() changed.
    void RecreateWnd();

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool m_mouseInside = false;
};

// What every drawn button does after the standard handling of an event: its mouse-inside flag
// follows the pointer, entering, leaving, a new font or enabled state repaint it, and a drawn
// button keeps the background unerased.
void TrackDrawnButton(QWidget *button, QEvent *event, bool &mouseInside, bool ownerDraw);
