#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QStringList>

// Placement arithmetic of the main window over plain rectangles, so that it can be checked
// without a screen. Rectangles are in virtual-screen pixels.

struct TMonitor
{
    QRect bounds;
    QRect workArea; // the bounds less the desktop's panels
    bool primary = false;
};
using TMonitors = QList<TMonitor>;

// The monitors of the desktop, in the order the system lists them.
TMonitors SystemMonitors();

// The index of the monitor that contains point, else of the one closest to it; -1 when there is
// no monitor.
int MonitorFromPoint(const TMonitors &monitors, QPoint point);
// The index of the monitor that shares the largest area with rect, else of the one closest to
// it; -1 when there is no monitor.
int MonitorFromRect(const TMonitors &monitors, const QRect &rect);

// Bounds of a maximised window that push its left, top and right border off the work area.
QRect FitToWorkAreaBounds(const TMonitor &monitor);
// Bounds of a full-screen window on monitor.
QRect FitToMonitorBounds(const TMonitor &monitor);

// Where the window opens: the saved top-left corner, or the first monitor's when that lies on no
// monitor; 30 pixels further right and down when the only argument is "zuzu".
QPoint StartPosition(const TMonitors &monitors, QPoint saved, const QStringList &arguments);
// The saved normal position to write when a maximised window closes: moved by the difference of
// the two monitors' corners when the window is on another monitor than the saved bounds.
QPoint ClosePosition(const TMonitors &monitors, const QRect &window, const QRect &saved);

// The area whose edges a dragged window sticks to: the work area of the primary monitor, the
// bounds of any other; a null rectangle without monitors.
QRect SnapArea(const TMonitors &monitors, const QRect &window);
// The rectangle a window dragged by its caption takes, from the rectangle the drag proposes.
// An edge within 13 pixels of the area's edge sticks to it until the cursor is 15 pixels away
// from the point where it holds the window (grab: cursor minus the window's corner at the start).
QRect SnapMovingRect(const QRect &proposed, QPoint cursor, QPoint grab, const QRect &area,
                     QSize window);
