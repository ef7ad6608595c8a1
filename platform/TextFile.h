#pragma once

#include "TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A whole text file as lines, read and written with the program's encoding rules. Lines keep
// their line ends ("\r" stays at the end of a CR LF line), and a save writes only the lines that
// changed anew: every other byte, a byte-order mark and bytes that do not decode included, stays
// as it was.
class TextFile
{
public:
    // False when the file cannot be read.
    bool Load(const QString &path);
    // Writes the lines back in one step; false when that fails, or when the change would force
    // the file into another encoding that cannot carry bytes of it that do not decode (the file
    // is then left as it was). Nothing is written when no line changed since Load.
    bool Save(const QString &path) const;

    QStringList lines;

private:
    bool m_bom = false;
    QList<QByteArray> m_raw; // the loaded lines' bytes, line ends included but for "\n"
    QStringList m_loaded;
    TextCodec::Encoding m_encoding = TextCodec::Encoding::Cp949;
    bool m_wasUtf8Text = false;
};
