#include "DirectoryListing.h"

#include <QDirIterator>
#include <QFile>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace DirectoryListing {

bool forEach(const QString &dir, const std::function<bool(const Entry &)> &visit)
{
#ifdef Q_OS_UNIX
    // readdir gives the kind of most entries without a stat call per entry.
    const QByteArray native = QFile::encodeName(dir);
    DIR *d = ::opendir(native.isEmpty() ? "." : native.constData());
    if (!d)
        return false;
    Entry entry;
    while (const dirent *e = ::readdir(d)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        entry.name = QFile::decodeName(n);
        entry.isDir = e->d_type == DT_DIR;
        entry.isFile = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st
            {};
            const QByteArray full = native + '/' + n;
            if (::stat(full.constData(), &st) == 0) {
                entry.isDir = S_ISDIR(st.st_mode);
                entry.isFile = S_ISREG(st.st_mode);
            }
        }
        if (!visit(entry))
            break;
    }
    ::closedir(d);
    return true;
#else
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!QFileInfo(dir).isDir())
        return false;
    Entry entry;
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entry.name = info.fileName();
        entry.isDir = info.isDir();
        entry.isFile = info.isFile();
        if (!visit(entry))
            break;
    }
    return true;
#endif
}

} // namespace DirectoryListing
