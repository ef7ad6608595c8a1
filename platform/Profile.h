#pragma once

#include "IniDocument.h"

#include <QString>

// Profile (INI file) access, one value per call. Every call reads the file anew and a write
// replaces it atomically; nothing is cached between calls.
namespace profile {

QString readString(const QString &file, const QString &section, const QString &key,
                   const QString &defaultValue = {});
int readInteger(const QString &file, const QString &section, const QString &key, int defaultValue);
bool readBool(const QString &file, const QString &section, const QString &key, bool defaultValue);
bool sectionHasKeys(const QString &file, const QString &section);

// Writes raise WriteError; a missing file is created (its directory must exist).
void writeString(const QString &file, const QString &section, const QString &key,
                 const QString &value);
void writeInteger(const QString &file, const QString &section, const QString &key, int value);
void writeBool(const QString &file, const QString &section, const QString &key, bool value);

// False when the file could not be rewritten. A missing file or key is success.
bool deleteKey(const QString &file, const QString &section, const QString &key);
// Raises WriteError when the file could not be rewritten. A missing file or section is success.
void eraseSection(const QString &file, const QString &section);

// Integer text as the settings file holds it: decimal with an optional sign; "0x" or "0X"
// before hexadecimal digits when the text is longer than two characters; "$" before
// hexadecimal digits. Anything else gives defaultValue.
int parseInteger(const QString &text, int defaultValue);

// Several reads of one file inside one operation, sharing one read of the file.
class Snapshot
{
public:
    explicit Snapshot(const QString &file);
    bool exists() const { return m_exists; }
    QString readString(const QString &section, const QString &key, const QString &defaultValue = {},
                       IniDocument::Length length = IniDocument::Length::Cut) const;
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool sectionHasKeys(const QString &section) const;
    QList<std::pair<QString, QString>>
    entries(const QString &section, IniDocument::Length length = IniDocument::Length::Cut) const;

private:
    IniDocument m_doc;
    bool m_exists = false;
};

// Several writes to one file that replace it once: the file ends up either as it was or with
// every change, whatever happens in between.
class Edit
{
public:
    // Reads the file; raises WriteError when it exists but cannot be read.
    explicit Edit(const QString &file);
    IniDocument &document() { return m_doc; }
    // Replaces the file once when its bytes changed (a missing file is created only when the
    // document holds something); raises WriteError when that fails.
    void commit();

private:
    QString m_file;
    // Filled while m_doc is read, so declared before it.
    QByteArray m_original;
    bool m_existed = false;
    IniDocument m_doc;
};

} // namespace profile
