#include "qvctl/report.h"

#include <QJsonDocument>
#include <QStringList>

namespace qvctl {

QString ChannelStatesText(std::uint16_t bits, int channelCount)
{
    QStringList parts;
    for (int k = 0; k < channelCount; ++k)
        parts << QStringLiteral("%1:%2").arg(k + 1).arg((bits >> k) & 1 ? "on" : "off");
    return parts.join(u' ');
}

QJsonObject ChannelStatesJson(std::uint16_t bits, int channelCount)
{
    QJsonObject channels;
    for (int k = 0; k < channelCount; ++k)
        channels.insert(QString::number(k + 1),
                        (bits >> k) & 1 ? QStringLiteral("on") : QStringLiteral("off"));
    return channels;
}

QString SecondsText(std::uint16_t tenths)
{
    if (tenths % 10 == 0)
        return QString::number(tenths / 10);
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString ExitKey(Exit status)
{
    switch (status) {
    case Exit::Done:
        return QStringLiteral("none");
    case Exit::NoAnswer:
        return QStringLiteral("no-answer");
    case Exit::Usage:
        return QStringLiteral("usage");
    case Exit::Port:
        return QStringLiteral("port");
    case Exit::WrongAnswer:
        return QStringLiteral("wrong-answer");
    case Exit::Stopped:
        return QStringLiteral("interrupted");
    }
    return {};
}

QString ResultLine(const Result &result, bool json)
{
    if (json)
        return QString::fromUtf8(QJsonDocument(result.json).toJson(QJsonDocument::Compact)) + u'\n';
    return result.text + u'\n';
}

QString FailureJsonLine(const QString &command, Exit status, const QString &message)
{
    QJsonObject object;
    object.insert(QStringLiteral("command"), command);
    object.insert(QStringLiteral("error"), ExitKey(status));
    object.insert(QStringLiteral("exit"), int(status));
    object.insert(QStringLiteral("message"), message);
    return ResultLine({{}, object}, true);
}

namespace {
QString &OutputFailure()
{
    static QString reason;
    return reason;
}
} // namespace

void NoteStandardOutputFailure(const QString &reason)
{
    if (OutputFailure().isEmpty())
        OutputFailure() = reason.isEmpty() ? QStringLiteral("the write failed") : reason;
}

QString StandardOutputFailure()
{
    return OutputFailure();
}

} // namespace qvctl
