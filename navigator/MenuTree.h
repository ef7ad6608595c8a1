#pragma once

#include <QFrame>

// The navigator pane: menu, record tree and search hits on the left of the main window.
class TfrmMenuAndTree : public QFrame
{
    Q_OBJECT
public:
    explicit TfrmMenuAndTree(QWidget *parent = nullptr);
};
