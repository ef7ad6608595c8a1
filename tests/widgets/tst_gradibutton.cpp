#include "app/Config.h"
#include "records/book.h"
#include "widgets/BlueDialog.h"
#include "widgets/zuGradiBtn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTest>

namespace {

// Plain colour values are 0x00BBGGRR.
QRgb rgb(TColor c)
{
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

TColor color(int r, int g, int b)
{
    return TColor(r) | TColor(g) << 8 | TColor(b) << 16;
}

// n lines from start, each channel moving by its delta per line.
QList<TColor> linear(int r, int g, int b, int dr, int dg, int db, int n)
{
    QList<TColor> lines;
    for (int i = 0; i < n; ++i)
        lines << color(r + i * dr, g + i * dg, b + i * db);
    return lines;
}

constexpr TColor Back = 0x302010; // the parent's colour

// A button on a parent of colour Back, with its own scheme of default colours.
struct Host
{
    QWidget parent;
    TzuGradiColors *scheme = NewGradiColors1(&parent);
    TzuGradiButton *button = new TzuGradiButton(&parent);

    Host(int w, int h, const QString &caption = {})
    {
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, rgb(Back));
        parent.setPalette(pal);
        button->setText(caption);
        button->resize(w, h);
        button->SetColors(scheme);
    }

    QImage render(bool pushed = false) const
    {
        QImage image(button->size(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        button->DrawButton(painter, pushed);
        return image;
    }
};

void set(QImage &image, int x, int y, TColor c)
{
    if (image.valid(x, y))
        image.setPixel(x, y, rgb(c));
}

// The outline leaves the four corner pixels to the parent's colour.
void outline(QImage &image, TColor pen)
{
    const int w = image.width(), h = image.height();
    for (int x = 1; x <= w - 2; ++x) {
        set(image, x, 0, pen);
        set(image, x, h - 1, pen);
    }
    for (int y = 1; y <= h - 2; ++y) {
        set(image, 0, y, pen);
        set(image, w - 1, y, pen);
    }
}

// The normal face: gradient lines (rows from y = 1, or columns from x = 2), the outline, the
// highlight on top and left, then the shadow on right and bottom.
QImage gradientFace(int w, int h, const QList<TColor> &lines, bool vertical,
                    const TzuGradiColors &s)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(rgb(Back));
    for (int i = 0; i < lines.size(); ++i)
        for (int k = 0; k < (vertical ? h : w); ++k)
            vertical ? set(image, 2 + i, k, lines[i]) : set(image, k, 1 + i, lines[i]);
    outline(image, s.clrOutBorder);
    for (int x = 1; x <= w - 2; ++x)
        set(image, x, 1, s.clrOutBright);
    for (int y = 1; y <= h - 2; ++y)
        set(image, 1, y, s.clrOutBright);
    for (int y = 1; y <= h - 2; ++y)
        set(image, w - 2, y, s.clrOutShadow);
    for (int x = 1; x <= w - 2; ++x)
        set(image, x, h - 2, s.clrOutShadow);
    return image;
}

void sendMouse(QWidget &widget, QEvent::Type type)
{
    const QPointF at(10, 10);
    QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

} // namespace

class TestGradiButton : public QObject
{
    Q_OBJECT
private slots:
    void gradientLines_data();
    void gradientLines();
    void normalFace_data();
    void normalFace();
    void flatFaces_data();
    void flatFaces();
    void grayed();
    void mark();
    void captions_data();
    void captions();
    void icon_data();
    void icon();
    void schemes_data();
    void schemes();
    void indexedAccess();
    void withoutSchemeASystemButton();
    void doubleClick_data();
    void doubleClick();
    void formsUseGradientButtons();
};

void TestGradiButton::gradientLines_data()
{
    QTest::addColumn<TColor>("begin");
    QTest::addColumn<TColor>("end");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<TColor>>("expected");
    // Steps -7/22, -10/22, -16/22: every channel falls by 1; the end (248, 242, 222) is missed.
    QTest::newRow("default, H = 22") << TColor(0xEEFCFF) << TColor(0xDEF2F8) << 22 << 20
                                     << linear(255, 252, 238, -1, -1, -1, 20);
    // Blue falls by 2 (step -32/22) to 192; red by 1 although its step is only -2/22.
    QTest::newRow("mouse over, H = 22") << TColor(0xE6F4FF) << TColor(0xC6E6FD) << 22 << 20
                                        << linear(255, 244, 230, -1, -1, -2, 20);
    QTest::newRow("rising below 1")
        << TColor(0x000000) << TColor(0x0F0F0F) << 22 << 20 << linear(0, 0, 0, 0, 0, 0, 20);
    // 40/21 is below 2: one a line. Dividing by the 19 lines drawn would give 2.
    QTest::newRow("step over the size, not the lines")
        << TColor(0x000000) << TColor(0x000028) << 21 << 19 << linear(0, 0, 0, 1, 0, 0, 19);
    // Step -1.5: 3, 1, 0, then -1.5 cut to -1 and kept at 0.
    QTest::newRow("kept at 0") << TColor(0x000003) << TColor(0x000000) << 2 << 4
                               << QList<TColor>{3, 1, 0, 0};
    QTest::newRow("no lines") << TColor(0x000003) << TColor(0x000000) << 2 << 0 << QList<TColor>{};
}

void TestGradiButton::gradientLines()
{
    QFETCH(TColor, begin);
    QFETCH(TColor, end);
    QFETCH(int, size);
    QFETCH(int, count);
    QFETCH(QList<TColor>, expected);
    QList<TColor> lines;
    for (const TRgb &line : TzuGradiButton::GradientLines(begin, end, size, count))
        lines << RgbToColor(line);
    QCOMPARE(lines, expected);
}

void TestGradiButton::normalFace_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<bool>("mouseOver");
    QTest::addColumn<QList<TColor>>("lines");
    QTest::newRow("H = 22") << 59 << 22 << false << false << linear(255, 252, 238, -1, -1, -1, 20);
    QTest::newRow("H = 22, mouse over")
        << 59 << 22 << false << true << linear(255, 244, 230, -1, -1, -2, 20);
    // Columns x = 2 to 28, steps over W = 30.
    QTest::newRow("vertical, W = 30")
        << 30 << 22 << true << false << linear(255, 252, 238, -1, -1, -1, 27);
    QTest::newRow("vertical, W = 3") << 3 << 22 << true << false << QList<TColor>{};
    QTest::newRow("H = 2") << 20 << 2 << false << false << QList<TColor>{};
}

void TestGradiButton::normalFace()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, vertical);
    QFETCH(bool, mouseOver);
    QFETCH(QList<TColor>, lines);
    Host host(w, h);
    host.button->SetVerticalGradi(vertical);
    if (mouseOver) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(host.button, &enter);
    }
    QCOMPARE(host.button->MouseInside(), mouseOver);
    QCOMPARE(host.render(), gradientFace(w, h, lines, vertical, *host.scheme));
    if (mouseOver) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(host.button, &leave);
        QVERIFY(!host.button->MouseInside());
    }
}

