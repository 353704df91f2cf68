#include "modbus/frames.h"

#include <algorithm>

namespace modbus {

namespace {

constexpr char ProbeBytes[] = {'\x24', '\xFF', '\x03', '\xA0', '\x00', '\xC6'};

std::uint8_t At(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

} // namespace

QByteArray ProbeFrame()
{
    return QByteArray(ProbeBytes, sizeof ProbeBytes);
}

bool IsProbe(QByteArrayView frame)
{
    return frame == QByteArrayView(ProbeBytes, sizeof ProbeBytes);
}

FrameSize RequestSizeOf(QByteArrayView start)
{
    using Known = FrameSize::Known;
    switch (At(start, 1)) {
    case function::ReadCoils:
    case function::ReadDiscreteInputs:
    case function::ReadHoldingRegisters:
    case function::ReadInputRegisters:
    case function::WriteSingleCoil:
    case function::WriteSingleRegister:
    case function::DelayedOn:
    case function::DelayedOff:
    case function::Jog:
        return {Known::Lengths, {8, 0}};
    case function::WriteMultipleCoils:
    case function::WriteMultipleRegisters:
        // Address, function, start, count, byte count, the bytes, CRC.
        if (start.size() < 7)
            return {Known::NeedMoreBytes, {}};
        return {Known::Lengths, {9 + At(start, 6), 0}};
    case function::DelayedOnAll:
    case function::DelayedOffAll:
    case function::JogAll:
        // The all-channel timed functions carry four or eight time pairs.
        return {Known::Lengths, {14, 22}};
    default:
        return {Known::UnknownFunction, {}};
    }
}

FrameSize AnswerSizeOf(QByteArrayView start)
{
    using Known = FrameSize::Known;
    const std::uint8_t code = At(start, 1);
    if (code & function::ExceptionBit)
        return {Known::Lengths, {ExceptionLength, 0}};
    switch (code) {
    case function::ReadCoils:
    case function::ReadDiscreteInputs:
    case function::ReadHoldingRegisters:
    case function::ReadInputRegisters:
        // Address, function, byte count, the bytes, CRC.
        if (start.size() < 3)
            return {Known::NeedMoreBytes, {}};
        return {Known::Lengths, {5 + At(start, 2), 0}};
    case function::WriteMultipleCoils:
    case function::WriteMultipleRegisters:
        return {Known::Lengths, {8, 0}};
    default:
        return RequestSizeOf(start);
    }
}

qsizetype AnswerLength(QByteArrayView request)
{
    if (IsProbe(request))
        return RegisterAnswerLength;
    if (request.size() < 4)
        return 0;
    switch (At(request, 1)) {
    case function::WriteSingleCoil:
    case function::WriteSingleRegister:
    case function::DelayedOn:
    case function::DelayedOnAll:
    case function::DelayedOff:
    case function::DelayedOffAll:
    case function::Jog:
    case function::JogAll:
        return request.size();
    case function::WriteMultipleCoils:
    case function::WriteMultipleRegisters:
        return 8;
    case function::ReadCoils:
    case function::ReadDiscreteInputs:
        if (request.size() != 8)
            return 0;
        return 5 + ((At(request, 4) << 8 | At(request, 5)) + 7) / 8;
    case function::ReadHoldingRegisters:
    case function::ReadInputRegisters:
        if (request.size() != 8)
            return 0;
        return 5 + 2 * (At(request, 4) << 8 | At(request, 5));
    default:
        return 0;
    }
}

qsizetype LongestAnswer(QByteArrayView request)
{
    return std::max(AnswerLength(request), ExceptionLength);
}

} // namespace modbus
