// The window reaches the user's files only through the services it is given.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "controls/safetabs.h"
#include "settings/autostart.h"
#include "support/shown.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

QSet<QString> EntriesOf(const QString &path)
{
    const QStringList names =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    return {names.cbegin(), names.cend()};
}

} // namespace

class TestWindowServices : public QObject
{
    Q_OBJECT
private slots:
    void nothingIsWrittenOutsideTheGivenDirectory()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // A home of its own, so that a write to the user's home would show here.
        const QString home = dir.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", home.toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", QDir(home).filePath(QStringLiteral(".config")).toLocal8Bit());

        const QString beside = QCoreApplication::applicationDirPath();
        const QString here = QDir::currentPath();
        const QSet<QString> besideBefore = EntriesOf(beside);
        const QSet<QString> hereBefore = EntriesOf(here);

        app::RecordedMessages messages;
        settings::RecordingAutoStart autoStart;
        app::Services services;
        services.messages = &messages;
        services.iniPath = dir.filePath(QStringLiteral("Config.ini"));
        services.autoStart = &autoStart;
        {
            Form1 window(app::StartOptions{}, services);
            QCOMPARE(window.iniPath(), services.iniPath);
            QCOMPARE(&window.autoStart(), static_cast<settings::AutoStart *>(&autoStart));
            QVERIFY(support::ShowAndWait(window));
            QTRY_VERIFY_WITH_TIMEOUT(!window.Timer4.isActive(), 5000);
            // Every page once, as a user looks around.
            for (int page = 0; page < 7; ++page)
                window.safetabs1->setActiveTab(page);
            window.close();
        }

        QCOMPARE(EntriesOf(beside), besideBefore);
        QCOMPARE(EntriesOf(here), hereBefore);
        QVERIFY(EntriesOf(home).isEmpty());
        // The start-at-log-on switch is off: its entry is removed, as at every start.
        QCOMPARE(autoStart.calls, QStringList{QStringLiteral("remove")});
        QVERIFY(messages.messages.isEmpty());
    }
};

QTEST_MAIN(TestWindowServices)
#include "tst_windowservices.moc"
