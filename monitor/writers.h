#pragma once

#include "monitor/capture.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace monitor {

// The columns of a frame as the window's table, the text output and CSV show them: time, gap,
// role, address, function, decoded text, bytes, CRC, response time.
QStringList ColumnTitles();
QStringList Cells(const CapturedFrame &frame);

// The counters by address as rows under StatsTitles(): the address ("全部" for the whole line,
// "—" for what names none), requests, answers, no answer, CRC errors, exceptions, noise bytes,
// response time minimum, median, 95th percentile, maximum (ms).
QStringList StatsTitles();
QList<QStringList> StatsRows(const Capture &capture);

enum class Format { Text, Csv, Jsonl, Pcap };
// "text", "csv", "jsonl", "pcap"; none for anything else.
std::optional<Format> FormatNamed(const QString &name);
// The format a file name asks for by its suffix (CSV by default).
Format FormatOfFile(const QString &path);

// Writes frames to a device as they come: plain text lines, CSV (UTF-8 with a byte order mark so
// that a spreadsheet reads the Chinese columns right), JSON Lines, or pcap with link type 147
// (user 0), one record per MODBUS frame (text lines and noise are left out: they are no MODBUS).
class FrameWriter
{
public:
    virtual ~FrameWriter() = default;
    virtual void write(const CapturedFrame &frame) = 0;
    // False once a write failed (the disk is full, the pipe gone).
    bool ok() const { return m_ok; }

protected:
    explicit FrameWriter(QIODevice &device) : m_device(device) {}
    void put(const QByteArray &bytes);

    QIODevice &m_device;
    bool m_ok = true;
};

// Writes the format's header at once.
std::unique_ptr<FrameWriter> MakeWriter(Format format, QIODevice &device);

// The pcap link type that carries MODBUS RTU frames as they are on the wire.
inline constexpr quint32 PcapLinkType = 147;

} // namespace monitor
