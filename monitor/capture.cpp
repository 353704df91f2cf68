#include "monitor/capture.h"

#include "link/echo.h"
#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/timing.h"
#include "monitor/decode.h"

#include <algorithm>
#include <cmath>

namespace monitor {

using modbus::FrameRole;
using modbus::SplitFrame;

namespace {

bool NamesAddress(FrameRole role)
{
    return role != FrameRole::Text && role != FrameRole::Noise && role != FrameRole::Probe;
}

bool AwaitsAnswer(FrameRole role)
{
    return role == FrameRole::Request || role == FrameRole::Probe;
}

} // namespace

qint64 AddressStats::quantileUs(double q) const
{
    if (sample.empty())
        return -1;
    std::vector<qint64> sorted = sample;
    const auto k = static_cast<std::size_t>(std::ceil(q * double(sorted.size()))) - (q > 0 ? 1 : 0);
    const std::size_t at = std::min(k, sorted.size() - 1);
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(at), sorted.end());
    return sorted[at];
}

Capture::Capture(qint32 baudRate) : m_splitter(baudRate) {}

void Capture::received(QByteArrayView bytes, qint64 nowUs)
{
    m_bytes += bytes.size();
    take(m_splitter.feed(bytes, nowUs));
}

void Capture::sent(const QByteArray &frame, qint64 nowUs)
{
    if (frame.isEmpty())
        return;
    SplitFrame f;
    f.bytes = frame;
    f.role = modbus::IsProbe(frame)                     ? FrameRole::Probe
             : static_cast<std::uint8_t>(frame[0]) == 0 ? FrameRole::Broadcast
                                                        : FrameRole::Request;
    f.crcOk = f.role == FrameRole::Probe || modbus::CrcRight(frame);
    f.endUs = nowUs;
    f.startUs =
        nowUs - static_cast<qint64>(modbus::WireTime(frame.size(), m_splitter.baudRate()).count());
    m_splitter.noteSent(f);
    take({f}, true);
}

void Capture::idle(qint64 nowUs)
{
    take(m_splitter.idle(nowUs));
    if (m_splitter.pendingBytes() == 0)
        expire(nowUs);
    release();
}

void Capture::finish()
{
    take(m_splitter.finish());
    expire(std::numeric_limits<qint64>::max());
    release();
}

AddressStats Capture::total() const
{
    AddressStats sum;
    for (const auto &[address, s] : m_stats) {
        sum.requests += s.requests;
        sum.answers += s.answers;
        sum.unanswered += s.unanswered;
        sum.crcErrors += s.crcErrors;
        sum.exceptions += s.exceptions;
        sum.noiseBytes += s.noiseBytes;
        sum.responses += s.responses;
        if (s.minUs >= 0)
            sum.minUs = sum.minUs < 0 ? s.minUs : std::min(sum.minUs, s.minUs);
        sum.maxUs = std::max(sum.maxUs, s.maxUs);
        for (qint64 v : s.sample)
            if (sum.sample.size() < AddressStats::SampleSize)
                sum.sample.push_back(v);
    }
    return sum;
}

void Capture::take(std::vector<SplitFrame> frames, bool sent)
{
    for (const SplitFrame &f : frames) {
        expire(f.startUs);
        add(f, sent);
    }
    release();
}

// A request whose answer did not start by its deadline is unanswered.
void Capture::expire(qint64 nowUs)
{
    if (m_waiting && nowUs > m_deadlineUs) {
        if (m_copy)
            settleCopy();
        else
            m_held[*m_waiting].unanswered = true;
        m_waiting.reset();
    }
}

void Capture::settleCopy()
{
    CapturedFrame &r = m_held[*m_waiting];
    CapturedFrame &c = m_held[*m_copy];
    c.answers = r.index;
    c.responseUs = std::max<qint64>(0, c.frame.startUs - r.frame.endUs);
    c.summary = Summary(c.frame, r.frame.bytes);
    m_copy.reset();
    m_waiting.reset();
}

