#include "monitor/writers.h"

#include "monitor/decode.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace monitor {

using modbus::FrameRole;

namespace {

QString Millis(qint64 us)
{
    return QString::number(double(us) / 1000.0, 'f', 1);
}

QString HexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString TimeText(qint64 us)
{
    return QDateTime::fromMSecsSinceEpoch(us / 1000).toString(QStringLiteral("HH:mm:ss.zzz"));
}

bool HasCrc(FrameRole role)
{
    return role != FrameRole::Text && role != FrameRole::Noise && role != FrameRole::Probe;
}

QString CrcText(const CapturedFrame &f)
{
    if (!HasCrc(f.frame.role))
        return {};
    return f.frame.crcOk ? QStringLiteral("正确") : QStringLiteral("错误");
}

QString ResponseText(const CapturedFrame &f)
{
    if (f.unanswered)
        return QStringLiteral("无应答");
    return f.responseUs >= 0 ? Millis(f.responseUs) : QString();
}

QString CsvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray CsvLine(const QStringList &cells)
{
    QStringList fields;
    for (const QString &c : cells)
        fields << CsvField(c);
    return fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

class TextWriter : public FrameWriter
{
public:
    explicit TextWriter(QIODevice &device) : FrameWriter(device) {}
    void write(const CapturedFrame &f) override
    {
        QStringList cells = Cells(f);
        cells.removeAll(QString());
        put(cells.join(QStringLiteral("  ")).toUtf8() + '\n');
    }
};

class CsvWriter : public FrameWriter
{
public:
    explicit CsvWriter(QIODevice &device) : FrameWriter(device)
    {
        put("\xEF\xBB\xBF" + CsvLine(QStringList{QStringLiteral("序号")} + ColumnTitles()));
    }
    void write(const CapturedFrame &f) override
    {
        put(CsvLine(QStringList{QString::number(f.index)} + Cells(f)));
    }
};

class JsonLinesWriter : public FrameWriter
{
public:
    explicit JsonLinesWriter(QIODevice &device) : FrameWriter(device) {}
    void write(const CapturedFrame &f) override
    {
        QJsonObject o{{"index", f.index},
                      {"time_us", f.frame.startUs},
                      {"end_us", f.frame.endUs},
                      {"role", RoleKey(f.frame.role)},
                      {"sent", f.sent},
                      {"summary", f.summary},
                      {"hex", HexText(f.frame.bytes)}};
        if (f.gapUs >= 0)
            o.insert("gap_us", f.gapUs);
        if (f.address >= 0) {
            o.insert("address", f.address);
            o.insert("function", f.function);
        }
        if (HasCrc(f.frame.role))
            o.insert("crc_ok", f.frame.crcOk);
        if (f.answers > 0) {
            o.insert("answers", f.answers);
            o.insert("response_us", f.responseUs);
        }
        if (f.unanswered)
            o.insert("unanswered", true);
        if (f.echo)
            o.insert("echo", true);
        put(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    }
};

class PcapWriter : public FrameWriter
{
public:
    explicit PcapWriter(QIODevice &device) : FrameWriter(device)
    {
        QByteArray header(24, '\0');
        qToLittleEndian<quint32>(0xA1B2C3D4, header.data());
        qToLittleEndian<quint16>(2, header.data() + 4);
        qToLittleEndian<quint16>(4, header.data() + 6);
        qToLittleEndian<quint32>(65535, header.data() + 16);
        qToLittleEndian<quint32>(PcapLinkType, header.data() + 20);
        put(header);
    }
    void write(const CapturedFrame &f) override
    {
        if (f.frame.role == FrameRole::Text || f.frame.role == FrameRole::Noise)
            return;
        QByteArray record(16, '\0');
        qToLittleEndian<quint32>(quint32(f.frame.startUs / 1'000'000), record.data());
        qToLittleEndian<quint32>(quint32(f.frame.startUs % 1'000'000), record.data() + 4);
        qToLittleEndian<quint32>(quint32(f.frame.bytes.size()), record.data() + 8);
        qToLittleEndian<quint32>(quint32(f.frame.bytes.size()), record.data() + 12);
        put(record + f.frame.bytes);
    }
};

QString StatTime(qint64 us)
{
    return us >= 0 ? Millis(us) : QStringLiteral("—");
}

QStringList StatsRow(const QString &name, const AddressStats &s)
{
    return {name,
            QString::number(s.requests),
            QString::number(s.answers),
            QString::number(s.unanswered),
            QString::number(s.crcErrors),
            QString::number(s.exceptions),
            QString::number(s.noiseBytes),
            StatTime(s.minUs),
            StatTime(s.quantileUs(0.5)),
            StatTime(s.quantileUs(0.95)),
            StatTime(s.maxUs)};
}

} // namespace

void FrameWriter::put(const QByteArray &bytes)
{
    if (m_ok && m_device.write(bytes) != bytes.size())
        m_ok = false;
}

QStringList ColumnTitles()
{
    return {QStringLiteral("时间"), QStringLiteral("间隔(ms)"), QStringLiteral("类型"),
            QStringLiteral("地址"), QStringLiteral("功能"),     QStringLiteral("内容"),
            QStringLiteral("字节"), QStringLiteral("CRC"),      QStringLiteral("响应(ms)")};
}

QStringList Cells(const CapturedFrame &f)
{
    return {TimeText(f.frame.startUs),
            f.gapUs >= 0 ? Millis(f.gapUs) : QString(),
            f.echo ? QStringLiteral("回显") : RoleText(f.frame.role, f.sent),
            f.address >= 0 ? QString::number(f.address) : QString(),
            f.function >= 0
                ? QStringLiteral("%1").arg(f.function, 2, 16, QLatin1Char('0')).toUpper()
                : QString(),
            f.summary,
            HexText(f.frame.bytes),
            CrcText(f),
            ResponseText(f)};
}

QStringList StatsTitles()
{
    return {QStringLiteral("地址"),     QStringLiteral("请求"),     QStringLiteral("应答"),
            QStringLiteral("无应答"),   QStringLiteral("CRC错误"),  QStringLiteral("异常"),
            QStringLiteral("噪声字节"), QStringLiteral("最短(ms)"), QStringLiteral("中位(ms)"),
            QStringLiteral("95%(ms)"),  QStringLiteral("最长(ms)")};
}

QList<QStringList> StatsRows(const Capture &capture)
{
    QList<QStringList> rows;
    rows << StatsRow(QStringLiteral("全部"), capture.total());
    for (const auto &[address, s] : capture.stats())
        rows << StatsRow(address < 0 ? QStringLiteral("—") : QString::number(address), s);
    return rows;
}

std::optional<Format> FormatNamed(const QString &name)
{
    if (name == QLatin1String("text"))
        return Format::Text;
    if (name == QLatin1String("csv"))
        return Format::Csv;
    if (name == QLatin1String("jsonl"))
        return Format::Jsonl;
    if (name == QLatin1String("pcap"))
        return Format::Pcap;
    return std::nullopt;
}

Format FormatOfFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pcap"))
        return Format::Pcap;
    if (suffix == QLatin1String("jsonl") || suffix == QLatin1String("json"))
        return Format::Jsonl;
    if (suffix == QLatin1String("txt") || suffix == QLatin1String("log"))
        return Format::Text;
    return Format::Csv;
}

std::unique_ptr<FrameWriter> MakeWriter(Format format, QIODevice &device)
{
    switch (format) {
    case Format::Text:
        return std::make_unique<TextWriter>(device);
    case Format::Csv:
        return std::make_unique<CsvWriter>(device);
    case Format::Jsonl:
        return std::make_unique<JsonLinesWriter>(device);
    case Format::Pcap:
        return std::make_unique<PcapWriter>(device);
    }
    return nullptr;
}

} // namespace monitor
