#include "settings/autostart.h"

namespace settings {

AutoStart::~AutoStart() = default;

namespace {

// Placeholder until the log-on entry is built: nothing is registered.
class NoAutoStart : public AutoStart
{
public:
    bool add(const QString &) override { return false; }
    bool remove() override { return true; }
    bool isRegistered() const override { return false; }
};

} // namespace

std::unique_ptr<AutoStart> SystemAutoStart()
{
    return std::make_unique<NoAutoStart>();
}

bool RecordingAutoStart::add(const QString &program)
{
    calls << QStringLiteral("add %1").arg(program);
    registered = true;
    return true;
}

bool RecordingAutoStart::remove()
{
    calls << QStringLiteral("remove");
    registered = false;
    return true;
}

} // namespace settings
