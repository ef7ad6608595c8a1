#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace FileSystem {

namespace {

QChar asciiLower(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + 32)) : c;
}

// The entry of dir named like name but for ASCII letter case; empty when there is none.
QString findCaseVariant(const QString &dir, const QString &name)
{
    QDir d(dir);
    const QStringList entries = d.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries)
        if (sameNameIgnoringAsciiCase(entry, name))
            return entry;
    return {};
}

} // namespace

bool sameNameIgnoringAsciiCase(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a.at(i)) != asciiLower(b.at(i)))
            return false;
    return true;
}

bool exists(const QString &path)
{
    return QFileInfo::exists(resolve(path));
}

QString resolve(const QString &path)
{
    if (path.isEmpty())
        return path;
    QFileInfo exact(path);
    if (exact.exists() || exact.isSymLink())
        return path;

    // Walk from the root, keeping each component that exists and looking up the others.
    const QString native = QDir::fromNativeSeparators(path);
    QString current;
    QString rest = native;
    if (native.startsWith(u'/')) {
        current = QStringLiteral("/");
        rest = native.mid(1);
    } else if (native.size() >= 2 && native.at(1) == u':') {
        current = native.left(2) + u'/';
        rest = native.mid(native.size() > 2 && native.at(2) == u'/' ? 3 : 2);
    } else {
        current = QDir::currentPath() + u'/';
    }
    const QStringList parts = rest.split(u'/');
    QString resolved = current;
    bool lost = false; // once a component is missing, the rest is kept as given
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part.isEmpty()) {
            // Keep doubled and trailing separators as they were.
            if (!resolved.endsWith(u'/'))
                resolved += u'/';
            continue;
        }
        QString next = resolved;
        if (!next.endsWith(u'/'))
            next += u'/';
        if (lost) {
            resolved = next + part;
            continue;
        }
        QFileInfo fi(next + part);
        if (fi.exists() || fi.isSymLink() || part == u"." || part == u"..") {
            resolved = next + part;
            continue;
        }
        const QString variant = findCaseVariant(resolved, part);
        if (variant.isEmpty()) {
            lost = true;
            resolved = next + part;
        } else {
            resolved = next + variant;
        }
    }
    return QDir::toNativeSeparators(resolved);
}

bool readAll(const QString &path, QByteArray &bytes)
{
    bytes.clear();
    QFile file(resolve(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(resolve(path));
    // Writing in place would lose the all-or-nothing guarantee.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace FileSystem
