// qvctl test against quorvane-sim: each step once clean and once with the fault it must catch,
// the exit status and the JSON, JUnit and CSV reports read back.

#include "qvctl/qvctlrun.h"
#include "support/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <csignal>

class TstModuleTestSim : public QObject
{
    Q_OBJECT

private slots:
    void faults_data();
    void faults();
    void busScan();
    void endedEarly_data();
    void endedEarly();
    void behindAnEcho_data();
    void behindAnEcho();
};

namespace {

// The failing cases of the JSON report, "step/case" each.
QStringList FailingCases(const QJsonObject &report)
{
    QStringList failing;
    for (const QJsonValue &m : report.value(u"modules").toArray()) {
        for (const QJsonValue &c : m.toObject().value(u"cases").toArray()) {
            if (!c.toObject().value(u"passed").toBool())
                failing.append(c.toObject().value(u"step").toString() + u'/' +
                               c.toObject().value(u"case").toString());
        }
    }
    return failing;
}

} // namespace

void TstModuleTestSim::faults_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("failing");

    const QString clean = QStringLiteral("3:QV-08:115200");
    QTest::newRow("every step, clean") << clean << QStringList{} << 0 << QStringList{};
    QTest::newRow("comm: no module there")
        << clean << QStringList{"--addresses", "4", "--steps", "comm,channels"} << 1
        << QStringList{};
    QTest::newRow("channels: relay 5 stuck")
        << clean + ":stuck=5" << QStringList{"--steps", "channels"} << 4
        << QStringList{"channels/channel 5"};
    QTest::newRow("all: relay 8 stuck")
        << clean + ":stuck=8" << QStringList{"--steps", "all"} << 4 << QStringList{"all/all on"};
    QTest::newRow("patterns: relay 2 stuck")
        << clean + ":stuck=2" << QStringList{"--steps", "patterns"} << 4
        << QStringList{"patterns/even", "patterns/walking 2"};
    QTest::newRow("timed: 300 ms long")
        << clean + ":timing=+300" << QStringList{"--steps", "timed"} << 4
        << QStringList{"timed/delayed off channel 3", "timed/jog channel 1",
                       "timed/delayed on channel 2"};
    QTest::newRow("timed: within a wide tolerance")
        << clean + ":timing=+300" << QStringList{"--steps", "timed", "--tolerance", "1000"} << 0
        << QStringList{};
    QTest::newRow("channels: answers too late")
        << clean + ":slow=400"
        << QStringList{"--steps", "channels", "--max-failures", "1", "--timeout", "150"} << 4
        << QStringList{"channels/channel 1", "channels/all off at the end"};
    QTest::newRow("config: address and rate changed and back")
        << clean << QStringList{"--steps", "comm,config"} << 0 << QStringList{};
}

