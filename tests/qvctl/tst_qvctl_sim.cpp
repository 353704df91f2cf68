// qvctl against virtual relay modules behind a real pseudo-terminal: every command as a script
// runs it, with its output and exit status.

#include "qvctlrun.h"
#include "serial/commport.h"
#include "serial/holders.h"
#include "tests/support/ptypair.h"
#include "tests/support/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {

constexpr int Deadline = 10000;
const QStringList TwoModules = {"--module", "1", "--module", "200:QV-04"};

bool Matches(const QString &text, const QString &pattern)
{
    return QRegularExpression(pattern).match(text).hasMatch();
}

QvctlRun OnPort(const QString &path, const QStringList &arguments)
{
    return RunQvctl(QStringList{QStringLiteral("--port"), path} + arguments);
}

QString Describe(const QvctlRun &run)
{
    return QStringLiteral("exit %1, out \"%2\", err \"%3\"")
        .arg(run.exitCode)
        .arg(run.out, run.err);
}

} // namespace

class TestQvctlSim : public QObject
{
    Q_OBJECT
private slots:
    // Each row: the modules on the line, commands run first (each must succeed), the command
    // under test with its exit status and output, then a command repeated until its output
    // matches (the module's state after a timed function has run, for example).
    void commands_data()
    {
        QTest::addColumn<QStringList>("modules");
        QTest::addColumn<QList<QStringList>>("setup");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("then");
        QTest::addColumn<QString>("thenOutput");

        const QStringList state = {"state"};
        const QString allOn = "^1:on 2:on 3:on 4:on 5:on 6:on 7:on 8:on\n$";
        const QString allOff = "^1:off 2:off 3:off 4:off 5:off 6:off 7:off 8:off\n$";
        const QList<QStringList> none;

        QTest::newRow("on") << TwoModules << none << QStringList{"on", "1", "3"} << 0
                            << "^1:on\n3:on\n$" << state << "^1:on 2:off 3:on 4:off ";
        QTest::newRow("off") << TwoModules << QList<QStringList>{{"all", "on"}}
                             << QStringList{"off", "2"} << 0 << "^2:off\n$" << state
                             << "^1:on 2:off 3:on ";
        QTest::newRow("jog") << TwoModules << none << QStringList{"jog", "2", "600"} << 0
                             << "^2:jog 600 s\n$" << state << "^1:off 2:on 3:off ";
        QTest::newRow("delay-on") << TwoModules << none << QStringList{"delay-on", "4", "0.3"} << 0
                                  << "^4:on after 0.3 s\n$" << state << " 4:on ";
        QTest::newRow("delay-off")
            << TwoModules << QList<QStringList>{{"on", "1"}} << QStringList{"delay-off", "1", "0.2"}
            << 0 << "^1:off after 0.2 s\n$" << state << allOff;
        QTest::newRow("all on") << TwoModules << none << QStringList{"all", "on"} << 0 << allOn
                                << state << allOn;
        QTest::newRow("all off") << TwoModules << QList<QStringList>{{"on", "5"}}
                                 << QStringList{"all", "off"} << 0 << allOff << state << allOff;
        QTest::newRow("all jog") << TwoModules << none << QStringList{"all", "jog", "600"} << 0
                                 << "^all:jog 600 s\n$" << state << allOn;
        QTest::newRow("all delay-on") << TwoModules << none << QStringList{"all", "delay-on", "0.2"}
                                      << 0 << "^all:on after 0.2 s\n$" << state << allOn;
        QTest::newRow("all delay-off on a QV-04")
            << TwoModules << QList<QStringList>{{"--address", "200", "all", "on"}}
            << QStringList{"--address", "200", "--model", "QV-04", "all", "delay-off", "0.2"} << 0
            << "^all:off after 0.2 s\n$"
            << QStringList{"--address", "200", "--model", "QV-04", "state"}
            << "^1:off 2:off 3:off 4:off\n$";
        QTest::newRow("mask, channel 1 first")
            << TwoModules << none << QStringList{"mask", "10100001"} << 0
            << "^1:on 2:off 3:on 4:off 5:off 6:off 7:off 8:on\n$" << state
            << "^1:on 2:off 3:on 4:off 5:off 6:off 7:off 8:on\n$";
        QTest::newRow("mask in hex")
            << TwoModules << QList<QStringList>{{"all", "on"}} << QStringList{"mask", "0x06"} << 0
            << "^1:off 2:on 3:on 4:off " << state << "^1:off 2:on 3:on ";
        QTest::newRow("state of a QV-04")
            << TwoModules << QList<QStringList>{{"--address", "200", "on", "4"}}
            << QStringList{"--address", "200", "--model", "QV-04", "state"} << 0
            << "^1:off 2:off 3:off 4:on\n$" << QStringList{} << QString();
        QTest::newRow("state as JSON")
            << TwoModules << QList<QStringList>{{"on", "2"}} << QStringList{"--json", "state"} << 0
            << R"(^\{"address":1,"channels":\{"1":"off","2":"on",.*"8":"off"\},"command":"state","value":2\}\n$)"
            << QStringList{} << QString();
        QTest::newRow("address") << QStringList{"--module", "37"} << none << QStringList{"address"}
                                 << 0 << "^37\n$" << QStringList{} << QString();
        QTest::newRow("address with two modules on the line")
            << TwoModules << none << QStringList{"address"} << 4 << "^$" << QStringList{}
            << QString();
        QTest::newRow("scan") << TwoModules << none << QStringList{"scan"} << 0 << "^1\n200\n$"
                              << QStringList{} << QString();
        QTest::newRow("scan a range without modules")
            << TwoModules << none << QStringList{"scan", "2-20"} << 1 << "^$" << QStringList{}
            << QString();
        QTest::newRow("broadcast")
            << TwoModules << none << QStringList{"--address", "0", "on", "1"} << 0
            << "^1:on \\(broadcast, not confirmed\\)\n$"
            << QStringList{"--address", "200", "--model", "QV-04", "state"} << "^1:on 2:off";
        QTest::newRow("send with the CRC appended")
            << TwoModules << QList<QStringList>{{"on", "3"}}
            << QStringList{"send", "01 03 00 00 00 01", "--crc"} << 0 << "^01 03 02 00 04 B9 87\n$"
            << QStringList{} << QString();
        QTest::newRow("send a text command")
            << TwoModules << none << QStringList{"send", "41542B5354415455532B3230303D3F0D0A"} << 0
            << "^53 54 41 54 55 53 3A 30 30 30 30 0D 0A\n$" << QStringList{} << QString();
        QTest::newRow("send gets an exception")
            << TwoModules << none << QStringList{"send", "01 2B 00 00", "--crc"} << 4
            << "^01 AB 01 .. ..\n$" << QStringList{} << QString();
        QTest::newRow("exception answer named")
            << TwoModules << none
            << QStringList{"--address", "200", "--model", "QV-08", "jog", "8", "1"} << 4 << "^$"
            << QStringList{} << QString();
        QTest::newRow("no module at the address")
            << TwoModules << none << QStringList{"--address", "5", "--timeout", "300", "state"} << 1
            << "^$" << QStringList{} << QString();
        QTest::newRow("module at another rate")
            << QStringList{"--module", "1:QV-08:19200"} << none << QStringList{"on", "1"} << 1
            << "^$" << QStringList{"--baud", "19200", "state"} << "^1:off ";
        // Line formats: a module at 8N2 hears only a master at 8N2; a pseudo-terminal carries
        // stop bits but no parity bit, so the baud search passes the parities over there.
        QTest::newRow("8N2 module, 8N2 master")
            << QStringList{"--module", "3:QV-08:9600:8N2"} << none
            << QStringList{"--address", "3", "--stop-bits", "2", "on", "2"} << 0 << "^2:on\n$"
            << QStringList{"--address", "3", "--stop-bits", "2", "state"} << "^1:off 2:on ";
        QTest::newRow("8N2 module, 8N1 master")
            << QStringList{"--module", "3:QV-08:9600:8N2"} << none
            << QStringList{"--address", "3", "on", "2"} << 1 << "^$" << QStringList{} << QString();
        QTest::newRow("parity on a pseudo-terminal")
            << TwoModules << none << QStringList{"--parity", "even", "state"} << 3 << "^$"
            << QStringList{} << QString();
        QTest::newRow("RS-485 mode refused by a pseudo-terminal")
            << TwoModules << none << QStringList{"--rs485", "on", "1"} << 3 << "^$"
            << QStringList{"state"} << "^1:off ";
        // watch says when nothing it watched ever answered.
        QTest::newRow("watch: a scan that finds nobody")
            << TwoModules << none << QStringList{"watch", "--scan", "20-25", "--duration", "1"} << 1
            << "^$" << QStringList{} << QString();
        QTest::newRow("watch: a module that never answers")
            << TwoModules << none << QStringList{"--address", "7", "watch", "--duration", "1"} << 1
            << "^  7: \\?  offline since " << QStringList{} << QString();
        QTest::newRow("ports lists a --port path")
            << TwoModules << none << QStringList{"ports"} << 0 << "(^|\n)%PORT%\n$" << QStringList{}
            << QString();
    }
    void commands()
    {
        QFETCH(QStringList, modules);
        QFETCH(QList<QStringList>, setup);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QStringList, then);
        QFETCH(QString, thenOutput);

