#include "app/Config.h"
#include "app/ProjectInc.h"
#include "records/ModifyData.h"
#include "records/NewData.h"
#include "records/UserFileName.h"
#include "widgets/BlueDialog.h"
#include "widgets/zuBlankPnl.h"
#include "widgets/zuColorPanel.h"
#include "widgets/zuGrayDialog.h"
#include "widgets/zuImglstBtn.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

QRgb rgbOf(TColor color)
{
    return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// The text a control shows, without its accelerator marks.
QString shownText(const QWidget *widget)
{
    QString text;
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        text = label->text();
    else if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        text = button->text();
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

} // namespace

class TestGrayDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void captionCut_data();
    void captionCut();
    void frameCornersCutAway();
    void captionStripFollowsActivation();
    void escapeAndCloseButtonCancel_data();
    void escapeAndCloseButtonCancel();
    void colorPanelEdges_data();
    void colorPanelEdges();
    void dialogsKeepControlsApart_data();
    void dialogsKeepControlsApart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TzuPrjInfo> m_info;
};

void TestGrayDialog::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestGrayDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_info = std::make_unique<TzuPrjInfo>(m_dir->path());
    zuPrjInfo = m_info.get();
}

void TestGrayDialog::cleanup()
{
    zuPrjInfo = nullptr;
    m_info.reset();
}

void TestGrayDialog::captionCut_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shown");
    const QString a17(17, u'a');
    // 200 pixels with an "M" of 8 hold 22 bytes; a cut keeps 18.
    QTest::newRow("30 bytes") << QString(30, u'a') << 200 << QString(18, u'a') + "...";
    QTest::newRow("Korean at byte 18")
        << a17 + QStringLiteral("가") + QString(11, u'b') << 200 << a17 + "...";
    QTest::newRow("Korean ends at byte 18")
        << QString(16, u'a') + QStringLiteral("가") + QString(12, u'b') << 200
        << QString(16, u'a') + QStringLiteral("가") + "...";
    QTest::newRow("22 bytes fit") << QString(20, u'a') + QStringLiteral("가") << 200
                                  << QString(20, u'a') + QStringLiteral("가");
    QTest::newRow("23 bytes do not")
        << QString(21, u'a') + QStringLiteral("가") << 200 << QString(18, u'a') + "...";
    // 4 bytes fit, none is left for the text before "...".
    QTest::newRow("narrow") << QString(5, u'a') << 52 << QStringLiteral("...");
    QTest::newRow("below the offset") << QString(5, u'a') << 10 << QStringLiteral("...");
}

void TestGrayDialog::captionCut()
{
    QFETCH(QString, caption);
    QFETCH(int, width);
    QFETCH(QString, shown);
    QCOMPARE(TfrmZuGrayDialog::CutCaption(caption, width, 8), shown);
}

void TestGrayDialog::frameCornersCutAway()
{
    TfrmZuGrayDialog dialog;
    dialog.SetClientSize(200, 100);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.size(), QSize(206, 106));
    QCOMPARE(dialog.ClientArea()->geometry(), QRect(3, 3, 200, 100));

    const QImage chrome = TfrmZuGrayDialog::ChromeBitmap();
    QCOMPARE(chrome.size(), QSize(54, 18));
    QCOMPARE(chrome.depth(), 8);
    const QRegion mask = dialog.mask();
    const QRgb key = rgbOf(TfrmZuGrayDialog::KeyColor);
    const int w = dialog.width();
    const int h = dialog.height();
    // Where each corner region of the bitmap is copied to.
    const std::pair<QPoint, QPoint> corners[] = {{{48, 0}, {0, 0}},
                                                 {{48, 9}, {w - 5, 0}},
                                                 {{48, 5}, {0, h - 4}},
                                                 {{48, 14}, {w - 5, h - 4}}};
    const QImage frame = TfrmZuGrayDialog::FrameImage(chrome, dialog.size());
    for (const auto &[source, target] : corners) {
        int cut = 0;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                const bool isKey = chrome.pixel(source + QPoint(x, y)) == key;
                cut += isKey;
                QCOMPARE(mask.contains(target + QPoint(x, y)), !isKey);
                if (!isKey)
                    QCOMPARE(frame.pixel(target + QPoint(x, y)),
                             chrome.pixel(source + QPoint(x, y)));
            }
        }
        QVERIFY2(cut >= 2, "every corner is rounded");
    }
    // The edges stretched along the window; the inside left to the client area.
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(frame.pixel(w / 2, i), chrome.pixel(52, i));
        QCOMPARE(frame.pixel(w / 2, h - 3 + i), chrome.pixel(48, 15 + i));
        QCOMPARE(frame.pixel(i, h / 2), chrome.pixel(48 + i, 5));
        QCOMPARE(frame.pixel(w - 3 + i, h / 2), chrome.pixel(50 + i, 14));
    }
    QCOMPARE(qAlpha(frame.pixel(w / 2, h / 2)), 0);
    QVERIFY(mask.contains(QPoint(w / 2, h / 2)));
}

