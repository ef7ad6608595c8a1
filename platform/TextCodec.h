#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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

    static QString decode(QByteArrayView bytes, Encoding encoding);
    static QByteArray encode(const QString &text, Encoding encoding);

    // True when every character survives a round trip through code page 949.
    static bool fitsCp949(const QString &text);

    // Bytes a character takes in code page 949, or in UTF-8 when 949 has no such character.
    static int byteWidth(char32_t codePoint);

    // The longest prefix of text that takes at most maxBytes, never splitting a character.
    static QString cutToBytes(const QString &text, int maxBytes);
};
