#include "zuGrayDialog.h"

#include "KeyPreview.h"
#include "widgets/ImageList.h"
#include "widgets/funcs.h"
#include "widgets/zuBlankPnl.h"
#include "widgets/zuImglstBtn.h"

#include <QApplication>
#include <QBitmap>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {

constexpr int CloseSize = 16;

} // namespace

TfrmZuGrayDialog::TfrmZuGrayDialog(QWidget *parent)
    : TfrmZuNoCaption(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xE7EFEF));
    setPalette(pal);

    imgCaption = new TzuBlankPanel(ClientArea());
    imgCaption->setObjectName(QStringLiteral("imgCaption"));
    imgCaption->installEventFilter(this);
    connect(imgCaption, &TzuBlankPanel::OnPaint, this, &TfrmZuGrayDialog::imgCaptionPaint);
    btnClose = new TzuImageListButton(ClientArea());
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setFocusPolicy(Qt::NoFocus);
    btnClose->setAccessibleName(QStringLiteral("닫기"));
    connect(btnClose, &QPushButton::clicked, this, &TfrmZuGrayDialog::btnCloseClick);

    SetClientSize(378, 238);
    new TKeyPreview(this, [this](QKeyEvent *event) { return frmZuNoCaptionKeyDown(event); });
    frmZuNoCaptionCreate();
}

void TfrmZuGrayDialog::frmZuNoCaptionCreate()
{
    m_chrome = ChromeBitmap();
    m_closeImages = new TImageList(CloseSize, CloseSize, this);
    for (int i = 0; i < 3; ++i)
        m_closeImages->Add(m_chrome.copy(CloseSize * i, 0, CloseSize, CloseSize));
    btnClose->SetImageList(m_closeImages);
    btnClose->SetIndexButton(0);
    btnClose->SetIndexEnter(1);
    btnClose->SetIndexClick(2);
}

QImage TfrmZuGrayDialog::ChromeBitmap()
{
    return ResourceImage(QStringLiteral("BMP_GRAY_DIALOG"));
}

QImage TfrmZuGrayDialog::FrameImage(const QImage &chrome, QSize size)
{
    QImage frame(size, QImage::Format_ARGB32);
    frame.fill(Qt::transparent);
    const int w = size.width();
    const int h = size.height();
    QPainter p(&frame);
    // Nearest pixel when stretching, as the system's stretched copy does.
    p.drawImage(QRect(0, 0, w, 3), chrome, QRect(52, 0, 1, 3));
    p.drawImage(QRect(0, h - 3, w, 3), chrome, QRect(48, 15, 1, 3));
    p.drawImage(QRect(0, 0, 3, h), chrome, QRect(48, 5, 3, 1));
    p.drawImage(QRect(w - 3, 0, 3, h), chrome, QRect(50, 14, 3, 1));
    p.drawImage(QPoint(0, 0), chrome, QRect(48, 0, 5, 4));
    p.drawImage(QPoint(w - 5, 0), chrome, QRect(48, 9, 5, 4));
    p.drawImage(QPoint(0, h - 4), chrome, QRect(48, 5, 5, 4));
    p.drawImage(QPoint(w - 5, h - 4), chrome, QRect(48, 14, 5, 4));
    return frame;
}

void TfrmZuGrayDialog::PaintFrame(QPainter &painter)
{
    painter.drawPixmap(0, 0, m_frame);
}

void TfrmZuGrayDialog::resizeEvent(QResizeEvent *event)
{
    TfrmZuNoCaption::resizeEvent(event);
    const QSize client = ClientSize();
    imgCaption->setGeometry(0, 0, client.width(), StripHeight);
    btnClose->setGeometry(client.width() - CloseSize - 2, 0, CloseSize, CloseSize);
    if (m_frame.size() == size())
        return;
    const QImage frame = FrameImage(m_chrome, size());
    // A pixmap, so that a paint only copies it.
    m_frame = QPixmap::fromImage(frame);
    // The key colour is see-through: the corners are round.
    const QRgb key = ColorToQColor(KeyColor).rgb();
    const QImage opaque = frame.convertToFormat(QImage::Format_RGB32);
    setMask(QBitmap::fromImage(opaque.createMaskFromColor(key, Qt::MaskInColor)));
}

void TfrmZuGrayDialog::SetCaptionActive(bool active)
{
    m_captionActive = active;
    InvalidateStrip();
}

void TfrmZuGrayDialog::InvalidateStrip()
{
    m_strip = QPixmap();
    if (imgCaption)
        imgCaption->update();
}

QString TfrmZuGrayDialog::CutCaption(const QString &caption, int width, int charWidth)
{
    // The text starts 20 pixels into the strip.
    return FitCaption(caption, width - 20, charWidth);
}

QString TfrmZuGrayDialog::CaptionText(int width) const
{
    return CutCaption(windowTitle(), width, fontMetrics().horizontalAdvance(QLatin1Char('M')));
}

void TfrmZuGrayDialog::imgCaptionPaint(TzuBlankPanel *sender, QPainter *canvas)
{
    const QSize size = sender->size();
    if (m_strip.size() != size) {
        const int h = m_chrome.height();
        QPixmap bitmap(size);
        // The rows below the chrome keep the form's background.
        bitmap.fill(palette().color(QPalette::Window));
        QPainter p(&bitmap);
        p.drawImage(QRect(0, 0, size.width(), h), m_chrome, QRect(53, 0, 1, h));
        p.setFont(font());
        p.setPen(ColorToQColor(m_captionActive ? 0xF8F8F8 : 0x808080));
        p.drawText(20, 3 + p.fontMetrics().ascent(), CaptionText(size.width()));
        windowIcon().paint(&p, QRect(1, 1, 16, 16));
        p.end();
        m_strip = bitmap;
    }
    canvas->drawPixmap(0, 0, m_strip);
}

void TfrmZuGrayDialog::imgCaptionMouseDown(QMouseEvent *event)
{
    // The desktop moves the window where it can, as if its title bar had been pressed.
    QWindow *handle = windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragging = true;
    m_grab = event->globalPosition().toPoint() - pos();
}

bool TfrmZuGrayDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == imgCaption) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        switch (event->type()) {
        case QEvent::MouseButtonPress: imgCaptionMouseDown(mouse); return true;
        case QEvent::MouseMove:
            if (m_dragging)
                move(mouse->globalPosition().toPoint() - m_grab);
            return true;
        case QEvent::MouseButtonRelease: m_dragging = false; return true;
        default: break;
        }
    }
    return TfrmZuNoCaption::eventFilter(watched, event);
}

void TfrmZuGrayDialog::btnCloseClick()
{
    reject();
}

bool TfrmZuGrayDialog::frmZuNoCaptionKeyDown(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        return true;
    }
    return false;
}

void TfrmZuGrayDialog::changeEvent(QEvent *event)
{
    TfrmZuNoCaption::changeEvent(event);
    switch (event->type()) {
    case QEvent::ActivationChange: SetCaptionActive(isActiveWindow()); break;
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
    case QEvent::FontChange: InvalidateStrip(); break;
    default: break;
    }
}

void TfrmZuGrayDialog::showEvent(QShowEvent *event)
{
    TfrmZuNoCaption::showEvent(event);
    if (event->spontaneous())
        return;
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect r = frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}
