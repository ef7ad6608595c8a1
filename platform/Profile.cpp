#include "Profile.h"

#include "Errors.h"
#include "FileSystem.h"

#include <QFileInfo>

#include <limits>

namespace profile {

namespace {

// The file as it stands, or an empty document when it does not exist. A file that exists but
// cannot be read must not be replaced by an almost empty one, so that is a write error.
IniDocument loadForWrite(const QString &file, QByteArray &original, bool &existed)
{
    const QString path = FileSystem::resolve(file);
    QFileInfo info(path);
    existed = info.exists();
    if (!existed)
        return {};
    if (info.isDir() || !FileSystem::readAll(path, original))
        throw WriteError(file);
    return IniDocument::fromBytes(original);
}

bool store(const QString &file, const IniDocument &doc, const QByteArray &original, bool existed)
{
    const std::optional<QByteArray> bytes = doc.toBytes();
    if (!bytes)
        return false;
    if (existed && *bytes == original)
        return true;
    return FileSystem::writeAtomically(file, *bytes);
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Hexadecimal digits up to 32 bits; larger values wrap into the negative range as the
// colours of the settings file expect.
bool parseHex(QStringView digits, qint64 &out)
{
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    quint32 v = 0;
    for (QChar c : digits) {
        const int d = hexValue(c);
        if (d < 0)
            return false;
        v = (v << 4) | quint32(d);
    }
    out = qint32(v);
    return true;
}

} // namespace

int parseInteger(const QString &text, int defaultValue)
{
    QStringView t(text);
    qint64 v = 0;
    if (t.size() > 2 && t.at(0) == u'0' && (t.at(1) == u'x' || t.at(1) == u'X'))
        return parseHex(t.sliced(2), v) ? int(v) : defaultValue;
    bool negative = false;
    if (!t.isEmpty() && (t.front() == u'-' || t.front() == u'+')) {
        negative = t.front() == u'-';
        t = t.sliced(1);
    }
    if (!t.isEmpty() && t.front() == u'$') {
        if (!parseHex(t.sliced(1), v))
            return defaultValue;
        return int(negative ? -v : v);
    }
    if (t.isEmpty() || t.size() > 10)
        return defaultValue;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return defaultValue;
        v = v * 10 + (c.unicode() - u'0');
    }
    if (negative)
        v = -v;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return defaultValue;
    return int(v);
}

Snapshot::Snapshot(const QString &file)
{
    QByteArray bytes;
    m_exists = FileSystem::readAll(file, bytes);
    if (m_exists)
        m_doc = IniDocument::fromBytes(bytes);
}

Edit::Edit(const QString &file)
    : m_file(file)
    , m_doc(loadForWrite(file, m_original, m_existed))
{}

void Edit::commit()
{
    if (!m_existed && m_doc.isEmpty())
        return;
    if (!store(m_file, m_doc, m_original, m_existed))
        throw WriteError(m_file);
}

QString Snapshot::readString(const QString &section, const QString &key,
                             const QString &defaultValue, IniDocument::Length length) const
{
    return m_doc.value(section, key, length).value_or(defaultValue);
}

int Snapshot::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> text = m_doc.value(section, key);
    return text ? parseInteger(*text, defaultValue) : defaultValue;
}

bool Snapshot::sectionHasKeys(const QString &section) const
{
    return m_doc.sectionHasKeys(section);
}

QList<std::pair<QString, QString>> Snapshot::entries(const QString &section,
                                                     IniDocument::Length length) const
{
    return m_doc.entries(section, length);
}

QString readString(const QString &file, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    return Snapshot(file).readString(section, key, defaultValue);
}

int readInteger(const QString &file, const QString &section, const QString &key, int defaultValue)
{
    return Snapshot(file).readInteger(section, key, defaultValue);
}

bool readBool(const QString &file, const QString &section, const QString &key, bool defaultValue)
{
    return readInteger(file, section, key, defaultValue ? 1 : 0) != 0;
}

bool sectionHasKeys(const QString &file, const QString &section)
{
    return Snapshot(file).sectionHasKeys(section);
}

void writeString(const QString &file, const QString &section, const QString &key,
                 const QString &value)
{
    QByteArray original;
    bool existed = false;
    IniDocument doc = loadForWrite(file, original, existed);
    if (!doc.setValue(section, key, value) || !store(file, doc, original, existed))
        throw WriteError(file);
}

void writeInteger(const QString &file, const QString &section, const QString &key, int value)
{
    writeString(file, section, key, QString::number(value));
}

void writeBool(const QString &file, const QString &section, const QString &key, bool value)
{
    writeString(file, section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool deleteKey(const QString &file, const QString &section, const QString &key)
{
    try {
        QByteArray original;
        bool existed = false;
        IniDocument doc = loadForWrite(file, original, existed);
        if (!existed || !doc.removeKey(section, key))
            return true;
        return store(file, doc, original, existed);
    } catch (const WriteError &) {
        return false;
    }
}

void eraseSection(const QString &file, const QString &section)
{
    QByteArray original;
    bool existed = false;
    IniDocument doc = loadForWrite(file, original, existed);
    if (!existed || !doc.removeSection(section))
        return;
    if (!store(file, doc, original, existed))
        throw WriteError(file);
}

} // namespace profile
