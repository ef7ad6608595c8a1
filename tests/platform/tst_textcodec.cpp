#include "platform/TextCodec.h"

#include <QStringDecoder>
#include <QTest>

using Enc = TextCodec::Encoding;

class TestTextCodec : public QObject
{
    Q_OBJECT
private slots:
    void utf8Validity_data();
    void utf8Validity();
    void detect_data();
    void detect();
    void fileBody_data();
    void fileBody();
    void roundTrip_data();
    void roundTrip();
    void byteWidth_data();
    void byteWidth();
    void cutToBytes_data();
    void cutToBytes();
    void cp949DecodesAsTheConverter();
};

void TestTextCodec::utf8Validity_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("ascii") << QByteArray("Hand=010") << true;
    QTest::newRow("korean") << QString::fromUtf8("한글").toUtf8() << true;
    QTest::newRow("emoji") << QString::fromUtf8("😀").toUtf8() << true;
    QTest::newRow("cp949 korean") << QByteArray("\xC7\xD1\xB1\xDB") << false;
    QTest::newRow("truncated") << QByteArray("\xED\x95") << false;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong three") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
    QTest::newRow("0x80 alone") << QByteArray("\x80") << false;
    QTest::newRow("U+007F") << QByteArray("\x7F") << true;
    QTest::newRow("U+0080") << QByteArray("\xC2\x80") << true;
    QTest::newRow("U+07FF") << QByteArray("\xDF\xBF") << true;
    QTest::newRow("U+0800") << QByteArray("\xE0\xA0\x80") << true;
    QTest::newRow("U+FFFF") << QByteArray("\xEF\xBF\xBF") << true;
    QTest::newRow("U+10000") << QByteArray("\xF0\x90\x80\x80") << true;
    QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("overlong U+0000") << QByteArray("\xC0\x80") << false;
    QTest::newRow("overlong U+007F") << QByteArray("\xC1\xBF") << false;
    QTest::newRow("overlong U+07FF") << QByteArray("\xE0\x9F\xBF") << false;
    QTest::newRow("overlong U+FFFF") << QByteArray("\xF0\x8F\xBF\xBF") << false;
    QTest::newRow("lead F5") << QByteArray("\xF5\x80\x80\x80") << false;
    QTest::newRow("truncated four") << QByteArray("\xF0\x90\x80") << false;
}

void TestTextCodec::utf8Validity()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(TextCodec::isValidUtf8(bytes), valid);
}

void TestTextCodec::detect_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::newRow("ascii") << QByteArray("[data]\r\n") << int(Enc::Utf8);
    QTest::newRow("utf8") << QString::fromUtf8("이름=홍길동").toUtf8() << int(Enc::Utf8);
    QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("홍").toUtf8()
                         << int(Enc::Utf8);
    QTest::newRow("cp949") << TextCodec::encode(QString::fromUtf8("홍길동"), Enc::Cp949)
                           << int(Enc::Cp949);
    QTest::newRow("binary") << QByteArray("\xFF\xFE\x00\x01", 4) << int(Enc::Cp949);
    QTest::newRow("0x80 alone") << QByteArray("k=\x80") << int(Enc::Cp949);
    QTest::newRow("bom then 0x80") << QByteArray("\xEF\xBB\xBF\x80") << int(Enc::Cp949);
    QTest::newRow("double bom") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") << int(Enc::Utf8);
}

void TestTextCodec::detect()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QCOMPARE(int(TextCodec::detect(bytes)), encoding);
}

void TestTextCodec::fileBody_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<QByteArray>("file");
    const QByteArray bom = "\xEF\xBB\xBF";
    QTest::newRow("plain") << QByteArray("[s]") << false << QByteArray("[s]");
    QTest::newRow("bom") << QByteArray("[s]") << true << bom + "[s]";
    // Text that starts with U+FEFF needs a mark before it, or the reader would skip it.
    QTest::newRow("text starts with U+FEFF") << bom + "[s]" << false << bom + bom + "[s]";
    QTest::newRow("bom, cp949") << QByteArray("\xB0\xA1") << true << bom + "\xB0\xA1";
}

void TestTextCodec::fileBody()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, bom);
    QFETCH(QByteArray, file);
    QCOMPARE(TextCodec::fileBytes(body, bom), file);
    const TextCodec::Body read = TextCodec::fileBody(file);
    QCOMPARE(read.bytes, QByteArrayView(body));
    QCOMPARE(read.encoding, TextCodec::detect(body));
}

