#pragma once

#include "widgets/funcs.h"

#include <QLabel>

#include <array>

// A panel with a caption whose four edges have colours of their own and a common thickness;
// an edge coloured clNone is not drawn. Setters store and repaint.
class TzuColorPanel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(int BorderThick READ BorderThick WRITE SetBorderThick)
    Q_PROPERTY(quint32 clrLeft READ clrLeft WRITE SetClrLeft)
    Q_PROPERTY(quint32 clrTop READ clrTop WRITE SetClrTop)
    Q_PROPERTY(quint32 clrRight READ clrRight WRITE SetClrRight)
    Q_PROPERTY(quint32 clrBottom READ clrBottom WRITE SetClrBottom)
public:
    enum Edge { EdgeLeft, EdgeTop, EdgeRight, EdgeBottom };

    explicit TzuColorPanel(QWidget *parent = nullptr);

    int BorderThick() const { return m_borderThick; }
    void SetBorderThick(int value);
    TColor EdgeColor(int edge) const { return m_colors.at(edge); }
    void SetEdgeColor(int edge, TColor color);
    TColor clrLeft() const { return EdgeColor(EdgeLeft); }
    void SetClrLeft(TColor color) { SetEdgeColor(EdgeLeft, color); }
    TColor clrTop() const { return EdgeColor(EdgeTop); }
    void SetClrTop(TColor color) { SetEdgeColor(EdgeTop, color); }
    TColor clrRight() const { return EdgeColor(EdgeRight); }
    void SetClrRight(TColor color) { SetEdgeColor(EdgeRight, color); }
    TColor clrBottom() const { return EdgeColor(EdgeBottom); }
    void SetClrBottom(TColor color) { SetEdgeColor(EdgeBottom, color); }
    // All four edges in one colour.
    void SetEdgeColors(TColor color);

signals:
    void OnMouseEnter(TzuColorPanel *sender);
    void OnMouseLeave(TzuColorPanel *sender);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    int m_borderThick = 1;
    std::array<TColor, 4> m_colors = {0x000000, 0x000000, 0x000000, 0x000000};
};
