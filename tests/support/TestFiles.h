#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers for tests that work in temporary directories.
namespace TestFiles {

QByteArray read(const QString &path);
void write(const QString &path, const QByteArray &bytes);
// Writes a file in dir whose name has exactly the given bytes, valid UTF-8 or not (Unix only).
void writeRawName(const QString &dir, const QByteArray &rawName, const QByteArray &bytes);
void removeRawName(const QString &dir, const QByteArray &rawName);
// Text in code page 949, as the program's Korean files hold it.
QByteArray cp949(const QString &text);

} // namespace TestFiles
