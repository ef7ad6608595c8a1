#include "book.h"

#include "ModifyData.h"
#include "PhoneFun.h"
#include "Record.h"
#include "platform/Desktop.h"
#include "platform/DialogService.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "widgets/funcs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>

namespace {

constexpr int ValueX = 69;       // where every row's values start
constexpr int CaptionRight = 65; // caption column, right-aligned
constexpr int RowHeight = 22;
constexpr int TextBoxWidth = 390;
constexpr int TextBoxHeight = 76;

// Draws the decorative strip through its owner.
class PaintBox : public QWidget
{
public:
    PaintBox(QWidget *parent, std::function<void(QPainter &)> paint)
        : QWidget(parent)
        , m_paint(std::move(paint))
    {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_paint(painter);
    }

private:
    std::function<void(QPainter &)> m_paint;
};

using Click = RecordField::Click;

Click clickOf(const QString &field)
{
    const RecordField *f = FindRecordField(field);
    return f ? f->click : Click::None;
}

// What the keys on a focused value do, for a screen reader to tell.
QString keyHelpOf(const QString &field)
{
    const RecordField *f = FindRecordField(field);
    switch (f ? f->click : Click::None) {
    case Click::Open: return QStringLiteral("Enter: 열기, Ctrl+C: 복사");
    case Click::Copy:
        if (f->dialled)
            return QStringLiteral(
                "Enter 또는 Ctrl+C: 복사, Ctrl+Enter: 다이얼 프로그램으로 보내기");
        return QStringLiteral("Enter 또는 Ctrl+C: 복사");
    case Click::CopyAccount: return QStringLiteral("Enter 또는 Ctrl+C: 복사");
    case Click::None: break;
    }
    return QStringLiteral("Ctrl+C: 복사");
}

// A row's caption as the field table has it.
QString viewCaption(const char16_t *field)
{
    return QString::fromUtf16(FindRecordField(field)->viewCaption);
}

QString spokenNameOf(const QString &field)
{
    const RecordField *f = FindRecordField(field);
    return f ? f->SpokenName() : field;
}

// A value label shows a value, is read as its field's name and the value ("핸드폰
// 010-2345-6789"), and takes the keyboard focus only while it holds something.
void showValue(QLabel *label, const QString &value)
{
    label->setText(value);
    const QString name = spokenNameOf(label->objectName());
    label->setAccessibleName(value.isEmpty() ? name : name + u' ' + value);
    label->setFocusPolicy(value.isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
}

} // namespace

TfrmBook::TfrmBook(QWidget *parent)
    : QFrame(parent)
{
    resize(486, 617);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(0xE7EFEF));
    setPalette(pal);
    setAutoFillBackground(true);

    pntBlack = new PaintBox(this, [this](QPainter &p) { pntBlackPaint(p); });
    pntBlack->setObjectName(QStringLiteral("pntBlack"));
    pntBlack->setGeometry(4, 0, 4, height());

    // Title row
    labName = new QLabel(this);
    labName->setObjectName(QStringLiteral("labName"));
    SetTag(labName, NotAFieldTag);
    labName->setTextFormat(Qt::PlainText);
    labName->setGeometry(14, 12, TitleWidth, 14);
    QFont bold = labName->font();
    bold.setBold(true);
    labName->setFont(bold);
    labName->setCursor(Qt::PointingHandCursor);

    zuGradiColors2 = NewGradiColors2(this);
    zuGradiButton1 = new TzuGradiButton(QStringLiteral("수정"), this);
    zuGradiButton1->setObjectName(QStringLiteral("zuGradiButton1"));
    zuGradiButton1->setGeometry(476 - 70, 7, 60, 22);
    zuGradiButton1->setEnabled(false);
    zuGradiButton1->SetColors(zuGradiColors2);
    zuGradiButton1->setAccessibleDescription(QStringLiteral("보이는 자료를 고칩니다"));

