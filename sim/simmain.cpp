// quorvane-sim: virtual relay modules behind a pseudo-terminal, or behind a network port on
// 127.0.0.1, for trying Quorvane (or any MODBUS master) without hardware and for the end-to-end
// tests.
//
//   quorvane-sim [--module ADDR[:MODEL[:BAUD]][:FAULT]...]... [--link PATH] [--log] [--echo]
//                [--noise P%] [--babble] [--seed N]
//   quorvane-sim [--module ...]... (--tcp PORT | --mbtcp PORT) [--bus-baud RATE] [--log]
//
// Prints the port to open on its first line (the terminal's path, or tcp://127.0.0.1:PORT and
// mbtcp://127.0.0.1:PORT), then serves until killed or until its standard input (when that is a
// pipe) closes.

#include "protocol/hexcodec.h"
#include "sim/bus.h"
#include "sim/gateway.h"
#include "sim/linefaults.h"
#include "sim/linerate.h"
#include "sim/master.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#if defined(__linux__)
#include <sys/inotify.h>
#endif

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int)
{
    stopRequested = 1;
}

void usage(FILE *to)
{
    std::fputs("usage: quorvane-sim [--module ADDR[:MODEL[:BAUD]]]... [--link PATH] [--log]\n"
               "                    [--master] [--echo] [--noise P%] [--babble] [--seed N]\n"
               "       quorvane-sim [--module ...]... (--tcp PORT | --mbtcp PORT)\n"
               "                    [--bus-baud RATE] [--log]\n"
               "  --module  a relay module on the line: address 1..255, model QV-04 or QV-08\n"
               "            (default QV-08), baud rate of the baud list (default 9600);\n"
               "            repeatable; without it one QV-08 at address 1, 9600 baud;\n"
               "            faults after it on purpose: :stuck=N (relay N never switches),\n"
               "            :slow=MS (answers late), :drop=P% (ignores some requests),\n"
               "            :timing=+MS (timed functions run long), e.g. 3:QV-08:9600:stuck=5;\n"
               "            a line format after the rate, 8N1 (default), 8E1, 8O1 or 8N2:\n"
               "            3:QV-08:9600:8E1 hears only a master at 9600 8E1\n"
               "  --link    also make PATH a symbolic link to the terminal\n"
               "  --log     print every frame in and out on standard error\n"
               "  --master  also play a master polling the modules (state reads, switches, now\n"
               "            and then a garbled byte or an absent address): the terminal carries\n"
               "            the whole bus, for the monitor\n"
               "  --echo    the adapter hears itself: every byte written to the terminal comes\n"
               "            straight back, before the modules' answers (with --module at an\n"
               "            address nobody asks, the echo alone)\n"
               "  --noise   P percent of the bytes on the line garbled, both ways (0..100,\n"
               "            fractions allowed: 0.5%)\n"
               "  --babble  a second talker: every 100 ms a frame of its own on the line, heard\n"
               "            by the master and colliding with what the modules say\n"
               "  --seed    the start of the noise's and the babble's sequence (default 1):\n"
               "            the same seed, the same faults\n"
               "  --tcp     serve the modules on 127.0.0.1:PORT, RTU over TCP (0: a free port)\n"
               "  --mbtcp   serve them on 127.0.0.1:PORT as a MODBUS TCP gateway (0: a free port)\n"
               "  --bus-baud  the rate of the bus behind the network port (default 9600)\n"
               "Prints the port to open on its first line and serves until killed or until\n"
               "standard input (a pipe) closes. One client at a time.\n",
               to);
}

enum class Serve { Terminal, Tcp, Mbtcp };

struct Options
{
    std::vector<sim::ModuleConfig> modules;
    std::string link;
    bool log = false;
    bool master = false;
    bool echo = false;
    double noise = 0; // the share of the bytes garbled, 0..1
    bool babble = false;
    std::uint64_t seed = 1;
    Serve serve = Serve::Terminal;
    int tcpPort = 0;
    qint32 busBaud = 9600;
};

bool parseNumber(const std::string &text, long low, long high, long &out)
{
    char *end = nullptr;
    errno = 0;
    out = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == '\0' && errno == 0 && out >= low && out <= high;
}

