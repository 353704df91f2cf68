#pragma once

// The far end of a line writing bytes at the line's pace: byte k goes out 10 * k bit times after
// the first, on a thread of its own so that a busy window does not slow the line down.

#include <QByteArray>

#include <chrono>
#include <thread>

#include <unistd.h>

class PacedPeer
{
public:
    PacedPeer(int fd, const QByteArray &bytes, int baud)
        : m_thread([fd, bytes, baud] {
              const auto start = std::chrono::steady_clock::now();
              const std::chrono::microseconds perByte(10'000'000 / baud);
              for (qsizetype k = 0; k < bytes.size(); ++k) {
                  std::this_thread::sleep_until(start + k * perByte);
                  if (::write(fd, bytes.constData() + k, 1) != 1)
                      return;
              }
          })
    {}
    // Waits until every byte is written.
    ~PacedPeer() { m_thread.join(); }
    PacedPeer(const PacedPeer &) = delete;
    PacedPeer &operator=(const PacedPeer &) = delete;

private:
    std::thread m_thread;
};
