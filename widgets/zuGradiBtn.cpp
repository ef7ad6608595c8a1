#include "zuGradiBtn.h"

#include <QPainter>

#include <algorithm>
#include <array>

namespace {

// Lines without their end point, as the face's geometry counts them.
void hLine(QPainter &canvas, int x1, int x2, int y, const QColor &color)
{
    if (x2 > x1)
        canvas.fillRect(QRect(x1, y, x2 - x1, 1), color);
}

void vLine(QPainter &canvas, int x, int y1, int y2, const QColor &color)
{
    if (y2 > y1)
        canvas.fillRect(QRect(x, y1, 1, y2 - y1), color);
}

// A rectangle over the whole W x H face whose corners are rounded off by one pixel: the corner
// pixels keep the colour beneath. The fill, when given, covers the inside of the outline.
void roundRect(QPainter &canvas, int w, int h, const QColor &pen, const QColor &fill = {})
{
    if (fill.isValid() && w > 2 && h > 2)
        canvas.fillRect(QRect(1, 1, w - 2, h - 2), fill);
    hLine(canvas, 1, w - 1, 0, pen);
    hLine(canvas, 1, w - 1, h - 1, pen);
    vLine(canvas, 0, 1, h - 1, pen);
    vLine(canvas, w - 1, 1, h - 1, pen);
}

QColor qc(TColor color)
{
    return ColorToQColor(color);
}

// Text at (x, y) as written, ampersands included.
void textAt(QPainter &canvas, int x, int y, const QString &text)
{
    canvas.drawText(QRect(x, y, 0, 0),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text);
}

} // namespace

TzuGradiButton::TzuGradiButton(QWidget *parent)
    : TzuPictureCButton(parent)
{
    RecreateWnd();
}

TzuGradiButton::TzuGradiButton(const QString &caption, QWidget *parent)
    : TzuGradiButton(parent)
{
    setText(caption);
}

void TzuGradiButton::SetImages(TImageList *value)
{
    m_images = value;
    WatchComponent(m_imagesGone, value, this, [this] {
        m_images = nullptr;
        update();
    });
    update();
}

void TzuGradiButton::SetColors(TzuGradiColors *value)
{
    if (value == m_colors)
        return;
    // Only adding or removing a scheme switches between drawn and system button.
    const bool switches = !value || !m_colors;
    m_colors = value;
    WatchComponent(m_colorsGone, value, this, [this] {
        m_colors = nullptr;
        RecreateWnd();
    });
    if (switches)
        RecreateWnd();
    else
        update();
}

TColor TzuGradiButton::Color() const
{
    return m_parentColor ? QColorToColor(ParentBackground(this)) : m_color;
}

void TzuGradiButton::SetColor(TColor value)
{
    m_color = value;
    m_parentColor = false;
    update();
}

void TzuGradiButton::SetParentColor(bool value)
{
    m_parentColor = value;
    update();
}

QList<TRgb> TzuGradiButton::GradientLines(TColor begin, TColor end, int size, int count)
{
    QList<TRgb> lines;
    if (size <= 0 || count <= 0)
        return lines;
    const TRgb from = ColorToRgb(begin);
    const TRgb to = ColorToRgb(end);
    std::array<int, 3> value = {from.r, from.g, from.b};
    const std::array<int, 3> target = {to.r, to.g, to.b};
    std::array<float, 3> step;
    for (int c = 0; c < 3; ++c)
        step[c] = float(target[c] - value[c]) / float(size);
    lines.reserve(count);
    for (int i = 0; i < count; ++i) {
        lines.append({quint8(value[0]), quint8(value[1]), quint8(value[2])});
        for (int c = 0; c < 3; ++c) {
            // Single precision, cut toward zero after every line.
            const float sum = float(value[c]) + step[c];
            value[c] = std::clamp(int(sum), 0, 255);
        }
    }
    return lines;
}

void TzuGradiButton::DrawGradient(QPainter &canvas, TColor begin, TColor end)
{
    const int w = width(), h = height();
    if (m_verticalGradi) {
        const QList<TRgb> lines = GradientLines(begin, end, w, w - 3);
        for (int i = 0; i < lines.size(); ++i)
            vLine(canvas, 2 + i, 0, h, qc(RgbToColor(lines[i])));
    } else {
        const QList<TRgb> lines = GradientLines(begin, end, h, h - 2);
        for (int i = 0; i < lines.size(); ++i)
            hLine(canvas, 0, w, 1 + i, qc(RgbToColor(lines[i])));
    }
    roundRect(canvas, w, h, qc(m_colors->clrOutBorder));
    // The shadow comes last and wins where it meets the highlight.
    const QColor bright = qc(m_colors->clrOutBright);
    hLine(canvas, 1, w - 1, 1, bright);
    vLine(canvas, 1, 1, h - 1, bright);
    const QColor shadow = qc(m_colors->clrOutShadow);
    vLine(canvas, w - 2, 1, h - 1, shadow);
    hLine(canvas, 1, w - 1, h - 2, shadow);
}

