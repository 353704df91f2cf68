// qvctl monitor listening to quorvane-sim --master: frames as JSON Lines, paired and counted,
// a pcap that tshark reads as MODBUS RTU, the statistics on Ctrl+C.

#include "support/simprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestMonitorQvctl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void framesPairedAndCounted();
    void tsharkReadsThePcapAsModbus();
    void echoesMarkedNeverPaired();

private:
    QTemporaryDir m_dir;
    QString m_pcap;
};

void TestMonitorQvctl::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pcap = m_dir.filePath("bus.pcap");
}

void TestMonitorQvctl::framesPairedAndCounted()
{
    SimProcess sim({"--master", "--module", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);

    QProcess qvctl;
    qvctl.start(QStringLiteral(QVCTL), {"monitor", "--port", sim.path(), "--format", "jsonl",
                                        "--pcap", m_pcap, "--stats", "--timeout", "1000"});
    QByteArray out;
    // (A long wait for answers: a loaded machine must not make a late answer an unpaired one.)
    // Until the master has asked an absent address and garbled a byte (its 11th and 8th poll).
    QTRY_VERIFY_WITH_TIMEOUT((out += qvctl.readAllStandardOutput()).count('\n') >= 30, 20000);
    ::kill(pid_t(qvctl.processId()), SIGINT);
    QVERIFY(qvctl.waitForFinished(10000));
    QCOMPARE(qvctl.exitCode(), 0);
    out += qvctl.readAllStandardOutput();
    const QString err = QString::fromUtf8(qvctl.readAllStandardError());

    QHash<qint64, QJsonObject> byIndex;
    int answers = 0, unanswered = 0, noise = 0;
    const QList<QByteArray> lines = out.trimmed().split('\n');
    for (const QByteArray &line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QVERIFY2(!o.isEmpty(), line.constData());
        byIndex.insert(o["index"].toInteger(), o);
        const QString role = o["role"].toString();
        if (role == "answer" && !o.contains("answers")) {
            // An answer to a request sent before listening began stands alone: only the first.
            QCOMPARE(byIndex.size(), 1);
        } else if (role == "answer") {
            ++answers;
            const QJsonObject request = byIndex.value(o["answers"].toInteger());
            QCOMPARE(request["role"].toString(), QString("request"));
            QCOMPARE(request["address"].toInt(), o["address"].toInt());
            // A request and its answer read in one batch have no measurable turnaround between
            // them (each start is estimated back from the batch's arrival): 0 is then right.
            QVERIFY(o.contains("response_us") && o["response_us"].toInteger() >= 0);
        } else if (role == "request" && o["unanswered"].toBool()) {
            ++unanswered;
            // Only the absent address goes unanswered (and a request cut off at the end).
            QVERIFY(o["address"].toInt() == 99 || line == lines.last());
        } else if (role == "noise") {
            ++noise;
            QCOMPARE(o["hex"].toString(), QString("A5"));
        }
    }
    QVERIFY(answers >= 10);
    QVERIFY(unanswered >= 1);
    QCOMPARE(noise, 1);
    // The statistics on standard error: the absent address with its request unanswered.
    QVERIFY2(err.contains(QRegularExpression("\n99\t1\t0\t1\t")), qPrintable(err));
}

void TestMonitorQvctl::tsharkReadsThePcapAsModbus()
{
    const QString tshark = QStandardPaths::findExecutable("tshark");
    if (tshark.isEmpty())
        QSKIP("tshark is not installed");
    if (!QFile::exists(m_pcap))
        QSKIP("no capture");
    QProcess p;
    p.start(tshark,
            {"-r", m_pcap, "-o", R"x(uat:user_dlts:"User 0 (DLT=147)","mbrtu","0","","0","")x",
             "-o", "mbrtu.crc_verification:TRUE", "-T", "fields", "-e", "frame.protocols", "-e",
             "mbrtu.crc16.status"});
    QVERIFY(p.waitForFinished(60000));
    const QStringList rows = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split('\n');
    QVERIFY(rows.size() >= 20);
    for (const QString &row : rows)
        QCOMPARE(row, QString("user_dlt:mbrtu:modbus\t1")); // MODBUS RTU, CRC good
}

// The master's requests heard back by its adapter: each copy is marked, and no answer is paired
// with a copy, only with the request itself.
void TestMonitorQvctl::echoesMarkedNeverPaired()
{
    SimProcess sim({"--master", "--echo", "--module", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
    QProcess qvctl;
    qvctl.start(QStringLiteral(QVCTL),
                {"monitor", "--port", sim.path(), "--format", "jsonl", "--timeout", "1000"});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += qvctl.readAllStandardOutput()).count('\n') >= 30, 20000);
    ::kill(pid_t(qvctl.processId()), SIGINT);
    QVERIFY(qvctl.waitForFinished(10000));
    out += qvctl.readAllStandardOutput();

    QHash<qint64, QJsonObject> byIndex;
    int echoes = 0, answers = 0;
    for (const QByteArray &line : out.trimmed().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QVERIFY2(!o.isEmpty(), line.constData());
        byIndex.insert(o["index"].toInteger(), o);
        if (o["echo"].toBool()) {
            ++echoes;
            QVERIFY2(!o.contains("answers"), line.constData());
            // The copy of the frame just before it (noise aside).
            qint64 k = o["index"].toInteger() - 1;
            while (byIndex.value(k)["role"].toString() == "noise")
                --k;
            QCOMPARE(o["hex"], byIndex.value(k)["hex"]);
        } else if (o.contains("answers")) {
            ++answers;
            const QJsonObject request = byIndex.value(o["answers"].toInteger());
            QVERIFY2(!request["echo"].toBool(), line.constData());
            QCOMPARE(request["address"].toInt(), o["address"].toInt());
        }
    }
    QVERIFY(echoes >= 5);
    QVERIFY(answers >= 5);
}

QTEST_GUILESS_MAIN(TestMonitorQvctl)
#include "tst_monitor_qvctl.moc"
