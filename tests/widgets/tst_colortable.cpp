#include "app/ProjectInc.h"
#include "platform/Profile.h"
#include "widgets/ImageList.h"
#include "widgets/zuBlankPnl.h"
#include "widgets/zuFormThreeBtns.h"
#include "widgets/zuFormThreeColorTable.h"
#include "widgets/zuImglstBtn.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A frame that records every hue it is given.
class HueFrame : public TfrmZuThreeButtons
{
public:
    QList<int> hues;
    void SetHue(int hue) override
    {
        hues << hue;
        TfrmZuThreeButtons::SetHue(hue);
    }
};

// A mouse event at a point of widget; global positions are made up, only their steps count.
void sendMouse(QWidget *widget, QEvent::Type type, QPoint at, QPoint global,
               Qt::MouseButtons held = Qt::LeftButton)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, global, button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestColorTable : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tablePicture_data();
    void tablePicture();
    void oneTableUnderTheCaption();
    void pickingWhileTheButtonIsDown();
    void slider_data();
    void slider();
    void sliderKeys_data();
    void sliderKeys();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
};

void TestColorTable::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestColorTable::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
    zuPrjInfo = m_info.get();
}

void TestColorTable::cleanup()
{
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestColorTable::tablePicture_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("color");
    // Band 0 steps through the rounded conversion: green rises by 6, not 6.375.
    QTest::newRow("band 0, x 0") << QPoint(0, 0) << QColor(255, 0, 0);
    QTest::newRow("band 0, x 1") << QPoint(1, 9) << QColor(255, 6, 0);
    QTest::newRow("band 0, x 2") << QPoint(2, 4) << QColor(255, 12, 0);
    QTest::newRow("band 0, x 3") << QPoint(3, 0) << QColor(255, 18, 0);
    QTest::newRow("band 1 start") << QPoint(0, 10) << QColor(205, 0, 0);
    QTest::newRow("band 3, x 0") << QPoint(0, 39) << QColor(105, 0, 0);
    QTest::newRow("band 3, x 1") << QPoint(1, 30) << QColor(105, 3, 0);
    QTest::newRow("gray ramp start") << QPoint(0, 40) << QColor(2, 2, 2);
    QTest::newRow("gray ramp end") << QPoint(238, 49) << QColor(240, 240, 240);
    QTest::newRow("first swatch border") << QPoint(0, 50) << QColor(1, 1, 1);
    QTest::newRow("shared border") << QPoint(17, 55) << QColor(1, 1, 1);
    QTest::newRow("last swatch border") << QPoint(238, 59) << QColor(1, 1, 1);
    QTest::newRow("white") << QPoint(1, 51) << QColor(255, 255, 255);
    QTest::newRow("black") << QPoint(18, 51) << QColor(0, 0, 0);
    QTest::newRow("maroon") << QPoint(35, 58) << QColor(128, 0, 0);
    QTest::newRow("navy") << QPoint(16 * 6 + 8, 55) << QColor(0, 0, 128);
    QTest::newRow("fuchsia") << QPoint(237, 58) << QColor(255, 0, 255);
    QTest::newRow("outside the drawn part") << QPoint(239, 0) << QColor(0, 0, 0);
}

void TestColorTable::tablePicture()
{
    QFETCH(QPoint, at);
    QFETCH(QColor, color);
    static const QImage table = TfrmThreeColorTable::TablePicture();
    QCOMPARE(table.size(), QSize(800, 800));
    QCOMPARE(table.depth(), 24);
    QCOMPARE(table.pixelColor(at), color);
}

