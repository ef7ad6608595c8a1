#include "app/ProjectInc.h"
#include "platform/Application.h"
#include "platform/Profile.h"
#include "support/FakeDesktop.h"
#include "support/FakeTray.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "widgets/ImageList.h"
#include "widgets/zuBlankPnl.h"
#include "widgets/zuFormThreeBtns.h"
#include "widgets/zuFormThreeColorTable.h"
#include "widgets/zuImglstBtn.h"

#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The caption columns, top to bottom, as the skin defines them (RGB).
const QList<QRgb> ActiveColumn = {0x90A8E9, 0x8EA6E8, 0x87A0E2, 0x8DA6E8, 0x87A0E2,
                                  0x839BE2, 0x839CE0, 0x89A2E6, 0x839CE0, 0x7B94DC,
                                  0x8098DE, 0x869EE4, 0x8098DE, 0x748DD9, 0x7A93DA,
                                  0x8099E0, 0x7A93DA, 0x6F89D5, 0x425CAB};
const QList<int> InactiveGreys = {0xA7, 0xA5, 0x9E, 0xA4, 0x9F, 0x9B, 0x9A, 0xA0, 0x9B, 0x93,
                                  0x97, 0x9D, 0x97, 0x8D, 0x93, 0x98, 0x92, 0x89, 0x5F};

QRgb rgbOf(TColor color)
{
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QRgb shifted(QRgb rgb, int hue)
{
    const TRgb out = HueShiftRgb({quint8(qRed(rgb)), quint8(qGreen(rgb)), quint8(qBlue(rgb))}, hue);
    return qRgb(out.r, out.g, out.b);
}

void sendMouse(QWidget *widget, QEvent::Type type, QPoint at, Qt::MouseButton button)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *caption, QPoint at, QPoint global)
{
    QMouseEvent event(QEvent::MouseMove, at, global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(caption, &event);
}

QAction *command(QMenu *menu, int id)
{
    for (QAction *action : menu->actions()) {
        if (action->data().toInt() == id)
            return action;
        if (action->menu())
            if (QAction *inner = command(action->menu(), id))
                return inner;
    }
    return nullptr;
}

} // namespace

class TestFrame : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void look_data();
    void look();
    void captionCut_data();
    void captionCut();
    void skinAndHueSurviveRestart();
    void systemMenu();
    void placementAtShowing_data();
    void placementAtShowing();
    void captionDragSnaps();
    void captionClicks();
    void tray_data();
    void tray();
    void bootModeTray_data();
    void bootModeTray();
    void closing_data();
    void closing();
    void unwritableSettingsStillClose();

private:
    void settings(const QByteArray &program);
    int setting(const QString &key, int defaultValue = -1) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
    std::unique_ptr<FakeTray> m_tray;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
};