void TstModuleTestSim::faults()
{
    QFETCH(QString, module);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QStringList, failing);
    // A loaded machine may be slow to pass bytes through the terminal: only the late answer
    // of the row that asks for it counts.
    if (!options.contains(u"--timeout"))
        options << QStringLiteral("--timeout") << QStringLiteral("1000");

    SimProcess sim({QStringLiteral("--module"), module});
    QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
    QTemporaryDir dir;
    const QString junit = dir.filePath(QStringLiteral("out.xml"));
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    const QvctlRun run =
        RunQvctl(QStringList{"--port", sim.path(), "--baud", "115200", "--address", "3", "test",
                             "--json", "--junit", junit, "--csv", csv} +
                 options);
    QVERIFY2(run.finished, qPrintable(run.err));
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out));

    const QJsonObject report = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QVERIFY2(!report.isEmpty(), qPrintable(run.out));
    QCOMPARE(report.value(u"rate").toInt(), 115200);
    QCOMPARE(report.value(u"passed").toBool(), exitCode == 0);
    if (exitCode == 1) {
        QCOMPARE(report.value(u"modules").toArray().at(0).toObject().value(u"answered").toBool(),
                 false);
        return;
    }
    QVERIFY2(FailingCases(report) == failing, qPrintable(run.out));

    // JUnit: the elements and attributes a reader needs, one failure per failing case.
    QFile xmlFile(junit);
    QVERIFY(xmlFile.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&xmlFile);
    QStringList failedCases;
    int cases = 0;
    QString className, caseName;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto attrs = xml.attributes();
        if (xml.name() == u"testsuite") {
            for (const char *required :
                 {"name", "tests", "failures", "errors", "time", "timestamp", "hostname"})
                QVERIFY2(attrs.hasAttribute(QLatin1String(required)), required);
        } else if (xml.name() == u"testcase") {
            ++cases;
            QVERIFY(attrs.hasAttribute(QStringLiteral("classname")) &&
                    attrs.hasAttribute(QStringLiteral("time")));
            className = attrs.value(QStringLiteral("classname")).toString();
            caseName = attrs.value(QStringLiteral("name")).toString();
        } else if (xml.name() == u"failure" || xml.name() == u"error") {
            failedCases.append(className.section(u'.', 1) + u'/' + caseName);
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(failedCases, failing);

    // CSV: a header and a row for every case the JUnit report has, the failing ones "fail".
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    const QStringList rows =
        QString::fromUtf8(csvFile.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), cases + 1);
    QCOMPARE(rows.filter(QStringLiteral(",fail,")).size(), failing.size());
}

void TstModuleTestSim::busScan()
{
    // As a new user tries it: two modules, one of them with relay 2 stuck.
    SimProcess sim({QStringLiteral("--module"), QStringLiteral("3:QV-04:115200"),
                    QStringLiteral("--module"), QStringLiteral("7:QV-04:115200:stuck=2")});
    QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
    QTemporaryDir dir;
    const QString junit = dir.filePath(QStringLiteral("out.xml"));
    const QvctlRun run =
        RunQvctl({"--port", sim.path(), "--baud", "115200", "--model", "QV-04", "test", "--scan",
                  "1-10", "--steps", "comm,channels", "--junit", junit});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.out.contains(u"Address 3: PASS"), qPrintable(run.out));
    QVERIFY2(run.out.contains(u"Address 7: FAIL"), qPrintable(run.out));
    QFile xmlFile(junit);
    QVERIFY(xmlFile.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(xmlFile.readAll());
    QVERIFY(xml.contains(u"<testcase classname=\"module7.channels\" name=\"channel 2\""));
    QCOMPARE(xml.count(u"<failure"), 1);
}

void TstModuleTestSim::endedEarly_data()
{
    QTest::addColumn<int>("signal"); // 0: the line is lost instead
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorCase"); // the JUnit error case of each module's suite
    QTest::addColumn<QString>("csvResult");

    QTest::newRow("Ctrl+C") << int(SIGINT) << 5 << "interrupted"
                            << "interrupted";
    QTest::newRow("SIGTERM") << int(SIGTERM) << 5 << "interrupted"
                             << "interrupted";
    QTest::newRow("SIGHUP") << int(SIGHUP) << 5 << "interrupted"
                            << "interrupted";
    QTest::newRow("line lost") << 0 << 3 << "port failure"
                               << "fail";
}