void TestGradiButton::flatFaces_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("pushed");
    QTest::addColumn<TColor>("fill");
    QTest::addColumn<TColor>("pen");
    const TzuGradiColors s;
    QTest::newRow("pressed") << true << false << true << s.clrBegin << s.clrOutBorder;
    QTest::newRow("selected") << true << true << false << s.clrSelected << TColor(0);
    QTest::newRow("selected and pushed") << true << true << true << s.clrBegin << TColor(0);
    QTest::newRow("disabled") << false << false << true << s.clrDisabled << s.clrOutBorder;
    QTest::newRow("disabled, selected") << false << true << false << s.clrDisabled << TColor(0);
}

void TestGradiButton::flatFaces()
{
    QFETCH(bool, enabled);
    QFETCH(bool, selected);
    QFETCH(bool, pushed);
    QFETCH(TColor, fill);
    QFETCH(TColor, pen);
    Host host(40, 20);
    host.button->setEnabled(enabled);
    host.button->SetSelected(selected);
    QImage expected(40, 20, QImage::Format_RGB32);
    expected.fill(rgb(Back));
    for (int y = 1; y < 19; ++y)
        for (int x = 1; x < 39; ++x)
            set(expected, x, y, fill);
    outline(expected, pen);
    QCOMPARE(host.render(pushed), expected);
}

void TestGradiButton::grayed()
{
    Host host(59, 22, QStringLiteral("OK"));
    QPalette pal = host.parent.palette();
    pal.setColor(QPalette::Window, Qt::black);
    host.parent.setPalette(pal);
    host.button->SetMarked(true);
    const QImage colour = host.render();
    host.button->SetGrayed(true);
    const QImage gray = host.render();
    QCOMPARE(gray.pixel(1, 1), qRgb(0xA2, 0xA2, 0xA2)); // the white highlight
    QCOMPARE(gray.pixel(0, 0), qRgb(0, 0, 0));          // a black corner
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 59; ++x) {
            const QRgb c = colour.pixel(x, y);
            const int g = (12 * qBlue(c) + 64 * qGreen(c) + 32 * qRed(c)) / 170;
            QCOMPARE(gray.pixel(x, y), qRgb(g, g, g));
        }
}

