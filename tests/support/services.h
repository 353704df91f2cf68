#pragma once

// What a window under test is given: the test's recorded messages, Config.ini in a temporary
// directory of this test process and a log-on entry that only records. Nothing a window under
// test does reaches the files beside the test program or in the user's home.

#include "app/services.h"
#include "settings/autostart.h"

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

inline app::Services TestServices(app::Messages *messages)
{
    app::Services services;
    services.messages = messages;
    services.iniPath = TestDirectory().filePath(QStringLiteral("Config.ini"));
    services.autoStart = &TestAutoStart();
    return services;
}

} // namespace support