void TestFrame::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
    zuPrjInfo = m_info.get();
    m_tray = std::make_unique<FakeTray>();
    m_desktop = std::make_unique<FakeDesktop>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestFrame::cleanup()
{
    m_dialogs.reset();
    m_desktop.reset();
    m_tray.reset();
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestFrame::settings(const QByteArray &program)
{
    TestFiles::write(m_info->SettingsFileName(), "[PROGRAM]\r\n" + program);
}

int TestFrame::setting(const QString &key, int defaultValue) const
{
    const QString section =
        key == u"Mode" || key == u"Hue" ? QStringLiteral("Skin") : QStringLiteral("PROGRAM");
    return profile::readInteger(m_info->SettingsFileName(), section, key, defaultValue);
}

void TestFrame::look_data()
{
    QTest::addColumn<int>("hue");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QList<TColor>>("border");
    QTest::addColumn<QList<QRgb>>("column");
    const QList<TColor> blue = {0x8C4129, 0xE0987F, 0xF7B7A1, 0xFFCFBC};
    const QList<TColor> grey = {0x767676, 0x999999, 0xB7B7B7, 0xCECECE};
    QList<TColor> turnedBorder;
    for (TColor c : blue)
        turnedBorder.append(HueShiftColor(c, 80));
    QList<QRgb> greys, turnedColumn;
    for (int g : InactiveGreys)
        greys.append(qRgb(g, g, g));
    for (QRgb c : ActiveColumn)
        turnedColumn.append(shifted(c, 80));
    QTest::newRow("active") << 0 << true << blue << ActiveColumn;
    QTest::newRow("inactive") << 0 << false << grey << greys;
    QTest::newRow("active, hue 80") << 80 << true << turnedBorder << turnedColumn;
    QTest::newRow("inactive stays grey at hue 80") << 80 << false << grey << greys;
}

void TestFrame::look()
{
    QFETCH(int, hue);
    QFETCH(bool, active);
    QFETCH(QList<TColor>, border);
    QFETCH(QList<QRgb>, column);
    TfrmZuThreeButtons window;
    window.setWindowTitle(QStringLiteral("V"));
    window.SetHue(hue);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(400, 300);
    QTRY_COMPARE(window.size(), QSize(400, 300));
    window.SetActiveLook(active);
    const QImage image = window.grab().toImage();
    const int w = 400, h = 300;
    // Outer line colour 0, then 3 and 1 on the left and right, 3, 2 along the top, 3 and 1 at
    // the bottom; the last line ends just before the top-right corner.
    const QList<std::pair<QPoint, int>> expected = {
        {{0, 100}, 0},     {{1, 100}, 3},     {{2, 100}, 1},     {{100, 0}, 0},
        {{100, 1}, 3},     {{100, 2}, 2},     {{w - 1, 100}, 0}, {{w - 2, 100}, 1},
        {{w - 3, 100}, 3}, {{100, h - 1}, 0}, {{100, h - 2}, 1}, {{100, h - 3}, 3},
        {{2, 2}, 1},       {{w - 2, 1}, 1},   {{w - 2, 0}, 0},   {{w - 3, 2}, 3},
    };
    for (const auto &[at, index] : expected) {
        const QString where = QStringLiteral(" at %1, %2").arg(at.x()).arg(at.y());
        QCOMPARE(QColor(image.pixel(at)).name() + where,
                 QColor(rgbOf(border[index])).name() + where);
    }
    // Between the title and the buttons the caption bar is its column stretched.
    const QImage caption = window.pnlCaption->grab().toImage();
    QCOMPARE(caption.height(), 19);
    for (int x : {60, caption.width() - 60}) {
        for (int y = 0; y < 19; ++y)
            QCOMPARE(QColor(caption.pixel(x, y)).name(), QColor(column[y]).name());
    }
}

void TestFrame::captionCut_data()
{
    QTest::addColumn<int>("fits"); // whole "M" widths beyond the first 40 pixels
    QTest::addColumn<int>("extra");
    QTest::addColumn<QString>("shown");
    // 8 bytes, then two bytes a Hangul syllable: 30 bytes in all.
    QTest::newRow("fits") << 30 << 0 << "Vandrel 주소록 프로그램 입니다";
    // 25 bytes would end on the first byte of 입.
    QTest::newRow("one short") << 29 << 0 << "Vandrel 주소록 프로그램 ...";
    QTest::newRow("cut after a syllable") << 16 << 0 << "Vandrel 주소...";
    // 11 bytes would end on the first byte of 소.
    QTest::newRow("never half a syllable") << 15 << 0 << "Vandrel 주...";
    QTest::newRow("a part of M does not count") << 15 << 1 << "Vandrel 주...";
    QTest::newRow("ASCII only before Hangul") << 12 << 0 << "Vandrel ...";
    QTest::newRow("no room") << 4 << 0 << "...";
    QTest::newRow("narrower than the offset") << -2 << 0 << "...";
}

void TestFrame::captionCut()
{
    QFETCH(int, fits);
    QFETCH(int, extra);
    QFETCH(QString, shown);
    TfrmZuThreeButtons window;
    window.setWindowTitle(QStringLiteral("Vandrel 주소록 프로그램 입니다"));
    const int m = window.pnlCaption->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    const int width = 40 + fits * m + (extra ? m - 1 : 0);
    QCOMPARE(window.CaptionText(width), shown);
}

void TestFrame::skinAndHueSurviveRestart()
{
    {
        TfrmZuThreeButtons window;
        QVERIFY(window.SkinMode());
        QCOMPARE(window.Hue(), 0);
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        command(window.SystemMenu(), TfrmZuThreeButtons::CmdStandardCaption)->trigger();
        window.SetHue(60);
        QVERIFY(!window.windowFlags().testFlag(Qt::FramelessWindowHint));
    }
    QCOMPARE(setting("Mode"), 0);
    QCOMPARE(setting("Hue"), 60);
    {
        TfrmZuThreeButtons window;
        window.show();
        QVERIFY(!window.SkinMode());
        QVERIFY(!window.pnlCaption->isVisible());
        QVERIFY(!window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window.Hue(), 60);
        QCOMPARE(window.FrameColor()[0], HueShiftColor(0x8C4129, 60));
        command(window.SystemMenu(), TfrmZuThreeButtons::CmdSkin)->trigger();
        QVERIFY(window.pnlCaption->isVisible());
    }
    QCOMPARE(setting("Mode"), 1);
    TfrmZuThreeButtons window;
    QVERIFY(window.SkinMode());
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
}

void TestFrame::systemMenu()
{
    TfrmZuThreeButtons window;
    window.show();
    QMenu *menu = window.SystemMenu();
    const QList<QAction *> top = menu->actions();
    QVERIFY(top.size() > 2);
    QVERIFY(top[0]->menu());
    QCOMPARE(top[0]->text(), QStringLiteral("(&S)스킨 선택...."));
    QVERIFY(top[1]->isSeparator());
    QStringList skin;
    for (QAction *a : top[0]->menu()->actions())
        skin << a->text();
    QCOMPARE(skin, QStringList({"(&A) MS 윈도우 모양", "(&B) 스킨 적용", "(&C) 색상 변경"}));

    const auto enabled = [menu](int id) { return command(menu, id)->isEnabled(); };
    using F = TfrmZuThreeButtons;
    for (bool maximized : {false, true}) {
        if (maximized)
            window.showMaximized();
        window.UpdateSystemMenu();
        QCOMPARE(enabled(F::CmdRestore), maximized);
        QCOMPARE(enabled(F::CmdMaximize), !maximized);
        QCOMPARE(enabled(F::CmdMove), !maximized);
        QCOMPARE(enabled(F::CmdSize), !maximized);
        QVERIFY(enabled(F::CmdMinimize) && enabled(F::CmdClose));
    }
    command(menu, F::CmdRestore)->trigger();
    QVERIFY(!window.isMaximized());
    // Alt+Space opens it, in both caption modes.
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (int id : {F::CmdSkin, F::CmdStandardCaption}) {
        command(menu, id)->trigger();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_Space, Qt::AltModifier);
        QVERIFY(menu->isVisible());
        menu->close();
    }
}

