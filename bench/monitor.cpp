// quorvane-bench-monitor: how well and how cheaply the bus monitor splits a line.
//
//   quorvane-bench-monitor [--frames N] [--seconds S] [--streams N] [--only
//   accuracy|robust|qvctl|window]
//
// accuracy  N frames of every kind (1 % damaged, noise between some) replayed through a
//           pseudo-terminal in random chunks of 1..64 bytes with random pauses of 0..16 ms, at
//           9600 and 115200 baud: intact frames split exactly, damaged ones marked and kept
//           apart, request/answer pairs matched, bytes lost.
// robust    random streams (random bytes, truncated and spliced frames) in random chunks: time
//           taken, and whether every byte came out exactly once.
// qvctl     qvctl monitor writing pcap while a full 115200-baud line streams for S seconds.
// window    the monitor page (off-screen) under a full 115200-baud line for S seconds: bytes
//           accounted for, CPU and memory.

#include "app/mainwindow.h"
#include "app/monitorpage.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "measure.h"
#include "modbus/crc.h"
#include "monitor/capture.h"
#include "monitor/clock.h"
#include "tests/support/randomstreams.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using modbus::FrameRole;

QByteArray Rtu(std::initializer_list<int> bytes)
{
    QByteArray f;
    for (int b : bytes)
        f += char(b);
    return modbus::WithCrc(f);
}

struct Piece
{
    QByteArray bytes;
    enum Kind { Intact, Damaged, Noise } kind = Intact;
    bool request = false;
    qsizetype offset = 0;
    int answers = -1; // an intact answer: the piece index of its intact request
};

// Requests and their answers of every kind the monitor knows.
std::pair<QByteArray, QByteArray> Exchange(QRandomGenerator &r)
{
    const int a = r.bounded(1, 248);
    const int ch = r.bounded(8);
    const auto pairs = [&](int function, int n) {
        QByteArray f;
        f += char(a);
        f += char(function);
        f += char(0xF0);
        f += char(0);
        for (int k = 0; k < n; ++k) {
            f += char(0);
            f += char(r.bounded(1, 100));
        }
        const QByteArray w = modbus::WithCrc(f);
        return std::pair{w, w};
    };
    switch (r.bounded(12)) {
    case 0:
        return {Rtu({a, 3, 0, 0, 0, 1}), Rtu({a, 3, 2, 0, r.bounded(256)})};
    case 1:
        return {Rtu({a, 1, 0, 0, 0, 8}), Rtu({a, 1, 1, r.bounded(256)})};
    case 2:
        return {Rtu({a, 2, 0, 0, 0, 16}), Rtu({a, 2, 2, r.bounded(256), r.bounded(256)})};
    case 3:
        return {Rtu({a, 4, 0, 1, 0, 2}), Rtu({a, 4, 4, 0, 1, 0, 2})};
    case 4: {
        const QByteArray w = Rtu({a, 5, 0, ch, 0xFF, 0});
        return {w, w};
    }
    case 5: {
        const QByteArray w = Rtu({a, 6, 1, 0, 0, r.bounded(1, 248)});
        return {w, w};
    }
    case 6:
        return {Rtu({a, 0x0F, 0, 0, 0, 16, 2, 0xFF, 0xFF}), Rtu({a, 0x0F, 0, 0, 0, 16})};
    case 7:
        return {Rtu({a, 0x10, 0, 0, 0, 2, 4, 0, 1, 0, 2}), Rtu({a, 0x10, 0, 0, 0, 2})};
    case 8: {
        const QByteArray w = Rtu({a, 0x30 + 2 * r.bounded(3), 0xF0, ch, 0, r.bounded(1, 200)});
        return {w, w};
    }
    case 9:
        return pairs(0x31 + 2 * r.bounded(3), r.bounded(2) ? 4 : 8);
    case 10:
        return {Rtu({a, 3, 0x09, 0, 0, 1}), Rtu({a, 0x83, 2})};
    default:
        return {QByteArray::fromHex("24FF03A000C6"), Rtu({a, 3, 2, 0, a})};
    }
}

