#include "IniDocument.h"

#include <QSet>
#include <QVarLengthArray>

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

bool sameName(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    // Names are nearly always ASCII; the general comparison is far slower.
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x >= 0x80 || y >= 0x80)
            return a.compare(b, Qt::CaseInsensitive) == 0;
        if (x == y)
            continue;
        const char16_t lower = x | 0x20;
        if (lower != (y | 0x20) || lower < u'a' || lower > u'z')
            return false;
    }
    return true;
}

// A value as the reader gives it: blanks around it gone, one pair of quotes around it gone.
QStringView unquoted(QStringView text)
{
    text = trimBlanks(text);
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'')
        && text.back() == text.front())
        text = text.sliced(1, text.size() - 2);
    return text;
}

// A value must stay on its own line, or it would turn into keys and sections of its own.
// Where the reader would take blanks or quotes off it, it goes into quotes of its own, which
// the reader removes again.
QString storedValue(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    if (unquoted(text).size() != text.size())
        text = u'"' + text + u'"';
    return text;
}

// Names are looked up as the reader sees them in the file: without blanks around them.
// A name that would read as something else cannot be written.
bool writableName(QStringView name, bool section)
{
    if (name.contains(u'\r') || name.contains(u'\n'))
        return false;
    if (section)
        return !name.contains(u']');
    const QStringView trimmed = trimBlanks(name);
    return !name.contains(u'=') && !(trimmed.startsWith(u'[') || trimmed.startsWith(u';'));
}

} // namespace

IniDocument::Kind IniDocument::classify(QStringView text, QStringView *name, qsizetype *eq)
{
    const QStringView trimmed = trimBlanks(text);
    if (trimmed.isEmpty())
        return Kind::Blank;
    if (trimmed.front() == u'[') {
        QStringView inner = trimmed.sliced(1);
        const qsizetype close = inner.indexOf(u']');
        if (close >= 0)
            inner = inner.first(close);
        *name = trimBlanks(inner);
        return Kind::Section;
    }
    if (trimmed.front() == u';')
        return Kind::Comment;
    *eq = text.indexOf(u'=');
    if (*eq < 0)
        return Kind::Other;
    *name = trimBlanks(text.first(*eq));
    return Kind::Key;
}

// Lines read from the file and lines the program writes go through the same rules, so that a
// value reads the same before and after it is stored.
IniDocument::Line IniDocument::parse(QString text)
{
    Line line;
    line.text = std::move(text);
    QStringView name;
    line.kind = classify(line.text, &name, &line.eq);
    line.name = name.toString();
    return line;
}

void IniDocument::scan(const QByteArray &bytes, const Visitor &visit)
{
    const TextCodec::Body body = TextCodec::fileBody(bytes);
    const QString text = TextCodec::decode(body.bytes, body.encoding);
    QVarLengthArray<QStringView, 8> sections;
    QVarLengthArray<QStringView, 48> keys; // of the section being read
    QStringView section;
    bool first = false; // the section is the first of its name: the one a reader reads
    const auto seen = [](const auto &names, QStringView name) {
        for (QStringView n : names)
            if (sameName(n, name))
                return true;
        return false;
    };
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = QStringView(text).sliced(start, end - start);
        QStringView name;
        qsizetype eq = -1;
        const Kind kind = classify(line, &name, &eq);
        if (kind == Kind::Section) {
            first = !seen(sections, name);
            if (first)
                sections.append(name);
            section = name;
            keys.clear();
        } else if (kind == Kind::Key && first && !seen(keys, name)) {
            keys.append(name);
            visit(section, name, unquoted(line.sliced(eq + 1)));
        }
        if (end >= n)
            break;
        start = end + (text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n' ? 2 : 1);
    }
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
    const QStringView name = trimBlanks(section);
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        if (m_lines.at(i).kind == Kind::Section && sameName(m_lines.at(i).name, name))
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
    const QStringView name = trimBlanks(key);
    for (qsizetype i = header + 1; i < end; ++i)
        if (m_lines.at(i).kind == Kind::Key && sameName(m_lines.at(i).name, name))
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
    const QStringView text = unquoted(QStringView(line.text).sliced(line.eq + 1));
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

bool IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    if (!writableName(section, true) || !writableName(key, false))
        return false;
    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append(makeLine(u'[' + trimBlanks(section).toString() + u']'));
        m_lines.append(makeLine(trimBlanks(key).toString() + u'=' + storedValue(value)));
        return true;
    }
    const qsizetype at = findKey(header, key);
    if (at >= 0) {
        // A value that reads the same already keeps its line's bytes, quotes and all.
        const QString stored = storedValue(value);
        if (valueOf(m_lines.at(at), Length::Whole) == unquoted(stored))
            return true;
        // Keep the key as it is spelled in the file.
        m_lines[at] = makeLine(m_lines.at(at).name + u'=' + stored);
        return true;
    }
    // After the section's last entry, so that comments and blank lines that end it stay below.
    qsizetype insertAt = header + 1;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Kind kind = m_lines.at(i).kind;
        if (kind != Kind::Blank && kind != Kind::Comment)
            insertAt = i + 1;
    }
    m_lines.insert(insertAt, makeLine(trimBlanks(key).toString() + u'=' + storedValue(value)));
    return true;
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