bool Capture::takeCopy(CapturedFrame &c)
{
    if (!m_waiting)
        return false;
    const CapturedFrame &r = m_held[*m_waiting];
    // In a row: right after the request, or right after its first copy (noise between aside).
    const std::size_t before = m_copy ? *m_copy : *m_waiting;
    if (c.frame.bytes != r.frame.bytes || c.sent)
        return false;
    for (std::size_t k = before + 1; k < m_held.size(); ++k)
        if (m_held[k].frame.role != FrameRole::Noise)
            return false;
    if (m_copy) {
        // A third copy: the second was the adapter's, this one the module's answer.
        m_held[*m_copy].echo = true;
        m_copy.reset();
        c.frame.role = FrameRole::Answer;
        c.answers = r.index;
        c.responseUs = std::max<qint64>(0, c.frame.startUs - r.frame.endUs);
        c.summary = Summary(c.frame, r.frame.bytes);
        m_waiting.reset();
        m_held.push_back(std::move(c));
        return true;
    }
    if (!bus::AnswerCopiesRequest(r.frame.bytes) || c.frame.role == FrameRole::Probe) {
        c.echo = true;
        c.summary = Summary(c.frame);
        m_held.push_back(std::move(c));
        return true;
    }
    // Its echo or its answer: the next frame tells.
    c.summary = Summary(c.frame);
    m_copy = m_held.size();
    m_held.push_back(std::move(c));
    return true;
}

void Capture::add(const SplitFrame &frame, bool sent)
{
    CapturedFrame c;
    c.index = m_next++;
    c.frame = frame;
    c.sent = sent;
    // Start times are estimates: a frame never starts before the one ahead of it ended.
    c.gapUs = m_lastEndUs >= 0 ? std::max<qint64>(0, frame.startUs - m_lastEndUs) : -1;
    m_lastEndUs = std::max(m_lastEndUs, frame.endUs);
    if (NamesAddress(frame.role) && frame.bytes.size() >= 2) {
        c.address = static_cast<std::uint8_t>(frame.bytes[0]);
        c.function = static_cast<std::uint8_t>(frame.bytes[1]);
    }
    if (takeCopy(c))
        return;
    QByteArray request;
    const bool isAnswer = frame.role == FrameRole::Answer || frame.role == FrameRole::Exception;
    if (m_copy) {
        const CapturedFrame &r = m_held[*m_waiting];
        if (isAnswer && r.address == c.address)
            m_held[*m_copy].echo = true; // the copy was the adapter's; this answers
        else
            settleCopy();
        m_copy.reset();
    }
    if (isAnswer && m_waiting) {
        CapturedFrame &r = m_held[*m_waiting];
        if (r.frame.role == FrameRole::Probe || r.address == c.address) {
            c.answers = r.index;
            c.responseUs = std::max<qint64>(0, frame.startUs - r.frame.endUs);
            request = r.frame.bytes;
            m_waiting.reset();
        }
    }
    c.summary = Summary(frame, request);
    if (AwaitsAnswer(frame.role)) {
        expire(std::numeric_limits<qint64>::max()); // a new request: the last one went unanswered
        m_waiting = m_held.size();
        const auto answerTime =
            modbus::WireTime(modbus::LongestAnswer(frame.bytes), m_splitter.baudRate());
        m_deadlineUs = frame.endUs + static_cast<qint64>(answerTime.count()) + answerTimeoutUs();
    }
    m_held.push_back(std::move(c));
}

void Capture::release()
{
    while (!m_held.empty() && !(m_waiting && *m_waiting == 0)) {
        const CapturedFrame f = std::move(m_held.front());
        m_held.pop_front();
        if (m_waiting)
            --*m_waiting;
        if (m_copy)
            --*m_copy;
        count(f);
        if (m_sink)
            m_sink(f);
    }
}

void Capture::count(const CapturedFrame &f)
{
    AddressStats &s = m_stats[f.address];
    if (f.echo)
        return; // the adapter's copy: neither a request nor an answer
    switch (f.frame.role) {
    case FrameRole::Request:
    case FrameRole::Broadcast:
    case FrameRole::Probe:
        ++s.requests;
        s.unanswered += f.unanswered ? 1 : 0;
        break;
    case FrameRole::Answer:
    case FrameRole::Exception:
        ++(f.frame.role == FrameRole::Answer ? s.answers : s.exceptions);
        if (f.responseUs >= 0) {
            ++s.responses;
            s.minUs = s.minUs < 0 ? f.responseUs : std::min(s.minUs, f.responseUs);
            s.maxUs = std::max(s.maxUs, f.responseUs);
            // A uniform sample: the k-th time replaces a kept one with chance SampleSize / k.
            m_random ^= m_random << 13;
            m_random ^= m_random >> 7;
            m_random ^= m_random << 17;
            if (s.sample.size() < AddressStats::SampleSize)
                s.sample.push_back(f.responseUs);
            else if (const auto j = m_random % std::uint64_t(s.responses);
                     j < AddressStats::SampleSize)
                s.sample[std::size_t(j)] = f.responseUs;
        }
        break;
    case FrameRole::Noise:
        s.noiseBytes += f.frame.bytes.size();
        break;
    case FrameRole::Text:
        break;
    }
    if (!f.frame.crcOk && NamesAddress(f.frame.role))
        ++s.crcErrors;
}

} // namespace monitor
