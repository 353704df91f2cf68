#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal pair for tests: the port under test opens slavePath(); the test plays the
// other end on the master side.
class PtyPair
{
public:
    PtyPair()
    {
        int slave = -1;
        if (::openpty(&m_master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        m_path = QString::fromLocal8Bit(::ttyname(slave));
        // The port opens the slave by its path; the test keeps no descriptor of its own on it.
        ::close(slave);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0 && !m_path.isEmpty(); }
    QString slavePath() const { return m_path; }
    int master() const { return m_master; }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    bool write(const QByteArray &bytes)
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // What the port has sent so far, collected across calls (poll it with QTRY_COMPARE).
    QByteArray received()
    {
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_received.append(buffer, n);
        }
        return m_received;
    }
    void clearReceived() { m_received.clear(); }

    // The line settings of the tty as the other end sees them.
    bool attributes(termios *t) const { return ::tcgetattr(m_master, t) == 0; }

private:
    int m_master = -1;
    QString m_path;
    QByteArray m_received;
};
