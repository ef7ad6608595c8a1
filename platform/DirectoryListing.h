#pragma once

#include <QString>

#include <functional>

// Directory enumeration with hidden entries included and "." and ".." left out.
namespace DirectoryListing {

struct Entry
{
    QString name;
    bool isDir = false;  // a directory, or a link to one
    bool isFile = false; // a regular file, or a link to one
};

// Calls visit for each entry in the order the file system gives them until it returns false.
// False when the directory cannot be read.
bool forEach(const QString &dir, const std::function<bool(const Entry &)> &visit);

} // namespace DirectoryListing
