#include "link/echo.h"

#include "modbus/answer.h"
#include "modbus/crc.h"
#include "modbus/frames.h"

namespace bus {

std::optional<Echo> EchoFromText(const QString &text)
{
    if (text == QLatin1String("auto"))
        return Echo::Auto;
    if (text == QLatin1String("drop"))
        return Echo::Drop;
    if (text == QLatin1String("none"))
        return Echo::None;
    return std::nullopt;
}

QString EchoText(Echo echo)
{
    switch (echo) {
    case Echo::Auto:
        return QStringLiteral("auto");
    case Echo::Drop:
        return QStringLiteral("drop");
    case Echo::None:
        return QStringLiteral("none");
    }
    return {};
}

bool AnswerCopiesRequest(const QByteArray &request)
{
    if (request.size() < 2 || modbus::IsProbe(request) || !modbus::CrcRight(request))
        return false;
    const auto function = std::uint8_t(request.at(1));
    return function == modbus::function::WriteSingleCoil ||
           function == modbus::function::WriteSingleRegister ||
           (function >= modbus::function::DelayedOn && function <= modbus::function::JogAll);
}

EchoSplit SplitEcho(const QByteArray &request, const QByteArray &received)
{
    EchoSplit split;
    if (!request.isEmpty() && received.startsWith(request)) {
        split.echoLength = request.size();
        split.rest = received.mid(request.size());
    } else {
        split.partial = !received.isEmpty() && request.startsWith(received);
        split.rest = received;
    }
    return split;
}

namespace {

bool WholeAnswer(const QByteArray &request, const QByteArray &bytes)
{
    const modbus::Verdict verdict = modbus::CheckAnswer(request, bytes).verdict;
    return verdict == modbus::Verdict::Good || verdict == modbus::Verdict::Exception;
}

} // namespace

EchoSeen JudgeEcho(const QByteArray &request, const QByteArray &received)
{
    const EchoSplit split = SplitEcho(request, received);
    if (split.whole()) {
        // A copy where the true answer differs is the adapter's.
        if (!AnswerCopiesRequest(request))
            return EchoSeen::Present;
        // The copy may be the module's answer, unless an answer follows it.
        return WholeAnswer(request, split.rest) ? EchoSeen::Present : EchoSeen::Unknown;
    }
    if (split.partial)
        return EchoSeen::Unknown;
    return WholeAnswer(request, received) ? EchoSeen::Absent : EchoSeen::Unknown;
}

} // namespace bus
