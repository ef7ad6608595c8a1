#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The one place that knows how 8-bit text on disk maps to QString.
// Reading: bytes that are entirely valid UTF-8 are UTF-8, anything else is code page 949.
// Writing: code page 949 whenever that keeps every character, else UTF-8 without a BOM.
class TextCodec
{
public:
    enum class Encoding { Cp949, Utf8 };

    static bool isValidUtf8(QByteArrayView bytes);
    static bool hasUtf8Bom(QByteArrayView bytes);
    static bool isAscii(QByteArrayView bytes);

    // Encoding of a whole file's bytes (a UTF-8 BOM counts as UTF-8 when the rest is valid).
    static Encoding detect(QByteArrayView bytes);

    // A file's text as the reader sees it: one leading UTF-8 BOM is skipped, whatever follows.
    struct Body
    {
        QByteArrayView bytes;
        bool bom = false;
        Encoding encoding = Encoding::Utf8;
    };
    static Body fileBody(QByteArrayView file);
    // The file bytes that give body back through fileBody: a BOM goes first when the file had one,
    // and also when body itself starts with the bytes of one, which the reader would skip.
    static QByteArray fileBytes(const QByteArray &body, bool bom);

    // A leading U+FEFF is kept as a character; only fileBody skips a BOM.
    static QString decode(QByteArrayView bytes, Encoding encoding);
    static QByteArray encode(const QString &text, Encoding encoding);

    // Text in a character set named as in MIME ("EUC-KR", "ISO-8859-1", ...); nothing when no
    // such character set is known. Every name of the Korean code pages reads as code page 949,
    // its superset.
    static std::optional<QString> decodeNamed(QByteArrayView bytes, QByteArrayView charset);

    // True when every character survives a round trip through code page 949.
    static bool fitsCp949(const QString &text);

    // Bytes a character takes in code page 949 (one for ASCII and for 0x80 and 0xFF, two for the
    // rest), or in UTF-8 when 949 has no such character.
    static int byteWidth(char32_t codePoint);

    // The longest prefix of text whose characters take at most maxBytes as byteWidth counts them,
    // never splitting a character.
    static QString cutToBytes(const QString &text, int maxBytes);
};
