#include "VCard.h"

#include "platform/TextCodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace VCard {

namespace {

struct Line
{
    QByteArray text;
    int number = 0;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimmed(QByteArrayView v)
{
    return v.trimmed().toByteArray();
}

// The part before the first colon outside quotes, upper case.
QByteArray headerOf(QByteArrayView line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return line.first(i).toByteArray().toUpper();
    }
    return {};
}

bool isBase64Text(QByteArrayView v)
{
    const QByteArrayView t = v.trimmed();
    if (t.isEmpty())
        return false;
    for (char c : t)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+'
              || c == '/' || c == '='))
            return false;
    return true;
}

// Samsung's X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,...) names an encoding for its
// label only.
QByteArray withoutParentheses(const QByteArray &header)
{
    QByteArray out;
    int depth = 0;
    for (char c : header) {
        if (c == '(')
            ++depth;
        else if (c == ')' && depth > 0)
            --depth;
        else if (depth == 0)
            out += c;
    }
    return out;
}

bool isLine(QByteArrayView v, const char *what)
{
    return v.trimmed().compare(what, Qt::CaseInsensitive) == 0;
}

// Physical lines joined into content lines: folding, quoted-printable soft line breaks, and
// the unindented base64 lines some 2.1 writers leave.
QList<Line> contentLines(QByteArrayView bytes)
{
    QList<Line> lines;
    Line pending;
    bool havePending = false;
    bool pendingQp = false;
    bool pendingBase64 = false;
    auto flush = [&] {
        if (havePending)
            lines.append(std::move(pending));
        pending = {};
        havePending = false;
    };
    qsizetype pos = 0;
    int number = 0;
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView v = bytes.sliced(pos, end - pos);
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n' && (pos == end || bytes[pos - 1] == '\r'))
            ++pos;
        ++number;

        if (v.isEmpty()) {
            flush(); // an empty line ends a 2.1 base64 value
            continue;
        }
        if (havePending && pendingQp && pending.text.endsWith('=') && !isLine(v, "END:VCARD")) {
            pending.text.chop(1);
            pending.text += v;
            continue;
        }
        if (havePending && isSpace(v[0])) {
            pending.text += v.sliced(1);
            continue;
        }
        if (havePending && pendingBase64 && isBase64Text(v)) {
            pending.text += v.trimmed();
            continue;
        }
        flush();
        pending = {v.toByteArray(), number};
        havePending = true;
        const QByteArray header = withoutParentheses(headerOf(v));
        pendingQp = header.contains("QUOTED-PRINTABLE");
        pendingBase64 = header.contains("BASE64");
    }
    flush();
    return lines;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// False when an "=" is followed by no two hexadecimal digits; it is then kept as it was.
bool decodeQuotedPrintable(QByteArrayView in, QByteArray &out)
{
    out.clear();
    out.reserve(in.size());
    bool whole = true;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out += in[i];
            continue;
        }
        if (i == in.size() - 1)
            break; // a soft line break at the very end
        const int hi = i + 1 < in.size() ? hexValue(in[i + 1]) : -1;
        const int lo = i + 2 < in.size() ? hexValue(in[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            out += in[i];
            whole = false;
            continue;
        }
        out += char(hi * 16 + lo);
        i += 2;
    }
    return whole;
}

// Splits at a separator outside double quotes.
QList<QByteArray> splitUnquoted(QByteArrayView text, char separator)
{
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == separator && !quoted) {
            parts.append(text.sliced(start, i - start).toByteArray());
            start = i + 1;
        }
    }
    parts.append(text.sliced(start).toByteArray());
    return parts;
}

bool isName(QByteArrayView name)
{
    if (name.isEmpty())
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
              || c == '_'))
            return false;
    return true;
}

// The label of Samsung's X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,=ED=9A=8C=EC=82=AC):
// the last argument, in the encoding and character set the others name.
Param customParam(QByteArrayView inner)
{
    QByteArray label, charset;
    bool qp = false;
    for (const QByteArray &arg : splitUnquoted(inner, ',')) {
        const QByteArray t = trimmed(arg);
        if (t.toUpper().startsWith("CHARSET="))
            charset = t.mid(8);
        else if (t.toUpper() == "ENCODING=QUOTED-PRINTABLE")
            qp = true;
        else
            label = t;
    }
    QByteArray bytes = label;
    if (qp)
        decodeQuotedPrintable(label, bytes);
    std::optional<QString> text;
    if (!charset.isEmpty() && !(charset.toUpper() == "UTF-8" && !TextCodec::isValidUtf8(bytes)))
        text = TextCodec::decodeNamed(bytes, charset);
    if (!text)
        text = TextCodec::decode(bytes, TextCodec::isValidUtf8(bytes) ? TextCodec::Encoding::Utf8
                                                                      : TextCodec::Encoding::Cp949);
    return {QStringLiteral("X-CUSTOM"), {*text}};
}

