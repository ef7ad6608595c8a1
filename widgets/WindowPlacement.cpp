#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>
#include <limits>

TMonitors SystemMonitors()
{
    TMonitors monitors;
    const QScreen *primary = QGuiApplication::primaryScreen();
    for (const QScreen *screen : QGuiApplication::screens())
        monitors.append({screen->geometry(), screen->availableGeometry(), screen == primary});
    return monitors;
}

namespace {

// Distance along one axis between [a0, a1) and [b0, b1); 0 when they overlap.
int gap(int a0, int a1, int b0, int b1)
{
    if (a1 <= b0)
        return b0 - a1 + 1;
    if (b1 <= a0)
        return a0 - b1 + 1;
    return 0;
}

qint64 squaredDistance(const QRect &a, const QRect &b)
{
    const qint64 dx = gap(a.left(), a.left() + a.width(), b.left(), b.left() + b.width());
    const qint64 dy = gap(a.top(), a.top() + a.height(), b.top(), b.top() + b.height());
    return dx * dx + dy * dy;
}

} // namespace

int MonitorFromRect(const TMonitors &monitors, const QRect &rect)
{
    int best = -1;
    qint64 bestArea = 0;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (int i = 0; i < monitors.size(); ++i) {
        const QRect common = monitors[i].bounds.intersected(rect);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        } else if (bestArea == 0) {
            const qint64 distance = squaredDistance(monitors[i].bounds, rect);
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
    }
    return best;
}

int MonitorFromPoint(const TMonitors &monitors, QPoint point)
{
    return MonitorFromRect(monitors, QRect(point, QSize(1, 1)));
}

QRect FitToWorkAreaBounds(const TMonitor &monitor)
{
    const QRect &m = monitor.bounds;
    if (!monitor.primary)
        return {m.left() - 4, m.top() - 4, m.width() + 8, m.height() + 8};
    // The bottom meets the work area's bottom when a panel is there, else stays 1 pixel above.
    const QRect &a = monitor.workArea;
    const int t = m.height() - a.height();
    return {a.left() - 4, a.top() - 4, a.width() + 8, a.height() + (t > 3 ? 4 : 3)};
}

QRect FitToMonitorBounds(const TMonitor &monitor)
{
    const QRect &m = monitor.bounds;
    if (!monitor.primary)
        return {m.left() - 4, m.top() - 4, m.width() + 5, m.height() + 7};
    const int t = m.height() - monitor.workArea.height();
    return {m.left() - 4, m.top() - 4, m.width() + 5, m.height() + (t > 3 ? 6 : 3)};
}

QPoint StartPosition(const TMonitors &monitors, QPoint saved, const QStringList &arguments)
{
    QPoint p = saved;
    const int nearest = MonitorFromPoint(monitors, p);
    if (nearest >= 0 && !monitors[nearest].bounds.contains(p))
        p = monitors.first().bounds.topLeft();
    // arguments[0] is the program itself.
    if (arguments.size() == 2 && arguments.at(1) == u"zuzu")
        p += QPoint(30, 30);
    return p;
}

QPoint ClosePosition(const TMonitors &monitors, const QRect &window, const QRect &saved)
{
    const int current = MonitorFromRect(monitors, window);
    const int before = MonitorFromRect(monitors, saved);
    if (current < 0 || before < 0 || current == before)
        return saved.topLeft();
    return saved.topLeft() + monitors[current].bounds.topLeft() - monitors[before].bounds.topLeft();
}

QRect SnapArea(const TMonitors &monitors, const QRect &window)
{
    const int nearest = MonitorFromRect(monitors, window);
    if (nearest < 0)
        return {};
    const TMonitor &m = monitors[nearest];
    return m.primary ? m.workArea : m.bounds;
}

QRect SnapMovingRect(const QRect &proposed, QPoint cursor, QPoint grab, const QRect &area,
                     QSize window)
{
    constexpr int Reach = 14;
    QRect r = proposed;
    // The cursor left the point where it holds the window: the window follows it again.
    if (std::abs(cursor.x() - r.left() - grab.x()) > Reach) {
        r.setRect(cursor.x() - grab.x(), r.top(), window.width(), r.height());
        return r;
    }
    if (std::abs(cursor.y() - r.top() - grab.y()) > Reach) {
        r.setRect(r.left(), cursor.y() - grab.y(), r.width(), window.height());
        return r;
    }
    if (area.isNull())
        return r;
    // Right and bottom edges as exclusive coordinates, like the left and top ones.
    const int areaRight = area.left() + area.width();
    const int areaBottom = area.top() + area.height();
    if (std::abs(area.left() - r.left()) < Reach)
        r.setRect(area.left(), r.top(), window.width(), r.height());
    else if (std::abs(areaRight - (r.left() + r.width())) < Reach)
        r.setRect(areaRight - window.width(), r.top(), window.width(), r.height());
    if (std::abs(area.top() - r.top()) < Reach)
        r.setRect(r.left(), area.top(), r.width(), window.height());
    else if (std::abs(areaBottom - (r.top() + r.height())) < Reach)
        r.setRect(r.left(), areaBottom - window.height(), r.width(), window.height());
    return r;
}