void TestGradiButton::mark()
{
    Host host(59, 22);
    const QImage plain = host.render();
    host.button->SetMarked(true);
    const QImage marked = host.render();
    const TzuGradiColors &s = *host.scheme;
    // The triangle (48,3), (55,3), (55,10): outline on its three sides, face inside.
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 59; ++x) {
            const bool edge = (y == 3 && x >= 48 && x <= 55) || (x == 55 && y >= 3 && y <= 10)
                              || (x - 48 == y - 3 && y >= 3 && y <= 10);
            const bool inside = y > 3 && y < 10 && x > y + 45 && x < 55;
            const QRgb expected = edge     ? rgb(s.clrMarkBorder)
                                  : inside ? rgb(s.clrMarkFace)
                                           : plain.pixel(x, y);
            QCOMPARE(marked.pixel(x, y), expected);
        }
}

void TestGradiButton::captions_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("capX");
    QTest::addColumn<int>("capY");
    QTest::addColumn<bool>("pushed");
    QTest::addColumn<bool>("images");
    QTest::addColumn<bool>("selected");
    // What is drawn: a centred text in the face moved by shift, or texts at points.
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<QPoint>>("points");
    QTest::addColumn<int>("shift");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<TColor>("textColor");
    const TColor black = 0, blue = 0xFF0000; // clrText, clrSelcText
    const QList<QPoint> centred;
    QTest::newRow("확인(&Y)") << "확인(&Y)" << -1 << -1 << false << false << false
                              << QStringList{"확인(Y)"} << centred << 0 << false << black;
    QTest::newRow("&O.K.") << "&O.K." << -1 << -1 << false << false << false << QStringList{"O.K."}
                           << centred << 0 << false << black;
    QTest::newRow("저장 &V") << "저장 &V" << -1 << -1 << false << false << false
                             << QStringList{"저장 V"} << centred << 0 << false << black;
    // The second ampersand underlines B.
    QTest::newRow("A&&B centred") << "A&&B" << -1 << -1 << false << false << false
                                  << QStringList{"A&B"} << centred << 0 << false << black;
    QTest::newRow("A&&B placed") << "A&&B" << 4 << 2 << false << false << false
                                 << QStringList{"A&B"} << QList<QPoint>{{4, 2}} << 0 << false
                                 << black;
    QTest::newRow("bar placed") << "위|아래" << 4 << 2 << false << false << false
                                << QStringList{"위", "아래"} << QList<QPoint>{{4, 2}, {4, 15}} << 0
                                << false << black;
    QTest::newRow("bar centred") << "위|아래" << -1 << -1 << false << false << false
                                 << QStringList{"위|아래"} << centred << 0 << false << black;
    QTest::newRow("CapY -1") << "OK" << 3 << -1 << false << false << false << QStringList{"OK"}
                             << QList<QPoint>{{3, -1}} << 0 << false << black;
    QTest::newRow("pressed") << "OK" << -1 << -1 << true << false << false << QStringList{"OK"}
                             << centred << 1 << false << black;
    QTest::newRow("pressed with images") << "OK" << -1 << -1 << true << true << false
                                         << QStringList{"OK"} << centred << 0 << false << black;
    QTest::newRow("pressed, placed")
        << "OK" << 4 << 2 << true << false << false << QStringList{"OK"} << QList<QPoint>{{5, 2}}
        << 0 << false << black;
    QTest::newRow("pressed with images, placed")
        << "OK" << 4 << 2 << true << true << false << QStringList{"OK"} << QList<QPoint>{{4, 2}}
        << 0 << false << black;
    QTest::newRow("selected") << "OK" << -1 << -1 << false << false << true << QStringList{"OK"}
                              << centred << 0 << true << blue;
    QTest::newRow("selected and pushed") << "OK" << -1 << -1 << true << false << true
                                         << QStringList{"OK"} << centred << 1 << false << black;
}

