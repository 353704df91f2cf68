#pragma once

#include <QObject>
#include <QString>

namespace sim {

class VirtualLine;

inline constexpr char DemoPortName[] = "DEMO";

// The built-in modules of the --demo option: virtual modules at 9600 baud (a QV-08 at address 1,
// a QV-04 at 2, a QV-08 at 5) on a line registered with the serial port object under the name
// "DEMO".
//
//     // in main(), before the window fills its port list:
//     const QString demoPort = sim::InstallDemoPort(&window); // "DEMO"
//     // list demoPort among the ports (and select it); opening it with "9600 ,N,8,1" works
//
// The line belongs to owner; when owner is destroyed the name is forgotten again. Returns the
// name the port list must show.
QString InstallDemoPort(QObject *owner, VirtualLine **line = nullptr);

} // namespace sim
