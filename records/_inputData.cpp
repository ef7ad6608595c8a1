#include "_inputData.h"

#include "Record.h"
#include "RecordStore.h"
#include "widgets/funcs.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include <array>
#include <limits>

namespace {

constexpr int LabelX = 8;
constexpr int BoxX = 70;
constexpr int BoxHeight = 20;
constexpr int TextBoxWidth = 418;
constexpr int TextBoxHeight = 75;
constexpr quint32 White = 0xFFFFFF;
constexpr quint32 Window = 0xFF000005; // the system window colour
constexpr quint32 Bank = 0xE6EDFF;
constexpr quint32 Office = 0xFEFEED;
constexpr quint32 Post = 0xECFDEA;

// A box is read by its field's full name: the bank boxes have no caption of their own, and a
// caption's accelerator is no part of the name.
void NameAfterField(QWidget *box)
{
    if (const RecordField *field = FindRecordField(box->objectName()))
        box->setAccessibleName(field->SpokenName());
}

// The caption a field's box has in the form, from the field table.
QString InputCaption(const char16_t *field)
{
    return QString::fromUtf16(FindRecordField(QString::fromUtf16(field))->inputCaption);
}

} // namespace

TfrmInputData::TfrmInputData(QWidget *parent, int top, int width, int height)
    : TfrmBlueDialog(parent)
{
    SetClientSize(width, height);
    int y = Top + top + 10;
    // Personal block. Boxes are made in field order: that is the order they are saved in.
    AddLineField(u"Hand", BoxX, y, 127, Window, LabelX, 60);
    AddLineField(u"MUrl", 252, y, 235, Window, 205, 45);
    y += 24;
    AddLineField(u"EMail", BoxX, y, 311, Window, LabelX, 60);
    y += 24;
    // Two bank accounts under their column headers; fields: bank, holder, account, twice.
    auto bankAccounts = [this](int y, std::array<const char16_t *, 6> fields) {
        AddCaption(QStringLiteral("은행이름"), BoxX, y, 99, nullptr);
        AddCaption(QStringLiteral("예금주"), 172, y, 124, nullptr);
        AddCaption(QStringLiteral("계좌"), 299, y, 190, nullptr);
        y += 16;
        AddCaption(QStringLiteral("은행계좌"), LabelX, y, 60, nullptr);
        for (int row = 0; row < 2; ++row, y += 22) {
            AddBox(fields[3 * row], BoxX, y, 99, Bank);
            AddBox(fields[3 * row + 1], 172, y, 124, Bank);
            AddBox(fields[3 * row + 2], 299, y, 190, Bank);
        }
    };
    bankAccounts(y, {u"BNK1", u"BNM1", u"BCT1", u"BNK2", u"BNM2", u"BCT2"});
    y += 16 + 22 + 26;
    AddTextField(u"Memo", y);
    y += TextBoxHeight + 6;

    // Company block
    AddBand(QStringLiteral("회사"), y);
    y += 22;
    AddLineField(u"ONme", BoxX, y, 217, White, LabelX, 60);
    y += 24;
    const int rowDDD = y;
    const int rowPh1 = y + 24;
    const int rowPh2 = y + 48;
    AddLineField(u"ODDD", BoxX, rowDDD, 45, White, LabelX, 60);
    AddLineField(u"OPh1", BoxX, rowPh1, 108, White, LabelX, 60);
    AddLineField(u"OPh2", BoxX, rowPh2, 108, White, LabelX, 60);
    AddLineField(u"OFax", 250, rowDDD, 108, Office, 184, 64);
    AddLineField(u"ODir", 250, rowPh1, 108, Office, 184, 64);
    AddLineField(u"OInt", 250, rowPh2, 55, Office, 184, 64);
    AddLineField(u"OPst", 404, rowDDD, 81, Office, 362, 40);
    AddLineField(u"OCls", 404, rowPh1, 81, Office, 362, 40);
    y = rowPh2 + 24;
    bankAccounts(y, {u"BNK3", u"BNM3", u"BCT3", u"BNK4", u"BNM4", u"BCT4"});
    y += 16 + 22 + 24;
    AddLineField(u"OZip", BoxX, y, 64, Post, LabelX, 60);
    AddLineField(u"OUrl", 184, y, 303, White, 140, 42);
    y += 24;
    AddTextField(u"OAdd", y);
    y += TextBoxHeight + 6;

    // Home block
    AddBand(QStringLiteral("집"), y);
    y += 22;
    // Four boxes in a row: each caption keeps a few pixels from the boxes on either side, and
    // the row ends inside the right edge of the boxes above it.
    AddLineField(u"HZip", BoxX, y, 50, Post, LabelX, 60);
    AddLineField(u"HDDD", 160, y, 46, White, 124, 32);
    AddLineField(u"HPh1", 252, y, 109, White, 210, 38);
    AddLineField(u"HPh2", 377, y, 108, White, 365, 8);
    y += 24;
    AddTextField(u"HAdd", y);

    btnConfirm->setText(QStringLiteral("저장 &V"));
    btnCancel->setText(QStringLiteral("취소 &C"));
    btnConfirm->setGeometry(width - 142, height - 33, 62, 23);
    btnCancel->setGeometry(width - 72, height - 33, 62, 23);

    ChainTabOrder(nullptr, nullptr);
}

void TfrmInputData::ChainTabOrder(QWidget *first, QWidget *last)
{
    QWidget *previous = first;
    for (const RecordField &f : RecordFields) {
        QWidget *box = ClientArea()->findChild<QWidget *>(f.Name(), Qt::FindDirectChildrenOnly);
        if (previous)
            setTabOrder(previous, box);
        previous = box;
    }
    setTabOrder(previous, btnConfirm);
    setTabOrder(btnConfirm, btnCancel);
    if (last)
        setTabOrder(btnCancel, last);
}

