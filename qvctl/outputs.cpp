#include "qvctl/outputs.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qvctl {

namespace {

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

#ifdef Q_OS_UNIX
// Opens something that is not a regular file for writing without waiting for a reader. -1 with
// errno ENXIO: a FIFO nobody reads yet.
int OpenWithoutBlocking(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        // From here on a slow reader slows the writer down; nothing is dropped.
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return fd;
}
#endif

} // namespace

bool ReplacedWhole(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
#else
    const QFileInfo info(path);
    return !info.exists() || (info.isFile() && !info.isSymLink());
#endif
}

QString RemoveEarlierFile(const QString &path)
{
    if (path.isEmpty() || !ReplacedWhole(path) || !QFileInfo::exists(path))
        return {};
    QFile file(path);
    if (file.remove())
        return {};
    return file.errorString();
}

QString WriteWhole(const QString &path, const QByteArray &bytes, int readerWaitMs)
{
    if (ReplacedWhole(path)) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return file.errorString();
        if (file.write(bytes) != bytes.size() || !file.commit())
            return file.errorString();
        return {};
    }
#ifdef Q_OS_UNIX
    QDeadlineTimer deadline(readerWaitMs);
    int fd = OpenWithoutBlocking(path);
    while (fd < 0 && errno == ENXIO && !deadline.hasExpired()) {
        QThread::msleep(50);
        fd = OpenWithoutBlocking(path);
    }
    if (fd < 0)
        return errno == ENXIO ? QStringLiteral("nobody reads the FIFO") : SystemReason(errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            return SystemReason(error);
        }
        done += n;
    }
    if (::close(fd) != 0 && errno != EINTR)
        return SystemReason(errno);
    return {};
#else
    Q_UNUSED(readerWaitMs);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    return {};
#endif
}

std::unique_ptr<QFile> OpenStream(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
#ifdef Q_OS_UNIX
    if (!ReplacedWhole(path)) {
        const int fd = OpenWithoutBlocking(path);
        if (fd < 0) {
            if (errno != ENXIO)
                *error = SystemReason(errno);
            return nullptr;
        }
        if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            *error = file->errorString();
            return nullptr;
        }
        return file;
    }
#endif
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = file->errorString();
        return nullptr;
    }
    return file;
}

QString FlushFailure(QFile &file)
{
    if (file.flush() && file.error() == QFileDevice::NoError)
        return {};
    return file.errorString();
}

} // namespace qvctl
