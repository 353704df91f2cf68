#pragma once

#include <QString>

namespace app {
class Messages;
}
namespace settings {
class AutoStart;
}

namespace app {

// What the window is given from outside: where its messages go, where its settings are kept and
// the log-on entry. The program passes message boxes, Config.ini beside itself and the desktop's
// log-on entry; a test passes recorded messages, a file in a temporary directory and a recording
// stand-in, so nothing it does reaches the user's files.
struct Services
{
    Messages *messages = nullptr; // null: message boxes over the window
    QString iniPath; // Config.ini, the path every ReadIni and WriteIni is given; empty: no file
    settings::AutoStart *autoStart = nullptr; // null: an entry that registers nothing
};

} // namespace app
