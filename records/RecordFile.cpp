#include "RecordFile.h"

#include "platform/Profile.h"

#include <QMap>

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
