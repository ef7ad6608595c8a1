#pragma once

#include "funcs.h"
#include "zuFormNC.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

class QLabel;
class QMouseEvent;
class QPainter;
class TfrmZuThreeButtons;
class TzuBlankPanel;
class TzuImageListButton;

// colour turned by n 240ths of a turn, as a plain colour value; n <= 0 gives colour unchanged
// (a system colour stays a system colour then).
TColor HueShiftColor(TColor color, int n);

// The program icon "MAINICON" at size x size pixels, made from its image closest to 16 x 16.
QIcon LoadSmallIcon(int size);

// The colour table: a small child window of the main window's frame. A click on a colour of the
// table (and every move while the button stays down) sets the frame's caption text colour; the
// slider turns the frame's skin hue by twice its position. Closing it frees it.
class TfrmThreeColorTable : public TfrmZuNoCaption
{
    Q_OBJECT
public:
    // The part of the table picture that is drawn and shown.
    static constexpr int TableWidth = 239;
    static constexpr int TableHeight = 60;
    static constexpr int ThumbWidth = 8;
    // A press this far right of the knob's left edge still takes it.
    static constexpr int GrabZone = 11;

    explicit TfrmThreeColorTable(TfrmZuThreeButtons *frame);
    ~TfrmThreeColorTable() override;

    TzuImageListButton *btnClose = nullptr;
    QLabel *imgTable = nullptr;
    TzuBlankPanel *pnlThumb = nullptr;
    QLabel *Label1 = nullptr;

    int ThumbPosition() const { return m_thumbPos; }
    // Clamps p to the slider; a new position is shown and sets the frame's hue to 2 p.
    void SetThumb(int p);

    // The table picture: 800 x 800 pixels of 24 bits, four hue bands, a gray ramp and fourteen
    // swatches in the top-left 239 x 60.
    static QImage TablePicture();
    // The colour the table gives at a point of the picture; a point outside the shown part
    // takes the nearest colour inside, so a pick is always a valid colour.
    TColor ColorAt(QPoint at) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void frmZuNoCaptionCreate();
    // The frame's close button images, re-tinted with every hue.
    void TakeCloseImages();
    void Pick(QPoint at);
    void pnlThumbPaint(TzuBlankPanel *sender, QPainter *canvas);
    void pnlThumbMouseDown(QMouseEvent *event);
    // How far a key moves the knob; 0 for keys the slider does not take.
    static int ThumbKeyStep(int key);

    TfrmZuThreeButtons *m_frame;
    QImage m_table;
    int m_thumbPos = 0;
    int m_dragStartX = 0;
    int m_dragStartPos = 0;
    bool m_picking = false;
    bool m_dragging = false;
    QImage m_thumb;
    QPixmap m_slider; // the slider as last drawn
};
