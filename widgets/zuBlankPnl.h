#pragma once

#include <QWidget>

class QPainter;

// A container that paints nothing itself: its owner draws it through OnPaint, child controls
// paint themselves, and nothing is erased beneath it.
class TzuBlankPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TzuBlankPanel(QWidget *parent = nullptr);

signals:
    void OnPaint(TzuBlankPanel *sender, QPainter *canvas);

protected:
    void paintEvent(QPaintEvent *event) override;
};
