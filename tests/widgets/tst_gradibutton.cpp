#include "app/Config.h"
#include "records/book.h"
#include "widgets/BlueDialog.h"
#include "widgets/zuGradiBtn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTest>

namespace {

QRgb rgb(TColor c) // plain colour values are 0x00BBGGRR
{
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// n colours from (r, g, b), each channel moving by its delta per line.
QList<TColor> linear(int r, int g, int b, int dr, int dg, int db, int n)
{
    QList<TColor> lines;
    for (int i = 0; i < n; ++i)
        lines << (TColor(r + i * dr) | TColor(g + i * dg) << 8 | TColor(b + i * db) << 16);
    return lines;
}

constexpr TColor Back = 0x302010; // the parent's colour

using MakeScheme = TzuGradiColors *(*)(QObject *);

// A button with a scheme of default colours on a parent of colour Back.
struct Host
{
    QWidget parent;
    TzuGradiColors *scheme = NewGradiColors1(&parent);
    TzuGradiButton *button = new TzuGradiButton(&parent);

    Host(int w, int h)
    {
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, rgb(Back));
        parent.setPalette(pal);
        button->resize(w, h);
        button->SetColors(scheme);
    }
    QImage render(bool pushed = false) const
    {
        QImage image(button->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        button->DrawButton(painter, pushed);
        return image;
    }
};

// The face as the rules give it: the corners keep the colour beneath, then the lines (rows from
// y = 1, or columns from x = 2), the outline and, for a gradient, the highlight under the shadow.
QImage face(int w, int h, TColor corner, const QList<TColor> &lines, bool vertical, TColor pen,
            const TzuGradiColors *bevel)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(rgb(corner));
    const auto set = [&](int x, int y, TColor c) {
        if (image.valid(x, y))
            image.setPixel(x, y, rgb(c));
    };
    for (int i = 0; i < lines.size(); ++i)
        for (int k = 0; k < (vertical ? h : w); ++k)
            vertical ? set(2 + i, k, lines[i]) : set(k, 1 + i, lines[i]);
    for (int x = 1; x <= w - 2; ++x)
        set(x, 0, pen), set(x, h - 1, pen);
    for (int y = 1; y <= h - 2; ++y)
        set(0, y, pen), set(w - 1, y, pen);
    for (int i = 1; bevel && i <= w - 2; ++i)
        set(i, 1, bevel->clrOutBright);
    for (int i = 1; bevel && i <= h - 2; ++i)
        set(1, i, bevel->clrOutBright), set(w - 2, i, bevel->clrOutShadow);
    for (int i = 1; bevel && i <= w - 2; ++i)
        set(i, h - 2, bevel->clrOutShadow);
    return image;
}

void sendMouse(QWidget &widget, QEvent::Type type)
{
    const bool up = type == QEvent::MouseButtonRelease;
    QMouseEvent event(type, QPointF(10, 10), widget.mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                      up ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

} // namespace

class TestGradiButton : public QObject
{
    Q_OBJECT
private slots:
    void gradientLines_data();
    void gradientLines();
    void faces_data();
    void faces();
    void grayed();
    void mark();
    void captions_data();
    void captions();
    void icon_data();
    void icon();
    void schemes_data();
    void schemes();
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
    QTest::addColumn<QList<TColor>>("expected");
    // Steps -7/22, -10/22, -16/22: each channel falls by 1, missing the end (248, 242, 222).
    QTest::newRow("default") << 0xEEFCFFu << 0xDEF2F8u << 22
                             << linear(255, 252, 238, -1, -1, -1, 20);
    // Blue falls by 2 (-32/22) to 192, red by 1 although its step is only -2/22.
    QTest::newRow("mouse over") << 0xE6F4FFu << 0xC6E6FDu << 22
                                << linear(255, 244, 230, -1, -1, -2, 20);
    QTest::newRow("rising below 1") << 0u << 0x0F0F0Fu << 22 << linear(0, 0, 0, 0, 0, 0, 20);
    // 40/21 is below 2: 1 a line. Dividing by the 19 lines drawn would give 2.
    QTest::newRow("step over the size") << 0u << 0x28u << 21 << linear(0, 0, 0, 1, 0, 0, 19);
    // Step -1.5: 3, then 1.5 cut to 1, -0.5 to 0, -1.5 to -1 and kept at 0.
    QTest::newRow("kept at 0") << 3u << 0u << 2 << QList<TColor>{3, 1, 0, 0};
}

void TestGradiButton::gradientLines()
{
    QFETCH(TColor, begin);
    QFETCH(TColor, end);
    QFETCH(int, size);
    QFETCH(QList<TColor>, expected);
    QList<TColor> lines;
    for (const TRgb &line : TzuGradiButton::GradientLines(begin, end, size, expected.size()))
        lines << RgbToColor(line);
    QCOMPARE(lines, expected);
}

void TestGradiButton::faces_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QImage>("expected");
    const TzuGradiColors s;
    const auto gradient = [&s](int w, int h, const QList<TColor> &lines, bool vertical) {
        return face(w, h, Back, lines, vertical, s.clrOutBorder, &s);
    };
    const auto flat = [](TColor fill, TColor pen, TColor corner = Back) {
        return face(40, 20, corner, QList<TColor>(18, fill), false, pen, nullptr);
    };
    QTest::newRow("H = 22") << "" << gradient(59, 22, linear(255, 252, 238, -1, -1, -1, 20), false);
    QTest::newRow("mouse over") << "mouse"
                                << gradient(59, 22, linear(255, 244, 230, -1, -1, -2, 20), false);
    // Columns x = 2 to 28, steps over W = 30.
    QTest::newRow("vertical") << "vertical"
                              << gradient(30, 22, linear(255, 252, 238, -1, -1, -1, 27), true);
    QTest::newRow("vertical, W = 3") << "vertical" << gradient(3, 22, {}, true);
    QTest::newRow("H = 2") << "" << gradient(20, 2, {}, false);
    QTest::newRow("pressed") << "pushed" << flat(s.clrBegin, s.clrOutBorder);
    QTest::newRow("selected") << "selected" << flat(s.clrSelected, 0);
    QTest::newRow("selected, pushed") << "selected pushed" << flat(s.clrBegin, 0);
    QTest::newRow("disabled") << "disabled pushed" << flat(s.clrDisabled, s.clrOutBorder);
    QTest::newRow("disabled, selected") << "disabled selected" << flat(s.clrDisabled, 0);
    QTest::newRow("own colour") << "own pushed" << flat(s.clrBegin, s.clrOutBorder, 0xFF00);
}

void TestGradiButton::faces()
{
    QFETCH(QString, state);
    QFETCH(QImage, expected);
    Host host(expected.width(), expected.height());
    host.button->SetVerticalGradi(state.contains("vertical"));
    host.button->SetSelected(state.contains("selected"));
    host.button->setEnabled(!state.contains("disabled"));
    if (state.contains("own"))
        host.button->SetColor(0xFF00);
    QCOMPARE(host.button->ParentColor(), !state.contains("own"));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    if (state.contains("mouse"))
        QApplication::sendEvent(host.button, &enter);
    QCOMPARE(host.button->MouseInside(), state.contains("mouse"));
    QCOMPARE(host.render(state.contains("pushed")), expected);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(host.button, &leave);
    QVERIFY(!host.button->MouseInside());
}

void TestGradiButton::grayed()
{
    Host host(59, 22);
    host.button->setText(QStringLiteral("OK"));
    host.button->SetMarked(true);
    const QImage colour = host.render();
    host.button->SetGrayed(true);
    const QImage gray = host.render();
    QCOMPARE(gray.pixel(1, 1), qRgb(0xA2, 0xA2, 0xA2)); // the white highlight
    for (int i = 0; i < 59 * 22; ++i) {
        const QRgb c = colour.pixel(i % 59, i / 59);
        const int g = (12 * qBlue(c) + 64 * qGreen(c) + 32 * qRed(c)) / 170;
        QCOMPARE(gray.pixel(i % 59, i / 59), qRgb(g, g, g));
    }
    QPalette pal = host.parent.palette();
    pal.setColor(QPalette::Window, Qt::black);
    host.parent.setPalette(pal);
    QCOMPARE(host.render().pixel(0, 0), qRgb(0, 0, 0)); // black stays black
}

void TestGradiButton::mark()
{
    Host host(59, 22);
    const QImage plain = host.render();
    host.button->SetMarked(true);
    const QImage marked = host.render();
    // The triangle (48,3), (55,3), (55,10): outline on its three sides, face inside.
    for (int i = 0; i < 59 * 22; ++i) {
        const int x = i % 59, y = i / 59;
        const bool rows = y >= 3 && y <= 10;
        const bool edge = rows && (y == 3 ? x >= 48 && x <= 55 : x == 55 || x - 48 == y - 3);
        const bool inside = rows && y > 3 && x > y + 45 && x < 55;
        QCOMPARE(marked.pixel(x, y), edge     ? rgb(host.scheme->clrMarkBorder)
                                     : inside ? rgb(host.scheme->clrMarkFace)
                                              : plain.pixel(x, y));
    }
}

void TestGradiButton::captions_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("cap"); // CapX, CapY
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("texts"); // what is drawn
    const QPoint centred(-1, -1);
    QTest::newRow("확인(&Y)") << "확인(&Y)" << centred << "" << QStringList{"확인(Y)"};
    QTest::newRow("&O.K.") << "&O.K." << centred << "" << QStringList{"O.K."};
    QTest::newRow("저장 &V") << "저장 &V" << centred << "" << QStringList{"저장 V"};
    // Centred, the second ampersand underlines B; placed, it is drawn.
    QTest::newRow("A&&B centred") << "A&&B" << centred << "" << QStringList{"A&B"};
    QTest::newRow("A&&B placed") << "A&&B" << QPoint(4, 2) << "" << QStringList{"A&B"};
    QTest::newRow("bar placed") << "위|아래" << QPoint(4, 2) << "" << QStringList{"위", "아래"};
    QTest::newRow("bar centred") << "위|아래" << centred << "" << QStringList{"위|아래"};
    QTest::newRow("pressed") << "OK" << centred << "pressed" << QStringList{"OK"};
    QTest::newRow("pressed, images") << "OK" << centred << "pressed images" << QStringList{"OK"};
    QTest::newRow("pressed, placed") << "OK" << QPoint(4, 2) << "pressed" << QStringList{"OK"};
    QTest::newRow("pressed, images, placed")
        << "OK" << QPoint(4, 2) << "pressed images" << QStringList{"OK"};
    QTest::newRow("selected") << "OK" << centred << "selected" << QStringList{"OK"};
    QTest::newRow("selected, pressed")
        << "OK" << centred << "selected pressed" << QStringList{"OK"};
}