bool parseArguments(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        const auto takeValue = [&](const std::string &name) {
            if (arg.rfind(name + "=", 0) == 0) {
                value = arg.substr(name.size() + 1);
                return true;
            }
            if (arg == name && i + 1 < argc) {
                value = argv[++i];
                return true;
            }
            return false;
        };
        if (arg == "--log") {
            options.log = true;
        } else if (arg == "--master") {
            options.master = true;
        } else if (arg == "--echo") {
            options.echo = true;
        } else if (arg == "--babble") {
            options.babble = true;
        } else if (takeValue("--noise")) {
            std::string number = value;
            if (!number.empty() && number.back() == '%')
                number.pop_back();
            char *end = nullptr;
            errno = 0;
            const double percent = std::strtod(number.c_str(), &end);
            if (number.empty() || !end || *end != '\0' || errno != 0 || !(percent >= 0) ||
                percent > 100) {
                std::fprintf(stderr, "quorvane-sim: not a share of 0..100%%: %s\n", value.c_str());
                return false;
            }
            options.noise = percent / 100;
        } else if (takeValue("--seed")) {
            long seed = 0;
            if (!parseNumber(value, 0, 2147483647, seed)) {
                std::fprintf(stderr, "quorvane-sim: not a seed: %s\n", value.c_str());
                return false;
            }
            options.seed = static_cast<std::uint64_t>(seed);
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            std::exit(0);
        } else if (takeValue("--module")) {
            const auto config = sim::ParseModuleOption(QString::fromLocal8Bit(value.c_str()));
            if (!config) {
                std::fprintf(stderr, "quorvane-sim: not a module: %s\n", value.c_str());
                return false;
            }
            options.modules.push_back(*config);
        } else if (takeValue("--link")) {
            options.link = value;
        } else if (takeValue("--tcp") || takeValue("--mbtcp")) {
            long port = 0;
            if (!parseNumber(value, 0, 65535, port)) {
                std::fprintf(stderr, "quorvane-sim: not a TCP port: %s\n", value.c_str());
                return false;
            }
            options.serve = arg.rfind("--tcp", 0) == 0 ? Serve::Tcp : Serve::Mbtcp;
            options.tcpPort = static_cast<int>(port);
        } else if (takeValue("--bus-baud")) {
            long rate = 0;
            if (!parseNumber(value, 1, 4000000, rate)) {
                std::fprintf(stderr, "quorvane-sim: not a baud rate: %s\n", value.c_str());
                return false;
            }
            options.busBaud = static_cast<qint32>(rate);
        } else {
            std::fprintf(stderr, "quorvane-sim: unknown argument: %s\n", arg.c_str());
            return false;
        }
    }
    if (options.modules.empty())
        options.modules.push_back(sim::ModuleConfig{});
    if (options.serve != Serve::Terminal && !options.link.empty()) {
        std::fprintf(stderr, "quorvane-sim: --link is for the terminal only\n");
        return false;
    }
    if (options.serve != Serve::Terminal && (options.echo || options.noise > 0 || options.babble)) {
        std::fprintf(stderr, "quorvane-sim: --echo, --noise and --babble are for the terminal "
                             "only\n");
        return false;
    }
    return true;
}

void logLine(const QString &text)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    std::fprintf(stderr, "%s %s\n", qPrintable(stamp), qPrintable(text));
}

sim::Micros monotonicNow()
{
    return std::chrono::duration_cast<sim::Micros>(
        std::chrono::steady_clock::now().time_since_epoch());
}

// The slave side starts raw at 9600 8N1, as a serial port out of the box, so that nothing is
// echoed back before the program on it has set the line up.
bool prepareSlave(const char *path)
{
    const int fd = ::open(path, O_RDWR | O_NOCTTY);
    if (fd < 0)
        return false;
    struct termios t
    {
    };
    bool ok = tcgetattr(fd, &t) == 0;
    if (ok) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        ok = tcsetattr(fd, TCSANOW, &t) == 0;
    }
    ::close(fd);
    return ok;
}

bool lineUp(int master)
{
    struct pollfd p
    {
        master, POLLIN, 0
    };
    return !(::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP));
}

// Writes all of bytes to a non-blocking socket; false when the other side is gone.
bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            struct pollfd p
            {
                fd, POLLOUT, 0
            };
            if (::poll(&p, 1, 100) <= 0)
                return true; // the other side reads nothing: the rest is lost, as on a wire
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

