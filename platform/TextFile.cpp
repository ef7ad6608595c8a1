#include "TextFile.h"

#include "FileSystem.h"

bool TextFile::Load(const QString &path)
{
    QByteArray bytes;
    if (!FileSystem::readAll(path, bytes))
        return false;
    const TextCodec::Body file = TextCodec::fileBody(bytes);
    const QByteArrayView body = file.bytes;
    m_bom = file.bom;
    m_encoding = file.encoding;
    m_wasUtf8Text = m_encoding == TextCodec::Encoding::Utf8 && !TextCodec::isAscii(body);
    m_raw.clear();
    lines.clear();
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = body.indexOf('\n', start);
        const QByteArrayView raw = body.sliced(start, (end < 0 ? body.size() : end) - start);
        m_raw.append(raw.toByteArray());
        lines.append(TextCodec::decode(raw, m_encoding));
        if (end < 0)
            break;
        start = end + 1;
    }
    m_loaded = lines;
    return true;
}

bool TextFile::Save(const QString &path) const
{
    if (lines == m_loaded)
        return true;
    using Enc = TextCodec::Encoding;
    const auto changed = [this](qsizetype i) {
        return i >= m_loaded.size() || lines.at(i) != m_loaded.at(i);
    };
    // A file with a byte-order mark is UTF-8 to every reader and stays so.
    bool cp949 = !m_wasUtf8Text && !m_bom;
    for (qsizetype i = 0; cp949 && i < lines.size(); ++i)
        if (changed(i) && !TextCodec::fitsCp949(lines.at(i)))
            cp949 = false;

    // Unchanged lines keep their bytes when the file keeps its encoding.
    const auto assemble = [&](Enc target, bool *lossless) {
        QByteArray out;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                out += '\n';
            if (changed(i)) {
                out += TextCodec::encode(lines.at(i), target);
            } else if (target == m_encoding || TextCodec::isAscii(m_raw.at(i))) {
                out += m_raw.at(i);
            } else {
                const QByteArray again = TextCodec::encode(lines.at(i), target);
                if (TextCodec::encode(lines.at(i), m_encoding) != m_raw.at(i))
                    *lossless = false;
                out += again;
            }
        }
        return TextCodec::fileBytes(out, m_bom);
    };
    bool lossless = true;
    if (cp949) {
        const QByteArray out = assemble(Enc::Cp949, &lossless);
        // Code page 949 bytes that happen to read as UTF-8 would come back as other characters.
        if (lossless && (TextCodec::isAscii(out) || !TextCodec::isValidUtf8(out)))
            return FileSystem::writeAtomically(path, out);
        lossless = true;
    }
    const QByteArray out = assemble(Enc::Utf8, &lossless);
    if (!lossless)
        return false;
    return FileSystem::writeAtomically(path, out);
}