void TestGradiButton::captions()
{
    QFETCH(QString, caption);
    QFETCH(QPoint, cap);
    QFETCH(QString, state);
    QFETCH(QStringList, texts);
    Host host(80, 30);
    host.scheme->clrSelcText = 0xFF0000;
    TImageList list(4, 4);
    if (state.contains("images"))
        host.button->SetImages(&list);
    host.button->SetCapX(cap.x());
    host.button->SetCapY(cap.y());
    host.button->SetSelected(state.contains("selected"));
    const bool pressed = state.contains("pressed");
    // Pressed without images, the caption moves 1 pixel right; selected, it is bold in
    // clrSelcText; placed, the part after a bar goes 13 pixels lower.
    const int shift = pressed && !state.contains("images") ? 1 : 0;
    const bool selected = state.contains("selected") && !pressed;
    QImage expected = host.render(pressed);
    QPainter painter(&expected);
    QFont font = host.button->font();
    font.setBold(selected);
    painter.setFont(font);
    painter.setPen(selected ? Qt::blue : Qt::black);
    if (cap.x() < 0)
        painter.drawText(QRect(1 + shift, 1, 79, 29), Qt::AlignCenter | Qt::TextShowMnemonic,
                         texts[0]);
    // A placed caption's point is the top of its line, which a fallback font for Hangul may
    // make taller than the button's own font.
    for (int i = 0; cap.x() >= 0 && i < texts.size(); ++i)
        painter.drawText(QRect(cap + QPoint(shift, 13 * i), QSize()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, texts[i]);
    painter.end();
    host.button->setText(caption);
    QCOMPARE(host.render(pressed), expected);
}

void TestGradiButton::icon_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("at"); // null: no icon
    QTest::newRow("at 9, 3") << true << 1 << QPoint(9, 3);
    QTest::newRow("disabled, enabled look") << false << 1 << QPoint(5, 5);
    QTest::newRow("index -1") << true << -1 << QPoint();
}

