#pragma once

#include "FieldTable.h"
#include "platform/IniDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

// A record's values, without widgets: the single-line fields as text and the multi-line fields
// as lines, indexed like RecordFields. Reading and writing go through the profile layer, so the
// file is exactly what the forms have always written.
class Record
{
public:
    Record() = default;

    // Single-line fields; "" for a multi-line one.
    const QString &Value(int field) const { return m_values[size_t(field)]; }
    void SetValue(int field, const QString &text) { m_values[size_t(field)] = text; }
    // Multi-line fields; none for a single-line one.
    const QStringList &Lines(int field) const { return m_lines[size_t(field)]; }
    void SetLines(int field, const QStringList &lines) { m_lines[size_t(field)] = lines; }

    // By field name; "" and none for a name that is no field.
    QString Value(QStringView name) const;
    void SetValue(QStringView name, const QString &text);
    QStringList Lines(QStringView name) const;
    void SetLines(QStringView name, const QStringList &lines);

    // The record's identity, which stays through rename, move, edit and export; "" when it has
    // none yet. It lives in a section of its own, so no field and no form ever touches it.
    const QString &Uid() const { return m_uid; }
    void SetUid(const QString &uid) { m_uid = uid; }
    // A new identity: "urn:uuid:" and a random UUID.
    static QString NewUid();
    // Only the identity from a record file's bytes.
    static QString UidFromBytes(const QByteArray &bytes);

    // A field's content as one text, multi-line fields joined with "\n".
    QString Text(int field) const;
    bool IsEmpty() const;
    bool operator==(const Record &other) const = default;

    // The record in the file at path (letter case aside); empty when there is none. Cut gives
    // the values as the view shows them, Whole for what is written back.
    static Record Read(const QString &path,
                       IniDocument::Length length = IniDocument::Length::Whole);
    // The same from a record file's bytes.
    static Record FromBytes(const QByteArray &bytes,
                            IniDocument::Length length = IniDocument::Length::Whole);

    // The values as the saver stores them: single-line values trimmed of characters up to
    // blank, the lines as they are. A record read back after Write equals Normalized().
    Record Normalized() const;

    // Writes every field into the record file at path, which is replaced once: a blank
    // single-line field deletes its key, any other is written trimmed into "data"; a multi-line
    // field writes "many" and keys 1..n untrimmed into its own section, or erases that section
    // when it has no lines. The identity is written when there is one and never removed. Keys
    // and sections of no field stay. Raises WriteError and leaves the old file when that fails.
    void Write(const QString &path) const;

private:
    std::array<QString, RecordFieldCount> m_values;
    std::array<QStringList, RecordFieldCount> m_lines;
    QString m_uid;
};

// Where the identity is kept in a record file.
inline const QString RecordUidSection = QStringLiteral("Vandrel");
inline const QString RecordUidKey = QStringLiteral("UID");
