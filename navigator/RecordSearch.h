#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The search over every record file of a data directory: a file is a hit when its name holds
// the text or, failing that, one of its values (the part of a line after the first "=") does.
// Letters A-Z match without regard to case; everything else, Korean included, matches exactly.
class RecordSearch
{
public:
    // text: what the user typed; blanks at both ends are ignored.
    explicit RecordSearch(const QString &text);

    // The text as searched: trimmed, A-Z turned into a-z.
    const QString &Text() const { return m_text; }
    static QString Normalize(const QString &text);

    bool NameMatches(const QString &path) const;
    bool ContentsMatch(const QString &path) const;
    bool BytesMatch(QByteArrayView bytes) const;

    // Every ".txt" and ".zu" file below dir, depth first (a folder's files, then its folders)
    // in the order the file system lists them, companion folders included, entries beginning
    // with "." left out. A directory reached twice through links is walked once. Files and folders
    // whose names are no UTF-8 cannot be opened by any path; they are left out and listed in
    // *unreadable.
    static QStringList CollectFiles(const QString &dir, QStringList *unreadable = nullptr);

    // The name a hit is listed under.
    static QString HitLabel(const QString &path);

private:
    bool ValuesMatch(QByteArrayView bytes) const;
    bool FindIn(QByteArrayView bytes, const QByteArray &pattern, bool cp949) const;

    QString m_text;
    QByteArray m_utf8;
    QByteArray m_cp949;
    bool m_fitsCp949 = false;
    bool m_ascii = true;
    bool m_hasLetters = false;
};