        SimProcess sim(modules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        for (const QStringList &step : setup) {
            const QvctlRun run = OnPort(sim.path(), step);
            QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
        }
        const QvctlRun run = OnPort(sim.path(), arguments);
        QVERIFY(run.finished);
        QVERIFY2(run.exitCode == exitCode, qPrintable(Describe(run)));
        const QString port = QRegularExpression::escape(sim.path());
        QVERIFY2(Matches(run.out, QString(output).replace("%PORT%", port)),
                 qPrintable(Describe(run)));
        // A failure says what went wrong in one line; success says nothing there.
        if (exitCode == 0)
            QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        else
            QVERIFY2(Matches(run.err, "^qvctl: [^\n]+\n$"), qPrintable(run.err));
        if (!then.isEmpty()) {
            QvctlRun after;
            QTRY_VERIFY2_WITH_TIMEOUT(Matches((after = OnPort(sim.path(), then)).out, thenOutput),
                                      qPrintable(Describe(after)), Deadline);
        }
    }

    // Behind an adapter that hears itself (quorvane-sim --echo): each row is the --echo setting,
    // the modules, the command with its exit status and output, then a command (with the same
    // setting) whose output shows what the module did. With no module at the address every
    // command fails naming the echo; with one, it works as on a line without echo.
    void echoes_data()
    {
        QTest::addColumn<QString>("echo");
        QTest::addColumn<QStringList>("modules");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("then");
        QTest::addColumn<QString>("thenOutput");

        const QStringList noModule = {"--echo", "--module", "9"};
        const QStringList module = {"--echo", "--module", "1"};
        const QList<QStringList> commands = {{"on", "1"},
                                             {"off", "1"},
                                             {"jog", "2", "1.5"},
                                             {"delay-on", "1", "1"},
                                             {"delay-off", "1", "1"},
                                             {"all", "jog", "2"},
                                             {"all", "delay-on", "1"},
                                             {"state"},
                                             {"mask", "1"},
                                             {"all", "on"}};
        for (const QStringList &command : commands)
            QTest::addRow("no module, auto: %s", qPrintable(command.join(' ')))
                << "auto" << noModule << command << 1 << "^$" << QStringList{} << QString();
        for (const QStringList &command : QList<QStringList>{{"on", "1"}, {"state"}})
            QTest::addRow("no module, drop: %s", qPrintable(command.join(' ')))
                << "drop" << noModule << command << 1 << "^$" << QStringList{} << QString();
        // Told there is no echo, a read's own copy back is still named for what it is.
        QTest::newRow("no module, none: state") << "none" << noModule << QStringList{"state"} << 1
                                                << "^$" << QStringList{} << QString();
        for (const QString &echo : {QStringLiteral("auto"), QStringLiteral("drop")}) {
            const auto row = [&](const char *name) {
                return &QTest::addRow("module, %s: %s", qPrintable(echo), name);
            };
            *row("on 1") << echo << module << QStringList{"on", "1"} << 0 << "^1:on\n$"
                         << QStringList{"state"} << "^1:on 2:off ";
            *row("state") << echo << module << QStringList{"state"} << 0 << "^1:off 2:off "
                          << QStringList{} << QString();
            *row("mask") << echo << module << QStringList{"mask", "101"} << 0
                         << "^1:on 2:off 3:on 4:off " << QStringList{"state"}
                         << "^1:on 2:off 3:on ";
            *row("all on") << echo << module << QStringList{"all", "on"} << 0
                           << "^1:on 2:on 3:on 4:on 5:on 6:on 7:on 8:on\n$" << QStringList{"state"}
                           << "^1:on 2:on 3:on 4:on 5:on 6:on 7:on 8:on\n$";
            *row("all off") << echo << module << QStringList{"all", "off"} << 0
                            << "^1:off 2:off 3:off 4:off 5:off 6:off 7:off 8:off\n$"
                            << QStringList{"state"} << "^1:off 2:off ";
            *row("set-address") << echo << module << QStringList{"set-address", "5"} << 0
                                << "^address 5, confirmed\n$"
                                << QStringList{"--address", "5", "state"} << "^1:off 2:off ";
        }
    }
    void echoes()
    {
        QFETCH(QString, echo);
        QFETCH(QStringList, modules);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QStringList, then);
        QFETCH(QString, thenOutput);

