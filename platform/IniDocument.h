#pragma once

#include "TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// One INI file held in memory between reading it and writing it back. Lines that no change
// touches keep their exact bytes; only changed lines are encoded anew. Every line is written
// with CR LF.
//
// Rules, as the Windows profile functions have them: a line ends at CR LF, CR or LF; "[name]"
// opens a section; a line whose first non-blank character is ";" is a comment, which is no key
// and stays where it is, also when its section is erased; "key=value" holds a value, split at
// the first "="; section and key names match without regard to case and the first match wins;
// names and values are read with blanks (space, tab, vertical tab) removed at both ends and one
// pair of enclosing quotes removed from the value; names are looked up the same way. A new key goes
// after the last key or other entry of its section, ahead of the comments and blank lines that end
// it.
class IniDocument
{
public:
    // Longest value handed out, in bytes as code page 949 counts them.
    static constexpr int kMaxValueBytes = 2047;
    // Cut: values as the profile functions hand them out, at most kMaxValueBytes.
    // Whole: the full value, for callers that write it back and must not shorten it.
    enum class Length { Cut, Whole };

    IniDocument() = default;
    static IniDocument fromBytes(const QByteArray &bytes);

    // Every value a reader of the file gets, in file order, without building a document: the
    // first section of each name, the first key of each name in it, values whole and unquoted.
    using Visitor = std::function<void(QStringView section, QStringView key, QStringView value)>;
    static void scan(const QByteArray &bytes, const Visitor &visit);

    // The file's bytes, in the encoding the text rules pick, with the byte-order mark the file
    // had. Nothing when the content cannot be written without losing bytes: a code page 949
    // file holding bytes that 949 has no character for cannot become UTF-8.
    std::optional<QByteArray> toBytes() const;

    std::optional<QString> value(const QString &section, const QString &key,
                                 Length length = Length::Cut) const;
    bool sectionHasKeys(const QString &section) const;
    // Every key of the section with its value, in file order; a key repeated later in the
    // section is left out, since the first one is the one that counts.
    QList<std::pair<QString, QString>> entries(const QString &section,
                                               Length length = Length::Cut) const;

    // Reads back as value whatever it holds: blanks or quotes around it put it in quotes, and
    // line breaks, which no value can hold, become blanks. False, and nothing changed, for a
    // name that no reader could find again: a section name holding "]", a key holding "=" or
    // beginning with "[" or ";", either holding a line break.
    [[nodiscard]] bool setValue(const QString &section, const QString &key, const QString &value);
    // Removes every line of that key in the section; false when there was none.
    bool removeKey(const QString &section, const QString &key);
    // Removes every section of that name with its lines but the comments; false when there
    // was none.
    bool removeSection(const QString &section);

    // True when the document holds no line at all.
    bool isEmpty() const { return m_lines.isEmpty(); }

    TextCodec::Encoding sourceEncoding() const { return m_encoding; }

private:
    enum class Kind { Other, Blank, Comment, Section, Key };
    struct Line
    {
        QByteArray raw; // bytes in the source encoding; unused when changed
        QString text;   // the line as text, for reading and for writing a changed line
        bool changed = false;
        Kind kind = Kind::Other;
        QString name;      // section or key name, without blanks around it
        qsizetype eq = -1; // position of the first "=" in text
    };

    QString valueOf(const Line &line, Length length) const;
    static Line parse(QString text);
    // The kind of a line, with the name of a section or key and the place of a key's "=".
    static Kind classify(QStringView text, QStringView *name, qsizetype *eq);
    static Line makeLine(const QString &text);
    std::optional<QByteArray> assemble(TextCodec::Encoding target) const;
    qsizetype findSection(const QString &section) const;
    qsizetype sectionEnd(qsizetype header) const;
    qsizetype findKey(qsizetype header, const QString &key) const;

    QList<Line> m_lines;
    TextCodec::Encoding m_encoding = TextCodec::Encoding::Cp949;
    bool m_nonAscii = false;
    bool m_bom = false;
};
