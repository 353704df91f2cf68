#include "sim/demo.h"

#include "serial/commport.h"
#include "sim/virtualline.h"

namespace sim {

QString InstallDemoPort(QObject *owner, VirtualLine **line)
{
    auto *device = new VirtualLine(owner);
    // Both models, so the bus overview shows something on first start.
    device->addModule(ModuleConfig{1, 5, 8});
    device->addModule(ModuleConfig{2, 5, 4});
    device->addModule(ModuleConfig{5, 5, 8});
    const QString name = QString::fromLatin1(DemoPortName);
    serial::CommPort::RegisterVirtualPort(name, device);
    // The registry keeps a name whose device is gone; the demo line takes its name with it.
    QObject::connect(device, &QObject::destroyed,
                     [name] { serial::CommPort::UnregisterVirtualPort(name); });
    if (line)
        *line = device;
    return name;
}

} // namespace sim
