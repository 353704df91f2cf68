#include <QProcess>
#include <QProcessEnvironment>
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

        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(CRC16_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        const QByteArray stdOut = program.readAllStandardOutput();
        const QByteArray stdErr = program.readAllStandardError();
        if (out.isEmpty() && exitCode == 0)
            QVERIFY(stdOut.startsWith("Usage: crc16"));
        else
            QCOMPARE(stdOut, out);
        QCOMPARE(!stdErr.isEmpty(), complains);
        if (complains)
            QVERIFY2(stdErr.startsWith("crc16: "), stdErr.constData());
    }
};

QTEST_GUILESS_MAIN(TestCrc16Cli)
#include "tst_crc16_cli.moc"
