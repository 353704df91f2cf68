#include "linedevice.h"

#include <QStringList>

namespace serial {

std::optional<LineSettings> ParseSettings(const QString &text)
{
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    bool ok = false;
    const QString rateText = fields[0].trimmed();
    const qint32 rate = rateText.toInt(&ok);
    if (!ok || rate <= 0 || !rateText.front().isDigit())
        return std::nullopt;

    const QString parityText = fields[1].trimmed().toUpper();
    if (parityText.size() != 1 || !QStringLiteral("NEOMS").contains(parityText))
        return std::nullopt;

    const int dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return std::nullopt;

    const int stopBits = fields[3].trimmed().toInt(&ok);
    if (!ok || (stopBits != 1 && stopBits != 2))
        return std::nullopt;

    LineSettings s;
    s.baudRate = rate;
    s.parity = parityText.front().toLatin1();
    s.dataBits = dataBits;
    s.stopBits = stopBits;
    return s;
}

QString SettingsText(const QString &baudEntry)
{
    return baudEntry + QStringLiteral(",N,8,1");
}

std::optional<QString> LineDevice::setRs485(const Rs485 &)
{
    return QStringLiteral("a network or virtual port has no RS-485 mode");
}

} // namespace serial
