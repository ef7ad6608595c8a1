#include "IniDocument.h"

#include <QSet>

namespace {

// Only these count as blanks around names and values; U+3000 or U+00A0 are text.
bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\v';
}

QStringView trimBlanks(QStringView text)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    return text.sliced(b, e - b);
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A value must stay on its own line, or it would turn into keys and sections of its own.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

// Lines read from the file and lines the program writes go through the same rules, so that a
// value reads the same before and after it is stored.
IniDocument::Line IniDocument::parse(QString text)
{
    Line line;
    line.text = std::move(text);
    const QStringView trimmed = trimBlanks(line.text);
    if (trimmed.isEmpty()) {
        line.kind = Kind::Blank;
    } else if (trimmed.front() == u'[') {
        line.kind = Kind::Section;
        QStringView inner = trimmed.sliced(1);
        const qsizetype close = inner.indexOf(u']');
        if (close >= 0)
            inner = inner.first(close);
        line.name = trimBlanks(inner).toString();
    } else if (trimmed.front() == u';') {
        line.kind = Kind::Comment;
    } else {
        line.eq = line.text.indexOf(u'=');
        if (line.eq >= 0) {
            line.kind = Kind::Key;
            line.name = trimBlanks(QStringView(line.text).first(line.eq)).toString();
        }
    }
    return line;
}

IniDocument::Line IniDocument::makeLine(const QString &text)
{
    Line line = parse(text);
    line.changed = true;
    return line;
}

IniDocument IniDocument::fromBytes(const QByteArray &bytes)
{
    IniDocument doc;
    const TextCodec::Body body = TextCodec::fileBody(bytes);
    doc.m_bom = body.bom;
    doc.m_encoding = body.encoding;
    doc.m_nonAscii = !TextCodec::isAscii(body.bytes);

    const QByteArrayView b = body.bytes;
    auto add = [&doc, b](qsizetype from, qsizetype to) {
        const QByteArrayView raw = b.sliced(from, to - from);
        Line line = parse(TextCodec::decode(raw, doc.m_encoding));
        line.raw = raw.toByteArray();
        doc.m_lines.append(std::move(line));
    };
    // "[", "]", "=", ";", CR and LF are never part of a code page 949 character, so lines can
    // be found in the bytes.
    qsizetype start = 0;
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (b[i] != '\r' && b[i] != '\n')
            continue;
        add(start, i);
        if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < b.size())
        add(start, b.size());
    return doc;
}

std::optional<QByteArray> IniDocument::assemble(TextCodec::Encoding target) const
{
    QByteArray out;
    for (const Line &line : m_lines) {
        if (line.changed) {
            out += TextCodec::encode(line.text, target);
        } else if (target == m_encoding || TextCodec::isAscii(line.raw)) {
            out += line.raw;
        } else {
            // Only bytes that their text gives back exactly may be written in another encoding.
            if (TextCodec::encode(line.text, m_encoding) != line.raw)
                return std::nullopt;
            out += TextCodec::encode(line.text, target);
        }
        out += "\r\n";
    }
    return out;
}

std::optional<QByteArray> IniDocument::toBytes() const
{
    using Enc = TextCodec::Encoding;
    // A file that holds UTF-8 text, or says it is UTF-8 with a byte-order mark, stays UTF-8.
    bool cp949 = !(m_encoding == Enc::Utf8 && (m_nonAscii || m_bom));
    if (cp949)
        for (const Line &line : m_lines)
            if (line.changed && !TextCodec::fitsCp949(line.text)) {
                cp949 = false;
                break;
            }
    if (cp949) {
        const std::optional<QByteArray> body = assemble(Enc::Cp949);
        // Code page 949 bytes that happen to form valid UTF-8 would be misread next time.
        if (body && (TextCodec::isAscii(*body) || !TextCodec::isValidUtf8(*body)))
            return TextCodec::fileBytes(*body, m_bom);
    }
    const std::optional<QByteArray> body = assemble(Enc::Utf8);
    if (!body)
        return std::nullopt;
    return TextCodec::fileBytes(*body, m_bom);
}

qsizetype IniDocument::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        if (m_lines.at(i).kind == Kind::Section && sameName(m_lines.at(i).name, section))
            return i;
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype header) const
{
    qsizetype i = header + 1;
    while (i < m_lines.size() && m_lines.at(i).kind != Kind::Section)
        ++i;
    return i;
}

qsizetype IniDocument::findKey(qsizetype header, const QString &key) const
{
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (m_lines.at(i).kind == Kind::Key && sameName(m_lines.at(i).name, key))
            return i;
    return -1;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key,
                                          Length length) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const qsizetype at = findKey(header, key);
    if (at < 0)
        return std::nullopt;
    return valueOf(m_lines.at(at), length);
}

QString IniDocument::valueOf(const Line &line, Length length) const
{
    QStringView text = trimBlanks(QStringView(line.text).sliced(line.eq + 1));
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'')
        && text.back() == text.front())
        text = text.sliced(1, text.size() - 2);
    return length == Length::Whole ? text.toString()
                                   : TextCodec::cutToBytes(text.toString(), kMaxValueBytes);
}

QList<std::pair<QString, QString>> IniDocument::entries(const QString &section, Length length) const
{
    QList<std::pair<QString, QString>> result;
    const qsizetype header = findSection(section);
    if (header < 0)
        return result;
    const qsizetype end = sectionEnd(header);
    QSet<QString> seen;
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind != Kind::Key)
            continue;
        const QString folded = line.name.toCaseFolded();
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        result.append({line.name, valueOf(line, length)});
    }
    return result;
}

bool IniDocument::sectionHasKeys(const QString &section) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return false;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (m_lines.at(i).kind == Kind::Key)
            return true;
    return false;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append(makeLine(u'[' + section + u']'));
        m_lines.append(makeLine(key + u'=' + oneLine(value)));
        return;
    }
    const qsizetype at = findKey(header, key);
    if (at >= 0) {
        // Keep the key as it is spelled in the file.
        m_lines[at] = makeLine(m_lines.at(at).name + u'=' + oneLine(value));
        return;
    }
    // After the section's last entry, so that comments and blank lines that end it stay below.
    qsizetype insertAt = header + 1;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Kind kind = m_lines.at(i).kind;
        if (kind != Kind::Blank && kind != Kind::Comment)
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, makeLine(key + u'=' + oneLine(value)));
}

bool IniDocument::removeKey(const QString &section, const QString &key)
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return false;
    bool removed = false;
    // Later duplicates go too, or the next read would bring an old value back.
    for (qsizetype at = findKey(header, key); at >= 0; at = findKey(header, key)) {
        m_lines.removeAt(at);
        removed = true;
    }
    return removed;
}

bool IniDocument::removeSection(const QString &section)
{
    bool removed = false;
    for (qsizetype header = findSection(section); header >= 0; header = findSection(section)) {
        for (qsizetype i = sectionEnd(header) - 1; i >= header; --i)
            if (m_lines.at(i).kind != Kind::Comment)
                m_lines.removeAt(i);
        removed = true;
    }
    return removed;
}