void TestColorTable::oneTableUnderTheCaption()
{
    HueFrame frame;
    frame.SetHue(101);
    frame.resize(500, 400);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(!frame.ColorTable());
    frame.ShowColorTable();
    TfrmThreeColorTable *table = frame.ColorTable();
    QVERIFY(table);
    QVERIFY(table->isVisible());
    QVERIFY(!table->isWindow());
    QCOMPARE(table->parentWidget(), &frame);
    QCOMPARE(table->pos(), frame.pnlCaption->geometry().bottomLeft() + QPoint(0, 1));
    QCOMPARE(table->ClientSize(), QSize(249, 91));
    // Truncated: hue 101 puts the thumb at 50.
    QCOMPARE(table->ThumbPosition(), 50);
    // The frame's close button images, without their disabled look.
    QCOMPARE(table->btnClose->ImageList(), frame.btnClose->ImageList());
    QCOMPARE(table->btnClose->IndexButton(), frame.btnClose->IndexButton());
    QCOMPARE(table->btnClose->IndexClick(), frame.btnClose->IndexClick());

    frame.ShowColorTable();
    QCOMPARE(frame.ColorTable(), table);
    QCOMPARE(frame.findChildren<TfrmThreeColorTable *>().size(), 1);

    QTest::mouseClick(table->btnClose, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frame.ColorTable());
    QCOMPARE(frame.findChildren<TfrmThreeColorTable *>().size(), 0);
    frame.ShowColorTable();
    QVERIFY(frame.ColorTable());
    QCOMPARE(frame.findChildren<TfrmThreeColorTable *>().size(), 1);
}

void TestColorTable::pickingWhileTheButtonIsDown()
{
    HueFrame frame;
    frame.ShowColorTable();
    QLabel *image = frame.ColorTable()->imgTable;
    const auto text = [&] { return frame.CaptionTextColor(); };
    sendMouse(image, QEvent::MouseButtonPress, {1, 0}, {101, 100});
    QCOMPARE(text(), TColor(0x0006FF));
    sendMouse(image, QEvent::MouseMove, {17, 55}, {117, 155});
    QCOMPARE(text(), TColor(0x010101));
    // Outside the picture the nearest colour of it: the end of the gray ramp.
    sendMouse(image, QEvent::MouseMove, {400, 45}, {500, 145});
    QCOMPARE(text(), TColor(0xF0F0F0));
    sendMouse(image, QEvent::MouseMove, {-30, -30}, {70, 70});
    QCOMPARE(text(), TColor(0x0000FF));
    QCOMPARE(profile::readInteger(m_info->SettingsFileName(), QStringLiteral("Skin"),
                                  QStringLiteral("Text"), -1),
             0x0000FF);
    sendMouse(image, QEvent::MouseButtonRelease, {-30, -30}, {70, 70}, Qt::NoButton);
    sendMouse(image, QEvent::MouseMove, {1, 51}, {101, 151}, Qt::NoButton);
    QCOMPARE(text(), TColor(0x0000FF));
    // The right button picks as well.
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(1, 51), QPointF(101, 151), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(image, &right);
    QCOMPARE(text(), TColor(0xFFFFFF));
}

void TestColorTable::sliderKeys_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("thumb");
    QTest::addColumn<QList<int>>("hues");
    // The thumb starts at 50 (hue 100).
    QTest::newRow("right, right") << QList<int>{Qt::Key_Right, Qt::Key_Right} << 52
                                  << QList<int>{102, 104};
    QTest::newRow("left") << QList<int>{Qt::Key_Left} << 49 << QList<int>{98};
    QTest::newRow("page down, page up")
        << QList<int>{Qt::Key_PageDown, Qt::Key_PageUp} << 50 << QList<int>{120, 100};
    QTest::newRow("home, then left stays")
        << QList<int>{Qt::Key_Home, Qt::Key_Left} << 0 << QList<int>{0};
    QTest::newRow("end, then right stays")
        << QList<int>{Qt::Key_End, Qt::Key_Right} << 165 << QList<int>{330};
    QTest::newRow("other keys do nothing")
        << QList<int>{Qt::Key_Up, Qt::Key_A} << 50 << QList<int>{};
}

