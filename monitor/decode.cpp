#include "monitor/decode.h"

#include "modbus/frames.h"

#include <QStringList>

namespace monitor {

namespace {

using modbus::FrameRole;
namespace fn = modbus::function;

std::uint8_t At(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

int Word(QByteArrayView bytes, qsizetype i)
{
    return At(bytes, i) << 8 | At(bytes, i + 1);
}

QString Hex4(int value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
}

QString Seconds(int tenths)
{
    return QString::number(tenths / 10.0, 'f', 1);
}

// The bits of a coil answer, coil 0 first, as many as were asked for.
QString Bits(QByteArrayView data, int count)
{
    QString bits;
    for (int k = 0; k < count && k / 8 < data.size(); ++k)
        bits += (At(data, k / 8) >> (k % 8)) & 1 ? QLatin1Char('1') : QLatin1Char('0');
    return bits;
}

QString Registers(QByteArrayView data)
{
    QStringList values;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2)
        values << Hex4(Word(data, i));
    return values.join(QLatin1Char(' '));
}

bool IsRead(std::uint8_t function)
{
    return function >= fn::ReadCoils && function <= fn::ReadInputRegisters;
}

QString RequestSummary(QByteArrayView f)
{
    const std::uint8_t function = At(f, 1);
    const QString name = FunctionText(function);
    if (IsRead(function) && f.size() >= 8)
        return QStringLiteral("%1 %2 × %3").arg(name, Hex4(Word(f, 2))).arg(Word(f, 4));
    if (function == fn::WriteSingleCoil && f.size() >= 8) {
        const int value = Word(f, 4);
        const QString v = value == 0xFF00   ? QStringLiteral("ON")
                          : value == 0x0000 ? QStringLiteral("OFF")
                                            : Hex4(value);
        return QStringLiteral("%1 %2 = %3").arg(name).arg(Word(f, 2)).arg(v);
    }
    if (function == fn::WriteSingleRegister && f.size() >= 8)
        return QStringLiteral("%1 %2 = %3").arg(name, Hex4(Word(f, 2)), Hex4(Word(f, 4)));
    if (function == fn::WriteMultipleCoils && f.size() >= 9)
        return QStringLiteral("%1 %2 × %3 = %4")
            .arg(name, Hex4(Word(f, 2)))
            .arg(Word(f, 4))
            .arg(Bits(f.sliced(7, f.size() - 9), Word(f, 4)));
    if (function == fn::WriteMultipleRegisters && f.size() >= 9)
        return QStringLiteral("%1 %2 × %3 = %4")
            .arg(name, Hex4(Word(f, 2)))
            .arg(Word(f, 4))
            .arg(Registers(f.sliced(7, f.size() - 9)));
    if ((function == fn::DelayedOn || function == fn::DelayedOff || function == fn::Jog) &&
        f.size() >= 8)
        return QStringLiteral("%1 通道 %2, %3 秒")
            .arg(name)
            .arg(At(f, 3) + 1)
            .arg(Seconds(Word(f, 4)));
    if ((function == fn::DelayedOnAll || function == fn::DelayedOffAll || function == fn::JogAll) &&
        f.size() >= 8) {
        QStringList times;
        for (qsizetype i = 4; i + 3 < f.size(); i += 2)
            times << Seconds(Word(f, i));
        return QStringLiteral("%1 %2 秒").arg(name, times.join(QLatin1Char('/')));
    }
    return name;
}

QString AnswerSummary(QByteArrayView f, const QByteArray &request)
{
    const std::uint8_t function = At(f, 1);
    if (modbus::IsProbe(request) && function == fn::ReadHoldingRegisters && f.size() >= 7)
        return QStringLiteral("模块地址 %1").arg(Word(f, 3));
    const bool paired = request.size() >= 8 && At(request, 1) == function;
    if (!IsRead(function) || f.size() < 5)
        return paired ? RequestSummary(request) : RequestSummary(f);
    const QByteArrayView data = f.sliced(3, f.size() - 5);
    const bool coils = function == fn::ReadCoils || function == fn::ReadDiscreteInputs;
    const QString values =
        coils ? Bits(data, paired ? Word(request, 4) : int(data.size()) * 8) : Registers(data);
    const QString head = paired ? RequestSummary(request) : FunctionText(function);
    return QStringLiteral("%1 → %2").arg(head, values);
}

} // namespace

QString FunctionText(std::uint8_t code)
{
    switch (code & ~fn::ExceptionBit) {
    case fn::ReadCoils:
        return QStringLiteral("读线圈");
    case fn::ReadDiscreteInputs:
        return QStringLiteral("读离散输入");
    case fn::ReadHoldingRegisters:
        return QStringLiteral("读保持寄存器");
    case fn::ReadInputRegisters:
        return QStringLiteral("读输入寄存器");
    case fn::WriteSingleCoil:
        return QStringLiteral("写单线圈");
    case fn::WriteSingleRegister:
        return QStringLiteral("写单寄存器");
    case fn::WriteMultipleCoils:
        return QStringLiteral("写多线圈");
    case fn::WriteMultipleRegisters:
        return QStringLiteral("写多寄存器");
    case fn::DelayedOn:
        return QStringLiteral("延时吸合");
    case fn::DelayedOnAll:
        return QStringLiteral("全部延时吸合");
    case fn::DelayedOff:
        return QStringLiteral("延时断开");
    case fn::DelayedOffAll:
        return QStringLiteral("全部延时断开");
    case fn::Jog:
        return QStringLiteral("点动");
    case fn::JogAll:
        return QStringLiteral("全部点动");
    default:
        return QStringLiteral("功能 %1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
    }
}

QString ExceptionText(std::uint8_t code)
{
    switch (code) {
    case 0x01:
        return QStringLiteral("非法功能");
    case 0x02:
        return QStringLiteral("非法数据地址");
    case 0x03:
        return QStringLiteral("非法数据值");
    case 0x04:
        return QStringLiteral("从站设备故障");
    case 0x06:
        return QStringLiteral("从站设备忙");
    default:
        return QStringLiteral("未知异常");
    }
}

QString RoleText(FrameRole role, bool sent)
{
    const QString prefix = sent ? QStringLiteral("本机") : QString();
    switch (role) {
    case FrameRole::Request:
        return prefix + QStringLiteral("请求");
    case FrameRole::Broadcast:
        return prefix + QStringLiteral("广播");
    case FrameRole::Probe:
        return prefix + QStringLiteral("探测");
    case FrameRole::Answer:
        return QStringLiteral("应答");
    case FrameRole::Exception:
        return QStringLiteral("异常");
    case FrameRole::Text:
        return prefix + QStringLiteral("文本");
    case FrameRole::Noise:
        return QStringLiteral("噪声");
    }
    return {};
}

QString RoleKey(FrameRole role)
{
    switch (role) {
    case FrameRole::Request:
        return QStringLiteral("request");
    case FrameRole::Broadcast:
        return QStringLiteral("broadcast");
    case FrameRole::Probe:
        return QStringLiteral("probe");
    case FrameRole::Answer:
        return QStringLiteral("answer");
    case FrameRole::Exception:
        return QStringLiteral("exception");
    case FrameRole::Text:
        return QStringLiteral("text");
    case FrameRole::Noise:
        return QStringLiteral("noise");
    }
    return {};
}

QString Summary(const modbus::SplitFrame &frame, const QByteArray &request)
{
    const QByteArrayView f(frame.bytes);
    // A frame whose CRC fails may be anything: its fields are not read as if they were true.
    const bool damaged = !frame.crcOk && frame.role != FrameRole::Noise &&
                         frame.role != FrameRole::Text && frame.role != FrameRole::Probe;
    if (damaged)
        return QStringLiteral("CRC 错误，%1 字节").arg(f.size());
    switch (frame.role) {
    case FrameRole::Noise:
        return QStringLiteral("噪声 %1 字节").arg(f.size());
    case FrameRole::Text:
        return QString::fromLatin1(frame.bytes).trimmed();
    case FrameRole::Probe:
        return QStringLiteral("读取模块地址");
    case FrameRole::Exception:
        return QStringLiteral("异常 %1 %2")
            .arg(f.size() > 2 ? At(f, 2) : 0, 2, 16, QLatin1Char('0'))
            .arg(ExceptionText(f.size() > 2 ? At(f, 2) : 0));
    case FrameRole::Answer:
        return AnswerSummary(f, request);
    case FrameRole::Broadcast:
        return RequestSummary(f) + QStringLiteral("（广播）");
    case FrameRole::Request:
        return RequestSummary(f);
    }
    return {};
}

} // namespace monitor
