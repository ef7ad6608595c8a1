#pragma once

#include "platform/IniDocument.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

class QPlainTextEdit;
class QWidget;
namespace profile {
class Snapshot;
}

// The fields of a record, in the order the forms offer them. A field's name is its key in the
// record file, the name of its box in the forms and of its label in the view.
struct RecordField
{
    enum Block { Personal, Company, Home };
    const char16_t *name;
    bool multiLine;
    Block block;
    const char16_t *inputCaption; // with "&" before the accelerator key
    const char16_t *viewCaption;  // empty where the label shares a row caption
    const char16_t *spokenName;   // the field's full name, as a screen reader reads it

    QString Name() const { return QString::fromUtf16(name); }
    QString SpokenName() const { return QString::fromUtf16(spokenName); }
};

inline constexpr int RecordFieldCount = 33;

// Tags of the controls in the forms and the view: 0 a field's box or value label, 99 anything
// else (captions, the title, the name box) that loading and saving leave alone.
inline constexpr int FieldTag = 0;
inline constexpr int NotAFieldTag = 99;
extern const std::array<RecordField, RecordFieldCount> RecordFields;

// The field of that name, or nullptr.
const RecordField *FindRecordField(const QString &name);

// Section of the single-line fields.
inline const QString RecordDataSection = QStringLiteral("data");
// Key of the line count in a multi-line field's section.
inline const QString RecordManyKey = QStringLiteral("many");

// What an entry form offers to the saver for one of its boxes.
struct FieldValue
{
    QString name;
    bool multiLine = false;
    QString text;      // single-line fields
    bool skip = false; // single-line boxes that are not record fields
    QStringList lines; // multi-line fields, as displayed
};

// Writes the fields into the record file at path: a blank single-line field deletes its key,
// any other is written trimmed into "data"; a multi-line field writes "many" and keys 1..n
// untrimmed into its own section, or erases that section when it has no lines. Nothing else
// is written. The file is replaced once, so it holds either the old record or the new one; a
// failed write raises WriteError and leaves the old record.
void SaveRecord(const QList<FieldValue> &fields, const QString &path);

// The value of a single-line field ("" when missing).
QString ReadRecordValue(const profile::Snapshot &record, const QString &field,
                        IniDocument::Length length = IniDocument::Length::Cut);

// The lines of a multi-line field: "many" lines when its section has any key, else none.
// Lines whose keys are missing are empty; lines past the highest line key present are never
// made up. When more than MaxMissingLines keys are missing (a damaged count or line number),
// the lines present are given in order without the gaps, so a 70-byte file cannot ask for
// billions of lines.
QStringList ReadRecordLines(const profile::Snapshot &record, const QString &field,
                            IniDocument::Length length = IniDocument::Length::Cut);
inline constexpr int MaxMissingLines = 1000;
// The same from the keys and values of the field's section, in file order.
QStringList RecordLinesFrom(const QList<std::pair<QString, QString>> &entries);

// The fields an entry form offers, walking its direct child boxes in their order: every
// single-line box (skipped when its "tag" property is not 0) and every multi-line box.
QList<FieldValue> FormFieldValues(const QWidget &form);

// Fills an entry form's boxes from the record file: every single-line box from section "data",
// every multi-line box from its own section (cleared when that has no key). Values come whole,
// so that saving the form unchanged never shortens one.
void LoadRecordIntoForm(QWidget &form, const QString &path);

// The lines a multi-line box shows, soft-wrapped lines counted one by one, without a final
// empty line after the last line break.
QStringList TextBoxLines(const QPlainTextEdit *box);
