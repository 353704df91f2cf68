#pragma once

#include "link/poller.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <set>

namespace bus {

// The modules the bus overview watches, as the user lists them: an address and the model's
// channel count (4 or 8), in polling order, each address once.
struct WatchedModule
{
    std::uint8_t address = 1;
    int channels = 8;

    friend bool operator==(const WatchedModule &, const WatchedModule &) = default;
};
using WatchList = QList<WatchedModule>;

// The model's name by its channel count ("QV-04", "QV-08"), and back (0: no model).
QString ModelOfChannels(int channels);
int ChannelsOfModel(const QString &model);

// The list as stored: "1:QV-08,2:QV-04,5:QV-08". Reading skips what is not an address 1..255
// with a known model (a missing model is eight channels) and a second entry of an address, so
// a hand-edited file never gives a list the page cannot poll.
QString WatchListText(const WatchList &list);
WatchList WatchListFromText(const QString &text);
// The same text in pieces of at most limit characters, cut between entries, for a store whose
// values hold no more (Config.ini: 253 characters, less than 32 modules); read back joined.
QStringList WatchListPieces(const WatchList &list, int limit = 250);
WatchList WatchListFromPieces(const QStringList &pieces);

// The list with module added, or with its model changed when the address is there; ascending.
WatchList WithModule(WatchList list, const WatchedModule &module);
WatchList WithoutModule(WatchList list, std::uint8_t address);
// The list after a scan: the addresses found, ascending, each keeping the model it had in
// known; the others get defaultChannels.
WatchList AfterScan(const WatchList &known, const std::set<int> &found, int defaultChannels);

// A module's name as stored beside the list: one line, no surrounding blanks.
QString StoredName(const QString &typed);

// One row of the overview: what the user listed, the name given, and what the poller knows
// (none before the first poll).
struct OverviewRow
{
    WatchedModule module;
    QString name;
    const Poller::Module *state = nullptr;
};

// The table as CSV (UTF-8, a header line, a line per row): address, model, name, one column
// per channel up to eight ("on", "off", empty where the model has none or nothing was read),
// online, last answer, offline since, silences, garbled answers.
QByteArray OverviewCsv(const QList<OverviewRow> &rows);

} // namespace bus