std::vector<Piece> Traffic(int frames, QRandomGenerator &r)
{
    std::vector<Piece> pieces;
    qsizetype offset = 0;
    const auto add = [&](Piece p) {
        p.offset = offset;
        offset += p.bytes.size();
        pieces.push_back(std::move(p));
    };
    while (int(pieces.size()) < frames) {
        if (r.bounded(50) == 0) {
            QByteArray noise;
            for (int k = r.bounded(1, 4); k > 0; --k)
                noise += char(r.bounded(256));
            add({noise, Piece::Noise});
        }
        auto [request, answer] = Exchange(r);
        const auto damage = [&](QByteArray &f) {
            if (r.bounded(100) != 0)
                return false;
            f[r.bounded(f.size())] ^= char(1 << r.bounded(8));
            return true;
        };
        const bool requestDamaged = damage(request);
        const int requestIndex = int(pieces.size());
        add({request, requestDamaged ? Piece::Damaged : Piece::Intact, true});
        const bool answerDamaged = damage(answer);
        Piece p{answer, answerDamaged ? Piece::Damaged : Piece::Intact, false};
        if (!requestDamaged && !answerDamaged)
            p.answers = requestIndex;
        add(p);
    }
    return pieces;
}

double CpuSeconds(int who = RUSAGE_SELF)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long RssKb()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

struct Pty
{
    int master = -1, slave = -1;
    Pty()
    {
        openpty(&master, &slave, nullptr, nullptr, nullptr);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        close(master);
        close(slave);
    }
    QString path() const { return QString::fromLocal8Bit(ttyname(slave)); }
};

// Gives up when the other side reads nothing for two seconds.
bool WriteAll(int fd, const char *data, qsizetype n)
{
    int idle = 0;
    while (n > 0) {
        const ssize_t w = ::write(fd, data, size_t(n));
        if (w > 0) {
            data += w;
            n -= w;
            idle = 0;
        } else if (++idle > 10'000) {
            return false;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return true;
}

void Accuracy(int frames, qint32 baud)
{
    QRandomGenerator r(baud);
    const std::vector<Piece> pieces = Traffic(frames, r);
    QByteArray stream;
    for (const Piece &p : pieces)
        stream += p.bytes;

    Pty pty;
    std::thread writer([&] {
        QRandomGenerator w(7);
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype n = std::min<qsizetype>(w.bounded(1, 65), stream.size() - at);
            WriteAll(pty.master, stream.constData() + at, n);
            at += n;
            std::this_thread::sleep_for(std::chrono::microseconds(w.bounded(0, 16001)));
        }
    });
    monitor::Clock clock;
    monitor::Capture capture(baud);
    std::vector<monitor::CapturedFrame> out;
    capture.setSink([&](const monitor::CapturedFrame &f) { out.push_back(f); });
    qsizetype got = 0;
    QElapsedTimer quiet;
    quiet.start();
    while (got < stream.size() || quiet.elapsed() < 300) {
        pollfd p{pty.slave, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(pty.slave, buffer, sizeof buffer);
            if (n > 0) {
                got += n;
                capture.received(QByteArrayView(buffer, n), clock.nowUs());
                quiet.restart();
                continue;
            }
        }
        capture.idle(clock.nowUs());
    }
    writer.join();
    capture.finish();

    // Where each output record lies in the stream.
    QByteArray joined;
    std::map<qsizetype, std::size_t> byOffset; // offset -> output index
    std::map<qint64, std::size_t> byIndex;     // frame index -> output index
    for (std::size_t i = 0; i < out.size(); ++i) {
        byOffset[joined.size()] = i;
        byIndex[out[i].index] = i;
        joined += out[i].frame.bytes;
    }
    int intact = 0, exact = 0, damaged = 0, marked = 0, swallowed = 0, pairs = 0, matched = 0;
    std::map<std::size_t, std::size_t> outputOfPiece;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const Piece &p = pieces[k];
        if (p.kind == Piece::Intact) {
            ++intact;
            const auto it = byOffset.find(p.offset);
            if (it != byOffset.end() && out[it->second].frame.bytes == p.bytes &&
                out[it->second].frame.role != FrameRole::Noise && (out[it->second].frame.crcOk)) {
                ++exact;
                outputOfPiece[k] = it->second;
            } else if (qEnvironmentVariableIsSet("BENCH_DEBUG")) {
                std::printf("missed: %s after %s\n", p.bytes.toHex(' ').constData(),
                            k > 0 ? pieces[k - 1].bytes.toHex(' ').constData() : "");
                auto o = byOffset.upper_bound(p.offset);
                for (int j = 0, at = int(std::prev(o)->second); j < 3 && at < int(out.size());
                     ++j, ++at)
                    std::printf("   out: %d %s\n", int(out[std::size_t(at)].frame.role),
                                out[std::size_t(at)].frame.bytes.toHex(' ').constData());
            }
        } else if (p.kind == Piece::Damaged) {
            ++damaged;
            // Every record over its bytes stays within them and says something is wrong.
            bool ok = true;
            auto it = byOffset.upper_bound(p.offset);
            --it;
            for (; it != byOffset.end() && it->first < p.offset + p.bytes.size(); ++it) {
                const monitor::CapturedFrame &f = out[it->second];
                const qsizetype end = it->first + f.frame.bytes.size();
                bool neighbour = false;
                if (it->first < p.offset && k > 0 && pieces[k - 1].kind == Piece::Intact)
                    neighbour = true;
                if (end > p.offset + p.bytes.size() && k + 1 < pieces.size() &&
                    pieces[k + 1].kind == Piece::Intact)
                    neighbour = true;
                swallowed += neighbour ? 1 : 0;
                if (neighbour || (f.frame.crcOk && f.frame.role != FrameRole::Noise &&
                                  f.frame.role != FrameRole::Probe))
                    ok = false;
            }
            marked += ok ? 1 : 0;
        }
    }
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const Piece &p = pieces[k];
        if (p.answers < 0 || pieces[std::size_t(p.answers)].bytes.startsWith("\x24\xFF"))
            continue;
        ++pairs;
        const auto a = outputOfPiece.find(k), q = outputOfPiece.find(std::size_t(p.answers));
        if (a != outputOfPiece.end() && q != outputOfPiece.end() &&
            out[a->second].answers == out[q->second].index)
            ++matched;
        else if (qEnvironmentVariableIsSet("BENCH_DEBUG") && a != outputOfPiece.end() &&
                 q != outputOfPiece.end())
            std::printf("unpaired: %s (%d) -> %s (%d) answers %lld\n",
                        pieces[std::size_t(p.answers)].bytes.toHex(' ').constData(),
                        int(out[q->second].frame.role), p.bytes.toHex(' ').constData(),
                        int(out[a->second].frame.role), qlonglong(out[a->second].answers));
    }
    std::printf("accuracy at %6d baud: %d frames (%lld bytes) in %d records; intact exact %d/%d "
                "(%.3f %%); damaged marked %d/%d, neighbours swallowed %d; pairs matched %d/%d; "
                "bytes lost %lld, stream %s\n",
                baud, int(pieces.size()), qlonglong(stream.size()), int(out.size()), exact, intact,
                100.0 * exact / std::max(1, intact), marked, damaged, swallowed, matched, pairs,
                qlonglong(stream.size() - joined.size()),
                joined == stream ? "identical" : "DIFFERS");
    std::fflush(stdout);
}

