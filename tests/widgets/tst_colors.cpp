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
    void conversions_data();
    void conversions();
    void hueShiftColor_data();
    void hueShiftColor();
    void systemColoursAreResolved();
    void hueShiftBitmap();
    void smallIcon();
};

void TestColors::conversions_data()
{
    QTest::addColumn<TRgb>("rgb");
    QTest::addColumn<double>("h");
    QTest::addColumn<double>("s");
    QTest::addColumn<double>("l");
    QTest::newRow("red") << TRgb{255, 0, 0} << 0.0 << 1.0 << 0.5;
    QTest::newRow("dark red") << TRgb{105, 0, 0} << 0.0 << 1.0 << 105 / 510.0;
    QTest::newRow("green") << TRgb{0, 255, 0} << 1 / 3.0 << 1.0 << 0.5;
    QTest::newRow("blue") << TRgb{0, 0, 255} << 2 / 3.0 << 1.0 << 0.5;
    // Below red: -1/6 + 1.
    QTest::newRow("magenta") << TRgb{255, 0, 255} << 5 / 6.0 << 1.0 << 0.5;
    // Light: s = d / (2 - mx - mn) = 0.4 / 0.4.
    QTest::newRow("pink") << TRgb{255, 153, 153} << 0.0 << 1.0 << 0.8;
    QTest::newRow("gray") << TRgb{128, 128, 128} << 0.0 << 0.0 << 128 / 255.0;
}

void TestColors::conversions()
{
    QFETCH(TRgb, rgb);
    QFETCH(double, h);
    QFETCH(double, s);
    QFETCH(double, l);
    const THsl hsl = RgbToHsl(rgb.r, rgb.g, rgb.b);
    QVERIFY(qAbs(hsl.h - h) < 1e-12 && qAbs(hsl.s - s) < 1e-12 && qAbs(hsl.l - l) < 1e-12);
    QCOMPARE(HslToRgb(h, s, l), rgb);
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
    QTest::newRow("blue by 560, wrapping twice") << Blue << 560 << Red;
    QTest::newRow("by 0") << TColor(0x123456) << 0 << TColor(0x123456);
    QTest::newRow("by -5") << TColor(0x123456) << -5 << TColor(0x123456);
    QTest::newRow("system colour by 0") << TColor(0xFF000005) << 0 << TColor(0xFF000005);
    QTest::newRow("system colour by -5") << TColor(0xFF000005) << -5 << TColor(0xFF000005);
    // Grays keep their value: s = 0, r = g = b = round(l x 255).
    for (int value : {0, 1, 127, 128, 254, 255})
        for (int n : {1, 80, 239, 330})
            QTest::addRow("gray %d by %d", value, n) << value * 0x010101u << n << value * 0x010101u;
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
    // Five pixels: 15 bytes a row in 24 bits, so the rows are padded.
    const QRgb from[] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(77, 77, 77),
                         qRgb(255, 255, 255)};
    const QRgb to[] = {qRgb(0, 255, 0), qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(77, 77, 77),
                       qRgb(255, 255, 255)};
    QImage image(5, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 10; ++i)
        image.setPixel(i % 5, i / 5, from[(i % 5 + i / 5) % 5]);
    HueShiftBitmap(image, 80);
    QCOMPARE(image.format(), QImage::Format_RGB888);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(image.pixel(i % 5, i / 5), to[(i % 5 + i / 5) % 5]);
}

void TestColors::smallIcon()
{
    // Made from the 16 x 16 image of the group, whatever size is asked for.
    const QImage small =
        QImage(QStringLiteral(":/MAINICON/16.png")).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(small.size(), QSize(16, 16));
    for (int size : {16, 32}) {
        const QIcon icon = LoadSmallIcon(size);
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(size, size)});
        const QImage got = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        for (int i = 0; i < size * size; ++i) {
            const QRgb g = got.pixel(i % size, i / size);
            const QRgb want = small.pixel(i % size * 16 / size, i / size * 16 / size);
            // A pixmap keeps its colours premultiplied: a translucent pixel's colour comes back
            // within what its alpha can resolve, and how it rounds depends on the processor.
            const int alpha = qAlpha(want);
            const int slack = alpha == 255 ? 0 : alpha == 0 ? 255 : 255 / alpha;
            QVERIFY2(qAlpha(g) == alpha && qAbs(qRed(g) - qRed(want)) <= slack
                         && qAbs(qGreen(g) - qGreen(want)) <= slack
                         && qAbs(qBlue(g) - qBlue(want)) <= slack,
                     qPrintable(QStringLiteral("pixel %1 of %2: %3 for %4")
                                    .arg(i)
                                    .arg(size)
                                    .arg(g, 8, 16)
                                    .arg(want, 8, 16)));
        }
    }
}

QTEST_MAIN(TestColors)
#include "tst_colors.moc"