void TestGradiButton::icon()
{
    QFETCH(bool, enabled);
    QFETCH(int, index);
    QFETCH(QPoint, at);
    Host host(40, 20);
    host.button->setEnabled(enabled);
    QImage expected = host.render();
    if (!at.isNull())
        QPainter(&expected).fillRect(QRect(at, QSize(6, 6)), Qt::green);
    TImageList list(6, 6);
    for (QColor c : {Qt::red, Qt::green}) {
        QImage image(6, 6, QImage::Format_RGB32);
        image.fill(c);
        list.Add(image);
    }
    host.button->SetImages(&list);
    host.button->SetImageIndex(index);
    if (!at.isNull())
        host.button->SetIconX(at.x()), host.button->SetIconY(at.y());
    QCOMPARE(host.render(), expected);
}

void TestGradiButton::schemes_data()
{
    QTest::addColumn<MakeScheme>("make");
    QTest::addColumn<QList<TColor>>("colors");
    QTest::newRow("zuGradiColors1")
        << &NewGradiColors1 << QList<TColor>{0xEEFCFF, 0xDEF2F8, 0xE6F4FF, 0xC6E6FD, 0xFFFFFF,
                                             0xB5D0D9, 0x464646, 0xFFE8D0, 0xFFF7EE, 0x60AFFF,
                                             0x0075EA, 0x000000, 0x6D6558, 0x000000, 0xCCD8D9};
    QTest::newRow("zuGradiColors2")
        << &NewGradiColors2 << QList<TColor>{0xFFFFFF, 0xF6F6F6, 0xEEF7FD, 0xD6EBFA, 0x000000,
                                             0x000000, 0x000000, 0x454545, 0xFFF7EE, 0x454545,
                                             0x0075EA, 0x000000, 0xC1BAB3, 0xFFFFFF, 0x616161};
    QTest::newRow("ColorsBrown") << &NewColorsBrown
                                 << QList<TColor>{0xEEFCFF, 0xE7F5FA, 0xE6F4FF, 0xC6E6FD, 0xFFFFFF,
                                                  0xDBE8EC, 0x505050, 0xBBC8CC, 0xFFF7EE, 0x9CB5C2,
                                                  0x0075EA, 0x000000, 0x6D6558, 0x414141, 0xDDE4E6};
}

