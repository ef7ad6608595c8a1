#include "RecordFile.h"

#include "PhoneFun.h"
#include "platform/Errors.h"
#include "platform/Profile.h"
#include "widgets/funcs.h"

#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

// clang-format off
const std::array<RecordField, RecordFieldCount> RecordFields = {{
    {u"Hand", false, RecordField::Personal, u"핸드폰 &H", u"핸드폰:", u"핸드폰"},
    {u"MUrl", false, RecordField::Personal, u"URL &5", u"URL:", u"URL"},
    {u"EMail", false, RecordField::Personal, u"&E-Mail", u"E-Mail:", u"E-Mail"},
    {u"BNK1", false, RecordField::Personal, u"은행계좌", u"은행계좌:", u"은행계좌 1 은행이름"},
    {u"BNM1", false, RecordField::Personal, u"", u"", u"은행계좌 1 예금주"},
    {u"BCT1", false, RecordField::Personal, u"", u"", u"은행계좌 1 계좌"},
    {u"BNK2", false, RecordField::Personal, u"", u"", u"은행계좌 2 은행이름"},
    {u"BNM2", false, RecordField::Personal, u"", u"", u"은행계좌 2 예금주"},
    {u"BCT2", false, RecordField::Personal, u"", u"", u"은행계좌 2 계좌"},
    {u"Memo", true, RecordField::Personal, u"메모 &M", u"메모:", u"메모"},
    {u"ONme", false, RecordField::Company, u"이름 &O", u"이름:", u"회사 이름"},
    {u"ODDD", false, RecordField::Company, u"DDD &3", u"DDD:", u"회사 DDD"},
    {u"OPh1", false, RecordField::Company, u"전화 &1", u"전화:", u"회사 전화 1"},
    {u"OPh2", false, RecordField::Company, u"전화 &2", u"", u"회사 전화 2"},
    {u"OFax", false, RecordField::Company, u"팩스 &F", u"팩스:", u"회사 팩스"},
    {u"ODir", false, RecordField::Company, u"직통전화 &T", u"직통전화:", u"직통전화"},
    {u"OInt", false, RecordField::Company, u"내선번호 &I", u"내선번호:", u"내선번호"},
    {u"OPst", false, RecordField::Company, u"부서 &D", u"부서:", u"부서"},
    {u"OCls", false, RecordField::Company, u"직위 &G", u"직위:", u"직위"},
    {u"BNK3", false, RecordField::Company, u"은행계좌", u"은행계좌:", u"회사 은행계좌 1 은행이름"},
    {u"BNM3", false, RecordField::Company, u"", u"", u"회사 은행계좌 1 예금주"},
    {u"BCT3", false, RecordField::Company, u"", u"", u"회사 은행계좌 1 계좌"},
    {u"BNK4", false, RecordField::Company, u"", u"", u"회사 은행계좌 2 은행이름"},
    {u"BNM4", false, RecordField::Company, u"", u"", u"회사 은행계좌 2 예금주"},
    {u"BCT4", false, RecordField::Company, u"", u"", u"회사 은행계좌 2 계좌"},
    {u"OZip", false, RecordField::Company, u"우편 &Z", u"우편번호:", u"회사 우편번호"},
    {u"OUrl", false, RecordField::Company, u"URL &6", u"URL:", u"회사 URL"},
    {u"OAdd", true, RecordField::Company, u"주소 &A", u"주소:", u"회사 주소"},
    {u"HZip", false, RecordField::Home, u"우편 &P", u"우편번호:", u"집 우편번호"},
    {u"HDDD", false, RecordField::Home, u"DDD &4", u"DDD:", u"집 DDD"},
    {u"HPh1", false, RecordField::Home, u"전화 &A", u"전화1:", u"집 전화 1"},
    {u"HPh2", false, RecordField::Home, u"&B", u"2:", u"집 전화 2"},
    {u"HAdd", true, RecordField::Home, u"주소 &H", u"주소:", u"집 주소"},
}};
// clang-format on