void TestColorTable::sliderKeys()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, thumb);
    QFETCH(QList<int>, hues);
    HueFrame frame;
    frame.SetHue(100);
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    frame.ShowColorTable();
    TfrmThreeColorTable *table = frame.ColorTable();
    frame.hues.clear();
    // The slider has the focus as the table opens: keys go where the window sends them.
    QCOMPARE(QApplication::focusWidget(), table->pnlThumb);
    for (int key : keys)
        QTest::keyClick(frame.windowHandle(), Qt::Key(key));
    QCOMPARE(table->ThumbPosition(), thumb);
    QCOMPARE(frame.hues, hues);
}

void TestColorTable::slider_data()
{
    QTest::addColumn<int>("pressAt");
    QTest::addColumn<int>("moveBy");
    QTest::addColumn<int>("thumb");
    QTest::addColumn<QList<int>>("hues");
    // The thumb starts at 50 (hue 100).
    QTest::newRow("knob's left edge") << 50 << 30 << 80 << QList<int>{160};
    QTest::newRow("last pixel of the grab zone") << 60 << -20 << 30 << QList<int>{60};
    QTest::newRow("right of the grab zone") << 61 << 30 << 50 << QList<int>{};
    QTest::newRow("left of the knob") << 49 << 30 << 50 << QList<int>{};
    QTest::newRow("past the left end") << 55 << -400 << 0 << QList<int>{0};
    QTest::newRow("past the right end") << 55 << 400 << 165 << QList<int>{330};
    QTest::newRow("released where pressed") << 55 << 0 << 50 << QList<int>{};
}

void TestColorTable::slider()
{
    QFETCH(int, pressAt);
    QFETCH(int, moveBy);
    QFETCH(int, thumb);
    QFETCH(QList<int>, hues);
    HueFrame frame;
    frame.SetHue(100);
    frame.ShowColorTable();
    TfrmThreeColorTable *table = frame.ColorTable();
    QCOMPARE(table->ThumbPosition(), 50);
    frame.hues.clear();
    QWidget *slider = table->pnlThumb;
    QCOMPARE(slider->size(), QSize(173, 14));
    const QPoint global(300, 300);
    sendMouse(slider, QEvent::MouseButtonPress, {pressAt, 7}, global);
    sendMouse(slider, QEvent::MouseMove, {pressAt + moveBy, 7}, global + QPoint(moveBy, 3));
    sendMouse(slider, QEvent::MouseButtonRelease, {pressAt + moveBy, 7}, global + QPoint(moveBy, 3),
              Qt::NoButton);
    QCOMPARE(table->ThumbPosition(), thumb);
    QCOMPARE(frame.hues, hues);
    QCOMPARE(frame.Hue(), hues.isEmpty() ? 100 : hues.last());
    // After release the slider no longer follows the pointer.
    sendMouse(slider, QEvent::MouseMove, {10, 7}, global + QPoint(-90, 0), Qt::NoButton);
    QCOMPARE(table->ThumbPosition(), thumb);
    // The close button shows the frame's re-tinted images.
    QCOMPARE(table->btnClose->ImageList(), frame.btnClose->ImageList());
    // The knob is drawn where the thumb is, on the two lines of the track.
    const QImage drawn = slider->grab().toImage();
    const QImage knob(QStringLiteral(":/BMP_H_THUMB"));
    QCOMPARE(knob.size(), QSize(8, 14));
    QCOMPARE(drawn.pixel(thumb + 3, 3), knob.pixel(3, 3));
    const int off = thumb < 80 ? 160 : 20;
    QCOMPARE(drawn.pixel(off, 7), qRgb(0x80, 0x80, 0x80));
    QCOMPARE(drawn.pixel(off, 8), qRgb(0xFF, 0xFF, 0xFF));
    QCOMPARE(drawn.pixel(off, 2), qRgb(0xEF, 0xEF, 0xE7));
}

QTEST_MAIN(TestColorTable)
#include "tst_colortable.moc"
