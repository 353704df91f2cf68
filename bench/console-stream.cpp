// The serial console under a continuous stream: the window on a pseudo-terminal at 115200 baud,
// the other end writing without a pause at the line's pace (10 bits a byte), once with the hex
// box ticked and once as GBK text with Chinese characters. Each mode runs in a process of its
// own, so its memory figures are its own.
//
//   QT_QPA_PLATFORM=offscreen quorvane-bench-console-stream [--seconds N] [--mode hex|text]
//                                                            [--shot FILE]
//
// --seconds: how long the stream runs (default 60); --mode: only one of the two modes; --shot:
// saves the window after the run (one file per mode, the mode's name put before the suffix).
//
// Printed per mode: bytes sent, bytes counted in the received-byte count, whether the receive
// box reads as what was sent (or as its newest part once the box's limit was reached), the CPU
// time of the window's thread, the peak resident memory, and the longest gap between two ticks
// of a 5 ms timer in the window.

#include "app/console.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/services.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "protocol/hexcodec.h"
#include "serial/commport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

constexpr int Baud = 115200;
constexpr int BytesPerSecond = Baud / 10;

double ThreadCpuSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double PeakRssMiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// What the stream carries: every byte value in turn, or GBK lines mixing Chinese and ASCII.
QByteArray StreamData(bool hex, qsizetype atLeast)
{
    QByteArray data;
    data.reserve(atLeast + 256);
    if (hex) {
        for (qsizetype i = 0; i < atLeast; ++i)
            data.append(char(i * 7 % 256));
        return data;
    }
    for (int line = 1; data.size() < atLeast; ++line) {
        data += serial::CommPort::EncodeLocal8Bit(
            QStringLiteral("第%1行 继电器状态：通道1开 AT+STATUS+1=? OK\r\n").arg(line));
    }
    return data;
}

int RunMode(bool hex, int seconds, const QString &shot)
{
    int argc = 1;
    char name[] = "quorvane-bench-console-stream";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);

    int master = -1, slave = -1;
    char path[256] = {};
    if (::openpty(&master, &slave, path, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    ::close(slave);

    QTemporaryDir dir;
    app::RecordedMessages messages;
    app::StartOptions options;
    options.extraPorts = {QString::fromLocal8Bit(path)};
    app::Services services;
    services.messages = &messages;
    services.iniPath = dir.filePath(QStringLiteral("Config.ini"));
    Form1 form(options, services);
    form.show();
    {
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    }
    form.Combo3->setCurrentIndex(form.Combo3->findText(QStringLiteral("115200")));
    emit form.Command2->Click();
    if (!form.MSComm1.isOpen()) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    form.safetabs1->setActiveTab(4);
    form.ChkHexSend->setChecked(hex);

    const QByteArray data = StreamData(hex, qsizetype(BytesPerSecond) * seconds);
    std::atomic<qsizetype> written{0};
    std::atomic<bool> done{false};

    // The longest gap between two ticks of a 5 ms timer in the window.
    QElapsedTimer sinceTick;
    qint64 longestGapUs = 0;
    long ticks = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (sinceTick.isValid())
            longestGapUs = std::max(longestGapUs, sinceTick.nsecsElapsed() / 1000);
        sinceTick.start();
        ++ticks;
    });

    const double cpuBefore = ThreadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    ticker.start();
    std::thread peer([&] {
        const auto start = Clock::now();
        const qsizetype total = qsizetype(BytesPerSecond) * seconds;
        qsizetype sent = 0;
        while (sent < total) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            const qsizetype due = std::min(total, qsizetype(elapsed * BytesPerSecond));
            while (sent < due) {
                const ssize_t n = ::write(master, data.constData() + sent, size_t(due - sent));
                if (n <= 0)
                    break;
                sent += n;
            }
            written = sent;
        }
        done = true;
    });

    // Until the stream has ended and every byte is counted (or ten seconds past its end).
    QEventLoop loop;
    QElapsedTimer afterEnd;
    QTimer check;
    check.setInterval(50);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (!done)
            return;
        if (!afterEnd.isValid())
            afterEnd.start();
        if (form.console->receivedCount() >= written || afterEnd.elapsed() > 10000)
            loop.quit();
    });
    check.start();
    loop.exec();
    peer.join();
    // One more turn so the last batch is in the box.
    QCoreApplication::processEvents();
    ticker.stop();
    const double cpu = ThreadCpuSeconds() - cpuBefore;
    const double elapsed = double(wall.elapsed()) / 1000.0;

    const qsizetype sent = written;
    const QByteArray sentBytes = data.left(sent);
    QString expected;
    QString box = form.TxtReceive->toPlainText();
    if (hex) {
        expected = protocol::HexFrameText(sentBytes);
        box.remove(QLatin1Char('\n')); // the box's own line breaks
    } else {
        expected = serial::CommPort::DecodeLocal8Bit(sentBytes);
        expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    const char *verdict = "no";
    if (box == expected)
        verdict = "yes, whole";
    else if (!box.isEmpty() && expected.endsWith(box))
        verdict = "yes, its newest part";

    const QTextDocument *doc = form.TxtReceive->document();
    std::printf("mode %s, %d s at %d baud (%.1f s with the drain)\n", hex ? "hex" : "text", seconds,
                Baud, elapsed);
    std::printf("  bytes sent              %lld\n", static_cast<long long>(sent));
    std::printf("  bytes counted (jishu)   %s\n", qPrintable(form.jishu->text()));
    std::printf("  box equals what was sent: %s (%lld of %lld characters, %d lines, %d bytes "
                "a hex line)\n",
                verdict, static_cast<long long>(box.size()),
                static_cast<long long>(expected.size()), doc->blockCount(),
                form.console->hexBytesPerLine());
    std::printf("  window thread CPU       %.2f s (%.1f %% of one core)\n", cpu,
                100.0 * cpu / elapsed);
    std::printf("  peak RSS                %.1f MiB\n", PeakRssMiB());
    std::printf("  5 ms timer: %ld ticks, longest gap %.1f ms\n", ticks,
                double(longestGapUs) / 1000.0);
    std::fflush(stdout);

    if (!shot.isEmpty())
        form.grab().save(shot);
    form.MSComm1.close();
    ::close(master);
    return 0;
}

QString ShotFor(const QString &shot, const char *mode)
{
    if (shot.isEmpty())
        return shot;
    const qsizetype dot = shot.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? shot + QLatin1Char('-') + QLatin1String(mode)
                   : shot.left(dot) + QLatin1Char('-') + QLatin1String(mode) + shot.mid(dot);
}

} // namespace

int main(int argc, char *argv[])
{
    int seconds = 60;
    QString only;
    QString shot;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--mode") && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--shot") && i + 1 < argc)
            shot = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--mode hex|text] [--shot FILE]\n",
                         argv[0]);
            return 2;
        }
    }
    int status = 0;
    for (const char *mode : {"hex", "text"}) {
        if (!only.isEmpty() && only != QLatin1String(mode))
            continue;
        // Each mode in a fresh process: its own peak memory, its own window.
        const pid_t child = ::fork();
        if (child < 0) {
            std::perror("fork");
            return 1;
        }
        if (child == 0)
            ::_exit(RunMode(!std::strcmp(mode, "hex"), seconds, ShotFor(shot, mode)));
        int childStatus = 0;
        ::waitpid(child, &childStatus, 0);
        if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0)
            status = 1;
    }
    return status;
}
