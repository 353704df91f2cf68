#pragma once

// What a window under test is given: the test's recorded messages, Config.ini in a temporary
// directory of this test process and a log-on entry that only records. Nothing a window under
// test does reaches the files beside the test program or in the user's home.

#include "app/services.h"
#include "settings/autostart.h"
#include "settings/configkeys.h"
#include "settings/ini.h"

#include <QTemporaryDir>

namespace support {

// The temporary directory of this test process (removed when the process ends).
inline QTemporaryDir &TestDirectory()
{
    static QTemporaryDir dir;
    return dir;
}

inline settings::RecordingAutoStart &TestAutoStart()
{
    static settings::RecordingAutoStart autoStart;
    return autoStart;
}

// The window's line is a perfect one unless a test says otherwise: its adapter does not echo, so
// no request waits for a state read that learns it (the echo's own tests choose "auto").
inline app::Services TestServices(app::Messages *messages, const QString &echo = "none")
{
    app::Services services;
    services.messages = messages;
    services.iniPath = TestDirectory().filePath(QStringLiteral("Config.ini"));
    if (echo != QLatin1String("none") ||
        settings::ReadIni(services.iniPath, settings::SystemSection, settings::EchoKey, {})
            .isEmpty())
        settings::WriteIni(services.iniPath, settings::SystemSection, settings::EchoKey, echo);
    services.autoStart = &TestAutoStart();
    return services;
}

} // namespace support
