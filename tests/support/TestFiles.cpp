#include "TestFiles.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QTest>

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

QByteArray cp949(const QString &text)
{
    return TextCodec::encode(text, TextCodec::Encoding::Cp949);
}

} // namespace TestFiles
