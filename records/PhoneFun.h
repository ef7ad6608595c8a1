#pragma once

#include <QString>

class QWidget;

// Name rules shared by every dialog that lets the user type a folder or record name.

// Kinds of ShowNameMessage.
constexpr int NameMsgForbidden = 1;
constexpr int NameMsgEmpty = 2;
constexpr int NameMsgExists = 3;

// The eight characters no name may contain.
inline const QString ForbiddenNameChars = QStringLiteral("\\/:*?<>|");

// True when name holds none of \ / : * ? < > |.
bool IsValidName(const QString &name);

// Shows validation message kind 1, 2 or 3 in a modal error box.
void ShowNameMessage(int kind, QWidget *parent = nullptr);
QString NameMessageText(int kind);

// Checks a trimmed name for a new folder or record in targetFolder (ending with a separator)
// in the order the dialogs use: empty, forbidden character, then, with checkExists, an entry
// of the same kind already there. 0 when the name will do, else the message kind.
int CheckEntryName(const QString &name, const QString &targetFolder, bool folder, bool checkExists);

// Removes every character with a code of 32 or less at both ends.
QString TrimName(const QString &text);

// The file name part of a path, cut before its last "."; a name without "." whole.
QString FileBaseName(const QString &path);

// Name of the folder record file inside a folder.
inline const QString FolderRecordName = QStringLiteral("__g_t.zu");

// The name of the folder that holds the file at path.
QString ContainingFolderName(const QString &path);

// The name shown for a record file or folder record.
QString RecordDisplayName(const QString &path);

// A free name for a new record in a folder given with a trailing separator:
// the folder's name, "_" and the lowest number from 01 up whose ".txt" file does not exist.
QString ProposeRecordName(const QString &folderPath);