void TestGradiButton::captions()
{
    QFETCH(QString, caption);
    QFETCH(int, capX);
    QFETCH(int, capY);
    QFETCH(bool, pushed);
    QFETCH(bool, images);
    QFETCH(bool, selected);
    QFETCH(QStringList, texts);
    QFETCH(QList<QPoint>, points);
    QFETCH(int, shift);
    QFETCH(bool, bold);
    QFETCH(TColor, textColor);
    Host host(80, 30);
    host.scheme->clrSelcText = 0xFF0000;
    TImageList list(4, 4);
    if (images)
        host.button->SetImages(&list);
    host.button->SetCapX(capX);
    host.button->SetCapY(capY);
    host.button->SetSelected(selected);

    QImage expected = host.render(pushed);
    QPainter painter(&expected);
    QFont font = host.button->font();
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(rgb(textColor));
    if (points.isEmpty()) {
        painter.drawText(QRect(1 + shift, 1, 79, 29), Qt::AlignCenter | Qt::TextShowMnemonic,
                         texts.first());
    } else {
        for (int i = 0; i < texts.size(); ++i)
            painter.drawText(points[i] + QPoint(0, painter.fontMetrics().ascent()), texts[i]);
    }
    painter.end();

    host.button->setText(caption);
    QCOMPARE(host.render(pushed), expected);
}

void TestGradiButton::icon_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("images");
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("at 5, 5") << true << true << 1 << QPoint(5, 5);
    QTest::newRow("disabled, enabled look") << false << true << 1 << QPoint(5, 5);
    QTest::newRow("at 9, 3") << true << true << 1 << QPoint(9, 3);
    QTest::newRow("index -1") << true << true << -1 << QPoint();
    QTest::newRow("no images") << true << false << 1 << QPoint();
}

void TestGradiButton::icon()
{
    QFETCH(bool, enabled);
    QFETCH(bool, images);
    QFETCH(int, index);
    QFETCH(QPoint, at);
    Host host(40, 20);
    host.button->setEnabled(enabled);
    QImage expected = host.render();
    TImageList list(6, 6);
    QImage red(6, 6, QImage::Format_RGB32), green(6, 6, QImage::Format_RGB32);
    red.fill(Qt::red);
    green.fill(Qt::green);
    list.Add(red);
    list.Add(green);
    if (images)
        host.button->SetImages(&list);
    host.button->SetImageIndex(index);
    if (!at.isNull())
        QPainter(&expected).fillRect(QRect(at, QSize(6, 6)), Qt::green);
    host.button->SetIconX(at.isNull() ? 5 : at.x());
    host.button->SetIconY(at.isNull() ? 5 : at.y());
    QCOMPARE(host.render(), expected);
}

void TestGradiButton::schemes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<TColor>>("colors");
    QTest::addColumn<QList<int>>("marks");
    const QList<int> marks = {-1, -1, -1, -1, 2};
    QTest::newRow("zuGradiColors1")
        << "zuGradiColors1" << QList<TColor>{0xEEFCFF, 0xDEF2F8, 0xE6F4FF, 0xC6E6FD, 0xFFFFFF,
                                             0xB5D0D9, 0x464646, 0xFFE8D0, 0xFFF7EE, 0x60AFFF,
                                             0x0075EA, 0x000000, 0x6D6558, 0x000000, 0xCCD8D9}
        << marks;
    QTest::newRow("zuGradiColors2")
        << "zuGradiColors2" << QList<TColor>{0xFFFFFF, 0xF6F6F6, 0xEEF7FD, 0xD6EBFA, 0x000000,
                                             0x000000, 0x000000, 0x454545, 0xFFF7EE, 0x454545,
                                             0x0075EA, 0x000000, 0xC1BAB3, 0xFFFFFF, 0x616161}
        << marks;
    QTest::newRow("ColorsBrown") << "ColorsBrown"
                                 << QList<TColor>{0xEEFCFF, 0xE7F5FA, 0xE6F4FF, 0xC6E6FD, 0xFFFFFF,
                                                  0xDBE8EC, 0x505050, 0xBBC8CC, 0xFFF7EE, 0x9CB5C2,
                                                  0x0075EA, 0x000000, 0x6D6558, 0x414141, 0xDDE4E6}
                                 << marks;
}

void TestGradiButton::schemes()
{
    QFETCH(QString, name);
    QFETCH(QList<TColor>, colors);
    QFETCH(QList<int>, marks);
    QObject owner;
    TzuGradiColors *scheme = name == "zuGradiColors1"   ? NewGradiColors1(&owner)
                             : name == "zuGradiColors2" ? NewGradiColors2(&owner)
                                                        : NewColorsBrown(&owner);
    QCOMPARE(scheme->objectName(), name);
    QCOMPARE(scheme->parent(), &owner);
    for (int i = 0; i < TzuGradiColors::ColorCount; ++i)
        QCOMPARE(scheme->Color(i), colors[i]);
    for (int i = 0; i < TzuGradiColors::MarkCount; ++i)
        QCOMPARE(scheme->Mark(i), marks[i]);
}