Param parseParam(const QByteArray &text)
{
    const QByteArray whole = trimmed(text);
    if (whole.toUpper().startsWith("X-CUSTOM(") && whole.endsWith(')'))
        return customParam(QByteArrayView(whole).sliced(9, whole.size() - 10));
    const qsizetype eq = text.indexOf('=');
    if (eq < 0) {
        // 2.1 writes "TEL;WORK;QUOTED-PRINTABLE:" without parameter names.
        const QString value = QString::fromLatin1(trimmed(text)).toUpper();
        static const QStringList encodings = {QStringLiteral("QUOTED-PRINTABLE"),
                                              QStringLiteral("BASE64"), QStringLiteral("8BIT"),
                                              QStringLiteral("7BIT")};
        return {encodings.contains(value) ? QStringLiteral("ENCODING") : QStringLiteral("TYPE"),
                {value}};
    }
    Param p;
    p.name = QString::fromLatin1(trimmed(text.left(eq))).toUpper();
    for (QByteArray v : splitUnquoted(QByteArrayView(text).sliced(eq + 1), ',')) {
        v = trimmed(v);
        if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
            v = v.mid(1, v.size() - 2);
        // 4.0 quotes a list of types: TYPE="work,voice".
        if (p.name == u"TYPE")
            p.values += QString::fromUtf8(v).split(u',', Qt::SkipEmptyParts);
        else
            p.values << QString::fromUtf8(v);
    }
    return p;
}

struct RawProperty
{
    Property property;
    QByteArray bytes;
    bool decodeText = false;
};

bool isBinaryName(const QString &name)
{
    return name == u"PHOTO" || name == u"LOGO" || name == u"SOUND" || name == u"KEY";
}

// One content line of a card into a property; false (with a warning or an error on the card)
// when it holds none.
bool parseProperty(const Line &line, Card &card, RawProperty &out)
{
    const QByteArray header = headerOf(line.text);
    const qsizetype colon = header.isEmpty() && !line.text.startsWith(':') ? -1 : header.size();
    if (colon < 0) {
        card.warnings
            << QStringLiteral("%1번째 줄은 vCard 속성이 아니어서 건너뛰었습니다.").arg(line.number);
        return false;
    }
    QList<QByteArray> parts = splitUnquoted(QByteArrayView(line.text).first(colon), ';');
    QByteArray name = trimmed(parts.takeFirst());
    Property &p = out.property;
    p.line = line.number;
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0) {
        p.group = QString::fromLatin1(name.left(dot));
        name = name.mid(dot + 1);
    }
    if (!isName(name)) {
        card.warnings
            << QStringLiteral("%1번째 줄은 vCard 속성이 아니어서 건너뛰었습니다.").arg(line.number);
        return false;
    }
    p.name = QString::fromLatin1(name).toUpper();
    for (const QByteArray &part : std::as_const(parts))
        if (!trimmed(part).isEmpty())
            p.params << parseParam(part);

    const QByteArrayView value = QByteArrayView(line.text).sliced(colon + 1);
    const QString encoding = p.paramValues(QStringLiteral("ENCODING")).value(0).toUpper();
    if (encoding == u"QUOTED-PRINTABLE") {
        // One broken value never costs the card its name and numbers.
        if (!decodeQuotedPrintable(value, out.bytes))
            card.warnings << QStringLiteral("%1번째 줄(%2)의 quoted-printable 값이 깨져 있어 "
                                            "깨진 곳은 적힌 그대로 읽었습니다.")
                                 .arg(line.number)
                                 .arg(p.name);
    } else if (encoding == u"BASE64" || encoding == u"B") {
        QByteArray compact;
        compact.reserve(value.size());
        for (char c : value)
            if (!isSpace(c))
                compact += c;
        auto decoded =
            QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            card.warnings << QStringLiteral("%1번째 줄(%2)의 base64 값이 깨져 있어 건너뛰었습니다.")
                                 .arg(line.number)
                                 .arg(p.name);
            return false;
        }
        out.bytes = std::move(*decoded);
        if (isBinaryName(p.name)) {
            p.isBinary = true;
            p.binary = std::move(out.bytes);
            out.bytes.clear();
            return true;
        }
    } else {
        out.bytes = value.toByteArray();
    }
    out.decodeText = true;
    return true;
}

