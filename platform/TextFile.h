#pragma once

#include <QString>
#include <QStringList>

// A whole text file as lines, read and written with the program's encoding rules. Line ends
// are kept as they were.
class TextFile
{
public:
    // False when the file cannot be read.
    bool Load(const QString &path);
    // Writes the lines back in one step; false when that fails. Nothing is written when no
    // line changed since Load.
    bool Save(const QString &path) const;

    QStringList lines;

private:
    QStringList m_loaded;
    bool m_wasUtf8Text = false;
};
