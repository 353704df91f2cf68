#include "settings/configkeys.h"

#include <algorithm>

namespace settings {

namespace {

const QString ChannelNumbers = QStringLiteral("一二三四五六七八");

// The value of a text of ASCII digits only, at most three of them after leading zeros; -1 for
// any other text.
int SmallWholeNumber(const QString &text)
{
    if (text.isEmpty())
        return -1;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 999)
            return -1;
    }
    return value;
}

} // namespace

QString ChannelKey(int index)
{
    return QStringLiteral("第 %1 路").arg(ChannelNumbers.at(index));
}

QString DefaultChannelName(int index)
{
    return QStringLiteral("第%1路").arg(ChannelNumbers.at(index));
}

FlagPair ReadFlagPair(const QString &stored)
{
    const qsizetype comma = stored.indexOf(u',');
    FlagPair pair;
    pair.on = (comma < 0 ? stored : stored.first(comma)) == u"1";
    if (comma >= 0)
        pair.value = stored.sliced(comma + 1);
    return pair;
}

QString FlagPairText(bool on, const QString &value)
{
    return FlagText(on) + u',' + value;
}

QString FlagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

int EntryOfRate(const QStringList &entries, const QString &rate)
{
    bool ok = false;
    const double wanted = rate.trimmed().toDouble(&ok);
    if (!ok)
        return -1;
    for (int i = 0; i < entries.size(); ++i) {
        bool entryOk = false;
        if (entries.at(i).trimmed().toDouble(&entryOk) == wanted && entryOk)
            return i;
    }
    return -1;
}

int StoredPosition(const QString &stored, int count)
{
    const int position = SmallWholeNumber(stored);
    return position >= 0 && position < count ? position : 0;
}

int StoredMs(const QString &stored, int most)
{
    bool ok = false;
    const int ms = stored.toInt(&ok);
    const bool digits =
        std::all_of(stored.begin(), stored.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    return ok && digits && ms <= most ? ms : 0;
}

QString StoredAddress(const QString &stored)
{
    const int address = SmallWholeNumber(stored);
    return address >= 1 && address <= 255 ? QString::number(address) : QStringLiteral("1");
}

} // namespace settings
