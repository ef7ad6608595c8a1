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
    TrackDrawnButton(this, event, m_mouseInside, OwnerDraw());
    return done;
}

void TrackDrawnButton(QWidget *button, QEvent *event, bool &mouseInside, bool ownerDraw)
{
    switch (event->type()) {
    case QEvent::Polish:
        // Styles reset this when they polish a push button.
        button->setAttribute(Qt::WA_OpaquePaintEvent, ownerDraw);
        return;
    case QEvent::Enter: mouseInside = true; break;
    case QEvent::Leave: mouseInside = false; break;
    case QEvent::FontChange:
    case QEvent::EnabledChange: break;
    default: return;
    }
    button->update();
}

void TzuPictureCButton::mousePressEvent(QMouseEvent *event)
{
    // A refused press is swallowed: no pushed look, no click, nothing for the parent either.
    if (event->button() == Qt::LeftButton
        && !HitTest(event->position().toPoint().x(), event->position().toPoint().y())) {
        event->accept();
        return;
    }
    QPushButton::mousePressEvent(event);
}

void TzuPictureCButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        QPushButton::mouseDoubleClickEvent(event);
    else if (isSignalConnected(QMetaMethod::fromSignal(&TzuPictureCButton::OnDblClick)))
        emit OnDblClick();
    else
        PressAgain(this, *event); // through HitTest like the first press
}

void PressAgain(QWidget *button, const QMouseEvent &doubleClick)
{
    QMouseEvent press(QEvent::MouseButtonPress, doubleClick.position(), doubleClick.scenePosition(),
                      doubleClick.globalPosition(), doubleClick.button(), doubleClick.buttons(),
                      doubleClick.modifiers());
    QCoreApplication::sendEvent(button, &press);
}

void WatchComponent(QMetaObject::Connection &link, QObject *component, QObject *control,
                    std::function<void()> gone)
{
    QObject::disconnect(link);
    link = component ? QObject::connect(component, &QObject::destroyed, control, std::move(gone))
                     : QMetaObject::Connection();
}
