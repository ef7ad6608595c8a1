#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers for tests that work in temporary directories.
namespace TestFiles {

QByteArray read(const QString &path);
void write(const QString &path, const QByteArray &bytes);
// Text in code page 949, as the program's Korean files hold it.
QByteArray cp949(const QString &text);

} // namespace TestFiles
