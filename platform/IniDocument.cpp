#include "IniDocument.h"

#include <QSet>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView trimBlanks(QByteArrayView bytes)
{
    qsizetype b = 0;
    qsizetype e = bytes.size();
    while (b < e && isBlank(bytes[b]))
        ++b;
    while (e > b && isBlank(bytes[e - 1]))
        --e;
    return bytes.sliced(b, e - b);
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

IniDocument::Line IniDocument::parseLine(QByteArray raw, TextCodec::Encoding encoding)
{
    Line line;
    line.raw = std::move(raw);
    // "[", "]" and "=" are never the second byte of a code page 949 character,
    // so the structure can be found in the bytes.
    const QByteArrayView trimmed = trimBlanks(line.raw);
    if (trimmed.startsWith('[')) {
        line.kind = Kind::Section;
        QByteArrayView inner = trimmed.sliced(1);
        const qsizetype close = inner.indexOf(']');
        if (close >= 0)
            inner = inner.first(close);
        line.name = TextCodec::decode(trimBlanks(inner), encoding);
        return line;
    }
    line.eq = line.raw.indexOf('=');
    if (line.eq >= 0) {
        line.kind = Kind::Key;
        line.name =
            TextCodec::decode(trimBlanks(QByteArrayView(line.raw).first(line.eq)), encoding);
    }
    return line;
}

IniDocument::Line IniDocument::makeLine(const QString &text)
{
    Line line;
    line.text = text;
    line.changed = true;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        line.kind = Kind::Section;
        QString inner = trimmed.mid(1);
        const qsizetype close = inner.indexOf(u']');
        if (close >= 0)
            inner.truncate(close);
        line.name = inner.trimmed();
    } else {
        line.eq = text.indexOf(u'=');
        if (line.eq >= 0) {
            line.kind = Kind::Key;
            line.name = text.left(line.eq).trimmed();
        }
    }
    return line;
}

IniDocument IniDocument::fromBytes(const QByteArray &bytes)
{
    IniDocument doc;
    QByteArrayView body(bytes);
    if (TextCodec::hasUtf8Bom(body))
        body = body.sliced(3);
    doc.m_encoding = TextCodec::detect(body);
    doc.m_nonAscii = !TextCodec::isAscii(body);

    qsizetype start = 0;
    while (start < body.size()) {
        qsizetype end = body.indexOf('\n', start);
        if (end < 0)
            end = body.size();
        qsizetype stop = end;
        if (stop > start && body[stop - 1] == '\r')
            --stop;
        doc.m_lines.append(
            parseLine(body.sliced(start, stop - start).toByteArray(), doc.m_encoding));
        start = end + 1;
    }
    return doc;
}

QByteArray IniDocument::toBytes() const
{
    using Enc = TextCodec::Encoding;
    const bool wasUtf8Text = m_encoding == Enc::Utf8 && m_nonAscii;
    bool cp949 = !wasUtf8Text;
    if (cp949)
        for (const Line &line : m_lines)
            if (line.changed && !TextCodec::fitsCp949(line.text)) {
                cp949 = false;
                break;
            }

    auto assemble = [this](Enc target) {
        QByteArray out;
        for (const Line &line : m_lines) {
            if (line.changed)
                out += TextCodec::encode(line.text, target);
            else if (target == m_encoding || TextCodec::isAscii(line.raw))
                out += line.raw;
            else
                out += TextCodec::encode(TextCodec::decode(line.raw, m_encoding), target);
            out += "\r\n";
        }
        return out;
    };

    if (cp949) {
        const QByteArray out = assemble(Enc::Cp949);
        // Code page 949 bytes that happen to form valid UTF-8 would be misread next time.
        if (TextCodec::isAscii(out) || !TextCodec::isValidUtf8(out))
            return out;
    }
    return assemble(Enc::Utf8);
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
    QString text;
    if (line.changed)
        text = line.text.mid(line.eq + 1).trimmed();
    else
        text =
            TextCodec::decode(trimBlanks(QByteArrayView(line.raw).sliced(line.eq + 1)), m_encoding);
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'')
        && text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return length == Length::Whole ? text : TextCodec::cutToBytes(text, kMaxValueBytes);
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
    // After the section's last non-blank line, so blank separator lines stay below it.
    qsizetype insertAt = header + 1;
    const qsizetype end = sectionEnd(header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line &line = m_lines.at(i);
        const bool blank =
            line.changed ? line.text.trimmed().isEmpty() : trimBlanks(line.raw).isEmpty();
        if (!blank)
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
        m_lines.remove(header, sectionEnd(header) - header);
        removed = true;
    }
    return removed;
}
