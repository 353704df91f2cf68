#include "protocol/reply.h"

#include "modbus/answer.h"
#include "modbus/crc.h"
#include "modbus/frames.h"
#include "protocol/hexcodec.h"

#include <algorithm>

namespace protocol {

namespace {

const QString NoticeTitle = QT_TRANSLATE_NOOP("Messages", "提示");

std::uint8_t byteAt(const QByteArray &reply, qsizetype position)
{
    return static_cast<std::uint8_t>(reply.at(position));
}

bool has(const QByteArray &reply, qsizetype position)
{
    return position < reply.size();
}

// The part of the interpretation that depends on the request kind alone. Returns false when
// the reply ends before a position the kind needs, which ends the whole interpretation.
bool interpretByKind(const QByteArray &reply, const ReplyContext &context, ReplyActions &out)
{
    if (reply.size() <= 1 || !context.kind)
        return true;
    switch (*context.kind) {
    case RequestKind::Address:
        if (byteAt(reply, 1) == 0) {
            out.message =
                ReplyMessage{QT_TRANSLATE_NOOP("Messages", "没有搜索到模块"), NoticeTitle};
            return true;
        }
        if (!has(reply, 4))
            return false;
        out.onlyAddress = QString::number(byteAt(reply, 4));
        return true;
    case RequestKind::SetAddress:
        if (byteAt(reply, 1) == 0) {
            out.message = ReplyMessage{QT_TRANSLATE_NOOP("Messages", "地址设置失败"), NoticeTitle};
            return true;
        }
        if (!has(reply, 5))
            return false;
        out.addressText = QString::number(byteAt(reply, 5));
        return true;
    case RequestKind::Connect:
    case RequestKind::DisConnect: {
        if (!has(reply, 3))
            return false;
        const int channel = byteAt(reply, 3);
        if (channel >= SwitchCount)
            return false;
        out.switches.push_back({channel, *context.kind == RequestKind::Connect});
        return true;
    }
    case RequestKind::State:
        if (reply.size() == 7) {
            const auto value = static_cast<std::uint16_t>(byteAt(reply, 3) << 8 | byteAt(reply, 4));
            out.switches = StateSwitches(value, context.channelCount);
        }
        return true;
    default:
        return true;
    }
}

} // namespace

std::vector<SwitchMove> StateSwitches(std::uint16_t value, int channelCount)
{
    std::vector<SwitchMove> moves;
    const int count = std::clamp(channelCount, 0, SwitchCount);
    for (int d = 1; d <= count; ++d)
        moves.push_back({d - 1, ((value >> (d - 1)) & 1) != 0});
    return moves;
}

ReplyActions InterpretReply(const QByteArray &reply, const ReplyContext &context)
{
    ReplyActions out;
    out.receivedText = HexFrameText(reply);

    if (context.scanRunning) {
        if (!has(reply, 4))
            return out;
        out.scanAddress = QString::number(byteAt(reply, 4));
    }

    if (!interpretByKind(reply, context, out))
        return out;

    if (context.kind == RequestKind::SetRate) {
        if (reply == context.sentFrame && context.newBaudCode)
            out.baudCode = context.newBaudCode;
    } else if (context.kind == RequestKind::ReadRate && reply.size() == 7) {
        if (byteAt(reply, 4) <= 4)
            out.baudCode = byteAt(reply, 4);
    }
    return out;
}

bool ReplyIsWhole(RequestKind kind, const QByteArray &request, const QByteArray &received)
{
    QByteArray asked = request;
    // The scan asks one address after another: an answer from another address is still an
    // answer to the scan, so it is checked as the same request to the address that answered.
    if (kind == RequestKind::Address1 && !received.isEmpty() && asked.size() > 2 &&
        !modbus::IsProbe(asked)) {
        asked[0] = received[0];
        modbus::AppendCrc(asked);
    }
    const modbus::Check check = modbus::CheckAnswer(asked, received);
    const bool wellFormed =
        check.verdict == modbus::Verdict::Good || check.verdict == modbus::Verdict::Exception;
    return wellFormed && check.length == received.size();
}

} // namespace protocol
