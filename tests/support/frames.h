#pragma once

// Frames as the tests write and read them.

#include "modbus/crc.h"
#include "protocol/hexcodec.h"

#include <QByteArray>
#include <QString>

namespace testframes {

// Hex digits as bytes ("01050000" or "01 05 00 00").
inline QByteArray hex(const char *hexText)
{
    return QByteArray::fromHex(hexText);
}
inline QByteArray hex(const QString &hexText)
{
    return QByteArray::fromHex(hexText.toLatin1());
}

// The hex bytes with their CRC appended, as a master sends them or a module answers.
inline QByteArray rtu(const char *hexText)
{
    QByteArray frame = hex(hexText);
    frame.append(2, '\0');
    modbus::AppendCrc(frame);
    return frame;
}

// Bytes as "01 05 00 ..." without the trailing space, for readable comparisons.
inline QString hexOf(const QByteArray &bytes)
{
    return protocol::HexFrameText(bytes).trimmed();
}

} // namespace testframes
