#include "protocol/timebox.h"

#include <QCoreApplication>

#include <algorithm>

namespace protocol {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The value of an all-digit text, saturated just above the range so long texts cannot
// overflow; none for an empty text or one with anything but digits.
std::optional<qint64> digitValue(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = std::min<qint64>(value * 10 + (c.unicode() - '0'), qint64(TimeMaximum) * 10 + 9);
    }
    return value;
}

} // namespace

QString TimeBoxDigits(const QString &text)
{
    QString digits;
    for (const QChar c : text) {
        if (isDigit(c))
            digits += c;
    }
    return digits;
}

TimeCheck CheckTimeText(const QString &text)
{
    if (text.isEmpty())
        return TimeCheck::Empty;
    const auto value = digitValue(text);
    if (!value || *value < TimeMinimum || *value > TimeMaximum)
        return TimeCheck::OutOfRange;
    return TimeCheck::InRange;
}

std::optional<QString> SecondsLabel(const QString &text)
{
    if (!digitValue(text))
        return std::nullopt;
    // Tenths written out digit by digit, so no length of text can overflow.
    QString whole = text.first(text.size() - 1);
    while (whole.size() > 1 && whole.front() == QLatin1Char('0'))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    const QChar tenth = text.back();
    QString seconds = whole;
    if (tenth != QLatin1Char('0'))
        seconds += QLatin1Char('.') + tenth;
    return QCoreApplication::translate("Form1", "%1秒").arg(seconds);
}

int CopyTargetCount(AllTimesBox box, CopyTrigger trigger, int channelCount)
{
    if (box == AllTimesBox::Delay && trigger == CopyTrigger::ListChoice)
        return 8;
    return std::clamp(channelCount, 0, 8);
}

ChannelTimes CollectTimes(const QStringList &texts, int count)
{
    ChannelTimes result;
    for (int k = 0; k < count; ++k) {
        const auto time = k < texts.size() ? TimeField(texts.at(k)) : std::nullopt;
        if (!time) {
            result.times.clear();
            result.firstInvalid = k;
            return result;
        }
        result.times.push_back(*time);
    }
    return result;
}

} // namespace protocol
