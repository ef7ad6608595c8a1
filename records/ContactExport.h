#pragma once

#include "ContactCard.h"

#include <QString>

// Records of a data directory written out for other programs: vCard 3.0 in one file or one
// file per record (a folder that sync tools read), or a CSV table.
namespace ContactExport {

enum class Format { VCardFile, VCardFolder, Csv };

struct Request
{
    QString dataDir; // UIDs and categories are paths relative to it
    QString folder;  // what goes out, with its subfolders: dataDir or a folder inside it
    QString out;     // the file written, or the folder for Format::VCardFolder
    Format format = Format::VCardFile;
    bool csvCp949 = false; // code page 949 instead of UTF-8 with a byte-order mark
};

// Writes the records; a file is replaced only when the whole export succeeded. In a vCard
// folder every record has the file <UID>.vcf, rewritten only when it changed; files of earlier
// exports whose records are gone are removed, other files are left alone.
ContactReport Export(const Request &request, const ContactProgress &progress = {});

// The UID of the record at a path relative to the data directory ("/" between names).
QString RecordUid(const QString &relativePath);

} // namespace ContactExport
