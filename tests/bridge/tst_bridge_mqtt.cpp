// quorvane-bridge as a site runs it: a real mosquitto broker on a free port, quorvane-sim's
// modules behind a pseudo-terminal, and the broker's own command-line clients as the
// automation system.

#include "support/simprocess.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

QString Mosquitto()
{
    QString path = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                              {QStringLiteral("/usr/sbin")});
    return path;
}

int FreePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

void Stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(10000)) {
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
}

// A broker on 127.0.0.1; with a user, only that user with that password is let in.
class Broker
{
public:
    Broker(const QString &dir, int port, const QString &user = {}, const QString &password = {},
           const QString &extra = {})
    {
        QString conf = QStringLiteral("listener %1 127.0.0.1\n").arg(port) + extra;
        // Started by root, mosquitto would become another user, who cannot read the test's files.
        if (::getuid() == 0)
            conf += QStringLiteral("user root\n");
        if (user.isEmpty()) {
            conf += QStringLiteral("allow_anonymous true\n");
        } else {
            const QString passwords = dir + QStringLiteral("/passwords");
            QProcess::execute(
                QStringLiteral("mosquitto_passwd"),
                {QStringLiteral("-c"), QStringLiteral("-b"), passwords, user, password});
            conf += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords);
        }
        const QString path = dir + QStringLiteral("/broker-%1.conf").arg(port);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(conf.toUtf8());
        file.close();
        m_port = port;
        m_process.setProgram(Mosquitto());
        m_process.setArguments({QStringLiteral("-c"), path});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start();
    }
    ~Broker() { Stop(m_process); }

    bool listening() const
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        return socket.waitForConnected(200);
    }
    void stop() { Stop(m_process); }
    QByteArray output() { return m_process.readAll(); }

private:
    int m_port = 0;
    QProcess m_process;
};

// mosquitto_sub on everything the bridge publishes: every message in order, and the last
// payload of each topic.
class Subscriber
{
public:
    explicit Subscriber(int port)
    {
        m_process.setProgram(QStringLiteral("mosquitto_sub"));
        m_process.setArguments({QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                                QStringLiteral("-p"), QString::number(port), QStringLiteral("-q"),
                                QStringLiteral("1"), QStringLiteral("-F"), QStringLiteral("%t %p"),
                                QStringLiteral("-t"), QStringLiteral("quorvane/#"),
                                QStringLiteral("-t"), QStringLiteral("homeassistant/#")});
        m_process.start();
    }
    ~Subscriber() { Stop(m_process); }

    // The last payload of topic; none when nothing came there.
    std::optional<QByteArray> last(const QString &topic)
    {
        take();
        const auto it = m_last.constFind(topic);
        return it == m_last.constEnd() ? std::nullopt : std::optional(*it);
    }
    bool is(const QString &topic, const QByteArray &payload) { return last(topic) == payload; }
    // Every payload that came to topic, in order.
    QList<QByteArray> history(const QString &topic)
    {
        take();
        QList<QByteArray> h;
        for (const auto &[t, p] : m_all) {
            if (t == topic)
                h << p;
        }
        return h;
    }
    int count(const QString &topicPrefix)
    {
        take();
        int n = 0;
        for (auto it = m_last.cbegin(); it != m_last.cend(); ++it)
            n += it.key().startsWith(topicPrefix) && !it.value().isEmpty();
        return n;
    }

private:
    void take()
    {
        while (m_process.canReadLine()) {
            QByteArray line = m_process.readLine();
            line.chop(1);
            const qsizetype space = line.indexOf(' ');
            const QString topic = QString::fromUtf8(line.left(space));
            const QByteArray payload = space < 0 ? QByteArray() : line.mid(space + 1);
            m_last.insert(topic, payload);
            m_all.append({topic, payload});
        }
    }
    QProcess m_process;
    QMap<QString, QByteArray> m_last;
    QList<std::pair<QString, QByteArray>> m_all;
};

} // namespace

