#pragma once

#include <QWidget>

class QVBoxLayout;

// True while the main window is hidden in the notification area.
extern bool InTray;

// The top-level window frame of the program: a client area above a status bar, and the
// window's close and minimise behaviour. Descendants put their panes into ClientArea().
class TfrmZuThreeButtons : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmZuThreeButtons(QWidget *parent = nullptr);

    QWidget *pnlStatusBar = nullptr;

    QWidget *ClientArea() const { return m_client; }

    // The minimise command of the window (the same as the frame's minimise button).
    virtual void SysMinimize();
    // Shows the window again from minimised or hidden, keeping a maximised state, and brings
    // it to the front.
    void RestoreAndRaise();

signals:
    // The window agreed to close; the program ends with it.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    // The close query: the optional exit question.
    virtual bool FormCloseQuery();

private:
    QWidget *m_client = nullptr;
};
