#include "Paths.h"

#include <QDir>

namespace Paths {

QChar Separator()
{
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

std::optional<QStringList> RelativeParts(const QString &path)
{
    if (QDir::isAbsolutePath(path))
        return std::nullopt;
    QStringList parts;
    for (const QString &part : QDir::fromNativeSeparators(path).split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..")
            return std::nullopt;
        if (part != u".")
            parts << part;
    }
    return parts;
}

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool IsSeparator(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'\\' || c == u'/';
#else
    // Backslashes are ordinary characters in file names here.
    return c == u'/';
#endif
}

bool EndsComponent(QChar c)
{
#ifdef Q_OS_WIN
    return IsSeparator(c) || c == u':';
#else
    return IsSeparator(c);
#endif
}

QString WithSeparator(const QString &dir)
{
    if (!dir.isEmpty() && IsSeparator(dir.back()))
        return dir;
    return dir + Separator();
}

QString WithoutTrailingSeparator(const QString &dir)
{
    if (dir.isEmpty() || !IsSeparator(dir.back()))
        return dir;
    const QString shorter = dir.left(dir.size() - 1);
    if (shorter.isEmpty())
        return dir;
#ifdef Q_OS_WIN
    // "C:" is the drive's current folder, not its root.
    if (shorter.size() == 2 && shorter.back() == u':')
        return dir;
#endif
    return shorter;
}

QString WithoutTrailingSeparators(QString path)
{
    while (!path.isEmpty() && IsSeparator(path.back()))
        path.chop(1);
    return path;
}

QString Join(const QString &dir, const QString &name)
{
    return WithSeparator(dir) + name;
}

QString FileName(const QString &path)
{
    qsizetype i = path.size();
    while (i > 0 && !EndsComponent(path.at(i - 1)))
        --i;
    return path.mid(i);
}

QChar AsciiLower(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + 32)) : c;
}

QString AsciiLower(QString text)
{
    for (QChar &c : text)
        c = AsciiLower(c);
    return text;
}

bool SameIgnoringAsciiCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (AsciiLower(a.at(i)) != AsciiLower(b.at(i)))
            return false;
    return true;
}

} // namespace Paths