void TestFrame::placementAtShowing_data()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QRect>("bounds");
    QTest::addColumn<bool>("maximized");
    QTest::newRow("saved") << QByteArray("Left=40\r\nTop=30\r\nWidth=500\r\nHeight=350\r\n")
                           << QRect(40, 30, 500, 350) << false;
    QTest::newRow("nothing saved")
        << QByteArray() << QRect(25, 25, screen.width() - 50, screen.height() - 50) << false;
    QTest::newRow("outside every monitor")
        << QByteArray("Left=-5000\r\nTop=40\r\nWidth=500\r\nHeight=350\r\n")
        << QRect(screen.topLeft(), QSize(500, 350)) << false;
    QTest::newRow("too small") << QByteArray("Left=40\r\nTop=30\r\nWidth=100\r\nHeight=50\r\n")
                               << QRect(40, 30, 300, 200) << false;
    QTest::newRow("maximised") << QByteArray("Maximized=1\r\n") << QRect() << true;
    QTest::newRow("boot mode 1") << QByteArray("BootMode=1\r\n") << QRect() << true;
}

void TestFrame::placementAtShowing()
{
    QFETCH(QByteArray, program);
    QFETCH(QRect, bounds);
    QFETCH(bool, maximized);
    settings(program);
    TfrmZuThreeButtons window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.isMaximized(), maximized);
    if (!maximized)
        QTRY_COMPARE(window.frameGeometry(), bounds);
}

