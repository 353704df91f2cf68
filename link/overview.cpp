#include "link/overview.h"

#include <QStringList>

#include <algorithm>

namespace bus {

QString ModelOfChannels(int channels)
{
    return QStringLiteral("QV-%1").arg(channels, 2, 10, QLatin1Char('0'));
}

int ChannelsOfModel(const QString &model)
{
    const QString m = model.trimmed().toUpper();
    if (m == QLatin1String("QV-04") || m == QLatin1String("4"))
        return 4;
    if (m == QLatin1String("QV-08") || m == QLatin1String("8"))
        return 8;
    return 0;
}

QString WatchListText(const WatchList &list)
{
    QStringList parts;
    for (const WatchedModule &m : list)
        parts << QStringLiteral("%1:%2").arg(m.address).arg(ModelOfChannels(m.channels));
    return parts.join(u',');
}

QStringList WatchListPieces(const WatchList &list, int limit)
{
    QStringList pieces;
    QString piece;
    for (const WatchedModule &m : list) {
        const QString entry =
            QStringLiteral("%1:%2").arg(m.address).arg(ModelOfChannels(m.channels));
        if (!piece.isEmpty() && piece.size() + 1 + entry.size() > limit) {
            pieces << piece;
            piece.clear();
        }
        piece += (piece.isEmpty() ? QString() : QStringLiteral(",")) + entry;
    }
    if (!piece.isEmpty())
        pieces << piece;
    return pieces;
}

WatchList WatchListFromPieces(const QStringList &pieces)
{
    return WatchListFromText(pieces.join(u','));
}

WatchList WatchListFromText(const QString &text)
{
    WatchList list;
    std::set<int> seen;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList fields = part.split(u':');
        bool ok = false;
        const int address = fields.at(0).trimmed().toInt(&ok);
        if (!ok || address < 1 || address > 255 || fields.size() > 2 || seen.count(address))
            continue;
        const int channels = fields.size() == 2 ? ChannelsOfModel(fields.at(1)) : 8;
        if (channels == 0)
            continue;
        seen.insert(address);
        list.append({std::uint8_t(address), channels});
    }
    return list;
}

WatchList WithModule(WatchList list, const WatchedModule &module)
{
    const auto it = std::find_if(list.begin(), list.end(), [&](const WatchedModule &m) {
        return m.address == module.address;
    });
    if (it != list.end())
        it->channels = module.channels;
    else
        list.append(module);
    std::stable_sort(list.begin(), list.end(), [](const WatchedModule &a, const WatchedModule &b) {
        return a.address < b.address;
    });
    return list;
}

WatchList WithoutModule(WatchList list, std::uint8_t address)
{
    list.removeIf([address](const WatchedModule &m) { return m.address == address; });
    return list;
}

WatchList AfterScan(const WatchList &known, const std::set<int> &found, int defaultChannels)
{
    WatchList list;
    for (const int address : found) {
        if (address < 1 || address > 255)
            continue;
        WatchedModule m{std::uint8_t(address), defaultChannels};
        for (const WatchedModule &k : known)
            if (k.address == address)
                m.channels = k.channels;
        list.append(m);
    }
    return list;
}

QString StoredName(const QString &typed)
{
    QString name = typed;
    name.replace(u'\r', u' ').replace(u'\n', u' ');
    return name.trimmed();
}

namespace {

QString CsvField(const QString &text)
{
    const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\n') ||
                       text.contains(u'\r') || text != text.trimmed();
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString Time(const QDateTime &when)
{
    return when.isValid() ? when.toString(Qt::ISODateWithMs) : QString();
}

} // namespace

QByteArray OverviewCsv(const QList<OverviewRow> &rows)
{
    QStringList header{QStringLiteral("address"), QStringLiteral("model"), QStringLiteral("name")};
    for (int channel = 1; channel <= 8; ++channel)
        header << QStringLiteral("channel %1").arg(channel);
    header << QStringLiteral("online") << QStringLiteral("last answer")
           << QStringLiteral("offline since") << QStringLiteral("silences")
           << QStringLiteral("garbled");
    QString text = header.join(u',') + u'\n';
    for (const OverviewRow &row : rows) {
        const Poller::Module *s = row.state;
        QStringList cells{QString::number(row.module.address), ModelOfChannels(row.module.channels),
                          CsvField(row.name)};
        for (int channel = 1; channel <= 8; ++channel) {
            if (channel > row.module.channels || !s || !s->bits)
                cells << QString();
            else
                cells << ((*s->bits >> (channel - 1)) & 1 ? QStringLiteral("on")
                                                          : QStringLiteral("off"));
        }
        const bool online = s && s->online;
        cells << (online ? QStringLiteral("yes") : QStringLiteral("no"))
              << (s ? Time(s->lastAnswer) : QString())
              << (s && !online ? Time(s->offlineSince) : QString())
              << QString::number(s ? s->silences : 0) << QString::number(s ? s->garbled : 0);
        text += cells.join(u',') + u'\n';
    }
    return text.toUtf8();
}

} // namespace bus
