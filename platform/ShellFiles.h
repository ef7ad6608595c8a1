#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The desktop's file operations: move into a folder (asking before anything is replaced),
// recursive copy, delete to the desktop trash and permanent delete. Every operation either
// completes or leaves the disk as it was, and reports its own refusals and errors through the
// dialog service.
namespace ShellFiles {

// Moves each source into destDir. All or nothing: when one source cannot be moved, or the
// user declines replacing an entry, the sources already moved go back and the replaced entries
// are restored. A source that does not exist, is in destDir already or would go into itself is
// refused before anything changes. Onto another file system a source is copied and then
// removed; when it can be removed only in part, the copy puts it back whole first.
bool MoveInto(const QStringList &sources, const QString &destDir, QWidget *owner = nullptr);

// Copies everything inside sourceDir into destDir (made with its parents) without a question:
// folders merge with folders of the same name, anything else of the same name is replaced. On
// failure destDir is as it was: the copies go, the replaced entries come back.
bool CopyContents(const QString &sourceDir, const QString &destDir);

// Moves the sources to the desktop trash. When one of them cannot go, those already trashed
// are brought back, nothing is deleted, and false is returned with the reason in *why.
bool MoveToTrash(const QStringList &sources, QString *why = nullptr);

// Deletes files and folders with all their contents, without the trash; a link goes, never what
// it leads to. An entry that cannot be deleted does not stop the others; what is left is
// reported and false returned.
bool DeletePermanently(const QStringList &paths);

// Copies a file or a folder with its contents to target (which must not exist); links stay
// links. On failure nothing of target is left.
bool CopyRecursively(const QString &source, const QString &target);

// For tests: how a single path goes to the trash. The default is QFile::moveToTrash.
using TrashFunction = std::function<bool(const QString &path, QString *pathInTrash)>;
void SetTrashFunction(TrashFunction function);

} // namespace ShellFiles