void TestFrame::captionDragSnaps()
{
    settings("Left=100\r\nTop=100\r\nWidth=400\r\nHeight=300\r\n");
    TfrmZuThreeButtons window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.pos(), QPoint(100, 100));
    QWidget *caption = window.pnlCaption;
    const QPoint at(200, 8);
    const QPoint start = caption->mapToGlobal(at);
    sendMouse(caption, QEvent::MouseButtonPress, at, Qt::LeftButton);
    // 10 pixels from the work area's left edge: it sticks there; the cursor is then held 10
    // pixels from where it holds the window.
    drag(caption, at, start - QPoint(90, 0));
    QTRY_COMPARE(window.pos(), QPoint(0, 100));
    drag(caption, at, start - QPoint(85, 0));
    QTRY_COMPARE(window.pos(), QPoint(0, 100));
    // 15 pixels away: the window follows the cursor again.
    drag(caption, at, start - QPoint(84, 0));
    QTRY_COMPARE(window.pos(), QPoint(16, 100));
    sendMouse(caption, QEvent::MouseButtonRelease, at, Qt::LeftButton);
    drag(caption, at, start);
    QCOMPARE(window.pos(), QPoint(16, 100));
}

void TestFrame::captionClicks()
{
    TfrmZuThreeButtons window;
    QSignalSpy closed(&window, &TfrmZuThreeButtons::closed);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget *caption = window.pnlCaption;
    // A click on the icon opens the system menu below the caption bar.
    sendMouse(caption, QEvent::MouseButtonPress, {8, 8}, Qt::LeftButton);
    sendMouse(caption, QEvent::MouseButtonRelease, {8, 8}, Qt::LeftButton);
    QVERIFY(window.SystemMenu()->isVisible());
    QCOMPARE(window.SystemMenu()->pos(), caption->mapToGlobal(QPoint(0, 19)));
    window.SystemMenu()->close();
    // A double click elsewhere maximises and restores.
    sendMouse(caption, QEvent::MouseButtonDblClick, {200, 8}, Qt::LeftButton);
    QVERIFY(window.isMaximized());
    sendMouse(caption, QEvent::MouseButtonDblClick, {200, 8}, Qt::LeftButton);
    QVERIFY(!window.isMaximized());
    QCOMPARE(closed.count(), 0);
    // A double click on the icon closes.
    sendMouse(caption, QEvent::MouseButtonDblClick, {8, 8}, Qt::LeftButton);
    QCOMPARE(closed.count(), 1);
}

void TestFrame::tray_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<bool>("available");
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<bool>("hides");
    QTest::newRow("MiniTray") << QByteArray("MiniTray=1\r\n") << false << true << false << true;
    QTest::newRow("Shift held") << QByteArray() << true << true << false << true;
    QTest::newRow("neither") << QByteArray() << false << true << false << false;
    QTest::newRow("maximised comes back maximised")
        << QByteArray("MiniTray=1\r\n") << false << true << true << true;
    QTest::newRow("no notification area")
        << QByteArray("MiniTray=1\r\n") << false << false << false << false;
}

void TestFrame::tray()
{
    QFETCH(QByteArray, program);
    QFETCH(bool, shift);
    QFETCH(bool, available);
    QFETCH(bool, maximized);
    QFETCH(bool, hides);
    settings(program);
    m_tray->isAvailable = available;
    TfrmZuThreeButtons window;
    if (maximized)
        window.showMaximized();
    else
        window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    m_desktop->modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    window.SysMinimize();
    m_desktop->modifiers = Qt::NoModifier;
    QCoreApplication::processEvents();
    QCOMPARE(InTray, hides);
    QCOMPARE(m_tray->shown, hides);
    QCOMPARE(window.isVisible(), !hides);
    if (!hides) {
        QVERIFY(window.isMinimized());
        return;
    }
    QCOMPARE(m_tray->tip, TzuPrjInfo::TitleText());
    QVERIFY(!m_tray->icon.isNull());
    m_tray->press();
    QVERIFY(!InTray);
    QVERIFY(!m_tray->shown);
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QCOMPARE(window.isMaximized(), maximized);
}

void TestFrame::bootModeTray_data()
{
    QTest::addColumn<bool>("available");
    QTest::newRow("to the notification area") << true;
    QTest::newRow("no notification area: minimised") << false;
}