    int y = 36;
    m_blockLines << y;
    y += 6;
    // Personal block
    AddCaption(viewCaption(u"Hand"), CaptionRight, y, 14);
    AddValue(u"Hand", ValueX, y, 106, 14);
    AddCaption(viewCaption(u"MUrl"), 215, y, 14);
    AddValue(u"MUrl", 220, y, 230, 14);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"EMail"), CaptionRight, y);
    AddValue(u"EMail", ValueX, y, 225);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"BNK1"), CaptionRight, y);
    AddValue(u"BNK1", ValueX, y, 78);
    AddValue(u"BNM1", 150, y, 100);
    AddValue(u"BCT1", 253, y, 177);
    y += RowHeight - 4;
    AddValue(u"BNK2", ValueX, y, 78);
    AddValue(u"BNM2", 150, y, 100);
    AddValue(u"BCT2", 253, y, 177);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"Memo"), CaptionRight, y);
    Memo = AddTextBox(u"Memo", y - 2);
    y += TextBoxHeight + 6;

    // Company block
    m_blockLines << y;
    y += 4;
    AddHeading(QStringLiteral("회사"), y);
    y += RowHeight;
    AddCaption(viewCaption(u"ONme"), CaptionRight, y);
    AddValue(u"ONme", ValueX, y, 73);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"ODDD"), CaptionRight, y);
    AddValue(u"ODDD", ValueX, y, 106);
    AddCaption(viewCaption(u"OFax"), 232, y);
    AddValue(u"OFax", 236, y, 108);
    AddCaption(viewCaption(u"OPst"), 380, y);
    AddValue(u"OPst", 384, y, 73);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"OPh1"), CaptionRight, y);
    AddValue(u"OPh1", ValueX, y, 106);
    AddCaption(viewCaption(u"ODir"), 232, y);
    AddValue(u"ODir", 236, y, 108);
    AddCaption(viewCaption(u"OCls"), 380, y);
    AddValue(u"OCls", 384, y, 73);
    y += RowHeight - 4;
    AddValue(u"OPh2", ValueX, y, 106);
    AddCaption(viewCaption(u"OInt"), 232, y);
    AddValue(u"OInt", 236, y, 108);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"BNK3"), CaptionRight, y);
    AddValue(u"BNK3", ValueX, y, 81);
    AddValue(u"BNM3", 153, y, 100);
    AddValue(u"BCT3", 256, y, 197);
    y += RowHeight - 4;
    AddValue(u"BNK4", ValueX, y, 81);
    AddValue(u"BNM4", 153, y, 100);
    AddValue(u"BCT4", 256, y, 197);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"OZip"), CaptionRight, y);
    AddValue(u"OZip", ValueX, y, 61);
    AddCaption(viewCaption(u"OUrl"), 156, y);
    AddValue(u"OUrl", 160, y, 296);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"OAdd"), CaptionRight, y);
    OAdd = AddTextBox(u"OAdd", y - 2);
    y += TextBoxHeight + 6;

    // Home block
    m_blockLines << y;
    y += 4;
    AddHeading(QStringLiteral("집"), y);
    y += RowHeight;
    AddCaption(viewCaption(u"HZip"), CaptionRight, y);
    AddValue(u"HZip", ValueX, y, 51);
    AddCaption(viewCaption(u"HDDD"), 150, y);
    AddValue(u"HDDD", 152, y, 56);
    AddCaption(viewCaption(u"HPh1"), 250, y);
    AddValue(u"HPh1", 252, y, 99);
    AddCaption(viewCaption(u"HPh2"), 366, y);
    AddValue(u"HPh2", 368, y, 99);
    y += RowHeight;
    m_rowLines << y - 5;
    AddCaption(viewCaption(u"HAdd"), CaptionRight, y);
    HAdd = AddTextBox(u"HAdd", y - 2);

    ClearTitle();
}

QLabel *TfrmBook::AddCaption(const QString &text, int right, int y, int height)
{
    auto *label = new QLabel(text, this);
    SetTag(label, NotAFieldTag);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, ColorToQColor(0x919191));
    label->setPalette(pal);
    const int width = 64;
    label->setGeometry(right - width, y, width, height);
    // Right-aligned text leaves the left of the label empty, where a value may lie; the value
    // must get every click there.
    label->lower();
    return label;
}

