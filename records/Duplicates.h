#pragma once

#include "Record.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// Records that are likely the same person, found in one walk over a data directory, and how two
// or more of them become one. No widgets; Find runs on any thread.
//
// Two records belong together when they share a telephone number (by its digits, with the
// block's area code in front and "+82" read as the leading 0), an e-mail address (letter case
// aside), or a name (blanks and letter case aside, the "_01" a free name got left out) together
// with at least one other value. Groups are the records connected that way. Folder records
// never take part: merging a folder would mean merging everything in it.
namespace Duplicates {

struct Group
{
    QStringList paths; // the record files, absolute, in the walk's order
    QStringList uids;  // their identities, in the same order; "" for a record without one
    QStringList reasons; // what joined them: "같은 핸드폰 010-1234-5678", "같은 이름 김철수"

    QString Reason() const { return reasons.join(QStringLiteral(", ")); }
};

// Called with the records read so far; from one of Find's threads.
using Progress = std::function<void(qint64 done, qint64 total)>;

// Every group of two or more records below root, the groups marked "다른 사람" left out.
// Empty when cancelled.
QList<Group> Find(const QString &root, const std::atomic<bool> *cancel = nullptr,
                  const Progress &progress = {});

// The groups of Find that hold at least one of paths (record files below root).
QList<Group> FindFor(const QString &root, const QStringList &paths);

// What the grouping compares: a number's digits as dialled at home (empty for fewer than eight
// digits), and a name without blanks, letter case and a trailing "_01".
QString NumberKey(const QString &areaCode, const QString &number);
QString NameKey(const QString &name);

// Where the groups marked "다른 사람" are kept: a hidden file in the data directory, one group a
// line, its members' identities separated by tabs, so that renames and moves keep it.
QString NotDuplicatesFile(const QString &root);
// Marks the group as different people, so that no search offers these records together again.
// A member without an identity gets one first. Empty on success, else what to tell the user.
QString MarkNotDuplicates(const QString &root, const Group &group);

// The merged values: for each field the value of the record choice[field] names (an index
// into records), or with -1 for a multi-line field the lines of every record that has some,
// joined from the record first on, a block another record has already given left out.
Record MergedValues(const QList<Record> &records, const QList<int> &choice, int first = 0);

// One merge as the user chose it.
struct Merge
{
    QStringList paths; // the group's record files
    int kept = 0;      // the one that stays
    QString name;      // its name afterwards, without ".txt"
    QString folder;    // the folder it lies in afterwards (absolute)
    Record values;     // what it holds afterwards
};

// Merges in one store operation ("중복 합치기: name"): the files of the other records'
// companion folders move into the kept record's (under names not taken there), the other
// records go to the desktop trash, the kept one is renamed and moved as asked, and the values
// are saved in one write, their references to the companion folders that went pointing to the
// kept one's. Nothing is changed when the name is taken by a record outside the group. Empty on
// success, else what to tell the user.
QString MergeRecords(const Merge &merge);

} // namespace Duplicates
