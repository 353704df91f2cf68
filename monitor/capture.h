#pragma once

#include "modbus/splitter.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace monitor {

// One frame of a capture, decoded, paired and timed. Times are microseconds since the Unix
// epoch.
struct CapturedFrame
{
    qint64 index = 0; // 1, 2, 3 ... in the order of the line
    modbus::SplitFrame frame;
    bool sent = false;       // sent by this program, not heard from another master
    qint64 gapUs = -1;       // from the end of the frame before; -1 for the first
    int address = -1;        // -1 for text and noise
    int function = -1;       // -1 for text and noise
    QString summary;         // what it says, in words
    qint64 answers = 0;      // an answer: the index of the request it answers (0: none)
    qint64 responseUs = -1;  // an answer: from the end of its request to its own first byte
    bool unanswered = false; // a request whose answer did not come in time
    // A copy of the request just before it, heard back: the adapter's echo, no answer.
    bool echo = false;
};

// Counters of one address (or of the whole line).
struct AddressStats
{
    qint64 requests = 0;
    qint64 answers = 0;
    qint64 unanswered = 0;
    qint64 crcErrors = 0;
    qint64 exceptions = 0;
    qint64 noiseBytes = 0;
    qint64 responses = 0; // response times measured
    qint64 minUs = -1, maxUs = -1;
    std::vector<qint64> sample; // response times, a uniform sample of at most SampleSize

    static constexpr std::size_t SampleSize = 10'000;
    // The response time at quantile q (0.5 the median, 0.95 the 95th percentile); -1 for none.
    qint64 quantileUs(double q) const;
};

// A capture of one line: bytes in, frames out, decoded, with each request paired to its answer
// and counted by address. A request is held back until its answer comes or its time runs out,
// so every frame comes out once, complete. A request heard twice in a row is the adapter's echo
// and the second copy never its answer; where the true answer is a copy of the request (05, 06,
// the timed functions) a second copy is the answer unless a third copy or another answer from
// the address follows. Pure: the caller gives the times.
class Capture
{
public:
    using Sink = std::function<void(const CapturedFrame &)>;

    explicit Capture(qint32 baudRate = 9600);

    void setBaudRate(qint32 baudRate) { m_splitter.setBaudRate(baudRate); }
    qint32 baudRate() const { return m_splitter.baudRate(); }
    void setFormat(modbus::CharacterFormat format) { m_splitter.setFormat(format); }
    // The wait for an answer beyond its wire time (default 100 ms).
    void setAnswerTimeoutUs(qint64 us) { m_splitter.setAnswerTimeoutUs(us); }
    qint64 answerTimeoutUs() const { return m_splitter.answerTimeoutUs(); }
    // Receives every finished frame, in the order of the line.
    void setSink(Sink sink) { m_sink = std::move(sink); }

    // Bytes heard, the last of them arriving at nowUs.
    void received(QByteArrayView bytes, qint64 nowUs);
    // A request this program wrote, its last byte out at nowUs.
    void sent(const QByteArray &frame, qint64 nowUs);
    // Nothing arrived until nowUs.
    void idle(qint64 nowUs);
    // The end: everything held comes out.
    void finish();

    // Counters by address (-1: noise and text, which name none); total() sums every address.
    const std::map<int, AddressStats> &stats() const { return m_stats; }
    AddressStats total() const;
    qint64 frameCount() const { return m_next - 1; }
    qint64 byteCount() const { return m_bytes; }
    // Forgets the counters (frames already out stay out).
    void clearStats() { m_stats.clear(); }

private:
    void take(std::vector<modbus::SplitFrame> frames, bool sent = false);
    void add(const modbus::SplitFrame &frame, bool sent);
    void expire(qint64 nowUs);
    void release();
    void count(const CapturedFrame &f);
    void answer(CapturedFrame &answer, CapturedFrame &request);
    // The waiting request's copy held back is its answer after all.
    void settleCopy();
    // A frame heard back that copies the waiting request: true when taken as such.
    bool takeCopy(CapturedFrame &c);

    modbus::FrameSplitter m_splitter;
    Sink m_sink;
    std::deque<CapturedFrame> m_held;     // frames waiting behind a request that awaits its answer
    std::optional<std::size_t> m_waiting; // the request in m_held that awaits its answer
    std::optional<std::size_t> m_copy;    // a copy of it in m_held: its echo or its answer
    qint64 m_deadlineUs = 0;
    qint64 m_lastEndUs = -1;
    qint64 m_next = 1;
    qint64 m_bytes = 0;
    std::map<int, AddressStats> m_stats;
    std::uint64_t m_random = 0x2545F4914F6CDD1DULL;
};

} // namespace monitor
