#include "ShellFiles.h"

#include "DialogService.h"
#include "DirectoryListing.h"
#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

namespace ShellFiles {

namespace {

namespace fs = std::filesystem;

TrashFunction g_trash;

fs::path native(const QString &path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

// Without "." and ".." steps and without a trailing separator: "link/" would otherwise stand
// for the folder a link points to rather than for the link.
QString clean(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString nameOf(const QString &path)
{
    return QFileInfo(clean(path)).fileName();
}

// The entry itself, a link not followed.
fs::file_type kindOf(const QString &path)
{
    std::error_code ec;
    return fs::symlink_status(native(path), ec).type();
}

bool present(const QString &path)
{
    const fs::file_type kind = kindOf(path);
    return kind != fs::file_type::not_found && kind != fs::file_type::none;
}

bool isRealDir(const QString &path)
{
    return kindOf(path) == fs::file_type::directory;
}

// Keeps the first problem of an operation for its report.
bool fail(QString *why, const QString &text)
{
    if (why && why->isEmpty())
        *why = text;
    return false;
}

bool fail(QString *why, const QString &path, const std::error_code &ec)
{
    return fail(why,
                QStringLiteral("%1: %2").arg(shown(path), QString::fromLocal8Bit(ec.message())));
}

// The names in a real folder, sorted: an operation takes the same steps every time.
bool namesIn(const QString &dir, QStringList &names, QString *why)
{
    names.clear();
    const bool read = DirectoryListing::forEach(dir, [&names](const DirectoryListing::Entry &e) {
        names << e.name;
        return true;
    });
    names.sort();
    return read || fail(why, QStringLiteral("%1 cannot be read.").arg(shown(dir)));
}

// The path with links and "." resolved, also when its last parts do not exist (yet).
QString canonicalOf(const QString &path)
{
    QString existing = clean(path);
    QStringList rest;
    while (!QFileInfo::exists(existing) && existing != QFileInfo(existing).path()) {
        rest.prepend(QFileInfo(existing).fileName());
        existing = QFileInfo(existing).path();
    }
    QString result = QFileInfo(existing).canonicalFilePath();
    for (const QString &part : std::as_const(rest))
        result = Paths::Join(result, part);
    return result;
}

// Whether path is dir or lies inside it.
bool isWithin(const QString &path, const QString &dir)
{
    const QString p = canonicalOf(path);
    const QString d = canonicalOf(dir);
    return p == d || p.startsWith(Paths::Join(d, QString()));
}

// Whether moving source to target would leave it where it is, or put it over the entry it
// leads to (a link and what it links to).
bool sameEntry(const QString &source, const QString &target)
{
    if (Paths::Join(canonicalOf(QFileInfo(source).path()), nameOf(source))
        == Paths::Join(canonicalOf(QFileInfo(target).path()), nameOf(target)))
        return true;
    const QString s = QFileInfo(source).canonicalFilePath();
    return !s.isEmpty() && s == QFileInfo(target).canonicalFilePath();
}

// A rename that never replaces anything.
bool renameEntry(const QString &from, const QString &to, std::error_code &ec)
{
    if (present(to)) {
        ec = std::make_error_code(std::errc::file_exists);
        return false;
    }
    fs::rename(native(from), native(to), ec);
    return !ec;
}

// Removes an entry with everything in it; a link goes, never what it leads to. keepGoing:
// past a failing entry on to the others, else stop at the first.
bool removeEntry(const QString &path, bool keepGoing, QString *why)
{
    const fs::file_type kind = kindOf(path);
    if (kind == fs::file_type::not_found)
        return true;
    if (kind == fs::file_type::directory) {
        QStringList names;
        if (!namesIn(path, names, why))
            return false;
        bool ok = true;
        for (const QString &name : std::as_const(names)) {
            if (!removeEntry(Paths::Join(path, name), keepGoing, why)) {
                ok = false;
                if (!keepGoing)
                    return false;
            }
        }
        if (!ok)
            return false;
    }
    std::error_code ec;
    fs::remove(native(path), ec);
    return !ec || fail(why, path, ec);
}

// Copies a file with its permissions to target, which must not exist.
bool copyFile(const QString &source, const QString &target, QString *why)
{
    QFile in(source);
    QFile out(target);
    auto problem = [why](const QFile &file) {
        return fail(why, QStringLiteral("%1: %2").arg(shown(file.fileName()), file.errorString()));
    };
    if (!in.open(QIODevice::ReadOnly))
        return problem(in);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return problem(out);
    QByteArray block(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(block.data(), block.size());
        if (n < 0)
            return problem(in);
        if (n == 0)
            break;
        // A short write has no error yet; the next one tells why (a full disk).
        for (qint64 done = 0; done < n;) {
            const qint64 written = out.write(block.constData() + done, n - done);
            if (written <= 0)
                return problem(out);
            done += written;
        }
    }
    out.close(); // some file systems report a failed write only here
    if (out.error() != QFileDevice::NoError)
        return problem(out);
    out.setPermissions(in.permissions());
    return true;
}

// Copies source to target, which must not exist. A link is copied as the same link, so a
// link to a folder neither doubles the folder nor, in a cycle, runs forever.
bool copyEntry(const QString &source, const QString &target, QString *why)
{
    std::error_code ec;
    const fs::file_type kind = fs::symlink_status(native(source), ec).type();
    if (ec)
        return fail(why, source, ec);
    switch (kind) {
    case fs::file_type::directory: {
        if (!fs::create_directory(native(target), ec))
            return fail(why, target, ec ? ec : std::make_error_code(std::errc::file_exists));
        QStringList names;
        if (!namesIn(source, names, why))
            return false;
        for (const QString &name : std::as_const(names))
            if (!copyEntry(Paths::Join(source, name), Paths::Join(target, name), why))
                return false;
        return true;
    }
    case fs::file_type::symlink: fs::copy_symlink(native(source), native(target), ec); break;
    case fs::file_type::regular: return copyFile(source, target, why);
    default:
        // A pipe or a device: reading it could wait for ever.
        return fail(why, QStringLiteral("%1 is no file, folder or link.").arg(shown(source)));
    }
    return !ec || fail(why, source, ec);
}

// copyEntry that leaves nothing of target behind when it fails.
bool copyNew(const QString &source, const QString &target, QString *why)
{
    if (present(target))
        return fail(why, target, std::make_error_code(std::errc::file_exists));
    if (isRealDir(source) && isWithin(QFileInfo(target).path(), source))
        return fail(why, QStringLiteral("%1 cannot be copied into itself.").arg(shown(source)));
    if (copyEntry(source, target, why))
        return true;
    removeEntry(target, true, nullptr);
    return false;
}

// Copies back into original whatever of it is missing, from a complete copy of it.
bool restoreMissing(const QString &copy, const QString &original, QString *why)
{
    if (!present(original))
        return copyNew(copy, original, why);
    if (!isRealDir(original) || !isRealDir(copy))
        return true;
    QStringList names;
    if (!namesIn(copy, names, why))
        return false;
    bool ok = true;
    for (const QString &name : std::as_const(names))
        ok = restoreMissing(Paths::Join(copy, name), Paths::Join(original, name), why) && ok;
    return ok;
}

// Moves one entry to target, which must not exist: a rename, or onto another file system a
// copy and then removing the source. The only complete copy is never removed: when the source
// can be removed only in part, the copy first fills it up again.
bool moveEntry(const QString &source, const QString &target, QString *why)
{
    std::error_code ec;
    if (renameEntry(source, target, ec))
        return true;
    if (ec != std::errc::cross_device_link)
        return fail(why, source, ec);
    if (!copyNew(source, target, why))
        return false;
    QString removing;
    if (removeEntry(source, false, &removing))
        return true;
    QString restoring;
    if (restoreMissing(target, source, &restoring)) {
        QString text = QStringLiteral("%1 could not be removed from its old place (%2), so it "
                                      "was put back whole.")
                           .arg(nameOf(source), removing);
        if (!removeEntry(target, true, nullptr))
            text += QStringLiteral(" Part of the copy is left in %1.").arg(shown(target));
        return fail(why, text);
    }
    return fail(why, QStringLiteral("%1 was copied to %2, but could not be removed from its old "
                                    "place (%3), and what was already removed could not be put "
                                    "back (%4). All of it is in %2; some of it is also still "
                                    "in %5.")
                         .arg(nameOf(source), shown(target), removing, restoring,
                              shown(QFileInfo(source).path())));
}

// What an operation changed, so that a failure can undo it: entries it made, and existing
// entries it set aside under a free name beside them. Set-aside entries go for good only when
// the operation completes.
class Journal
{
public:
    void made(const QString &path) { m_steps.append({path, QString()}); }

    bool setAside(const QString &path, QString *why)
    {
        QString aside = path + QStringLiteral(".vandrel-replaced");
        for (int n = 2; present(aside); ++n)
            aside = path + QStringLiteral(".vandrel-replaced-%1").arg(n);
        std::error_code ec;
        if (!renameEntry(path, aside, ec))
            return fail(why, path, ec);
        m_steps.append({path, aside});
        return true;
    }

    // Undoes every step, the last first; notes what could not be undone.
    void rollBack(QStringList &notes)
    {
        for (auto it = m_steps.crbegin(); it != m_steps.crend(); ++it) {
            std::error_code ec;
            if (it->aside.isEmpty()) {
                if (!removeEntry(it->path, true, nullptr))
                    notes << QStringLiteral("%1 could not be removed again.").arg(shown(it->path));
            } else if (!renameEntry(it->aside, it->path, ec)) {
                notes << QStringLiteral("The replaced %1 is kept as %2.")
                             .arg(nameOf(it->path), shown(it->aside));
            }
        }
        m_steps.clear();
    }

    void commit(QStringList &notes)
    {
        for (const Step &step : std::as_const(m_steps))
            if (!step.aside.isEmpty() && !removeEntry(step.aside, true, nullptr))
                notes << QStringLiteral("The replaced %1 could not be removed completely; what "
                                        "is left of it is in %2.")
                             .arg(nameOf(step.path), shown(step.aside));
        m_steps.clear();
    }

private:
    struct Step
    {
        QString path;
        QString aside; // empty: made by the operation
    };
    QList<Step> m_steps;
};

// Makes dir with its missing parents, each noted in the journal.
bool makePath(const QString &dir, Journal &journal)
{
    if (present(dir))
        return QFileInfo(dir).isDir();
    const QString parent = QFileInfo(dir).path();
    if (parent == dir || !makePath(parent, journal))
        return false;
    std::error_code ec;
    if (!fs::create_directory(native(dir), ec))
        return false;
    journal.made(dir);
    return true;
}

// Copies what is in from into to: folders merge with folders, anything else replaces.
bool mergeInto(const QString &from, const QString &to, Journal &journal)
{
    QStringList names;
    if (!namesIn(from, names, nullptr))
        return false;
    for (const QString &name : std::as_const(names)) {
        const QString source = Paths::Join(from, name);
        const QString target = Paths::Join(to, name);
        if (isRealDir(source) && isRealDir(target)) {
            if (!mergeInto(source, target, journal))
                return false;
            continue;
        }
        if (present(target) && !journal.setAside(target, nullptr))
            return false;
        if (!copyNew(source, target, nullptr))
            return false;
        journal.made(target);
    }
    return true;
}

void report(QWidget *owner, const QString &text, const QStringList &notes = {})
{
    QString all = text;
    for (const QString &note : notes)
        all += u'\n' + note;
    DialogService::current().message({owner, DialogService::Icon::Error, QStringLiteral("Error"),
                                      all, DialogService::Ok, DialogService::Ok});
}

// A place in a freedesktop.org trash: ".../Trash/files/...", ".Trash-<uid>/files/..." or
// ".Trash/<uid>/files/...".
bool looksLikeTrash(const QString &inTrash)
{
    const QString p = QDir::fromNativeSeparators(inTrash);
    if (QDir::isRelativePath(p))
        return false;
    const QStringList parts = p.split(u'/');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        if (parts.at(i + 1) == u"files"
            && (parts.at(i) == u"Trash" || parts.at(i).startsWith(u".Trash-")
                || (i > 0 && parts.at(i - 1) == u".Trash")))
            return true;
    return false;
}

bool trashOne(const QString &path, QString *inTrash)
{
    if (g_trash)
        return g_trash(path, inTrash);
#ifdef Q_OS_UNIX
    // Without the home trash folders, Qt 6.4 moves the item into the current folder instead.
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                         + QStringLiteral("/Trash");
    QDir().mkpath(home + QStringLiteral("/files"));
    QDir().mkpath(home + QStringLiteral("/info"));
    QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
    QString where;
    bool ok = QFile::moveToTrash(path, &where);
#ifdef Q_OS_UNIX
    if (ok && !looksLikeTrash(where)) {
        // Somewhere that is no trash: put it back and say no.
        std::error_code ec;
        renameEntry(where, path, ec);
        ok = false;
        where.clear();
    }
#endif
    if (inTrash)
        *inTrash = where;
    return ok;
}

// The trash keeps a note beside each item it holds; an item taken back leaves none behind.
void forgetTrashEntry(const QString &inTrash)
{
    const QString p = QDir::fromNativeSeparators(inTrash);
    const qsizetype at = p.lastIndexOf(QStringLiteral("/files/"));
    if (at < 0)
        return;
    QFile::remove(p.left(at) + QStringLiteral("/info/") + p.mid(at + 7)
                  + QStringLiteral(".trashinfo"));
}

} // namespace

void SetTrashFunction(TrashFunction function)
{
    g_trash = std::move(function);
}

bool CopyRecursively(const QString &source, const QString &target)
{
    return copyNew(clean(source), clean(target), nullptr);
}

bool MoveInto(const QStringList &sources, const QString &destDir, QWidget *owner)
{
    const QString dest = clean(destDir);
    if (!QFileInfo(dest).isDir()) {
        report(owner,
               QStringLiteral("Cannot move: the folder %1 does not exist.").arg(shown(dest)));
        return false;
    }
    QList<std::pair<QString, QString>> moves; // source, target
    for (const QString &s : sources) {
        const QString source = clean(s);
        moves.append({source, Paths::Join(dest, nameOf(source))});
    }

    // Refuse and ask about every clash first, so that a "No" leaves everything untouched.
    QStringList replaced;
    for (const auto &[source, target] : std::as_const(moves)) {
        if (!present(source)) {
            report(owner, QStringLiteral("Cannot move %1: it does not exist.").arg(shown(source)));
            return false;
        }
        if (sameEntry(source, target)) {
            report(owner,
                   QStringLiteral("Cannot move %1: the source and the destination are the same.")
                       .arg(nameOf(source)));
            return false;
        }
        if (isRealDir(source) && isWithin(dest, source)) {
            report(owner, QStringLiteral("Cannot move %1: the destination folder is inside it.")
                              .arg(nameOf(source)));
            return false;
        }
        if (!present(target))
            continue;
        // Folders are not swapped for one another: the one there would be lost whole.
        if (QFileInfo(target).isDir() && !nameOf(source).startsWith(QStringLiteral("__"))) {
            report(owner, QStringLiteral("A folder named %1 already exists in %2.")
                              .arg(nameOf(source), shown(dest)));
            return false;
        }
        const auto answer = DialogService::current().message(
            {owner, DialogService::Icon::Question, QStringLiteral("Confirm"),
             QStringLiteral("%1 already exists in %2.\nReplace it?")
                 .arg(nameOf(source), shown(dest)),
             DialogService::Yes | DialogService::No, DialogService::No});
        if (answer != DialogService::Yes)
            return false;
        replaced << target;
    }

    // Entries being replaced step aside first, and come back if anything fails.
    Journal journal;
    for (const QString &target : std::as_const(replaced)) {
        QString why;
        if (!journal.setAside(target, &why)) {
            QStringList notes;
            journal.rollBack(notes);
            report(owner, QStringLiteral("Cannot replace %1.").arg(nameOf(target)),
                   QStringList{why} + notes);
            return false;
        }
    }
    for (qsizetype i = 0; i < moves.size(); ++i) {
        QString why;
        if (moveEntry(moves.at(i).first, moves.at(i).second, &why))
            continue;
        QStringList notes{why};
        for (qsizetype j = i - 1; j >= 0; --j) {
            QString back;
            if (!moveEntry(moves.at(j).second, moves.at(j).first, &back))
                notes << QStringLiteral("%1 could not be moved back and stays in %2 (%3).")
                             .arg(nameOf(moves.at(j).first), shown(dest), back);
        }
        journal.rollBack(notes);
        report(owner,
               QStringLiteral("Cannot move %1 to %2.").arg(nameOf(moves.at(i).first), shown(dest)),
               notes);
        return false;
    }
    QStringList notes;
    journal.commit(notes);
    if (!notes.isEmpty())
        report(owner, QStringLiteral("Moved to %1.").arg(shown(dest)), notes);
    return true;
}

bool CopyContents(const QString &sourceDir, const QString &destDir)
{
    const QString from = clean(sourceDir);
    const QString to = clean(destDir);
    if (!QFileInfo(from).isDir() || isWithin(to, from))
        return false;
    Journal journal;
    if (makePath(to, journal) && mergeInto(from, to, journal)) {
        QStringList notes;
        journal.commit(notes);
        return true;
    }
    QStringList notes;
    journal.rollBack(notes);
    if (!notes.isEmpty())
        report(nullptr,
               QStringLiteral("Copying into %1 failed and could not be undone completely.")
                   .arg(shown(to)),
               notes);
    return false;
}

bool MoveToTrash(const QStringList &sources, QString *why)
{
    QList<std::pair<QString, QString>> trashed; // original, place in the trash
    for (const QString &s : sources) {
        const QString source = clean(s);
        QString inTrash;
        if (trashOne(source, &inTrash)) {
            trashed.append({source, inTrash});
            continue;
        }
        // Bring back what already went, so that a record keeps its companion folder.
        QStringList notes;
        for (auto it = trashed.crbegin(); it != trashed.crend(); ++it) {
            QString back;
            if (!it->second.isEmpty() && moveEntry(it->second, it->first, &back))
                forgetTrashEntry(it->second);
            else
                notes << QStringLiteral("%1 stays in the trash. %2").arg(shown(it->first), back);
        }
        if (why) {
            *why = QStringLiteral("%1 cannot be moved to the trash: there is no trash for the "
                                  "drive it is on, or it cannot be written to. Nothing was "
                                  "deleted.")
                       .arg(shown(source));
            for (const QString &note : std::as_const(notes))
                *why += u'\n' + note;
        }
        return false;
    }
    return true;
}

bool DeletePermanently(const QStringList &paths)
{
    QStringList failed;
    for (const QString &path : paths) {
        QString why;
        if (!removeEntry(clean(path), true, &why))
            failed << why;
    }
    if (failed.isEmpty())
        return true;
    report(nullptr, QStringLiteral("Not everything could be deleted."), failed);
    return false;
}

} // namespace ShellFiles
