#include "protocol/chinesetext.h"

#include <QTest>

using namespace protocol;

Q_DECLARE_METATYPE(protocol::ChineseEncoding)

// The same bytes on every system: these suites also run in the Windows build.
class TestChineseText : public QObject
{
    Q_OBJECT
private slots:
    void whole_data()
    {
        QTest::addColumn<ChineseEncoding>("encoding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        const auto gbk = ChineseEncoding::Gbk;
        const auto wide = ChineseEncoding::Gb18030;
        QTest::newRow("names") << gbk << u"第一路=系统设置"_qs
                               << QByteArray::fromHex("b5dad2bbc2b73dcfb5cdb3c9e8d6c3") << true;
        QTest::newRow("ascii") << gbk << u"AT+OUT1+1=ON\r\n"_qs << QByteArray("AT+OUT1+1=ON\r\n")
                               << true;
        QTest::newRow("beyond GBK, in GB18030")
            << wide << u"\U00020000路"_qs << QByteArray::fromHex("95328236c2b7") << true;
    }
    void whole()
    {
        QFETCH(ChineseEncoding, encoding);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        if (encoding == ChineseEncoding::Gb18030 && EncodeChinese(u"路"_qs, encoding).isEmpty())
            QSKIP("this system has no GB18030 converter");
        bool encoded = !ok;
        QCOMPARE(EncodeChinese(text, encoding, &encoded), bytes);
        QCOMPARE(encoded, ok);
        bool decoded = !ok;
        QCOMPARE(DecodeChinese(bytes, encoding, &decoded), text);
        QCOMPARE(decoded, ok);
    }

    void faults()
    {
        bool ok = true;
        EncodeChinese(u"第\U00020000"_qs, ChineseEncoding::Gbk, &ok);
        QVERIFY(!ok); // GBK lacks the character
        ok = true;
        QCOMPARE(DecodeChinese(QByteArray::fromHex("41b5"), ChineseEncoding::Gbk, &ok).front(),
                 u'A');
        QVERIFY(!ok); // a character cut off at the end
    }

    // A character split between two arrivals comes out once, whole, with the second.
    void stream()
    {
        ChineseStreamDecoder decoder;
        QCOMPARE(decoder.decode(QByteArray::fromHex("41b5")), u"A"_qs);
        QCOMPARE(decoder.decode(QByteArray::fromHex("dad2")), u"第"_qs);
        QCOMPARE(decoder.decode(QByteArray::fromHex("bbc2b7")), u"一路"_qs);
        QCOMPARE(decoder.decode(QByteArray::fromHex("b5")), QString());
        decoder.resetState(); // the half character is dropped
        QCOMPARE(decoder.decode(QByteArray("OK")), u"OK"_qs);
    }
};

QTEST_APPLESS_MAIN(TestChineseText)
#include "tst_chinesetext.moc"
