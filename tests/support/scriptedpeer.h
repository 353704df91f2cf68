#pragma once

// The far end of a pseudo-terminal that answers by a script: for each frame it hears (of the
// length the script says), after a delay, the script's bytes at the line's pace, or nothing.
// It runs on a thread of its own, so a busy test does not slow the line down.

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <poll.h>
#include <unistd.h>

class ScriptedPeer
{
public:
    struct Step
    {
        qsizetype heard = 8; // the length of the frame to hear
        QByteArray reply;    // empty: silence
        int delayMs = 0;     // from the frame heard to the reply's first byte
    };

    ScriptedPeer(int fd, QList<Step> script, int baud)
        : m_thread([this, fd, script, baud] { run(fd, script, baud); })
    {}
    ~ScriptedPeer()
    {
        m_stop = true;
        m_thread.join();
    }
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    // The frames heard so far.
    QList<QByteArray> heard() const
    {
        std::lock_guard lock(m_mutex);
        return m_heard;
    }

private:
    void run(int fd, const QList<Step> &script, int baud)
    {
        QByteArray pending;
        const std::chrono::microseconds perByte(10'000'000 / baud);
        for (const Step &step : script) {
            while (pending.size() < step.heard) {
                if (m_stop)
                    return;
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                char buffer[256];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    pending.append(buffer, n);
            }
            {
                std::lock_guard lock(m_mutex);
                m_heard.append(pending.first(step.heard));
            }
            pending.remove(0, step.heard);
            const auto start =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(step.delayMs);
            for (qsizetype k = 0; k < step.reply.size() && !m_stop; ++k) {
                std::this_thread::sleep_until(start + k * perByte);
                if (::write(fd, step.reply.constData() + k, 1) != 1)
                    return;
            }
        }
    }

    mutable std::mutex m_mutex;
    QList<QByteArray> m_heard;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
