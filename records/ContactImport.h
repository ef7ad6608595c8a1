#pragma once

#include "ContactCard.h"

#include <QString>
#include <QStringList>

// Cards of vCard files become records of a data directory.
namespace ContactImport {

// Every card of the files becomes a new record in folder (a folder of a data directory, made
// when the first record goes there) under a free name made from its FN or N; cards this program
// exported go back into the folders they came from, below folder. A card whose UID belongs to a
// record below dataDir (folder when empty) updates that record instead. Cards that cannot
// become a record are skipped with the reason, and a cancel keeps what was created. With
// findDuplicates, the records made that look like others below dataDir (Duplicates) are told in
// the report.
ContactReport Import(const QStringList &files, const QString &folder,
                     const ContactProgress &progress = {}, const QString &dataDir = {},
                     bool findDuplicates = false);

// The record at path with what the card holds (MergedRecord), and the card's pictures its
// companion folder lacks; true when anything changed. Raises VandrelError or WriteError.
bool Update(const QString &path, const CardContact &card);

// Larger files are refused before they are read.
// The pictures of a card that the record's companion folder does not hold yet, byte for byte.
QList<Attachment> NewAttachments(const QString &recordPath, const QList<Attachment> &all);

inline constexpr qint64 MaxFileBytes = qint64(256) * 1024 * 1024;

} // namespace ContactImport
