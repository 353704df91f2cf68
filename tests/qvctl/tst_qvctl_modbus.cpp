// qvctl against a MODBUS RTU slave on libmodbus: coils written and the relay bitmap read agree
// with a MODBUS implementation that was not written here.

#include "qvctlrun.h"
#include "support/socatlink.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

namespace {

constexpr int Deadline = 10000;

// The slave program, stopped again by its process id.
class Slave
{
public:
    // On a pseudo-terminal of its own, or on device.
    Slave(int address, const QString &coils, const QString &device = QString())
    {
        m_process.setProgram(QStringLiteral(MODBUS_SLAVE));
        m_process.setArguments(QStringList{QString::number(address), coils} +
                               (device.isEmpty() ? QStringList() : QStringList{device}));
        m_process.start();
        m_pid = m_process.processId();
    }
    ~Slave()
    {
        if (m_pid > 0 && m_process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_pid), SIGTERM);
            m_process.waitForFinished(5000);
        }
    }
    bool ready()
    {
        collect();
        return !m_path.isEmpty();
    }
    QString path() const { return m_path; }
    // The coil table after the last request answered.
    QString coils()
    {
        collect();
        return m_coils;
    }
    int requests()
    {
        collect();
        return m_requests;
    }

private:
    void collect()
    {
        while (m_process.canReadLine()) {
            const QString line = QString::fromLocal8Bit(m_process.readLine().trimmed());
            if (m_path.isEmpty()) {
                m_path = line;
            } else if (line.startsWith(QLatin1String("coils "))) {
                m_coils = line.mid(6);
                ++m_requests;
            }
        }
    }

    QProcess m_process;
    qint64 m_pid = 0;
    QString m_path;
    QString m_coils;
    int m_requests = 0;
};

} // namespace

class TestQvctlModbus : public QObject
{
    Q_OBJECT
private slots:
    // Each row: the slave's address and first coils, the command, its output, and the coil table
    // afterwards (empty: unchanged).
    void coils_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("coils");

        QTest::newRow("on") << 1 << "" << QStringList{"on", "1", "3"} << "1:on\n3:on\n"
                            << "1010000000000000";
        QTest::newRow("off") << 17 << "1111000000000000" << QStringList{"off", "2", "4"}
                             << "2:off\n4:off\n"
                             << "1010000000000000";
        QTest::newRow("all on") << 1 << "" << QStringList{"all", "on"}
                                << "1:on 2:on 3:on 4:on 5:on 6:on 7:on 8:on\n"
                                << "1111111111111111";
        QTest::newRow("all off") << 1 << "1111111111111111" << QStringList{"all", "off"}
                                 << "1:off 2:off 3:off 4:off 5:off 6:off 7:off 8:off\n"
                                 << "0000000000000000";
        QTest::newRow("mask") << 1 << "0100000000000000" << QStringList{"mask", "10010000"}
                              << "1:on 2:off 3:off 4:on 5:off 6:off 7:off 8:off\n"
                              << "1001000000000000";
        QTest::newRow("state") << 9 << "0110000100000000" << QStringList{"state"}
                               << "1:off 2:on 3:on 4:off 5:off 6:off 7:off 8:on\n"
                               << "";
        QTest::newRow("state of a QV-04")
            << 9 << "0001100000000000" << QStringList{"--model", "QV-04", "state"}
            << "1:off 2:off 3:off 4:on\n"
            << "";
        // The slave has no register 0x0100 and says so; it still answered, so it is found. (The
        // range starts at its address: after a request for another address this slave takes
        // the next frame for that address's answer and ignores it.)
        QTest::newRow("scan finds it by its exception answer")
            << 4 << "" << QStringList{"scan", "4-6"} << "4\n"
            << "";
    }
    void coils()
    {
        QFETCH(int, address);
        QFETCH(QString, initial);
        QFETCH(QStringList, arguments);
        QFETCH(QString, output);
        QFETCH(QString, coils);

        Slave slave(address, initial);
        QTRY_VERIFY_WITH_TIMEOUT(slave.ready(), Deadline);
        const QvctlRun run = RunQvctl(
            QStringList{"--port", slave.path(), "--address", QString::number(address)} + arguments);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out, output);
        if (!coils.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(slave.coils(), coils, Deadline);
    }

    // What qvctl reads back is what it wrote, through the slave's own table.
    void writeThenRead()
    {
        Slave slave(1, QString());
        QTRY_VERIFY_WITH_TIMEOUT(slave.ready(), Deadline);
        const QStringList port = {"--port", slave.path()};
        QCOMPARE(RunQvctl(port + QStringList{"on", "2", "7"}).exitCode, 0);
        QCOMPARE(RunQvctl(port + QStringList{"off", "7"}).exitCode, 0);
        const QvctlRun run = RunQvctl(port + QStringList{"state"});
        QCOMPARE(run.out, "1:off 2:on 3:off 4:off 5:off 6:off 7:off 8:off\n");
        QTRY_COMPARE_WITH_TIMEOUT(slave.coils(), "0100000000000000", Deadline);
    }

    // A socat link: socat holds both ends' masters and is the line, not a program using the port.
    void throughSocatLink()
    {
        SocatLink link;
        QTRY_VERIFY_WITH_TIMEOUT(link.ready(), Deadline);
        Slave slave(1, QString(), link.b());
        QTRY_VERIFY_WITH_TIMEOUT(slave.ready(), Deadline);
        const QStringList port = {"--port", link.a()};
        QvctlRun run = RunQvctl(port + QStringList{"on", "1"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        run = RunQvctl(port + QStringList{"state"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out, "1:on 2:off 3:off 4:off 5:off 6:off 7:off 8:off\n");
    }

    // Another slave address gets no answer from it: exit 1, and the table stays.
    void otherAddress()
    {
        Slave slave(1, "1000000000000000");
        QTRY_VERIFY_WITH_TIMEOUT(slave.ready(), Deadline);
        const QvctlRun run =
            RunQvctl({"--port", slave.path(), "--address", "2", "--timeout", "300", "off", "1"});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(slave.requests(), 0);
    }
};

QTEST_GUILESS_MAIN(TestQvctlModbus)
#include "tst_qvctl_modbus.moc"
