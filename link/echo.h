#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Many RS485 adapters hear their own transmission: what the master writes comes straight back
// before the module's answer (or alone, when no module answers). These functions tell the
// adapter's copy of a request from the answer behind it; they hold no state.
namespace bus {

// How the master treats the line.
enum class Echo {
    Auto, // learns the line from what comes back (one state read at most, before a request
          // whose answer is a copy of itself)
    Drop, // the line echoes: the leading copy of each request is the adapter's, taken off
    None, // the line does not echo: answers are read as they come
};

// "auto", "drop", "none"; none for other text.
std::optional<Echo> EchoFromText(const QString &text);
QString EchoText(Echo echo);

// True when the true answer to request is a byte-for-byte copy of it (05, 06, 0x30..0x35): on
// such a request one copy back tells nothing about the line.
bool AnswerCopiesRequest(const QByteArray &request);

// The bytes received after a request, split into the adapter's copy and what follows it.
struct EchoSplit
{
    qsizetype echoLength = 0; // a whole copy of the request at the front: its length, else 0
    bool partial = false;     // the bytes so far are the start of a copy still arriving
    QByteArray rest;          // what follows the copy (all of the bytes when there is none)
    bool whole() const { return echoLength > 0; }
};

// Splits one copy of request off the front of received. A copy that breaks off before its end
// and is followed by other bytes is no copy.
EchoSplit SplitEcho(const QByteArray &request, const QByteArray &received);

// What the bytes received after a request show about the line.
enum class EchoSeen {
    Unknown, // nothing yet, an answer that may or may not be the adapter's, or garbled bytes
    Present, // a copy of the request where the true answer differs, or two copies
    Absent,  // a whole answer that differs from its request came first
};

// Judges received (everything that came after request, so far or in all): a copy of a request
// whose true answer differs, a copy followed by a whole answer, or two copies show an echo; a
// whole answer (good or exception) that is no copy shows none. One copy of a request whose true
// answer is that copy, a partial copy or silence show nothing.
EchoSeen JudgeEcho(const QByteArray &request, const QByteArray &received);

} // namespace bus
