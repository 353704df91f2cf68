// The bridge's pure parts: the configuration reader, the payload parser and the choice of the
// retained discovery topics to clear.

#include "bridge/config.h"
#include "bridge/discovery.h"
#include "bridge/payload.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace bridge;

namespace {

const char *const GoodBus = "[bus hall]\nport = /dev/ttyUSB0\n[module hall 1]\n";

ConfigResult Parse(const QString &text, const QTemporaryDir &dir)
{
    return ParseConfig(QString(text).replace(QStringLiteral("@DIR@"), dir.path()), dir.path());
}

void WriteFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

const QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

} // namespace

class TestBridgeLogic : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        WriteFile(m_dir.filePath(QStringLiteral("secret")), "s3cret\n", OwnerOnly);
        WriteFile(m_dir.filePath(QStringLiteral("open")), "s3cret\n",
                  OwnerOnly | QFile::ReadOther | QFile::ReadGroup);
        WriteFile(m_dir.filePath(QStringLiteral("empty")), "\n", OwnerOnly);
        WriteFile(m_dir.filePath(QStringLiteral("ca.pem")), "-----BEGIN CERTIFICATE-----\n",
                  OwnerOnly);
    }

    void badFile_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("names"); // what the reason must name for the reader to act

        const QString bus = QString::fromLatin1(GoodBus);
        QTest::newRow("empty file") << QString() << 0 << "bus";
        QTest::newRow("only a broker") << "[broker]\nhost = b\n" << 0 << "bus";
        QTest::newRow("key before a section") << "port = 1\n" + bus << 1 << "port";
        QTest::newRow("unknown section") << bus + "[busses x]\n" << 4 << "busses x";
        QTest::newRow("unclosed header") << "[broker\n" + bus << 1 << "]";
        QTest::newRow("no equals sign") << bus + "model QV-04\n" << 4 << "key";
        QTest::newRow("unknown key (typo)") << bus + "modle = QV-04\n" << 4 << "modle";
        QTest::newRow("key twice") << "[broker]\nport = 1\nport = 2\n" + bus << 3 << "port";
        QTest::newRow("section twice") << bus + "\n[bus hall]\n" << 5 << "hall";
        QTest::newRow("bus name with a slash") << "[bus a/b]\nport = x\n" << 1 << "a/b";
        QTest::newRow("bus name with a wildcard") << "[bus a+]\nport = x\n" << 1 << "a+";
        QTest::newRow("bus name with a hash") << "[bus #]\nport = x\n" << 1 << "#";
        QTest::newRow("bus named bridge") << "[bus bridge]\nport = x\n" << 1 << "bridge";
        QTest::newRow("bus name of two words") << "[bus a b]\nport = x\n" << 1 << "bus a b";
        QTest::newRow("prefix with a wildcard")
            << "[bridge]\nprefix = a/#\n" + bus << 2 << "prefix";
        QTest::newRow("prefix with an empty level")
            << "[bridge]\nprefix = a//b\n" + bus << 2 << "prefix";
        QTest::newRow("discovery prefix with +")
            << "[bridge]\ndiscovery_prefix = +\n" + bus << 2 << "discovery_prefix";
        QTest::newRow("broker port 0") << "[broker]\nport = 0\n" + bus << 2 << "port";
        QTest::newRow("broker port text") << "[broker]\nport = mqtt\n" + bus << 2 << "port";
        QTest::newRow("tls neither on nor off") << "[broker]\ntls = maybe\n" + bus << 2 << "tls";
        QTest::newRow("ca file missing")
            << "[broker]\ntls = on\nca_file = nope.pem\n" + bus << 3 << "nope.pem";
        QTest::newRow("ca file without tls") << "[broker]\nca_file = ca.pem\n" + bus << 2 << "tls";
        QTest::newRow("password file missing")
            << "[broker]\nuser = u\npassword_file = @DIR@/none\n" + bus << 3 << "none";
        QTest::newRow("password file empty")
            << "[broker]\nuser = u\npassword_file = empty\n" + bus << 3 << "empty";
        QTest::newRow("password without user")
            << "[broker]\npassword_file = secret\n" + bus << 2 << "user";
        QTest::newRow("baud not in the list") << "[bus hall]\nport = x\nbaud = 9601\n"
                                              << 3 << "baud";
        QTest::newRow("format unknown") << "[bus hall]\nport = x\nformat = 7E1\n" << 3 << "format";
        QTest::newRow("echo unknown") << "[bus hall]\nport = x\necho = maybe\n" << 3 << "echo";
        QTest::newRow("poll interval negative") << "[bus hall]\nport = x\npoll_interval = -1\n"
                                                << 3 << "poll_interval";
        QTest::newRow("fail-safe unknown") << "[bus hall]\nport = x\nfailsafe_stop = on\n"
                                           << 3 << "failsafe_stop";
        QTest::newRow("broker lost after 0 s")
            << "[bus hall]\nport = x\nfailsafe_broker_lost_after = 0\n"
            << 3 << "failsafe_broker_lost_after";
        QTest::newRow("bus without port") << "[bus hall]\n[module hall 1]\n" << 1 << "port";
        QTest::newRow("bus without module") << "[bus hall]\nport = x\n" << 1 << "module";
        QTest::newRow("module of an unknown bus") << bus + "\n[module hal 2]\n" << 5 << "hal";
        QTest::newRow("module address 0") << "[bus hall]\nport = x\n[module hall 0]\n" << 3 << "0";
        QTest::newRow("module address 256") << "[bus hall]\nport = x\n[module hall 256]\n"
                                            << 3 << "256";
        QTest::newRow("address twice on a bus") << bus + "[module hall 01]\n" << 4 << "1";
        QTest::newRow("model unknown") << bus + "model = QV-16\n" << 4 << "model";
        QTest::newRow("too many channel names") << bus + "model = QV-04\nchannels = a, b, c, d, e\n"
                                                << 5 << "QV-04";
        QTest::newRow("one port, two buses")
            << bus + "[bus yard]\nport = /dev/ttyUSB0\n[module yard 1]\n"
            << 4 << "ttyUSB0";
    }

    void badFile()
    {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, names);
        const ConfigResult r = Parse(text, m_dir);
        QVERIFY2(!r.config, "a bad file was taken");
        QCOMPARE(r.line, line);
        QVERIFY2(r.reason.contains(names), qPrintable(r.reason));
    }

    void goodFile()
    {
        const ConfigResult r = Parse(QStringLiteral(R"(# a comment
; another
[broker]
host = broker.example
tls = on
ca_file = ca.pem
user = bridge
password_file = secret

[bridge]
prefix = site/relays
discovery = off

[bus hall]
port = tcp://10.0.0.5:4001
baud = 19200
format = 8E1
echo = drop
poll_interval = 0.25
failsafe_start = off
failsafe_broker_lost = off
failsafe_broker_lost_after = 90
failsafe_stop = leave

[module hall 7]
model = qv-04
channels = Hall, , Porch

[bus yard]
port = /dev/ttyUSB1

[module yard 1]
name = Gate
)"),
                                     m_dir);
        QVERIFY2(r.config, qPrintable(QStringLiteral("line %1: %2").arg(r.line).arg(r.reason)));
        QVERIFY(r.warnings.isEmpty());
        const Config &c = *r.config;
        QCOMPARE(c.broker.port, 8883); // TLS without a port: the TLS port
        QCOMPARE(c.broker.caFile, m_dir.filePath(QStringLiteral("ca.pem")));
        QCOMPARE(c.broker.password, QStringLiteral("s3cret")); // the line end is no part of it
        QCOMPARE(c.prefix, QStringLiteral("site/relays"));
        QVERIFY(!c.discovery);
        QCOMPARE(c.buses.size(), 2);
        const BusConfig &hall = c.buses.at(0);
        QCOMPARE(hall.line.rate, 19200);
        QCOMPARE(hall.line.parity, bus::Parity::Even);
        QCOMPARE(hall.echo, bus::Echo::Drop);
        QCOMPARE(hall.pollIntervalMs, 250);
        QCOMPARE(hall.atStart, FailSafe::AllOff);
        QCOMPARE(hall.brokerLostAfterMs, 90000);
        QCOMPARE(hall.modules.size(), 1);
        const ModuleConfig &m = hall.modules.at(0);
        QCOMPARE(m.address, std::uint8_t(7));
        QCOMPARE(m.channelCount, 4);
        // Every channel has a name; the ones not given (or left empty) get their number.
        QCOMPARE(m.channelNames.size(), 4);
        QCOMPARE(m.channelNames.at(0), QStringLiteral("Hall"));
        QVERIFY(m.channelNames.at(1).contains(u'2'));
        QCOMPARE(m.channelNames.at(2), QStringLiteral("Porch"));
        QVERIFY(m.channelNames.at(3).contains(u'4'));
        QVERIFY(!m.name.isEmpty());
        const BusConfig &yard = c.buses.at(1);
        QCOMPARE(yard.atStop, FailSafe::Leave);
        QCOMPARE(yard.modules.at(0).channelCount, 8);
        QCOMPARE(yard.modules.at(0).name, QStringLiteral("Gate"));
    }

    void passwordFileOthersMayRead()
    {
        const ConfigResult r = Parse(QStringLiteral("[broker]\nuser = u\npassword_file = open\n") +
                                         QString::fromLatin1(GoodBus),
                                     m_dir);
        QVERIFY(r.config);
        QCOMPARE(r.warnings.size(), 1);
        QVERIFY(!r.warnings.first().contains(QStringLiteral("s3cret")));
    }

    void channelPayload_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("tenths");

        const auto on = int(ChannelAction::On);
        const auto jog = int(ChannelAction::Jog);
        QTest::newRow("ON") << QByteArray("ON") << true << on << 0;
        QTest::newRow("on, blanks around") << QByteArray(" on\n") << true << on << 0;
        QTest::newRow("OFF") << QByteArray("OFF") << true << int(ChannelAction::Off) << 0;
        QTest::newRow("TOGGLE") << QByteArray("TOGGLE") << true << int(ChannelAction::Toggle) << 0;
        QTest::newRow("jog 1.5") << QByteArray(R"({"jog": 1.5})") << true << jog << 15;
        QTest::newRow("jog shortest") << QByteArray(R"({"jog": 0.1})") << true << jog << 1;
        QTest::newRow("jog longest") << QByteArray(R"({"jog": 6553.5})") << true << jog << 65535;
        QTest::newRow("delay on 5")
            << QByteArray(R"({"delay_on": 5})") << true << int(ChannelAction::DelayOn) << 50;
        QTest::newRow("delay off 0.3")
            << QByteArray(R"({"delay_off": 0.3})") << true << int(ChannelAction::DelayOff) << 3;
        QTest::newRow("empty") << QByteArray() << false << 0 << 0;
        QTest::newRow("ONN") << QByteArray("ONN") << false << 0 << 0;
        QTest::newRow("1") << QByteArray("1") << false << 0 << 0;
        QTest::newRow("not JSON") << QByteArray("{jog: 1}") << false << 0 << 0;
        QTest::newRow("JSON array") << QByteArray("[1]") << false << 0 << 0;
        QTest::newRow("jog 0") << QByteArray(R"({"jog": 0})") << false << 0 << 0;
        QTest::newRow("jog 0.04 rounds to 0") << QByteArray(R"({"jog": 0.04})") << false << 0 << 0;
        QTest::newRow("jog negative") << QByteArray(R"({"jog": -1})") << false << 0 << 0;
        QTest::newRow("jog too long") << QByteArray(R"({"jog": 6553.6})") << false << 0 << 0;
        QTest::newRow("jog between steps") << QByteArray(R"({"jog": 1.55})") << false << 0 << 0;
        QTest::newRow("jog as text") << QByteArray(R"({"jog": "1.5"})") << false << 0 << 0;
        QTest::newRow("two members")
            << QByteArray(R"({"jog": 1, "delay_on": 2})") << false << 0 << 0;
        QTest::newRow("unknown member") << QByteArray(R"({"pulse": 1})") << false << 0 << 0;
        QTest::newRow("huge exponent") << QByteArray(R"({"jog": 1e400})") << false << 0 << 0;
    }

    void channelPayload()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, taken);
        QFETCH(int, action);
        QFETCH(int, tenths);
        const Parsed<ChannelCommand> p = ParseChannelPayload(payload);
        QCOMPARE(bool(p.command), taken);
        QCOMPARE(p.reason.isEmpty(), taken);
        if (taken) {
            QCOMPARE(int(p.command->action), action);
            QCOMPARE(p.command->tenths, tenths);
        }
    }

    void modulePayload_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("mask"); // the channels switched on, channel 1 first

        const auto mask = int(ModuleAction::Mask);
        QTest::newRow("all on") << QByteArray(R"({"all": "ON"})") << 8 << true
                                << int(ModuleAction::AllOn) << QString();
        QTest::newRow("all off") << QByteArray(R"({"all": "off"})") << 8 << true
                                 << int(ModuleAction::AllOff) << QString();
        QTest::newRow("mask of eight")
            << QByteArray(R"({"mask": "10100000"})") << 8 << true << mask << "10100000";
        QTest::newRow("mask of four on QV-04")
            << QByteArray(R"({"mask": "0110"})") << 4 << true << mask << "01100000";
        QTest::newRow("eight digits on QV-04, the rest off")
            << QByteArray(R"({"mask": "10010000"})") << 4 << true << mask << "10010000";
        QTest::newRow("a channel beyond QV-04")
            << QByteArray(R"({"mask": "00001000"})") << 4 << false << 0 << QString();
        QTest::newRow("mask too short")
            << QByteArray(R"({"mask": "101"})") << 8 << false << 0 << QString();
        QTest::newRow("mask with a 2")
            << QByteArray(R"({"mask": "10200000"})") << 8 << false << 0 << QString();
        QTest::newRow("mask as number")
            << QByteArray(R"({"mask": 10100000})") << 8 << false << 0 << QString();
        QTest::newRow("all toggle")
            << QByteArray(R"({"all": "TOGGLE"})") << 8 << false << 0 << QString();
        QTest::newRow("all true") << QByteArray(R"({"all": true})") << 8 << false << 0 << QString();
        QTest::newRow("plain ON") << QByteArray("ON") << 8 << false << 0 << QString();
        QTest::newRow("empty object") << QByteArray("{}") << 8 << false << 0 << QString();
    }

    void modulePayload()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, channels);
        QFETCH(bool, taken);
        QFETCH(int, action);
        QFETCH(QString, mask);
        const Parsed<ModuleCommand> p = ParseModulePayload(payload, channels);
        QCOMPARE(bool(p.command), taken);
        QCOMPARE(p.reason.isEmpty(), taken);
        if (!taken)
            return;
        QCOMPARE(int(p.command->action), action);
        if (p.command->action == ModuleAction::Mask) {
            QString got;
            for (const bool b : p.command->mask)
                got += b ? u'1' : u'0';
            QCOMPARE(got, mask);
        }
    }

    void staleDiscovery_data()
    {
        QTest::addColumn<QString>(
            "before"); // the configuration the messages on the broker are from
        QTest::addColumn<QString>("now");
        QTest::addColumn<QStringList>("cleared");

        const QString two = QStringLiteral("[bus hall]\nport = x\n[module hall 1]\n"
                                           "[module hall 2]\nmodel = QV-04\n");
        const QString one = QStringLiteral("[bus hall]\nport = x\n[module hall 1]\n");
        QTest::newRow("unchanged") << two << two << QStringList();
        QTest::newRow("a module left")
            << two << one
            << QStringList{"homeassistant/switch/quorvane_hall_2/1/config",
                           "quorvane/hall/2/1/state",
                           "quorvane/hall/2/availability",
                           "homeassistant/switch/quorvane_hall_2/2/config",
                           "quorvane/hall/2/2/state",
                           "homeassistant/switch/quorvane_hall_2/3/config",
                           "quorvane/hall/2/3/state",
                           "homeassistant/switch/quorvane_hall_2/4/config",
                           "quorvane/hall/2/4/state"};
        QTest::newRow("QV-08 now a QV-04: its module stays available")
            << one << "[bus hall]\nport = x\n[module hall 1]\nmodel = QV-04\n"
            << QStringList{
                   "homeassistant/switch/quorvane_hall_1/5/config", "quorvane/hall/1/5/state",
                   "homeassistant/switch/quorvane_hall_1/6/config", "quorvane/hall/1/6/state",
                   "homeassistant/switch/quorvane_hall_1/7/config", "quorvane/hall/1/7/state",
                   "homeassistant/switch/quorvane_hall_1/8/config", "quorvane/hall/1/8/state"};
        // Another bridge's prefix that begins with ours, or another bridge's bus: not ours.
        QTest::newRow("a longer prefix is another bridge's")
            << "[bridge]\nprefix = quorvane/east\n" + one << one << QStringList();
        QTest::newRow("another prefix")
            << "[bridge]\nprefix = other\n" + one << one << QStringList();
    }

    void staleDiscovery()
    {
        QFETCH(QString, before);
        QFETCH(QString, now);
        QFETCH(QStringList, cleared);
        const ConfigResult was = Parse(before, m_dir);
        const ConfigResult is = Parse(now, m_dir);
        QVERIFY(was.config && is.config);
        QList<Message> found = DiscoveryMessages(*was.config, QStringLiteral("1"));
        found << Message{QStringLiteral("homeassistant/switch/x/1/config"), QByteArray("{}")}
              << Message{QStringLiteral("homeassistant/switch/y/1/config"), QByteArray()};
        QCOMPARE(StaleTopics(*is.config, found), cleared);
    }

    void discoveryIdsAreUnique()
    {
        const ConfigResult r = Parse(QStringLiteral("[bus a]\nport = x\n[module a 1]\n"
                                                    "[module a 11]\n[bus a_1]\nport = y\n"
                                                    "[module a_1 1]\n"),
                                     m_dir);
        QVERIFY(r.config);
        QSet<QString> topics;
        QSet<QString> ids;
        const QList<Message> messages = DiscoveryMessages(*r.config, QStringLiteral("1"));
        QCOMPARE(messages.size(), 24);
        for (const Message &m : messages) {
            topics.insert(m.topic);
            ids.insert(QJsonDocument::fromJson(m.payload)
                           .object()
                           .value(QStringLiteral("unique_id"))
                           .toString());
        }
        QCOMPARE(topics.size(), messages.size());
        QCOMPARE(ids.size(), messages.size());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestBridgeLogic)
#include "tst_bridge_logic.moc"
