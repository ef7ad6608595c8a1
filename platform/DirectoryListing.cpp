#include "DirectoryListing.h"

#include "TextCodec.h"

#include <QDirIterator>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace DirectoryListing {

namespace {

// Bytes that are no UTF-8 are most likely code page 949, the Korean Windows encoding.
[[maybe_unused]] QString readableName(const QByteArray &raw)
{
    const QString cp949 = TextCodec::decode(raw, TextCodec::Encoding::Cp949);
    if (TextCodec::encode(cp949, TextCodec::Encoding::Cp949) == raw)
        return cp949;
    return QString::fromUtf8(raw);
}

} // namespace

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
        const QByteArrayView bytes(n);
        entry.rawName.clear();
        if (TextCodec::isValidUtf8(bytes)) {
            // Not QFile::decodeName: it drops a leading U+FEFF, and the name would lead nowhere.
            entry.name = TextCodec::decode(bytes, TextCodec::Encoding::Utf8);
        } else {
            entry.rawName = bytes.toByteArray();
            entry.name = readableName(entry.rawName);
        }
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

bool RenameRaw(const QString &dir, const QByteArray &rawName, const QString &newName)
{
#ifdef Q_OS_UNIX
    const QByteArray base = QFile::encodeName(dir) + '/';
    const QByteArray to = base + QFile::encodeName(newName);
    struct stat st
    {};
    if (::lstat(to.constData(), &st) == 0)
        return false; // never over another entry
    return ::rename((base + rawName).constData(), to.constData()) == 0;
#else
    Q_UNUSED(dir);
    Q_UNUSED(rawName);
    Q_UNUSED(newName);
    return false; // names are Unicode there
#endif
}

} // namespace DirectoryListing
