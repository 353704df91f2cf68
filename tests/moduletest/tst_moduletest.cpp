// The module test's runner against a module in the process: an answer spoilt on purpose is
// caught, a stop in the middle of any step leaves every relay off, a long run keeps its
// failures bounded.

#include "moduletest/runner.h"
#include "sim/relaymodule.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// A line with one module on it that answers at once; answer number spoil (1-based) gets a
// wrong CRC, answer number drop is lost.
class ModuleLine : public bus::Line
{
public:
    explicit ModuleLine(const sim::ModuleConfig &config) : module(config) { m_clock.start(); }

    bool write(const QByteArray &frame) override
    {
        ++writes;
        const sim::Micros now{m_clock.nsecsElapsed() / 1000};
        QByteArray answer = module.hear(sim::FrameKind::Rtu, frame, now);
        module.answerSent();
        if (writes == spoil && !answer.isEmpty())
            answer[answer.size() - 1] = char(answer.back() ^ 0x5A);
        if (!answer.isEmpty() && writes != drop)
            QTimer::singleShot(0, this, [this, answer] { emit received(answer); });
        return true;
    }
    // No wait worth a timer between frames.
    bus::LineSettings settings() const override { return {4000000}; }
    bool setSettings(const bus::LineSettings &) override { return true; }
    QString failure() const override { return {}; }

    // The relays as they stand now, timers run.
    std::uint16_t relays()
    {
        module.advance(sim::Micros{m_clock.nsecsElapsed() / 1000});
        return module.relayBits();
    }

    sim::RelayModule module;
    int writes = 0;
    int spoil = 0;
    int drop = 0; // the answer to this write (1-based) never comes

private:
    QElapsedTimer m_clock;
};

moduletest::Settings SettingsOf(const QList<moduletest::Step> &steps)
{
    moduletest::Settings settings;
    settings.steps = steps;
    settings.timedTenths = 3;
    return settings;
}

} // namespace

class TstModuleTest : public QObject
{
    Q_OBJECT

private slots:
    void spoiltAnswer();
    void stopLeavesRelaysOff_data();
    void stopLeavesRelaysOff();
    void failuresKeptBounded();
    void communicationAnswerLost_data();
    void communicationAnswerLost();
};

void TstModuleTest::spoiltAnswer()
{
    ModuleLine line({1, 5, 8, {}});
    line.spoil = 3; // the state read after channel 1 on
    bus::Master master(line);
    moduletest::Runner runner(master, SettingsOf({moduletest::Step::Channels}));
    QSignalSpy finished(&runner, &moduletest::Runner::finished);
    runner.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);

    const moduletest::ModuleResult &m = runner.report().modules.at(0);
    QCOMPARE(m.failureCount, quint64(1));
    QCOMPARE(m.failures.at(0).fault, moduletest::Fault::WrongAnswer);
    QCOMPARE(m.failures.at(0).testCase, QStringLiteral("channel 1"));
    QVERIFY(m.failures.at(0).message.contains(u"CRC"));
    QCOMPARE(m.channelFailures[1], quint64(1));
    QCOMPARE(line.relays(), 0);
}

void TstModuleTest::stopLeavesRelaysOff_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("stopAfterWrites");
    QTest::newRow("channels, channel 2 on") << int(moduletest::Step::Channels) << 5;
    QTest::newRow("all on") << int(moduletest::Step::AllOnOff) << 1;
    QTest::newRow("patterns, odd") << int(moduletest::Step::Patterns) << 1;
    QTest::newRow("timed, the times running") << int(moduletest::Step::Timed) << 6;
}

void TstModuleTest::stopLeavesRelaysOff()
{
    QFETCH(int, step);
    QFETCH(int, stopAfterWrites);
    ModuleLine line({1, 5, 8, {}});
    moduletest::Settings settings = SettingsOf({moduletest::Step(step)});
    settings.cycles = 1000;
    bus::Master master(line);
    moduletest::Runner runner(master, settings);
    QSignalSpy finished(&runner, &moduletest::Runner::finished);
    // Stopped as the next frame leaves, with the relays of the one before still on.
    std::uint16_t relaysAtStop = 0;
    connect(&runner, &moduletest::Runner::traffic, this, [&](const QString &traffic) {
        if (traffic.startsWith(u"out") && line.writes == stopAfterWrites) {
            relaysAtStop = line.relays();
            runner.stop();
        }
    });
    runner.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QVERIFY(relaysAtStop != 0);
    QCOMPARE(line.relays(), 0);
    QVERIFY(runner.report().stopped);
    QCOMPARE(runner.report().modules.at(0).failureCount, quint64(0));
    // Nothing switches on later: the timed functions were ended by the last request.
    QTest::qWait(400);
    QCOMPARE(line.relays(), 0);
}

void TstModuleTest::failuresKeptBounded()
{
    // A stuck relay fails every cycle; the report keeps a bounded number of them in full and
    // counts the rest, and the run stops at the failures allowed.
    sim::Faults faults;
    faults.stuckRelay = 4;
    ModuleLine line({1, 5, 8, faults});
    moduletest::Settings settings = SettingsOf({moduletest::Step::AllOnOff});
    settings.cycles = 100000;
    settings.keptFailures = 20;
    settings.maxFailures = 30;
    bus::Master master(line);
    moduletest::Runner runner(master, settings);
    QSignalSpy finished(&runner, &moduletest::Runner::finished);
    runner.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
    const moduletest::ModuleResult &m = runner.report().modules.at(0);
    QCOMPARE(m.failureCount, quint64(settings.maxFailures));
    QCOMPARE(m.failures.size(), std::size_t(settings.keptFailures));
    QCOMPARE(m.cyclesDone, settings.maxFailures);
    QCOMPARE(m.failures.back().cycle, settings.keptFailures);
    QVERIFY(runner.report().stopped);
    QCOMPARE(line.relays(), 0);
}

void TstModuleTest::communicationAnswerLost_data()
{
    QTest::addColumn<int>("drop");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("offConfirmed");
    // Only the state read says whether the module answers; a lost closing all-off is a failure
    // of its own, and leaves the relays unconfirmed.
    QTest::newRow("state read lost") << 1 << false << true;
    QTest::newRow("closing all-off lost") << 2 << true << false;
    QTest::newRow("nothing lost") << 0 << true << true;
}

void TstModuleTest::communicationAnswerLost()
{
    QFETCH(int, drop);
    QFETCH(bool, answered);
    QFETCH(bool, offConfirmed);
    ModuleLine line({1, 5, 8, {}});
    line.drop = drop;
    bus::Master master(line);
    moduletest::Runner runner(master, SettingsOf({moduletest::Step::Communication}));
    QSignalSpy finished(&runner, &moduletest::Runner::finished);
    runner.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    const moduletest::ModuleResult &m = runner.report().modules.at(0);
    QCOMPARE(m.answered, answered);
    QCOMPARE(m.failureCount, quint64(drop ? 1 : 0));
    QCOMPARE(runner.channelsOffConfirmed(), offConfirmed);
}

QTEST_GUILESS_MAIN(TstModuleTest)
#include "tst_moduletest.moc"
