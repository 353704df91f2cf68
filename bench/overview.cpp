// quorvane-bench-overview: the bus overview page of the window, off-screen, watching 32 modules
// of quorvane-sim behind a pseudo-terminal at 9600 and at 115200 baud. Prints, for each rate:
// the time to read every module once against the wire's floor for the same reads (each request
// and its answer on the wire with a frame gap after each, and the same with the simulated
// modules' turnaround added), a click's time until the module's answer shows while polling and
// on an idle line, and the window's CPU while polling.

#include "link/overview.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/overviewpage.h"
#include "bench/measure.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "link/master.h"
#include "modbus/timing.h"
#include "settings/configkeys.h"
#include "settings/ini.h"
#include "sim/bus.h"
#include "tests/support/simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Modules = 32;

// Runs the event loop, sleeping in it, until done() or the deadline; false on the deadline. (The
// window's CPU is measured meanwhile: no busy waiting here.)
template <typename Done> bool Wait(Done done, int timeoutMs = 5000)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures
{
    double roundMs = 0, floorMs = 0, floorTurnaroundMs = 0;
    double clickPollingMs = 0, clickIdleMs = 0, cpuPercent = 0;
};

// Milliseconds from a click on channel 1 of address until the row shows the module's answer.
double Click(OverviewPage &page, std::uint8_t address)
{
    const bus::Poller::Module *m = page.poller().module(address);
    const std::uint16_t before = m->bits.value_or(0);
    QElapsedTimer clock;
    clock.start();
    page.switchChannel(address, 1);
    if (!Wait([&] { return m->bits.value_or(0) != before; }, 5000))
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

bool Fail(const char *what)
{
    std::fprintf(stderr, "quorvane-bench-overview: %s\n", what);
    return false;
}

bool Measure(qint32 rate, Figures &out)
{
    QStringList arguments;
    for (int a = 1; a <= Modules; ++a)
        arguments << QStringLiteral("--module") << QStringLiteral("%1:QV-08:%2").arg(a).arg(rate);
    SimProcess sim(arguments);
    if (!Wait([&] { return sim.ready(); }, 10000))
        return Fail("the simulator did not start");

    const QTemporaryDir dir;
    app::RecordedMessages messages;
    app::Services services;
    services.messages = &messages;
    services.iniPath = dir.filePath(QStringLiteral("Config.ini"));
    settings::WriteIni(services.iniPath, settings::SystemSection, settings::EchoKey,
                       QStringLiteral("none"));
    bus::WatchList list;
    for (int a = 1; a <= Modules; ++a)
        list.append({std::uint8_t(a), 8});
    const QStringList pieces = bus::WatchListPieces(list);
    for (int i = 0; i < pieces.size(); ++i)
        settings::WriteIni(services.iniPath, settings::OverviewSection,
                           settings::OverviewModulesKeyAt(i), pieces[i]);
    app::StartOptions options;
    options.extraPorts = {sim.path()};
    Form1 form(options, services);
    form.show();
    if (!Wait([&] { return !form.Timer4.isActive(); }))
        return Fail("the window did not start");
    form.Combo2->setCurrentIndex(form.Combo2->findText(sim.path()));
    form.Combo3->setCurrentIndex(form.Combo3->findText(QString::number(rate), Qt::MatchStartsWith));
    emit form.Command2->Click();
    if (!form.MSComm1.isOpen())
        return Fail("the port did not open");
    OverviewPage &page = *form.overviewPage;
    form.safetabs1->setActiveTab(OverviewPage::Page);
    const auto allOnline = [&] {
        for (int a = 1; a <= Modules; ++a) {
            const auto *m = page.poller().module(std::uint8_t(a));
            if (!m || !m->online)
                return false;
        }
        return true;
    };
    if (!Wait(allOnline, 20000)) {
        int online = 0;
        for (int a = 1; a <= Modules; ++a) {
            const auto *m = page.poller().module(std::uint8_t(a));
            online += m && m->online;
        }
        std::fprintf(stderr, "listed %d, polling %d, online %d, port %s\n",
                     int(page.model().modules().size()), int(page.polling()), online,
                     qPrintable(form.MSComm1.portName()));
        return Fail("not every module came online");
    }

    // Whole rounds: their median time, and the CPU over them.
    std::vector<double> rounds;
    QElapsedTimer clock;
    clock.start();
    double last = -1;
    const int wanted = rate >= 100000 ? 60 : 12;
    const auto connection = QObject::connect(&page.poller(), &bus::Poller::roundDone, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        if (last >= 0)
            rounds.push_back(now - last);
        last = now;
    });
    const double cpuBefore = CpuSeconds();
    const double wallBefore = double(clock.nsecsElapsed()) / 1e9;
    if (!Wait([&] { return int(rounds.size()) >= wanted; }, 120000))
        return Fail("the rounds did not complete");
    out.cpuPercent =
        100.0 * (CpuSeconds() - cpuBefore) / (double(clock.nsecsElapsed()) / 1e9 - wallBefore);
    QObject::disconnect(connection);
    out.roundMs = bench::Median(rounds);
    const double read = modbus::Ms(modbus::WireTime(8, rate)) +
                        modbus::Ms(modbus::WireTime(7, rate)) +
                        2 * modbus::Ms(modbus::FrameGap(rate));
    out.floorMs = Modules * read;
    // The simulated line: a request crosses the pseudo-terminal at once, the answer comes after
    // the module's turnaround and its wire time, and the line stays quiet a frame gap after it.
    out.floorTurnaroundMs =
        Modules * (double(sim::Bus::DefaultTurnaround.count()) / 1000.0 +
                   modbus::Ms(modbus::WireTime(7, rate)) + modbus::Ms(modbus::FrameGap(rate)));

    // Clicks while polling, on modules all over the bus; then on an idle line (one poll a
    // minute).
    std::vector<double> polling, idle;
    for (int i = 0; i < 16; ++i) {
        const double ms = Click(page, std::uint8_t(1 + (i * 7) % Modules));
        if (ms < 0)
            return Fail("a click while polling was not followed");
        polling.push_back(ms);
    }
    page.poller().setIntervalMs(60000);
    Wait([] { return false; }, 500); // the poll under way ends; the line goes idle
    for (int i = 0; i < 16; ++i) {
        const double ms = Click(page, std::uint8_t(1 + (i * 7) % Modules));
        if (ms < 0)
            return Fail("a click on an idle line was not followed");
        idle.push_back(ms);
    }
    out.clickPollingMs = bench::Median(polling);
    out.clickIdleMs = bench::Median(idle);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::printf("%d modules on one simulated bus, read in turn by the bus overview page\n\n",
                Modules);
    std::printf("%8s  %9s %9s %6s %9s %6s  %9s %9s %6s  %6s\n", "baud", "round ms", "floor ms",
                "ratio", "sim ms", "ratio", "click ms", "idle ms", "ratio", "CPU %");
    bool ok = true;
    for (const qint32 rate : {9600, 115200}) {
        Figures f;
        if (!Measure(rate, f)) {
            std::printf("%8d  did not complete\n", rate);
            ok = false;
            continue;
        }
        std::printf("%8d  %9.1f %9.1f %6.2f %9.1f %6.2f  %9.1f %9.1f %6.2f  %6.1f\n", rate,
                    f.roundMs, f.floorMs, f.roundMs / f.floorMs, f.floorTurnaroundMs,
                    f.roundMs / f.floorTurnaroundMs, f.clickPollingMs, f.clickIdleMs,
                    f.clickPollingMs / f.clickIdleMs, f.cpuPercent);
        std::fflush(stdout);
    }
    std::printf("\nfloor: each request and answer on the wire with a frame gap after each\n"
                "sim: what the simulated line allows: the module's %lld ms turnaround, its answer "
                "on the wire and a frame gap (requests cross the pseudo-terminal at once)\n",
                static_cast<long long>(sim::Bus::DefaultTurnaround.count() / 1000));
    return ok ? 0 : 1;
}
