#include "bridge/config.h"

#include "protocol/baud.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <cmath>
#include <map>

namespace bridge {

namespace {

struct Fault
{
    int line;
    QString reason;
};

// Seconds with at most one decimal place's worth of meaning, as milliseconds; none for other
// text or outside low..high seconds.
std::optional<int> SecondsToMs(const QString &text, double low, double high)
{
    bool ok = false;
    const double s = text.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s < low || s > high)
        return std::nullopt;
    return int(std::lround(s * 1000));
}

std::optional<int> WholeNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

std::optional<bool> Switch(const QString &text)
{
    const QString t = text.toLower();
    if (t == u"on" || t == u"yes" || t == u"true" || t == u"1")
        return true;
    if (t == u"off" || t == u"no" || t == u"false" || t == u"0")
        return false;
    return std::nullopt;
}

std::optional<FailSafe> FailSafeOf(const QString &text)
{
    const QString t = text.toLower();
    if (t == u"leave")
        return FailSafe::Leave;
    if (t == u"off" || t == u"all-off")
        return FailSafe::AllOff;
    return std::nullopt;
}

// A prefix: topic levels joined by '/', none empty, none with a wildcard.
bool IsTopicPrefix(const QString &prefix)
{
    if (prefix.isEmpty())
        return false;
    for (const QString &level : prefix.split(u'/')) {
        if (!IsTopicName(level))
            return false;
    }
    return true;
}

QString Resolve(const QString &path, const QString &baseDir)
{
    return QDir::isAbsolutePath(path) ? path : QDir(baseDir).filePath(path);
}

struct PendingModule
{
    int line = 0;
    QString bus;
    ModuleConfig module;
    bool hasModel = false;
    int channelsLine = 0;
};

class Reader
{
public:
    explicit Reader(QString baseDir) : m_baseDir(std::move(baseDir)) {}

    std::optional<Fault> read(const QString &text);
    Config config;
    QStringList warnings;

private:
    std::optional<Fault> section(int line, const QString &header);
    std::optional<Fault> entry(int line, const QString &key, const QString &value);
    std::optional<Fault> brokerEntry(int line, const QString &key, const QString &value);
    std::optional<Fault> bridgeEntry(const QString &key, const QString &value);
    std::optional<Fault> busEntry(const QString &key, const QString &value);
    std::optional<Fault> moduleEntry(int line, const QString &key, const QString &value);
    std::optional<Fault> finish();
    Fault bad(const QString &reason) const { return {m_line, reason}; }

    enum class Section { None, Broker, Bridge, Bus, Module };
    QString m_baseDir;
    Section m_section = Section::None;
    int m_line = 0;
    QSet<QString> m_keys; // the keys of the current section so far
    QSet<QString> m_sections;
    QList<int> m_busLines;
    std::map<QString, int> m_busIndex;
    QList<PendingModule> m_modules;
    bool m_tlsPortSet = false;
    int m_passwordLine = 0;
    int m_caLine = 0;
    int m_tlsLine = 0;
};

std::optional<Fault> Reader::read(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        m_line = i + 1;
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return bad(QStringLiteral("a section header ends with ']'"));
            if (const auto fault = section(m_line, line.mid(1, line.size() - 2).simplified()))
                return fault;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            return bad(QStringLiteral("expected 'key = value', a [section] or a comment"));
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (m_section == Section::None)
            return bad(QStringLiteral("'%1' stands before any [section]").arg(key));
        if (m_keys.contains(key))
            return bad(QStringLiteral("'%1' is given twice in this section").arg(key));
        m_keys.insert(key);
        if (const auto fault = entry(m_line, key, value))
            return fault;
    }
    m_line = 0;
    return finish();
}

