#pragma once

// Starts quorvane-sim for a test and stops it again by its process id.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

class SimProcess
{
public:
    explicit SimProcess(const QStringList &arguments)
    {
        m_process.setProgram(QStringLiteral(QUORVANE_SIM));
        m_process.setArguments(arguments);
        m_process.start();
        m_pid = m_process.processId();
    }
    ~SimProcess() { stop(); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // True once the first line, the terminal's path, has been read.
    bool ready()
    {
        if (m_path.isEmpty() && m_process.canReadLine())
            m_path = QString::fromLocal8Bit(m_process.readLine().trimmed());
        return !m_path.isEmpty();
    }
    QString path() const { return m_path; }
    // What it printed on standard error so far (its log with --log).
    QByteArray log()
    {
        m_log += m_process.readAllStandardError();
        return m_log;
    }
    bool logged(const QByteArray &text) { return log().contains(text); }
    qint64 pid() const { return m_pid; }
    QProcess &process() { return m_process; }

    void stop()
    {
        if (m_pid > 0 && m_process.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(m_pid), SIGTERM);
            if (!m_process.waitForFinished(5000))
                ::kill(static_cast<pid_t>(m_pid), SIGKILL);
            m_process.waitForFinished(5000);
        }
        m_pid = 0;
    }

private:
    QProcess m_process;
    qint64 m_pid = 0;
    QString m_path;
    QByteArray m_log;
};

// A terminal opened the plain way: raw, 8N1, at a rate with a B constant.
class RawTerminal
{
public:
    RawTerminal() = default;
    ~RawTerminal() { close(); }
    RawTerminal(const RawTerminal &) = delete;
    RawTerminal &operator=(const RawTerminal &) = delete;

    bool open(const QString &path, speed_t speed)
    {
        close();
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return m_fd >= 0 && setSpeed(speed);
    }
    bool setSpeed(speed_t speed)
    {
        struct termios t
        {
        };
        if (::tcgetattr(m_fd, &t) != 0)
            return false;
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        return ::tcsetattr(m_fd, TCSANOW, &t) == 0;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), bytes.size()) == bytes.size();
    }
    // Everything received so far (collected on each call).
    QByteArray received()
    {
        char buffer[256];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
            m_received.append(buffer, n);
        return m_received;
    }
    void clear()
    {
        received();
        m_received.clear();
    }

private:
    int m_fd = -1;
    QByteArray m_received;
};
