#include "funcs.h"

#include "platform/TextCodec.h"

#include <QApplication>
#include <QHash>
#include <QWidget>

#include <algorithm>
#include <cmath>

QPalette::ColorRole SystemColorRole(int index, QPalette::ColorGroup *group)
{
    if (group)
        *group = QPalette::Active;
    switch (index) {
    case 0:  // scroll bar
    case 4:  // menu
    case 10: // active border
    case 11: // inactive border
    case 12: // application workspace
    case 15: // button face
    case 30: // menu bar
        return QPalette::Button;
    case 1: // desktop
    case 5: // window
        return QPalette::Base;
    case 2:  // active caption
    case 13: // highlight
    case 26: // hot light
    case 27: // gradient active caption
    case 29: // menu highlight
        return QPalette::Highlight;
    case 3:  // inactive caption
    case 28: // gradient inactive caption
        if (group)
            *group = QPalette::Inactive;
        return QPalette::Highlight;
    case 6:  // window frame
    case 21: // dark 3-D shadow
        return QPalette::Shadow;
    case 7: // menu text
    case 8: // window text
        return QPalette::WindowText;
    case 9:  // caption text
    case 14: // highlight text
        return QPalette::HighlightedText;
    case 16: // button shadow
        return QPalette::Dark;
    case 17: // gray text
        if (group)
            *group = QPalette::Disabled;
        return QPalette::WindowText;
    case 18: // button text
        return QPalette::ButtonText;
    case 19: // inactive caption text
        if (group)
            *group = QPalette::Inactive;
        return QPalette::HighlightedText;
    case 20: // button highlight
        return QPalette::Light;
    case 22: // 3-D light
        return QPalette::Midlight;
    case 23: // tool tip text
        return QPalette::ToolTipText;
    case 24: // tool tip background
        return QPalette::ToolTipBase;
    default: return QPalette::Window;
    }
}

QColor ColorToQColor(TColor color)
{
    if (color == clNone)
        return {};
    if ((color & 0xFF000000u) == 0xFF000000u) {
        QPalette::ColorGroup group;
        const QPalette::ColorRole role = SystemColorRole(int(color & 0xFF), &group);
        return QApplication::palette().color(group, role);
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor QColorToColor(const QColor &color)
{
    if (!color.isValid())
        return clNone;
    const QColor rgb = color.toRgb();
    return TColor(rgb.red()) | (TColor(rgb.green()) << 8) | (TColor(rgb.blue()) << 16);
}

TRgb ColorToRgb(TColor color)
{
    const QColor c = ColorToQColor(color);
    if (!c.isValid())
        return {};
    return {quint8(c.red()), quint8(c.green()), quint8(c.blue())};
}

TColor RgbToColor(TRgb rgb)
{
    return TColor(rgb.r) | (TColor(rgb.g) << 8) | (TColor(rgb.b) << 16);
}

namespace {

// The widest floating-point type keeps the conversions exact enough to round-trip every colour.
using Real = long double;

// Nearest integer with halves to even, kept to a byte.
quint8 roundToByte(Real v)
{
    if (!(v > 0))
        return 0;
    if (v >= 255)
        return 255;
    int i = int(v);
    const Real fraction = v - i;
    if (fraction > Real(0.5) || (fraction == Real(0.5) && (i & 1)))
        ++i;
    return quint8(i);
}

} // namespace

THsl RgbToHsl(quint8 r, quint8 g, quint8 b)
{
    const Real rr = r / Real(255), gg = g / Real(255), bb = b / Real(255);
    const Real mx = std::max({rr, gg, bb});
    const Real mn = std::min({rr, gg, bb});
    const Real l = (mx + mn) / 2;
    if (mx == mn)
        return {0, 0, double(l)};
    const Real d = mx - mn;
    const Real s = l >= Real(0.5) ? d / (2 - mx - mn) : d / (mx + mn);
    Real h;
    if (mx == rr)
        h = (gg - bb) / d;
    else if (mx == gg)
        h = (bb - rr) / d + 2;
    else
        h = (rr - gg) / d + 4;
    h /= 6;
    if (h < 0)
        h += 1;
    return {double(h), double(s), double(l)};
}

TRgb HslToRgb(double h, double s, double l)
{
    const Real L = l, S = s;
    if (S == 0) {
        const quint8 v = roundToByte(L * 255);
        return {v, v, v};
    }
    const Real m2 = L > Real(0.5) ? L + S - L * S : L * (1 + S);
    const Real m1 = 2 * L - m2;
    const auto channel = [m1, m2](Real t) {
        // Hue is cyclic: any number of whole turns wraps round.
        if (t < 0 || t > 1)
            t -= std::floor(t);
        Real v;
        if (6 * t < 1)
            v = m1 + (m2 - m1) * (6 * t);
        else if (2 * t < 1)
            v = m2;
        else if (3 * t < 2)
            v = m1 + (m2 - m1) * (Real(2) / 3 - t) * 6;
        else
            v = m1;
        return roundToByte(v * 255);
    };
    const Real H = h;
    return {channel(H + Real(1) / 3), channel(H), channel(H - Real(1) / 3)};
}

TRgb HueShiftRgb(TRgb rgb, int n)
{
    const THsl hsl = RgbToHsl(rgb.r, rgb.g, rgb.b);
    return HslToRgb(hsl.h + n / 240.0, hsl.s, hsl.l);
}

void HueShiftBitmap(QImage &bitmap, int n)
{
    bitmap.convertTo(QImage::Format_RGB888);
    for (int y = 0; y < bitmap.height(); ++y) {
        uchar *pixel = bitmap.scanLine(y);
        for (int x = 0; x < bitmap.width(); ++x, pixel += 3) {
            const TRgb shifted = HueShiftRgb({pixel[0], pixel[1], pixel[2]}, n);
            pixel[0] = shifted.r;
            pixel[1] = shifted.g;
            pixel[2] = shifted.b;
        }
    }
}

QColor ParentBackground(const QWidget *widget)
{
    const QWidget *source = widget->parentWidget() ? widget->parentWidget() : widget;
    return source->palette().color(source->backgroundRole());
}

QString FitCaption(const QString &caption, int room, int charWidth)
{
    // Truncates toward zero, also for a negative room.
    const int n = room / std::max(1, charWidth);
    int bytes = 0;
    for (const char32_t c : caption.toUcs4())
        bytes += TextCodec::byteWidth(c);
    if (bytes <= n)
        return caption;
    const int k = n - 4;
    if (k <= 0)
        return QStringLiteral("...");
    return TextCodec::cutToBytes(caption, k) + QStringLiteral("...");
}

static void initVandrelResources()
{
    Q_INIT_RESOURCE(vandrel);
}

void EnsureResources()
{
    static const bool done = (initVandrelResources(), true);
    Q_UNUSED(done);
}

QImage ResourceImage(const QString &name)
{
    // Skins are rebuilt from these on every hue step; decoding them each time is wasted.
    static QHash<QString, QImage> decoded;
    auto it = decoded.constFind(name);
    if (it == decoded.constEnd()) {
        EnsureResources();
        it = decoded.insert(name, QImage(QStringLiteral(":/") + name));
    }
    return *it;
}

int TagOf(const QObject *object)
{
    return object->property("tag").toInt();
}

void SetTag(QObject *object, int tag)
{
    object->setProperty("tag", tag);
}

void SetTabChain(std::initializer_list<QWidget *> widgets)
{
    QWidget *previous = nullptr;
    for (QWidget *widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}