std::optional<Fault> Reader::section(int line, const QString &header)
{
    m_keys.clear();
    const QStringList words = header.split(u' ', Qt::SkipEmptyParts);
    const QString kind = words.value(0).toLower();
    const QString id = words.join(u' ').toLower();
    if (m_sections.contains(id))
        return bad(QStringLiteral("the section [%1] is given twice").arg(header));
    m_sections.insert(id);
    if (kind == u"broker" && words.size() == 1) {
        m_section = Section::Broker;
    } else if (kind == u"bridge" && words.size() == 1) {
        m_section = Section::Bridge;
    } else if (kind == u"bus" && words.size() == 2) {
        const QString name = words.at(1);
        if (!IsTopicName(name))
            return bad(QStringLiteral("a bus name is letters, digits, '-' and '_' only (it is a "
                                      "topic level): %1")
                           .arg(name));
        if (name == u"bridge")
            return bad(QStringLiteral("a bus may not be named 'bridge': the bridge's own topics "
                                      "use that level"));
        m_section = Section::Bus;
        BusConfig b;
        b.name = name;
        m_busIndex[name] = int(config.buses.size());
        config.buses << b;
        m_busLines << line;
    } else if (kind == u"module" && words.size() == 3) {
        const auto address = WholeNumber(words.at(2), 1, 255);
        if (!address)
            return bad(QStringLiteral("a module's address is 1..255: %1").arg(words.at(2)));
        m_section = Section::Module;
        PendingModule m;
        m.line = line;
        m.bus = words.at(1);
        m.module.address = std::uint8_t(*address);
        m_modules << m;
    } else {
        return bad(QStringLiteral("unknown section [%1]: expected [broker], [bridge], [bus NAME] "
                                  "or [module BUS ADDRESS]")
                       .arg(header));
    }
    return std::nullopt;
}

std::optional<Fault> Reader::entry(int line, const QString &key, const QString &value)
{
    switch (m_section) {
    case Section::Broker:
        return brokerEntry(line, key, value);
    case Section::Bridge:
        return bridgeEntry(key, value);
    case Section::Bus:
        return busEntry(key, value);
    case Section::Module:
        return moduleEntry(line, key, value);
    case Section::None:
        break;
    }
    return std::nullopt;
}