// The modules behind a network port on 127.0.0.1: RTU over TCP (the bytes of the bus as they
// are) or a MODBUS TCP gateway. One client at a time; a second one is turned away.
int serveNetwork(const Options &options, sim::Bus &bus, bool watchInput)
{
    const bool mbtcp = options.serve == Serve::Mbtcp;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int yes = 1;
    struct sockaddr_in address
    {
    };
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(options.tcpPort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::fprintf(stderr, "quorvane-sim: cannot listen on 127.0.0.1:%d: %s\n", options.tcpPort,
                     std::strerror(errno));
        return 1;
    }
    std::printf("%s://127.0.0.1:%d\n", mbtcp ? "mbtcp" : "tcp", int(ntohs(address.sin_port)));
    std::fflush(stdout);

    sim::MbapGateway gateway;
    int client = -1;
    const auto dropClient = [&](const char *why) {
        if (client < 0)
            return;
        ::close(client);
        client = -1;
        bus.dropLine();
        gateway.reset();
        if (options.log)
            logLine(QStringLiteral("the client %1").arg(QString::fromLatin1(why)));
    };

    while (!stopRequested) {
        const sim::Micros now = monotonicNow();
        bus.advance(now);
        for (const QByteArray &answer : bus.takeAnswers()) {
            if (client < 0)
                break;
            const QByteArray out = mbtcp ? gateway.toLink(answer, now) : answer;
            if (!out.isEmpty() && !writeAll(client, out))
                dropClient("went away");
        }

        struct pollfd fds[3] = {{listener, POLLIN, 0},
                                {client, POLLIN, 0},
                                {watchInput ? STDIN_FILENO : -1, POLLIN, 0}};
        struct timespec ts
        {
        };
        const std::optional<sim::Micros> deadline = bus.nextDeadline();
        if (deadline) {
            const sim::Micros wait = std::max(sim::Micros{0}, *deadline - now);
            ts.tv_sec = static_cast<time_t>(wait.count() / 1000000);
            ts.tv_nsec = static_cast<long>(wait.count() % 1000000 * 1000);
        }
        const int ready = ::ppoll(fds, 3, deadline ? &ts : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("quorvane-sim: poll");
            break;
        }

        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0 && client >= 0) {
                ::close(fd); // the bus has one master
            } else if (fd >= 0) {
                client = fd;
                ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
                if (options.log)
                    logLine(QStringLiteral("a client connected"));
            }
        }
        if (client >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[512];
            for (;;) {
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                if (n > 0) {
                    const QByteArrayView bytes(buffer, n);
                    if (!mbtcp) {
                        bus.receive(bytes, options.busBaud, monotonicNow());
                        continue;
                    }
                    for (const QByteArray &frame : gateway.fromLink(bytes, monotonicNow()))
                        bus.receive(frame, options.busBaud, monotonicNow());
                    if (gateway.broken()) {
                        dropClient("sent no MODBUS TCP");
                        break;
                    }
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno == EAGAIN)
                    break;
                dropClient("closed the connection");
                break;
            }
        }
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;
        }
    }
    if (client >= 0)
        ::close(client);
    ::close(listener);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseArguments(argc, argv, options)) {
        usage(stderr);
        return 2;
    }

    struct sigaction sa
    {
    };
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sim::Bus bus;
    for (const sim::ModuleConfig &config : options.modules)
        bus.addModule(config);
    if (options.log) {
        bus.setMonitor([](sim::Bus::Direction direction, QByteArrayView bytes, qint32 rate) {
            logLine(QStringLiteral("%1 %2 %3")
                        .arg(direction == sim::Bus::Direction::In ? QStringLiteral("in ")
                                                                  : QStringLiteral("out"))
                        .arg(rate, 6)
                        .arg(protocol::HexFrameText(bytes)));
        });
        for (int i = 0; i < bus.moduleCount(); ++i) {
            const sim::RelayModule &m = bus.module(i);
            logLine(QStringLiteral("module %1 %2 at %3 baud")
                        .arg(m.address())
                        .arg(m.modelName())
                        .arg(m.baudRate()));
        }
    }

    // Standard input is watched only when it is a pipe or socket: a terminal or /dev/null there
    // would end the program at once.
    struct stat in
    {
    };
    const bool watchInput =
        ::fstat(STDIN_FILENO, &in) == 0 && (S_ISFIFO(in.st_mode) || S_ISSOCK(in.st_mode));
    if (options.serve != Serve::Terminal)
        return serveNetwork(options, bus, watchInput);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("quorvane-sim: pseudo-terminal");
        return 1;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    const char *name = ::ptsname(master);
    if (!name || !prepareSlave(name)) {
        std::perror("quorvane-sim: pseudo-terminal");
        return 1;
    }
    const std::string slavePath = name;

    if (!options.link.empty()) {
        struct stat st
        {
        };
        if (::lstat(options.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(options.link.c_str());
        if (::symlink(slavePath.c_str(), options.link.c_str()) != 0) {
            std::fprintf(stderr, "quorvane-sim: cannot link %s: %s\n", options.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    // While nobody has the terminal open the master reports a hang-up on every poll; to wait
    // without spinning, the opening of the slave is watched instead.
    int openWatch = -1;
#if defined(__linux__)
    openWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (openWatch >= 0 && ::inotify_add_watch(openWatch, slavePath.c_str(), IN_OPEN) < 0) {
        ::close(openWatch);
        openWatch = -1;
    }
#endif

    bool up = lineUp(master);
    const auto goDown = [&] {
        if (!up)
            return;
        up = false;
        bus.dropLine();
        if (options.log)
            logLine(QStringLiteral("the terminal was closed"));
    };
    const auto writeOut = [&](const QByteArray &bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master, bytes.constData() + done, bytes.size() - done);
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                struct pollfd p
                {
                    master, POLLOUT, 0
                };
                if (::poll(&p, 1, 100) <= 0)
                    return; // the other side reads nothing: the rest is lost, as on a wire
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                goDown();
                return;
            }
        }
    };

    // Line faults: bytes garbled on their way, both ways, and a second talker. One sequence from
    // the seed, so that a run repeats.
    sim::LineFaults faults(options.noise, options.seed);
    const sim::Micros babblePeriod{sim::LineFaults::BabblePeriodMs * 1000};
    sim::Micros nextBabble = monotonicNow() + babblePeriod;

    // The master's requests go out on the terminal and to the modules, one poll a period.
    std::vector<std::uint8_t> addresses;
    for (int i = 0; i < bus.moduleCount(); ++i)
        addresses.push_back(static_cast<std::uint8_t>(bus.module(i).address()));
    sim::DemoMaster polling(addresses);
    const sim::Micros masterPeriod{sim::DemoMaster::PeriodMs * 1000};
    sim::Micros nextPoll = monotonicNow();
    const qint32 masterRate = bus.module(0).baudRate();

    while (!stopRequested) {
        sim::Micros now = monotonicNow();
        if (options.master && up && now >= nextPoll) {
            const sim::DemoMaster::Poll poll = polling.next();
            writeOut(poll.wire);
            if (options.echo)
                writeOut(poll.wire); // its adapter hears it too
            bus.receive(poll.request, masterRate, now);
            nextPoll = now + masterPeriod;
        }
        if (options.babble && up && now >= nextBabble) {
            const QByteArray talk = faults.babble();
            writeOut(talk);
            // The modules hear it too: it spoils what they were hearing.
            bus.receive(talk, masterRate, now);
            nextBabble = now + babblePeriod;
        }
        bus.advance(now);
        if (const QByteArray out = bus.takeOutput(); !out.isEmpty() && up)
            writeOut(faults.garble(out));

        struct pollfd fds[3] = {{up ? master : -1, POLLIN, 0},
                                {openWatch, POLLIN, 0},
                                {watchInput ? STDIN_FILENO : -1, POLLIN, 0}};
        std::optional<sim::Micros> wait;
        if (const auto deadline = bus.nextDeadline())
            wait = std::max(sim::Micros{0}, *deadline - now);
        if (options.master && up)
            wait = std::min(wait.value_or(masterPeriod), std::max(sim::Micros{0}, nextPoll - now));
        if (options.babble && up)
            wait =
                std::min(wait.value_or(babblePeriod), std::max(sim::Micros{0}, nextBabble - now));
        if (!up && (openWatch < 0 || !wait || *wait > sim::Micros{500000}))
            wait = sim::Micros{openWatch < 0 ? 20000 : 500000};
        struct timespec ts
        {
        };
        if (wait) {
            ts.tv_sec = static_cast<time_t>(wait->count() / 1000000);
            ts.tv_nsec = static_cast<long>(wait->count() % 1000000 * 1000);
        }
        const int ready = ::ppoll(fds, 3, wait ? &ts : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("quorvane-sim: poll");
            break;
        }

        if (fds[0].revents & POLLIN) {
            char buffer[512];
            for (;;) {
                const ssize_t n = ::read(master, buffer, sizeof buffer);
                if (n > 0) {
                    // An adapter that hears itself hands every byte straight back.
                    if (options.echo)
                        writeOut(QByteArray(buffer, n));
                    // The rate is read for every chunk: the program may change it at any time.
                    sim::CharacterFormat format;
                    const qint32 rate = sim::LineRateOf(master, &format);
                    bus.receive(faults.garble(QByteArray(buffer, n)), rate, format, monotonicNow());
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno == EAGAIN)
                    break;
                goDown(); // EIO: the last holder of the terminal closed it
                break;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            goDown();
        }

        if (fds[1].revents & POLLIN) {
            char events[1024];
            while (::read(openWatch, events, sizeof events) > 0) {
            }
        }
        if (!up && lineUp(master)) {
            up = true;
            if (options.log)
                logLine(QStringLiteral("the terminal was opened"));
        }

        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;
        }
    }

    if (!options.link.empty()) {
        char target[4096];
        const ssize_t n = ::readlink(options.link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath)
            ::unlink(options.link.c_str());
    }
    if (openWatch >= 0)
        ::close(openWatch);
    ::close(master);
    return 0;
}
