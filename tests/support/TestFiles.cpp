#include "TestFiles.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace TestFiles {

QByteArray read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

void writeRawName(const QString &dir, const QByteArray &rawName, const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(dir) + '/' + rawName;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
#else
    Q_UNUSED(dir);
    Q_UNUSED(rawName);
    Q_UNUSED(bytes);
    QSKIP("file names are Unicode here");
#endif
}

void removeRawName(const QString &dir, const QByteArray &rawName)
{
#ifdef Q_OS_UNIX
    ::unlink((QFile::encodeName(dir) + '/' + rawName).constData());
#else
    Q_UNUSED(dir);
    Q_UNUSED(rawName);
#endif
}

QByteArray cp949(const QString &text)
{
    return TextCodec::encode(text, TextCodec::Encoding::Cp949);
}

} // namespace TestFiles