QLineEdit *TfrmInputData::AddBox(const char16_t *field, int x, int y, int width, quint32 colour)
{
    auto *box = new QLineEdit(ClientArea());
    box->setObjectName(QString::fromUtf16(field));
    SetTag(box, FieldTag);
    // A record may hold a longer value than a line box takes by default; it must come back whole.
    box->setMaxLength(std::numeric_limits<int>::max());
    NameAfterField(box);
    box->setGeometry(x, y, width, BoxHeight);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, ColorToQColor(colour));
    box->setPalette(pal);
    return box;
}

void TfrmInputData::AddLineField(const char16_t *field, int x, int y, int width, quint32 colour,
                                 int captionX, int captionWidth)
{
    QLineEdit *box = AddBox(field, x, y, width, colour);
    AddCaption(InputCaption(field), captionX, y, captionWidth, box);
}

void TfrmInputData::AddTextField(const char16_t *field, int y)
{
    QPlainTextEdit *box = AddTextBox(field, y);
    AddCaption(InputCaption(field), LabelX, y, 60, box);
}

QPlainTextEdit *TfrmInputData::AddTextBox(const char16_t *field, int y)
{
    auto *box = new QPlainTextEdit(ClientArea());
    box->setObjectName(QString::fromUtf16(field));
    SetTag(box, FieldTag);
    box->setGeometry(BoxX, y, TextBoxWidth, TextBoxHeight);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box->setTabChangesFocus(true);
    NameAfterField(box);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, ColorToQColor(Post));
    box->setPalette(pal);
    return box;
}

QLabel *TfrmInputData::AddCaption(const QString &text, int x, int y, int width, QWidget *buddy)
{
    auto *label = new QLabel(text, ClientArea());
    SetTag(label, NotAFieldTag);
    label->setGeometry(x, y, width, buddy ? BoxHeight : 14);
    if (buddy)
        label->setBuddy(buddy);
    else
        label->setTextFormat(Qt::PlainText);
    return label;
}

void TfrmInputData::AddBand(const QString &text, int y)
{
    m_bands << QRect(4, y, ClientSize().width() - 8, 18);
    auto *label = new QLabel(text, ClientArea());
    SetTag(label, NotAFieldTag);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setGeometry(12, y + 2, 80, 14);
}

QLineEdit *TfrmInputData::Box(const QString &field) const
{
    return ClientArea()->findChild<QLineEdit *>(field, Qt::FindDirectChildrenOnly);
}

QPlainTextEdit *TfrmInputData::TextBox(const QString &field) const
{
    return ClientArea()->findChild<QPlainTextEdit *>(field, Qt::FindDirectChildrenOnly);
}

Record TfrmInputData::FormRecord() const
{
    Record record;
    for (QObject *child : ClientArea()->children()) {
        if (child->objectName().isEmpty() || TagOf(child) != FieldTag)
            continue;
        if (auto *line = qobject_cast<QLineEdit *>(child))
            record.SetValue(line->objectName(), line->text());
        else if (auto *box = qobject_cast<QPlainTextEdit *>(child))
            record.SetLines(box->objectName(), TextBoxLines(box));
    }
    return record;
}

void TfrmInputData::LoadForm(const Record &record)
{
    for (QObject *child : ClientArea()->children()) {
        if (child->objectName().isEmpty() || TagOf(child) != FieldTag)
            continue;
        if (auto *line = qobject_cast<QLineEdit *>(child)) {
            line->setText(record.Value(line->objectName()));
        } else if (auto *box = qobject_cast<QPlainTextEdit *>(child)) {
            const QStringList lines = record.Lines(box->objectName());
            if (lines.isEmpty())
                box->clear();
            else
                box->setPlainText(lines.join(u'\n'));
        }
    }
}

void TfrmInputData::SaveFields(const QString &path)
{
    RecordStore::SaveRecord(path, FormRecord());
}

void TfrmInputData::paintEvent(QPaintEvent *event)
{
    TfrmBlueDialog::paintEvent(event);
    QPainter painter(this);
    painter.translate(ClientOrigin());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x99, 0x99, 0x99));
    painter.setBrush(ColorToQColor(0xBBBBBB));
    for (const QRect &band : std::as_const(m_bands))
        painter.drawRoundedRect(QRectF(band).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setPen(ColorToQColor(0xB4724E));
    painter.setBrush(ColorToQColor(0xEFE1DA));
    for (const QRect &band : std::as_const(m_titleBand))
        painter.drawRoundedRect(QRectF(band).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

QStringList TextBoxLines(const QPlainTextEdit *box)
{
    QStringList lines;
    const QTextDocument *doc = box->document();
    const QTextOption::WrapMode wrap = box->wordWrapMode();
    const bool wraps = box->lineWrapMode() != QPlainTextEdit::NoWrap;
    // A box that has not been shown yet has no viewport size; work it out from the box.
    int viewportWidth = box->viewport()->width();
    if (!box->isVisible() || box->testAttribute(Qt::WA_PendingResizeEvent)) {
        viewportWidth = box->contentsRect().width();
        if (box->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            viewportWidth -= box->verticalScrollBar()->sizeHint().width();
    }
    const qreal width = viewportWidth - 2 * doc->documentMargin();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        if (!wraps || text.isEmpty() || width <= 0) {
            lines.append(text);
            continue;
        }
        QTextLayout layout(text, box->font());
        QTextOption option;
        option.setWrapMode(wrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.append(text.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
    }
    // A last line break with nothing after it does not make a line of its own.
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}
