#include "zuFormNC.h"

#include "platform/UiFont.h"
#include "widgets/funcs.h"

#include <QPainter>
#include <QResizeEvent>

TfrmZuNoCaption::TfrmZuNoCaption(QWidget *parent, int frameWidth)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_frameWidth(frameWidth)
{
    EnsureResources();
    setFont(GulimFont(12));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xD5E3E3));
    setPalette(pal);
    setAutoFillBackground(true);
    // Transparent: the form paints the background beneath it, and descendants may paint there.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    m_client->move(ClientOrigin());
}

QSize TfrmZuNoCaption::ClientSize() const
{
    // From the window's size: a hidden window gets its resize event only when shown.
    return size().shrunkBy(QMargins(m_frameWidth, m_frameWidth, m_frameWidth, m_frameWidth));
}

void TfrmZuNoCaption::SetClientSize(int width, int height)
{
    setFixedSize(width + 2 * m_frameWidth, height + 2 * m_frameWidth);
    m_client->resize(width, height);
}

void TfrmZuNoCaption::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_client->setGeometry(
        rect().adjusted(m_frameWidth, m_frameWidth, -m_frameWidth, -m_frameWidth));
}

void TfrmZuNoCaption::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    if (m_frameWidth <= 0)
        return;
    QPainter painter(this);
    PaintFrame(painter);
}

void TfrmZuNoCaption::PaintFrame(QPainter &painter)
{
    // Light on the top and left, dark on the bottom and right, as a raised window edge.
    const QPalette &pal = palette();
    const QColor light = pal.color(QPalette::Light);
    const QColor dark = pal.color(QPalette::Dark);
    const QColor shadow = pal.color(QPalette::Shadow);
    const int w = width();
    const int h = height();
    for (int i = 0; i < m_frameWidth; ++i) {
        const QColor bottomRight = i == 0 ? shadow : dark;
        painter.fillRect(i, i, w - 2 * i, 1, light);
        painter.fillRect(i, i, 1, h - 2 * i, light);
        painter.fillRect(i, h - 1 - i, w - 2 * i, 1, bottomRight);
        painter.fillRect(w - 1 - i, i, 1, h - 2 * i, bottomRight);
    }
}