        SimProcess sim(modules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        // A wait long enough that a loaded machine does not make the echo late: without a
        // module each exchange waits it out.
        const QStringList wait = {"--timeout", exitCode == 0 ? "1000" : "500"};
        const QvctlRun run = OnPort(sim.path(), QStringList{"--echo", echo} + wait + arguments);
        QVERIFY(run.finished);
        QVERIFY2(run.exitCode == exitCode, qPrintable(Describe(run)));
        QVERIFY2(Matches(run.out, output), qPrintable(Describe(run)));
        if (exitCode != 0)
            QVERIFY2(Matches(run.err, "^(qvctl: the adapter echoes[^\n]*\n)?qvctl: only the "
                                      "adapter's echo came back: no module answered[^\n]*\n$"),
                     qPrintable(run.err));
        else
            QVERIFY2(!run.err.contains("CRC") && !run.err.contains("only the adapter"),
                     qPrintable(run.err));
        if (!then.isEmpty()) {
            QvctlRun after;
            QTRY_VERIFY2_WITH_TIMEOUT(
                Matches((after = OnPort(sim.path(), QStringList{"--echo", echo} + wait + then)).out,
                        thenOutput),
                qPrintable(Describe(after)), Deadline);
        }
    }

    // What the failures say, and what --verbose and --json show of them.
    void failureMessages_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("out");

