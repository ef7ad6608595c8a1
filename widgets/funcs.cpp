#include "funcs.h"

#include <QApplication>

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

static void initVandrelResources()
{
    Q_INIT_RESOURCE(vandrel);
}

void EnsureResources()
{
    static const bool done = (initVandrelResources(), true);
    Q_UNUSED(done);
}
