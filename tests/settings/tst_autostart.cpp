#include "settings/autostart.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace settings;

class TestAutoStart : public QObject
{
    Q_OBJECT

private slots:
    void exec_data();
    void exec();
    void entry();
};

void TestAutoStart::exec_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << u"/opt/q/quorvane"_qs << u"\"/opt/q/quorvane\""_qs;
    QTest::newRow("space and Chinese")
        << u"/home/技术员/my apps/quorvane"_qs << u"\"/home/技术员/my apps/quorvane\""_qs;
    // Quoting escapes " ` $ \ once; the string rule doubles each backslash again.
    QTest::newRow("quote") << u"/a\"b"_qs << u"\"/a\\\\\"b\""_qs;
    QTest::newRow("backtick and dollar") << u"/a`$b"_qs << u"\"/a\\\\`\\\\$b\""_qs;
    QTest::newRow("backslash") << u"/a\\b"_qs << u"\"/a\\\\\\\\b\""_qs;
    QTest::newRow("percent") << u"/100%/q"_qs << u"\"/100%%/q\""_qs;
    QTest::newRow("line break") << u"/a\nb"_qs << u"\"/a\\nb\""_qs;
    QTest::newRow("equals sign") << u"/a=b/q"_qs << QString();
}

void TestAutoStart::exec()
{
    QFETCH(QString, program);
    QFETCH(QString, expected);
    QCOMPARE(DesktopEntryExec(program), expected);
}

void TestAutoStart::entry()
{
#if !defined(Q_OS_UNIX) || defined(Q_OS_DARWIN)
    QSKIP("the XDG autostart entry is Linux's");
#endif
    QTemporaryDir home;
    const auto entryFor = [&home](const QString &configPath) {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        auto autoStart = SystemAutoStart(configPath);
        if (saved.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", saved);
        return autoStart;
    };
    const auto autoStart = entryFor(QString());

    const QString path = home.filePath(u"autostart/quorvane.desktop"_qs);
    QVERIFY(!autoStart->isRegistered());
    QVERIFY(autoStart->remove()); // nothing to remove
    QVERIFY(autoStart->add(u"/opt/my apps/quorvane"_qs));
    QVERIFY(autoStart->isRegistered());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains("\nType=Application\n"));
    QVERIFY(text.contains("\nExec=\"/opt/my apps/quorvane\"\n"));

    QVERIFY(autoStart->add(u"/opt/q/quorvane"_qs)); // a second add replaces the entry
    QFile replaced(path);
    QVERIFY(replaced.open(QIODevice::ReadOnly));
    QVERIFY(replaced.readAll().contains("\nExec=\"/opt/q/quorvane\"\n"));
    QVERIFY(autoStart->remove());
    QVERIFY(!QFile::exists(path));
    QVERIFY(!autoStart->isRegistered());
    QVERIFY(!autoStart->add(u"/a=b/quorvane"_qs)); // no Exec can name it
    QVERIFY(!QFile::exists(path));

    // The entry of another settings file names it, and is not the usual file's to remove (nor
    // the other way round).
    const auto bench = entryFor(u"/srv/bench/Config.ini"_qs);
    QVERIFY(bench->add(u"/opt/q/quorvane"_qs));
    QFile named(path);
    QVERIFY(named.open(QIODevice::ReadOnly));
    QVERIFY(named.readAll().contains(
        "\nExec=\"/opt/q/quorvane\" --config \"/srv/bench/Config.ini\"\n"));
    QVERIFY(autoStart->remove());
    QVERIFY(QFile::exists(path));
    QVERIFY(bench->remove());
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestAutoStart)
#include "tst_autostart.moc"