class TestBridgeMqtt : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (Mosquitto().isEmpty() || QStandardPaths::findExecutable("mosquitto_sub").isEmpty())
            QSKIP("mosquitto or mosquitto-clients is not installed: the bridge is not tried");
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        m_port = FreePort();
        m_broker = std::make_unique<Broker>(m_dir.path(), m_port);
        QTRY_VERIFY_WITH_TIMEOUT(m_broker->listening(), 20000);
        // Module 3 is configured but not on the bus; relay 4 of module 2 is stuck.
        m_sim = std::make_unique<SimProcess>(
            QStringList{"--module", "1", "--module", "2:QV-04:9600:stuck=4", "--log"});
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->ready(), 20000);
        m_config =
            writeConfig(QStringLiteral("[broker]\nhost = 127.0.0.1\nport = %1\n\n"
                                       "[bus hall]\nport = %2\npoll_interval = 0.3\n\n"
                                       "[module hall 1]\nname = Lights\nchannels = Hall, Stairs\n\n"
                                       "[module hall 2]\nmodel = QV-04\n\n"
                                       "[module hall 3]\n")
                            .arg(m_port)
                            .arg(m_sim->path()));
        m_sub = std::make_unique<Subscriber>(m_port);
    }

    void cleanup()
    {
        if (m_sim)
            ::kill(pid_t(m_sim->pid()), SIGCONT);
        m_bridge.reset();
        m_sub.reset();
        m_sim.reset();
        m_broker.reset();
    }

    // A command switches the relay, and the state published is the module's answer.
    void command()
    {
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "OFF"), 20000);
        QVERIFY(m_sub->is("quorvane/hall/1/availability", "online"));
        QVERIFY(m_sub->is("quorvane/bridge/availability", "online"));
        publish("quorvane/hall/1/1/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "ON"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->logged(" 01 05 00 00 FF 00 "), 10000);
        publish("quorvane/hall/2/set", R"({"mask": "0110"})");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/2/3/state", "ON"), 20000);
        QVERIFY(m_sub->is("quorvane/hall/2/2/state", "ON"));
        QVERIFY(m_sub->is("quorvane/hall/2/1/state", "OFF"));
        publish("quorvane/hall/2/2/set", "TOGGLE");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/2/2/state", "OFF"), 20000);
        // Relay 4 of module 2 does not move, though the module answers the command: its state
        // stays OFF. The command after it is on the bus after its state read.
        publish("quorvane/hall/2/4/set", "ON");
        publish("quorvane/hall/2/1/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/2/1/state", "ON"), 20000);
        QCOMPARE(m_sub->history("quorvane/hall/2/4/state"), QList<QByteArray>{"OFF"});
        // Polls publish only what changed: one ON for channel 1, after the first OFF.
        QCOMPARE(m_sub->history("quorvane/hall/1/1/state"), (QList<QByteArray>{"OFF", "ON"}));
    }

    // A jog's return to OFF, made by the module's own timer, is published by a poll.
    void timer()
    {
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/2/state", "OFF"), 20000);
        publish("quorvane/hall/1/2/set", R"({"jog": 2})");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->history("quorvane/hall/1/2/state").size() == 3, 20000);
        QCOMPARE(m_sub->history("quorvane/hall/1/2/state"),
                 (QList<QByteArray>{"OFF", "ON", "OFF"}));
    }

    void moduleLost()
    {
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/availability", "online"), 20000);
        // Never heard: offline, and no state is made up for it.
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/3/availability", "offline"), 20000);
        QVERIFY(!m_sub->last("quorvane/hall/3/1/state"));
        // Every module silent: offline; answering again: online.
        ::kill(pid_t(m_sim->pid()), SIGSTOP);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/availability", "offline"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/2/availability", "offline"), 30000);
        ::kill(pid_t(m_sim->pid()), SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/availability", "online"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/2/availability", "online"), 30000);
    }

    // The adapter pulled and plugged in again: the port is opened again, and the state
    // published is the one the modules answer then.
    void portLost()
    {
        const QString link = m_dir.filePath(QStringLiteral("adapter"));
        m_sim = std::make_unique<SimProcess>(QStringList{"--module", "1", "--link", link});
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->ready(), 20000);
        m_config = writeConfig(QStringLiteral("[broker]\nhost = 127.0.0.1\nport = %1\n"
                                              "[bus hall]\nport = %2\npoll_interval = 0.3\n"
                                              "[module hall 1]\n")
                                   .arg(m_port)
                                   .arg(link));
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "OFF"), 20000);
        publish("quorvane/hall/1/1/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "ON"), 20000);
        m_sim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/availability", "offline"), 20000);
        publish("quorvane/hall/1/2/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->last("quorvane/bridge/error"), 20000);
        // A new module behind the same link, its relays off.
        m_sim = std::make_unique<SimProcess>(QStringList{"--module", "1", "--link", link});
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->ready(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/availability", "online"), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "OFF"), 20000);
        QVERIFY(!m_sub->last("quorvane/hall/1/2/state").value_or("OFF").contains("ON"));
    }

    // A bus behind a network gateway, as qvctl and the window reach it.
    void networkPort_data()
    {
        QTest::addColumn<QString>("serve");
        QTest::newRow("tcp://") << "--tcp";
        QTest::newRow("mbtcp://") << "--mbtcp";
    }

    void networkPort()
    {
        QFETCH(QString, serve);
        m_sim = std::make_unique<SimProcess>(QStringList{"--module", "5", serve, "0"});
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->ready(), 20000);
        m_config = writeConfig(QStringLiteral("[broker]\nhost = 127.0.0.1\nport = %1\n"
                                              "[bus yard]\nport = %2\npoll_interval = 0.3\n"
                                              "[module yard 5]\n")
                                   .arg(m_port)
                                   .arg(m_sim->path()));
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/yard/5/8/state", "OFF"), 20000);
        publish("quorvane/yard/5/8/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/yard/5/8/state", "ON"), 20000);
    }

    // The broker keeps no retained message over a restart here: every state there after it was
    // published again by the bridge.
    void brokerLost()
    {
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/2/4/state", "OFF"), 20000);
        m_sub.reset();
        m_broker->stop();
        m_broker = std::make_unique<Broker>(m_dir.path(), m_port);
        QTRY_VERIFY_WITH_TIMEOUT(m_broker->listening(), 20000);
        m_sub = std::make_unique<Subscriber>(m_port);
        QTRY_COMPARE_WITH_TIMEOUT(m_sub->count("quorvane/hall/1/"), 9, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(m_sub->count("quorvane/hall/2/"), 5, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/bridge/availability", "online"), 20000);
        // And the bridge takes commands again.
        publish("quorvane/hall/1/8/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/8/state", "ON"), 20000);
    }

    void badPayload_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("reachesBus"); // a well-formed command the module does not answer

        QTest::newRow("unknown word") << "quorvane/hall/1/1/set" << QByteArray("MAYBE") << false;
        QTest::newRow("jog out of range")
            << "quorvane/hall/1/1/set" << QByteArray(R"({"jog": 7000})") << false;
        QTest::newRow("mask too long for QV-04")
            << "quorvane/hall/2/set" << QByteArray(R"({"mask": "000011"})") << false;
        QTest::newRow("channel beyond the model")
            << "quorvane/hall/2/5/set" << QByteArray("ON") << false;
        QTest::newRow("module not configured")
            << "quorvane/hall/9/1/set" << QByteArray("ON") << false;
        QTest::newRow("module that does not answer")
            << "quorvane/hall/3/1/set" << QByteArray("ON") << true;
    }

    void badPayload()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, reachesBus);
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "OFF"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/3/availability", "offline"), 20000);
        const QByteArray before = m_sim->log();
        publish(topic, payload);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->last("quorvane/bridge/error"), 20000);
        const QJsonObject error =
            QJsonDocument::fromJson(*m_sub->last("quorvane/bridge/error")).object();
        QCOMPARE(error.value("topic").toString(), topic);
        QCOMPARE(error.value("payload").toString().toUtf8(), payload);
        QVERIFY(!error.value("reason").toString().isEmpty());
        // Nothing but state reads went to the bus for a refused payload (the bus's log read
        // until two polls later).
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->log().mid(before.size()).count(" 03 00 00 00 01 ") >= 4,
                                 20000);
        const QByteArray after = m_sim->log().mid(before.size());
        for (const QByteArray &line : after.split('\n')) {
            if (line.contains(" in "))
                QVERIFY2(line.contains(" 03 00 00 00 01 ") || reachesBus, line.constData());
        }
        // No state is published for a command the module did not confirm.
        QVERIFY(!m_sub->last("quorvane/hall/3/1/state"));
        QCOMPARE(m_sub->last("quorvane/hall/1/1/state"), QByteArray("OFF"));
    }

    // One device per module, one switch per channel; removed when the module leaves the
    // configuration.
    void discovery()
    {
        startBridge();
        QTRY_COMPARE_WITH_TIMEOUT(m_sub->count("homeassistant/switch/"), 8 + 4 + 8, 20000);
        const QJsonObject hall =
            QJsonDocument::fromJson(*m_sub->last("homeassistant/switch/quorvane_hall_1/2/config"))
                .object();
        QCOMPARE(hall.value("name").toString(), QStringLiteral("Stairs"));
        QCOMPARE(hall.value("command_topic").toString(), QStringLiteral("quorvane/hall/1/2/set"));
        QCOMPARE(hall.value("device").toObject().value("name").toString(),
                 QStringLiteral("Lights"));
        m_bridge.reset();
        m_config = writeConfig(
            QString::fromUtf8(readConfig()).section(QStringLiteral("[module hall 2]"), 0, 0));
        startBridge();
        QTRY_COMPARE_WITH_TIMEOUT(m_sub->count("homeassistant/switch/quorvane_hall_2/"), 0, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(m_sub->count("quorvane/hall/2/"), 0, 20000);
        QCOMPARE(m_sub->count("homeassistant/switch/quorvane_hall_1/"), 8);
        QVERIFY(m_sub->is("quorvane/hall/1/1/state", "OFF"));
    }

    // Every channel off at start, once the broker has been lost for the set time, and at stop.
    void failSafe()
    {
        m_config = writeConfig(
            QString::fromUtf8(readConfig())
                .replace(QStringLiteral("poll_interval = 0.3\n"),
                         QStringLiteral(
                             "poll_interval = 0.3\nfailsafe_start = off\nfailsafe_broker_lost = "
                             "off\nfailsafe_broker_lost_after = 1\nfailsafe_stop = off\n")));
        const QByteArray allOff = " 01 0F 00 00 00 10 02 00 00 ";
        startBridge();
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->log().count(allOff) == 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "OFF"), 20000);
        publish("quorvane/hall/1/1/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "ON"), 20000);
        m_sub.reset();
        m_broker->stop();
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->log().count(allOff) == 2, 20000);
        m_broker = std::make_unique<Broker>(m_dir.path(), m_port);
        QTRY_VERIFY_WITH_TIMEOUT(m_broker->listening(), 20000);
        m_sub = std::make_unique<Subscriber>(m_port);
        // The state after the fail-safe, as the module has it.
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "OFF"), 60000);
        publish("quorvane/hall/1/1/set", "ON");
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/hall/1/1/state", "ON"), 20000);
        ::kill(pid_t(m_bridge->processId()), SIGTERM);
        QVERIFY(m_bridge->waitForFinished(20000));
        QCOMPARE(m_bridge->exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->log().count(allOff), 3, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_sub->is("quorvane/bridge/availability", "offline"), 20000);
    }

    void badCredentials()
    {
        const int port = FreePort();
        Broker strict(m_dir.path(), port, QStringLiteral("bridge"), QStringLiteral("right"));
        QTRY_VERIFY2_WITH_TIMEOUT(strict.listening(), strict.output().constData(), 20000);
        QFile secret(m_dir.filePath(QStringLiteral("secret")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("wr0ng-pw\n");
        secret.close();
        secret.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        m_config = writeConfig(
            QString::fromUtf8(readConfig())
                .replace(QStringLiteral("port = %1\n").arg(m_port),
                         QStringLiteral("port = %1\nuser = bridge\npassword_file = secret\n")
                             .arg(port)));
        QProcess bridge;
        bridge.start(QStringLiteral(QUORVANE_BRIDGE), {QStringLiteral("--config"), m_config});
        QVERIFY(bridge.waitForFinished(30000));
        QCOMPARE(bridge.exitCode(), 3);
        const QByteArray said = bridge.readAllStandardError();
        QVERIFY2(said.contains("bridge"), said.constData()); // the user refused is named
        QVERIFY2(!said.contains("wr0ng-pw"), said.constData());
        QVERIFY2(!m_sim->logged(" in "), m_sim->log().constData());
    }

    // TLS to the broker: with the authority that signed its certificate, the bridge works;
    // with another, it says why it cannot connect, keeps trying, and sends nothing to the bus.
    void tls_data()
    {
        QTest::addColumn<bool>("rightAuthority");
        QTest::newRow("the broker's authority") << true;
        QTest::newRow("another authority") << false;
    }

    void tls()
    {
        QFETCH(bool, rightAuthority);
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            QSKIP("openssl is not installed: no certificates for the TLS test");
        const QString d = m_dir.path() + u'/';
        const auto openssl = [](const QStringList &arguments) {
            QProcess p;
            p.start(QStringLiteral("openssl"), arguments);
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };
        for (const QString &ca : {QStringLiteral("ca"), QStringLiteral("other")})
            QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                             "/CN=" + ca, "-keyout", d + ca + ".key", "-out", d + ca + ".pem"}));
        QVERIFY(openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                         "-keyout", d + "server.key", "-out", d + "server.csr"}));
        QFile ext(d + "ext");
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=IP:127.0.0.1\n");
        ext.close();
        QVERIFY(openssl({"x509", "-req", "-in", d + "server.csr", "-CA", d + "ca.pem", "-CAkey",
                         d + "ca.key", "-CAcreateserial", "-days", "2", "-extfile", d + "ext",
                         "-out", d + "server.pem"}));
        const int port = FreePort();
        Broker secure(m_dir.path(), port, {}, {},
                      QStringLiteral("allow_anonymous true\ncafile %1ca.pem\ncertfile "
                                     "%1server.pem\nkeyfile %1server.key\n")
                          .arg(d));
        QTRY_VERIFY_WITH_TIMEOUT(secure.listening(), 20000);
        m_config =
            writeConfig(QString::fromUtf8(readConfig())
                            .replace(QStringLiteral("port = %1\n").arg(m_port),
                                     QStringLiteral("port = %1\ntls = on\nca_file = %2\n")
                                         .arg(port)
                                         .arg(rightAuthority ? QStringLiteral("ca.pem")
                                                             : QStringLiteral("other.pem"))));
        QProcess bridge;
        bridge.setProcessChannelMode(QProcess::MergedChannels);
        bridge.start(QStringLiteral(QUORVANE_BRIDGE), {QStringLiteral("--config"), m_config});
        QByteArray said;
        if (rightAuthority) {
            QTRY_VERIFY_WITH_TIMEOUT((said += bridge.readAll()).contains("opened"), 20000);
            QTRY_VERIFY_WITH_TIMEOUT(m_sim->logged(" in "), 20000);
        } else {
            // Said, and tried again after the back-off: said twice.
            QTRY_VERIFY_WITH_TIMEOUT((said += bridge.readAll()).count("verify failed") >= 2, 30000);
            QVERIFY2(!said.contains("opened"), said.constData());
            QVERIFY(!m_sim->logged(" in "));
        }
        Stop(bridge);
    }

    void badConfiguration()
    {
        m_config = writeConfig(QString::fromUtf8(readConfig()) +
                               QStringLiteral("\n[module hall 4]\nmodel = QV-4\n"));
        QProcess bridge;
        bridge.start(QStringLiteral(QUORVANE_BRIDGE), {QStringLiteral("--config"), m_config});
        QVERIFY(bridge.waitForFinished(30000));
        QCOMPARE(bridge.exitCode(), 2);
        const int line = int(readConfig().count('\n'));
        QVERIFY2(bridge.readAllStandardError().contains(
                     QStringLiteral("%1:%2:").arg(m_config).arg(line).toUtf8()),
                 "the line at fault is named");
        QVERIFY(!m_sim->logged(" in "));
        QVERIFY(!m_sub->last("quorvane/bridge/availability"));
    }