QLabel *TfrmBook::AddValue(const char16_t *field, int x, int y, int width, int height)
{
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromUtf16(field));
    SetTag(label, FieldTag);
    // Record values are text, never markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setGeometry(x, y, width, height);
    label->setFixedSize(width, height);
    label->installEventFilter(this);
    if (clickOf(label->objectName()) != Click::None)
        label->setCursor(Qt::PointingHandCursor);
    label->setAccessibleDescription(keyHelpOf(label->objectName()));
    // The focused value is marked as a selection is.
    label->setStyleSheet(QStringLiteral("QLabel:focus { background-color: palette(highlight); "
                                        "color: palette(highlighted-text); }"));
    showValue(label, QString());
    return label;
}

QPlainTextEdit *TfrmBook::AddTextBox(const char16_t *field, int y)
{
    m_boxFrames << QRect(ValueX, y, TextBoxWidth, TextBoxHeight);
    auto *box = new QPlainTextEdit(this);
    box->setObjectName(QString::fromUtf16(field));
    SetTag(box, FieldTag);
    box->setReadOnly(true);
    // Read and copied from the keyboard too.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setAccessibleName(spokenNameOf(box->objectName()));
    box->setFrameShape(QFrame::NoFrame);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, ColorToQColor(0xE7EFEF));
    box->setPalette(pal);
    box->setGeometry(ValueX + 1, y + 1, TextBoxWidth - 2, TextBoxHeight - 2);
    return box;
}

QLabel *TfrmBook::AddHeading(const QString &text, int y)
{
    auto *label = new QLabel(text, this);
    SetTag(label, NotAFieldTag);
    label->setTextFormat(Qt::PlainText);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setCursor(Qt::PointingHandCursor);
    label->setGeometry(14, y, 60, 14);
    return label;
}

QLabel *TfrmBook::ValueLabel(const QString &field) const
{
    for (QLabel *label : findChildren<QLabel *>(field, Qt::FindDirectChildrenOnly))
        if (TagOf(label) != NotAFieldTag)
            return label;
    return nullptr;
}

QString TfrmBook::Text(const char16_t *field) const
{
    const QLabel *label = ValueLabel(QString::fromUtf16(field));
    return label ? label->text() : QString();
}

void TfrmBook::ClearTitle()
{
    labName->clear();
}

void TfrmBook::ClearRecord()
{
    labName->clear();
    for (QLabel *label : findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
        if (TagOf(label) != NotAFieldTag)
            showValue(label, QString());
    for (QPlainTextEdit *box :
         findChildren<QPlainTextEdit *>(QString(), Qt::FindDirectChildrenOnly))
        box->clear();
}

void TfrmBook::ShowRecord(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(FileSystem::resolve(path)).isFile()) {
        ClearRecord();
        return;
    }
    labName->setText(RecordDisplayName(path));
    LoadRecordIntoView(*this, path);
}

void TfrmBook::ModifyRecord(const QString &path)
{
    if (path.isEmpty())
        return;
    TfrmModifyData dialog(window());
    dialog.LoadRecord(path);
    // Shown again even when the path did not change, so that the saved values appear.
    if (DialogService::current().execDialog(dialog) == QDialog::Accepted)
        ShowRecord(path);
}

void LoadRecordIntoView(TfrmBook &view, const QString &path)
{
    const Record record = Record::Read(path, IniDocument::Length::Cut);
    for (QLabel *label : view.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (TagOf(label) == NotAFieldTag || label->objectName().isEmpty())
            continue;
        showValue(label, record.Value(label->objectName()));
    }
    for (QPlainTextEdit *box :
         view.findChildren<QPlainTextEdit *>(QString(), Qt::FindDirectChildrenOnly)) {
        box->clear();
        const QStringList lines = record.Lines(box->objectName());
        if (!lines.isEmpty())
            box->setPlainText(lines.join(u'\n'));
        QTextCursor cursor = box->textCursor();
        cursor.movePosition(QTextCursor::Start);
        box->setTextCursor(cursor);
        box->ensureCursorVisible();
    }
}

