#include "modbus/splitter.h"

#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/timing.h"

#include <algorithm>

namespace modbus {

namespace {

// A text line longer than this is no AT command.
constexpr qsizetype LongestTextLine = 256;
// A noise record never grows beyond this: a line at the wrong rate gives noise without end.
constexpr qsizetype LongestNoiseRecord = 1024;
// The probe 24 FF 03 A0 00 C6 is six bytes.
constexpr qsizetype ProbeLength = 6;

qint64 Micros(LineTime t)
{
    return static_cast<qint64>(t.count() + 0.5);
}

std::uint8_t At(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

bool IsLetter(std::uint8_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

FrameRole RequestRole(QByteArrayView frame)
{
    return At(frame, 0) == 0 ? FrameRole::Broadcast : FrameRole::Request;
}

FrameRole AnswerRole(QByteArrayView frame)
{
    return (At(frame, 1) & function::ExceptionBit) ? FrameRole::Exception : FrameRole::Answer;
}

FrameSize SizeOf(QByteArrayView start, bool answer)
{
    return answer ? AnswerSizeOf(start) : RequestSizeOf(start);
}

} // namespace

FrameSplitter::FrameSplitter(qint32 baudRate) : m_baud(baudRate) {}

qint64 FrameSplitter::timeOf(qsizetype relative) const
{
    return m_times[std::size_t(m_start + relative)];
}

std::vector<SplitFrame> FrameSplitter::feed(QByteArrayView chunk, qint64 arrivalUs)
{
    std::vector<SplitFrame> out;
    if (chunk.isEmpty())
        return idle(arrivalUs);

    // Rounded down, so that rounding never pushes a byte later than its estimate.
    const qint64 byteUs = static_cast<qint64>(WireTime(1, m_baud, m_format).count());
    const qint64 firstUs = arrivalUs - Micros(WireTime(chunk.size(), m_baud, m_format));
    if (m_seenBytes) {
        // The silence before this chunk, as far as the arrival times tell.
        const qint64 quiet = firstUs - m_lastArrivalUs;
        const Attempt waiting = attempt(false);
        if (waiting.outcome == Outcome::Wait &&
            quiet > waiting.missingUs + Micros(FrameGap(m_baud, m_format)) + AdapterLatencyUs)
            split(out, true);
        if (quiet >= Micros(FrameGap(m_baud, m_format)))
            m_silences.push_back(m_absolute + m_buffer.size());
    }

    // Each byte's start, estimated back from the chunk's arrival; never before the byte ahead
    // of it was through.
    qint64 previousEnd = m_times.empty() ? firstUs : m_times.back() + byteUs;
    if (!m_seenBytes)
        previousEnd = firstUs;
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        const qint64 estimate = arrivalUs - Micros(WireTime(chunk.size() - i, m_baud, m_format));
        const qint64 start = std::max(estimate, previousEnd);
        m_times.push_back(start);
        previousEnd = start + byteUs;
    }
    m_buffer.append(chunk.data(), chunk.size());
    m_lastArrivalUs = std::max(arrivalUs, previousEnd);
    m_seenBytes = true;
    split(out, false);
    return out;
}

std::vector<SplitFrame> FrameSplitter::idle(qint64 nowUs)
{
    std::vector<SplitFrame> out;
    if (!m_seenBytes)
        return out;
    const qint64 quiet = nowUs - m_lastArrivalUs;
    const qint64 settled = Micros(FrameGap(m_baud, m_format)) + AdapterLatencyUs;
    if (pendingBytes() > 0) {
        const Attempt waiting = attempt(false);
        if (waiting.outcome == Outcome::Wait && quiet > waiting.missingUs + settled)
            split(out, true);
    } else if (!m_noise.isEmpty() && quiet > settled) {
        flushNoise(out);
    }
    return out;
}

std::vector<SplitFrame> FrameSplitter::finish()
{
    std::vector<SplitFrame> out;
    split(out, true);
    return out;
}

bool FrameSplitter::answerExpected(QByteArrayView bytes) const
{
    return bytes.size() >= 2 && answerExpectedFrom(bytes.first(2), timeOf(0));
}

// An answer names the function asked for (with the exception bit when it is one); no module
// answers under address 0.
bool FrameSplitter::answerExpectedFrom(QByteArrayView start, qint64 startUs) const
{
    const std::uint8_t address = At(start, 0);
    const auto function = static_cast<std::uint8_t>(At(start, 1) & ~function::ExceptionBit);
    if (!m_expect || address == 0 || startUs > m_expect->untilUs || function != m_expect->function)
        return false;
    return m_expect->any || address == m_expect->address;
}

bool FrameSplitter::silenceAfter(qsizetype relative) const
{
    const qint64 position = m_absolute + m_start + relative;
    return std::find(m_silences.begin(), m_silences.end(), position) != m_silences.end();
}

FrameSplitter::Attempt FrameSplitter::attemptBinary(QByteArrayView bytes, bool answer,
                                                    bool final) const
{
    const auto wait = [&](qsizetype missing) {
        if (final)
            return Attempt{};
        return Attempt{Outcome::Wait, 0, FrameRole::Noise, true, Micros(WireTime(missing, m_baud, m_format))};
    };
    const auto frame = [&](qsizetype length) {
        const QByteArrayView f = bytes.first(length);
        return Attempt{Outcome::Frame, length, answer ? AnswerRole(f) : RequestRole(f), true, 0};
    };
    if (bytes.size() < 2)
        return wait(4 - bytes.size());

    const FrameSize size = SizeOf(bytes, answer);
    switch (size.known) {
    case FrameSize::Known::NeedMoreBytes:
        return wait(1);
    case FrameSize::Known::Lengths: {
        qsizetype missing = 0;
        for (qsizetype length : size.lengths) {
            if (length <= 0)
                continue;
            if (length > bytes.size())
                missing = std::max(missing, length - bytes.size());
            else if (CrcRight(bytes.first(length)))
                return frame(length);
        }
        return missing > 0 ? wait(missing) : Attempt{};
    }
    case FrameSize::Known::UnknownFunction:
        // No length to go by: the frame ends where the line fell silent and its CRC checks.
        for (qsizetype length = 1; length <= std::min(bytes.size(), MaxRtuLength); ++length) {
            const bool silent = silenceAfter(length) || (final && length == bytes.size());
            if (!silent)
                continue;
            if (length >= 4 && CrcRight(bytes.first(length)))
                return frame(length);
            return Attempt{}; // the first silence ends it, and the CRC is wrong
        }
        return bytes.size() >= MaxRtuLength ? Attempt{} : wait(0);
    }
    return {};
}

FrameSplitter::Attempt FrameSplitter::attemptText(QByteArrayView bytes, bool final) const
{
    if (!IsLetter(At(bytes, 0)))
        return {};
    const qsizetype end = std::min(bytes.size(), LongestTextLine);
    for (qsizetype i = 1; i < end; ++i) {
        const std::uint8_t c = At(bytes, i);
        if (c == '\r') {
            if (i + 1 == bytes.size())
                break;
            if (At(bytes, i + 1) != '\n')
                return {};
            return {Outcome::Frame, i + 2, FrameRole::Text, true, 0};
        }
        if (c < 0x20 || c > 0x7E)
            return {};
    }
    if (final || bytes.size() >= LongestTextLine)
        return {};
    return {Outcome::Wait, 0, FrameRole::Text, true, Micros(WireTime(2, m_baud, m_format))};
}

FrameSplitter::Attempt FrameSplitter::attempt(bool final) const
{
    const QByteArrayView bytes = QByteArrayView(m_buffer).sliced(m_start);
    if (bytes.isEmpty())
        return {Outcome::Wait};

    const QByteArray probe = ProbeFrame();
    bool probePrefix = false;
    if (bytes.size() >= ProbeLength && IsProbe(bytes.first(ProbeLength)))
        return {Outcome::Frame, ProbeLength, FrameRole::Probe, true, 0};
    if (bytes.size() < ProbeLength && probe.startsWith(bytes))
        probePrefix = !final;

    // The role expected next is tried first: for the echoed writes a request and its answer
    // are the same bytes.
    // When both readings hold, the shorter one wins: a longer frame whose CRC happens to check
    // over a whole shorter one is the rarer case.
    const bool answerFirst = answerExpected(bytes);
    const Attempt first = attemptBinary(bytes, answerFirst, final);
    const Attempt second = attemptBinary(bytes, !answerFirst, final);
    if (first.outcome == Outcome::Frame &&
        (second.outcome != Outcome::Frame || first.length <= second.length))
        return first;
    if (second.outcome == Outcome::Frame)
        return second;
    const Attempt text = attemptText(bytes, final);
    if (text.outcome == Outcome::Frame)
        return text;

    Attempt waiting{Outcome::Fail};
    for (const Attempt &a : {first, second, text}) {
        if (a.outcome == Outcome::Wait) {
            waiting.outcome = Outcome::Wait;
            waiting.missingUs = std::max(waiting.missingUs, a.missingUs);
        }
    }
    if (probePrefix && waiting.outcome != Outcome::Wait)
        waiting = {Outcome::Wait, 0, FrameRole::Probe, true,
                   Micros(WireTime(ProbeLength - bytes.size(), m_baud, m_format))};
    return waiting;
}

void FrameSplitter::split(std::vector<SplitFrame> &out, bool final)
{
    while (m_start < m_buffer.size()) {
        const Attempt a = attempt(final);
        if (a.outcome == Outcome::Wait)
            break;
        if (a.outcome == Outcome::Frame) {
            flushNoise(out);
            take(out, a.length, a.role, a.crcOk);
            continue;
        }
        // Nothing starts here: one byte is set aside, and the next one is tried.
        if (m_noise.isEmpty())
            m_noiseStartUs = timeOf(0);
        m_noise.append(m_buffer.at(m_start));
        m_noiseEndUs = timeOf(0) + Micros(WireTime(1, m_baud, m_format));
        ++m_start;
        if (m_noise.size() >= LongestNoiseRecord) {
            out.push_back({m_noise, FrameRole::Noise, false, m_noiseStartUs, m_noiseEndUs});
            m_noise.clear();
        }
    }
    if (final)
        flushNoise(out);
    compact();
}

void FrameSplitter::take(std::vector<SplitFrame> &out, qsizetype length, FrameRole role, bool crcOk)
{
    SplitFrame frame;
    frame.bytes = m_buffer.mid(m_start, length);
    frame.role = role;
    frame.crcOk = crcOk;
    frame.startUs = timeOf(0);
    frame.endUs = timeOf(length - 1) + Micros(WireTime(1, m_baud, m_format));
    m_start += length;
    noteCopies(frame.bytes);
    // A request heard three times in a row: the request, its adapter's echo, and the module's
    // answer that copies it.
    if (frame.role == FrameRole::Request && m_copies == 3)
        frame.role = FrameRole::Answer;
    expectAfter(frame);
    out.push_back(std::move(frame));
}

// Bytes set aside end here. When their tail has exactly the length its own first bytes call
// for, it is a frame damaged on the way: it is kept as one, marked by its CRC.
void FrameSplitter::flushNoise(std::vector<SplitFrame> &out)
{
    if (m_noise.isEmpty())
        return;
    const QByteArrayView run(m_noise);
    const qint64 byteUs = Micros(WireTime(1, m_baud, m_format));
    qsizetype damagedAt = -1;
    FrameRole damagedRole = FrameRole::Noise;
    for (qsizetype p = std::max<qsizetype>(0, run.size() - MaxRtuLength - 9);
         p + 4 <= run.size() && damagedAt < 0; ++p) {
        const QByteArrayView tail = run.sliced(p);
        // A damaged answer only where an answer from its address was due.
        const bool answerDue =
            answerExpectedFrom(tail.first(2), m_noiseEndUs - (run.size() - p) * byteUs);
        for (const bool answer : {false, true}) {
            if (answer && !answerDue)
                continue;
            const FrameSize size = SizeOf(tail, answer);
            if (size.known != FrameSize::Known::Lengths)
                continue;
            if (std::find(size.lengths.begin(), size.lengths.end(), tail.size()) !=
                size.lengths.end()) {
                damagedAt = p;
                damagedRole = answer ? AnswerRole(tail) : RequestRole(tail);
                break;
            }
        }
    }
    if (damagedAt != 0) {
        const qsizetype noiseLength = damagedAt < 0 ? run.size() : damagedAt;
        out.push_back({m_noise.first(noiseLength), FrameRole::Noise, false, m_noiseStartUs,
                       m_noiseStartUs + noiseLength * byteUs});
    }
    if (damagedAt >= 0) {
        SplitFrame damaged{m_noise.sliced(damagedAt), damagedRole, false,
                           m_noiseEndUs - (run.size() - damagedAt) * byteUs, m_noiseEndUs};
        expectAfter(damaged);
        out.push_back(std::move(damaged));
    }
    m_noise.clear();
}

void FrameSplitter::noteCopies(const QByteArray &bytes)
{
    m_copies = bytes == m_lastFrame ? m_copies + 1 : 1;
    m_lastFrame = bytes;
}

void FrameSplitter::expectAfter(const SplitFrame &frame)
{
    if (frame.bytes.size() < 2)
        return;
    switch (frame.role) {
    case FrameRole::Request:
    case FrameRole::Probe: {
        const qint64 answerUs = Micros(WireTime(LongestAnswer(frame.bytes), m_baud, m_format));
        const bool probe = frame.role == FrameRole::Probe;
        // The probe is answered as a register read.
        m_expect = Expectation{probe, At(frame.bytes, 0),
                               probe ? function::ReadHoldingRegisters : At(frame.bytes, 1),
                               frame.endUs + answerUs + m_answerTimeoutUs};
        return;
    }
    case FrameRole::Answer:
    case FrameRole::Exception:
        // The probe is answered by every module: its expectation lasts its whole time.
        if (m_expect && !m_expect->any)
            m_expect.reset();
        return;
    case FrameRole::Broadcast:
        m_expect.reset();
        return;
    case FrameRole::Text:
    case FrameRole::Noise:
        return;
    }
}

void FrameSplitter::compact()
{
    if (m_start == 0 || (m_start < m_buffer.size() && m_start < 4096))
        return;
    m_buffer.remove(0, m_start);
    m_times.erase(m_times.begin(), m_times.begin() + m_start);
    m_absolute += m_start;
    m_start = 0;
    while (!m_silences.empty() && m_silences.front() < m_absolute)
        m_silences.pop_front();
}

} // namespace modbus