void TestGrayDialog::captionStripFollowsActivation()
{
    TfrmZuGrayDialog dialog;
    dialog.setWindowTitle(QStringLiteral("MMMMMMMMMM 환경설정"));
    const QImage chrome = TfrmZuGrayDialog::ChromeBitmap();
    for (const bool active : {true, false}) {
        dialog.SetCaptionActive(active);
        QCOMPARE(dialog.CaptionActive(), active);
        const QImage strip = dialog.imgCaption->grab().toImage();
        QCOMPARE(strip.height(), TfrmZuGrayDialog::StripHeight);
        QSet<QRgb> seen;
        for (int y = 0; y < strip.height(); ++y)
            for (int x = 20; x < strip.width() - 20; ++x)
                seen.insert(strip.pixel(x, y));
        const QRgb shown = rgbOf(active ? 0xF8F8F8 : 0x808080);
        const QRgb other = rgbOf(active ? 0x808080 : 0xF8F8F8);
        QVERIFY(seen.contains(shown));
        QVERIFY(!seen.contains(other));
        // The strip column stretched over the width, here past the text.
        for (int y = 0; y < 18; ++y)
            QCOMPARE(strip.pixel(strip.width() - 19, y), chrome.pixel(53, y));
    }
    // The close button: right of the strip, from the bitmap's first image.
    QCOMPARE(dialog.btnClose->geometry(), QRect(dialog.ClientSize().width() - 18, 0, 16, 16));
    QCOMPARE(dialog.btnClose->ImageList()->GetBitmap(0).pixel(8, 0), chrome.pixel(8, 0));
    QCOMPARE(dialog.btnClose->IndexClick(), 2);
}

void TestGrayDialog::escapeAndCloseButtonCancel_data()
{
    QTest::addColumn<bool>("closeButton");
    QTest::newRow("Esc in the edit box") << false;
    QTest::newRow("close button") << true;
}

void TestGrayDialog::escapeAndCloseButtonCancel()
{
    QFETCH(bool, closeButton);
    TfrmBlueDialog dialog;
    auto *edit = new QLineEdit(dialog.ClientArea());
    edit->setGeometry(10, 30, 100, 20);
    bool acted = false;
    QTimer::singleShot(0, &dialog, [&] {
        edit->setFocus();
        acted = true;
        if (closeButton)
            QTest::mouseClick(dialog.btnClose, Qt::LeftButton);
        else
            QTest::keyClick(edit, Qt::Key_Escape);
    });
    // A dialog that ignores both would otherwise wait for a person: it is accepted instead.
    QTimer::singleShot(5000, &dialog, &QDialog::accept);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(acted);
}

void TestGrayDialog::colorPanelEdges_data()
{
    QTest::addColumn<int>("thick");
    QTest::addColumn<TColor>("bottom");
    QTest::newRow("thickness 3, no bottom edge") << 3 << clNone;
    QTest::newRow("thickness 1, all edges") << 1 << TColor(0x00FFFF);
}

