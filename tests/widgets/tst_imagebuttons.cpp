#include "widgets/zuBlankPnl.h"
#include "widgets/zuImglstBtn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTest>

namespace {

const QRgb Back = qRgb(0x10, 0x20, 0x30); // the parent's colour
const QRgb Colours[] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),
                        qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255)};

QImage solid(QRgb colour, int w = 16, int h = 16)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Six 16 x 16 images of one colour each, on a parent of colour Back.
struct Host
{
    QWidget parent;
    TImageList *list = new TImageList(16, 16, &parent);
    TzuImageListButton *button = new TzuImageListButton(&parent);

    Host()
    {
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, Back);
        parent.setPalette(pal);
        for (QRgb colour : Colours)
            list->Add(solid(colour));
        button->resize(16, 17);
    }

    QImage render(bool pushed = false) const
    {
        QImage image(button->size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        button->DrawFace(painter, pushed);
        return image;
    }
};

void sendMouse(QWidget &widget, QEvent::Type type, QPoint at)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

} // namespace

class TestImageButtons : public QObject
{
    Q_OBJECT
private slots:
    void looks_data();
    void looks();
    void mask_data();
    void mask();
    void withoutImageListASystemButton();
    void blankPanel();
};

void TestImageButtons::looks_data()
{
    QTest::addColumn<QList<int>>("indices"); // button, enter, click, disable
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("image");
    const QList<int> set = {0, 1, 2, -1};
    QTest::newRow("normal") << set << "" << 0;
    QTest::newRow("mouse over") << set << "mouse" << 1;
    QTest::newRow("pushed") << set << "mouse pushed" << 2;
    QTest::newRow("disabled shows pressed") << set << "disabled mouse" << 2;
    QTest::newRow("disabled image") << QList<int>{0, 1, 2, 3} << "disabled pushed" << 3;
    QTest::newRow("IndexEnter 0 is unset") << QList<int>{3, 0, 2, -1} << "mouse" << 3;
    QTest::newRow("IndexClick 0 is unset") << QList<int>{4, 1, 0, -1} << "pushed" << 4;
    QTest::newRow("IndexDisable 0 is unset") << QList<int>{5, 1, 2, 0} << "disabled" << 5;
    QTest::newRow("no index") << QList<int>{-1, -1, -1, -1} << "mouse" << -1;
}

void TestImageButtons::looks()
{
    QFETCH(QList<int>, indices);
    QFETCH(QString, state);
    QFETCH(int, image);
    Host host;
    host.button->SetImageList(host.list);
    for (int look = 0; look < 4; ++look)
        host.button->SetIndex(look, indices[look]);
    QCOMPARE(host.button->IndexClick(), indices[2]);
    host.button->setEnabled(!state.contains("disabled"));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    if (state.contains("mouse"))
        QApplication::sendEvent(host.button, &enter);
    // A 16 x 16 image leaves the bottom row of the 16 x 17 button to the background.
    QImage expected = solid(Back, 16, 17);
    if (image >= 0)
        QPainter(&expected).fillRect(0, 0, 16, 16, Colours[image]);
    QCOMPARE(host.render(state.contains("pushed")), expected);
}

void TestImageButtons::mask_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("clicks");
    QTest::newRow("left half, white") << QPoint(3, 8) << 0;
    QTest::newRow("right half") << QPoint(12, 8) << 2;
    QTest::newRow("below the mask") << QPoint(3, 16) << 2;
}

void TestImageButtons::mask()
{
    QFETCH(QPoint, at);
    QFETCH(int, clicks);
    Host host;
    QImage mask = solid(qRgb(0, 0, 0));
    QPainter(&mask).fillRect(0, 0, 8, 16, Qt::white);
    host.button->SetImageList(host.list);
    host.button->SetIndexButton(0);
    host.button->SetIndexMask(host.list->Add(mask));
    int clicked = 0;
    connect(host.button, &QPushButton::clicked, this, [&] { ++clicked; });

    // One click, with the pushed look only where the press counts.
    sendMouse(*host.button, QEvent::MouseButtonPress, at);
    QCOMPARE(host.button->isDown(), clicks > 0);
    sendMouse(*host.button, QEvent::MouseButtonRelease, at);
    // A double click is a second press, which must pass the mask as well.
    sendMouse(*host.button, QEvent::MouseButtonDblClick, at);
    sendMouse(*host.button, QEvent::MouseButtonRelease, at);
    QCOMPARE(clicked, clicks);
}

void TestImageButtons::withoutImageListASystemButton()
{
    Host host;
    host.button->setText(QStringLiteral("닫기"));
    host.button->resize(40, 20);
    QPushButton plain(QStringLiteral("닫기"), &host.parent);
    plain.resize(40, 20);
    const QImage system = plain.grab().toImage();
    QCOMPARE(host.button->grab().toImage(), system);
    QVERIFY(host.button->HitTest(3, 3));

    host.button->SetImageList(host.list);
    host.button->SetIndexButton(1);
    QVERIFY(host.button->testAttribute(Qt::WA_OpaquePaintEvent));
    QCOMPARE(host.button->grab().toImage().pixel(3, 3), Colours[1]);

    // The image list goes away: a system push button again.
    delete host.list;
    QCOMPARE(host.button->ImageList(), nullptr);
    QVERIFY(!host.button->testAttribute(Qt::WA_OpaquePaintEvent));
    QCOMPARE(host.button->grab().toImage(), system);
}

void TestImageButtons::blankPanel()
{
    TzuBlankPanel panel;
    panel.resize(20, 10);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, Qt::red);
    panel.setPalette(pal);
    panel.setAutoFillBackground(true);
    // Only the panel's own painting, without the background a render would add.
    const auto paint = [&panel] {
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(Qt::blue);
        panel.render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    QCOMPARE(paint(), solid(qRgb(0, 0, 255), 20, 10));

    TzuBlankPanel *sender = nullptr;
    connect(&panel, &TzuBlankPanel::OnPaint, this, [&](TzuBlankPanel *from, QPainter *canvas) {
        sender = from;
        canvas->fillRect(0, 0, 5, 10, Qt::green);
    });
    QImage expected = solid(qRgb(0, 0, 255), 20, 10);
    QPainter(&expected).fillRect(0, 0, 5, 10, Qt::green);
    QCOMPARE(paint(), expected);
    QCOMPARE(sender, &panel);
}

QTEST_MAIN(TestImageButtons)
#include "tst_imagebuttons.moc"
