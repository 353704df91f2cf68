#include "protocol/modulesearch.h"

#include "modbus/frames.h"
#include "modbus/timing.h"
#include "protocol/baud.h"

#include <QCoreApplication>

namespace protocol {

namespace {

constexpr int ScanRequestBytes = 8;

// The wire time of bytes in whole microseconds.
Micros OnWire(qsizetype bytes, qint32 baudRate)
{
    return std::chrono::duration_cast<Micros>(modbus::WireTime(bytes, baudRate));
}

} // namespace

Micros ScanReplyWindow(qint32 baudRate)
{
    return OnWire(ScanRequestBytes, baudRate) + ModuleTurnaround +
           OnWire(modbus::RegisterAnswerLength, baudRate);
}

ScanStep DecideScanStep(const ScanInputs &in)
{
    if (!in.portOpen)
        return ScanStep::PortClosed;
    if (in.collecting)
        return ScanStep::Wait;
    if (in.sinceLastRequest && *in.sinceLastRequest < ScanReplyWindow(in.lastRate))
        return ScanStep::Wait;
    if (in.counter >= 1 && in.counter <= ScanLastAddress)
        return ScanStep::Send;
    return ScanStep::Finish;
}

QString ScanResultText(int moduleCount)
{
    return QCoreApplication::translate("Form1", " 读取到 %1 个模块").arg(moduleCount);
}

Micros ProbeAnswerTime(qint32 baudRate)
{
    return OnWire(modbus::ProbeFrame().size(), baudRate) + ModuleTurnaround +
           OnWire(modbus::RegisterAnswerLength, baudRate);
}

BaudSearchStep DecideBaudSearchStep(bool portOpen, int index)
{
    BaudSearchStep step;
    step.nextIndex = index;
    if (!portOpen)
        return step;
    const std::optional<qint32> rate = BaudRateOfCode(index);
    if (!rate) {
        // Past the fastest rate (or an index nothing should produce): the sweep is over.
        step.outcome = BaudSearchStep::Outcome::Exhausted;
        step.nextIndex = 0;
        return step;
    }
    step.outcome = BaudSearchStep::Outcome::Probe;
    step.baudRate = *rate;
    step.settingsText = QString::number(*rate) + QStringLiteral(",N,8,1");
    return step;
}

BaudCheck DecideBaudCheck(const BaudCheckInputs &in)
{
    if (in.received)
        return {BaudCheck::Outcome::Found, 0};
    if (in.collecting || in.sinceProbe < ProbeAnswerTime(in.baudRate))
        return {BaudCheck::Outcome::Wait, in.index};
    return {BaudCheck::Outcome::NextRate, in.index + 1};
}

} // namespace protocol
