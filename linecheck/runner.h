#pragma once

#include "linecheck/readings.h"
#include "linecheck/system.h"
#include "link/echo.h"
#include "link/master.h"
#include "link/portline.h"
#include "serial/commport.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

namespace linecheck {

// The settings the module is looked for at: first, then every rate in its format, then every
// rate in each other format of these buses (8N1, 8E1, 8O1, 8N2).
QList<bus::LineSettings> SearchOrder(const bus::LineSettings &first);

// Gathers the readings of the line check on one port, in this order: the port (exists, other
// programs holding it), the adapter behind it, the line counters, the port opened, an idle
// listen, the module looked for with state reads at each line setting, N state reads where it
// answered, the port closed, the counters again. Runs on the event loop of its thread;
// finished() follows once the readings are complete (or stop() cut them short).
class LineCheck : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString port;
        // The setting the idle listen uses and the search tries first.
        bus::LineSettings settings;
        // The settings tried in turn after the first (empty: SearchOrder).
        QList<bus::LineSettings> tries;
        std::uint8_t address = 1;
        int reads = 20;
        int idleMs = 500;
        // State reads at a setting where only garbled bytes came, before the next is tried.
        int attemptsPerSetting = 3;
        std::optional<int> timeoutMs; // each answer's wait (none: from the wire time)
        double pauseMs = 0;           // between one answer and the next request
        serial::Rs485 rs485;          // the driver's RS-485 mode, switched on once open
        bus::Echo echo = bus::Echo::Auto;
        QString sysRoot = QStringLiteral("/");
        QString procRoot = QStringLiteral("/proc");
        CounterReader *counters = nullptr; // none: the driver's own
    };

    explicit LineCheck(const Options &options, QObject *parent = nullptr);
    ~LineCheck() override;

    void start();
    // Ends after the exchange under way; finished() follows with what was read so far.
    void stop();
    bool running() const { return m_running; }
    const Readings &readings() const { return m_readings; }

signals:
    // The check that is being read now (for a progress line).
    void reading(int check);
    // Every frame written and every chunk heard (--verbose).
    void wrote(const QByteArray &frame);
    void heard(const QByteArray &chunk);
    void finished();

private:
    void opened();
    void listened();
    void trySetting();
    void readNext();
    void end();
    void wrapUp();

    Options m_options;
    Readings m_readings;
    DriverCounters m_driverCounters;
    serial::CommPort m_port;
    std::unique_ptr<bus::PortLine> m_line;
    std::unique_ptr<bus::Master> m_master;
    QTimer m_idle;
    QList<bus::LineSettings> m_tries;
    qsizetype m_tryIndex = 0;
    int m_attempts = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_ending = false;
};

} // namespace linecheck
