#include "modbus/answer.h"

#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/names.h"

#include <optional>

namespace modbus {

namespace {

std::uint8_t At(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

// "01 05 00 00": two upper-case digits a byte, one space between bytes.
QString Hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

QString HexByte(std::uint8_t byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

Check Fail(Verdict verdict, qsizetype length, const QString &message)
{
    return {verdict, length, message};
}

// Who the request asks and what: the probe asks any address with a read.
struct Asked
{
    bool probe = false;
    std::uint8_t address = 0;
    std::uint8_t function = 0;
};

Asked AskedBy(const QByteArray &request)
{
    Asked asked;
    asked.probe = IsProbe(request);
    asked.address = request.isEmpty() ? 0 : At(request, 0);
    asked.function =
        asked.probe ? function::ReadHoldingRegisters : (request.size() > 1 ? At(request, 1) : 0);
    return asked;
}

bool IsException(const Asked &asked, const QByteArray &received)
{
    return received.size() >= 2 && At(received, 1) == (asked.function | function::ExceptionBit);
}

// The checks every whole answer gets first: its CRC, then its address (the probe takes any).
std::optional<Check> CheckCrcAndAddress(const Asked &asked, const QByteArray &answer)
{
    if (!CrcRight(answer))
        return Fail(Verdict::BadCrc, answer.size(),
                    QStringLiteral("bad CRC in the answer %1").arg(Hex(answer)));
    if (!asked.probe && At(answer, 0) != asked.address)
        return Fail(Verdict::WrongAddress, answer.size(),
                    QStringLiteral("address %1 answered instead of %2: %3")
                        .arg(At(answer, 0))
                        .arg(asked.address)
                        .arg(Hex(answer)));
    return std::nullopt;
}

// A whole exception answer.
Check CheckException(const Asked &asked, const QByteArray &answer)
{
    if (const auto failed = CheckCrcAndAddress(asked, answer))
        return *failed;
    const std::uint8_t code = At(answer, 2);
    return Fail(Verdict::Exception, answer.size(),
                QStringLiteral("exception %1 (%2) from address %3 to function %4")
                    .arg(HexByte(code), ExceptionName(code))
                    .arg(At(answer, 0))
                    .arg(HexByte(asked.function)));
}

// A whole answer that is not an exception answer: CRC, address, function.
std::optional<Check> CheckFrame(const Asked &asked, const QByteArray &answer)
{
    if (const auto failed = CheckCrcAndAddress(asked, answer))
        return failed;
    if (At(answer, 1) != asked.function)
        return Fail(Verdict::WrongFunction, answer.size(),
                    QStringLiteral("function %1 answered instead of %2: %3")
                        .arg(HexByte(At(answer, 1)), HexByte(asked.function), Hex(answer)));
    return std::nullopt;
}

} // namespace

Check CheckAnswer(const QByteArray &request, const QByteArray &received)
{
    const Asked asked = AskedBy(request);
    if (IsException(asked, received)) {
        if (received.size() < ExceptionLength)
            return {};
        return CheckException(asked, received.first(ExceptionLength));
    }

    qsizetype length = AnswerLength(request);
    const bool read = !asked.probe && asked.function >= function::ReadCoils &&
                      asked.function <= function::ReadInputRegisters;
    if (read && received.size() >= 3 && At(received, 1) == asked.function &&
        At(received, 2) != length - 5) {
        // A read answer with another byte count: judged whole, by its own length.
        length = 5 + At(received, 2);
    }
    if (length == 0 || received.size() < length)
        return {};
    const QByteArray answer = received.first(length);
    if (const auto failed = CheckFrame(asked, answer))
        return *failed;

    switch (asked.function) {
    case function::ReadCoils:
    case function::ReadDiscreteInputs:
    case function::ReadHoldingRegisters:
    case function::ReadInputRegisters:
        if (At(answer, 2) != AnswerLength(request) - 5 ||
            (asked.probe && At(answer, 0) != At(answer, 4)))
            return Fail(Verdict::Mismatch, length,
                        QStringLiteral("not the answer asked for: %1").arg(Hex(answer)));
        break;
    case function::WriteMultipleCoils:
    case function::WriteMultipleRegisters:
        if (answer.first(6) != request.first(6))
            return Fail(Verdict::Mismatch, length,
                        QStringLiteral("the answer %1 does not repeat the coils of %2")
                            .arg(Hex(answer), Hex(request)));
        break;
    default:
        if (answer != request)
            return Fail(Verdict::Mismatch, length,
                        QStringLiteral("the echo %1 differs from the request %2")
                            .arg(Hex(answer), Hex(request)));
        break;
    }
    return {Verdict::Good, length, {}};
}

Check CheckWholeAnswer(const QByteArray &request, const QByteArray &received)
{
    const Asked asked = AskedBy(request);
    if (received.isEmpty())
        return {};
    if (IsException(asked, received) && received.size() == ExceptionLength)
        return CheckException(asked, received);
    if (const auto failed = CheckFrame(asked, received))
        return *failed;
    return {Verdict::Good, received.size(), {}};
}

std::uint16_t RegisterValue(const QByteArray &answer, int k)
{
    const qsizetype at = 3 + 2 * qsizetype(k);
    if (answer.size() < at + 2)
        return 0;
    return static_cast<std::uint16_t>(At(answer, at) << 8 | At(answer, at + 1));
}

std::vector<RegisterAnswer> TakeRegisterAnswers(QByteArray &buffer, int *garbledBytes)
{
    // Walks the buffer once and removes what was used in one go at the end: garbage is skipped
    // byte by byte without moving the rest each time.
    std::vector<RegisterAnswer> answers;
    const QByteArrayView bytes(buffer);
    int garbled = 0;
    qsizetype at = 0;
    while (bytes.size() - at >= 2) {
        const QByteArrayView rest = bytes.sliced(at);
        const std::uint8_t function = At(rest, 1);
        if (function == 0x83) {
            if (rest.size() < ExceptionLength)
                break;
            if (CrcRight(rest.first(ExceptionLength))) {
                answers.push_back({At(rest, 0), true, At(rest, 2)});
                at += ExceptionLength;
                continue;
            }
        } else if (function == 0x03) {
            if (rest.size() < 3)
                break;
            if (At(rest, 2) == 0x02) {
                if (rest.size() < RegisterAnswerLength)
                    break;
                if (CrcRight(rest.first(RegisterAnswerLength))) {
                    answers.push_back(
                        {At(rest, 0), false,
                         RegisterValue(rest.first(RegisterAnswerLength).toByteArray())});
                    at += RegisterAnswerLength;
                    continue;
                }
            }
        }
        ++at;
        ++garbled;
    }
    buffer.remove(0, at);
    if (garbledBytes)
        *garbledBytes = garbled;
    return answers;
}

} // namespace modbus
