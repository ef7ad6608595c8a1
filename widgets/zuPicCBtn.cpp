#include "zuPicCBtn.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>

TzuPictureCButton::TzuPictureCButton(QWidget *parent)
    : QPushButton(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TzuPictureCButton::RecreateWnd()
{
    // A drawn button paints every pixel itself, so nothing is erased beneath it.
    setAttribute(Qt::WA_OpaquePaintEvent, OwnerDraw());
    update();
}

void TzuPictureCButton::paintEvent(QPaintEvent *event)
{
    if (!OwnerDraw()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    DrawFace(painter, isDown());
}

bool TzuPictureCButton::event(QEvent *event)
{
    const bool done = QPushButton::event(event);
    switch (event->type()) {
    case QEvent::Polish:
        // Styles reset this when they polish a push button.
        setAttribute(Qt::WA_OpaquePaintEvent, OwnerDraw());
        break;
    case QEvent::Enter:
    case QEvent::Leave:
        m_mouseInside = event->type() == QEvent::Enter;
        update();
        break;
    case QEvent::FontChange:
    case QEvent::EnabledChange: update(); break;
    default: break;
    }
    return done;
}

void TzuPictureCButton::mousePressEvent(QMouseEvent *event)
{
    // A refused press is swallowed: no pushed look, no click, nothing for the parent either.
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !HitTest(at.x(), at.y())) {
        event->accept();
        return;
    }
    QPushButton::mousePressEvent(event);
}

void TzuPictureCButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QPushButton::mouseDoubleClickEvent(event);
        return;
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&TzuPictureCButton::OnDblClick))) {
        emit OnDblClick();
        return;
    }
    // A second press at the same place, through HitTest like the first, so that a quick second
    // click still counts as a click.
    QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                      event->globalPosition(), event->button(), event->buttons(),
                      event->modifiers());
    QCoreApplication::sendEvent(this, &press);
}

void WatchComponent(QMetaObject::Connection &link, QObject *component, QObject *control,
                    std::function<void()> gone)
{
    QObject::disconnect(link);
    link = component ? QObject::connect(component, &QObject::destroyed, control, std::move(gone))
                     : QMetaObject::Connection();
}
