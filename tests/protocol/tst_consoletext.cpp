#include "protocol/console.h"
#include "protocol/hexcodec.h"

#include <QTest>

#include <vector>

using namespace protocol;
using Problem = CrcInput::Problem;

class TestConsoleText : public QObject
{
    Q_OBJECT
private slots:
    void sendText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("AT1") << "AT+OUT1+1=ON"
                             << "AT+OUT1+1=ON\r\n";
        QTest::newRow("spaces around") << "  hello "
                                       << "hello \r\n";
        QTest::newRow("tab stays") << "\tx"
                                   << "\tx\r\n";
        QTest::newRow("two lines") << "a\nb"
                                   << "a\r\nb\r\n";
        QTest::newRow("CR LF kept") << "a\r\nb"
                                    << "a\r\nb\r\n";
    }
    void sendText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        QCOMPARE(ConsoleSendText(typed), sent);
    }

    void crcCalculator_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("problem");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("result");
        QTest::newRow("switch on") << "01 05 00 00 FF 00" << int(Problem::None) << -1 << "8C3A";
        QTest::newRow("one-digit high byte")
            << "01 03 00 00 00 01" << int(Problem::None) << -1 << "84A";
        QTest::newRow("lower case, no spaces")
            << "010500 00ff00" << int(Problem::None) << -1 << "8C3A";
        QTest::newRow("pair split by a space")
            << "0 1 0 5 0000FF00" << int(Problem::None) << -1 << "8C3A";
        QTest::newRow("empty") << "" << int(Problem::Empty) << -1 << "";
        QTest::newRow("only spaces") << "   " << int(Problem::Empty) << -1 << "";
        QTest::newRow("odd digit count") << "01 05 0" << int(Problem::LoneDigit) << 6 << "";
        QTest::newRow("not hex") << "01 0G" << int(Problem::InvalidCharacter) << 4 << "";
        QTest::newRow("tab") << "01\t05" << int(Problem::InvalidCharacter) << 2 << "";
    }
    void crcCalculator()
    {
        QFETCH(QString, typed);
        QFETCH(int, problem);
        QFETCH(int, position);
        QFETCH(QString, result);
        const CrcInput input = ReadCrcInput(typed);
        QCOMPARE(int(input.problem), problem);
        QCOMPARE(input.position, qsizetype(position));
        if (input.ok())
            QCOMPARE(CrcResultText(input.bytes), result);
        else
            QVERIFY(input.bytes.isEmpty());
        // Only refused input has something to say.
        QCOMPARE(CrcProblemText(input, typed).isEmpty(),
                 input.ok() || input.problem == Problem::Empty);
    }

    void crcProblemNamesTheCharacter()
    {
        const QString typed = "01 0G";
        QCOMPARE(CrcProblemText(ReadCrcInput(typed), typed),
                 QString("第 5 个字符“G”不是十六进制数字。没有可计算的字节。"));
    }

    // Received text as the box's lines: chunks as they arrived, and what the box holds after.
    void textLines_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<int>("maxLine");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << QStringList{"OK\r\n", "ERROR\r\n"} << 1024 << "OK\nERROR\n";
        QTest::newRow("CR LF split") << QStringList{"OK\r", "\nA"} << 1024 << "OK\nA";
        QTest::newRow("lone CR and LF") << QStringList{"a\rb\nc"} << 1024 << "a\nb\nc";
        QTest::newRow("two CR") << QStringList{"a\r\r", "\nb"} << 1024 << "a\n\nb";
        QTest::newRow("empty line kept") << QStringList{"a\r\n\r\nb"} << 1024 << "a\n\nb";
        QTest::newRow("long line") << QStringList{"abcde", "fgh"} << 3 << "abc\ndef\ngh";
        QTest::newRow("surrogate pair not split")
            << QStringList{QString("ab") + QChar(0xD83D) + QChar(0xDE00)} << 3
            << QString("ab") + QChar(0xD83D) + QChar(0xDE00);
    }
    void textLines()
    {
        QFETCH(QStringList, chunks);
        QFETCH(int, maxLine);
        QFETCH(QString, shown);
        ConsoleLines lines(maxLine);
        QString box;
        for (const QString &chunk : chunks)
            box += lines.text(chunk);
        QCOMPARE(box, shown);
    }

    void hexLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("perLine");
        QTest::addColumn<QString>("shown");
        QTest::newRow("one chunk")
            << QList<QByteArray>{QByteArray::fromHex("0105")} << 4 << "01 05 ";
        QTest::newRow("lines fill across chunks")
            << QList<QByteArray>{QByteArray::fromHex("010203"), QByteArray::fromHex("0405")} << 2
            << "01 02 \n03 04 \n05 ";
    }
    void hexLines()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, perLine);
        QFETCH(QString, shown);
        ConsoleLines lines(1024, perLine);
        QString box;
        for (const QByteArray &chunk : chunks)
            box += lines.hex(chunk);
        QCOMPARE(box, shown);
        // The breaks are the only change: without them the box reads as the frame's hex text.
        QByteArray all;
        for (const QByteArray &chunk : chunks)
            all += chunk;
        QCOMPARE(box.remove('\n'), HexFrameText(all));
    }

    // With stamps, each chunk starts a line of its own; a line already ended gets no empty one.
    void stampedChunks()
    {
        ConsoleLines lines(1024, 4);
        QString box = lines.text(QStringLiteral("OK"), "[1] ");
        box += lines.text(QStringLiteral("\r\n"), "[2] ");
        box += lines.hex(QByteArray::fromHex("0105"), "[3] ");
        box += lines.text(QStringLiteral("x"));
        QCOMPARE(box, QString("[1] OK\n[2] \n[3] 01 05 x"));
        lines.reset();
        QCOMPARE(lines.text(QStringLiteral("y"), "[4] "), QString("[4] y"));
    }

    void linesToDrop_data()
    {
        QTest::addColumn<std::vector<qsizetype>>("lengths");
        QTest::addColumn<qsizetype>("maxLines");
        QTest::addColumn<qsizetype>("maxCharacters");
        QTest::addColumn<qsizetype>("drop");
        using V = std::vector<qsizetype>;
        QTest::newRow("under both") << V{5, 5, 5} << qsizetype(3) << qsizetype(100) << qsizetype(0);
        QTest::newRow("too many short lines")
            << V{5, 5, 5, 5, 5} << qsizetype(3) << qsizetype(100) << qsizetype(2);
        // 3 long lines would exceed 12 characters: keep the newest that still reach 12.
        QTest::newRow("long lines")
            << V{10, 10, 10, 10} << qsizetype(3) << qsizetype(12) << qsizetype(2);
        QTest::newRow("exactly the characters")
            << V{4, 4, 4, 4} << qsizetype(10) << qsizetype(8) << qsizetype(2);
        QTest::newRow("newest line stays however long")
            << V{1, 100} << qsizetype(1) << qsizetype(10) << qsizetype(1);
    }
    void linesToDrop()
    {
        QFETCH(std::vector<qsizetype>, lengths);
        QFETCH(qsizetype, maxLines);
        QFETCH(qsizetype, maxCharacters);
        QFETCH(qsizetype, drop);
        qsizetype total = 0;
        for (qsizetype n : lengths)
            total += n;
        const auto lengthOf = [&](qsizetype i) { return lengths.at(std::size_t(i)); };
        const qsizetype dropped =
            OldLinesToDrop(qsizetype(lengths.size()), total, lengthOf, {maxLines, maxCharacters});
        QCOMPARE(dropped, drop);
    }
};

QTEST_APPLESS_MAIN(TestConsoleText)
#include "tst_consoletext.moc"
