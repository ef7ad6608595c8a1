#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

// The path rules of the program, in one place: which characters separate components, how a
// folder path ends, how a name joins a folder, and how names compare when letter case is aside.
namespace Paths {

// The native separator: "/" here, "\" on Windows.
QChar Separator();

// True for the characters that separate components: "/" here; "\" and "/" on Windows.
bool IsSeparator(QChar c);

// True for the characters after which a file name begins: the separators, and on Windows also
// the colon of a drive ("C:name").
bool EndsComponent(QChar c);

// path with native separators, as the user is shown it.
QString Native(const QString &path);

// dir with exactly one separator at its end (a path that already ends with one as it is).
QString WithSeparator(const QString &dir);

// dir without one trailing separator, unless that would leave no folder ("/", "C:\").
QString WithoutTrailingSeparator(const QString &dir);

// path without any trailing separators.
QString WithoutTrailingSeparators(QString path);

// The names of a path given relative to a folder ("a/b", "./a", either separator); nothing
// when it is absolute or leaves the folder through "..".
std::optional<QStringList> RelativeParts(const QString &path);

// name inside dir, with one separator between them.
QString Join(const QString &dir, const QString &name);

// Everything after the last character that ends a component.
QString FileName(const QString &path);

// A-Z turned into a-z; every other character, Korean included, as it is. Windows compares file
// names this way, and the search matches letters this way.
QChar AsciiLower(QChar c);
QString AsciiLower(QString text);
bool SameIgnoringAsciiCase(QStringView a, QStringView b);

} // namespace Paths
