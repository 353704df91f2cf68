// The master against a peer on a real pseudo-terminal that answers at the line's pace: each row
// is a few transactions, what the peer does with each frame it hears, and how each transaction
// must end.

#include "link/master.h"
#include "link/portline.h"
#include "modbus/timing.h"
#include "serial/commport.h"
#include "tests/support/frames.h"
#include "tests/support/ptypair.h"
#include "tests/support/scriptedpeer.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using bus::Expect;
using namespace testframes;
using modbus::Verdict;

namespace {

constexpr int Baud = 9600;

struct Ask
{
    QByteArray request;
    Expect expect = Expect::Answer;
    int timeoutMs = 300;
    int retries = 0;
};

struct Ended
{
    Verdict verdict = Verdict::Good;
    int attempts = 1;
    QByteArray received;
};

const QByteArray StateRead = rtu("01 03 00 00 00 01");
const QByteArray StateAnswer = rtu("01 03 02 00 05");
const QByteArray OtherRead = rtu("02 03 00 00 00 01");
const QByteArray OtherAnswer = rtu("02 03 02 00 01");
const QByteArray SwitchOn = rtu("01 05 00 00 FF 00");

bus::Transaction Tx(const QByteArray &request, Expect expect, std::optional<int> timeoutMs = {})
{
    bus::Transaction t;
    t.request = request;
    t.expect = expect;
    t.timeoutMs = timeoutMs;
    return t;
}

QByteArray Garbled(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame.back() ^ 0x5A);
    return frame;
}

// A master on a real pseudo-terminal opened at Baud; the test plays the other end.
struct PtyMaster
{
    PtyMaster()
    {
        port.setPortName(pty.slavePath());
        port.setLineSettings({Baud, 'N', 8, 1});
        opened = pty.isValid() && port.open() == serial::OpenResult::Ok;
    }
    PtyPair pty;
    serial::CommPort port;
    bool opened = false;
    bus::PortLine line{port};
    bus::Master master{line};
};

