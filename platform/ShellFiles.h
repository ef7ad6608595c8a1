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
// user declines replacing an entry, the sources already moved go back.
bool MoveInto(const QStringList &sources, const QString &destDir, QWidget *owner = nullptr);

// Copies everything inside sourceDir into destDir (made with its parents), replacing without a
// question. On failure the entries copied so far are removed again.
bool CopyContents(const QString &sourceDir, const QString &destDir);

// Moves the sources to the desktop trash. When one of them cannot go, those already trashed
// are brought back, nothing is deleted, and false is returned with the reason in *why.
bool MoveToTrash(const QStringList &sources, QString *why = nullptr);

// Deletes files and folders with all their contents, without the trash.
bool DeletePermanently(const QStringList &paths);

// Copies a file or a folder with its contents to target (which must not exist).
bool CopyRecursively(const QString &source, const QString &target);

// For tests: how a single path goes to the trash. The default is QFile::moveToTrash.
using TrashFunction = std::function<bool(const QString &path, QString *pathInTrash)>;
void SetTrashFunction(TrashFunction function);

} // namespace ShellFiles