void TestTextCodec::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::newRow("ascii") << QStringLiteral("010-2345-6789") << true;
    QTest::newRow("hangul") << QStringLiteral("서울특별시 강남구") << true;
    // Syllables outside the old KS X 1001 set are part of the unified Hangul code.
    QTest::newRow("extended hangul") << QStringLiteral("똠방각하 갂") << true;
    QTest::newRow("hanja") << QStringLiteral("金東") << true;
    QTest::newRow("emoji") << QStringLiteral("전화 😀") << false;
    QTest::newRow("rare hanja") << QString::fromUcs4(U"\U00020000") << false;
    QTest::newRow("euro sign") << QStringLiteral("€") << true;
    // Bytes 0x80 and 0xFF are characters of their own in code page 949.
    QTest::newRow("one-byte 949") << (QString(QChar(0x80)) + QChar(0xF8F7)) << true;
    // A leading U+FEFF is content, not a byte-order mark to drop.
    QTest::newRow("U+FEFF") << QString(QChar(0xFEFF)) << false;
    QTest::newRow("U+FEFF first") << (QChar(0xFEFF) + QStringLiteral("가")) << false;
}

void TestTextCodec::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(bool, fits);
    QCOMPARE(TextCodec::fitsCp949(text), fits);
    if (fits)
        QCOMPARE(TextCodec::decode(TextCodec::encode(text, Enc::Cp949), Enc::Cp949), text);
    QCOMPARE(TextCodec::decode(TextCodec::encode(text, Enc::Utf8), Enc::Utf8), text);
}

void TestTextCodec::byteWidth_data()
{
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<int>("width");
    QTest::newRow("U+007F") << 0x7Fu << 1;
    QTest::newRow("U+0080") << 0x80u << 1;
    QTest::newRow("U+F8F7") << 0xF8F7u << 1;
    QTest::newRow("hangul") << 0xAC00u << 2;
    QTest::newRow("U+FEFF") << 0xFEFFu << 3;
    QTest::newRow("emoji") << 0x1F600u << 4;
}

void TestTextCodec::byteWidth()
{
    QFETCH(uint, codePoint);
    QFETCH(int, width);
    QCOMPARE(TextCodec::byteWidth(char32_t(codePoint)), width);
}

void TestTextCodec::cutToBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short") << QStringLiteral("abc") << 2047 << QStringLiteral("abc");
    QTest::newRow("ascii cut") << QString(3000, u'a') << 2047 << QString(2047, u'a');
    // 1023 two-byte syllables take 2046 bytes; the next one would split at byte 2047.
    QTest::newRow("hangul not split") << QString(1500, u'한') << 2047 << QString(1023, u'한');
    QTest::newRow("ascii then hangul") << (QStringLiteral("a") + QString(1500, u'한')) << 2047
                                       << (QStringLiteral("a") + QString(1023, u'한'));
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    QString emojis;
    for (int i = 0; i < 600; ++i)
        emojis += emoji;
    QString expectedEmojis;
    for (int i = 0; i < 511; ++i)
        expectedEmojis += emoji;
    QTest::newRow("emoji not split") << emojis << 2047 << expectedEmojis;
    QTest::newRow("zero") << QStringLiteral("abc") << 0 << QString();
    // U+FEFF takes three bytes; 682 of them end at byte 2046, the next would split.
    const QChar bom(0xFEFF);
    QTest::newRow("three-byte not split") << QString(700, bom) << 2047 << QString(682, bom);
    QTest::newRow("ascii then three-byte") << (QStringLiteral("ab") + QString(700, bom)) << 2047
                                           << (QStringLiteral("ab") + QString(681, bom));
    const QChar c80(0x80);
    QTest::newRow("one-byte 949") << QString(3000, c80) << 2047 << QString(2047, c80);
    QTest::newRow("hangul then one-byte 949")
        << (QString(1000, u'한') + QString(100, QChar(0xF8F7))) << 2047
        << (QString(1000, u'한') + QString(47, QChar(0xF8F7)));
    QTest::newRow("one-byte 949, hangul across the end")
        << (QString(2046, c80) + QString(10, u'한')) << 2047 << QString(2046, c80);
}

void TestTextCodec::cutToBytes()
{
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    QCOMPARE(TextCodec::cutToBytes(text, maxBytes), expected);
}

void TestTextCodec::cp949DecodesAsTheConverter()
{
    // Byte soup of every kind: pairs, lone leads, 0x80 and 0xFF, ASCII in between.
    QStringDecoder converter("windows-949", QStringConverter::Flag::Stateless);
    QVERIFY(converter.isValid());
    quint32 seed = 12345;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        const int length = 1 + int(next() % 12);
        for (int i = 0; i < length; ++i) {
            const quint32 r = next() >> 8;
            bytes += char(r % 3 == 0 ? 0x20 + r % 0x5F : 0x80 + r % 0x80);
        }
        const QString expected = converter.decode(bytes);
        converter.resetState();
        QCOMPARE(TextCodec::decode(bytes, TextCodec::Encoding::Cp949), expected);
    }
}

QTEST_APPLESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