void TzuGradiButton::FlatFace(QPainter &canvas, TColor color)
{
    roundRect(canvas, width(), height(), qc(m_selected ? 0x000000 : m_colors->clrOutBorder),
              qc(color));
}

void TzuGradiButton::DrawButton(QPainter &target, bool pushed)
{
    if (!m_colors)
        return;
    const int w = width(), h = height();
    QImage bitmap(w, h, QImage::Format_RGB32);
    QPainter canvas(&bitmap);
    QFont captionFont = font();
    canvas.fillRect(bitmap.rect(), qc(Color()));

    QString caption = text();
    const qsizetype amp = caption.indexOf(u'&');
    if (amp >= 0)
        caption.remove(amp, 1);

    enum { Normal, Pressed, Selected, Disabled } state;
    if (!isEnabled())
        state = Disabled;
    else if (pushed)
        state = Pressed;
    else if (m_selected)
        state = Selected;
    else
        state = Normal;

    TColor textColor = m_colors->clrText;
    switch (state) {
    case Normal:
        if (MouseInside())
            DrawGradient(canvas, m_colors->clrMouseInBegin, m_colors->clrMouseInEnd);
        else
            DrawGradient(canvas, m_colors->clrBegin, m_colors->clrEnd);
        break;
    case Pressed: FlatFace(canvas, m_colors->clrBegin); break;
    case Selected:
        FlatFace(canvas, m_colors->clrSelected);
        textColor = m_colors->clrSelcText;
        captionFont.setBold(true);
        captionFont.setItalic(false);
        captionFont.setUnderline(false);
        captionFont.setStrikeOut(false);
        break;
    case Disabled:
        FlatFace(canvas, m_colors->clrDisabled);
        textColor = m_colors->clrDisaText;
        break;
    }

    if (m_images && m_imageIndex >= 0)
        m_images->Draw(canvas, m_iconX, m_iconY, m_imageIndex);

    canvas.setFont(captionFont);
    canvas.setPen(qc(textColor));
    canvas.setBrush(Qt::NoBrush);
    const int shift = state == Pressed && !m_images ? 1 : 0;
    if (m_capX < 0) {
        canvas.drawText(QRect(1 + shift, 1, w - 1, h - 1),
                        Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, caption);
    } else {
        const qsizetype bar = caption.indexOf(u'|');
        if (bar >= 0) {
            textAt(canvas, m_capX + shift, m_capY, caption.left(bar));
            textAt(canvas, m_capX + shift, m_capY + 13, caption.mid(bar + 1));
        } else {
            textAt(canvas, m_capX + shift, m_capY, caption);
        }
    }

    if (m_marked) {
        // The triangle (w-11, 3), (w-4, 3), (w-4, 10), every corner on its outline.
        const QColor border = qc(m_colors->clrMarkBorder);
        const QColor face = qc(m_colors->clrMarkFace);
        const int left = w - 11, right = w - 4, top = 3, bottom = 10;
        hLine(canvas, left, right + 1, top, border);
        for (int y = top + 1; y <= bottom; ++y) {
            const int diagonal = left + (y - top);
            hLine(canvas, diagonal, diagonal + 1, y, border);
            hLine(canvas, diagonal + 1, right, y, face);
            hLine(canvas, right, right + 1, y, border);
        }
    }
    canvas.end();

    if (m_grayed) {
        // The weights add up to 108, not 170: a grayed button is darker, white gives 162.
        bitmap.convertTo(QImage::Format_RGB888);
        for (int y = 0; y < h; ++y) {
            uchar *pixel = bitmap.scanLine(y);
            for (int x = 0; x < w; ++x, pixel += 3) {
                const int gray = (12 * pixel[2] + 64 * pixel[1] + 32 * pixel[0]) / 170;
                pixel[0] = pixel[1] = pixel[2] = uchar(gray);
            }
        }
    }
    target.drawImage(0, 0, bitmap);
}
