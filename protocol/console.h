#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>

namespace protocol {

// The serial console: what its text send puts on the line, the CRC calculator's reading of typed
// bytes, how received data is shaped into lines for the receive box, and how much of the box is
// kept. No widgets.

// A text send: CR LF appended, then leading and trailing spaces of the result removed (so the
// typed text loses its leading spaces and keeps the spaces before the line end).
// "  hello " is sent as "hello \r\n". A line break typed into the text goes out as CR LF too.
QString ConsoleSendText(const QString &typed);

// The calculator's input: every space removed, then pairs of hex digits (either case), one byte
// per pair. Input that is not whole pairs of hex digits is refused.
struct CrcInput
{
    enum class Problem {
        None,
        Empty,            // nothing but spaces
        InvalidCharacter, // a character that is neither a hex digit nor a space
        LoneDigit,        // an odd number of hex digits: the last one has no partner
    };
    QByteArray bytes; // all bytes when there is no problem, else empty
    Problem problem = Problem::None;
    // Index in the typed text of the offending character; -1 when there is none.
    qsizetype position = -1;

    bool ok() const { return problem == Problem::None; }
};
CrcInput ReadCrcInput(QStringView text);

// The calculator's result: the CRC's low byte then its high byte, upper-case hex, each byte
// without a leading zero ("8C3A" for 01 05 00 00 FF 00, "84A" for 01 03 00 00 00 01).
QString CrcResultText(QByteArrayView bytes);

// What the input box's tooltip says about refused input; empty for good or empty input.
QString CrcProblemText(const CrcInput &input, QStringView text);

// Shapes received data into the lines of the receive box. A line break arrives as CR LF, CR or
// LF (a CR LF split across arrivals too) and becomes one break. No line grows without end: text
// is broken after maxLine characters, hex after a whole number of bytes that fits hexBytesPerLine.
// With time stamps on, every chunk starts on a line of its own behind its stamp.
class ConsoleLines
{
public:
    static constexpr int DefaultMaxLine = 1024;

    explicit ConsoleLines(int maxLine = DefaultMaxLine, int hexBytesPerLine = 16);

    void setHexBytesPerLine(int bytes);
    int hexBytesPerLine() const { return m_hexBytes; }
    int maxLine() const { return m_maxLine; }

    // What to append for one received chunk; stamp is put in front of it (empty: none).
    QString text(QStringView chunk, const QString &stamp = {});
    QString hex(QByteArrayView bytes, const QString &stamp = {});

    // A line of the program's own (not received data), on a line of its own.
    QString note(const QString &text);

    // The box was emptied: the next chunk starts a new first line.
    void reset();
    // Characters on the last line so far.
    int lineLength() const { return m_line; }

private:
    QString startChunk(const QString &stamp);
    void breakLine(QString &out);

    int m_maxLine;
    int m_hexBytes;
    int m_line = 0;
    bool m_afterCr = false;
    bool m_lineHasData = false; // the last line holds data, not only a stamp
};

// How much of the receive box is kept: at least the newest `lines` lines or the newest
// `characters` characters, whichever is less. Older whole lines are dropped.
struct BoxLimits
{
    qsizetype lines = 50'000;
    qsizetype characters = 8 * 1024 * 1024;
};

// How many of the oldest lines to drop. A line's length counts its line break. lengthOf(i) is
// the length of line i, oldest first; it is asked only for the lines that are dropped and the
// one after them. A line is dropped while what stays still holds `lines` lines or `characters`
// characters; the newest line is never dropped.
qsizetype OldLinesToDrop(qsizetype lineCount, qsizetype characterCount,
                         const std::function<qsizetype(qsizetype)> &lengthOf,
                         const BoxLimits &limits);

} // namespace protocol
