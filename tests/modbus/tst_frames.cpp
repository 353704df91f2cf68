// How long frames are, judged from their first bytes, and how long they take on the line.
#include "modbus/frames.h"
#include "modbus/names.h"
#include "modbus/timing.h"

#include "support/frames.h"

#include <QTest>

using namespace modbus;
using testframes::hex;
using testframes::rtu;

class TestFrames : public QObject
{
    Q_OBJECT
private slots:
    // Every function the program meets: the length of the request, read from its first bytes
    // the way a byte stream is cut, and of the answer it gets, both from the request and from
    // the answer's own first bytes.
    void lengths_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");

        QTest::newRow("01 read 16 coils") << rtu("01 01 00 00 00 10") << rtu("01 01 02 05 00");
        QTest::newRow("01 read 9 coils") << rtu("01 01 00 00 00 09") << rtu("01 01 02 05 01");
        QTest::newRow("02 read 8 inputs") << rtu("01 02 00 00 00 08") << rtu("01 02 01 05");
        QTest::newRow("03 read 1 register") << rtu("01 03 00 00 00 01") << rtu("01 03 02 00 05");
        QTest::newRow("04 read 2 registers")
            << rtu("01 04 00 00 00 02") << rtu("01 04 04 00 05 00 06");
        QTest::newRow("05 write coil") << rtu("01 05 00 00 FF 00") << rtu("01 05 00 00 FF 00");
        QTest::newRow("06 write register") << rtu("01 06 01 00 00 07") << rtu("01 06 01 00 00 07");
        QTest::newRow("0F write 16 coils")
            << rtu("01 0F 00 00 00 10 02 FF FF") << rtu("01 0F 00 00 00 10");
        QTest::newRow("10 write 2 registers")
            << rtu("01 10 00 00 00 02 04 00 01 00 02") << rtu("01 10 00 00 00 02");
        for (const char *f : {"30", "32", "34"}) {
            const QByteArray request = rtu(QByteArray(f).prepend("01 ").append(" F0 02 00 14"));
            QTest::addRow("%s one channel", f) << request << request;
        }
        const QByteArray four = "00 14 00 02 00 03 00 04";
        for (const char *f : {"31", "33", "35"}) {
            const QByteArray head = QByteArray("01 ") + f + " F0 00 ";
            const QByteArray fourPairs = rtu(head + four);
            const QByteArray eightPairs = rtu(head + four + " " + four);
            QTest::addRow("%s four time pairs", f) << fourPairs << fourPairs;
            QTest::addRow("%s eight time pairs", f) << eightPairs << eightPairs;
        }
    }
    void lengths()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);

        // A stream cut by its first bytes: the length is one of the possible ones, or it needs
        // more bytes first.
        const auto cutsAt = [](FrameSize (*sizeOf)(QByteArrayView), const QByteArray &frame) {
            for (qsizetype have = 2; have <= frame.size(); ++have) {
                const FrameSize size = sizeOf(QByteArrayView(frame).first(have));
                if (size.known == FrameSize::Known::NeedMoreBytes)
                    continue;
                if (size.known != FrameSize::Known::Lengths)
                    return false;
                return size.lengths[0] == frame.size() || size.lengths[1] == frame.size();
            }
            return false;
        };
        QVERIFY(cutsAt(&RequestSizeOf, request));
        QVERIFY(cutsAt(&AnswerSizeOf, answer));
        QCOMPARE(AnswerLength(request), answer.size());
        QCOMPARE(LongestAnswer(request), std::max(answer.size(), ExceptionLength));
    }

    void otherFrames()
    {
        // The probe is answered like a one-register read; it is no request of a known length.
        QCOMPARE(AnswerLength(ProbeFrame()), 7);
        QCOMPARE(LongestAnswer(ProbeFrame()), 7);
        QVERIFY(IsProbe(hex("24 FF 03 A0 00 C6")));
        QVERIFY(!IsProbe(hex("24 FF 03 A0 00")));
        QCOMPARE(RequestSizeOf(ProbeFrame()).known, FrameSize::Known::UnknownFunction);
        // An exception answer is five bytes whatever the function.
        const FrameSize exception = AnswerSizeOf(hex("01 B5"));
        QCOMPARE(exception.known, FrameSize::Known::Lengths);
        QCOMPARE(exception.lengths[0], ExceptionLength);
        // A function nobody knows, or a request too short to be one, has no answer length.
        QCOMPARE(RequestSizeOf(hex("01 41 00")).known, FrameSize::Known::UnknownFunction);
        QCOMPARE(AnswerSizeOf(hex("01 41 00")).known, FrameSize::Known::UnknownFunction);
        QCOMPARE(AnswerLength(rtu("01 41 00 00")), 0);
        QCOMPARE(LongestAnswer(rtu("01 41 00 00")), ExceptionLength);
        QCOMPARE(AnswerLength(hex("01 05 00")), 0);
        QCOMPARE(AnswerLength(rtu("01 03 00 00 00")), 0); // a read of the wrong length
    }

    // 8N1 is 10 bits a character; other formats count their own bits.
    void wireTime_data()
    {
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<bool>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<double>("microseconds");
        QTest::newRow("7 bytes at 300, 8N1") << 7 << 300 << 8 << false << 1 << 233333.33;
        QTest::newRow("8 bytes at 9600, 8N1") << 8 << 9600 << 8 << false << 1 << 8333.33;
        QTest::newRow("256 bytes at 115200, 8N1") << 256 << 115200 << 8 << false << 1 << 22222.22;
        QTest::newRow("8 bytes at 9600, 8E1") << 8 << 9600 << 8 << true << 1 << 9166.67;
        QTest::newRow("8 bytes at 9600, 8N2") << 8 << 9600 << 8 << false << 2 << 9166.67;
        QTest::newRow("8 bytes at 9600, 7E1") << 8 << 9600 << 7 << true << 1 << 8333.33;
        QTest::newRow("no rate") << 8 << 0 << 8 << false << 1 << 0.0;
    }
    void wireTime()
    {
        QFETCH(int, bytes);
        QFETCH(int, rate);
        QFETCH(int, dataBits);
        QFETCH(bool, parity);
        QFETCH(int, stopBits);
        QFETCH(double, microseconds);
        const CharacterFormat format{dataBits, parity, stopBits};
        QVERIFY(qAbs(WireTime(bytes, rate, format).count() - microseconds) < 0.01);
        // The frame gap is the time of 3.5 such characters.
        QVERIFY(qAbs(FrameGap(rate, format).count() * 2 - WireTime(7, rate, format).count()) <
                1e-6);
    }

    // The whole microseconds each user rounds to are exact where the time is.
    void rounding()
    {
        using std::chrono::ceil;
        using std::chrono::duration_cast;
        using std::chrono::microseconds;
        QCOMPARE(ceil<microseconds>(FrameGap(300)), microseconds(116667));
        QCOMPARE(ceil<microseconds>(FrameGap(9600)), microseconds(3646));
        QCOMPARE(ceil<microseconds>(FrameGap(56000)), microseconds(625));
        QCOMPARE(duration_cast<microseconds>(WireTime(15, 300)), microseconds(500000));
        QCOMPARE(duration_cast<microseconds>(WireTime(8, 9600)), microseconds(8333));
    }

    void names()
    {
        QCOMPARE(FunctionName(0x85), "exception to write single coil");
        QCOMPARE(FunctionName(0x41), "function 41");
        QCOMPARE(FunctionName(0xC1), "exception to function 41");
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
