#pragma once

#include "zuFormNC.h"

#include <QImage>
#include <QPixmap>

class QMouseEvent;
class QPainter;
class TImageList;
class TzuBlankPanel;
class TzuImageListButton;

// The dialog base of the program: a 3-pixel frame with round corners and a blue caption strip
// with the cut caption, the icon and a close button, all from the chrome bitmap
// "BMP_GRAY_DIALOG". Dragging the strip moves the dialog; Esc from whichever box has the focus
// and the close button close it with the cancel result. Centred on the screen.
class TfrmZuGrayDialog : public TfrmZuNoCaption
{
    Q_OBJECT
public:
    // Pixels of this colour in the frame's corners are cut away.
    static constexpr quint32 KeyColor = 0x33081A;
    static constexpr int StripHeight = 20;

    explicit TfrmZuGrayDialog(QWidget *parent = nullptr);

    TzuBlankPanel *imgCaption = nullptr;
    TzuImageListButton *btnClose = nullptr;

    bool CaptionActive() const { return m_captionActive; }
    virtual void SetCaptionActive(bool active);

    // The caption as a strip width pixels wide shows it: cut to whole characters with "...",
    // counting bytes as code page 949 does, when it is longer than the strip holds.
    QString CaptionText(int width) const;
    static QString CutCaption(const QString &caption, int width, int charWidth);

    // The chrome bitmap, and the frame it gives a window of this size: edges stretched,
    // corners copied, transparent inside.
    static QImage ChromeBitmap();
    static QImage FrameImage(const QImage &chrome, QSize size);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void PaintFrame(QPainter &painter) override;
    // Esc: cancel. Other keys go on to the focused box.
    virtual bool frmZuNoCaptionKeyDown(QKeyEvent *event);

private:
    void frmZuNoCaptionCreate();
    void imgCaptionPaint(TzuBlankPanel *sender, QPainter *canvas);
    void imgCaptionMouseDown(QMouseEvent *event);
    void btnCloseClick();
    void InvalidateStrip();

    QImage m_chrome;
    TImageList *m_closeImages = nullptr;
    bool m_captionActive = false;
    QPixmap m_strip; // the caption strip as last drawn
    QPixmap m_frame; // the frame for the window's size
    // Moving by the strip where the desktop does not move the window itself.
    bool m_dragging = false;
    QPoint m_grab;
};
