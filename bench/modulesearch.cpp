// quorvane-bench-modulesearch [--slow] [--shots DIR]: how long the window's address scan and
// baud-rate search take against quorvane-sim behind a pseudo-terminal, driven through the
// window's own buttons off-screen. --slow adds a scan at 300 baud (over two minutes); --shots
// saves a picture of the window after each run into DIR.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "controls/qzbutton.h"
#include "tests/support/ptypair.h"
#include "tests/support/simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

bool WaitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void Click(QzButton *button)
{
    emit button->Click();
}

struct Bench
{
    app::RecordedMessages messages;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<PtyPair> silent;
    std::unique_ptr<Form1> form;

    bool open(const QString &path, const QString &baud)
    {
        app::StartOptions options;
        options.extraPorts = {path};
        app::Services services;
        services.messages = &messages; // no Config.ini, no log-on entry
        form = std::make_unique<Form1>(options, services);
        form->show();
        if (!WaitUntil([&] { return !form->Timer4.isActive(); }, 5000))
            return false;
        form->Combo3->setCurrentIndex(form->Combo3->findText(baud));
        Click(form->Command2);
        return form->MSComm1.isOpen();
    }
    bool withSim(const QStringList &modules, const QString &baud)
    {
        QStringList arguments;
        for (const QString &m : modules)
            arguments << "--module" << m;
        sim = std::make_unique<SimProcess>(arguments);
        return WaitUntil([&] { return sim->ready(); }, 10000) && open(sim->path(), baud);
    }
    void reset()
    {
        form.reset();
        sim.reset();
        silent.reset();
    }

    // Milliseconds until the scan showed its count, or -1.
    qint64 scan(QString *result)
    {
        form->Combo7->setCurrentIndex(1);
        QElapsedTimer clock;
        clock.start();
        Click(form->Command1);
        if (!WaitUntil([&] { return !form->Timer5.isActive(); }, 600000))
            return -1;
        *result = form->Label19->text();
        return clock.elapsed();
    }
    qint64 search(QString *result)
    {
        QElapsedTimer clock;
        clock.start();
        Click(form->qzbutton10);
        if (!WaitUntil([&] { return !form->Timer3.isActive() && !form->readBT.isActive(); }, 60000))
            return -1;
        *result = QStringLiteral("port at %1 baud, list shows \"%2\"")
                      .arg(form->MSComm1.lineSettings().baudRate)
                      .arg(form->Combo3->currentText());
        return clock.elapsed();
    }
};

QString ShotDirectory;

void Report(const char *what, qint64 ms, const QString &result, QWidget *window)
{
    if (!ShotDirectory.isEmpty()) {
        static int shot = 0;
        window->grab().save(QStringLiteral("%1/run-%2.png").arg(ShotDirectory).arg(++shot));
    }
    if (ms < 0)
        std::printf("%-40s did not end\n", what);
    else
        std::printf("%-40s %7.2f s   %s\n", what, ms / 1000.0, qPrintable(result));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const bool slow = arguments.contains(QStringLiteral("--slow"));
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--shots")); at > 0)
        ShotDirectory = arguments.value(at + 1);

    Bench b;
    QString result;
    struct ScanCase
    {
        const char *title;
        QStringList modules;
        QString baud;
    };
    QList<ScanCase> scans = {
        {"scan at 9600 (modules 3, 200)", {"3", "200:QV-04"}, "9600 "},
        {"scan at 2400 (modules 3, 200)", {"3:QV-08:2400", "200:QV-04:2400"}, "2400 "},
    };
    if (slow)
        scans.append({"scan at 300 (modules 3, 200)", {"3:QV-08:300", "200:QV-04:300"}, "300 "});
    for (const ScanCase &c : scans) {
        if (!b.withSim(c.modules, c.baud))
            return 1;
        const qint64 ms = b.scan(&result);
        Report(c.title, ms, result, b.form.get());
        b.reset();
    }

    if (!b.withSim({"5"}, "115200"))
        return 1;
    qint64 ms = b.search(&result);
    Report("baud search, module at 9600", ms, result, b.form.get());
    b.reset();

    if (!b.withSim({"5:QV-08:1200"}, "115200"))
        return 1;
    ms = b.search(&result);
    Report("baud search, module at 1200", ms, result, b.form.get());
    b.reset();

    b.silent = std::make_unique<PtyPair>();
    if (!b.silent->isValid() || !b.open(b.silent->slavePath(), "9600 "))
        return 1;
    ms = b.search(&result);
    Report("baud search, nothing answers", ms, result, b.form.get());
    b.reset();
    return 0;
}
