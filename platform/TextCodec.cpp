#include "TextCodec.h"

#include <QByteArrayList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <vector>

namespace {

// ICU's "windows-949" is Microsoft's unified Hangul code; its "CP949" alias is IBM's table.
constexpr const char *kCp949Name = "windows-949";

QStringDecoder cp949Decoder()
{
    QStringDecoder decoder(kCp949Name, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        decoder = QStringDecoder("CP949", QStringConverter::Flag::Stateless);
    return decoder;
}

QStringEncoder cp949Encoder()
{
    QStringEncoder encoder(kCp949Name, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        encoder = QStringEncoder("CP949", QStringConverter::Flag::Stateless);
    return encoder;
}

// Code page 949 as a table, read once from the converter: a converter costs more to set up
// than most record values take to decode. Entries the converter does not decode to one
// character are 0; text holding any of them goes through the converter itself.
class Cp949Table
{
public:
    static const Cp949Table &get()
    {
        static const Cp949Table table;
        return table;
    }

    // false when bytes hold something the table does not decode exactly.
    bool decode(QByteArrayView bytes, QString &out) const
    {
        out.resize(bytes.size());
        char16_t *o = reinterpret_cast<char16_t *>(out.data());
        const uchar *b = reinterpret_cast<const uchar *>(bytes.data());
        const qsizetype n = bytes.size();
        qsizetype used = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const uchar c = b[i];
            char16_t u;
            if (c < 0x80) {
                u = c;
            } else if (i + 1 < n && m_pairs[(c << 8) | b[i + 1]]) {
                u = m_pairs[(c << 8) | b[++i]];
            } else {
                u = m_singles[c - 0x80];
                if (!u)
                    return false;
            }
            o[used++] = u;
        }
        out.truncate(used);
        return true;
    }

private:
    Cp949Table()
        : m_pairs(0x10000, 0)
    {
        QStringDecoder decoder = cp949Decoder();
        const auto one = [&decoder](QByteArrayView bytes) -> char16_t {
            const QString s = decoder.decode(bytes);
            const bool exact =
                !decoder.hasError() && s.size() == 1 && s.at(0) != QChar::ReplacementCharacter;
            decoder.resetState();
            return exact ? s.at(0).unicode() : 0;
        };
        for (int c = 0x80; c <= 0xFF; ++c) {
            const char lead = char(c);
            m_singles[c - 0x80] = one(QByteArrayView(&lead, 1));
            for (int t = 0x41; t <= 0xFE; ++t) {
                const char pair[2] = {lead, char(t)};
                m_pairs[size_t((c << 8) | t)] = one(QByteArrayView(pair, 2));
            }
        }
    }

    std::vector<char16_t> m_pairs; // lead << 8 | trail
    char16_t m_singles[0x80] = {}; // bytes from 0x80 that stand alone
};

bool isAsciiText(QStringView text)
{
    for (QChar ch : text)
        if (ch.unicode() >= 0x80)
            return false;
    return true;
}

// One character (one UTF-16 unit or a surrogate pair), with converters that are used again for
// every character of a text.
int charWidth(QStringView one, QStringEncoder &encoder, QStringDecoder &decoder)
{
    if (one.size() == 1 && one.front().unicode() < 0x80)
        return 1;
    encoder.resetState();
    const QByteArray bytes = encoder.encode(one);
    if (!encoder.hasError() && !bytes.isEmpty()) {
        decoder.resetState();
        const QString back = decoder.decode(bytes);
        if (!decoder.hasError() && back == one)
            return int(bytes.size());
    }
    return int(one.toUtf8().size());
}

} // namespace

bool TextCodec::hasUtf8Bom(QByteArrayView bytes)
{
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xEF && uchar(bytes[1]) == 0xBB
           && uchar(bytes[2]) == 0xBF;
}

bool TextCodec::isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

bool TextCodec::isValidUtf8(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const uchar c = uchar(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            const uchar t = uchar(bytes[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

TextCodec::Encoding TextCodec::detect(QByteArrayView bytes)
{
    if (hasUtf8Bom(bytes))
        bytes = bytes.sliced(3);
    return isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Cp949;
}

TextCodec::Body TextCodec::fileBody(QByteArrayView file)
{
    Body body;
    body.bom = hasUtf8Bom(file);
    body.bytes = body.bom ? file.sliced(3) : file;
    body.encoding = detect(body.bytes);
    return body;
}

QByteArray TextCodec::fileBytes(const QByteArray &body, bool bom)
{
    if (!bom && !hasUtf8Bom(body))
        return body;
    return QByteArray("\xEF\xBB\xBF") + body;
}

QString TextCodec::decode(QByteArrayView bytes, Encoding encoding)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (encoding == Encoding::Utf8) {
        // QString::fromUtf8 would drop a leading U+FEFF.
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless
                                   | QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    QString text;
    if (Cp949Table::get().decode(bytes, text))
        return text;
    QStringDecoder decoder = cp949Decoder();
    return decoder.decode(bytes);
}

QByteArray TextCodec::encode(const QString &text, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return text.toUtf8();
    if (isAsciiText(text))
        return text.toLatin1();
    QStringEncoder encoder = cp949Encoder();
    return encoder.encode(text);
}

std::optional<QString> TextCodec::decodeNamed(QByteArrayView bytes, QByteArrayView charset)
{
    const QByteArray name = charset.toByteArray().trimmed().toUpper();
    static const QByteArrayList korean = {"EUC-KR",  "EUCKR",       "KS_C_5601-1987", "KS_C_5601",
                                          "KSC5601", "KSC_5601",    "CP949",          "MS949",
                                          "UHC",     "WINDOWS-949", "X-WINDOWS-949",  "KOREAN"};
    if (korean.contains(name))
        return decode(bytes, Encoding::Cp949);
    if (name == "UTF-8" || name == "UTF8")
        return decode(bytes, Encoding::Utf8);
    if (name == "US-ASCII" && isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(name.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    return decoder.decode(bytes);
}

bool TextCodec::fitsCp949(const QString &text)
{
    if (isAsciiText(text))
        return true;
    QStringEncoder encoder = cp949Encoder();
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    // The encoder may map a character to a look-alike; only an exact round trip counts.
    QStringDecoder decoder = cp949Decoder();
    const QString back = decoder.decode(bytes);
    return !decoder.hasError() && back == text;
}

int TextCodec::byteWidth(char32_t codePoint)
{
    if (codePoint < 0x80)
        return 1;
    // Not QString::fromUcs4: it drops a leading U+FEFF.
    char16_t units[2];
    qsizetype size = 1;
    if (QChar::requiresSurrogates(codePoint)) {
        units[0] = QChar::highSurrogate(codePoint);
        units[1] = QChar::lowSurrogate(codePoint);
        size = 2;
    } else {
        units[0] = char16_t(codePoint);
    }
    QStringEncoder encoder = cp949Encoder();
    QStringDecoder decoder = cp949Decoder();
    return charWidth(QStringView(units, size), encoder, decoder);
}

QString TextCodec::cutToBytes(const QString &text, int maxBytes)
{
    // No character takes more than three bytes per UTF-16 unit.
    if (text.size() * 3 <= maxBytes)
        return text;
    QStringEncoder encoder = cp949Encoder();
    QStringDecoder decoder = cp949Decoder();
    const QStringView view(text);
    int used = 0;
    qsizetype i = 0;
    while (i < view.size()) {
        qsizetype units = 1;
        if (view.at(i).isHighSurrogate() && i + 1 < view.size() && view.at(i + 1).isLowSurrogate())
            units = 2;
        const int w = charWidth(view.sliced(i, units), encoder, decoder);
        if (used + w > maxBytes)
            break;
        used += w;
        i += units;
    }
    return text.left(i);
}
