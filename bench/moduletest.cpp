// quorvane-bench-moduletest: how long a module test takes against quorvane-sim.
//
// A full test of one QV-08 at 9600 baud from `qvctl test` and from the window's page "模块测试"
// (every step but the configuration one; run with QT_QPA_PLATFORM=offscreen), beside its floor: the
// wire time of every frame the test exchanges plus the time span of the timed step (the state reads
// of that step fill its span, so they add nothing). Then the cycles per second of the channel and
// pattern steps at 9600 and 115200 baud.

#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/testpage.h"
#include "controls/qzbutton.h"
#include "moduletest/checks.h"
#include "moduletest/steps.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

// Starts quorvane-sim with one QV-08 at address 1 and the rate; returns its terminal.
QString StartSim(QProcess &sim, qint32 rate)
{
    sim.start(QStringLiteral(QUORVANE_SIM),
              {QStringLiteral("--module"), QStringLiteral("1:QV-08:%1").arg(rate)});
    if (!sim.waitForReadyRead(10000))
        return {};
    return QString::fromLocal8Bit(sim.readLine().trimmed());
}

// Runs qvctl test; the seconds it took, or a negative number when it did not pass.
double RunTest(const QString &port, qint32 rate, const QStringList &options)
{
    QProcess qvctl;
    QElapsedTimer clock;
    clock.start();
    qvctl.start(QStringLiteral(QVCTL),
                QStringList{"--port", port, "--baud", QString::number(rate), "test"} + options);
    qvctl.waitForFinished(600000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    return qvctl.exitCode() == 0 ? seconds : -seconds;
}

// The same test from the window's page, the question answered yes: the seconds from the click
// on its start button until the page has the report, negative when it did not pass.
double RunPageTest(const QString &port)
{
    app::RecordedMessages messages; // every question answered yes
    app::StartOptions options;
    options.extraPorts = {port};
    app::Services services;
    services.messages = &messages; // no Config.ini, no log-on entry
    Form1 form(options, services);
    form.show();
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit); // the start-up one-shot runs first
    loop.exec();
    form.Combo2->setCurrentIndex(form.Combo2->findText(port));
    form.Combo3->setCurrentIndex(form.Combo3->findText(QStringLiteral("9600 ")));
    emit form.Command2->Click();
    if (!form.MSComm1.isOpen())
        return 0;
    form.Combo1->setCurrentIndex(1); // QV-08
    form.Text1->setEditText(QStringLiteral("1"));
    QObject::connect(form.testPage, &TestPage::testFinished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    emit qobject_cast<QzButton *>(form.control(QStringLiteral("TestStart")))->Click();
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    return form.testPage->report() && form.testPage->report()->passed() ? seconds : -seconds;
}

// The floor of a test with these steps at rate: every frame and its answer on the wire, the
// all-off that ends each step, and the time span of the timed step.
double FloorSeconds(const moduletest::Settings &settings, qint32 rate)
{
    double ms = 0;
    for (const moduletest::Step step : settings.steps) {
        const QByteArray allOff = moduletest::AllOffRequest(1);
        double stepMs = moduletest::WireMs(allOff.size() + moduletest::AnswerBytes(allOff), rate);
        for (const moduletest::Exchange &ex : moduletest::StepExchanges(step, 1, settings, 2, rate))
            stepMs +=
                moduletest::WireMs(ex.request.size() + moduletest::AnswerBytes(ex.request), rate);
        if (step == moduletest::Step::Timed)
            stepMs += settings.timedTenths * 100.0;
        ms += moduletest::Cycled(step) ? stepMs * settings.cycles : stepMs;
    }
    return ms / 1000;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    QProcess sim9600;
    const QString port9600 = StartSim(sim9600, 9600);
    if (port9600.isEmpty()) {
        std::fprintf(stderr, "quorvane-sim did not start\n");
        return 1;
    }
    const moduletest::Settings full;
    const double fullSeconds = RunTest(port9600, 9600, {});
    const double floor = FloorSeconds(full, 9600);
    std::printf("full test of one QV-08 at 9600 baud (qvctl test): %.2f s%s\n",
                std::abs(fullSeconds), fullSeconds < 0 ? " (did not pass)" : "");
    std::printf("  floor (wire time of every frame + timed span): %.2f s, ratio %.2f (goal 1.3)\n",
                floor, std::abs(fullSeconds) / floor);
    const double pageSeconds = RunPageTest(port9600);
    std::printf("full test of one QV-08 at 9600 baud (window page): %.2f s%s, ratio %.2f\n",
                std::abs(pageSeconds), pageSeconds <= 0 ? " (did not pass)" : "",
                std::abs(pageSeconds) / floor);

    const int cycles = 20;
    const QStringList cycled{"--steps", "channels,all,patterns", "--cycles",
                             QString::number(cycles)};
    moduletest::Settings cycledSettings;
    cycledSettings.steps = {moduletest::Step::Channels, moduletest::Step::AllOnOff,
                            moduletest::Step::Patterns};
    cycledSettings.cycles = cycles;
    for (const qint32 rate : {9600, 115200}) {
        QProcess sim;
        const QString port = rate == 9600 ? port9600 : StartSim(sim, rate);
        const double seconds = std::abs(RunTest(port, rate, cycled));
        std::printf("cycles per second at %6d baud: %.2f (floor %.2f)\n", rate, cycles / seconds,
                    cycles / FloorSeconds(cycledSettings, rate));
        if (rate != 9600) {
            sim.terminate();
            sim.waitForFinished();
        }
    }
    sim9600.terminate();
    sim9600.waitForFinished();
    return 0;
}