std::optional<Fault> Reader::brokerEntry(int line, const QString &key, const QString &value)
{
    BrokerConfig &b = config.broker;
    if (key == u"host") {
        if (value.isEmpty() || value.contains(u' '))
            return bad(QStringLiteral("host: a host name or address"));
        b.host = value;
    } else if (key == u"port") {
        const auto port = WholeNumber(value, 1, 65535);
        if (!port)
            return bad(QStringLiteral("port: 1..65535"));
        b.port = *port;
        m_tlsPortSet = true;
    } else if (key == u"tls") {
        const auto on = Switch(value);
        if (!on)
            return bad(QStringLiteral("tls: on or off"));
        b.tls = *on;
        m_tlsLine = line;
    } else if (key == u"ca_file") {
        b.caFile = Resolve(value, m_baseDir);
        m_caLine = line;
        if (!QFileInfo(b.caFile).isFile())
            return bad(QStringLiteral("ca_file: no such file: %1").arg(b.caFile));
    } else if (key == u"user") {
        if (value.isEmpty())
            return bad(QStringLiteral("user: empty"));
        b.user = value;
    } else if (key == u"password_file") {
        b.passwordFile = Resolve(value, m_baseDir);
        m_passwordLine = line;
        QFile file(b.passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            return bad(QStringLiteral("password_file: cannot read %1: %2")
                           .arg(b.passwordFile, file.errorString()));
        // The first line is the password; a trailing line end is no part of it.
        QByteArray secret = file.readLine(4096);
        while (secret.endsWith('\n') || secret.endsWith('\r'))
            secret.chop(1);
        if (secret.isEmpty())
            return bad(QStringLiteral("password_file: %1 is empty").arg(b.passwordFile));
        b.password = QString::fromUtf8(secret);
        if (QFileInfo(b.passwordFile).permissions() & (QFile::ReadOther | QFile::WriteOther))
            warnings << QStringLiteral("the password file %1 can be read by other users: chmod "
                                       "600 it (or 640 with the bridge's group)")
                            .arg(b.passwordFile);
    } else if (key == u"client_id") {
        if (value.isEmpty() || value.size() > 23 * 4)
            return bad(QStringLiteral("client_id: 1..92 characters"));
        b.clientId = value;
    } else if (key == u"keepalive") {
        const auto s = WholeNumber(value, 5, 3600);
        if (!s)
            return bad(QStringLiteral("keepalive: 5..3600 seconds"));
        b.keepAliveSeconds = *s;
    } else {
        return bad(QStringLiteral("unknown key '%1' in [broker]").arg(key));
    }
    return std::nullopt;
}

std::optional<Fault> Reader::bridgeEntry(const QString &key, const QString &value)
{
    if (key == u"prefix") {
        if (!IsTopicPrefix(value))
            return bad(QStringLiteral("prefix: topic levels of letters, digits, '-' and '_' "
                                      "joined by '/'"));
        config.prefix = value;
    } else if (key == u"discovery") {
        const auto on = Switch(value);
        if (!on)
            return bad(QStringLiteral("discovery: on or off"));
        config.discovery = *on;
    } else if (key == u"discovery_prefix") {
        if (!IsTopicPrefix(value))
            return bad(QStringLiteral("discovery_prefix: topic levels of letters, digits, '-' "
                                      "and '_' joined by '/'"));
        config.discoveryPrefix = value;
    } else {
        return bad(QStringLiteral("unknown key '%1' in [bridge]").arg(key));
    }
    return std::nullopt;
}

std::optional<Fault> Reader::busEntry(const QString &key, const QString &value)
{
    BusConfig &b = config.buses.last();
    const auto failSafe = [&](FailSafe &into) -> std::optional<Fault> {
        const auto f = FailSafeOf(value);
        if (!f)
            return bad(QStringLiteral("%1: leave or off").arg(key));
        into = *f;
        return std::nullopt;
    };
    if (key == u"port") {
        if (value.isEmpty())
            return bad(QStringLiteral("port: empty"));
        b.port = value;
    } else if (key == u"baud") {
        bool ok = false;
        const int rate = value.toInt(&ok);
        if (!ok || !protocol::BaudCodeOfRate(rate))
            return bad(QStringLiteral("baud: one of 300, 600, 1200, 2400, 4800, 9600, 14400, "
                                      "19200, 38400, 56000, 57600, 115200"));
        b.line.rate = rate;
    } else if (key == u"format") {
        const auto line = bus::WithFormat(b.line, value);
        if (!line)
            return bad(QStringLiteral("format: 8N1, 8E1, 8O1 or 8N2"));
        b.line = *line;
    } else if (key == u"echo") {
        const auto echo = bus::EchoFromText(value.toLower());
        if (!echo)
            return bad(QStringLiteral("echo: auto, drop or none"));
        b.echo = *echo;
    } else if (key == u"poll_interval") {
        const auto ms = SecondsToMs(value, 0, 3600);
        if (!ms)
            return bad(QStringLiteral("poll_interval: 0..3600 seconds"));
        b.pollIntervalMs = *ms;
    } else if (key == u"timeout") {
        const auto ms = WholeNumber(value, 10, 10000);
        if (!ms)
            return bad(QStringLiteral("timeout: 10..10000 ms"));
        b.timeoutMs = *ms;
    } else if (key == u"retries") {
        const auto n = WholeNumber(value, 0, 5);
        if (!n)
            return bad(QStringLiteral("retries: 0..5"));
        b.retries = *n;
    } else if (key == u"failsafe_start") {
        return failSafe(b.atStart);
    } else if (key == u"failsafe_broker_lost") {
        return failSafe(b.brokerLost);
    } else if (key == u"failsafe_broker_lost_after") {
        const auto ms = SecondsToMs(value, 1, 86400);
        if (!ms)
            return bad(QStringLiteral("failsafe_broker_lost_after: 1..86400 seconds"));
        b.brokerLostAfterMs = *ms;
    } else if (key == u"failsafe_stop") {
        return failSafe(b.atStop);
    } else {
        return bad(QStringLiteral("unknown key '%1' in [bus %2]").arg(key, b.name));
    }
    return std::nullopt;
}

std::optional<Fault> Reader::moduleEntry(int line, const QString &key, const QString &value)
{
    PendingModule &p = m_modules.last();
    ModuleConfig &m = p.module;
    if (key == u"model") {
        const QString model = value.toUpper();
        if (model != u"QV-04" && model != u"QV-08")
            return bad(QStringLiteral("model: QV-04 or QV-08"));
        m.model = model;
        m.channelCount = model == u"QV-04" ? 4 : 8;
        p.hasModel = true;
    } else if (key == u"name") {
        if (value.isEmpty())
            return bad(QStringLiteral("name: empty"));
        m.name = value;
    } else if (key == u"channels") {
        m.channelNames.clear();
        for (const QString &name : value.split(u','))
            m.channelNames << name.trimmed();
        p.channelsLine = line;
    } else {
        return bad(QStringLiteral("unknown key '%1' in a module section").arg(key));
    }
    return std::nullopt;
}

std::optional<Fault> Reader::finish()
{
    if (config.buses.isEmpty())
        return Fault{0, QStringLiteral("no [bus NAME] section: nothing to bridge")};
    if (config.broker.tls && !m_tlsPortSet)
        config.broker.port = 8883;
    if (!config.broker.caFile.isEmpty() && !config.broker.tls)
        return Fault{m_caLine, QStringLiteral("ca_file is given but tls is off")};
    if (!config.broker.password.isEmpty() && config.broker.user.isEmpty())
        return Fault{m_passwordLine, QStringLiteral("password_file needs a user in [broker]")};
    for (const PendingModule &p : m_modules) {
        const auto it = m_busIndex.find(p.bus);
        if (it == m_busIndex.end())
            return Fault{p.line, QStringLiteral("no [bus %1] for this module").arg(p.bus)};
        BusConfig &b = config.buses[it->second];
        ModuleConfig m = p.module;
        for (const ModuleConfig &other : b.modules) {
            if (other.address == m.address)
                return Fault{p.line, QStringLiteral("address %1 is given twice on bus %2")
                                         .arg(m.address)
                                         .arg(b.name)};
        }
        if (m.channelNames.size() > m.channelCount)
            return Fault{
                p.channelsLine,
                QStringLiteral("%1 channel names for a %2 of %3 channels%4")
                    .arg(m.channelNames.size())
                    .arg(m.model)
                    .arg(m.channelCount)
                    .arg(p.hasModel ? QString() : QStringLiteral(" (model not given: QV-08)"))};
        for (int c = 0; c < m.channelCount; ++c) {
            if (c >= m.channelNames.size())
                m.channelNames << QString();
            if (m.channelNames[c].isEmpty())
                m.channelNames[c] = QStringLiteral("Channel %1").arg(c + 1);
        }
        if (m.name.isEmpty())
            m.name = QStringLiteral("%1 %2").arg(b.name).arg(m.address);
        b.modules << m;
    }
    QMap<QString, QString> ports;
    for (int i = 0; i < config.buses.size(); ++i) {
        const BusConfig &b = config.buses.at(i);
        if (b.port.isEmpty())
            return Fault{m_busLines.at(i), QStringLiteral("bus %1 has no port").arg(b.name)};
        if (b.modules.isEmpty())
            return Fault{m_busLines.at(i),
                         QStringLiteral("bus %1 has no [module %1 ADDRESS]").arg(b.name)};
        if (ports.contains(b.port))
            return Fault{m_busLines.at(i), QStringLiteral("bus %1 uses the port %2 of bus %3: "
                                                          "one port, one bus")
                                               .arg(b.name, b.port, ports.value(b.port))};
        ports.insert(b.port, b.name);
    }
    if (config.broker.clientId.isEmpty())
        config.broker.clientId =
            QStringLiteral("quorvane-bridge-%1").arg(QString(config.prefix).replace(u'/', u'-'));
    return std::nullopt;
}

} // namespace

bool IsTopicName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    return pattern.match(name).hasMatch();
}

ConfigResult ParseConfig(const QString &text, const QString &baseDir)
{
    Reader reader(baseDir);
    ConfigResult result;
    if (const auto fault = reader.read(text)) {
        result.line = fault->line;
        result.reason = fault->reason;
        return result;
    }
    result.config = reader.config;
    result.warnings = reader.warnings;
    return result;
}

ConfigResult ReadConfigFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConfigResult result;
        result.reason = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return result;
    }
    return ParseConfig(QString::fromUtf8(file.readAll()), QFileInfo(path).absolutePath());
}

} // namespace bridge