void Robust(int streams)
{
    QRandomGenerator random(1);
    QElapsedTimer clock;
    clock.start();
    qint64 bytes = 0;
    int wrong = 0;
    for (int s = 0; s < streams; ++s) {
        const QByteArray stream = testframes::RandomStream(random);
        modbus::FrameSplitter splitter(s % 2 ? 9600 : 115200);
        QByteArray out;
        testframes::SplitInRandomChunks(splitter, stream, random,
                                        [&](const modbus::SplitFrame &f) { out += f.bytes; });
        wrong += out != stream ? 1 : 0;
        bytes += stream.size();
    }
    std::printf("robustness: %d random streams (%lld bytes) in %.1f s; streams with a byte lost or "
                "doubled: %d\n",
                streams, qlonglong(bytes), clock.elapsed() / 1000.0, wrong);
    std::fflush(stdout);
}

// A line at full speed: frames back to back at the pace of the rate, from a thread.
class FullLine
{
public:
    FullLine(int fd, qint32 baud, int seconds)
        : m_thread([this, fd, baud, seconds] {
              QRandomGenerator r(3);
              const auto start = std::chrono::steady_clock::now();
              const double bytesPerSecond = baud / 10.0;
              qint64 sent = 0;
              while (!m_stop &&
                     std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds)) {
                  const double elapsed =
                      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                          .count();
                  while (sent < qint64(elapsed * bytesPerSecond)) {
                      auto [request, answer] = Exchange(r);
                      const QByteArray both = request + answer;
                      if (!WriteAll(fd, both.constData(), both.size()))
                          return;
                      sent += both.size();
                      m_frames += 2;
                  }
                  m_bytes = sent;
                  m_cpu = CpuSeconds(RUSAGE_THREAD);
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          })
    {}
    ~FullLine()
    {
        m_stop = true;
        m_thread.join();
    }
    void join() { m_thread.join(); }
    qint64 bytes() const { return m_bytes; }
    qint64 frames() const { return m_frames; }
    // The CPU time the writing thread itself used.
    double cpu() const { return m_cpu; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_bytes{0};
    std::atomic<qint64> m_frames{0};
    std::atomic<double> m_cpu{0};
    std::thread m_thread;
};

void QvctlKeepsUp(int seconds)
{
    Pty pty;
    QTemporaryDir dir;
    const QString pcap = dir.filePath("line.pcap");
    QProcess qvctl;
    qvctl.setStandardOutputFile(QProcess::nullDevice());
    qvctl.setProcessChannelMode(QProcess::SeparateChannels);
    qvctl.start(QStringLiteral(QVCTL),
                {"monitor", "--port", pty.path(), "--baud", "115200", "--pcap", pcap});
    qvctl.waitForStarted();
    QThread::msleep(500); // the port opened
    qint64 frames = 0, bytes = 0;
    {
        FullLine line(pty.master, 115200, seconds);
        QThread::sleep(ulong(seconds) + 1);
        frames = line.frames();
        bytes = line.bytes();
    }
    QThread::msleep(500);
    ::kill(pid_t(qvctl.processId()), SIGINT);
    if (!qvctl.waitForFinished(10000))
        qvctl.kill();
    std::fputs(qvctl.readAllStandardError().constData(), stdout);
    QFile file(pcap);
    file.open(QIODevice::ReadOnly);
    const QByteArray data = file.readAll();
    qint64 records = 0, recordBytes = 0;
    for (qsizetype at = 24; at + 16 <= data.size();) {
        const qint64 n = qFromLittleEndian<quint32>(data.constData() + at + 8);
        ++records;
        recordBytes += n;
        at += 16 + n;
    }
    std::printf("qvctl monitor --pcap at 115200 for %d s: %lld frames (%lld bytes) sent, %lld "
                "records (%lld bytes) in the pcap; CPU %.2f s (%.1f %% of one core)\n",
                seconds, qlonglong(frames), qlonglong(bytes), qlonglong(records),
                qlonglong(recordBytes), CpuSeconds(RUSAGE_CHILDREN),
                100.0 * CpuSeconds(RUSAGE_CHILDREN) / seconds);
    std::fflush(stdout);
}

void Window(int seconds)
{
    Pty pty;
    app::StartOptions options;
    options.extraPorts = {pty.path()};
    Form1 form(options);
    form.show();
    bench::RunUntil([&] { return !form.Timer4.isActive(); }, 3000);
    form.Combo3->setCurrentText("115200 ");
    form.MSComm1.setPortName(pty.path());
    form.MSComm1.setSettings("115200,N,8,1");
    form.MSComm1.open();
    form.safetabs1->setActiveTab(MonitorPage::Page);
    if (!qEnvironmentVariableIsSet("BENCH_NOT_STARTED"))
        QMetaObject::invokeMethod(form.control("MonitorStart"), "Click");

    const double cpuBefore = CpuSeconds();
    qint64 sentBytes = 0, sentFrames = 0;
    double writerCpu = 0;
    std::vector<long> rss;
    {
        FullLine line(pty.master, 115200, seconds);
        // The window's own event loop, which sleeps while nothing arrives (processEvents with a
        // time limit would poll without sleeping and measure the poll, not the page).
        QEventLoop loop;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, [&] { rss.push_back(RssKb()); });
        sample.start(10'000);
        QTimer::singleShot(seconds * 1000 + 1100, &loop, &QEventLoop::quit);
        loop.exec();
        sentBytes = line.bytes();
        sentFrames = line.frames();
        writerCpu = line.cpu();
    }
    const double cpu = CpuSeconds() - cpuBefore - writerCpu;
    const monitor::Capture &capture = form.monitorPage->capture();
    QString memory;
    for (long kb : rss)
        memory += QStringLiteral(" %1").arg(kb / 1024);
    std::printf("window at 115200 for %d s: %lld bytes (%lld frames) sent, %lld bytes and %lld "
                "frames taken, %d rows in the table; CPU %.2f s (%.1f %% of one core, the writing "
                "thread left out); resident MB every 10 s:%s\n",
                seconds, qlonglong(sentBytes), qlonglong(sentFrames),
                qlonglong(capture.byteCount()), qlonglong(capture.frameCount()),
                form.monitorPage->frames().rowCount(), cpu, 100.0 * cpu / seconds,
                qPrintable(memory));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int frames = 10'000, seconds = 60, streams = 1'000'000;
    QString only;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--frames")
            frames = args[i + 1].toInt();
        else if (args[i] == "--seconds")
            seconds = args[i + 1].toInt();
        else if (args[i] == "--streams")
            streams = args[i + 1].toInt();
        else if (args[i] == "--only")
            only = args[i + 1];
    }
    if (only.isEmpty() || only == "accuracy") {
        Accuracy(frames, 9600);
        Accuracy(frames, 115200);
    }
    if (only.isEmpty() || only == "robust")
        Robust(streams);
    if (only.isEmpty() || only == "qvctl")
        QvctlKeepsUp(std::min(seconds, 20));
    if (only.isEmpty() || only == "window")
        Window(seconds);
    return 0;
}