QString TfrmBook::SiblingProgramPath() const
{
    const QString dir = Paths::WithSeparator(
        ProgramDir.isEmpty() ? QDir::toNativeSeparators(QCoreApplication::applicationDirPath())
                             : ProgramDir);
#ifdef Q_OS_WIN
    return dir + QStringLiteral("Ferrowind.exe");
#else
    return dir + QStringLiteral("Ferrowind");
#endif
}

bool TfrmBook::HandOverMode(Qt::KeyboardModifiers modifiers) const
{
    return (modifiers & Qt::ControlModifier) && QFileInfo(SiblingProgramPath()).isFile();
}

void TfrmBook::HandOver(const QString &number)
{
    QString name = labName->text();
    name.replace(u' ', u'_');
    Desktop::current().startProgram(SiblingProgramPath(), {name, number});
}

QString TfrmBook::CopiedText(const QLabel *label) const
{
    const RecordField *f = FindRecordField(label->objectName());
    if (f && f->areaCode)
        return Text(f->areaCode) + u'-' + label->text();
    return label->text();
}

void TfrmBook::HandClick(QLabel *label, Qt::KeyboardModifiers modifiers)
{
    const RecordField *f = FindRecordField(label->objectName());
    if (f && f->dialled && HandOverMode(modifiers))
        HandOver(CopiedText(label));
    else
        Desktop::current().setClipboardText(CopiedText(label));
}

void TfrmBook::MUrlClick(QLabel *label)
{
    if (label->text().isEmpty())
        return;
    if (OpenDocument)
        OpenDocument(label->text());
    else
        Desktop::current().openDocument(label->text());
}

void TfrmBook::labBankClick(QLabel *label)
{
    Desktop::current().setClipboardText(label->text());
}

void TfrmBook::ValueClick(QLabel *label, Qt::KeyboardModifiers modifiers)
{
    switch (clickOf(label->objectName())) {
    case Click::Copy: HandClick(label, modifiers); break;
    case Click::Open: MUrlClick(label); break;
    case Click::CopyAccount: labBankClick(label); break;
    case Click::None: break;
    }
}

bool TfrmBook::ValueKeyPress(QLabel *label, const QKeyEvent *key)
{
    if (key->matches(QKeySequence::Copy)) {
        Desktop::current().setClipboardText(CopiedText(label));
        return true;
    }
    // Enter (with Ctrl: to the dialling program) and Space do what a click does.
    const Qt::KeyboardModifiers others =
        key->modifiers() & ~(Qt::ControlModifier | Qt::KeypadModifier);
    if (others != Qt::NoModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: ValueClick(label, key->modifiers()); return true;
    default: return false;
    }
}

bool TfrmBook::eventFilter(QObject *watched, QEvent *event)
{
    auto *label = qobject_cast<QLabel *>(watched);
    if (label && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton
            && label->rect().contains(mouse->position().toPoint()))
            ValueClick(label, Desktop::current().keyboardModifiers());
    } else if (label && event->type() == QEvent::KeyPress) {
        if (ValueKeyPress(label, static_cast<QKeyEvent *>(event)))
            return true;
    }
    return QFrame::eventFilter(watched, event);
}

void TfrmBook::pntBlackPaint(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(ColorToQColor(0xAFCAD8));
    painter.setBrush(ColorToQColor(0xBDD3DF));
    const int h = pntBlack->height();
    painter.drawRoundedRect(QRect(0, 10, pntBlack->width() - 1, h - 20 - 1), 1, 1);
}

void TfrmBook::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    pntBlack->setGeometry(4, 0, 4, height());
}

void TfrmBook::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const int left = 12;
    const int right = width() - 8;
    painter.setPen(ColorToQColor(0xEACEBF));
    for (int y : std::as_const(m_rowLines))
        painter.drawLine(left, y, right, y);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ColorToQColor(0xE4C0AD));
    for (int y : std::as_const(m_blockLines))
        painter.drawRect(left, y, right - left, 2);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(ColorToQColor(0xCCD2D5));
    for (const QRect &r : std::as_const(m_boxFrames))
        painter.drawRect(r.adjusted(0, 0, -1, -1));
}
