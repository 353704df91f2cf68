// How long after the last byte of a 7-byte state reply the channel switches move, over a
// pseudo-terminal whose other end writes the reply one byte at a time at the line's pace. A
// whole reply is read at once; the same reply with a wrong CRC is not whole and waits out the
// reply window, as every reply did before.
//
//   QT_QPA_PLATFORM=offscreen quorvane-bench-replylatency [rounds]

#include "app/connectionstrip.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/wire.h"
#include "bench/measure.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "modbus/crc.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    const QString path = QString::fromLocal8Bit(name);

    app::RecordedMessages messages;
    app::StartOptions options;
    options.extraPorts = {path};
    app::Services services;
    services.messages = &messages;
    Form1 form(options, services);
    form.show();
    bench::RunUntil([&] { return !form.Timer4.isActive(); });

    QByteArray whole = QByteArray::fromHex("0103020081") + QByteArray(2, '\0');
    modbus::AppendCrc(whole);
    QByteArray wrongCrc = whole;
    wrongCrc[6] = char(wrongCrc[6] ^ 0xFF);

    std::printf("7-byte state reply, peer paced at 10 bits a byte; %d rounds per rate\n", rounds);
    std::printf("%-10s %8s %10s %10s %10s   (ms from the last byte written to switch 1 moving)\n",
                "reply", "baud", "min", "median", "max");
    for (const char *rate : {"300 ", "9600 ", "115200"})
        for (const QByteArray *replyBytes : {&whole, &wrongCrc}) {
            const QByteArray &reply = *replyBytes;
            const char *label = replyBytes == &whole ? "whole" : "wrong CRC";
            const int baud = QString::fromLatin1(rate).trimmed().toInt();
            form.MSComm1.close();
            form.connectionStrip->ShowPortClosed();
            form.Combo3->setCurrentIndex(form.Combo3->findText(QString::fromLatin1(rate)));
            emit form.Command2->Click();
            if (!form.MSComm1.isOpen()) {
                std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
                return 1;
            }
            form.Combo1->setCurrentIndex(1);
            form.Text1->setEditText(QStringLiteral("1"));

            std::vector<double> delays;
            for (int r = 0; r < rounds; ++r) {
                for (auto *sw : form.SafeSwitch)
                    SetSwitchQuietly(sw, false);
                char drain[256];
                while (::read(master, drain, sizeof drain) > 0) {
                }
                Clock::time_point moved{};
                QObject scope;
                QObject::connect(form.SafeSwitch[0], &SafeSwitch::Click, &scope, [&] {
                    if (moved == Clock::time_point{})
                        moved = Clock::now();
                });
                emit form.Readzt->Click();
                std::atomic<Clock::rep> lastByte{0};
                std::thread peer([&] {
                    const auto start = Clock::now();
                    const std::chrono::microseconds perByte(10'000'000 / baud);
                    for (qsizetype k = 0; k < reply.size(); ++k) {
                        std::this_thread::sleep_until(start + k * perByte);
                        if (::write(master, reply.constData() + k, 1) != 1)
                            break;
                    }
                    lastByte = Clock::now().time_since_epoch().count();
                });
                const bool ok = bench::RunUntil([&] { return moved != Clock::time_point{}; });
                peer.join();
                if (!ok) {
                    std::fprintf(stderr, "%d baud: the switches did not move\n", baud);
                    continue;
                }
                const Clock::time_point last{Clock::duration{lastByte.load()}};
                delays.push_back(std::chrono::duration<double, std::milli>(moved - last).count());
                if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
                    std::printf("  %d: %.1f\n", baud, delays.back());
                bench::RunUntil([&] { return !form.ReplyBeingCollected(); });
            }
            if (delays.empty())
                continue;
            std::sort(delays.begin(), delays.end());
            std::printf("%-10s %8d %10.1f %10.1f %10.1f\n", label, baud, delays.front(),
                        delays[delays.size() / 2], delays.back());
        }
    form.MSComm1.close();
    ::close(master);
    return 0;
}
