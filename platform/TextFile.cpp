#include "TextFile.h"

#include "FileSystem.h"
#include "TextCodec.h"

bool TextFile::Load(const QString &path)
{
    QByteArray bytes;
    if (!FileSystem::readAll(path, bytes))
        return false;
    QByteArrayView body(bytes);
    if (TextCodec::hasUtf8Bom(body))
        body = body.sliced(3);
    const TextCodec::Encoding encoding = TextCodec::detect(body);
    m_wasUtf8Text = encoding == TextCodec::Encoding::Utf8 && !TextCodec::isAscii(body);
    lines = TextCodec::decode(body, encoding).split(u'\n');
    m_loaded = lines;
    return true;
}

bool TextFile::Save(const QString &path) const
{
    if (lines == m_loaded)
        return true;
    const QString text = lines.join(u'\n');
    QByteArray bytes;
    if (!m_wasUtf8Text && TextCodec::fitsCp949(text)) {
        bytes = TextCodec::encode(text, TextCodec::Encoding::Cp949);
        // Code page 949 bytes that read as UTF-8 would come back as other characters.
        if (!TextCodec::isAscii(bytes) && TextCodec::isValidUtf8(bytes))
            bytes = text.toUtf8();
    } else {
        bytes = text.toUtf8();
    }
    return FileSystem::writeAtomically(path, bytes);
}
