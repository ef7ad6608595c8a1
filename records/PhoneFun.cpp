#include "PhoneFun.h"

#include "RecordStore.h"
#include "platform/DialogService.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <QFileInfo>

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
    if (checkExists
        && RecordStore::NameTaken(targetFolder,
                                  name + (folder ? QString() : QStringLiteral(".txt"))))
        return NameMsgExists;
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

QString FileBaseName(const QString &path)
{
    const QString name = Paths::FileName(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QString ContainingFolderName(const QString &path)
{
    const QString name = Paths::FileName(path);
    return Paths::FileName(Paths::WithoutTrailingSeparators(path.left(path.size() - name.size())));
}

QString RecordDisplayName(const QString &path)
{
    const QString name = Paths::FileName(path);
    if (name == FolderRecordName)
        return ContainingFolderName(path);
    return name.left(qMax<qsizetype>(0, name.size() - 4));
}

QString ProposeRecordName(const QString &folderPath)
{
    QString base = Paths::FileName(Paths::WithoutTrailingSeparators(folderPath));
    if (base.isEmpty())
        base = QStringLiteral("New");
    const QString dir = Paths::WithSeparator(folderPath);
    for (int n = 1;; ++n) {
        const QString candidate =
            base + u'_' + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
        const QFileInfo file(FileSystem::resolve(dir + candidate + QStringLiteral(".txt")));
        // Only a file takes the name; a directory of that name does not.
        if (!file.exists() || file.isDir())
            return candidate;
    }
}
