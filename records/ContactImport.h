#pragma once

#include "ContactCard.h"

#include <QString>
#include <QStringList>

// Cards of vCard files become records of a data directory.
namespace ContactImport {

// Every card of the files becomes a new record in folder (a folder of a data directory) under
// a free name made from its FN or N; cards this program exported go back into the folders they
// came from, below folder. Cards that cannot become a record are skipped with the reason, and a
// cancel keeps what was created.
ContactReport Import(const QStringList &files, const QString &folder,
                     const ContactProgress &progress = {});

// Larger files are refused before they are read.
inline constexpr qint64 MaxFileBytes = qint64(256) * 1024 * 1024;

} // namespace ContactImport
