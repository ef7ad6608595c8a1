#pragma once

#include "Record.h"
#include "VCard.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// A record's content as plain values, and how it becomes a vCard and comes back from one.

// A file that goes into the record's companion folder (a card's photo).
struct Attachment
{
    QString fileName;
    QByteArray bytes;
};

struct Contact
{
    QString name;
    Record record;            // with the card's UID as its identity
    bool isFolder = false;    // a folder's own record: an organisation card
    bool emptyFolder = false; // a folder without records or folders: only the folder comes back
    QString folder;   // where it goes under the folder it is imported into, "/" between names
    QString category; // the folder it lies in under the data directory (export)
    QList<Attachment> attachments; // the first one goes out as the card's PHOTO

    // The record file at path; every value whole, as a save stores it.
    static Contact Read(const QString &path);
};

// Appends the contact as one vCard 3.0 card.
void WriteCard(VCard::Writer &writer, const Contact &contact);

// The contact a card holds: FN (or N) as its name, the properties mapped to fields, and
// everything without a field of its own as "label: value" lines of the notes. error tells why
// a card cannot become a record.
struct CardContact
{
    Contact contact;
    QString error;
    QStringList warnings;
    bool fromVandrel = false; // written by this program's export
};
CardContact ContactFromCard(const VCard::Card &card);

// The record old after a card with its identity came in: what the card holds replaces what the
// record held, a block's numbers, an address or an account as a whole; what the card lacks
// stays; a value it replaced goes into the notes as "이전 caption: value", and the card's notes
// join the record's lines that are not there yet. Nothing is lost.
Record MergedRecord(const Record &old, const Record &card);

// A card's UID as a record keeps it: trimmed, and one too long or with line breaks for a file
// replaced by a UUID made from it, so that the same card always gives the same identity.
QString CardUid(const QString &text);

// A Korean area code at the start of a number ("02", "031" to "064" where there is one), with
// or without parentheses, after "+82", or run together with the digits; code is empty when
// there is none. Mobile, nationwide (15xx, 16xx, 18xx), 050x and 070 numbers have none.
struct AreaSplit
{
    QString code;
    QString rest;
};
AreaSplit SplitAreaCode(const QString &number);

// A number as it is dialled at home: with its block's area code in front unless it is whole
// without one, and "+82" written as the leading 0 ("+82 10 1234 5678" gives "010-1234-5678").
QString DialledNumber(const QString &areaCode, const QString &number);
// Korean digits with the dashes where Koreans write them ("01012345678" gives "010-1234-5678").
QString NumberWithDashes(const QString &digits);

// Called with the work done so far; false asks to stop.
using ContactProgress = std::function<bool(qsizetype done, qsizetype total)>;

// What an import or an export did, for the user.
struct ContactReport
{
    int written = 0;      // records created, or cards and rows written
    int folders = 0;      // empty folders made again (import) or written as folder cards (export)
    QStringList updated;  // existing records a card with their UID changed
    int unchanged = 0;    // existing records a card with their UID found as they were
    QStringList skipped;  // cards or records left out, each with its reason
    QStringList warnings; // done, but not quite as asked
    QStringList errors;   // what failed as a whole (a file that could not be read or written)
    bool cancelled = false;
    bool import = true;
    QString target; // where the result went

    // Records an import made that look like others (Duplicates), each with the reason, and
    // their files.
    QStringList duplicates;
    QStringList duplicatePaths;

    bool failed() const { return !errors.isEmpty(); }
    QString Text() const;
};
