#pragma once

#include "FieldTable.h"
#include "platform/IniDocument.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace profile {
class Snapshot;
}

// The layout of a record file: the single-line fields are keys of section "data", a multi-line
// field is a section of its own holding "many" and the lines 1 to many. Record (Record.h) reads
// and writes whole records; these read one field.

// Section of the single-line fields.
inline const QString RecordDataSection = QStringLiteral("data");
// Key of the line count in a multi-line field's section.
inline const QString RecordManyKey = QStringLiteral("many");

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
