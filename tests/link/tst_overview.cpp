// The bus overview's list as stored, after a scan and as CSV: what a hand-edited Config.ini
// or a name with a comma does to it.

#include "link/overview.h"

#include <QTest>

namespace {

bus::Poller::Module State(int address, int channels, std::optional<int> bits, bool online)
{
    bus::Poller::Module m;
    m.address = std::uint8_t(address);
    m.channelCount = channels;
    if (bits)
        m.bits = std::uint16_t(*bits);
    m.online = online;
    m.lastAnswer = QDateTime(QDate(2026, 3, 1), QTime(15, 30, 12));
    if (!online)
        m.offlineSince = QDateTime(QDate(2026, 3, 1), QTime(15, 31, 0));
    m.silences = 4;
    m.garbled = 1;
    return m;
}

} // namespace

class TstOverview : public QObject
{
    Q_OBJECT

private slots:
    // What is read from Config.ini is a list the page can poll: each address once, 1..255,
    // a known model; written back it reads the same.
    void storedList_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("read");
        QTest::newRow("as written") << "1:QV-08,2:QV-04,5:QV-08"
                                    << "1:QV-08,2:QV-04,5:QV-08";
        QTest::newRow("order kept") << "7:QV-04,3:QV-08"
                                    << "7:QV-04,3:QV-08";
        QTest::newRow("no model is eight") << "4"
                                           << "4:QV-08";
        QTest::newRow("blanks and case") << " 3 : qv-04 ,, 9:8"
                                         << "3:QV-04,9:QV-08";
        QTest::newRow("second entry of an address") << "2:QV-04,2:QV-08"
                                                    << "2:QV-04";
        QTest::newRow("out of range") << "0:QV-08,256:QV-08,255:QV-04"
                                      << "255:QV-04";
        QTest::newRow("unknown model") << "1:QV-16,2:QV-08"
                                       << "2:QV-08";
        QTest::newRow("garbage") << "x,1-3,:,1:QV-08:extra"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void storedList()
    {
        QFETCH(QString, stored);
        QFETCH(QString, read);
        const bus::WatchList list = bus::WatchListFromText(stored);
        QCOMPARE(bus::WatchListText(list), read);
        QCOMPARE(bus::WatchListFromText(bus::WatchListText(list)), list);
    }

    // A long list in pieces each short enough for a Config.ini value, cut between entries, and
    // read back whole.
    void longListInPieces_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pieces");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("three") << 3 << 1;
        QTest::newRow("thirty-two") << 32 << 2;
        QTest::newRow("every address") << 255 << 10;
    }
    void longListInPieces()
    {
        QFETCH(int, count);
        QFETCH(int, pieces);
        bus::WatchList list;
        for (int a = 1; a <= count; ++a)
            list.append({std::uint8_t(a), a % 3 ? 8 : 4});
        const QStringList stored = bus::WatchListPieces(list);
        QCOMPARE(stored.size(), pieces);
        for (const QString &piece : stored) {
            QVERIFY(piece.size() <= 250);
            QVERIFY(!piece.startsWith(u',') && !piece.endsWith(u','));
        }
        QCOMPARE(bus::WatchListFromPieces(stored), list);
    }

    // Adding an address that is there changes its model, never lists it twice; a scan lists
    // what answered, each keeping the model the user gave it.
    void editsAndScans_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("after");
        QTest::newRow("add in order") << "1:QV-08,5:QV-08"
                                      << "add 3:QV-04"
                                      << "1:QV-08,3:QV-04,5:QV-08";
        QTest::newRow("add again changes the model") << "1:QV-08,5:QV-08"
                                                     << "add 5:QV-04"
                                                     << "1:QV-08,5:QV-04";
        QTest::newRow("remove") << "1:QV-08,5:QV-08"
                                << "remove 1"
                                << "5:QV-08";
        QTest::newRow("remove absent") << "1:QV-08"
                                       << "remove 9"
                                       << "1:QV-08";
        QTest::newRow("scan keeps models") << "2:QV-04,9:QV-04"
                                           << "scan 1,2,5"
                                           << "1:QV-08,2:QV-04,5:QV-08";
        QTest::newRow("scan finds none") << "2:QV-04"
                                         << "scan"
                                         << "";
    }
    void editsAndScans()
    {
        QFETCH(QString, before);
        QFETCH(QString, action);
        QFETCH(QString, after);
        const bus::WatchList list = bus::WatchListFromText(before);
        const QStringList words = action.split(u' ');
        bus::WatchList result;
        if (words[0] == QLatin1String("add")) {
            const bus::WatchedModule m = bus::WatchListFromText(words[1]).value(0);
            result = bus::WithModule(list, m);
        } else if (words[0] == QLatin1String("remove")) {
            result = bus::WithoutModule(list, std::uint8_t(words[1].toInt()));
        } else {
            std::set<int> found;
            for (const QString &a : words.value(1).split(u',', Qt::SkipEmptyParts))
                found.insert(a.toInt());
            result = bus::AfterScan(list, found, 8);
        }
        QCOMPARE(bus::WatchListText(result), after);
    }

    // A name typed over several lines is stored as one line: Config.ini holds a line per key.
    void namesAreOneLine()
    {
        QCOMPARE(bus::StoredName(QStringLiteral("  泵房\n二号\r\n ")), QStringLiteral("泵房 二号"));
    }

    // The CSV export: a name with a separator or a quote stays one field, a four-channel
    // module leaves channels 5-8 empty, a module never read shows nothing but its listing.
    void csv_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bits"); // -1: never read
        QTest::addColumn<bool>("online");
        QTest::addColumn<QString>("line");
        QTest::newRow("eight, online")
            << 1 << 8 << "泵房" << 0x05 << true
            << "1,QV-08,泵房,on,off,on,off,off,off,off,off,yes,2026-03-01T15:30:12.000,,4,1";
        QTest::newRow("four, offline")
            << 2 << 4 << "" << 0x08 << false
            << "2,QV-04,,off,off,off,on,,,,,no,2026-03-01T15:30:12.000,2026-03-01T15:31:00.000,4,1";
        QTest::newRow("comma and quote in the name")
            << 5 << 8 << "A, \"B\"" << 0xFF << true
            << "5,QV-08,\"A, \"\"B\"\"\",on,on,on,on,on,on,on,on,yes,2026-03-01T15:30:12.000,,4,1";
        QTest::newRow("never read") << 9 << 8 << "x" << -1 << false << "9,QV-08,x,,,,,,,,,no,,,0,0";
    }
    void csv()
    {
        QFETCH(int, address);
        QFETCH(int, channels);
        QFETCH(QString, name);
        QFETCH(int, bits);
        QFETCH(bool, online);
        QFETCH(QString, line);
        const bus::Poller::Module state =
            State(address, channels, bits < 0 ? std::nullopt : std::optional<int>(bits), online);
        bus::OverviewRow row{{std::uint8_t(address), channels}, name, bits < 0 ? nullptr : &state};
        const QStringList lines =
            QString::fromUtf8(bus::OverviewCsv({row})).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].count(u','), 15); // sixteen columns
        QCOMPARE(lines[1], line);
    }
};

QTEST_GUILESS_MAIN(TstOverview)
#include "tst_overview.moc"
