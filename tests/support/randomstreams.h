#pragma once

// Random byte streams for the frame splitter: frames of every kind, whole or cut short, spliced
// with random bytes, fed in random chunks at random pauses. The suite runs some, the monitor
// benchmark a million.

#include "frames.h"
#include "modbus/splitter.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <functional>

namespace testframes {

// A stream of at least 48 bytes: whole frames, frames cut short and random bytes.
inline QByteArray RandomStream(QRandomGenerator &random)
{
    static const QList<QByteArray> pieces{rtu("010300000001"),
                                          rtu("0103020005"),
                                          rtu("01050002FF00"),
                                          rtu("0131F000000A0014001E0028"),
                                          rtu("018302"),
                                          hex("24FF03A000C6"),
                                          QByteArray("AT+OUT1+1=ON\r\n")};
    QByteArray stream;
    while (stream.size() < 48) {
        const QByteArray &piece = pieces.at(random.bounded(pieces.size()));
        switch (random.bounded(3)) {
        case 0:
            stream += piece;
            break;
        case 1:
            stream += piece.left(random.bounded(piece.size()));
            break;
        default:
            for (int k = random.bounded(1, 6); k > 0; --k)
                stream += char(random.bounded(256));
        }
    }
    return stream;
}

// Feeds the stream to a splitter in chunks of 1 to 16 bytes, 0 to 17 ms apart, and gives every
// frame and noise record that comes out, the last ones when it is finished.
inline void SplitInRandomChunks(modbus::FrameSplitter &splitter, const QByteArray &stream,
                                QRandomGenerator &random,
                                const std::function<void(const modbus::SplitFrame &)> &take)
{
    qint64 now = 0;
    for (qsizetype at = 0; at < stream.size();) {
        const qsizetype n = std::min<qsizetype>(random.bounded(1, 17), stream.size() - at);
        now += random.bounded(0, 17'000);
        for (const modbus::SplitFrame &f : splitter.feed(QByteArrayView(stream).sliced(at, n), now))
            take(f);
        at += n;
    }
    for (const modbus::SplitFrame &f : splitter.finish())
        take(f);
}

} // namespace testframes