bool isCp949Text(QByteArrayView bytes)
{
    return !TextCodec::decode(bytes, TextCodec::Encoding::Cp949)
                .contains(QChar::ReplacementCharacter);
}

// The encoding the bytes are in when the CHARSET a phone wrote cannot be right: UTF-8 that is
// no UTF-8 but code page 949, a Korean or ASCII character set for bytes that are UTF-8. Code
// page 949 Hangul is never valid UTF-8, so the one cannot pass for the other.
std::optional<TextCodec::Encoding> mislabelled(QByteArrayView bytes, const QString &charset)
{
    if (TextCodec::isAscii(bytes))
        return std::nullopt;
    static const QStringList korean = {
        u"EUC-KR"_s,         u"EUCKR"_s,     u"CP949"_s,   u"MS949"_s,    u"UHC"_s,
        u"KS_C_5601-1987"_s, u"KS_C_5601"_s, u"KSC5601"_s, u"KSC_5601"_s, u"WINDOWS-949"_s,
        u"X-WINDOWS-949"_s,  u"CSEUCKR"_s,   u"KOREAN"_s};
    static const QStringList ascii = {u"US-ASCII"_s, u"ASCII"_s, u"ANSI_X3.4-1968"_s};
    const QString name = charset.trimmed().toUpper();
    const bool utf8 = TextCodec::isValidUtf8(bytes);
    if (name == u"UTF-8" || name == u"UTF8")
        return !utf8 && isCp949Text(bytes) ? std::optional(TextCodec::Encoding::Cp949)
                                           : std::nullopt;
    if (korean.contains(name) && utf8) {
        // A few code page 949 syllables in a row can pass for two-byte UTF-8; Hangul in UTF-8
        // takes three bytes a character.
        const QString text = QString::fromUtf8(bytes);
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x800; }))
            return TextCodec::Encoding::Utf8;
    }
    if (ascii.contains(name))
        return utf8 ? TextCodec::Encoding::Utf8 : TextCodec::Encoding::Cp949;
    return std::nullopt;
}

// Turns the card's values into text: by their CHARSET, else all together UTF-8 when the
// bytes are, else code page 949.
void decodeTexts(QList<RawProperty> &raw, Card &card)
{
    QByteArray untagged;
    for (const RawProperty &r : std::as_const(raw))
        if (r.decodeText && r.property.paramValues(QStringLiteral("CHARSET")).isEmpty())
            untagged += r.bytes;
    const bool cardUtf8 = TextCodec::isValidUtf8(untagged);
    for (RawProperty &r : raw) {
        if (!r.decodeText)
            continue;
        const QString charset = r.property.paramValues(QStringLiteral("CHARSET")).value(0);
        if (!charset.isEmpty()) {
            if (const auto other = mislabelled(r.bytes, charset)) {
                r.property.value = TextCodec::decode(r.bytes, *other);
                card.warnings << QStringLiteral(
                                     "%1번째 줄: 문자 집합이 %2(으)로 적혀 있지만 %3(이)라서 "
                                     "%3(으)로 읽었습니다.")
                                     .arg(r.property.line)
                                     .arg(charset, *other == TextCodec::Encoding::Utf8
                                                       ? QStringLiteral("UTF-8")
                                                       : QStringLiteral("CP949"));
                continue;
            }
            if (auto text = TextCodec::decodeNamed(r.bytes, charset.toLatin1())) {
                r.property.value = *text;
                continue;
            }
            card.warnings << QStringLiteral("%1번째 줄: 문자 집합 '%2'을(를) 몰라 UTF-8이나 "
                                            "CP949로 읽었습니다.")
                                 .arg(r.property.line)
                                 .arg(charset);
        }
        const bool utf8 = (cardUtf8 || !charset.isEmpty()) && TextCodec::isValidUtf8(r.bytes);
        r.property.value = TextCodec::decode(r.bytes, utf8 ? TextCodec::Encoding::Utf8
                                                           : TextCodec::Encoding::Cp949);
    }
}

QByteArray withoutUnicodeMarks(QByteArrayView bytes)
{
    const auto b = [&](int i) { return uchar(bytes[i]); };
    if (bytes.size() >= 2 && ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == 0xFE && b(1) == 0xFF))) {
        QStringDecoder utf16(b(0) == 0xFF ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return QString(utf16.decode(bytes.sliced(2))).toUtf8();
    }
    if (TextCodec::hasUtf8Bom(bytes))
        return bytes.sliced(3).toByteArray();
    return bytes.toByteArray();
}

} // namespace

