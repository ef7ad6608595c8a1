#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// vCard 2.1, 3.0 and 4.0 as bytes on one side and properties with their parameters on the
// other. It knows nothing of records.
namespace VCard {

struct Param
{
    QString name; // upper case; a bare 2.1 parameter is a TYPE, or ENCODING for an encoding
    QStringList values;
};

struct Property
{
    QString group; // "item1" of "item1.TEL", as written
    QString name;  // upper case
    QList<Param> params;
    QString value;     // the text, decoded from its transfer encoding and character set; escapes
                       // are still in it (see Text and Split)
    QByteArray binary; // the bytes of a base64 value of PHOTO, LOGO, SOUND or KEY
    bool isBinary = false;
    int line = 0;

    // The values of every parameter of that name (upper case), in order.
    QStringList paramValues(const QString &name) const;
    // True when a TYPE parameter holds type (letter case aside).
    bool hasType(const QString &type) const;
    // The value unescaped as one text.
    QString text() const;
};

struct Card
{
    int index = 0; // 1 for the first card of its file
    int line = 0;  // of its BEGIN
    QList<Property> properties;
    QStringList warnings; // what was read in a way the card did not ask for
    QString error;        // why the card cannot be used; empty when it can

    const Property *first(const QString &name) const;
};

struct Document
{
    QList<Card> cards;
};

// Every card of the bytes: folded lines, quoted-printable with soft line breaks, base64,
// CHARSET honoured; without one a card's text is UTF-8 when its bytes are, else code page 949.
// A card larger than MaxCardBytes, or without its END, comes with an error.
Document Parse(QByteArrayView bytes);
inline constexpr qsizetype MaxCardBytes = 16 * 1024 * 1024;

// "\n", "\N", "\\", "\,", "\;" resolved; any other backslash stays.
QString Unescape(QStringView raw);
// The parts of a value between unescaped separators, each unescaped.
QStringList Split(QStringView raw, QChar separator);
// The text escaped for a 3.0 value or one part of a structured value; CR LF and CR become
// line breaks.
QString Escape(const QString &text);
// Parts joined with ";" after escaping each.
QString Structured(const QStringList &parts);

// Writes cards in vCard 3.0: UTF-8, CR LF, lines folded at 75 bytes between characters.
class Writer
{
public:
    void begin();
    // name may carry a group ("item1.TEL"); params is what follows the name, with its leading
    // ";" ("" for none); value is already escaped.
    void add(const QString &name, const QString &params, const QString &value);
    void end();
    const QByteArray &bytes() const { return m_bytes; }
    QByteArray take() { return std::exchange(m_bytes, {}); }

private:
    QByteArray m_bytes;
};

inline constexpr int MaxLineBytes = 75;

} // namespace VCard
