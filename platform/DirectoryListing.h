#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Directory enumeration with hidden entries included and "." and ".." left out.
namespace DirectoryListing {

struct Entry
{
    QString name;
    bool isDir = false;  // a directory, or a link to one
    bool isFile = false; // a regular file, or a link to one
    // The name's bytes when they are not valid UTF-8 (typical of code page 949 archives
    // unpacked here): no path built from name reaches the entry, and name holds the bytes read
    // as code page 949 when they are that, else with replacement characters.
    QByteArray rawName;
};

// Calls visit for each entry in the order the file system gives them until it returns false.
// False when the directory cannot be read.
bool forEach(const QString &dir, const std::function<bool(const Entry &)> &visit);

// Gives the entry of dir whose name has the bytes rawName the name newName; false when that
// fails or when newName is taken.
bool RenameRaw(const QString &dir, const QByteArray &rawName, const QString &newName);

} // namespace DirectoryListing
