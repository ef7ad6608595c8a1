#include "widgets/funcs.h"
#include "widgets/zuFormThreeColorTable.h"

#include <QApplication>
#include <QTest>

// Plain colour values are 0x00BBGGRR.
constexpr TColor Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000;

class TestColors : public QObject
{
    Q_OBJECT
private slots:
    void rgbToHsl_data();
    void rgbToHsl();
    void graysKeepTheirValue_data();
    void graysKeepTheirValue();
    void hueShiftColor_data();
    void hueShiftColor();
    void systemColoursAreResolved();
    void hueShiftBitmap();
    void smallIcon_data();
    void smallIcon();
};

void TestColors::rgbToHsl_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<double>("h");
    QTest::addColumn<double>("s");
    QTest::addColumn<double>("l");
    QTest::newRow("red") << 255 << 0 << 0 << 0.0 << 1.0 << 0.5;
    QTest::newRow("dark red") << 105 << 0 << 0 << 0.0 << 1.0 << 105 / 510.0;
    QTest::newRow("green") << 0 << 255 << 0 << 1 / 3.0 << 1.0 << 0.5;
    QTest::newRow("blue") << 0 << 0 << 255 << 2 / 3.0 << 1.0 << 0.5;
    // Magenta lies below red: h = (0 - 1) / 1 / 6 + 1.
    QTest::newRow("magenta") << 255 << 0 << 255 << 5 / 6.0 << 1.0 << 0.5;
    // Light: s = d / (2 - mx - mn) with mx = 1, mn = 0.6.
    QTest::newRow("pink") << 255 << 153 << 153 << 0.0 << 1.0 << 0.8;
    QTest::newRow("gray") << 128 << 128 << 128 << 0.0 << 0.0 << 128 / 255.0;
}

void TestColors::rgbToHsl()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(double, h);
    QFETCH(double, s);
    QFETCH(double, l);
    const THsl hsl = RgbToHsl(quint8(r), quint8(g), quint8(b));
    QVERIFY(qAbs(hsl.h - h) < 1e-12);
    QVERIFY(qAbs(hsl.s - s) < 1e-12);
    QVERIFY(qAbs(hsl.l - l) < 1e-12);
    QCOMPARE(HslToRgb(h, s, l), (TRgb{quint8(r), quint8(g), quint8(b)}));
}

void TestColors::graysKeepTheirValue_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("n");
    for (int value : {0, 1, 127, 128, 254, 255})
        for (int n : {1, 80, 239, 240, 330})
            QTest::addRow("%d by %d", value, n) << value << n;
}

void TestColors::graysKeepTheirValue()
{
    QFETCH(int, value);
    QFETCH(int, n);
    const TColor gray = TColor(value) * 0x010101;
    QCOMPARE(HueShiftColor(gray, n), gray);
    const THsl hsl = RgbToHsl(quint8(value), quint8(value), quint8(value));
    QCOMPARE(hsl.s, 0.0);
    const quint8 v = quint8(value);
    QCOMPARE(HslToRgb(0.7, 0, hsl.l), (TRgb{v, v, v}));
}

void TestColors::hueShiftColor_data()
{
    QTest::addColumn<TColor>("color");
    QTest::addColumn<int>("n");
    QTest::addColumn<TColor>("expected");
    QTest::newRow("red by 80") << Red << 80 << Green;
    QTest::newRow("red by 160") << Red << 160 << Blue;
    QTest::newRow("red by 240") << Red << 240 << Red;
    QTest::newRow("red by 320") << Red << 320 << Green;
    QTest::newRow("blue by 80") << Blue << 80 << Red;
    QTest::newRow("blue by 320") << Blue << 320 << Red;
    QTest::newRow("green by 80") << Green << 80 << Blue;
    // Hues far past a full turn wrap as often as needed.
    QTest::newRow("blue by 560") << Blue << 560 << Red;
    QTest::newRow("by 0") << TColor(0x123456) << 0 << TColor(0x123456);
    QTest::newRow("by -5") << TColor(0x123456) << -5 << TColor(0x123456);
    QTest::newRow("system colour by 0") << TColor(0xFF000005) << 0 << TColor(0xFF000005);
    QTest::newRow("system colour by -5") << TColor(0xFF000005) << -5 << TColor(0xFF000005);
}

void TestColors::hueShiftColor()
{
    QFETCH(TColor, color);
    QFETCH(int, n);
    QFETCH(TColor, expected);
    QCOMPARE(HueShiftColor(color, n), expected);
}

void TestColors::systemColoursAreResolved()
{
    const QPalette saved = QApplication::palette();
    QPalette pal = saved;
    pal.setColor(QPalette::Active, QPalette::Base, QColor(255, 0, 0));
    QApplication::setPalette(pal);
    // System colour 5 (window) is red now, so 80 turns it green.
    const TColor shifted = HueShiftColor(0xFF000005, 80);
    QApplication::setPalette(saved);
    QCOMPARE(shifted, Green);
}

void TestColors::hueShiftBitmap()
{
    // Five pixels a row: 15 bytes in 24 bits, so the rows are padded.
    QImage image(5, 2, QImage::Format_ARGB32);
    const QRgb row0[] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(77, 77, 77),
                         qRgb(255, 255, 255)};
    for (int x = 0; x < 5; ++x) {
        image.setPixel(x, 0, row0[x]);
        image.setPixel(x, 1, qRgb(255, 0, 0));
    }
    HueShiftBitmap(image, 80);
    QCOMPARE(image.format(), QImage::Format_RGB888);
    const QRgb expected0[] = {qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(77, 77, 77),
                              qRgb(255, 255, 255)};
    for (int x = 0; x < 5; ++x) {
        QCOMPARE(image.pixel(x, 0), expected0[x]);
        QCOMPARE(image.pixel(x, 1), qRgb(0, 255, 0));
    }
}

void TestColors::smallIcon_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("16") << 16;
    QTest::newRow("32") << 32;
}

void TestColors::smallIcon()
{
    QFETCH(int, size);
    const QIcon icon = LoadSmallIcon(size);
    QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(size, size)});
    // Made from the 16 x 16 image of the group, whatever size is asked for.
    const QImage small =
        QImage(QStringLiteral(":/MAINICON/16.png")).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(small.size(), QSize(16, 16));
    const QImage got = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            QCOMPARE(got.pixel(x, y), small.pixel(x * 16 / size, y * 16 / size));
}

QTEST_MAIN(TestColors)
#include "tst_colors.moc"
