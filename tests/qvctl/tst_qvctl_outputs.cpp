// Where qvctl's results go and what happens when they cannot get there: the module test's
// reports, the monitor's pcap file and standard output, each into a folder, a missing folder, a
// full device, a FIFO (read and unread), a pipe and a closed standard output. A result that did
// not arrive is never a success; one that can arrive does, and a FIFO stays a FIFO.

#include "support/simprocess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Output { JUnit, Csv, Pcap, StandardOutput };

// What the command writes into: a path or what its standard output is.
enum class Target {
    Folder,
    MissingFolder,
    FullDevice,
    ReadFifo,
    UnreadFifo,
    Pipe,
    ClosedPipe,
    Closed
};

} // namespace

Q_DECLARE_METATYPE(Output)
Q_DECLARE_METATYPE(Target)

class TstQvctlOutputs : public QObject
{
    Q_OBJECT
private slots:
    void failures_data();
    void failures();
};

void TstQvctlOutputs::failures_data()
{
    QTest::addColumn<Output>("output");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<Target>("target");
    QTest::addColumn<int>("exitCode");

    const QStringList test{"test", "--steps", "comm"};
    const QStringList monitor{"monitor", "--duration", "1"};
    const struct
    {
        const char *name;
        Output output;
        QStringList command;
    } outputs[] = {
        {"--junit", Output::JUnit, test},
        {"--csv", Output::Csv, test},
        {"--pcap", Output::Pcap, monitor},
    };
    for (const auto &o : outputs) {
        const QByteArray tag = QByteArray(o.name) + ": ";
        QTest::newRow(tag + "a folder") << o.output << o.command << Target::Folder << 3;
        QTest::newRow(tag + "a missing folder")
            << o.output << o.command << Target::MissingFolder << 3;
        QTest::newRow(tag + "a full device") << o.output << o.command << Target::FullDevice << 3;
        QTest::newRow(tag + "a FIFO read") << o.output << o.command << Target::ReadFifo << 0;
        QTest::newRow(tag + "standard output, a pipe")
            << o.output << o.command << Target::Pipe << 0;
    }
    QTest::newRow("--pcap: a FIFO nobody reads")
        << Output::Pcap << monitor << Target::UnreadFifo << 3;

    const QStringList state{"state"};
    const QStringList json{"test", "--steps", "comm", "--json"};
    const QStringList listen{"monitor", "--duration", "3"};
    for (const auto &[name, command] : {std::pair{"state", state}, std::pair{"test --json", json},
                                        std::pair{"monitor", listen}}) {
        const QByteArray tag = QByteArray(name) + ": standard output ";
        QTest::newRow(tag + "full") << Output::StandardOutput << command << Target::FullDevice << 3;
        QTest::newRow(tag + "closed") << Output::StandardOutput << command << Target::Closed << 3;
        QTest::newRow(tag + "a pipe nobody reads")
            << Output::StandardOutput << command << Target::ClosedPipe << 3;
    }
}

void TstQvctlOutputs::failures()
{
    QFETCH(Output, output);
    QFETCH(QStringList, command);
    QFETCH(Target, target);
    QFETCH(int, exitCode);

    // The monitor listens to a bus with a master on it; the test and state read talk to a module.
    const bool listening = command.front() == u"monitor";
    SimProcess sim(listening ? QStringList{"--module", "3", "--master"}
                             : QStringList{"--module", "3"});
    QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QString path;
    switch (target) {
    case Target::Folder:
        path = dir.path();
        break;
    case Target::MissingFolder:
        path = dir.filePath(QStringLiteral("missing/report"));
        break;
    case Target::FullDevice:
        path = QStringLiteral("/dev/full");
        break;
    case Target::ReadFifo:
    case Target::UnreadFifo:
        path = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    case Target::Pipe:
        path = QStringLiteral("/dev/stdout");
        break;
    case Target::ClosedPipe:
    case Target::Closed:
        break;
    }

    QStringList arguments{"--port", sim.path(), "--address", "3"};
    arguments += command;
    if (output == Output::JUnit)
        arguments << "--junit" << path;
    else if (output == Output::Csv)
        arguments << "--csv" << path;
    else if (output == Output::Pcap)
        arguments << "--pcap" << path;

    QProcess qvctl;
    qvctl.setProgram(QStringLiteral(QVCTL));
    qvctl.setArguments(arguments);
    if (output == Output::StandardOutput && target == Target::FullDevice)
        qvctl.setStandardOutputFile(path);
    int pipeEnds[2] = {-1, -1};
    if (target == Target::ClosedPipe) {
        // A pipe whose reader is gone before the first write.
        QCOMPARE(::pipe(pipeEnds), 0);
        ::close(pipeEnds[0]);
    }
    const int pipeWriter = pipeEnds[1];
    qvctl.setChildProcessModifier([target, pipeWriter] {
        if (target == Target::Closed)
            ::close(STDOUT_FILENO);
        else if (target == Target::ClosedPipe)
            ::dup2(pipeWriter, STDOUT_FILENO);
    });
    // A reader of the FIFO, as a capture tool would be.
    QProcess reader;
    if (target == Target::ReadFifo) {
        reader.setProgram(QStringLiteral("cat"));
        reader.setArguments({path});
        reader.start();
        QVERIFY(reader.waitForStarted());
    }
    qvctl.start();
    QVERIFY(qvctl.waitForStarted());
    if (pipeWriter >= 0)
        ::close(pipeWriter);
    QVERIFY(qvctl.waitForFinished(30000));
    const QByteArray err = qvctl.readAllStandardError();
    QCOMPARE(qvctl.exitStatus(), QProcess::NormalExit);
    QVERIFY2(qvctl.exitCode() == exitCode, err.constData());
    if (exitCode != 0) {
        // Said on standard error, with the system's reason or what is missing.
        QVERIFY2(err.contains("cannot write"), err.constData());
        return;
    }

    QByteArray delivered;
    if (target == Target::ReadFifo) {
        QVERIFY(reader.waitForFinished(10000));
        delivered = reader.readAllStandardOutput();
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile()); // still the FIFO
    } else {
        delivered = qvctl.readAllStandardOutput();
    }
    // What arrived holds the report or capture itself (on standard output beside the summary).
    if (output == Output::JUnit)
        QVERIFY2(delivered.contains("<testsuites"), delivered.constData());
    else if (output == Output::Csv)
        QVERIFY2(delivered.contains("date,program,"), delivered.constData());
    else
        QVERIFY2(delivered.contains("\xd4\xc3\xb2\xa1"), delivered.toHex().constData());
}

QTEST_GUILESS_MAIN(TstQvctlOutputs)

#include "tst_qvctl_outputs.moc"
