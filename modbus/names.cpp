#include "modbus/names.h"

#include "modbus/frames.h"

namespace modbus {

QString FunctionName(std::uint8_t code)
{
    if (code & function::ExceptionBit)
        return QStringLiteral("exception to ") +
               FunctionName(static_cast<std::uint8_t>(code & ~function::ExceptionBit));
    switch (code) {
    case function::ReadCoils:
        return QStringLiteral("read coils");
    case function::ReadDiscreteInputs:
        return QStringLiteral("read discrete inputs");
    case function::ReadHoldingRegisters:
        return QStringLiteral("read holding registers");
    case function::ReadInputRegisters:
        return QStringLiteral("read input registers");
    case function::WriteSingleCoil:
        return QStringLiteral("write single coil");
    case function::WriteSingleRegister:
        return QStringLiteral("write single register");
    case function::WriteMultipleCoils:
        return QStringLiteral("write multiple coils");
    case function::WriteMultipleRegisters:
        return QStringLiteral("write multiple registers");
    case function::DelayedOn:
        return QStringLiteral("delayed on");
    case function::DelayedOnAll:
        return QStringLiteral("delayed on, all channels");
    case function::DelayedOff:
        return QStringLiteral("delayed off");
    case function::DelayedOffAll:
        return QStringLiteral("delayed off, all channels");
    case function::Jog:
        return QStringLiteral("jog");
    case function::JogAll:
        return QStringLiteral("jog, all channels");
    default:
        return QStringLiteral("function ") +
               QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
    }
}

QString ExceptionName(std::uint8_t code)
{
    switch (code) {
    case 0x01:
        return QStringLiteral("illegal function");
    case 0x02:
        return QStringLiteral("illegal address");
    case 0x03:
        return QStringLiteral("illegal value");
    case 0x04:
        return QStringLiteral("device failure");
    case 0x05:
        return QStringLiteral("acknowledge");
    case 0x06:
        return QStringLiteral("device busy");
    default:
        return QStringLiteral("unknown exception");
    }
}

} // namespace modbus
