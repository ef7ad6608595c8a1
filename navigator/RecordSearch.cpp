#include "RecordSearch.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"
#include "records/PhoneFun.h"
#include "records/Record.h"
#include "records/RecordWalk.h"

#include <QDir>
#include <QFile>

#include <cstring>

namespace {

inline char lowerByte(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

bool isCp949Lead(uchar c)
{
    return c >= 0x81 && c <= 0xFE;
}

// A-Z turned into a-z; in code page 949 text the second byte of a character is kept as it is.
QByteArray lowered(QByteArrayView bytes, bool cp949)
{
    QByteArray out(bytes.size(), Qt::Uninitialized);
    char *o = out.data();
    const char *b = bytes.data();
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = b[i];
        if (cp949 && isCp949Lead(uchar(c)) && i + 1 < n) {
            o[i] = c;
            o[i + 1] = b[i + 1];
            ++i;
        } else {
            o[i] = lowerByte(c);
        }
    }
    return out;
}

const char *findBytes(const char *hay, size_t hayLen, const char *needle, size_t needleLen)
{
#if defined(__GLIBC__)
    return static_cast<const char *>(memmem(hay, hayLen, needle, needleLen));
#else
    const char *end = hay + hayLen;
    const char *at = std::search(hay, end, needle, needle + needleLen);
    return at == end ? nullptr : at;
#endif
}

} // namespace

QString RecordSearch::Normalize(const QString &text)
{
    return Paths::AsciiLower(text.trimmed());
}

RecordSearch::RecordSearch(const QString &text)
    : m_text(Normalize(text))
{
    m_utf8 = m_text.toUtf8();
    m_ascii = TextCodec::isAscii(m_utf8);
    m_fitsCp949 = TextCodec::fitsCp949(m_text);
    if (m_fitsCp949)
        m_cp949 = TextCodec::encode(m_text, TextCodec::Encoding::Cp949);
    for (char c : std::as_const(m_utf8))
        if (c >= 'a' && c <= 'z')
            m_hasLetters = true;
}

bool RecordSearch::NameMatches(const QString &path) const
{
    // The name the user knows the record by: a folder record goes by its folder's name.
    return Normalize(RecordDisplayName(path)).contains(m_text);
}

bool RecordSearch::ContentsMatch(const QString &path) const
{
    QByteArray bytes;
    if (!FileSystem::readListed(path, bytes))
        return false; // an unreadable file is no hit
    return BytesMatch(bytes);
}

namespace {

// Where the record's identity section begins (a "[Vandrel]" header at the start of a line) and
// where the section after it begins; -1 when there is none.
std::pair<qsizetype, qsizetype> identitySection(QByteArrayView bytes)
{
    const QByteArray header = '[' + RecordUidSection.toLatin1() + ']';
    for (qsizetype from = 0;;) {
        const qsizetype at = bytes.indexOf(header, from);
        if (at < 0)
            return {-1, -1};
        from = at + 1;
        if (at > 0 && bytes[at - 1] != '\n' && bytes[at - 1] != '\r')
            continue;
        qsizetype end = at + header.size();
        while (end < bytes.size()
               && !(bytes[end] == '[' && (bytes[end - 1] == '\n' || bytes[end - 1] == '\r')))
            ++end;
        return {at, end};
    }
}

} // namespace

bool RecordSearch::BytesMatch(QByteArrayView bytes) const
{
    // The record's identity is the program's bookkeeping, not a value to find.
    const auto [idStart, idEnd] = identitySection(bytes);
    if (idStart >= 0)
        return ValuesMatch(bytes.first(idStart)) || ValuesMatch(bytes.sliced(idEnd));
    return ValuesMatch(bytes);
}

bool RecordSearch::ValuesMatch(QByteArrayView bytes) const
{
    if (m_text.isEmpty() || bytes.isEmpty())
        return false;
    const bool ascii = TextCodec::isAscii(bytes);
    if (!m_ascii && ascii)
        return false;
    const bool utf8 = ascii || TextCodec::isValidUtf8(bytes);
    if (utf8)
        return FindIn(bytes, m_utf8, false);
    if (!m_fitsCp949)
        return false;
    return FindIn(bytes, m_cp949, true);
}

bool RecordSearch::FindIn(QByteArrayView bytes, const QByteArray &pattern, bool cp949) const
{
    QByteArray lowerCopy;
    QByteArrayView hay = bytes;
    if (m_hasLetters) {
        lowerCopy = lowered(bytes, cp949);
        hay = lowerCopy;
    }
    const char *base = hay.data();
    const size_t len = size_t(hay.size());
    size_t from = 0;
    while (from < len) {
        const char *at =
            findBytes(base + from, len - from, pattern.constData(), size_t(pattern.size()));
        if (!at)
            return false;
        const size_t pos = size_t(at - base);
        // The line holding the match, and its first "=", which no code page 949 character
        // can hide since "=" is never the second byte of one; neither are CR and LF.
        // Lines end with LF, CR LF or a lone CR, as text readers split them.
        size_t lineStart = pos;
        while (lineStart > 0 && base[lineStart - 1] != '\n' && base[lineStart - 1] != '\r')
            --lineStart;
        const char *eq =
            static_cast<const char *>(std::memchr(base + lineStart, '=', pos - lineStart));
        bool hit = eq != nullptr;
        if (hit && cp949) {
            // The match must start on a character, not on the second byte of one.
            size_t i = size_t(eq - base) + 1;
            while (i < pos)
                i += (isCp949Lead(uchar(base[i])) && i + 1 < len) ? 2 : 1;
            hit = i == pos;
        }
        if (hit)
            return true;
        from = pos + 1;
    }
    return false;
}

QStringList RecordSearch::CollectFiles(const QString &dir, QStringList *unreadable)
{
    // Exactly ".txt" and ".zu": "X.TXT" is shown in the tree but not searched.
    const auto searched = [](const QString &name) {
        return name.endsWith(QLatin1String(".txt")) || name.endsWith(QLatin1String(".zu"));
    };
    QStringList files;
    const QString root = Paths::WithoutTrailingSeparator(dir);
    for (const RecordWalk::Folder &folder : RecordWalk::Walk(root, {true, false, nullptr})) {
        const QString prefix =
            Paths::WithSeparator(folder.rel.isEmpty() ? root : Paths::Join(root, folder.rel));
        if (unreadable)
            for (const RecordWalk::Unreadable &u : folder.unreadable)
                if (u.isDir || searched(u.name))
                    *unreadable << prefix + u.name;
        for (const QString &file : folder.files)
            if (searched(file))
                files << prefix + file;
    }
    return files;
}

QString RecordSearch::HitLabel(const QString &path)
{
    // The folder's whole name: folder names like "Hanbit Co. Ltd" keep their dots.
    if (path.endsWith(QLatin1String(".zu")))
        return ContainingFolderName(path);
    return FileBaseName(path);
}