void TestGrayDialog::colorPanelEdges()
{
    QFETCH(int, thick);
    QFETCH(TColor, bottom);
    TzuColorPanel panel;
    panel.resize(40, 30);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, Qt::white);
    panel.setPalette(pal);
    panel.setAutoFillBackground(true);
    QCOMPARE(panel.BorderThick(), 1);
    QCOMPARE(panel.clrTop(), TColor(0));
    panel.SetBorderThick(thick);
    panel.SetClrLeft(0x0000FF);
    panel.SetClrTop(0x00FF00);
    panel.SetClrRight(0xFF0000);
    panel.SetClrBottom(bottom);
    const QImage image = panel.grab().toImage();
    const QRgb white = qRgb(255, 255, 255);
    // Centred on the edge: half a thick line lies outside, the rest inside.
    const int inside = thick / 2 + 1;
    for (int i = 0; i < inside + 1; ++i) {
        const bool drawn = i < inside;
        QCOMPARE(image.pixel(i, 15), drawn ? rgbOf(0x0000FF) : white);
        QCOMPARE(image.pixel(20, i), drawn ? rgbOf(0x00FF00) : white);
        QCOMPARE(image.pixel(39 - i, 15), drawn ? rgbOf(0xFF0000) : white);
        QCOMPARE(image.pixel(20, 29 - i), drawn && bottom != clNone ? rgbOf(bottom) : white);
    }
}

void TestGrayDialog::dialogsKeepControlsApart_data()
{
    QTest::addColumn<std::function<TfrmZuGrayDialog *()>>("make");
    QTest::newRow("settings") << std::function(
        []() -> TfrmZuGrayDialog * { return new TfrmConfig; });
    QTest::newRow("new record") << std::function(
        []() -> TfrmZuGrayDialog * { return new TfrmNewData; });
    QTest::newRow("edit record") << std::function(
        []() -> TfrmZuGrayDialog * { return new TfrmModifyData; });
    QTest::newRow("name") << std::function(
        []() -> TfrmZuGrayDialog * { return new TfrmUserFileName; });
}

void TestGrayDialog::dialogsKeepControlsApart()
{
    QFETCH(std::function<TfrmZuGrayDialog *()>, make);
    std::unique_ptr<TfrmZuGrayDialog> dialog(make());
    QVERIFY(dialog->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(qobject_cast<TfrmBlueDialog *>(dialog.get()));
    const QRect client(QPoint(0, 0), dialog->ClientSize());
    QList<QWidget *> controls;
    for (QObject *child : dialog->ClientArea()->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget && !widget->isHidden() && widget != dialog->imgCaption
            && widget != dialog->btnClose)
            controls << widget;
    }
    QVERIFY(controls.size() >= 5);
    const auto name = [](const QWidget *w) {
        return w->objectName().isEmpty() ? shownText(w) : w->objectName();
    };
    for (int i = 0; i < controls.size(); ++i) {
        const QRect r = controls[i]->geometry();
        QVERIFY2(r.top() > TfrmZuGrayDialog::StripHeight && client.contains(r),
                 qPrintable(name(controls[i]) + " lies outside the client area below the strip"));
        // A pixel apart at least.
        for (int j = i + 1; j < controls.size(); ++j)
            QVERIFY2(!r.adjusted(-1, -1, 1, 1).intersects(controls[j]->geometry()),
                     qPrintable(name(controls[i]) + " touches " + name(controls[j])));
        // Text fits: labels and boxes by their own measure, buttons drawn by the program
        // by the text's width.
        const QString text = shownText(controls[i]);
        if (text.isEmpty())
            continue;
        const QFontMetrics metrics(controls[i]->font());
        if (qobject_cast<QLabel *>(controls[i]) || qobject_cast<QCheckBox *>(controls[i])) {
            const QSize hint = controls[i]->sizeHint();
            QVERIFY2(hint.width() <= r.width() && metrics.height() <= r.height(),
                     qPrintable(text + " does not fit its control"));
        } else if (qobject_cast<QAbstractButton *>(controls[i])) {
            QVERIFY2(metrics.horizontalAdvance(text) <= r.width() - 4
                         && metrics.ascent() <= r.height() - 4,
                     qPrintable(text + " does not fit its button"));
        }
    }
    // Radio items inside their group.
    for (QGroupBox *group : dialog->ClientArea()->findChildren<QGroupBox *>()) {
        for (QAbstractButton *item : group->findChildren<QAbstractButton *>()) {
            QVERIFY(group->rect().adjusted(1, 1, -1, -1).contains(item->geometry()));
            QVERIFY2(item->sizeHint().width() <= item->width(),
                     qPrintable(item->text() + " does not fit"));
        }
    }
}

QTEST_MAIN(TestGrayDialog)
#include "tst_graydialog.moc"
