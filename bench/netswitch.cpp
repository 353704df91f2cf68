// One switch in the window, over each kind of port: quorvane-sim with one module behind a
// pseudo-terminal, behind tcp:// and behind mbtcp:// on loopback. Prints how long a flip of
// switch 1 takes until its echo has been read and the switch confirmed (the echo is read as soon
// as it is whole), and until the first byte of the echo arrived, and the confirmation as a
// multiple of the simulator's own part.
//
//   QT_QPA_PLATFORM=offscreen quorvane-bench-netswitch [rounds]

#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/replies.h"
#include "bench/measure.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "settings/configkeys.h"
#include "settings/ini.h"
#include "tests/support/simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using bench::Median;
using bench::RunUntil;

// What the simulator takes for one switch at 9600 baud: the 8-byte echo on the wire and its
// 4 ms turnaround.
constexpr double SimPartMs = 12.33;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    QTemporaryDir dir;

    std::printf("switch 1 flipped in the window, module at 9600 baud, %d rounds per port\n",
                rounds);
    std::printf("%-24s %14s %14s %10s\n", "port, echo", "first byte", "switch set", "x sim");
    const struct
    {
        const char *label;
        QStringList arguments;
    } kinds[] = {
        {"pseudo-terminal", {}},
        {"tcp:// loopback", {QStringLiteral("--tcp"), QStringLiteral("0")}},
        {"mbtcp:// loopback", {QStringLiteral("--mbtcp"), QStringLiteral("0")}},
    };
    // Each port with the adapter's echo off ("none", a line known not to echo) and learned
    // ("auto": one state read before the first flip).
    for (const QString &echo : {QStringLiteral("none"), QStringLiteral("auto")})
        for (const auto &kind : kinds) {
            const QByteArray label = QByteArray(kind.label) + ", " + echo.toLatin1();
            SimProcess sim(kind.arguments +
                           QStringList{QStringLiteral("--module"), QStringLiteral("1")});
            if (!RunUntil(
                    [&] {
                        sim.process().waitForReadyRead(50);
                        return sim.ready();
                    },
                    10000)) {
                std::printf("%-24s quorvane-sim did not start\n", label.constData());
                continue;
            }
            app::RecordedMessages messages;
            app::StartOptions options;
            options.extraPorts = {sim.path()};
            app::Services services;
            services.messages = &messages;
            services.iniPath = dir.filePath(QStringLiteral("Config.ini"));
            settings::WriteIni(services.iniPath, settings::SystemSection, settings::EchoKey, echo);
            Form1 form(options, services);
            form.show();
            RunUntil([&] { return !form.Timer4.isActive(); });
            form.Combo2->setCurrentIndex(form.Combo2->findText(sim.path()));
            emit form.Command2->Click();
            if (!RunUntil([&] { return form.MSComm1.isOpen(); })) {
                std::printf("%-24s did not open\n", label.constData());
                continue;
            }
            form.Combo1->setCurrentIndex(1);
            form.Text1->setEditText(QStringLiteral("1"));

            std::vector<double> firstByte, confirmed;
            QElapsedTimer clock;
            double noticed = -1;
            QObject::connect(&form.MSComm1, &serial::CommPort::received, &form, [&] {
                if (noticed < 0)
                    noticed = double(clock.nsecsElapsed()) / 1e6;
            });
            bool read = false;
            QObject::connect(form.replies, &Replies::replyRead, &form, [&] { read = true; });
            for (int i = 0; i < rounds * 2; ++i) {
                const bool on = i % 2 == 0;
                noticed = -1;
                read = false;
                clock.start();
                form.SafeSwitch[0]->setValue(on);
                if (!RunUntil([&] { return read; }))
                    break;
                firstByte.push_back(noticed);
                confirmed.push_back(double(clock.nsecsElapsed()) / 1e6);
                RunUntil([] { return false; }, 30); // the line quiet before the next flip
            }
            std::printf("%-24s %11.2f ms %11.2f ms %10.2f   (median of %zu flips)\n",
                        label.constData(), Median(firstByte), Median(confirmed),
                        Median(confirmed) / SimPartMs, confirmed.size());
        }
    std::printf("(the simulator's own part: 8 bytes at 9600 baud and 4 ms turnaround, %.2f ms; "
                "an echo that is not whole would wait out the 100 ms reply window)\n",
                SimPartMs);
    return 0;
}
