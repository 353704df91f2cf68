// The frame splitter as a pure function: chunks in, frames out; and the capture that pairs them.

#include "modbus/splitter.h"
#include "monitor/capture.h"
#include "monitor/decode.h"
#include "support/frames.h"
#include "support/randomstreams.h"

#include <QRandomGenerator>
#include <QTest>

using modbus::FrameRole;
using modbus::FrameSplitter;
using modbus::SplitFrame;
using testframes::hex;
using testframes::hexOf;
using testframes::RandomStream;
using testframes::rtu;
using testframes::SplitInRandomChunks;

namespace {

// A chunk and the pause before it, in milliseconds.
struct Chunk
{
    QByteArray bytes;
    int pauseMs = 1;
};

QString RoleName(FrameRole role)
{
    switch (role) {
    case FrameRole::Request:
        return "req";
    case FrameRole::Broadcast:
        return "bcast";
    case FrameRole::Probe:
        return "probe";
    case FrameRole::Answer:
        return "ans";
    case FrameRole::Exception:
        return "exc";
    case FrameRole::Text:
        return "text";
    case FrameRole::Noise:
        return "noise";
    }
    return {};
}

// "req 01 03 ..." or, for a damaged frame, "req! 01 03 ...".
QString Describe(const SplitFrame &f)
{
    const bool damaged = !f.crcOk && f.role != FrameRole::Noise;
    return RoleName(f.role) + (damaged ? "! " : " ") + hexOf(f.bytes);
}

QString Line(const char *role, const QByteArray &bytes)
{
    return QString::fromLatin1(role) + ' ' + hexOf(bytes);
}

// Every chunk fed at its pause after the last one's end, then the line falls quiet.
std::vector<SplitFrame> Split(const QList<Chunk> &chunks, int baud)
{
    FrameSplitter splitter(baud);
    std::vector<SplitFrame> frames;
    qint64 now = 1'000'000;
    const auto add = [&frames](std::vector<SplitFrame> more) {
        frames.insert(frames.end(), more.begin(), more.end());
    };
    for (const Chunk &c : chunks) {
        now += c.pauseMs * 1000 + c.bytes.size() * 10'000'000LL / baud;
        add(splitter.feed(c.bytes, now));
    }
    add(splitter.idle(now + 500'000));
    add(splitter.finish());
    return frames;
}

} // namespace

class TestSplitter : public QObject
{
    Q_OBJECT
private slots:
    void splits_data();
    void splits();
    void timesFirstByteAndEnd();
    void pairsBehindAnEcho_data();
    void pairsBehindAnEcho();
    void randomStreamsLoseNothing();
    void damagedFramesNotDecoded_data();
    void damagedFramesNotDecoded();
};

void TestSplitter::splits_data()
{
    QTest::addColumn<QList<Chunk>>("chunks");
    QTest::addColumn<QStringList>("expected");

    const QByteArray read = rtu("010300000001");
    const QByteArray answer = rtu("0103020005");
    const QByteArray on = rtu("01050002FF00");
    const QByteArray off = rtu("010500020000");
    const QByteArray all4 = rtu("0131F000000A0014001E0028");
    const QByteArray all8 = rtu("0533F000000100020003000400050006000700 08");
    const QByteArray coils = rtu("010F0000001002FFFF");
    const QByteArray coilsAnswer = rtu("010F00000010");
    const QByteArray regs = rtu("011000000002040001000A");
    const QByteArray regsAnswer = rtu("011000000002");

    QTest::newRow("request and answer merged in one chunk")
        << QList<Chunk>{{read + answer}} << QStringList{Line("req", read), Line("ans", answer)};
    QTest::newRow("a frame cut in two, its halves 12 ms apart")
        << QList<Chunk>{{read.left(3)}, {read.mid(3) + answer.left(2), 12}, {answer.mid(2), 12}}
        << QStringList{Line("req", read), Line("ans", answer)};
    QTest::newRow("noise before a frame")
        << QList<Chunk>{{hex("FF00") + read + answer}}
        << QStringList{"noise FF 00", Line("req", read), Line("ans", answer)};
    QTest::newRow("a byte lost inside a request: the rest is noise, the answer whole")
        << QList<Chunk>{{read.left(4) + read.mid(5) + answer}}
        << QStringList{Line("noise", read.left(4) + read.mid(5)), Line("ans", answer)};
    QByteArray hurt = answer;
    hurt[3] = char(0x07);
    QTest::newRow("a damaged answer between good frames is marked, not merged")
        << QList<Chunk>{{read + hurt + read}}
        << QStringList{Line("req", read), Line("ans!", hurt), Line("req", read)};
    QTest::newRow("an echoed write: request, then the same bytes as its answer")
        << QList<Chunk>{{on + on}} << QStringList{Line("req", on), Line("ans", on)};
    QTest::newRow("a write heard back, answered, then the next write heard back")
        << QList<Chunk>{{on + on}, {on, 5}, {off + off, 100}, {off, 5}}
        << QStringList{Line("req", on),  Line("ans", on),  Line("ans", on),
                       Line("req", off), Line("ans", off), Line("ans", off)};
    QTest::newRow("an unanswered write, asked again 300 ms later: two requests")
        << QList<Chunk>{{on}, {on, 300}} << QStringList{Line("req", on), Line("req", on)};
    QTest::newRow("reads 01, 02, 04 and their answers")
        << QList<Chunk>{{rtu("010100000010") + rtu("01010205 00") + rtu("020200000008") +
                         rtu("02020100") + rtu("030400010002") + rtu("0304040001 0002")}}
        << QStringList{Line("req", rtu("010100000010")), Line("ans", rtu("0101020500")),
                       Line("req", rtu("020200000008")), Line("ans", rtu("02020100")),
                       Line("req", rtu("030400010002")), Line("ans", rtu("030404000100 02"))};
    QTest::newRow("06, 0F and 10 with their answers")
        << QList<Chunk>{{rtu("010601000002") + rtu("010601000002") + coils + coilsAnswer + regs +
                         regsAnswer}}
        << QStringList{Line("req", rtu("010601000002")),
                       Line("ans", rtu("010601000002")),
                       Line("req", coils),
                       Line("ans", coilsAnswer),
                       Line("req", regs),
                       Line("ans", regsAnswer)};
    QTest::newRow("timed functions: one channel, four and eight time pairs")
        << QList<Chunk>{{rtu("0134F0020014") + rtu("0134F0020014") + all4 + all4 + all8 + all8}}
        << QStringList{Line("req", rtu("0134F0020014")),
                       Line("ans", rtu("0134F0020014")),
                       Line("req", all4),
                       Line("ans", all4),
                       Line("req", all8),
                       Line("ans", all8)};
    QTest::newRow("an exception answer")
        << QList<Chunk>{{rtu("010300090001") + rtu("018302")}}
        << QStringList{Line("req", rtu("010300090001")), Line("exc", rtu("018302"))};
    QTest::newRow("the probe, answered by two modules, then a broadcast")
        << QList<Chunk>{{hex("24FF03A000C6") + rtu("0303020003") + rtu("0703020007") +
                         rtu("000500000000")}}
        << QStringList{"probe 24 FF 03 A0 00 C6", Line("ans", rtu("0303020003")),
                       Line("ans", rtu("0703020007")), Line("bcast", rtu("000500000000"))};
    QTest::newRow("text lines between frames")
        << QList<Chunk>{{read + QByteArray("AT+STATUS+1=?\r\n")},
                        {QByteArray("STATUS:10100000\r\n") + read + answer, 20}}
        << QStringList{Line("req", read), Line("text", "AT+STATUS+1=?\r\n"),
                       Line("text", "STATUS:10100000\r\n"), Line("req", read), Line("ans", answer)};
    QTest::newRow("an unknown function ends where the line falls silent")
        << QList<Chunk>{{rtu("01410203")}, {read, 30}}
        << QStringList{Line("req", rtu("01410203")), Line("req", read)};
    QTest::newRow("a frame cut short by a silence does not take the next one")
        << QList<Chunk>{{read.left(5)}, {read + answer, 300}}
        << QStringList{Line("noise", read.left(5)), Line("req", read), Line("ans", answer)};
}

void TestSplitter::splits()
{
    QFETCH(QList<Chunk>, chunks);
    QFETCH(QStringList, expected);
    for (int baud : {9600, 115200}) {
        const std::vector<SplitFrame> frames = Split(chunks, baud);
        QStringList got;
        for (const SplitFrame &f : frames)
            got << Describe(f);
        QCOMPARE(got, expected);
    }
}

// What the capture makes of a request heard back: each frame as "index role hex", "echo" for the
// adapter's copy, "-> k" for the request it answers, "unanswered" for a request without answer.
void TestSplitter::pairsBehindAnEcho_data()
{
    QTest::addColumn<QList<Chunk>>("chunks");
    QTest::addColumn<QStringList>("expected");

    const QByteArray read = rtu("01 03 00 00 00 01");
    const QByteArray readAnswer = rtu("01 03 02 00 05");
    const QByteArray on = rtu("01 05 00 00 FF 00");
    const QByteArray off = rtu("01 05 00 00 00 00");
    const QByteArray exception = rtu("01 85 02");
    const QByteArray probe = hex("24 FF 03 A0 00 C6");
    const QByteArray probeAnswer = rtu("07 03 02 00 07");
    const auto line = [](int index, const char *role, const QByteArray &bytes,
                         const QString &more = {}) {
        return QStringLiteral("%1 %2 %3%4").arg(index).arg(role, hexOf(bytes), more);
    };

    QTest::newRow("a read heard back, then its answer")
        << QList<Chunk>{{read}, {read}, {readAnswer, 5}}
        << QStringList{line(1, "req", read), line(2, "echo", read),
                       line(3, "ans", readAnswer, " -> 1")};
    QTest::newRow("a read heard back alone")
        << QList<Chunk>{{read}, {read}}
        << QStringList{line(1, "req", read, " unanswered"), line(2, "echo", read)};
    QTest::newRow("a write heard back, then its answer")
        << QList<Chunk>{{on}, {on}, {on, 5}}
        << QStringList{line(1, "req", on), line(2, "echo", on), line(3, "ans", on, " -> 1")};
    QTest::newRow("a write and its answer on a line without echo")
        << QList<Chunk>{{on}, {on, 5}}
        << QStringList{line(1, "req", on), line(2, "ans", on, " -> 1")};
    QTest::newRow("a write heard back, then an exception answer")
        << QList<Chunk>{{on}, {on}, {exception, 5}}
        << QStringList{line(1, "req", on), line(2, "echo", on), line(3, "exc", exception, " -> 1")};
    QTest::newRow("a write answered, then the next request")
        << QList<Chunk>{{on}, {on, 5}, {read, 20}, {readAnswer, 5}}
        << QStringList{line(1, "req", on), line(2, "ans", on, " -> 1"), line(3, "req", read),
                       line(4, "ans", readAnswer, " -> 3")};
    QTest::newRow("a write heard back and answered, then the next write heard back")
        << QList<Chunk>{{on + on}, {on, 5}, {off + off, 100}, {off, 5}}
        << QStringList{line(1, "req", on),  line(2, "echo", on),  line(3, "ans", on, " -> 1"),
                       line(4, "req", off), line(5, "echo", off), line(6, "ans", off, " -> 4")};
    QTest::newRow("a garbled byte and a write, heard back, then answered")
        << QList<Chunk>{{hex("A5") + on}, {hex("A5") + on}, {on, 5}}
        << QStringList{line(1, "noise", hex("A5")), line(2, "req", on), line(3, "noise", hex("A5")),
                       line(4, "echo", on), line(5, "ans", on, " -> 2")};
    QTest::newRow("the probe heard back, then an answer")
        << QList<Chunk>{{probe}, {probe}, {probeAnswer, 5}}
        << QStringList{line(1, "probe", probe), line(2, "echo", probe),
                       line(3, "ans", probeAnswer, " -> 1")};
}

void TestSplitter::pairsBehindAnEcho()
{
    QFETCH(QList<Chunk>, chunks);
    QFETCH(QStringList, expected);
    constexpr int Baud = 9600;
    monitor::Capture capture(Baud);
    QStringList got;
    capture.setSink([&got](const monitor::CapturedFrame &f) {
        QString text = QStringLiteral("%1 %2 %3")
                           .arg(f.index)
                           .arg(f.echo ? QStringLiteral("echo") : RoleName(f.frame.role),
                                hexOf(f.frame.bytes));
        if (f.answers > 0)
            text += QStringLiteral(" -> %1").arg(f.answers);
        if (f.unanswered)
            text += QStringLiteral(" unanswered");
        got << text;
    });
    qint64 now = 1'000'000;
    for (const Chunk &c : chunks) {
        now += c.pauseMs * 1000 + c.bytes.size() * 10'000'000LL / Baud;
        capture.received(c.bytes, now);
    }
    capture.idle(now + 500'000);
    capture.finish();
    QCOMPARE(got, expected);
    // The adapter's copies count neither as requests nor as answers.
    const monitor::AddressStats total = capture.total();
    const auto asked = std::count_if(expected.begin(), expected.end(), [](const QString &line) {
        const QString role = line.section(' ', 1, 1);
        return role == "req" || role == "probe";
    });
    QCOMPARE(total.requests, qint64(asked));
    QCOMPARE(total.answers + total.exceptions,
             qint64(std::count_if(expected.begin(), expected.end(),
                                  [](const QString &line) { return line.contains("->"); })));
}

void TestSplitter::timesFirstByteAndEnd()
{
    // Two frames arriving in one chunk at 9600 baud: 1.0417 ms a byte.
    FrameSplitter splitter(9600);
    const QByteArray read = rtu("010300000001");
    const QByteArray answer = rtu("0103020005");
    const std::vector<SplitFrame> frames = splitter.feed(read + answer, 1'000'000);
    QCOMPARE(frames.size(), std::size_t(2));
    QVERIFY(qAbs(frames[0].startUs - (1'000'000 - 15'625)) <= 2);
    QVERIFY(qAbs(frames[1].startUs - (1'000'000 - 7'292)) <= 2);
    QVERIFY(qAbs(frames[1].endUs - 1'000'000) <= 2);
}

// Random bytes, frames cut short and spliced, in random chunks: every byte comes out once, in
// order, and no frame is longer than a frame can be.
void TestSplitter::randomStreamsLoseNothing()
{
    QRandomGenerator random(25);
    const int streams = qEnvironmentVariableIntValue("QUORVANE_SPLITTER_STREAMS") > 0
                            ? qEnvironmentVariableIntValue("QUORVANE_SPLITTER_STREAMS")
                            : 100'000;
    for (int s = 0; s < streams; ++s) {
        const QByteArray stream = RandomStream(random);
        FrameSplitter splitter(s % 2 ? 9600 : 115200);
        QByteArray out;
        bool shapeless = false; // empty, or longer than any record may be
        SplitInRandomChunks(splitter, stream, random, [&](const SplitFrame &f) {
            shapeless = shapeless || f.bytes.isEmpty() || f.bytes.size() > 1024;
            out += f.bytes;
        });
        QVERIFY(!shapeless);
        if (out != stream)
            QFAIL(qPrintable(
                QStringLiteral("stream %1: %2 in, %3 out").arg(s).arg(hexOf(stream), hexOf(out))));
    }
}

void TestSplitter::damagedFramesNotDecoded_data()
{
    QTest::addColumn<QByteArray>("frame"); // hex, its CRC appended
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("field"); // a decoded field of the frame as it would read

    QTest::newRow("write registers")
        << QByteArray("01 10 B2 32 F6 62 00") << int(FrameRole::Request) << "0xB232";
    QTest::newRow("state read") << QByteArray("01 03 00 07 00 01") << int(FrameRole::Request)
                                << "0x0007";
    QTest::newRow("answer") << QByteArray("01 03 02 00 05") << int(FrameRole::Answer) << "0x0005";
    QTest::newRow("broadcast switch")
        << QByteArray("00 05 00 02 FF 00") << int(FrameRole::Broadcast) << "（广播）";
}

void TestSplitter::damagedFramesNotDecoded()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, role);
    QFETCH(QString, field);
    SplitFrame good{rtu(frame.constData()), FrameRole(role), true, 0, 0};
    QVERIFY2(monitor::Summary(good).contains(field), qPrintable(monitor::Summary(good)));
    SplitFrame damaged = good;
    damaged.bytes[damaged.bytes.size() - 1] ^= 0x5A;
    damaged.crcOk = false;
    const QString summary = monitor::Summary(damaged);
    QVERIFY2(!summary.contains(field) && summary.contains(u"CRC"), qPrintable(summary));
}

QTEST_GUILESS_MAIN(TestSplitter)
#include "tst_splitter.moc"
