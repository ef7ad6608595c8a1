#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

// A window's key preview: it sees every key pressed in it before the control that has the
// focus does, and keeps the key from that control when the handler returns true.
class TKeyPreview : public QObject
{
public:
    using Handler = std::function<bool(QKeyEvent *)>;
    // Owned by window; listens for as long as window lives.
    TKeyPreview(QWidget *window, Handler handler);
    ~TKeyPreview() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    Handler m_handler;
};