const RecordField *FindRecordField(const QString &name)
{
    for (const RecordField &field : RecordFields)
        if (field.Name() == name)
            return &field;
    return nullptr;
}

void SaveRecord(const QList<FieldValue> &fields, const QString &path)
{
    // Every field goes into one document and the file is replaced once.
    profile::Edit edit(path);
    IniDocument &doc = edit.document();
    const auto set = [&](const QString &section, const QString &key, const QString &value) {
        if (!doc.setValue(section, key, value))
            throw WriteError(path);
    };
    for (const FieldValue &field : fields) {
        if (!field.multiLine) {
            if (field.skip)
                continue;
            const QString text = TrimName(field.text);
            if (text.isEmpty())
                doc.removeKey(RecordDataSection, field.name);
            else
                set(RecordDataSection, field.name, text);
            continue;
        }
        const qsizetype n = field.lines.size();
        if (n == 0) {
            doc.removeSection(field.name);
            continue;
        }
        set(field.name, RecordManyKey, QString::number(n));
        for (qsizetype i = 0; i < n; ++i)
            set(field.name, QString::number(i + 1), field.lines.at(i));
    }
    edit.commit();
}

QString ReadRecordValue(const profile::Snapshot &record, const QString &field,
                        IniDocument::Length length)
{
    return record.readString(RecordDataSection, field, QString(), length);
}

QStringList ReadRecordLines(const profile::Snapshot &record, const QString &field,
                            IniDocument::Length length)
{
    return RecordLinesFrom(record.entries(field, length));
}

QStringList RecordLinesFrom(const QList<std::pair<QString, QString>> &entries)
{
    if (entries.isEmpty())
        return {};
    int many = 0;
    QMap<int, QString> byNumber;
    for (const auto &[key, value] : entries) {
        if (key.compare(RecordManyKey, Qt::CaseInsensitive) == 0) {
            many = profile::parseInteger(value, 0);
            continue;
        }
        // Line keys are plain decimal numbers from 1 up.
        bool ok = false;
        const int number = key.toInt(&ok);
        if (!ok || number < 1 || key.front() == u'+' || key.front() == u'0')
            continue;
        byNumber.insert(number, value);
    }
    // Keys above the count are leftovers of a longer text.
    byNumber.erase(byNumber.upperBound(qMax(many, 0)), byNumber.end());
    if (many <= 0 || byNumber.isEmpty())
        return {};
    // Missing keys below the highest one read as empty lines, but a count that only a damaged
    // file holds must not make up more empty lines than the file has real ones.
    const int highest = byNumber.lastKey();
    QStringList lines;
    if (highest - byNumber.size() <= MaxMissingLines) {
        for (int i = 1; i <= highest; ++i)
            lines.append(byNumber.value(i));
    } else {
        lines = byNumber.values();
    }
    return lines;
}

QList<FieldValue> FormFieldValues(const QWidget &form)
{
    QList<FieldValue> fields;
    for (QObject *child : form.children()) {
        if (child->objectName().isEmpty())
            continue;
        if (auto *line = qobject_cast<QLineEdit *>(child)) {
            const bool skip = TagOf(child) != FieldTag;
            fields.append({line->objectName(), false, line->text(), skip, {}});
        } else if (auto *box = qobject_cast<QPlainTextEdit *>(child)) {
            fields.append({box->objectName(), true, {}, false, TextBoxLines(box)});
        }
    }
    return fields;
}

void LoadRecordIntoForm(QWidget &form, const QString &path)
{
    const profile::Snapshot record(path);
    for (QObject *child : form.children()) {
        if (child->objectName().isEmpty())
            continue;
        if (auto *line = qobject_cast<QLineEdit *>(child)) {
            line->setText(ReadRecordValue(record, line->objectName(), IniDocument::Length::Whole));
        } else if (auto *box = qobject_cast<QPlainTextEdit *>(child)) {
            const QStringList lines =
                ReadRecordLines(record, box->objectName(), IniDocument::Length::Whole);
            if (lines.isEmpty())
                box->clear();
            else
                box->setPlainText(lines.join(u'\n'));
        }
    }
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