void TestFrame::bootModeTray()
{
    QFETCH(bool, available);
    settings("BootMode=3\r\nLeft=60\r\nTop=50\r\nWidth=500\r\nHeight=400\r\n");
    m_tray->isAvailable = available;
    TfrmZuThreeButtons window;
    QCOMPARE(InTray, available);
    QCOMPARE(m_tray->shown, available);
    QVERIFY(!window.isVisible());
    if (!available) {
        QVERIFY(window.windowState().testFlag(Qt::WindowMinimized));
        return;
    }
    // The first showing comes with the first restore, with the saved placement.
    m_tray->press();
    QVERIFY(window.isVisible());
    QVERIFY(!InTray);
    QTRY_COMPARE(window.frameGeometry(), QRect(60, 50, 500, 400));
}

void TestFrame::closing_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QList<int>>("saved"); // Left, Top, Width, Height, Maximized; -1: unwritten
    const QByteArray placed = "Left=40\r\nTop=30\r\nWidth=500\r\nHeight=350\r\n";
    QTest::newRow("moved") << placed << "move" << true << QList<int>{70, 60, 500, 350, 0};
    QTest::newRow("question, OK") << placed + "ConfirmExit=1\r\n"
                                  << "move" << true << QList<int>{70, 60, 500, 350, 0};
    QTest::newRow("question, Cancel: nothing written")
        << placed + "ConfirmExit=1\r\n"
        << "move, cancel" << false << QList<int>{40, 30, 500, 350, -1};
    QTest::newRow("maximised keeps the normal bounds")
        << placed << "maximise" << true << QList<int>{40, 30, 500, 350, 1};
    QTest::newRow("full screen: not maximised, bounds kept")
        << placed + "BootMode=2\r\n"
        << "" << true << QList<int>{40, 30, 500, 350, 0};
    QTest::newRow("hidden in the notification area")
        << placed + "MiniTray=1\r\n"
        << "tray" << true << QList<int>{40, 30, 500, 350, 0};
}

void TestFrame::closing()
{
    QFETCH(QByteArray, program);
    QFETCH(QString, how);
    QFETCH(bool, closes);
    QFETCH(QList<int>, saved);
    settings(program);
    TfrmZuThreeButtons window;
    QSignalSpy closed(&window, &TfrmZuThreeButtons::closed);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (how.startsWith(u"move")) {
        window.move(70, 60);
        QTRY_COMPARE(window.pos(), QPoint(70, 60));
    } else if (how == u"maximise") {
        window.showMaximized();
    } else if (how == u"tray") {
        window.SysMinimize();
        QCoreApplication::processEvents();
        QVERIFY(InTray);
    }
    m_dialogs->queueButton(how.endsWith(u"cancel") ? DialogService::Cancel : DialogService::Ok);
    window.close();
    QCOMPARE(window.isVisible(), !closes);
    QCOMPARE(closed.count(), closes ? 1 : 0);
    QVERIFY(!InTray);
    QVERIFY(!m_tray->shown);
    QCOMPARE(m_dialogs->messageCount(), program.contains("ConfirmExit") ? 1 : 0);
    const QStringList keys = {"Left", "Top", "Width", "Height", "Maximized"};
    for (int i = 0; i < keys.size(); ++i)
        QCOMPARE(setting(keys[i]), saved[i]);
}

void TestFrame::unwritableSettingsStillClose()
{
    // A folder stands where the settings file belongs.
    const QString file = m_info->SettingsFileName();
    QVERIFY(QDir().mkdir(file));
    const QString error = QStringLiteral("Unable to write to %1").arg(file);
    // Storing skin mode and hue at creation fails; the window is built all the same.
    TfrmZuThreeButtons window;
    QVERIFY(m_dialogs->messageCount() > 0);
    QCOMPARE(m_dialogs->lastText(), error);
    QVERIFY(window.SkinMode());
    QCOMPARE(window.btnClose->ImageList()->Count(), 12);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    m_dialogs->asked.clear();
    QSignalSpy closed(&window, &TfrmZuThreeButtons::closed);
    window.close();
    QCOMPARE(m_dialogs->messageTexts(), QStringList{error});
    QCOMPARE(closed.count(), 1);
    QVERIFY(!window.isVisible());
}

int main(int argc, char **argv)
{
    VandrelApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TestFrame test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_frame.moc"
