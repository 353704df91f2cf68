#include "app/commandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
        QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    }

    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<bool>("exit");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outputHas");

        QTest::newRow("nothing") << QStringList{} << QStringList{} << false << false << 0 << "";
        QTest::newRow("one port") << QStringList{"--port", "/dev/pts/3"}
                                  << QStringList{"/dev/pts/3"} << false << false << 0 << "";
        QTest::newRow("ports keep their order")
            << QStringList{"--port", "/tmp/b", "--port=/tmp/a"} << QStringList{"/tmp/b", "/tmp/a"}
            << false << false << 0 << "";
        QTest::newRow("a port given twice is listed once")
            << QStringList{"--port", "/tmp/a", "--port", "/tmp/a"} << QStringList{"/tmp/a"} << false
            << false << 0 << "";
        QTest::newRow("demo") << QStringList{"--demo"} << QStringList{} << true << false << 0 << "";
        QTest::newRow("demo and port") << QStringList{"--port", "/tmp/a", "--demo"}
                                       << QStringList{"/tmp/a"} << true << false << 0 << "";
        QTest::newRow("help") << QStringList{"--help"} << QStringList{} << false << true << 0
                              << "--port <PATH>";
        QTest::newRow("version") << QStringList{"--version"} << QStringList{} << false << true << 0
                                 << "Quorvane 9.8.7";
        QTest::newRow("unknown option")
            << QStringList{"--bogus"} << QStringList{} << false << true << 2 << "bogus";
        QTest::newRow("port without a path")
            << QStringList{"--port"} << QStringList{} << false << true << 2 << "port";
        QTest::newRow("stray argument")
            << QStringList{"COM3"} << QStringList{} << false << true << 2 << "COM3";
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, ports);
        QFETCH(bool, demo);
        QFETCH(bool, exit);
        QFETCH(int, exitCode);
        QFETCH(QString, outputHas);

        arguments.prepend(QStringLiteral("quorvane"));
        const app::CommandLine result = app::ParseCommandLine(arguments);
        QCOMPARE(result.exit, exit);
        QCOMPARE(result.exitCode, exitCode);
        if (!exit) {
            QCOMPARE(result.options.extraPorts, ports);
            QCOMPARE(result.options.demo, demo);
        }
        QVERIFY2(result.output.contains(outputHas), qPrintable(result.output));
    }

    void configOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("exitCode"); // -1: the window opens
        QTest::newRow("none") << QStringList{} << "" << -1;
        QTest::newRow("a path") << QStringList{"--config", "/tmp/q.ini"} << "/tmp/q.ini" << -1;
        QTest::newRow("no path") << QStringList{"--config"} << "" << 2;
        QTest::newRow("an empty path") << QStringList{"--config", ""} << "" << 2;
    }
    void configOption()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);
        QFETCH(int, exitCode);
        arguments.prepend(QStringLiteral("quorvane"));
        const app::CommandLine result = app::ParseCommandLine(arguments);
        QCOMPARE(result.exit ? result.exitCode : -1, exitCode);
        if (!result.exit)
            QCOMPARE(result.options.configPath, path);
    }

    // The program keeps its settings where --config says: start-up writes the file there.
    void programUsesTheConfigFile()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("sub/../my.ini"));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The log-on entry the program removes at start-up is the one of this test's home.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        program.setProcessEnvironment(env);
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("sub"))));
        program.start(QStringLiteral(QUORVANE_PROGRAM), {QStringLiteral("--config"), ini});
        QVERIFY(program.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(dir.filePath(QStringLiteral("my.ini"))).size() > 100, 20000);
        program.kill();
        program.waitForFinished(20000);
        QFile file(dir.filePath(QStringLiteral("my.ini")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("[\xCF\xB5\xCD\xB3\xC9\xE8\xD6\xC3]\r\n")); // [系统设置]
    }

    // --help and --version answer on a machine without a display (over ssh, in a script).
    void answersWithoutDisplay_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("outputHas");
        QTest::newRow("help") << "--help"
                              << "--demo";
        QTest::newRow("version") << "--version"
                                 << "Quorvane " QUORVANE_VERSION;
    }
    void answersWithoutDisplay()
    {
        QFETCH(QString, option);
        QFETCH(QString, outputHas);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUORVANE_PROGRAM), {option});
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(outputHas));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