void TestGradiButton::schemes()
{
    QFETCH(MakeScheme, make);
    QFETCH(QList<TColor>, colors);
    QObject owner;
    TzuGradiColors *scheme = make(&owner);
    QCOMPARE(scheme->objectName(), QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(scheme->parent(), &owner);
    // Indexed in the published order, which is also the properties'.
    for (int i = 0; i < TzuGradiColors::ColorCount; ++i) {
        QCOMPARE(scheme->Color(i), colors[i]);
        scheme->SetColor(i, 0x010203u * i);
        QCOMPARE(scheme->metaObject()->property(i + 1).read(scheme).value<TColor>(), 0x010203u * i);
    }
    const QList<int> marks = {-1, -1, -1, -1,
                              2}; // MarkLeft, MarkTop, MarkRight, MarkBottom, MarkRound
    for (int i = 0; i < TzuGradiColors::MarkCount; ++i) {
        QCOMPARE(scheme->Mark(i), marks[i]);
        scheme->SetMark(i, 10 + i);
        QCOMPARE(scheme->metaObject()->property(16 + i).read(scheme).toInt(), 10 + i);
    }
}

void TestGradiButton::withoutSchemeASystemButton()
{
    Host host(59, 22);
    host.button->setText(QStringLiteral("취소(&C)"));
    QPushButton plain(QStringLiteral("취소(&C)"), &host.parent);
    plain.resize(59, 22);
    const QImage system = plain.grab().toImage();
    const auto shown = [&host] { return host.button->grab().toImage(); };
    const QImage drawn = host.render();
    QCOMPARE(shown().convertToFormat(QImage::Format_RGB32), drawn);
    QVERIFY(host.button->testAttribute(Qt::WA_OpaquePaintEvent)); // nothing erased beneath
    host.button->SetColors(nullptr);
    QVERIFY(!host.button->testAttribute(Qt::WA_OpaquePaintEvent));
    QCOMPARE(shown(), system);
    host.button->SetColors(host.scheme);
    QCOMPARE(shown().convertToFormat(QImage::Format_RGB32), drawn);
    // Components that go away are dropped; without its scheme it is a system button again.
    auto *list = new TImageList(4, 4);
    host.button->SetImages(list);
    delete list;
    QCOMPARE(host.button->Images(), nullptr);
    delete host.scheme;
    QCOMPARE(host.button->Colors(), nullptr);
    QCOMPARE(shown(), system);
}

void TestGradiButton::doubleClick_data()
{
    QTest::addColumn<bool>("handler");
    QTest::addColumn<int>("clicks");
    QTest::newRow("without OnDblClick: two clicks") << false << 2;
    QTest::newRow("with OnDblClick") << true << 1;
}

void TestGradiButton::doubleClick()
{
    QFETCH(bool, handler);
    QFETCH(int, clicks);
    Host host(59, 22);
    int clicked = 0, doubled = 0;
    connect(host.button, &QPushButton::clicked, this, [&] { ++clicked; });
    if (handler)
        connect(host.button, &TzuGradiButton::OnDblClick, this, [&] { ++doubled; });
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        sendMouse(*host.button, type);
    QCOMPARE(clicked, clicks);
    QCOMPARE(doubled, handler ? 1 : 0);
}

void TestGradiButton::formsUseGradientButtons()
{
    TfrmBlueDialog dialog;
    QCOMPARE(dialog.zuGradiColors1->objectName(), QStringLiteral("zuGradiColors1"));
    QCOMPARE(dialog.btnConfirm->Colors(), dialog.zuGradiColors1);
    QCOMPARE(dialog.btnCancel->Colors(), dialog.zuGradiColors1);
    QVERIFY(dialog.btnConfirm->Marked() && !dialog.btnCancel->Marked());
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
