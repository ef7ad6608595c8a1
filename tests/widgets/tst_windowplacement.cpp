#include "widgets/WindowPlacement.h"

#include <QTest>

namespace {

// A 1280 x 800 primary monitor with a 40-pixel panel at the bottom, and a 1024 x 768 monitor
// to its right.
const TMonitor Primary{{0, 0, 1280, 800}, {0, 0, 1280, 760}, true};
const TMonitor Second{{1280, 0, 1024, 768}, {1280, 0, 1024, 768}, false};
const TMonitors Two = {Primary, Second};

} // namespace

Q_DECLARE_METATYPE(TMonitor)

class TestWindowPlacement : public QObject
{
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
    void startPosition_data();
    void startPosition();
    void closePosition_data();
    void closePosition();
    void snapArea();
    void snapping_data();
    void snapping();
};

void TestWindowPlacement::fit_data()
{
    QTest::addColumn<TMonitor>("monitor");
    QTest::addColumn<QRect>("maximized");
    QTest::addColumn<QRect>("fullScreen");
    // Maximised, the bottom meets the work area's bottom (760 = -4 + 764).
    QTest::newRow("primary with a panel")
        << Primary << QRect(-4, -4, 1288, 764) << QRect(-4, -4, 1285, 806);
    QTest::newRow("primary without a panel")
        << TMonitor{{0, 0, 1280, 800}, {0, 0, 1280, 800}, true} << QRect(-4, -4, 1288, 803)
        << QRect(-4, -4, 1285, 803);
    QTest::newRow("panel of 3 pixels counts as none")
        << TMonitor{{0, 0, 1280, 800}, {0, 0, 1280, 797}, true} << QRect(-4, -4, 1288, 800)
        << QRect(-4, -4, 1285, 803);
    QTest::newRow("panel of 4 pixels") << TMonitor{{0, 0, 1280, 800}, {0, 0, 1280, 796}, true}
                                       << QRect(-4, -4, 1288, 800) << QRect(-4, -4, 1285, 806);
    QTest::newRow("panel at the top") << TMonitor{{0, 0, 1280, 800}, {0, 30, 1280, 770}, true}
                                      << QRect(-4, 26, 1288, 774) << QRect(-4, -4, 1285, 806);
    QTest::newRow("other monitor, its panel ignored")
        << TMonitor{{1280, 0, 1024, 768}, {1280, 0, 1024, 740}, false} << QRect(1276, -4, 1032, 776)
        << QRect(1276, -4, 1029, 775);
}

void TestWindowPlacement::fit()
{
    QFETCH(TMonitor, monitor);
    QFETCH(QRect, maximized);
    QFETCH(QRect, fullScreen);
    QCOMPARE(FitToWorkAreaBounds(monitor), maximized);
    QCOMPARE(FitToMonitorBounds(monitor), fullScreen);
}

void TestWindowPlacement::startPosition_data()
{
    QTest::addColumn<QPoint>("saved");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QPoint>("expected");
    const QStringList none = {"vandrel"};
    QTest::newRow("on the primary") << QPoint(25, 25) << none << QPoint(25, 25);
    QTest::newRow("on the second") << QPoint(1500, 300) << none << QPoint(1500, 300);
    QTest::newRow("left of every monitor") << QPoint(-300, 100) << none << QPoint(0, 0);
    QTest::newRow("below every monitor") << QPoint(100, 900) << none << QPoint(0, 0);
    // A third monitor that has been unplugged.
    QTest::newRow("unplugged monitor") << QPoint(2400, 100) << none << QPoint(0, 0);
    QTest::newRow("zuzu") << QPoint(25, 25) << QStringList{"vandrel", "zuzu"} << QPoint(55, 55);
    QTest::newRow("zuzu after the first monitor")
        << QPoint(-300, 100) << QStringList{"vandrel", "zuzu"} << QPoint(30, 30);
    QTest::newRow("zuzu is case-sensitive")
        << QPoint(25, 25) << QStringList{"vandrel", "ZUZU"} << QPoint(25, 25);
    QTest::newRow("zuzu with another argument")
        << QPoint(25, 25) << QStringList{"vandrel", "zuzu", "x"} << QPoint(25, 25);
}

