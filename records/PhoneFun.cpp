#include "PhoneFun.h"

#include "platform/DialogService.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>

bool IsPathSeparator(QChar c)
{
#ifdef Q_OS_WIN
    // A drive letter's colon ends a component too.
    return c == u'\\' || c == u'/' || c == u':';
#else
    // Backslashes and colons are ordinary characters in file names here.
    return c == u'/';
#endif
}

QString WithSeparator(const QString &dir)
{
    if (!dir.isEmpty() && IsPathSeparator(dir.back()))
        return dir;
    return dir + QDir::separator();
}

QString WithoutTrailingSeparator(const QString &dir)
{
    if (dir.isEmpty() || !IsPathSeparator(dir.back()))
        return dir;
    const QString shorter = dir.left(dir.size() - 1);
    // "/" and "C:\" name a folder; "" and "C:" do not (the latter is a drive's current folder).
    if (shorter.isEmpty())
        return dir;
#ifdef Q_OS_WIN
    if (shorter.size() == 2 && shorter.back() == u':')
        return dir;
#endif
    return shorter;
}

QString JoinPath(const QString &dir, const QString &name)
{
    return WithSeparator(dir) + name;
}

bool IsValidName(const QString &name)
{
    for (QChar c : name)
        if (ForbiddenNameChars.contains(c))
            return false;
    return true;
}

QString NameMessageText(int kind)
{
    switch (kind) {
    case NameMsgForbidden:
        return QStringLiteral("파일 이름에는 아래의 문자를 사용하시면 안됩니다.:") + u'\n'
               + ForbiddenNameChars;
    case NameMsgEmpty: return QStringLiteral("이름을 입력하여 주십시오.");
    case NameMsgExists: return QStringLiteral("같은 이름의 자료가 이미 있습니다.");
    default: return {};
    }
}

void ShowNameMessage(int kind, QWidget *parent)
{
    DialogService::current().message({parent, DialogService::Icon::Error, QStringLiteral("Error"),
                                      NameMessageText(kind), DialogService::Ok, DialogService::Ok});
}

int CheckEntryName(const QString &name, const QString &targetFolder, bool folder, bool checkExists)
{
    if (name.isEmpty())
        return NameMsgEmpty;
    if (!IsValidName(name))
        return NameMsgForbidden;
    // Whatever stands at that path, a folder or a file, is in the way: a folder Kim and a
    // record Kim.txt can live side by side, a folder Kim and a file Kim cannot.
    if (checkExists) {
        const QFileInfo at(FileSystem::resolve(
            JoinPath(targetFolder, name + (folder ? QString() : QStringLiteral(".txt")))));
        if (at.exists() || at.isSymLink())
            return NameMsgExists;
    }
    return 0;
}

QString TrimName(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString FileNamePart(const QString &path)
{
    qsizetype i = path.size();
    while (i > 0 && !IsPathSeparator(path.at(i - 1)))
        --i;
    return path.mid(i);
}

QString FileBaseName(const QString &path)
{
    const QString name = FileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

// The path without its trailing separators.
static QString withoutTrailingSeparators(QString path)
{
    while (!path.isEmpty() && IsPathSeparator(path.back()))
        path.chop(1);
    return path;
}

QString ContainingFolderName(const QString &path)
{
    const QString name = FileNamePart(path);
    return FileNamePart(withoutTrailingSeparators(path.left(path.size() - name.size())));
}

QString RecordDisplayName(const QString &path)
{
    const QString name = FileNamePart(path);
    if (name == FolderRecordName)
        return ContainingFolderName(path);
    return name.left(qMax<qsizetype>(0, name.size() - 4));
}

QString ProposeRecordName(const QString &folderPath)
{
    QString base = FileNamePart(withoutTrailingSeparators(folderPath));
    if (base.isEmpty())
        base = QStringLiteral("New");
    const QString dir = WithSeparator(folderPath);
    for (int n = 1;; ++n) {
        const QString candidate =
            base + u'_' + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        const QFileInfo file(FileSystem::resolve(dir + candidate + QStringLiteral(".txt")));
        // Only a file takes the name; a directory of that name does not.
        if (!file.exists() || file.isDir())
            return candidate;
    }
}
