#include "KeyPreview.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

TKeyPreview::TKeyPreview(QWidget *window, Handler handler)
    : QObject(window)
    , m_window(window)
    , m_handler(std::move(handler))
{
    // On the application, since the key goes to the focused control, not to the window.
    qApp->installEventFilter(this);
}

TKeyPreview::~TKeyPreview()
{
    qApp->removeEventFilter(this);
}

bool TKeyPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == m_window)
        return m_handler(static_cast<QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}
