#include "Record.h"

#include "PhoneFun.h"
#include "RecordFile.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/TextCodec.h"

#include <QList>
#include <QUuid>

QString Record::Value(QStringView name) const
{
    const int field = FieldIndex(name);
    return field < 0 ? QString() : m_values[size_t(field)];
}

void Record::SetValue(QStringView name, const QString &text)
{
    const int field = FieldIndex(name);
    if (field >= 0 && !RecordFields[size_t(field)].multiLine)
        m_values[size_t(field)] = text;
}

QStringList Record::Lines(QStringView name) const
{
    const int field = FieldIndex(name);
    return field < 0 ? QStringList() : m_lines[size_t(field)];
}

void Record::SetLines(QStringView name, const QStringList &lines)
{
    const int field = FieldIndex(name);
    if (field >= 0 && RecordFields[size_t(field)].multiLine)
        m_lines[size_t(field)] = lines;
}

QString Record::Text(int field) const
{
    return RecordFields[size_t(field)].multiLine ? m_lines[size_t(field)].join(u'\n')
                                                 : m_values[size_t(field)];
}

bool Record::IsEmpty() const
{
    for (int i = 0; i < RecordFieldCount; ++i)
        if (!m_values[size_t(i)].isEmpty() || !m_lines[size_t(i)].isEmpty())
            return false;
    return true;
}

Record Record::Read(const QString &path, IniDocument::Length length)
{
    QByteArray bytes;
    if (!FileSystem::readAll(path, bytes))
        return {};
    return FromBytes(bytes, length);
}

Record Record::FromBytes(const QByteArray &bytes, IniDocument::Length length)
{
    Record record;
    const bool cut = length == IniDocument::Length::Cut;
    const auto held = [cut](QStringView value) {
        return cut ? TextCodec::cutToBytes(value.toString(), IniDocument::kMaxValueBytes)
                   : value.toString();
    };
    std::array<QList<std::pair<QString, QString>>, RecordFieldCount> sections;
    IniDocument::scan(bytes, [&](QStringView section, QStringView key, QStringView value) {
        if (Paths::SameIgnoringAsciiCase(section, RecordUidSection)) {
            if (Paths::SameIgnoringAsciiCase(key, RecordUidKey))
                record.m_uid = value.toString();
            return;
        }
        if (Paths::SameIgnoringAsciiCase(section, RecordDataSection)) {
            const int field = FieldIndex(key);
            if (field >= 0 && !RecordFields[size_t(field)].multiLine)
                record.m_values[size_t(field)] = held(value);
            return;
        }
        const int field = FieldIndex(section);
        if (field >= 0 && RecordFields[size_t(field)].multiLine)
            sections[size_t(field)].append({key.toString(), held(value)});
    });
    for (int i = 0; i < RecordFieldCount; ++i)
        if (!sections[size_t(i)].isEmpty())
            record.m_lines[size_t(i)] = RecordLinesFrom(sections[size_t(i)]);
    return record;
}

QString Record::NewUid()
{
    return QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString Record::UidFromBytes(const QByteArray &bytes)
{
    QString uid;
    IniDocument::scan(bytes, [&](QStringView section, QStringView key, QStringView value) {
        if (uid.isEmpty() && Paths::SameIgnoringAsciiCase(section, RecordUidSection)
            && Paths::SameIgnoringAsciiCase(key, RecordUidKey))
            uid = value.toString();
    });
    return uid;
}

Record Record::Normalized() const
{
    Record out = *this;
    for (QString &value : out.m_values)
        value = TrimName(value);
    return out;
}

void Record::Write(const QString &path) const
{
    // Every field goes into one document and the file is replaced once.
    profile::Edit edit(path);
    IniDocument &doc = edit.document();
    const auto set = [&](const QString &section, const QString &key, const QString &value) {
        if (!doc.setValue(section, key, value))
            throw WriteError(path);
    };
    for (int i = 0; i < RecordFieldCount; ++i) {
        const RecordField &field = RecordFields[size_t(i)];
        if (!field.multiLine) {
            const QString text = TrimName(m_values[size_t(i)]);
            if (text.isEmpty())
                doc.removeKey(RecordDataSection, field.Name());
            else
                set(RecordDataSection, field.Name(), text);
            continue;
        }
        const QStringList &lines = m_lines[size_t(i)];
        if (lines.isEmpty()) {
            doc.removeSection(field.Name());
            continue;
        }
        set(field.Name(), RecordManyKey, QString::number(lines.size()));
        for (qsizetype n = 0; n < lines.size(); ++n)
            set(field.Name(), QString::number(n + 1), lines.at(n));
    }
    if (!m_uid.isEmpty())
        set(RecordUidSection, RecordUidKey, m_uid);
    edit.commit();
}
