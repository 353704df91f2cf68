// An independent MODBUS master talks to quorvane-sim: the module must speak MODBUS as others
// do, not only as Quorvane does.

#include "support/simprocess.h"

#include <QStandardPaths>
#include <QTest>

namespace {

constexpr int Deadline = 10000;

// Runs mbpoll once (-1) at 9600 8N1 against path with the given arguments.
struct Run
{
    int exitCode = -1;
    QByteArray output;
};

Run mbpoll(const QString &program, const QString &path, const QStringList &arguments)
{
    QProcess process;
    QStringList all = {QStringLiteral("-m"), QStringLiteral("rtu"), QStringLiteral("-P"),
                       QStringLiteral("none"), QStringLiteral("-1")};
    if (!arguments.contains(QStringLiteral("-b")))
        all << QStringLiteral("-b") << QStringLiteral("9600");
    all += arguments;
    // The device comes before the values to write.
    const qsizetype values = arguments.indexOf(QStringLiteral("--"));
    if (values >= 0) {
        all.removeAll(QStringLiteral("--"));
        all.insert(all.size() - (arguments.size() - values - 1), path);
    } else {
        all << path;
    }
    process.setProgram(program);
    process.setArguments(all);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    Run run;
    if (!process.waitForFinished(Deadline)) {
        process.kill();
        process.waitForFinished(Deadline);
        return run;
    }
    run.exitCode = process.exitCode();
    run.output = process.readAll();
    return run;
}

} // namespace

class TestMbpoll : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
        if (m_mbpoll.isEmpty())
            QSKIP("mbpoll is not installed (script/bootstrap installs it)");
    }

    // Each row: mbpoll runs made one after the other on a fresh line with modules 3 (QV-08)
    // and 200 (QV-04); the last run's exit code and lines its output must hold.
    void master_data()
    {
        QTest::addColumn<QList<QStringList>>("runs");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QByteArrayList>("expected");

        const QStringList readCoils = {"-a", "3", "-t", "0", "-r", "1", "-c", "8"};
        const QStringList writeCoil2 = {"-a", "3", "-t", "0", "-r", "2", "--", "1"};
        const QStringList readState = {"-a", "3", "-t", "4", "-r", "1"};

        QTest::newRow("read coils") << QList<QStringList>{readCoils} << true
                                    << QByteArrayList{"[1]: \t0", "[2]: \t0", "[8]: \t0"};
        QTest::newRow("read coils of address 200")
            << QList<QStringList>{{"-a", "200", "-t", "0", "-r", "1", "-c", "4"}} << true
            << QByteArrayList{"[1]: \t0", "[4]: \t0"};
        QTest::newRow("write a coil")
            << QList<QStringList>{writeCoil2} << true << QByteArrayList{"Written 1 references."};
        QTest::newRow("write a coil, read coils")
            << QList<QStringList>{writeCoil2, readCoils} << true
            << QByteArrayList{"[1]: \t0", "[2]: \t1", "[3]: \t0"};
        QTest::newRow("write a coil, read register 0")
            << QList<QStringList>{writeCoil2, readState} << true << QByteArrayList{"[1]: \t2"};
        QTest::newRow("write register 0x0100")
            << QList<QStringList>{{"-a", "3", "-t", "4", "-r", "257", "--", "42"}} << true
            << QByteArrayList{"Written 1 references."};
        QTest::newRow("new address answers")
            << QList<QStringList>{{"-a", "3", "-t", "4", "-r", "257", "--", "42"},
                                  {"-a", "42", "-t", "4", "-r", "257"}}
            << true << QByteArrayList{"[257]: \t42"};
        QTest::newRow("read baud register")
            << QList<QStringList>{{"-a", "200", "-t", "4", "-r", "513"}} << true
            << QByteArrayList{"[513]: \t5"};
        QTest::newRow("illegal address exception")
            << QList<QStringList>{{"-a", "3", "-t", "4", "-r", "2"}} << false
            << QByteArrayList{"Illegal data address"};
        QTest::newRow("wrong rate: silence")
            << QList<QStringList>{{"-b", "19200", "-o", "0.3", "-a", "3", "-t", "4", "-r", "1"}}
            << false << QByteArrayList{"timed out"};
    }
    void master()
    {
        QFETCH(QList<QStringList>, runs);
        QFETCH(bool, succeeds);
        QFETCH(QByteArrayList, expected);

        SimProcess sim({QStringLiteral("--module"), QStringLiteral("3"), QStringLiteral("--module"),
                        QStringLiteral("200:QV-04")});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        Run run;
        for (const QStringList &arguments : runs) {
            run = mbpoll(m_mbpoll, sim.path(), arguments);
            if (&arguments != &runs.last())
                QCOMPARE(run.exitCode, 0);
        }
        QCOMPARE(run.exitCode == 0, succeeds);
        for (const QByteArray &line : expected) {
            if (!run.output.contains(line))
                QFAIL(qPrintable(
                    QStringLiteral("'%1' missing in:\n%2")
                        .arg(QString::fromLatin1(line), QString::fromLocal8Bit(run.output))));
        }
    }

private:
    QString m_mbpoll;
};

QTEST_GUILESS_MAIN(TestMbpoll)
#include "tst_mbpoll.moc"
