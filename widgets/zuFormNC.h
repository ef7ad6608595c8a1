#pragma once

#include <QDialog>

// Base of the program's dialogs and of the colour table: a window without the desktop's title
// bar that paints a frame of its own. The layout's coordinates are those of ClientArea(), the
// part inside the frame; controls go there.
class TfrmZuNoCaption : public QDialog
{
    Q_OBJECT
public:
    static constexpr int DefaultFrameWidth = 3;

    explicit TfrmZuNoCaption(QWidget *parent = nullptr, int frameWidth = DefaultFrameWidth);

    QWidget *ClientArea() const { return m_client; }
    int FrameWidth() const { return m_frameWidth; }
    QSize ClientSize() const;
    // Sets the client size the layout was designed for; the window is larger by the frame.
    void SetClientSize(int width, int height);
    // Where the client area begins, in window coordinates.
    QPoint ClientOrigin() const { return {m_frameWidth, m_frameWidth}; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // Paints the frame around the client area; by default a plain raised edge.
    virtual void PaintFrame(QPainter &painter);

private:
    int m_frameWidth;
    QWidget *m_client = nullptr;
};
