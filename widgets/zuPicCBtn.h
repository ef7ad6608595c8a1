#pragma once

#include <QPushButton>

#include <functional>

// A push button that its descendants draw. It keeps track of the mouse, lets a press count
// only where HitTest allows it, and is a system push button while OwnerDraw() is false.
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

// Watches a component that control refers to without owning it: gone runs when the component
// is destroyed. Replaces the watch kept in link; a null component is not watched.
void WatchComponent(QMetaObject::Connection &link, QObject *component, QObject *control,
                    std::function<void()> gone);