void TestWindowPlacement::startPosition()
{
    QFETCH(QPoint, saved);
    QFETCH(QStringList, arguments);
    QFETCH(QPoint, expected);
    QCOMPARE(StartPosition(Two, saved, arguments), expected);
}

void TestWindowPlacement::closePosition_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("maximised on the monitor of the saved bounds")
        << QRect(-4, -4, 1288, 764) << QRect(100, 50, 700, 500) << QPoint(100, 50);
    QTest::newRow("maximised on the second, saved on the first")
        << QRect(1276, -4, 1032, 776) << QRect(100, 50, 700, 500) << QPoint(1380, 50);
    QTest::newRow("maximised on the first, saved on the second")
        << QRect(-4, -4, 1288, 764) << QRect(1400, 60, 500, 400) << QPoint(120, 60);
}

void TestWindowPlacement::closePosition()
{
    QFETCH(QRect, window);
    QFETCH(QRect, saved);
    QFETCH(QPoint, expected);
    QCOMPARE(ClosePosition(Two, window, saved), expected);
}

void TestWindowPlacement::snapArea()
{
    QCOMPARE(SnapArea(Two, QRect(100, 100, 400, 300)), Primary.workArea);
    // Mostly on the second monitor: its whole bounds.
    QCOMPARE(SnapArea(Two, QRect(1200, 100, 400, 300)), Second.bounds);
    QVERIFY(SnapArea({}, QRect(100, 100, 400, 300)).isNull());
}

void TestWindowPlacement::snapping_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("proposed"); // top-left of a 400 x 300 proposal
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QPoint>("expected");
    // The window is held 50 pixels right of its left edge and 10 below its top.
    const QRect area(0, 0, 1280, 760);
    QTest::newRow("far from the edges")
        << area << QPoint(300, 200) << QPoint(350, 210) << QPoint(300, 200);
    QTest::newRow("13 from the left sticks")
        << area << QPoint(13, 200) << QPoint(63, 210) << QPoint(0, 200);
    QTest::newRow("14 from the left does not")
        << area << QPoint(14, 200) << QPoint(64, 210) << QPoint(14, 200);
    QTest::newRow("12 from the right sticks")
        << area << QPoint(892, 200) << QPoint(942, 210) << QPoint(880, 200);
    QTest::newRow("top and bottom") << area << QPoint(300, 5) << QPoint(350, 15) << QPoint(300, 0);
    QTest::newRow("10 from the bottom")
        << area << QPoint(300, 450) << QPoint(350, 460) << QPoint(300, 460);
    QTest::newRow("corner") << area << QPoint(5, 455) << QPoint(55, 465) << QPoint(0, 460);
    // Held at the edge while the cursor went on: 14 pixels away from the grab point it holds,
    // 15 release the window to the cursor.
    QTest::newRow("cursor 14 away still held")
        << area << QPoint(1, 200) << QPoint(65, 210) << QPoint(0, 200);
    QTest::newRow("cursor 15 away releases")
        << area << QPoint(2, 200) << QPoint(67, 210) << QPoint(17, 200);
    QTest::newRow("released vertically, no snapping then")
        << area << QPoint(5, 3) << QPoint(55, 28) << QPoint(5, 18);
    QTest::newRow("second monitor's bounds")
        << QRect(1280, 0, 1024, 768) << QPoint(1290, 100) << QPoint(1340, 110) << QPoint(1280, 100);
}

void TestWindowPlacement::snapping()
{
    QFETCH(QRect, area);
    QFETCH(QPoint, proposed);
    QFETCH(QPoint, cursor);
    QFETCH(QPoint, expected);
    const QSize size(400, 300);
    const QRect result = SnapMovingRect(QRect(proposed, size), cursor, QPoint(50, 10), area, size);
    QCOMPARE(result, QRect(expected, size));
}

QTEST_APPLESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
