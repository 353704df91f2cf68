#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

// Runs the built crc16 program the way a script would.
class TestCrc16Cli : public QObject
{
    Q_OBJECT
private slots:
    void run_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<bool>("complains");
        QTest::newRow("one byte per argument") << QStringList{"01", "03", "00", "00", "00", "01"}
                                               << 0 << QByteArray("84 0A\n") << false;
        QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray() << false;
        QTest::newRow("not hex") << QStringList{"0105G7"} << 2 << QByteArray() << true;
        QTest::newRow("language with bytes")
            << QStringList{"--lang", "en", "01050000FF00"} << 0 << QByteArray("8C 3A\n") << false;
        QTest::newRow("language joined, after bytes")
            << QStringList{"01", "03", "00", "00", "00", "01", "--lang=zh"} << 0
            << QByteArray("84 0A\n") << false;
        QTest::newRow("language with help")
            << QStringList{"--lang", "en", "--help"} << 0 << QByteArray() << false;
        // Refused at once, without a display.
        QTest::newRow("unknown language")
            << QStringList{"--lang", "fr"} << 2 << QByteArray() << true;
        QTest::newRow("language missing")
            << QStringList{"01", "--lang"} << 2 << QByteArray() << true;
        // Qt takes its own options first; the rest is the command line.
        QTest::newRow("Qt's options first") << QStringList{"-platform", "offscreen", "01050000FF00"}
                                            << 0 << QByteArray("8C 3A\n") << false;
        QTest::newRow("unknown option after Qt's")
            << QStringList{"-platform", "offscreen", "--bogus"} << 2 << QByteArray() << true;
    }
    void run()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(bool, complains);

        // The command-line form must work where no display is reachable at all.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        QTemporaryDir runtime; // where Qt, once started, expects its runtime files
        QVERIFY(runtime.isValid());
        environment.insert("XDG_RUNTIME_DIR", runtime.path());

        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(CRC16_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        QByteArray stdOut = program.readAllStandardOutput();
#if defined(Q_OS_WIN)
        stdOut.replace("\r\n", "\n"); // lines end as Windows ends them
#endif
        const QByteArray stdErr = program.readAllStandardError();
        if (out.isEmpty() && exitCode == 0)
            QVERIFY(stdOut.startsWith("Usage: crc16"));
        else
            QCOMPARE(stdOut, out);
        QCOMPARE(!stdErr.isEmpty(), complains);
        if (complains)
            QVERIFY2(stdErr.startsWith("crc16: "), stdErr.constData());
    }

    // Qt's own options alone open the window instead of being refused.
    void qtOptionsOpenTheWindow()
    {
        QProcess program;
        program.start(QStringLiteral(CRC16_PROGRAM), {"-platform", "offscreen"});
        QVERIFY(program.waitForStarted(30000));
        const bool ended = program.waitForFinished(3000);
        if (ended)
            QFAIL(program.readAllStandardError().constData());
        program.kill();
        program.waitForFinished(30000);
    }
};

QTEST_GUILESS_MAIN(TestCrc16Cli)
#include "tst_crc16_cli.moc"
