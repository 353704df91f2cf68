#pragma once

#include "link/echo.h"
#include "link/line.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The bridge's configuration: one INI file naming the broker, the topic prefix and the buses
// with their modules. Read whole at start; a file with any fault is refused with its line.
namespace bridge {

// What happens to a bus's relays at a moment of the bridge's life.
enum class FailSafe {
    Leave,  // the relays stay as they are
    AllOff, // every channel of every module of the bus is switched off
};

struct ModuleConfig
{
    std::uint8_t address = 1;
    QString model = QStringLiteral("QV-08");
    int channelCount = 8;
    QString name;             // the device's name in automation systems
    QStringList channelNames; // one per channel, never empty
};

struct BusConfig
{
    QString name; // a topic level: letters, digits, '-' and '_'
    QString port; // as qvctl and the window take it: a device path, tcp:// or mbtcp://
    bus::LineSettings line;
    bus::Echo echo = bus::Echo::Auto;
    int pollIntervalMs = 1000;    // a round over every module of the bus
    std::optional<int> timeoutMs; // each answer's wait (none: from the wire time)
    int retries = 0;              // asked again after silence or a garbled answer
    FailSafe atStart = FailSafe::Leave;
    FailSafe brokerLost = FailSafe::Leave;
    int brokerLostAfterMs = 60000; // the broker is lost this long before brokerLost applies
    FailSafe atStop = FailSafe::Leave;
    QList<ModuleConfig> modules;
};

struct BrokerConfig
{
    QString host = QStringLiteral("localhost");
    int port = 1883;
    bool tls = false;
    QString caFile; // TLS: the certificate authority's file (none: the system's)
    QString user;
    QString password; // read from passwordFile; never logged
    QString passwordFile;
    QString clientId;
    int keepAliveSeconds = 30;
};

struct Config
{
    BrokerConfig broker;
    QString prefix = QStringLiteral("quorvane");
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QList<BusConfig> buses;
};

struct ConfigResult
{
    std::optional<Config> config;
    int line = 0;         // the line at fault (0: the file as a whole)
    QString reason;       // why the file is refused
    QStringList warnings; // things to fix that do not stop the bridge
};

// Reads the text of a configuration file. Files it names (the password file, the CA file) are
// read or checked relative to baseDir when their path is relative.
ConfigResult ParseConfig(const QString &text, const QString &baseDir);

// Reads a configuration file from disk.
ConfigResult ReadConfigFile(const QString &path);

// A name usable as one topic level and in discovery ids.
bool IsTopicName(const QString &name);

} // namespace bridge