QStringList Property::paramValues(const QString &name) const
{
    QStringList values;
    for (const Param &p : params)
        if (p.name == name)
            values += p.values;
    return values;
}

bool Property::hasType(const QString &type) const
{
    for (const QString &t : paramValues(QStringLiteral("TYPE")))
        if (t.compare(type, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString Property::text() const
{
    return Unescape(value);
}

const Property *Card::first(const QString &name) const
{
    for (const Property &p : properties)
        if (p.name == name)
            return &p;
    return nullptr;
}

Document Parse(QByteArrayView input)
{
    const QByteArray bytes = withoutUnicodeMarks(input);
    Document doc;
    const QList<Line> lines = contentLines(bytes);
    bool inCard = false;
    int nested = 0; // 2.1 cards inside an AGENT
    Card card;
    QList<RawProperty> raw;
    qsizetype cardBytes = 0;
    auto finish = [&](const QString &error) {
        if (card.error.isEmpty())
            card.error = error;
        if (card.error.isEmpty())
            decodeTexts(raw, card);
        for (RawProperty &r : raw)
            card.properties.append(std::move(r.property));
        raw.clear();
        doc.cards.append(std::move(card));
        card = {};
        inCard = false;
    };
    auto start = [&](const Line &line) {
        card.index = int(doc.cards.size()) + 1;
        card.line = line.number;
        cardBytes = 0;
        inCard = true;
    };
    for (const Line &line : lines) {
        const bool begin = isLine(line.text, "BEGIN:VCARD");
        const bool end = isLine(line.text, "END:VCARD");
        if (!inCard) {
            if (begin)
                start(line);
            continue;
        }
        if (nested > 0) {
            nested += begin ? 1 : end ? -1 : 0;
            continue;
        }
        if (end) {
            finish({});
            continue;
        }
        if (begin) {
            if (!raw.isEmpty() && raw.back().property.name == u"AGENT") {
                nested = 1;
                continue;
            }
            finish(QStringLiteral("END:VCARD 없이 다음 카드가 시작됩니다."));
            start(line);
            continue;
        }
        if (!card.error.isEmpty())
            continue;
        cardBytes += line.text.size();
        if (cardBytes > MaxCardBytes) {
            card.error = QStringLiteral("카드가 %1 MB보다 큽니다.").arg(MaxCardBytes >> 20);
            raw.clear();
            continue;
        }
        RawProperty r;
        if (parseProperty(line, card, r))
            raw.append(std::move(r));
        else if (!card.error.isEmpty())
            raw.clear();
    }
    if (inCard)
        finish(QStringLiteral("END:VCARD 없이 파일이 끝납니다."));
    return doc;
}

QString Unescape(QStringView raw)
{
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != u'\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const QChar n = raw[i + 1];
        if (n == u'n' || n == u'N')
            out += u'\n';
        else if (n == u'\\' || n == u',' || n == u';' || n == u':')
            out += n;
        else {
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

QStringList Split(QStringView raw, QChar separator)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == u'\\') {
            ++i;
        } else if (raw[i] == separator) {
            parts << Unescape(raw.sliced(start, i - start));
            start = i + 1;
        }
    }
    parts << Unescape(raw.sliced(qMin(start, raw.size())));
    return parts;
}

QString Escape(const QString &text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u',': out += QStringLiteral("\\,"); break;
        case u';': out += QStringLiteral("\\;"); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r':
            out += QStringLiteral("\\n");
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            break;
        default: out += c;
        }
    }
    return out;
}

QString Structured(const QStringList &parts)
{
    QStringList escaped;
    for (const QString &p : parts)
        escaped << Escape(p);
    return escaped.join(u';');
}

void Writer::begin()
{
    m_bytes += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
}

void Writer::add(const QString &name, const QString &params, const QString &value)
{
    const QByteArray line = (name + params + u':' + value).toUtf8();
    qsizetype pos = 0;
    qsizetype limit = MaxLineBytes;
    while (line.size() - pos > limit) {
        // Never between the bytes of one character.
        qsizetype cut = pos + limit;
        while (cut > pos && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        m_bytes += QByteArrayView(line).sliced(pos, cut - pos);
        m_bytes += "\r\n ";
        pos = cut;
        limit = MaxLineBytes - 1;
    }
    m_bytes += QByteArrayView(line).sliced(pos);
    m_bytes += "\r\n";
}

void Writer::end()
{
    m_bytes += "END:VCARD\r\n";
}

} // namespace VCard
