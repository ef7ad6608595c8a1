#pragma once

#include "ContactCard.h"

#include <QString>

// Records of a data directory written out for other programs: vCard 3.0 in one file or one
// file per record (a folder that sync tools read), or a CSV table.
namespace ContactExport {

enum class Format { VCardFile, VCardFolder, Csv };

struct Request
{
    QString dataDir; // categories are paths relative to it
    QString folder;  // what goes out, with its subfolders: dataDir or a folder inside it
    QString out;     // the file written, or the folder for Format::VCardFolder
    Format format = Format::VCardFile;
    bool csvCp949 = false; // code page 949 instead of UTF-8 with a byte-order mark
};

// Writes the records, each with its UID (a record that has none yet is given one first), its
// photo and the folders without records as folder cards; a file is replaced only when the
// whole export succeeded. In a vCard folder every record has the file CardFileName(UID),
// rewritten only when it changed. A file changed there since this program last wrote it is
// never overwritten: when its record has not changed meanwhile the card is imported into the
// record, else the conflict is reported. Files of earlier exports whose records are gone are
// removed when nobody changed them; other files are left alone.
ContactReport Export(const Request &request, const ContactProgress &progress = {});

// The UID earlier exports gave the record at a path relative to the data directory ("/"
// between names); a record without one is given it on its first export, so that what a sync
// tool already holds keeps its identity.
QString RecordUid(const QString &relativePath);

// The name of a card's file in a vCard folder: the UUID of a "urn:uuid:" UID, the UID itself
// when it is a safe file name, else a UUID made from it.
QString CardFileName(const QString &uid);

// What the vCard folder keeps about the files this program wrote into it.
inline const QString FolderStateFile = QStringLiteral(".vandrel-export");

// The picture of a record's companion folder that goes out with it: one named 사진 or photo
// first, else the first image there; empty when there is none.
QString PhotoFile(const QString &recordPath);

// Larger pictures stay out of the cards.
inline constexpr qint64 MaxPhotoBytes = qint64(10) * 1024 * 1024;

} // namespace ContactExport