void TstModuleTestSim::endedEarly()
{
    QFETCH(int, signal);
    QFETCH(int, exitCode);
    QFETCH(QString, errorCase);
    QFETCH(QString, csvResult);

    // A line lost is a network port whose server goes away; a signal comes over a terminal.
    SimProcess sim(
        signal ? QStringList{"--module", "3:QV-08:115200"}
               : QStringList{"--tcp", "0", "--bus-baud", "115200", "--module", "3:QV-08:115200"});
    QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
    QTemporaryDir dir;
    const QString junit = dir.filePath(QStringLiteral("r.xml"));
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    // What an earlier run left: it must never be read as this run's.
    for (const QString &path : {junit, csv}) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("passed\n");
    }

    QProcess qvctl;
    qvctl.setProgram(QStringLiteral(QVCTL));
    qvctl.setArguments({"--port", sim.path(), "--baud", "115200", "--address", "3", "--timeout",
                        "1000", "--verbose", "test", "--cycles", "200", "--json", "--junit", junit,
                        "--csv", csv});
    qvctl.start();
    QVERIFY(qvctl.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(junit) && !QFile::exists(csv), 10000);
    // In the middle of the channel step: a relay has just been asked to switch on.
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += qvctl.readAllStandardError()).contains("05 00 01 FF 00"),
                             20000);
    if (signal)
        ::kill(pid_t(qvctl.processId()), signal);
    else
        sim.stop();
    QVERIFY(qvctl.waitForFinished(20000));
    QCOMPARE(qvctl.exitStatus(), QProcess::NormalExit);
    QCOMPARE(qvctl.exitCode(), exitCode);

    const QJsonObject report = QJsonDocument::fromJson(qvctl.readAllStandardOutput()).object();
    QCOMPARE(report.value(u"passed").toBool(true), false);
    QCOMPARE(report.value(u"interrupted").toBool(), signal != 0);
    QCOMPARE(report.value(u"modules").toArray().at(0).toObject().value(u"passed").toBool(true),
             false);

    QFile xmlFile(junit);
    QVERIFY(xmlFile.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&xmlFile);
    QString caseName;
    QStringList errorCases;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"testcase")
            caseName = xml.attributes().value(QStringLiteral("name")).toString();
        else if (xml.name() == u"error")
            errorCases.append(caseName);
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(errorCases, QStringList{errorCase});

    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csvFile.readAll()).split(QStringLiteral("\r\n"));
    const QStringList runRows = rows.filter(u',' + errorCase + u',');
    QCOMPARE(runRows.size(), 1);
    QVERIFY2(runRows.front().contains(u',' + csvResult + u','), qPrintable(runRows.front()));

    if (signal) {
        // Every relay is off again, as the module itself says.
        const QvctlRun state =
            RunQvctl({"--port", sim.path(), "--baud", "115200", "--address", "3", "state"});
        QCOMPARE(state.exitCode, 0);
        QVERIFY2(!state.out.contains(u":on"), qPrintable(state.out));
    }
}

// Behind an adapter that hears itself: every step passes with the module there, in auto and
// drop; without it the test says no module answered, never a pass on the echo.
void TstModuleTestSim::behindAnEcho_data()
{
    QTest::addColumn<QString>("echo");
    QTest::addColumn<QString>("module");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("module, auto") << "auto"
                                  << "3:QV-08:115200" << 0;
    QTest::newRow("module, drop") << "drop"
                                  << "3:QV-08:115200" << 0;
    QTest::newRow("no module, auto") << "auto"
                                     << "9:QV-08:115200" << 1;
}

void TstModuleTestSim::behindAnEcho()
{
    QFETCH(QString, echo);
    QFETCH(QString, module);
    QFETCH(int, exitCode);
    SimProcess sim({QStringLiteral("--echo"), QStringLiteral("--module"), module});
    QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
    const QvctlRun run =
        RunQvctl({"--port", sim.path(), "--baud", "115200", "--address", "3", "--echo", echo,
                  "--timeout", "1000", "test", "--json", "--steps", "comm,channels,all"});
    QVERIFY2(run.finished, qPrintable(run.err));
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    const QJsonObject report = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(report.value(u"passed").toBool(), exitCode == 0);
    QCOMPARE(report.value(u"modules").toArray().at(0).toObject().value(u"answered").toBool(),
             exitCode == 0);
}

QTEST_GUILESS_MAIN(TstModuleTestSim)
#include "tst_moduletest_sim.moc"
