#pragma once

#include "modbus/timing.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace modbus {

// What a frame seen on the line is.
enum class FrameRole {
    Request,   // a master's request to one module
    Broadcast, // a request to address 0: every module acts, none answers
    Probe,     // the address probe 24 FF 03 A0 00 C6
    Answer,    // a module's answer
    Exception, // a module's exception answer
    Text,      // a text line ending in CR LF (the AT commands and their answers)
    Noise,     // bytes that belong to no frame
};

// One frame (or one stretch of noise) as it came off the line. Times are in microseconds on the
// clock the chunks were given on.
struct SplitFrame
{
    QByteArray bytes;
    FrameRole role = FrameRole::Noise;
    // The CRC checks (the probe and text lines have none: true). A frame of the right length
    // whose CRC does not check is a damaged frame: its role is what it would have been, crcOk
    // is false.
    bool crcOk = false;
    qint64 startUs = 0; // when its first byte started on the line
    qint64 endUs = 0;   // when its last byte was through
};

// Splits what a passive listener receives into frames, by what the frames are rather than by
// when the bytes arrived: a USB adapter hands bytes over in batches, so the silence between
// frames is lost on the way.
//
// In this order it uses: the length a frame must have from its function code, confirmed by its
// CRC; which of request or answer is expected next (a request is followed by the answer of the
// address it named, for as long as that answer may take); the silence between chunks only as a
// hint (a frame of an unknown function must end where the line fell silent, and a frame still
// waiting for bytes when the line stays quiet is given up); and, when nothing fits, one byte set
// aside as noise before trying again. Text lines ending in CR LF are frames of their own.
//
// Nothing is lost: every byte given ends in exactly one frame or noise record, in order.
class FrameSplitter
{
public:
    // How long an answer may take beyond its own wire time before a request counts as
    // unanswered; the expectation of an answer ends then.
    static constexpr qint64 DefaultAnswerTimeoutUs = 100'000;
    // A USB adapter holds bytes back for up to 16 ms, and a busy machine hands them over later
    // still: a pause shorter than this between chunks says nothing about where a frame ends.
    static constexpr qint64 AdapterLatencyUs = 50'000;

    explicit FrameSplitter(qint32 baudRate = 9600);

    void setBaudRate(qint32 baudRate) { m_baud = baudRate; }
    qint32 baudRate() const { return m_baud; }
    // The line's character format (11 bits a character for 8E1, 8O1 and 8N2).
    void setFormat(CharacterFormat format) { m_format = format; }
    void setAnswerTimeoutUs(qint64 us) { m_answerTimeoutUs = us; }
    qint64 answerTimeoutUs() const { return m_answerTimeoutUs; }

    // A chunk of received bytes whose last byte arrived at arrivalUs. Returns the frames it
    // completes, oldest first.
    std::vector<SplitFrame> feed(QByteArrayView chunk, qint64 arrivalUs);
    // The line has been quiet until nowUs: a frame waiting for bytes that can no longer come in
    // time is given up (its bytes become noise or a damaged frame). Call it every few tens of
    // milliseconds while nothing arrives.
    std::vector<SplitFrame> idle(qint64 nowUs);
    // The end of the capture: everything still held comes out.
    std::vector<SplitFrame> finish();

    // A request this side wrote itself (it is not heard): its answer is expected next.
    void noteSent(const SplitFrame &frame)
    {
        noteCopies(frame.bytes);
        expectAfter(frame);
    }

    // Bytes held while a frame is incomplete.
    qsizetype pendingBytes() const { return m_buffer.size() - m_start; }

private:
    enum class Outcome { Frame, Wait, Fail };
    struct Attempt
    {
        Outcome outcome = Outcome::Fail;
        qsizetype length = 0;
        FrameRole role = FrameRole::Noise;
        bool crcOk = true;
        qint64 missingUs = 0; // for Wait: how long the rest may still take
    };
    struct Expectation
    {
        bool any = false; // the probe: every module answers
        std::uint8_t address = 0;
        std::uint8_t function = 0;
        qint64 untilUs = 0;
    };

    void split(std::vector<SplitFrame> &out, bool final);
    Attempt attempt(bool final) const;
    Attempt attemptBinary(QByteArrayView bytes, bool answer, bool final) const;
    Attempt attemptText(QByteArrayView bytes, bool final) const;
    bool answerExpected(QByteArrayView bytes) const;
    bool answerExpectedFrom(QByteArrayView start, qint64 startUs) const;
    bool silenceAfter(qsizetype relative) const;
    void take(std::vector<SplitFrame> &out, qsizetype length, FrameRole role, bool crcOk);
    void flushNoise(std::vector<SplitFrame> &out);
    void expectAfter(const SplitFrame &frame);
    // Counts the frames in a row with the same bytes as this one.
    void noteCopies(const QByteArray &bytes);
    qint64 timeOf(qsizetype relative) const;
    void compact();

    CharacterFormat m_format;
    qint32 m_baud;
    qint64 m_answerTimeoutUs = DefaultAnswerTimeoutUs;
    QByteArray m_buffer;
    std::vector<qint64> m_times;   // when each held byte started on the line
    qsizetype m_start = 0;         // the first byte still held
    qint64 m_absolute = 0;         // bytes dropped from the front of m_buffer so far
    std::deque<qint64> m_silences; // absolute positions of bytes that followed a silence
    qint64 m_lastArrivalUs = 0;
    bool m_seenBytes = false;
    QByteArray m_noise;
    qint64 m_noiseStartUs = 0;
    qint64 m_noiseEndUs = 0;
    std::optional<Expectation> m_expect;
    QByteArray m_lastFrame; // the bytes of the last frame
    int m_copies = 0;       // how many frames in a row had them
};

} // namespace modbus