// Submits every ask in turn; each outcome lands in outcomes, in order.
bool SubmitAll(bus::Master &master, const QList<Ask> &asks, QList<bus::Outcome> &outcomes)
{
    for (const Ask &ask : asks) {
        bus::Transaction t;
        t.request = ask.request;
        t.expect = ask.expect;
        t.timeoutMs = ask.timeoutMs;
        t.retries = ask.retries;
        if (master.submit(t, [&outcomes](const bus::Outcome &o) { outcomes.append(o); }) == 0)
            return false;
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(QList<Ask>)
Q_DECLARE_METATYPE(QList<ScriptedPeer::Step>)
Q_DECLARE_METATYPE(QList<Ended>)
Q_DECLARE_METATYPE(bus::Echo)

class TstMaster : public QObject
{
    Q_OBJECT

private slots:
    void transactions_data()
    {
        QTest::addColumn<QList<Ask>>("asks");
        QTest::addColumn<QList<ScriptedPeer::Step>>("script");
        QTest::addColumn<QList<Ended>>("ended");
        QTest::addColumn<int>("lateAnswers");

        using Steps = QList<ScriptedPeer::Step>;
        const QByteArray exception = rtu("01 83 02");

        QTest::newRow("a whole answer") << QList<Ask>{{StateRead}} << Steps{{8, StateAnswer, 2}}
                                        << QList<Ended>{{Verdict::Good, 1, StateAnswer}} << 0;
        QTest::newRow("an echo that differs is no answer")
            << QList<Ask>{{SwitchOn}} << Steps{{8, rtu("01 05 00 00 00 00"), 2}}
            << QList<Ended>{{Verdict::Mismatch, 1, rtu("01 05 00 00 00 00")}} << 0;
        QTest::newRow("a late answer is not the next request's")
            << QList<Ask>{{StateRead, Expect::Answer, 40}, {OtherRead}}
            << Steps{{8, StateAnswer, 120}, {8, OtherAnswer, 2}}
            << QList<Ended>{{Verdict::Incomplete, 1, {}}, {Verdict::Good, 1, OtherAnswer}} << 1;
        QTest::newRow("asked again after silence")
            << QList<Ask>{{StateRead, Expect::Answer, 80, 2}} << Steps{{8, {}}, {8, StateAnswer, 2}}
            << QList<Ended>{{Verdict::Good, 2, StateAnswer}} << 0;
        QTest::newRow("asked again after a bad CRC")
            << QList<Ask>{{StateRead, Expect::Answer, 300, 1}}
            << Steps{{8, Garbled(StateAnswer), 2}, {8, StateAnswer, 2}}
            << QList<Ended>{{Verdict::Good, 2, StateAnswer}} << 0;
        QTest::newRow("retries run out")
            << QList<Ask>{{StateRead, Expect::Answer, 60, 1}} << Steps{{8, {}}, {8, {}}}
            << QList<Ended>{{Verdict::Incomplete, 2, {}}} << 0;
        QTest::newRow("an exception answer is final")
            << QList<Ask>{{StateRead, Expect::Answer, 300, 2}} << Steps{{8, exception, 2}}
            << QList<Ended>{{Verdict::Exception, 1, exception}} << 0;
        QTest::newRow("a broadcast waits for nothing")
            << QList<Ask>{{rtu("00 05 00 00 FF 00"), Expect::Nothing}, {StateRead}}
            << Steps{{8, {}}, {8, StateAnswer, 2}}
            << QList<Ended>{{Verdict::Incomplete, 1, {}}, {Verdict::Good, 1, StateAnswer}} << 0;
        QTest::newRow("a window keeps every answer")
            << QList<Ask>{{hex("24 FF 03 A0 00 C6"), Expect::Window, 250}}
            << Steps{{6, rtu("03 03 02 00 03") + rtu("07 03 02 00 07"), 2}}
            << QList<Ended>{{Verdict::Incomplete, 1, rtu("03 03 02 00 03") + rtu("07 03 02 00 07")}}
            << 0;
    }

    void transactions()
    {
        QFETCH(QList<Ask>, asks);
        QFETCH(QList<ScriptedPeer::Step>, script);
        QFETCH(QList<Ended>, ended);
        QFETCH(int, lateAnswers);

        PtyMaster m;
        QVERIFY(m.opened);
        bus::Master &master = m.master;
        QSignalSpy late(&master, &bus::Master::lateAnswer);
        ScriptedPeer peer(m.pty.master(), script, Baud);

        QList<bus::Outcome> outcomes;
        QVERIFY(SubmitAll(master, asks, outcomes));
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), asks.size(), 10000);
        for (int i = 0; i < ended.size(); ++i) {
            QCOMPARE(outcomes[i].check.verdict, ended[i].verdict);
            QCOMPARE(outcomes[i].attempts, ended[i].attempts);
            QCOMPARE(hexOf(outcomes[i].received), hexOf(ended[i].received));
            QVERIFY(!outcomes[i].portFailed);
            // Every frame goes out whole, one at a time, after the one before is over.
            if (i > 0)
                QVERIFY(outcomes[i].sentMs >= outcomes[i - 1].doneMs);
        }
        QTRY_COMPARE(late.size(), lateAnswers);
    }

    // Behind an adapter that hears itself: each row is the echo setting, a few transactions, what
    // the peer plays back for each frame it hears (the echo is the frame itself), how each ends,
    // whether it was only the echo, what the master learned (-1: nothing) and every frame the
    // peer heard (the learning read included).
    void echoes_data()
    {
        QTest::addColumn<bus::Echo>("echo");
        QTest::addColumn<QList<Ask>>("asks");
        QTest::addColumn<QList<ScriptedPeer::Step>>("script");
        QTest::addColumn<QList<Ended>>("ended");
        QTest::addColumn<QList<bool>>("onlyEcho");
        QTest::addColumn<int>("learned");
        QTest::addColumn<QList<QByteArray>>("heard");

        using Steps = QList<ScriptedPeer::Step>;
        using Frames = QList<QByteArray>;
        using bus::Echo;
        const QByteArray probe = hex("24 FF 03 A0 00 C6");
        const QByteArray probeAnswer = rtu("07 03 02 00 07");
        const Ask on{SwitchOn, Expect::Answer, 150};
        const Ended onOk{Verdict::Good, 1, SwitchOn};
        const Ended nothing{Verdict::Incomplete, 1, {}};

        QTest::newRow("none: a copy is the answer, as ever")
            << Echo::None << QList<Ask>{on} << Steps{{8, SwitchOn, 2}} << QList<Ended>{onOk}
            << QList<bool>{false} << -1 << Frames{SwitchOn};
        QTest::newRow("drop: echo and answer")
            << Echo::Drop << QList<Ask>{on} << Steps{{8, SwitchOn + SwitchOn, 2}}
            << QList<Ended>{onOk} << QList<bool>{false} << -1 << Frames{SwitchOn};
        QTest::newRow("drop: the echo alone is no answer")
            << Echo::Drop << QList<Ask>{on} << Steps{{8, SwitchOn, 2}} << QList<Ended>{nothing}
            << QList<bool>{true} << -1 << Frames{SwitchOn};
        QTest::newRow("drop: a read behind its echo")
            << Echo::Drop << QList<Ask>{{StateRead}} << Steps{{8, StateRead + StateAnswer, 2}}
            << QList<Ended>{{Verdict::Good, 1, StateAnswer}} << QList<bool>{false} << -1
            << Frames{StateRead};
        QTest::newRow("drop: asked again after the echo alone")
            << Echo::Drop << QList<Ask>{{SwitchOn, Expect::Answer, 150, 1}}
            << Steps{{8, SwitchOn, 2}, {8, SwitchOn + SwitchOn, 2}}
            << QList<Ended>{{Verdict::Good, 2, SwitchOn}} << QList<bool>{false} << -1
            << Frames{SwitchOn, SwitchOn};
        QTest::newRow("drop: the probe's window without its echo")
            << Echo::Drop << QList<Ask>{{probe, Expect::Window, 250}}
            << Steps{{6, probe + probeAnswer, 2}}
            << QList<Ended>{{Verdict::Incomplete, 1, probeAnswer}} << QList<bool>{false} << -1
            << Frames{probe};
        QTest::newRow("auto: a read's echo learned from its answer")
            << Echo::Auto << QList<Ask>{{StateRead}} << Steps{{8, StateRead + StateAnswer, 2}}
            << QList<Ended>{{Verdict::Good, 1, StateAnswer}} << QList<bool>{false} << 1
            << Frames{StateRead};
        QTest::newRow("auto: a read answered without echo")
            << Echo::Auto << QList<Ask>{{StateRead}} << Steps{{8, StateAnswer, 2}}
            << QList<Ended>{{Verdict::Good, 1, StateAnswer}} << QList<bool>{false} << 0
            << Frames{StateRead};
        QTest::newRow("auto: a read's echo alone")
            << Echo::Auto << QList<Ask>{{StateRead, Expect::Answer, 150}}
            << Steps{{8, StateRead, 2}} << QList<Ended>{nothing} << QList<bool>{true} << 1
            << Frames{StateRead};
        QTest::newRow("auto: a switch behind an echo, learned by one read")
            << Echo::Auto << QList<Ask>{on, on}
            << Steps{{8, StateRead + StateAnswer, 2},
                     {8, SwitchOn + SwitchOn, 2},
                     {8, SwitchOn + SwitchOn, 2}}
            << QList<Ended>{onOk, onOk} << QList<bool>{false, false} << 1
            << Frames{StateRead, SwitchOn, SwitchOn};
        QTest::newRow("auto: a switch's echo with no module")
            << Echo::Auto << QList<Ask>{on} << Steps{{8, StateRead, 2}, {8, SwitchOn, 2}}
            << QList<Ended>{nothing} << QList<bool>{true} << 1 << Frames{StateRead, SwitchOn};
        QTest::newRow("auto: a switch without echo")
            << Echo::Auto << QList<Ask>{on, on}
            << Steps{{8, StateAnswer, 2}, {8, SwitchOn, 2}, {8, SwitchOn, 2}}
            << QList<Ended>{onOk, onOk} << QList<bool>{false, false} << 0
            << Frames{StateRead, SwitchOn, SwitchOn};
        QTest::newRow("auto: silence shows no echo, and is read once")
            << Echo::Auto << QList<Ask>{on, on} << Steps{{8, {}}, {8, {}}, {8, {}}}
            << QList<Ended>{nothing, nothing} << QList<bool>{false, false} << 0
            << Frames{StateRead, SwitchOn, SwitchOn};
    }

    void echoes()
    {
        QFETCH(bus::Echo, echo);
        QFETCH(QList<Ask>, asks);
        QFETCH(QList<ScriptedPeer::Step>, script);
        QFETCH(QList<Ended>, ended);
        QFETCH(QList<bool>, onlyEcho);
        QFETCH(int, learned);
        QFETCH(QList<QByteArray>, heard);

        PtyMaster m;
        QVERIFY(m.opened);
        bus::Master &master = m.master;
        master.setEcho(echo);
        // The learning read's wait, long enough for a loaded machine.
        master.setPacing({0, 400, 0});
        QSignalSpy learnedSpy(&master, &bus::Master::echoLearned);
        ScriptedPeer peer(m.pty.master(), script, Baud);

        QList<bus::Outcome> outcomes;
        QVERIFY(SubmitAll(master, asks, outcomes));
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), asks.size(), 10000);
        for (int i = 0; i < ended.size(); ++i) {
            QCOMPARE(outcomes[i].check.verdict, ended[i].verdict);
            QCOMPARE(outcomes[i].attempts, ended[i].attempts);
            QCOMPARE(hexOf(outcomes[i].received), hexOf(ended[i].received));
            QCOMPARE(outcomes[i].onlyEcho, onlyEcho[i]);
            // Only the module's answer counts.
            if (onlyEcho[i])
                QVERIFY(!outcomes[i].answered());
        }
        QTRY_COMPARE(peer.heard().size(), heard.size());
        QCOMPARE(peer.heard(), heard);
        if (learned < 0) {
            QCOMPARE(learnedSpy.size(), 0);
        } else {
            // Said once.
            QCOMPARE(learnedSpy.size(), 1);
            QCOMPARE(learnedSpy.front().front().toBool(), learned == 1);
        }
    }

    // A window counted from its first byte, as a window that reads by position wants it: each row
    // is the window's length, the wait for its first byte, what the peer answers, whether a whole
    // answer ends the window, what the window read, and what came after it that nobody asked for
    // (the master listening, as the window's master does).
    void readingWindows_data()
    {
        QTest::addColumn<int>("windowMs");
        QTest::addColumn<int>("firstByteWaitMs");
        QTest::addColumn<QList<ScriptedPeer::Step>>("script");
        QTest::addColumn<bool>("endsWhenWhole");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QByteArray>("unasked");

        using Steps = QList<ScriptedPeer::Step>;
        const QByteArray long60 = QByteArray(58, '\x11') + QByteArray("\x22\x33", 2);
        QTest::newRow("a late first byte still opens the whole window")
            << 100 << 400 << Steps{{8, StateAnswer, 180}} << false << StateAnswer << QByteArray();
        QTest::newRow("a reply outlasting its window is read whole")
            << 20 << 400 << Steps{{8, long60, 2}} << false << long60 << QByteArray();
        QTest::newRow("silence: the wait for a first byte ends it")
            << 100 << 60 << Steps{{8, {}}} << false << QByteArray() << QByteArray();
        QTest::newRow("an answer after the wait is heard as nobody's")
            << 100 << 40 << Steps{{8, StateAnswer, 150}} << false << QByteArray() << StateAnswer;
        QTest::newRow("a whole answer ends it; what follows is nobody's")
            << 250 << 400 << Steps{{8, StateAnswer, 2}} << true << StateAnswer << rtu("09 09");
    }

    void readingWindows()
    {
        QFETCH(int, windowMs);
        QFETCH(int, firstByteWaitMs);
        QFETCH(QList<ScriptedPeer::Step>, script);
        QFETCH(bool, endsWhenWhole);
        QFETCH(QByteArray, read);
        QFETCH(QByteArray, unasked);

        PtyMaster m;
        QVERIFY(m.opened);
        bus::Master &master = m.master;
        master.listen(100);
        QByteArray heardUnasked;
        connect(&master, &bus::Master::unasked, this,
                [&](const QByteArray &bytes) { heardUnasked += bytes; });
        ScriptedPeer peer(m.pty.master(), script, Baud);

        bus::Transaction t = Tx(StateRead, Expect::Window, firstByteWaitMs);
        t.windowMs = windowMs;
        t.retries = 0;
        if (endsWhenWhole)
            t.enough = [](const QByteArray &received) { return received == StateAnswer; };
        std::optional<bus::Outcome> outcome;
        master.submit(t, [&](const bus::Outcome &o) { outcome = o; });
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 5000);
        QCOMPARE(hexOf(outcome->received), hexOf(read));
        if (endsWhenWhole)
            QVERIFY(m.pty.write(unasked)); // within the window, after it ended early
        if (!read.isEmpty() && !endsWhenWhole)
            QVERIFY(outcome->doneMs - outcome->firstByteMs >= windowMs - 1);
        QTRY_COMPARE(hexOf(heardUnasked), hexOf(unasked));
    }

    // Bytes nobody asked for are one reply while they keep coming within the window, and a
    // request waits until the talker's window is over rather than talking over it.
    void listening()
    {
        PtyMaster m;
        QVERIFY(m.opened);
        bus::Master &master = m.master;
        master.listen(100);
        QList<QByteArray> replies;
        double listenedUntil = 0;
        connect(&master, &bus::Master::unasked, this, [&](const QByteArray &bytes) {
            replies.append(bytes);
            listenedUntil = master.now();
        });
        m.pty.write(hex("01 02 03"));
        QTRY_VERIFY(master.busy());
        m.pty.write(hex("04 05"));
        std::optional<bus::Outcome> outcome;
        master.submit(Tx(rtu("00 05 00 00 FF 00"), Expect::Nothing),
                      [&](const bus::Outcome &o) { outcome = o; });
        QTRY_VERIFY(outcome.has_value());
        QCOMPARE(replies, QList<QByteArray>{hex("01 02 03 04 05")});
        QVERIFY(outcome->sentMs >= listenedUntil);
    }

    // A talker that never pauses (a babbling module, a flood) is talked over after a while
    // rather than waited for forever.
    void talkerThatNeverPauses()
    {
        PtyMaster m;
        QVERIFY(m.opened);
        QTimer babble;
        connect(&babble, &QTimer::timeout, this, [&] { m.pty.write(QByteArray(8, '\x55')); });
        QSignalSpy heard(&m.master, &bus::Master::heard);
        babble.start(1);
        QTRY_VERIFY(heard.size() > 2);
        std::optional<bus::Outcome> outcome;
        m.master.submit(Tx(rtu("00 05 00 00 FF 00"), Expect::Nothing),
                        [&](const bus::Outcome &o) { outcome = o; });
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 10000);
        QVERIFY(outcome->delivered());
    }

    // The line stays quiet between frames for the frame gap, and for the pause the user sets.
    void pacing_data()
    {
        QTest::addColumn<double>("pauseMs");
        QTest::newRow("the frame gap") << 0.0;
        QTest::newRow("a pause of 60 ms") << 60.0;
    }

    void pacing()
    {
        QFETCH(double, pauseMs);
        PtyMaster m;
        QVERIFY(m.opened);
        bus::Master &master = m.master;
        master.setPacing({pauseMs, std::nullopt, 0});
        QList<double> written;
        connect(&master, &bus::Master::wrote, this, [&] { written.append(master.now()); });
        int done = 0;
        for (int i = 0; i < 3; ++i)
            master.submit(Tx(rtu("00 05 00 00 FF 00"), Expect::Nothing),
                          [&](const bus::Outcome &) { ++done; });
        QTRY_COMPARE(done, 3);
        const double wire = modbus::Ms(modbus::WireTime(8, Baud));
        for (int i = 1; i < written.size(); ++i)
            QVERIFY2(written[i] - written[i - 1] >= wire + modbus::QuietGapMs(Baud) + pauseMs - 1,
                     qPrintable(QStringLiteral("%1 ms apart").arg(written[i] - written[i - 1])));
    }

    // While one owner holds the line, everyone else is refused; commands go before polls.
    void claimAndOrder()
    {
        PtyMaster m;
        QVERIFY(m.opened);
        bus::Master &master = m.master;
        int owner = 0;
        QVERIFY(master.claim(&owner));
        QVERIFY(!master.claim(this));
        const bus::Transaction broadcast = Tx(rtu("00 05 00 00 FF 00"), Expect::Nothing);
        QCOMPARE(master.submit(broadcast, {}), 0u);
        QList<int> order;
        master.submit(
            broadcast, [&](const bus::Outcome &) { order << 1; }, &owner, true);
        master.submit(
            broadcast, [&](const bus::Outcome &) { order << 2; }, &owner, true);
        master.submit(
            broadcast, [&](const bus::Outcome &) { order << 3; }, &owner);
        master.release(&owner);
        QVERIFY(master.submit(broadcast, [&](const bus::Outcome &) { order << 4; }) != 0);
        QTRY_COMPARE(order.size(), 4);
        // The commands overtake the polls waiting; the polls keep their order.
        QCOMPARE(order, (QList<int>{3, 4, 1, 2}));
    }

    // The port failing ends what is on the line and what waits, each as a port failure.
    void portFails()
    {
        PtyMaster m;
        QVERIFY(m.opened);
        bus::Master &master = m.master;
        QList<bus::Outcome> outcomes;
        for (int i = 0; i < 2; ++i)
            master.submit(Tx(StateRead, Expect::Answer, 5000),
                          [&](const bus::Outcome &o) { outcomes.append(o); });
        QTRY_VERIFY(!m.pty.received().isEmpty());
        m.pty.closeMaster();
        QTRY_COMPARE(outcomes.size(), 2);
        QVERIFY(outcomes[0].portFailed && outcomes[1].portFailed);
    }
};

QTEST_GUILESS_MAIN(TstMaster)
#include "tst_master.moc"
