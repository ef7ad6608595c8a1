#include "zuBlankPnl.h"

#include <QMetaMethod>
#include <QPainter>

TzuBlankPanel::TzuBlankPanel(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TzuBlankPanel::paintEvent(QPaintEvent *)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&TzuBlankPanel::OnPaint)))
        return;
    QPainter canvas(this);
    emit OnPaint(this, &canvas);
}
