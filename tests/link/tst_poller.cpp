// The poller over a line of modules in the process that answer at once: the order of polls, a
// command before the polls, a module that stops answering and comes back.

#include "link/poller.h"
#include "protocol/requests.h"
#include "sim/relaymodule.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

namespace {

// Modules on a line that answer at once; a module can be taken off the line and put back.
class ModulesLine : public bus::Line
{
public:
    explicit ModulesLine(const QList<int> &addresses)
    {
        for (const int a : addresses)
            modules[a] = std::make_unique<sim::RelayModule>(sim::ModuleConfig{std::uint8_t(a)});
    }
    bool write(const QByteArray &frame) override
    {
        written << frame;
        const auto it = modules.find(std::uint8_t(frame.at(0)));
        if (it == modules.end() || absent.contains(it->first))
            return true;
        const QByteArray answer = it->second->hear(sim::FrameKind::Rtu, frame, sim::Micros{0});
        it->second->answerSent();
        if (!answer.isEmpty())
            QTimer::singleShot(0, this, [this, answer] { emit received(answer); });
        return true;
    }
    bus::LineSettings settings() const override { return {4000000}; }
    bool setSettings(const bus::LineSettings &) override { return true; }
    QString failure() const override { return {}; }

    // The addresses of the frames written, in order.
    QList<int> addressesWritten() const
    {
        QList<int> list;
        for (const QByteArray &f : written)
            list << std::uint8_t(f.at(0));
        return list;
    }

    std::map<int, std::unique_ptr<sim::RelayModule>> modules;
    QList<int> absent;
    QList<QByteArray> written;
};

QList<std::pair<std::uint8_t, int>> Eights(const QList<int> &addresses)
{
    QList<std::pair<std::uint8_t, int>> list;
    for (const int a : addresses)
        list.append({std::uint8_t(a), 8});
    return list;
}

} // namespace

class TstPoller : public QObject
{
    Q_OBJECT

private slots:
    // Each module in turn, round after round; a module that does not answer is offline after
    // the misses allowed, and online again once it answers.
    void rounds_data()
    {
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QList<int>>("watched");
        QTest::addColumn<QList<int>>("offline");
        QTest::newRow("all answer") << QList<int>{1, 2, 5} << QList<int>{1, 2, 5} << QList<int>{};
        QTest::newRow("one never answers")
            << QList<int>{1, 5} << QList<int>{1, 2, 5} << QList<int>{2};
    }
    void rounds()
    {
        QFETCH(QList<int>, present);
        QFETCH(QList<int>, watched);
        QFETCH(QList<int>, offline);
        ModulesLine line(present);
        bus::Master master(line);
        master.setPacing({0, 30, 0});
        bus::Poller poller(master, {});
        poller.setModules(Eights(watched));
        QSignalSpy rounds(&poller, &bus::Poller::roundDone);
        poller.start();
        QTRY_VERIFY_WITH_TIMEOUT(rounds.size() >= 4, 10000);
        poller.stop();
        // Round after round in the order given: no module is left out or asked twice in a row.
        const QList<int> order = line.addressesWritten();
        for (int i = 0; i < order.size(); ++i)
            QCOMPARE(order[i], watched[i % watched.size()]);
        for (const int a : watched) {
            const bus::Poller::Module *m = poller.module(std::uint8_t(a));
            QCOMPARE(m->online, !offline.contains(a));
            QCOMPARE(m->bits.has_value(), !offline.contains(a));
        }
    }

    // A command goes before the polls: at most the poll already under way comes first, and the
    // module's state is read right after it, so the change is told from the module's answer.
    void commandBeforePolls()
    {
        ModulesLine line({1, 2, 3, 4});
        bus::Master master(line);
        bus::Poller poller(master, {});
        poller.setModules(Eights({1, 2, 3, 4}));
        QSignalSpy rounds(&poller, &bus::Poller::roundDone);
        QSignalSpy changed(&poller, &bus::Poller::changed);
        poller.start();
        QTRY_VERIFY(rounds.size() >= 1);
        changed.clear();
        const int before = int(line.written.size());
        bool done = false;
        poller.command(protocol::SwitchRequest(3, 1, true).frame,
                       [&](const bus::Outcome &o) { done = o.answered(); });
        QTRY_VERIFY(done);
        QTRY_COMPARE(poller.module(3)->bits.value_or(0), std::uint16_t(0x02));
        const QList<QByteArray> after = line.written.mid(before);
        const qsizetype at = after.indexOf(protocol::SwitchRequest(3, 1, true).frame);
        QVERIFY2(at >= 0 && at <= 1, qPrintable(QString::number(at)));
        QCOMPARE(after.at(at + 1), bus::StateRead(3));
        QVERIFY(!changed.isEmpty());
        QCOMPARE(changed.last().first().value<std::uint8_t>(), std::uint8_t(3));
    }

