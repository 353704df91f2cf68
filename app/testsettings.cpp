#include "app/testsettings.h"

#include "protocol/address.h"

#include <algorithm>

namespace app {

std::variant<moduletest::Settings, QString> ReadTestSettings(const TestPageInputs &in)
{
    moduletest::Settings s;
    s.steps.clear();
    for (std::size_t i = 0; i < in.steps.size(); ++i) {
        if (in.steps[i])
            s.steps << moduletest::AllSteps[i];
    }
    if (s.steps.isEmpty())
        return QStringLiteral(QT_TRANSLATE_NOOP("Messages", "请至少选择一个测试项目"));

    bool ok = false;
    const int cycles = in.cycles.trimmed().toInt(&ok);
    if (!ok || cycles < 1 || cycles > 100000)
        return QStringLiteral(QT_TRANSLATE_NOOP("Messages", "循环次数应为1-100000"));
    s.cycles = cycles;

    s.channelCount = in.channelCount == 4 ? 4 : 8;
    s.model = s.channelCount == 4 ? QStringLiteral("QV-04") : QStringLiteral("QV-08");

    switch (in.source) {
    case TestSource::AddressBox: {
        const auto address = protocol::SlaveAddress(in.addressText);
        if (!address)
            return QStringLiteral(QT_TRANSLATE_NOOP("Messages", "输入错误，地址范围在1-255"));
        s.addresses = {*address};
        break;
    }
    case TestSource::Range:
    case TestSource::Scan: {
        const auto addresses = moduletest::ParseAddresses(in.range.trimmed());
        if (!addresses)
            return QStringLiteral(
                QT_TRANSLATE_NOOP("Messages", "地址范围有误，例如 1-10 或 3,7,20-22"));
        if (in.source == TestSource::Range) {
            s.addresses = *addresses;
            break;
        }
        // A scan covers one range from its lowest to its highest address.
        s.scan = true;
        s.scanFrom = *std::min_element(addresses->begin(), addresses->end());
        s.scanTo = *std::max_element(addresses->begin(), addresses->end());
        break;
    }
    }
    return s;
}

} // namespace app
