#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace modbus {

// The function codes the program meets on the line.
namespace function {
inline constexpr std::uint8_t ReadCoils = 0x01;
inline constexpr std::uint8_t ReadDiscreteInputs = 0x02;
inline constexpr std::uint8_t ReadHoldingRegisters = 0x03;
inline constexpr std::uint8_t ReadInputRegisters = 0x04;
inline constexpr std::uint8_t WriteSingleCoil = 0x05;
inline constexpr std::uint8_t WriteSingleRegister = 0x06;
inline constexpr std::uint8_t WriteMultipleCoils = 0x0F;
inline constexpr std::uint8_t WriteMultipleRegisters = 0x10;
// The relay modules' timed functions: one channel (0x30, 0x32, 0x34) or every channel with a
// time pair each (0x31, 0x33, 0x35), always with F0 as the second data byte.
inline constexpr std::uint8_t DelayedOn = 0x30;
inline constexpr std::uint8_t DelayedOnAll = 0x31;
inline constexpr std::uint8_t DelayedOff = 0x32;
inline constexpr std::uint8_t DelayedOffAll = 0x33;
inline constexpr std::uint8_t Jog = 0x34;
inline constexpr std::uint8_t JogAll = 0x35;
// An exception answer carries the function asked for with this bit set.
inline constexpr std::uint8_t ExceptionBit = 0x80;
} // namespace function

// The longest RTU frame: address, 253 bytes of PDU, CRC.
inline constexpr qsizetype MaxRtuLength = 256;
// An exception answer: address, function | 0x80, exception code, CRC.
inline constexpr qsizetype ExceptionLength = 5;
// The answer to a one-register read and to the probe: address, 03, 02, the value, CRC.
inline constexpr qsizetype RegisterAnswerLength = 7;

// The fixed address probe 24 FF 03 A0 00 C6: every module answers it with its own address as
// the frame's address and as the register value. It carries no CRC of its own.
QByteArray ProbeFrame();
inline constexpr std::uint8_t ProbeAddress = 0x24;
bool IsProbe(QByteArrayView frame);

// How long a frame (address, function, ..., CRC) can be, judged from its first bytes.
struct FrameSize
{
    enum class Known {
        Lengths,        // `lengths` holds the possible lengths, shortest first, 0 for none
        NeedMoreBytes,  // the length is in a byte that has not arrived yet
        UnknownFunction // a function without a fixed length: only its CRC or silence ends it
    };
    Known known = Known::UnknownFunction;
    std::array<qsizetype, 2> lengths{};
};

// A request. `start` holds at least the address and the function byte. The reads 01..04 and the
// single writes 05, 06 are 8 bytes; 0F and 10 are 9 and their byte count; the one-channel timed
// functions 8; the all-channel ones 14 (four time pairs) or 22 (eight). The probe is none of
// these: see IsProbe.
FrameSize RequestSizeOf(QByteArrayView start);

// An answer, as a module sends it. `start` holds at least the address and the function byte.
// An exception answer is 5 bytes; a read 5 and its byte count; the writes and the timed
// functions echo their request (0F and 10 only its first six bytes).
FrameSize AnswerSizeOf(QByteArrayView start);

// The length of the answer a request gets when all goes well: the echo for 05, 06 and the
// timed functions 0x30..0x35; 8 for 0F and 10; 5 and the data for the reads 01..04; 7 for the
// address probe. 0 when the request is none of these.
qsizetype AnswerLength(QByteArrayView request);

// The longest answer a request can get: its answer, or the five-byte exception answer.
qsizetype LongestAnswer(QByteArrayView request);

} // namespace modbus