void TestGradiButton::indexedAccess()
{
    TzuGradiColors scheme;
    const char *names[] = {"clrBegin",     "clrEnd",       "clrMouseInBegin", "clrMouseInEnd",
                           "clrOutBright", "clrOutShadow", "clrOutBorder",    "clrSelected",
                           "clrThick",     "clrMarkFace",  "clrMarkBorder",   "clrText",
                           "clrDisaText",  "clrSelcText",  "clrDisabled"};
    for (int i = 0; i < TzuGradiColors::ColorCount; ++i) {
        scheme.SetColor(i, TColor(0x010203 * (i + 1)));
        QCOMPARE(scheme.property(names[i]).value<TColor>(), TColor(0x010203 * (i + 1)));
    }
    const char *marks[] = {"MarkLeft", "MarkTop", "MarkRight", "MarkBottom", "MarkRound"};
    for (int i = 0; i < TzuGradiColors::MarkCount; ++i) {
        scheme.SetMark(i, 10 + i);
        QCOMPARE(scheme.property(marks[i]).toInt(), 10 + i);
    }
    scheme.SetColor(15, 0x123456);
    scheme.SetMark(-1, 7);
    QCOMPARE(scheme.Color(15), TColor(0));
    QCOMPARE(scheme.Mark(-1), 0);
}

void TestGradiButton::withoutSchemeASystemButton()
{
    Host host(59, 22, QStringLiteral("취소(&C)"));
    QPushButton plain(QStringLiteral("취소(&C)"), &host.parent);
    plain.resize(59, 22);
    const QImage system = plain.grab().toImage();
    const QImage drawn = host.render();
    QCOMPARE(host.button->grab().toImage().convertToFormat(QImage::Format_RGB32), drawn);
    QVERIFY(host.button->testAttribute(Qt::WA_OpaquePaintEvent));

    host.button->SetColors(nullptr);
    QVERIFY(!host.button->testAttribute(Qt::WA_OpaquePaintEvent));
    QCOMPARE(host.button->grab().toImage(), system);
    host.button->SetColors(host.scheme);
    QCOMPARE(host.button->grab().toImage().convertToFormat(QImage::Format_RGB32), drawn);

    // A scheme that goes away leaves a system push button.
    delete host.scheme;
    QCOMPARE(host.button->Colors(), nullptr);
    QCOMPARE(host.button->grab().toImage(), system);

    auto *list = new TImageList(4, 4);
    host.button->SetImages(list);
    delete list;
    QCOMPARE(host.button->Images(), nullptr);
}

void TestGradiButton::doubleClick_data()
{
    QTest::addColumn<bool>("handler");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("doubleClicks");
    QTest::newRow("without OnDblClick") << false << 2 << 0;
    QTest::newRow("with OnDblClick") << true << 1 << 1;
}

void TestGradiButton::doubleClick()
{
    QFETCH(bool, handler);
    QFETCH(int, clicks);
    QFETCH(int, doubleClicks);
    Host host(59, 22);
    int clicked = 0, doubled = 0;
    connect(host.button, &QPushButton::clicked, this, [&] { ++clicked; });
    if (handler)
        connect(host.button, &TzuGradiButton::OnDblClick, this, [&] { ++doubled; });
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        sendMouse(*host.button, type);
    QCOMPARE(clicked, clicks);
    QCOMPARE(doubled, doubleClicks);
}

void TestGradiButton::formsUseGradientButtons()
{
    TfrmBlueDialog dialog;
    QCOMPARE(dialog.zuGradiColors1->objectName(), QStringLiteral("zuGradiColors1"));
    QCOMPARE(dialog.btnConfirm->Colors(), dialog.zuGradiColors1);
    QCOMPARE(dialog.btnCancel->Colors(), dialog.zuGradiColors1);
    QVERIFY(dialog.btnConfirm->Marked());
    QVERIFY(!dialog.btnCancel->Marked());

    TfrmConfig config;
    for (TzuGradiButton *button : {config.btnDirData, config.zuGradiButton1, config.btnEraseDir2,
                                   config.zuGradiButton2, config.btnEraseDir3})
        QCOMPARE(button->Colors(), config.zuGradiColors1);

    TfrmBook book;
    QCOMPARE(book.zuGradiButton1->Colors(), book.zuGradiColors2);
    QCOMPARE(book.zuGradiColors2->objectName(), QStringLiteral("zuGradiColors2"));
}

QTEST_MAIN(TestGradiButton)
#include "tst_gradibutton.moc"
