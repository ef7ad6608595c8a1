#pragma once

#include <QFrame>

// The record view: the right-hand pane that shows one record.
class TfrmBook : public QFrame
{
    Q_OBJECT
public:
    explicit TfrmBook(QWidget *parent = nullptr);
};
