#include "zuColorPanel.h"

#include <QPainter>

TzuColorPanel::TzuColorPanel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void TzuColorPanel::SetBorderThick(int value)
{
    m_borderThick = value;
    update();
}

void TzuColorPanel::SetEdgeColor(int edge, TColor color)
{
    m_colors.at(edge) = color;
    update();
}

void TzuColorPanel::SetEdgeColors(TColor color)
{
    m_colors.fill(color);
    update();
}

void TzuColorPanel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    const int w = width();
    const int h = height();
    // Lines as the system draws them: centred on the edge coordinates, without their end
    // points, so about half of a thick line lies outside the panel.
    const auto line = [&](int edge, QPoint from, QPoint to) {
        const TColor color = m_colors.at(edge);
        if (color == clNone)
            return;
        QPen pen(ColorToQColor(color), std::max(1, m_borderThick));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        // Through the middle of the pixels the line runs along.
        if (from.x() == to.x())
            painter.drawLine(QPointF(from.x() + 0.5, from.y()), QPointF(to.x() + 0.5, to.y()));
        else
            painter.drawLine(QPointF(from.x(), from.y() + 0.5), QPointF(to.x(), to.y() + 0.5));
    };
    line(EdgeLeft, {0, 0}, {0, h});
    line(EdgeTop, {0, 0}, {w, 0});
    line(EdgeRight, {w - 1, 0}, {w - 1, h - 1});
    line(EdgeBottom, {0, h - 1}, {w, h - 1});
}

void TzuColorPanel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    emit OnMouseEnter(this);
}

void TzuColorPanel::leaveEvent(QEvent *event)
{
    QLabel::leaveEvent(event);
    emit OnMouseLeave(this);
}
