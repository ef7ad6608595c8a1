#pragma once

#include <QDialog>

// Base of the program's dialogs: its own background and the interface font. The painted
// frame without a system title bar comes with the dialog chrome.
class TfrmZuNoCaption : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmZuNoCaption(QWidget *parent = nullptr);

    // Sets the client size the layout was designed for.
    void SetClientSize(int width, int height);
};
