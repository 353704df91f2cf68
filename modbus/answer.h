#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace modbus {

// How the bytes received after a request read.
enum class Verdict {
    Incomplete,    // not all of the answer yet
    Good,          // the answer the request asks for
    Exception,     // a MODBUS exception answer
    BadCrc,        // the CRC does not match
    WrongAddress,  // another address answered
    WrongFunction, // another function answered
    Mismatch,      // the right frame, the wrong content (an echo that differs, a byte count)
};

struct Check
{
    Verdict verdict = Verdict::Incomplete;
    // The bytes the answer takes from the start of the received bytes (0 while incomplete).
    qsizetype length = 0;
    // What went wrong, one line (empty for Good and Incomplete).
    QString message;
};

// Checks the bytes received after request. Incomplete until the answer's length is there (five
// bytes for an exception answer). Then, in this order: the CRC, the address (the probe takes
// any), the function, and the content: an echo must match byte for byte, a multiple write must
// repeat the start and count, a read must carry the byte count asked for, and a probe answer
// must name the same address in byte 0 and byte 4.
Check CheckAnswer(const QByteArray &request, const QByteArray &received);

// Checks the bytes received after a request whose answer has no known length (AnswerLength 0),
// taken whole as one answer once the line has gone quiet: its CRC, its address, then either an
// exception answer of five bytes or the function asked. The content is not judged. Incomplete
// only when nothing came.
Check CheckWholeAnswer(const QByteArray &request, const QByteArray &received);

// A register value of a good 03 answer (register k, 0-based).
std::uint16_t RegisterValue(const QByteArray &answer, int k = 0);

// The answers of several modules to one-register reads (the probe, the scan), as they arrive
// one after the other: A 03 02 HI LO CRC, or the exception answer A 83 CODE CRC.
struct RegisterAnswer
{
    std::uint8_t address = 0;
    bool exception = false;
    std::uint16_t value = 0; // the register, or the exception code
    friend bool operator==(const RegisterAnswer &, const RegisterAnswer &) = default;
};

// Takes every whole answer from the front of buffer; bytes that start no answer are dropped
// one by one (garbledBytes counts them), a partial answer at the end stays for more bytes.
std::vector<RegisterAnswer> TakeRegisterAnswers(QByteArray &buffer, int *garbledBytes = nullptr);

} // namespace modbus
