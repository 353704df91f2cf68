#include "link/line.h"

namespace bus {

QString FormatName(const LineSettings &settings)
{
    return QStringLiteral("8%1%2").arg(QLatin1Char(char(settings.parity))).arg(settings.stopBits);
}

std::optional<LineSettings> WithFormat(LineSettings settings, const QString &name)
{
    const QString upper = name.trimmed().toUpper();
    if (upper == QLatin1String("8N1")) {
        settings.parity = Parity::None;
        settings.stopBits = 1;
    } else if (upper == QLatin1String("8E1")) {
        settings.parity = Parity::Even;
        settings.stopBits = 1;
    } else if (upper == QLatin1String("8O1")) {
        settings.parity = Parity::Odd;
        settings.stopBits = 1;
    } else if (upper == QLatin1String("8N2")) {
        settings.parity = Parity::None;
        settings.stopBits = 2;
    } else {
        return std::nullopt;
    }
    return settings;
}

std::optional<Parity> ParityOf(const QString &word)
{
    if (word == QLatin1String("none"))
        return Parity::None;
    if (word == QLatin1String("even"))
        return Parity::Even;
    if (word == QLatin1String("odd"))
        return Parity::Odd;
    return std::nullopt;
}

} // namespace bus
