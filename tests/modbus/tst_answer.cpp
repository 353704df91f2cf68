// Answers judged against the request they answer, and the answers of several modules read off
// one stream.
#include "modbus/answer.h"
#include "modbus/frames.h"

#include "support/frames.h"

#include <QTest>

using namespace modbus;
using testframes::rtu;

Q_DECLARE_METATYPE(modbus::Verdict)

class TestAnswer : public QObject
{
    Q_OBJECT
private slots:
    void checkAnswer_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QString>("message");

        const QByteArray on = rtu("01 05 00 00 FF 00");
        const QByteArray state = rtu("01 03 00 00 00 01");
        const QByteArray probe("\x24\xFF\x03\xA0\x00\xC6", 6);
        QByteArray corrupt = on;
        corrupt[7] = char(corrupt[7] ^ 0x01);

        QTest::newRow("echo") << on << on << Verdict::Good << "";
        QTest::newRow("echo and more") << on << on + "\x01" << Verdict::Good << "";
        QTest::newRow("half an echo") << on << on.left(5) << Verdict::Incomplete << "";
        QTest::newRow("bad CRC") << on << corrupt << Verdict::BadCrc
                                 << "bad CRC in the answer 01 05 00 00 FF 00 8C 3B";
        QTest::newRow("echo of another value")
            << on << rtu("01 05 00 00 00 00") << Verdict::Mismatch
            << "the echo 01 05 00 00 00 00 CD CA differs from the request 01 05 00 00 FF 00 8C 3A";
        QTest::newRow("another address") << on << rtu("02 05 00 00 FF 00") << Verdict::WrongAddress
                                         << "address 2 answered instead of 1";
        QTest::newRow("another function")
            << on << rtu("01 06 00 00 FF 00") << Verdict::WrongFunction
            << "function 06 answered instead of 05";
        QTest::newRow("exception")
            << on << rtu("01 85 02") << Verdict::Exception
            << "exception 02 (illegal address) from address 1 to function 05";
        QTest::newRow("exception, not all there")
            << on << rtu("01 85 02").left(4) << Verdict::Incomplete << "";
        QTest::newRow("exception with bad CRC")
            << on << QByteArray::fromHex("0185020000") << Verdict::BadCrc << "bad CRC";
        QTest::newRow("state") << state << rtu("01 03 02 00 81") << Verdict::Good << "";
        QTest::newRow("state with another byte count")
            << state << rtu("01 03 04 00 81 00 00") << Verdict::Mismatch
            << "not the answer asked for";
        QTest::newRow("coils written")
            << rtu("01 0F 00 00 00 10 02 FF FF") << rtu("01 0F 00 00 00 10") << Verdict::Good << "";
        QTest::newRow("other coils written")
            << rtu("01 0F 00 00 00 10 02 FF FF") << rtu("01 0F 00 00 00 08") << Verdict::Mismatch
            << "does not repeat the coils";
        QTest::newRow("timed, all channels")
            << rtu("01 35 F0 00 00 14 00 14 00 14 00 14")
            << rtu("01 35 F0 00 00 14 00 14 00 14 00 14") << Verdict::Good << "";
        QTest::newRow("probe, any address")
            << probe << rtu("C8 03 02 00 C8") << Verdict::Good << "";
        QTest::newRow("probe answer naming two addresses")
            << probe << rtu("C8 03 02 00 07") << Verdict::Mismatch << "not the answer asked for";
    }
    void checkAnswer()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, received);
        QFETCH(Verdict, verdict);
        QFETCH(QString, message);
        const Check check = CheckAnswer(request, received);
        QCOMPARE(check.verdict, verdict);
        QVERIFY2(check.message.contains(message), qPrintable(check.message));
        QCOMPARE(check.message.isEmpty(), message.isEmpty());
        if (verdict == Verdict::Good)
            QCOMPARE(check.length, AnswerLength(request));
    }

    // A request of a function without a known answer length: what came is judged whole.
    void wholeAnswer_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QString>("message");
        QTest::newRow("an answer of any length") << rtu("01 41 12 34 56") << Verdict::Good << "";
        QTest::newRow("exception")
            << rtu("01 C1 01") << Verdict::Exception
            << "exception 01 (illegal function) from address 1 to function 41";
        QTest::newRow("too short for a CRC")
            << QByteArray::fromHex("0141") << Verdict::BadCrc << "bad CRC in the answer 01 41";
        QTest::newRow("another address")
            << rtu("02 41 00") << Verdict::WrongAddress << "address 2 answered instead of 1";
        QTest::newRow("another function")
            << rtu("01 42 00") << Verdict::WrongFunction << "function 42 answered instead of 41";
        QTest::newRow("nothing") << QByteArray() << Verdict::Incomplete << "";
    }
    void wholeAnswer()
    {
        QFETCH(QByteArray, received);
        QFETCH(Verdict, verdict);
        QFETCH(QString, message);
        const Check check = CheckWholeAnswer(rtu("01 41 00 00"), received);
        QCOMPARE(check.verdict, verdict);
        QVERIFY2(message.isEmpty() || check.message.startsWith(message), qPrintable(check.message));
        QCOMPARE(check.message.isEmpty(), message.isEmpty());
    }

    // Answers of several modules arrive back to back, with noise between them and a part of the
    // next one still on its way.
    void registerAnswers()
    {
        const QByteArray next = rtu("05 03 02 00 05");
        QByteArray damaged = rtu("06 03 02 00 06");
        damaged[6] = 0;
        QByteArray buffer = QByteArray("\x00\xFF", 2) + rtu("03 03 02 00 03") + rtu("04 83 02") +
                            damaged + next.left(4);
        int garbled = 0;
        const std::vector<RegisterAnswer> answers = TakeRegisterAnswers(buffer, &garbled);
        const std::vector<RegisterAnswer> expected = {{3, false, 3}, {4, true, 2}};
        QVERIFY(answers == expected);
        QCOMPARE(garbled, 2 + 7); // the noise and the damaged answer
        buffer += next.mid(4);
        QVERIFY(TakeRegisterAnswers(buffer) == std::vector<RegisterAnswer>({{5, false, 5}}));
        QVERIFY(buffer.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAnswer)
#include "tst_answer.moc"
