#include "moduletest/steps.h"

#include "protocol/baud.h"
#include "protocol/requests.h"

namespace moduletest {

namespace {

std::uint16_t AllBits(int channelCount)
{
    return static_cast<std::uint16_t>((1u << channelCount) - 1);
}

std::uint16_t Bit(int channel)
{
    return static_cast<std::uint16_t>(1u << (channel - 1));
}

std::array<bool, 8> Ticks(std::uint16_t bits)
{
    std::array<bool, 8> ticked{};
    for (int k = 0; k < 8; ++k)
        ticked[std::size_t(k)] = bits >> k & 1;
    return ticked;
}

// A request whose answer is checked but carries no state to compare.
Exchange Order(QByteArray request, QString testCase, int channel, QString what)
{
    Exchange e;
    e.request = std::move(request);
    e.testCase = std::move(testCase);
    e.channel = channel;
    e.what = std::move(what);
    return e;
}

Exchange Read(std::uint8_t address, std::uint16_t bits, const QString &testCase, int channel,
              int channelCount)
{
    Exchange e = Order(StateRead(address), testCase, channel,
                       QStringLiteral("read: on %1").arg(ChannelsText(bits, channelCount)));
    e.expectBits = bits;
    return e;
}

// A mask through 0F and the read that confirms it.
void AddMask(std::vector<Exchange> &out, std::uint8_t address, std::uint16_t bits,
             const QString &testCase, int channel, int channelCount)
{
    out.push_back(Order(protocol::MaskRequest(address, Ticks(bits)).frame, testCase, channel,
                        QStringLiteral("mask: on %1").arg(ChannelsText(bits, channelCount))));
    out.push_back(Read(address, bits, testCase, channel, channelCount));
}

} // namespace

QByteArray StateRead(std::uint8_t address)
{
    return protocol::StateRequest(address).frame;
}

QByteArray AllOffRequest(std::uint8_t address)
{
    return protocol::AllOffRequest(address).frame;
}

QString ChannelsText(std::uint16_t bits, int channelCount)
{
    QStringList on;
    for (int k = 1; k <= channelCount; ++k) {
        if (bits & Bit(k))
            on.append(QString::number(k));
    }
    return on.isEmpty() ? QStringLiteral("none") : on.join(u',');
}

QList<int> DifferingChannels(std::uint16_t got, std::uint16_t expected, int channelCount)
{
    QList<int> channels;
    for (int k = 1; k <= channelCount; ++k) {
        if ((got ^ expected) & Bit(k))
            channels.append(k);
    }
    return channels;
}

qint32 OtherRate(qint32 rate)
{
    return rate == 19200 ? 9600 : 19200;
}

std::vector<TimedChannel> TimedChannels()
{
    return {{1, true, false, QStringLiteral("jog channel 1")},
            {2, false, true, QStringLiteral("delayed on channel 2")},
            {3, true, false, QStringLiteral("delayed off channel 3")}};
}

std::vector<Exchange> StepExchanges(Step step, std::uint8_t address, const Settings &settings,
                                    std::uint8_t spareAddress, qint32 rate)
{
    const int n = settings.channelCount;
    std::vector<Exchange> out;
    switch (step) {
    case Step::Communication:
        out.push_back(Order(StateRead(address), QStringLiteral("state read"), 0,
                            QStringLiteral("read the state")));
        break;
    case Step::Channels:
        for (int ch = 1; ch <= n; ++ch) {
            const QString name = QStringLiteral("channel %1").arg(ch);
            const auto channel = std::uint8_t(ch - 1);
            out.push_back(Order(protocol::SwitchRequest(address, channel, true).frame, name, ch,
                                QStringLiteral("channel %1 on").arg(ch)));
            out.push_back(Read(address, Bit(ch), name, ch, n));
            out.push_back(Order(protocol::SwitchRequest(address, channel, false).frame, name, ch,
                                QStringLiteral("channel %1 off").arg(ch)));
            out.push_back(Read(address, 0, name, ch, n));
        }
        break;
    case Step::AllOnOff:
        out.push_back(Order(protocol::AllOnRequest(address).frame, QStringLiteral("all on"), 0,
                            QStringLiteral("all on")));
        out.push_back(Read(address, AllBits(n), QStringLiteral("all on"), 0, n));
        out.push_back(
            Order(AllOffRequest(address), QStringLiteral("all off"), 0, QStringLiteral("all off")));
        out.push_back(Read(address, 0, QStringLiteral("all off"), 0, n));
        break;
    case Step::Patterns:
        AddMask(out, address, 0x55 & AllBits(n), QStringLiteral("odd"), 0, n);
        AddMask(out, address, 0xAA & AllBits(n), QStringLiteral("even"), 0, n);
        for (int ch = 1; ch <= n; ++ch)
            AddMask(out, address, Bit(ch), QStringLiteral("walking %1").arg(ch), ch, n);
        break;
    case Step::Timed: {
        // Channel 3 must be on for its delayed off; then the three timed functions go out
        // back to back, so the step takes one time span.
        out.push_back(Order(protocol::SwitchRequest(address, 2, true).frame,
                            QStringLiteral("delayed off channel 3"), 3,
                            QStringLiteral("channel 3 on")));
        const protocol::TimeBytes time{std::uint8_t(settings.timedTenths >> 8),
                                       std::uint8_t(settings.timedTenths & 0xFF)};
        const struct
        {
            protocol::TimedAction action;
            int channel;
            const char *what;
        } timed[] = {{protocol::TimedAction::Jog, 1, "jog"},
                     {protocol::TimedAction::DelayedOn, 2, "delayed on"},
                     {protocol::TimedAction::DelayedOff, 3, "delayed off"}};
        const std::vector<TimedChannel> watched = TimedChannels();
        for (std::size_t i = 0; i < 3; ++i) {
            Exchange e =
                Order(protocol::TimedChannelRequest(timed[i].action, address,
                                                    std::uint8_t(timed[i].channel - 1), time)
                          .frame,
                      watched[i].testCase, timed[i].channel,
                      QStringLiteral("%1 channel %2, %3 s")
                          .arg(QLatin1String(timed[i].what))
                          .arg(timed[i].channel)
                          .arg(settings.timedTenths / 10.0));
            e.startsTimer = timed[i].channel;
            out.push_back(std::move(e));
        }
        break;
    }
    case Step::Config: {
        const QString addressCase = QStringLiteral("address change");
        out.push_back(Order(protocol::SetAddressRequest(address, spareAddress).frame, addressCase,
                            0, QStringLiteral("address %1 -> %2").arg(address).arg(spareAddress)));
        out.push_back(Order(StateRead(spareAddress), addressCase, 0,
                            QStringLiteral("read at %1").arg(spareAddress)));
        out.push_back(Order(protocol::SetAddressRequest(spareAddress, address).frame, addressCase,
                            0, QStringLiteral("address %1 -> %2").arg(spareAddress).arg(address)));
        out.push_back(
            Order(StateRead(address), addressCase, 0, QStringLiteral("read at %1").arg(address)));
        const QString baudCase = QStringLiteral("baud change");
        const qint32 other = OtherRate(rate);
        const auto code = [](qint32 r) {
            return std::uint8_t(protocol::BaudCodeOfRate(r).value_or(protocol::DefaultBaudCode));
        };
        // The line follows the module to each new rate once it has answered.
        const auto rateChange = [&](qint32 from, qint32 to) {
            Exchange e = Order(protocol::SetRateRequest(address, code(to)).frame, baudCase, 0,
                               QStringLiteral("rate %1 -> %2").arg(from).arg(to));
            e.rateAfter = to;
            return e;
        };
        out.push_back(rateChange(rate, other));
        out.push_back(
            Order(StateRead(address), baudCase, 0, QStringLiteral("read at %1 baud").arg(other)));
        out.push_back(rateChange(other, rate));
        out.push_back(
            Order(StateRead(address), baudCase, 0, QStringLiteral("read at %1 baud").arg(rate)));
        break;
    }
    }
    return out;
}

} // namespace moduletest
