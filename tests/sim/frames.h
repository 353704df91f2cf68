#pragma once

// Frame helpers shared by the virtual module's tests.

#include "protocol/crc.h"
#include "protocol/hexcodec.h"

#include <QByteArray>
#include <QString>

namespace testframes {

// The hex bytes with their CRC appended, as a master sends them.
inline QByteArray rtu(const char *hexText)
{
    QByteArray frame = QByteArray::fromHex(hexText);
    frame.append(2, '\0');
    protocol::AppendCrc(frame);
    return frame;
}

// Bytes as "01 05 00 ..." without the trailing space, for readable comparisons.
inline QString hexOf(const QByteArray &bytes)
{
    return protocol::HexFrameText(bytes).trimmed();
}

} // namespace testframes