private:
    QString writeConfig(const QString &text)
    {
        const QString path = m_dir.filePath(QStringLiteral("bridge.conf"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text.toUtf8());
        return path;
    }
    QByteArray readConfig() const
    {
        QFile file(m_config);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void startBridge()
    {
        m_bridge.reset(new QProcess);
        m_bridge->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_bridge->start(QStringLiteral(QUORVANE_BRIDGE), {QStringLiteral("--config"), m_config});
        QVERIFY(m_bridge->waitForStarted(10000));
    }
    void publish(const QString &topic, const QByteArray &payload)
    {
        QProcess pub;
        pub.start(QStringLiteral("mosquitto_pub"),
                  {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                   QString::number(m_port), QStringLiteral("-q"), QStringLiteral("1"),
                   QStringLiteral("-t"), topic, QStringLiteral("-m"), QString::fromUtf8(payload)});
        QVERIFY(pub.waitForFinished(20000));
        QCOMPARE(pub.exitCode(), 0);
    }

    struct BridgeStop
    {
        void operator()(QProcess *p) const
        {
            Stop(*p);
            delete p;
        }
    };

    QTemporaryDir m_dir;
    int m_port = 0;
    QString m_config;
    std::unique_ptr<Broker> m_broker;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Subscriber> m_sub;
    std::unique_ptr<QProcess, BridgeStop> m_bridge;
};

QTEST_GUILESS_MAIN(TestBridgeMqtt)
#include "tst_bridge_mqtt.moc"
