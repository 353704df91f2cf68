// qvctl: the relay modules from the command line, for scripts, test benches and production lines.

#include "qvctl/report.h"
#include "qvctl/runner.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

bool standardOutputClosed = false;

// Writes and flushes; false with errno set when not everything went out.
bool Write(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const bool written = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to) ==
                         std::size_t(bytes.size());
    return std::fflush(to) == 0 && written;
}

} // namespace

int main(int argc, char **argv)
{
#ifndef _WIN32
    // A closed standard output must not be taken over by the port opened next: results would go
    // to the module. /dev/null holds its place, and every result counts as not written.
    if (::fcntl(STDOUT_FILENO, F_GETFD) < 0 && errno == EBADF) {
        standardOutputClosed = true;
        const int fd = ::open("/dev/null", O_WRONLY);
        if (fd >= 0 && fd != STDOUT_FILENO) {
            ::dup2(fd, STDOUT_FILENO);
            ::close(fd);
        }
    }
    // A reader that went away is a write that failed, said as such, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    const auto out = [](const QString &text) {
        if (!qvctl::StandardOutputFailure().isEmpty())
            return;
        if (standardOutputClosed)
            qvctl::NoteStandardOutputFailure(QString::fromLocal8Bit(std::strerror(EBADF)));
        else if (!Write(stdout, text))
            qvctl::NoteStandardOutputFailure(QString::fromLocal8Bit(std::strerror(errno)));
    };
    const auto err = [](const QString &text) { Write(stderr, text); };
    const int status = qvctl::Main(QCoreApplication::arguments(), out, err);
    const QString failure = qvctl::StandardOutputFailure();
    if (failure.isEmpty())
        return status;
    err(QStringLiteral("qvctl: cannot write standard output: %1\n").arg(failure));
    return int(qvctl::Exit::Port);
}