        QTest::newRow("find-baud sweeps parities the line can take")
            << QStringList{"find-baud", "--parities", "none,even"} << 0
            << "^qvctl: \\S+ cannot be set to 300 baud 8E1: [^\n]+\n$"
            << "^9600 8N1\n$";
        QTest::newRow("no answer, with retries")
            << QStringList{"--address", "5",         "--timeout", "250", "--retries",
                           "2",         "--verbose", "off",       "1"}
            << 1
            << " 9600 out 05 05 00 00 00 00 .. ..\n.*timeout after 250 ms\n.*retry 2 of 2\n.*"
               "qvctl: no answer from address 5 within 250 ms at 9600 baud\n$"
            << "^$";
        QTest::newRow("no answer as JSON")
            << QStringList{"--json", "--address", "9", "state"} << 1
            << "^qvctl: no answer from address 9 within 116 ms at 9600 baud\n$"
            << R"(^\{"command":"state","error":"no-answer","exit":1,"message":"no answer from address 9 within 116 ms at 9600 baud"\}\n$)";
        QTest::newRow("exception")
            << QStringList{"--address", "200", "jog", "6", "1"} << 4
            << "^qvctl: exception 02 \\(illegal address\\) from address 200 to function 34\n$"
            << "^$";
        QTest::newRow("two modules answer the probe")
            << QStringList{"address"} << 4 << "^qvctl: more than one module answered \\(1, 200\\)"
            << "^$";
    }
    // watch: each module's state once it is known, the absent one offline after its misses.
    void watch()
    {
        SimProcess sim(TwoModules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        const QvctlRun on = OnPort(sim.path(), {"--address", "200", "--model", "QV-04", "on", "2"});
        QVERIFY2(on.exitCode == 0, qPrintable(Describe(on)));
        const QvctlRun run = OnPort(sim.path(), {"--model", "QV-04", "--json", "watch",
                                                 "--addresses", "1,7,200", "--duration", "2"});
        QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
        QMap<int, QJsonObject> seen;
        for (const QString &line : run.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject json = QJsonDocument::fromJson(line.toUtf8()).object();
            seen[json.value(u"address").toInt()] = json;
        }
        QCOMPARE(seen.keys(), (QList<int>{1, 7, 200}));
        QVERIFY(seen[1].value(u"online").toBool());
        QVERIFY(!seen[7].value(u"online").toBool());
        QCOMPARE(seen[200].value(u"channels").toObject().value(u"2").toString(), "on");
    }

    // --gap keeps at least that pause between one answer and the next request.
    void gap()
    {
        SimProcess sim(TwoModules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        const QvctlRun run = OnPort(sim.path(), {"--gap", "60", "--verbose", "on", "1", "2", "3"});
        QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
        const QRegularExpression out(
            QStringLiteral("(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d{3}) +9600 out "));
        QList<qint64> sent;
        for (auto it = out.globalMatch(run.err); it.hasNext();) {
            const auto m = it.next();
            sent << ((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 +
                     m.captured(3).toLongLong()) *
                            1000 +
                        m.captured(4).toLongLong();
        }
        QVERIFY(sent.size() >= 3); // and the read that learns whether the line echoes
        for (int i = 1; i < sent.size(); ++i)
            QVERIFY2(sent[i] - sent[i - 1] >= 60, qPrintable(run.err));
    }

    void failureMessages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QFETCH(QString, out);
        SimProcess sim(TwoModules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        const QvctlRun run = OnPort(sim.path(), arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(Describe(run)));
        QVERIFY2(QRegularExpression(err, QRegularExpression::DotMatchesEverythingOption)
                     .match(run.err)
                     .hasMatch(),
                 qPrintable(run.err));
        QVERIFY2(Matches(run.out, out), qPrintable(run.out));
    }

    void findBaud()
    {
        SimProcess sim({"--module", "12:QV-04:19200"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        QvctlRun run = OnPort(sim.path(), {"find-baud"});
        QVERIFY2(run.exitCode == 0 && run.out == "19200\n", qPrintable(Describe(run)));
        run = OnPort(sim.path(), {"--json", "find-baud"});
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(json.value("baud").toInt(), 19200);
        QCOMPARE(json.value("address").toInt(), 12);
    }

    // Nothing on the line answers at any rate.
    void findBaudWithoutModule()
    {
        PtyPair silent;
        QVERIFY(silent.isValid());
        const QvctlRun run =
            RunQvctl({"--port", silent.slavePath(), "--timeout", "30", "find-baud"});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 "qvctl: no module answered the address probe at any of the twelve rates\n");
        // The probe went out at every rate.
        QCOMPARE(silent.received().count(QByteArray("\x24\xFF\x03\xA0\x00\xC6", 6)), 12);
    }

    void setBaudConfirmed()
    {
        SimProcess sim(TwoModules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        QvctlRun run = OnPort(sim.path(), {"--verbose", "set-baud", "38400"});
        QVERIFY2(run.exitCode == 0 && run.out == "baud 38400, confirmed\n",
                 qPrintable(Describe(run)));
        // The echo at the old rate, then the state read at the new one.
        QVERIFY2(
            Matches(run.err, " 9600 in  01 06 02 00 00 08 [\\s\\S]* 38400 out 01 03 00 00 00 01"),
            qPrintable(run.err));
        QCOMPARE(OnPort(sim.path(), {"state"}).exitCode, 1);
        QCOMPARE(OnPort(sim.path(), {"--baud", "38400", "state"}).exitCode, 0);
        // The other module stayed at 9600.
        QCOMPARE(OnPort(sim.path(), {"--address", "200", "state"}).exitCode, 0);
    }

    void setAddressConfirmed()
    {
        SimProcess sim(TwoModules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        QVERIFY(OnPort(sim.path(), {"on", "2"}).exitCode == 0);
        QvctlRun run = OnPort(sim.path(), {"--json", "set-address", "77"});
        QVERIFY2(run.exitCode == 0, qPrintable(Describe(run)));
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(json.value("new-address").toInt(), 77);
        QCOMPARE(json.value("confirmed").toBool(), true);
        QCOMPARE(OnPort(sim.path(), {"--address", "77", "state"}).out.left(10), "1:off 2:on");
        QCOMPARE(OnPort(sim.path(), {"state"}).exitCode, 1);
        QCOMPARE(OnPort(sim.path(), {"scan"}).out, "77\n200\n");
    }

    // A scan at a slow rate finds both modules too; one answering late still counts.
    void scanAtLowRate()
    {
        SimProcess sim({"--module", "3:QV-08:2400", "--module", "4:QV-04:2400"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        const QvctlRun run = OnPort(sim.path(), {"--baud", "2400", "scan", "1-6"});
        QVERIFY2(run.exitCode == 0 && run.out == "3\n4\n", qPrintable(Describe(run)));
    }

    void portErrors()
    {
        QvctlRun run = RunQvctl({"--port", "/dev/ttyQuorvaneMissing7", "state"});
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(run.err, "qvctl: no such port: /dev/ttyQuorvaneMissing7\n");

        run = RunQvctl({"--port", "/dev/null", "state"});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.startsWith("qvctl: cannot open /dev/null: "), qPrintable(run.err));

        SimProcess sim(TwoModules);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        serial::CommPort holder;
        holder.setPortName(sim.path());
        QCOMPARE(holder.open(), serial::OpenResult::Ok);
        run = OnPort(sim.path(), {"state"});
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(
            run.err,
            QStringLiteral("qvctl: the port %1 is in use by another program\n").arg(sim.path()));
        holder.close();
        QCOMPARE(OnPort(sim.path(), {"state"}).exitCode, 0);

        if (::geteuid() != 0) {
            const QByteArray path = sim.path().toLocal8Bit();
            QCOMPARE(::chmod(path.constData(), 0), 0);
            run = OnPort(sim.path(), {"state"});
            ::chmod(path.constData(), 0620);
            QCOMPARE(run.exitCode, 3);
            QVERIFY2(run.err.contains("no permission to open"), qPrintable(run.err));
        }
    }

    // The other end goes away while an answer is awaited: the port failure is told, at once.
    void portFailsWhileWaiting()
    {
        auto sim = std::make_unique<SimProcess>(QStringList{"--log"});
        QTRY_VERIFY_WITH_TIMEOUT(sim->ready(), Deadline);
        QProcess qvctl;
        qvctl.start(QVCTL,
                    {"--port", sim->path(), "--address", "5", "--timeout", "600000", "state"});
        QTRY_VERIFY_WITH_TIMEOUT(sim->logged("in    9600 05 03 00 00 00 01"), Deadline);
        sim.reset();
        QVERIFY(qvctl.waitForFinished(60000));
        QCOMPARE(qvctl.exitCode(), 3);
        const QString err = QString::fromUtf8(qvctl.readAllStandardError());
        QVERIFY2(err.startsWith("qvctl: the port failed: "), qPrintable(err));
    }

    // Mistakes on the command line: exit status 2, one line on standard error, nothing sent.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QStringList port = {"--port", "/dev/ttyQuorvaneMissing7"};
        QTest::newRow("no command") << port << "no command given";
        QTest::newRow("unknown command")
            << port + QStringList{"reboot"} << "unknown command: reboot";
        QTest::newRow("unknown option") << port + QStringList{"--bogus", "state"} << "bogus";
        QTest::newRow("no port") << QStringList{"state"} << "state needs --port PATH";
        QTest::newRow("rate not in the list")
            << port + QStringList{"--baud", "9601", "state"} << "--baud: not one of the twelve";
        QTest::newRow("address 256")
            << port + QStringList{"--address", "256", "state"} << "--address: not 0..255: 256";
        QTest::newRow("state of the broadcast address")
            << port + QStringList{"--address", "0", "state"} << "not the broadcast address";
        QTest::newRow("reads of another command")
            << port + QStringList{"--reads", "5", "state"} << "--reads belongs to doctor only";
        QTest::newRow("no reads") << port + QStringList{"--reads", "0", "doctor"}
                                  << "--reads: not 1..10000: 0";
        QTest::newRow("line check of the broadcast address")
            << port + QStringList{"--address", "0", "doctor"} << "not the broadcast address";
        QTest::newRow("model") << port + QStringList{"--model", "QV-16", "state"} << "--model";
        QTest::newRow("timeout 0") << port + QStringList{"--timeout", "0", "state"} << "--timeout";
        QTest::newRow("retries") << port + QStringList{"--retries", "x", "state"} << "--retries";
        QTest::newRow("echo") << port + QStringList{"--echo", "maybe", "state"} << "--echo";
        QTest::newRow("echo twice")
            << port + QStringList{"--echo", "drop", "--echo", "none", "state"} << "--echo";
        QTest::newRow("option without value")
            << port + QStringList{"state", "--timeout"} << "Missing value";
        QTest::newRow("on without channel") << port + QStringList{"on"} << "on takes one or more";
        QTest::newRow("channel beyond the model")
            << port + QStringList{"--model", "QV-04", "off", "2", "5"}
            << "not a channel of the QV-04 (1..4): 5";
        QTest::newRow("time not in 0.1 steps") << port + QStringList{"jog", "1", "2.55"} << "2.55";
        QTest::newRow("time 0") << port + QStringList{"delay-on", "1", "0"} << "0.1..6553.5";
        QTest::newRow("time too long") << port + QStringList{"all", "jog", "6553.6"} << "6553.6";
        QTest::newRow("all alone") << port + QStringList{"all"} << "all needs on, off";
        QTest::newRow("mask digits") << port + QStringList{"mask", "10200000"} << "not a mask";
        QTest::newRow("mask beyond the model")
            << port + QStringList{"--model", "QV-04", "mask", "0x10"} << "channel 5";
        QTest::newRow("scan backwards") << port + QStringList{"scan", "9-3"} << "9-3";
        QTest::newRow("set-address 0")
            << port + QStringList{"set-address", "0"} << "not an address 1..255: 0";
        QTest::newRow("set-baud 1000") << port + QStringList{"set-baud", "1000"} << "1000";
        QTest::newRow("send odd digits") << port + QStringList{"send", "010"} << "not hex bytes";
        QTest::newRow("--crc elsewhere")
            << port + QStringList{"state", "--crc"} << "--crc belongs to send";
        QTest::newRow("send beyond the longest frame")
            << port + QStringList{"send"} + QStringList(257, "00") << "257";
        for (const char *seconds : {"inf", "nan", "3e6", "-1"}) {
            for (const char *command : {"monitor", "test"})
                QTest::newRow(qPrintable(QStringLiteral("%1 --duration %2").arg(command, seconds)))
                    << port + QStringList{command, "--duration", seconds} << seconds;
        }
        // A malformed network port is a wrong command line, named by its wrong part.
        const QList<std::pair<QString, QString>> networkPorts = {
            {"mbtcp://h:502/256", "256 is not"},
            {"tcp://h", "no port number"},
            {"tcp://h:0", "port number 0"},
            {"tcp://u@h:1", "(u@)"},
            {"tcp://h:1/3", "(/3)"},
        };
        for (const auto &[name, part] : networkPorts)
            QTest::newRow(qPrintable(name)) << QStringList{"--port", name, "state"} << part;
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QvctlRun run = RunQvctl(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(Matches(run.err, "^qvctl: [^\n]+\n$"), qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    // The line check against the simulator's line faults: each row names the finding of each
    // check it looks at (level, and the hint where one is expected) and the exit status.
    void doctor_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("expected"); // "check level [hint]"
        QTest::addColumn<int>("rate");             // where the module answers; 0: not found

        QTest::newRow("clean line")
            << QStringList{} << QStringList{} << 0
            << QStringList{"port pass",   "holders pass", "echo pass",  "idle pass",
                           "module pass", "times pass",   "errors pass"}
            << 9600;
        QTest::newRow("echo and 5% noise")
            << QStringList{"--echo", "--noise", "5%", "--seed", "1"} << QStringList{"--reads", "40"}
            << 4
            << QStringList{"echo warning echo", "idle pass", "module pass", "errors fault noise"}
            << 9600;
        QTest::newRow("second talker")
            << QStringList{"--babble", "--seed", "3"} << QStringList{} << 4
            << QStringList{"idle fault second talker", "module pass"} << 9600;
        QTest::newRow("module at another rate")
            << QStringList{"--module", "1:QV-08:19200"} << QStringList{} << 0
            << QStringList{"module pass", "errors pass"} << 19200;
        QTest::newRow("module at 8N2") << QStringList{"--module", "1:QV-08:4800:8N2"}
                                       << QStringList{} << 0 << QStringList{"module pass"} << 4800;
        QTest::newRow("no module at the address")
            << QStringList{"--module", "5"} << QStringList{} << 4
            << QStringList{"module fault no module", "times skipped", "errors skipped"} << 0;
        QTest::newRow("RS-485 mode refused")
            << QStringList{} << QStringList{"--rs485"} << 3
            << QStringList{"port fault", "idle skipped", "module skipped"} << 0;
    }

    void doctor()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, expected);
        QFETCH(int, rate);
        SimProcess sim(simulator);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        const QvctlRun run = OnPort(sim.path(), QStringList{"--json", "doctor"} + arguments);
        QVERIFY2(run.exitCode == exitCode, qPrintable(Describe(run)));
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(json.value(u"exit").toInt(), exitCode);
        QMap<QString, QJsonObject> findings;
        for (const QJsonValue &f : json.value(u"findings").toArray())
            findings[f.toObject().value(u"check").toString()] = f.toObject();
        for (const QString &line : expected) {
            const QStringList words = line.split(u' ');
            const QJsonObject f = findings.value(words.at(0));
            const QString seen =
                QStringLiteral("%1 %2 %3")
                    .arg(words.at(0), f.value(u"level").toString(), f.value(u"hint").toString())
                    .trimmed();
            QCOMPARE(seen, line);
        }
        const QJsonObject module = findings.value(QStringLiteral("module"));
        QCOMPARE(module.value(u"rate").toInt(), rate);
        if (rate > 0)
            QCOMPARE(module.value(u"format").toString(),
                     simulator.join(u' ').contains("8N2") ? "8N2" : "8N1");
        if (rate > 0) {
            // The answers' times: minimum, median and 95th percentile, in order.
            const QJsonObject times = findings.value(QStringLiteral("times"));
            const double min = times.value(u"min_ms").toDouble();
            const double median = times.value(u"median_ms").toDouble();
            const double p95 = times.value(u"p95_ms").toDouble();
            QVERIFY2(min > 0 && min <= median && median <= p95, qPrintable(run.out));
        }
        // The summary a technician reads out names the rate and every fault.
        const QString summary = json.value(u"summary").toString();
        QVERIFY2(summary.startsWith(exitCode == 0 ? "OK" : "FAULT"), qPrintable(summary));
        if (rate > 0)
            QVERIFY2(summary.contains(QString::number(rate)), qPrintable(summary));
    }

    // Another program holding the port is named, and the port counts as not opened.
    void doctorNamesHolder()
    {
        SimProcess sim({});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        QProcess holder;
        holder.setProgram(QStringLiteral("sleep"));
        holder.setArguments({QStringLiteral("60")});
        holder.setStandardInputFile(sim.path());
        holder.start();
        QVERIFY(holder.waitForStarted());
        const qint64 pid = holder.processId();
        QTRY_VERIFY_WITH_TIMEOUT(!serial::FindHolders(sim.path()).isEmpty(), Deadline);
        const QvctlRun run = OnPort(sim.path(), {"doctor"});
        ::kill(pid_t(pid), SIGTERM);
        holder.waitForFinished(5000);
        QVERIFY2(run.exitCode == 3, qPrintable(Describe(run)));
        QVERIFY2(
            Matches(run.out,
                    QStringLiteral("other programs +FAULT +held by sleep \\(pid %1\\)").arg(pid)),
            qPrintable(run.out));
    }

    void doctorOnMissingPort()
    {
        const QvctlRun run = RunQvctl({"--port", "/dev/ttyQuorvaneMissing7", "--json", "doctor"});
        QCOMPARE(run.exitCode, 3);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        const QJsonObject port = json.value(u"findings").toArray().at(0).toObject();
        QCOMPARE(port.value(u"level").toString(), "fault");
        QCOMPARE(port.value(u"hint").toString(), "no such port");
    }

    void helpWithoutDisplay()
    {
        qputenv("QT_QPA_PLATFORM", "nodisplay-at-all");
        const QvctlRun run = RunQvctl({"--help"});
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains("set-baud RATE"));
        QVERIFY(run.out.contains("Exit status"));
    }
};

QTEST_GUILESS_MAIN(TestQvctlSim)
#include "tst_qvctl_sim.moc"
