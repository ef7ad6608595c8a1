#include "_inputData.h"

#include "RecordFile.h"
#include "widgets/funcs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

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

} // namespace

TfrmInputData::TfrmInputData(QWidget *parent, int top, int width, int height)
    : TfrmBlueDialog(parent)
{
    SetClientSize(width, height);
    int y = Top + top + 10;
    // Personal block. Boxes are made in field order: that is the order they are saved in.
    QLineEdit *hand = AddBox(u"Hand", BoxX, y, 127, Window);
    AddCaption(QStringLiteral("핸드폰 &H"), LabelX, y, 60, hand);
    QLineEdit *murl = AddBox(u"MUrl", 252, y, 235, Window);
    AddCaption(QStringLiteral("URL &5"), 205, y, 45, murl);
    y += 24;
    QLineEdit *email = AddBox(u"EMail", BoxX, y, 311, Window);
    AddCaption(QStringLiteral("&E-Mail"), LabelX, y, 60, email);
    y += 24;
    auto bankHeaders = [this](int y) {
        AddCaption(QStringLiteral("은행이름"), BoxX, y, 99, nullptr);
        AddCaption(QStringLiteral("예금주"), 172, y, 124, nullptr);
        AddCaption(QStringLiteral("계좌"), 299, y, 190, nullptr);
    };
    bankHeaders(y);
    y += 16;
    QLineEdit *bnk1 = AddBox(u"BNK1", BoxX, y, 99, Bank);
    AddCaption(QStringLiteral("은행계좌"), LabelX, y, 60, nullptr);
    AddBox(u"BNM1", 172, y, 124, Bank);
    AddBox(u"BCT1", 299, y, 190, Bank);
    y += 22;
    AddBox(u"BNK2", BoxX, y, 99, Bank);
    AddBox(u"BNM2", 172, y, 124, Bank);
    AddBox(u"BCT2", 299, y, 190, Bank);
    Q_UNUSED(bnk1);
    y += 26;
    QPlainTextEdit *memo = AddTextBox(u"Memo", y);
    AddCaption(QStringLiteral("메모 &M"), LabelX, y, 60, memo);
    y += TextBoxHeight + 6;

    // Company block
    AddBand(QStringLiteral("회사"), y);
    y += 22;
    QLineEdit *onme = AddBox(u"ONme", BoxX, y, 217, White);
    AddCaption(QStringLiteral("이름 &O"), LabelX, y, 60, onme);
    y += 24;
    const int rowDDD = y;
    const int rowPh1 = y + 24;
    const int rowPh2 = y + 48;
    QLineEdit *oddd = AddBox(u"ODDD", BoxX, rowDDD, 45, White);
    AddCaption(QStringLiteral("DDD &3"), LabelX, rowDDD, 60, oddd);
    QLineEdit *oph1 = AddBox(u"OPh1", BoxX, rowPh1, 108, White);
    AddCaption(QStringLiteral("전화 &1"), LabelX, rowPh1, 60, oph1);
    QLineEdit *oph2 = AddBox(u"OPh2", BoxX, rowPh2, 108, White);
    AddCaption(QStringLiteral("전화 &2"), LabelX, rowPh2, 60, oph2);
    QLineEdit *ofax = AddBox(u"OFax", 250, rowDDD, 108, Office);
    AddCaption(QStringLiteral("팩스 &F"), 184, rowDDD, 64, ofax);
    QLineEdit *odir = AddBox(u"ODir", 250, rowPh1, 108, Office);
    AddCaption(QStringLiteral("직통전화 &T"), 184, rowPh1, 64, odir);
    QLineEdit *oint = AddBox(u"OInt", 250, rowPh2, 55, Office);
    AddCaption(QStringLiteral("내선번호 &I"), 184, rowPh2, 64, oint);
    QLineEdit *opst = AddBox(u"OPst", 404, rowDDD, 81, Office);
    AddCaption(QStringLiteral("부서 &D"), 362, rowDDD, 40, opst);
    QLineEdit *ocls = AddBox(u"OCls", 404, rowPh1, 81, Office);
    AddCaption(QStringLiteral("직위 &G"), 362, rowPh1, 40, ocls);
    y = rowPh2 + 24;
    bankHeaders(y);
    y += 16;
    AddBox(u"BNK3", BoxX, y, 99, Bank);
    AddCaption(QStringLiteral("은행계좌"), LabelX, y, 60, nullptr);
    AddBox(u"BNM3", 172, y, 124, Bank);
    AddBox(u"BCT3", 299, y, 190, Bank);
    y += 22;
    AddBox(u"BNK4", BoxX, y, 99, Bank);
    AddBox(u"BNM4", 172, y, 124, Bank);
    AddBox(u"BCT4", 299, y, 190, Bank);
    y += 24;
    QLineEdit *ozip = AddBox(u"OZip", BoxX, y, 64, Post);
    AddCaption(QStringLiteral("우편 &Z"), LabelX, y, 60, ozip);
    QLineEdit *ourl = AddBox(u"OUrl", 184, y, 303, White);
    AddCaption(QStringLiteral("URL &6"), 140, y, 42, ourl);
    y += 24;
    QPlainTextEdit *oadd = AddTextBox(u"OAdd", y);
    AddCaption(QStringLiteral("주소 &A"), LabelX, y, 60, oadd);
    y += TextBoxHeight + 6;

    // Home block
    AddBand(QStringLiteral("집"), y);
    y += 22;
    // Four boxes in a row: each caption keeps a few pixels from the boxes on either side, and
    // the row ends inside the right edge of the boxes above it.
    QLineEdit *hzip = AddBox(u"HZip", BoxX, y, 50, Post);
    AddCaption(QStringLiteral("우편 &P"), LabelX, y, 60, hzip);
    QLineEdit *hddd = AddBox(u"HDDD", 160, y, 46, White);
    AddCaption(QStringLiteral("DDD &4"), 124, y, 32, hddd);
    QLineEdit *hph1 = AddBox(u"HPh1", 252, y, 109, White);
    AddCaption(QStringLiteral("전화 &A"), 210, y, 38, hph1);
    QLineEdit *hph2 = AddBox(u"HPh2", 377, y, 108, White);
    AddCaption(QStringLiteral("&B"), 365, y, 8, hph2);
    y += 24;
    QPlainTextEdit *hadd = AddTextBox(u"HAdd", y);
    AddCaption(QStringLiteral("주소 &H"), LabelX, y, 60, hadd);

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

void TfrmInputData::SaveFields(const QString &path)
{
    SaveRecord(FormFieldValues(*ClientArea()), path);
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
