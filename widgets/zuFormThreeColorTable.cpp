#include "zuFormThreeColorTable.h"

#include "widgets/ImageList.h"
#include "widgets/zuBlankPnl.h"
#include "widgets/zuFormThreeBtns.h"
#include "widgets/zuImglstBtn.h"

#include <QCloseEvent>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr TColor FormColor = 0xE7EFEF;

// The swatch colours, white to fuchsia.
constexpr TColor Swatches[14] = {0xFFFFFF, 0x000000, 0x000080, 0x008080, 0x008000,
                                 0x808000, 0x800000, 0x800080, 0x0000FF, 0x00FFFF,
                                 0x00FF00, 0xFFFF00, 0xFF0000, 0xFF00FF};

} // namespace

TColor HueShiftColor(TColor color, int n)
{
    if (n <= 0)
        return color;
    return RgbToColor(HueShiftRgb(ColorToRgb(color), n));
}

QIcon LoadSmallIcon(int size)
{
    // Every dialog takes the icon: the group is read once.
    static const QImage nearest16 = [] {
        EnsureResources();
        // The icon group holds one image per size; the small icon starts from the 16 x 16 one.
        const QDir group(QStringLiteral(":/MAINICON"));
        const auto distance = [](const QImage &i) {
            return std::abs(i.width() - 16) + std::abs(i.height() - 16);
        };
        QImage best;
        for (const QString &name : group.entryList(QDir::Files)) {
            const QImage image(group.filePath(name));
            if (!image.isNull() && (best.isNull() || distance(image) < distance(best)))
                best = image;
        }
        return best;
    }();
    if (nearest16.isNull())
        return {};
    // Stretched pixel by pixel, as the system stretches an icon image to another size.
    return QIcon(QPixmap::fromImage(
        nearest16.size() == QSize(size, size)
            ? nearest16
            : nearest16.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

TfrmThreeColorTable::TfrmThreeColorTable(TfrmZuThreeButtons *frame)
    : TfrmZuNoCaption(frame)
    , m_frame(frame)
{
    // A child window inside the frame, not a dialog of its own.
    setWindowFlags(Qt::Widget);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmThreeColorTable"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(FormColor));
    setPalette(pal);

    imgTable = new QLabel(ClientArea());
    imgTable->setObjectName(QStringLiteral("imgTable"));
    imgTable->setGeometry(1, 0, TableWidth, TableHeight);
    imgTable->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgTable->installEventFilter(this);
    imgTable->setAccessibleName(QStringLiteral("색상표"));
    imgTable->setAccessibleDescription(
        QStringLiteral("누르거나 끄는 곳의 색이 캡션 글자 색이 됩니다"));

    Label1 = new QLabel(QStringLiteral("색상"), ClientArea());
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setStyleHint(QFont::AnyStyle);
    labelFont.setFamilies({QStringLiteral("Arial")});
    labelFont.setPixelSize(12);
    labelFont.setBold(true);
    Label1->setFont(labelFont);
    QPalette labelPal = Label1->palette();
    labelPal.setColor(QPalette::WindowText, ColorToQColor(0xD85E5A));
    Label1->setPalette(labelPal);
    Label1->setGeometry(3, 65, 42, 14);

    pnlThumb = new TzuBlankPanel(ClientArea());
    pnlThumb->setObjectName(QStringLiteral("pnlThumb"));
    pnlThumb->setGeometry(48, 65, 173, 14);
    pnlThumb->installEventFilter(this);
    pnlThumb->setAccessibleName(QStringLiteral("색상 조절"));
    pnlThumb->setAccessibleDescription(
        QStringLiteral("왼쪽, 오른쪽 화살표와 Page Up, Page Down, Home, End 로 조절합니다"));
    // Also turned from the keyboard.
    pnlThumb->setFocusPolicy(Qt::StrongFocus);

    btnClose = new TzuImageListButton(ClientArea());
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(223, 64, 16, 17);
    btnClose->setFocusPolicy(Qt::NoFocus);
    btnClose->setAccessibleName(QStringLiteral("닫기"));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    frmZuNoCaptionCreate();
}

void TfrmThreeColorTable::frmZuNoCaptionCreate()
{
    TakeCloseImages();
    m_table = TablePicture();
    imgTable->setPixmap(QPixmap::fromImage(m_table));
    // Truncates toward zero.
    m_thumbPos = m_frame->Hue() / 2;
    SetClientSize(249, btnClose->y() + btnClose->height() + 10);
    m_thumb = ResourceImage(QStringLiteral("BMP_H_THUMB"));
    connect(pnlThumb, &TzuBlankPanel::OnPaint, this, &TfrmThreeColorTable::pnlThumbPaint);
}

TfrmThreeColorTable::~TfrmThreeColorTable()
{
    disconnect(pnlThumb, &TzuBlankPanel::OnPaint, this, &TfrmThreeColorTable::pnlThumbPaint);
}

void TfrmThreeColorTable::closeEvent(QCloseEvent *event)
{
    TfrmZuNoCaption::closeEvent(event);
    // Deleted on close: the frame's reference follows it.
    event->accept();
}

void TfrmThreeColorTable::TakeCloseImages()
{
    const TzuImageListButton *source = m_frame->btnClose;
    btnClose->SetImageList(source->ImageList());
    for (int look : {TzuImageListButton::LookNormal, TzuImageListButton::LookPressed,
                     TzuImageListButton::LookMouseOver, TzuImageListButton::LookMask})
        btnClose->SetIndex(look, source->Index(look));
}

QImage TfrmThreeColorTable::TablePicture()
{
    QImage table(800, 800, QImage::Format_RGB888);
    table.fill(Qt::black);
    QPainter p(&table);
    for (int k = 0; k < 4; ++k) {
        TRgb color{quint8(255 - 50 * k), 0, 0};
        for (int x = 0; x < TableWidth; ++x) {
            p.fillRect(x, 10 * k, 1, 10, QColor(color.r, color.g, color.b));
            // From the rounded colour every time, so the hue drifts from a 240th per column.
            THsl hsl = RgbToHsl(color.r, color.g, color.b);
            color = HslToRgb(hsl.h + 1.0 / 240, hsl.s, hsl.l);
        }
    }
    for (int x = 0; x < TableWidth; ++x)
        p.fillRect(x, 40, 1, 10, QColor(x + 2, x + 2, x + 2));
    for (int k = 0; k < 14; ++k) {
        const QRect swatch(17 * k, 50, 18, 10);
        p.fillRect(swatch, QColor(1, 1, 1));
        p.fillRect(swatch.adjusted(1, 1, -1, -1), ColorToQColor(Swatches[k]));
    }
    return table;
}

TColor TfrmThreeColorTable::ColorAt(QPoint at) const
{
    const QPoint inside(std::clamp(at.x(), 0, TableWidth - 1),
                        std::clamp(at.y(), 0, TableHeight - 1));
    return QColorToColor(m_table.pixelColor(inside));
}

void TfrmThreeColorTable::Pick(QPoint at)
{
    m_frame->SetCaptionTextColor(ColorAt(at));
    m_frame->pnlCaption->update();
}

void TfrmThreeColorTable::pnlThumbPaint(TzuBlankPanel *sender, QPainter *canvas)
{
    // Drawn anew only when the knob moved or the panel changed size.
    if (m_slider.size() != sender->size()) {
        m_slider = QPixmap(sender->size());
        const int w = m_slider.width();
        QPainter p(&m_slider);
        p.fillRect(m_slider.rect(), ColorToQColor(FormColor));
        p.fillRect(0, 7, w, 1, ColorToQColor(0x808080));
        p.fillRect(0, 8, w, 1, ColorToQColor(0xFFFFFF));
        p.drawImage(m_thumbPos, 0, m_thumb);
    }
    canvas->drawPixmap(0, 0, m_slider);
}

void TfrmThreeColorTable::pnlThumbMouseDown(QMouseEvent *event)
{
    const int x = int(event->position().x());
    if (x < m_thumbPos || x > m_thumbPos + GrabZone - 1)
        return;
    m_dragging = true;
    m_dragStartX = int(event->globalPosition().x());
    m_dragStartPos = m_thumbPos;
}

int TfrmThreeColorTable::ThumbKeyStep(int key)
{
    // Far enough to reach either end from anywhere; SetThumb clamps.
    constexpr int whole = 1000;
    switch (key) {
    case Qt::Key_Left: return -1;
    case Qt::Key_Right: return 1;
    case Qt::Key_PageUp: return -10;
    case Qt::Key_PageDown: return 10;
    case Qt::Key_Home: return -whole;
    case Qt::Key_End: return whole;
    default: return 0;
    }
}

void TfrmThreeColorTable::SetThumb(int p)
{
    p = std::clamp(p, 0, pnlThumb->width() - ThumbWidth);
    if (p == m_thumbPos)
        return;
    m_thumbPos = p;
    m_slider = QPixmap();
    pnlThumb->update();
    m_frame->SetHue(p * 2);
    TakeCloseImages();
}

bool TfrmThreeColorTable::eventFilter(QObject *watched, QEvent *event)
{
    const auto mouse = [event] { return static_cast<QMouseEvent *>(event); };
    if (watched == imgTable) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // The press captures the pointer: moves come here also from outside the table.
            m_picking = true;
            Pick(mouse()->position().toPoint());
            return true;
        case QEvent::MouseMove:
            if (m_picking)
                Pick(mouse()->position().toPoint());
            return true;
        case QEvent::MouseButtonRelease:
            if (mouse()->buttons() == Qt::NoButton)
                m_picking = false;
            return true;
        default: break;
        }
    } else if (watched == pnlThumb) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: pnlThumbMouseDown(mouse()); return true;
        case QEvent::MouseMove:
            if (m_dragging)
                SetThumb(m_dragStartPos + int(mouse()->globalPosition().x()) - m_dragStartX);
            return true;
        case QEvent::MouseButtonRelease:
            if (mouse()->buttons() == Qt::NoButton)
                m_dragging = false;
            return true;
        case QEvent::KeyPress: {
            const int step = ThumbKeyStep(static_cast<QKeyEvent *>(event)->key());
            if (step == 0)
                break;
            SetThumb(m_thumbPos + step);
            return true;
        }
        default: break;
        }
    }
    return TfrmZuNoCaption::eventFilter(watched, event);
}
