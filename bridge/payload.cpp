#include "bridge/payload.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringDecoder>

#include <cmath>

namespace bridge {

namespace {

// The one member of a JSON object payload, or a reason.
struct Member
{
    QString key;
    QJsonValue value;
    QString reason;
};

Member OneMember(const QByteArray &payload)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError)
        return {{}, {}, QStringLiteral("not JSON: %1").arg(error.errorString())};
    if (!doc.isObject())
        return {{}, {}, QStringLiteral("expected a JSON object")};
    const QJsonObject object = doc.object();
    if (object.size() != 1)
        return {{}, {}, QStringLiteral("expected exactly one member, got %1").arg(object.size())};
    return {object.begin().key(), object.begin().value(), {}};
}

} // namespace

Parsed<ChannelCommand> ParseChannelPayload(const QByteArray &payload)
{
    const QByteArray word = payload.trimmed().toUpper();
    if (word == "ON")
        return {ChannelCommand{ChannelAction::On, 0}, {}};
    if (word == "OFF")
        return {ChannelCommand{ChannelAction::Off, 0}, {}};
    if (word == "TOGGLE")
        return {ChannelCommand{ChannelAction::Toggle, 0}, {}};
    if (!payload.trimmed().startsWith('{'))
        return {std::nullopt,
                QStringLiteral("expected ON, OFF, TOGGLE or {\"jog\"|\"delay_on\"|\"delay_off\": "
                               "seconds}")};
    const Member m = OneMember(payload);
    if (!m.reason.isEmpty())
        return {std::nullopt, m.reason};
    ChannelCommand command;
    if (m.key == u"jog")
        command.action = ChannelAction::Jog;
    else if (m.key == u"delay_on")
        command.action = ChannelAction::DelayOn;
    else if (m.key == u"delay_off")
        command.action = ChannelAction::DelayOff;
    else
        return {std::nullopt,
                QStringLiteral("unknown member \"%1\": expected jog, delay_on or delay_off")
                    .arg(m.key)};
    if (!m.value.isDouble())
        return {std::nullopt, QStringLiteral("%1: the time is a number of seconds").arg(m.key)};
    const double tenths = m.value.toDouble() * 10;
    const double whole = std::round(tenths);
    if (!std::isfinite(tenths) || whole < 1 || whole > 65535)
        return {std::nullopt, QStringLiteral("%1: 0.1..6553.5 seconds").arg(m.key)};
    if (std::abs(tenths - whole) > 1e-6)
        return {std::nullopt, QStringLiteral("%1: the time goes in steps of 0.1 s").arg(m.key)};
    command.tenths = int(whole);
    return {command, {}};
}

Parsed<ModuleCommand> ParseModulePayload(const QByteArray &payload, int channelCount)
{
    const Member m = OneMember(payload);
    if (!m.reason.isEmpty())
        return {std::nullopt, m.reason + QStringLiteral(" (expected {\"all\": \"ON\"|\"OFF\"} or "
                                                        "{\"mask\": \"10100000\"})")};
    ModuleCommand command;
    if (m.key == u"all") {
        const QString word = m.value.toString().toUpper();
        if (m.value.isString() && word == u"ON")
            command.action = ModuleAction::AllOn;
        else if (m.value.isString() && word == u"OFF")
            command.action = ModuleAction::AllOff;
        else
            return {std::nullopt, QStringLiteral("all: \"ON\" or \"OFF\"")};
        return {command, {}};
    }
    if (m.key != u"mask")
        return {std::nullopt,
                QStringLiteral("unknown member \"%1\": expected all or mask").arg(m.key)};
    const QString bits = m.value.toString();
    if (!m.value.isString() || (bits.size() != channelCount && bits.size() != 8))
        return {std::nullopt, QStringLiteral("mask: a string of %1 binary digits, channel 1 first")
                                  .arg(channelCount)};
    command.action = ModuleAction::Mask;
    for (int i = 0; i < bits.size(); ++i) {
        if (bits.at(i) != u'0' && bits.at(i) != u'1')
            return {std::nullopt, QStringLiteral("mask: binary digits only")};
        if (bits.at(i) == u'1' && i >= channelCount)
            return {std::nullopt, QStringLiteral("mask: channel %1 is beyond the module's %2")
                                      .arg(i + 1)
                                      .arg(channelCount)};
        command.mask[std::size_t(i)] = bits.at(i) == u'1';
    }
    return {command, {}};
}

QString QuotedPayload(const QByteArray &payload)
{
    auto decoder = QStringDecoder(QStringDecoder::Utf8);
    QString text = decoder.decode(payload);
    if (decoder.hasError())
        text = QString::fromLatin1(payload.toHex(' '));
    if (text.size() > 256)
        text = text.left(253) + QStringLiteral("...");
    return text;
}

} // namespace bridge
