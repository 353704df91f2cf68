#include "commandline.h"
#include "crcmath.h"
#include "frameinput.h"
#include "language.h"

#include "modbus/crc.h"

#include <QRandomGenerator>
#include <QTest>

using namespace crccalc;

Q_DECLARE_METATYPE(crccalc::InputProblem)

class TestCrc16Core : public QObject
{
    Q_OBJECT
private slots:
    void crc_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("wireBytes");
        QTest::addColumn<QString>("wireText");
        auto row = [](const char *name, const QByteArray &body, const char *bytes,
                      const char *text) {
            QTest::newRow(name) << body << QString::fromLatin1(bytes) << QString::fromLatin1(text);
        };
        row("switch on", QByteArray::fromHex("01050000FF00"), "8C 3A", "8C3A");
        row("read one register", QByteArray::fromHex("010300000001"), "84 0A", "84A");
        row("set many coils", QByteArray::fromHex("010F0000001002FFFF"), "E3 90", "E390");
        row("read coils", QByteArray::fromHex("010100000010"), "3D C6", "3DC6");
        row("broadcast address", QByteArray::fromHex("FF0301000001"), "90 28", "9028");
        row("one byte", QByteArray::fromHex("01"), "7E 80", "7E80");
        row("check string", QByteArray("123456789"), "37 4B", "374B");
        row("no bytes", QByteArray(), "FF FF", "FFFF");
    }
    void crc()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, wireBytes);
        QFETCH(QString, wireText);
        const auto value = CRC16(body);
        const QByteArray wire = QByteArray::fromHex(wireBytes.toLatin1());
        QCOMPARE(value[1], std::uint8_t(wire[0])); // low byte goes first on the wire
        QCOMPARE(value[0], std::uint8_t(wire[1]));
        QCOMPARE(wireOrderBytesText(value), wireBytes);
        QCOMPARE(wireOrderText(value), wireText);
    }

    // The calculator keeps a copy of the arithmetic; it must agree with the main program's.
    void crcAgreesWithMainProgram()
    {
        QRandomGenerator random(20261207);
        for (int n = 0; n < 500; ++n) {
            QByteArray frame(random.bounded(0, 300), Qt::Uninitialized);
            for (char &c : frame)
                c = char(random.bounded(256));
            const auto mine = CRC16(frame);
            const auto theirs = modbus::CRC16(frame);
            QCOMPARE(mine[0], theirs[0]);
            QCOMPARE(mine[1], theirs[1]);
        }
    }

    void readFrameText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<InputProblem>("problem");
        QTest::addColumn<int>("position");
        auto row = [](const char *name, const QString &text, const char *hex, InputProblem p,
                      int position) {
            QTest::newRow(name) << text << QByteArray::fromHex(hex) << p << position;
        };
        using P = InputProblem;
        row("plain", "01050000FF00", "01050000FF00", P::None, -1);
        row("lower case", "ff0a", "FF0A", P::None, -1);
        row("as the main program shows frames", "01 05 00 00 FF 00 8C 3A ", "01050000FF008C3A",
            P::None, -1);
        row("tabs and line breaks", "\t0105\r\n00 ", "010500", P::None, -1);
        row("empty", "", "", P::Empty, -1);
        row("blanks only", "   ", "", P::Empty, -1);
        row("odd length", "010", "01", P::LoneDigit, 2);
        row("odd length, many bytes", "01050000FF0", "01050000FF", P::LoneDigit, 10);
        row("single digit", "1", "", P::LoneDigit, 0);
        row("byte split by a blank", "0 105", "", P::LoneDigit, 0);
        row("short byte between bytes", "01 5 00", "01", P::LoneDigit, 3);
        row("letter beyond F", "0105G7", "0105", P::InvalidCharacter, 4);
        row("letter inside a byte", "01050G00", "0105", P::InvalidCharacter, 5);
        row("comma", "01,05", "01", P::InvalidCharacter, 2);
        row("0x prefix", "0x01", "", P::InvalidCharacter, 1);
        row("full-width digits", QStringLiteral("０１"), "", P::InvalidCharacter, 0);
    }
    void readFrameText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(InputProblem, problem);
        QFETCH(int, position);
        const FrameInput input = crccalc::readFrameText(text);
        QCOMPARE(input.bytes.toHex(' '), bytes.toHex(' '));
        QCOMPARE(input.problem, problem);
        QCOMPARE(input.position, qsizetype(position));
        QCOMPARE(problemDescription(input, text).isEmpty(), problem == InputProblem::None);
    }

    void problemDescriptionNamesWhatWasComputed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("mentions");
        QTest::newRow("invalid character")
            << "0105G7" << QStringList{"第 5 个字符", "“G”", "2 个字节", "01 05"};
        QTest::newRow("lone digit") << "010" << QStringList{"第 3 个字符", "1 个字节", "01"};
        QTest::newRow("nothing computable") << "zz" << QStringList{"“z”", "没有可计算的字节"};
        QTest::newRow("empty") << "" << QStringList{"没有输入字节"};
    }
    void problemDescriptionNamesWhatWasComputed()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, mentions);
        const QString description = problemDescription(crccalc::readFrameText(text), text);
        for (const QString &m : mentions)
            QVERIFY2(description.contains(m), qPrintable(description));
    }

    void hexFormOfWholeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("hex");
        QTest::newRow("low byte") << "140" << true << "8C";
        QTest::newRow("no leading zero") << "10" << true << "A";
        QTest::newRow("byte maximum") << "255" << true << "FF";
        QTest::newRow("beyond a byte") << "4096" << true << "1000";
        QTest::newRow("zero") << "0" << true << "0";
        QTest::newRow("leading zeros") << "0058" << true << "3A";
        QTest::newRow("blanks around") << " 58 " << true << "3A";
        QTest::newRow("64-bit maximum") << "18446744073709551615" << true << "FFFFFFFFFFFFFFFF";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("letters") << "abc" << false << "";
        QTest::newRow("trailing letter") << "12a" << false << "";
        QTest::newRow("negative") << "-1" << false << "";
        QTest::newRow("fraction") << "1.5" << false << "";
        QTest::newRow("too large") << "18446744073709551616" << false << "";
    }
    void hexFormOfWholeNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        QFETCH(QString, hex);
        QString why;
        const std::optional<QString> form = crccalc::hexFormOfWholeNumber(text, &why);
        QCOMPARE(form.has_value(), whole);
        if (whole)
            QCOMPARE(*form, hex);
        else
            QVERIFY(!why.isEmpty());
    }

    void runCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("openWindow");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errMentions");
        QTest::newRow("no arguments") << QStringList{} << true << 0 << ""
                                      << "";
        QTest::newRow("one argument") << QStringList{"01050000FF00"} << false << 0 << "8C 3A\n"
                                      << "";
        QTest::newRow("one argument per byte")
            << QStringList{"01", "03", "00", "00", "00", "01"} << false << 0 << "84 0A\n"
            << "";
        QTest::newRow("blanks inside an argument")
            << QStringList{"01 03 00 00 00 01"} << false << 0 << "84 0A\n"
            << "";
        QTest::newRow("odd length") << QStringList{"010"} << false << 2 << ""
                                    << "argument 1 \"010\": \"0\" at column 3";
        QTest::newRow("lone digit argument") << QStringList{"01", "5"} << false << 2 << ""
                                             << "argument 2 \"5\"";
        QTest::newRow("invalid character") << QStringList{"01", "0G"} << false << 2 << ""
                                           << "\"G\" at column 2 is not a hex";
        QTest::newRow("empty argument") << QStringList{""} << false << 2 << ""
                                        << "no bytes";
        QTest::newRow("unknown option") << QStringList{"-x"} << false << 2 << ""
                                        << "unknown option \"-x\"";
    }
    void runCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, openWindow);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, errMentions);
        const CommandLineOutcome outcome = crccalc::runCommandLine(arguments);
        QCOMPARE(outcome.openWindow, openWindow);
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(outcome.out, out);
        if (errMentions.isEmpty())
            QCOMPARE(outcome.err, QString());
        else
            QVERIFY2(outcome.err.contains(errMentions), qPrintable(outcome.err));
    }

    void helpWinsOverBytes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("-h after bytes") << QStringList{"01", "-h"};
    }
    void helpWinsOverBytes()
    {
        QFETCH(QStringList, arguments);
        const CommandLineOutcome outcome = crccalc::runCommandLine(arguments);
        QVERIFY(!outcome.openWindow);
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.startsWith("Usage: crc16"));
        QVERIFY(outcome.err.isEmpty());
    }

    // In Chinese, Qt's own texts (the edit menu, the standard buttons) are Chinese too.
    void qtTextsFollowChinese()
    {
#ifdef Q_OS_WIN
        QSKIP("the Windows programs find Qt's texts beside them, as the zip puts them");
#endif
        QVERIFY(crccalc::installLanguage(crccalc::Language::Chinese));
        for (const auto &[context, text] :
             {std::pair{"QPlatformTheme", "&Yes"}, std::pair{"QWidgetTextControl", "&Copy"}})
            QVERIFY2(QCoreApplication::translate(context, text) != QLatin1String(text), text);
    }

    // The English built into the program is found and used. Runs last: the English stays
    // installed.
    void englishIsInstalled()
    {
        QVERIFY(crccalc::installLanguage(crccalc::Language::English));
        const crccalc::FrameInput input = crccalc::readFrameText(u"zz");
        QCOMPARE(crccalc::problemDescription(input, u"zz"),
                 QStringLiteral("Character 1, “z”, is not a hex digit. There are no bytes to "
                                "compute."));
    }
};

QTEST_GUILESS_MAIN(TestCrc16Core)
#include "tst_crc16_core.moc"