    // A module that stops answering goes offline after three missed polls and comes back by
    // itself; each is told once.
    void offlineAndBack()
    {
        ModulesLine line({1, 2});
        bus::Master master(line);
        master.setPacing({0, 30, 0});
        bus::Poller poller(master, {});
        poller.setModules(Eights({1, 2}));
        QList<bool> told;
        connect(&poller, &bus::Poller::changed, this, [&](std::uint8_t a) {
            if (a == 2)
                told << poller.module(2)->online;
        });
        poller.start();
        QTRY_COMPARE(told, QList<bool>{true});
        line.absent << 2;
        QTRY_COMPARE(told, (QList<bool>{true, false}));
        QCOMPARE(poller.module(2)->missedInARow, 3);
        QVERIFY(poller.module(2)->offlineSince.isValid());
        line.absent.clear();
        QTRY_COMPARE(told, (QList<bool>{true, false, true}));
        QVERIFY(poller.module(1)->online);
    }
    // A click after every poll, on one module: each click goes out after at most the poll on
    // the line, and the rounds still reach every module, the clicked one included.
    void clicksNeverStarveTheRound_data()
    {
        QTest::addColumn<QList<int>>("watched");
        QTest::addColumn<int>("clicked");
        QTest::newRow("four, the first clicked") << QList<int>{1, 2, 3, 4} << 1;
        QTest::newRow("four, the last clicked") << QList<int>{1, 2, 3, 4} << 4;
        QList<int> many;
        for (int a = 1; a <= 32; ++a)
            many << a;
        QTest::newRow("thirty-two, one in the middle") << many << 17;
    }
    void clicksNeverStarveTheRound()
    {
        QFETCH(QList<int>, watched);
        QFETCH(int, clicked);
        ModulesLine line(watched);
        bus::Master master(line);
        bus::Poller poller(master, {});
        poller.setModules(Eights(watched));
        QSignalSpy rounds(&poller, &bus::Poller::roundDone);
        int clicks = 0;
        QList<int> waits; // frames written between a click and its switch
        int clickedAt = -1;
        bool on = false;
        connect(&master, &bus::Master::wrote, this, [&](const QByteArray &frame) {
            if (frame.at(1) == 0x05 && clickedAt >= 0) {
                waits << int(line.written.size()) - 1 - clickedAt;
                clickedAt = -1;
            }
            // A poll of another module written: the user clicks meanwhile.
            if (frame.at(1) == 0x03 && std::uint8_t(frame.at(0)) != clicked && clickedAt < 0 &&
                rounds.size() < 3) {
                ++clicks;
                on = !on;
                clickedAt = int(line.written.size());
                poller.command(protocol::SwitchRequest(std::uint8_t(clicked), 0, on).frame);
            }
        });
        poller.start();
        QTRY_VERIFY_WITH_TIMEOUT(rounds.size() >= 3, 20000);
        poller.stop();
        QVERIFY(clicks >= 3 * (watched.size() - 1) - 1);
        for (const int wait : waits)
            QVERIFY2(wait <= 1, qPrintable(QString::number(wait)));
        for (const int a : watched)
            QVERIFY2(poller.module(std::uint8_t(a))->polls >= 3, qPrintable(QString::number(a)));
    }

    // The misses allowed lowered while a module is already missing: it is offline at its next
    // miss, not never.
    void loweredAllowance()
    {
        ModulesLine line({1, 2});
        bus::Master master(line);
        master.setPacing({0, 30, 0});
        bus::Poller poller(master, {0, 10});
        poller.setModules(Eights({1, 2}));
        poller.start();
        QTRY_VERIFY(poller.module(2)->online);
        line.absent << 2;
        QTRY_VERIFY(poller.module(2)->missedInARow >= 4);
        QVERIFY(poller.module(2)->online);
        poller.setMissesOffline(2);
        QTRY_VERIFY(!poller.module(2)->online);
    }
};

QTEST_GUILESS_MAIN(TstPoller)
#include "tst_poller.moc"
