#pragma once

#include <QByteArray>
#include <QString>

// File access the way the program expects it from Windows: names that differ only in ASCII
// letter case name the same entry, and a write never leaves a half-written file behind.
namespace FileSystem {

// The path of the existing entry that the given path means: the path itself when it exists
// exactly, else the entry whose components differ only in ASCII letter case. When nothing
// matches, the existing leading directories are resolved and the rest is kept as given.
QString resolve(const QString &path);

bool exists(const QString &path);

bool sameNameIgnoringAsciiCase(const QString &a, const QString &b);

// Reads the whole file; an empty result and false when it cannot be read.
bool readAll(const QString &path, QByteArray &bytes);

// Replaces the file through a temporary file in the same directory and a rename,
// keeping the old file's permissions. False when anything fails; the old file is then untouched.
bool writeAtomically(const QString &path, const QByteArray &bytes);

} // namespace FileSystem
