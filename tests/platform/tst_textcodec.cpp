#include "platform/TextCodec.h"

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
    void roundTrip_data();
    void roundTrip();
    void cutToBytes_data();
    void cutToBytes();
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
}

void TestTextCodec::detect()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QCOMPARE(int(TextCodec::detect(bytes)), encoding);
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
}

void TestTextCodec::cutToBytes()
{
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    QCOMPARE(TextCodec::cutToBytes(text, maxBytes), expected);
}

QTEST_APPLESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
