#include "protocol/console.h"

#include "modbus/crc.h"

#include <QCoreApplication>

#include <algorithm>

namespace protocol {

namespace {

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

QString ConsoleSendText(const QString &typed)
{
    // A line break typed into the box goes out as CR LF, like the one appended.
    QString text;
    text.reserve(typed.size() + 2);
    for (qsizetype i = 0; i < typed.size(); ++i) {
        if (typed.at(i) == QLatin1Char('\n') && (i == 0 || typed.at(i - 1) != QLatin1Char('\r')))
            text += QLatin1Char('\r');
        text += typed.at(i);
    }
    text += QStringLiteral("\r\n");
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

CrcInput ReadCrcInput(QStringView text)
{
    CrcInput input;
    QByteArray bytes;
    int pending = -1; // the first digit of a pair still waiting for its partner
    qsizetype pendingAt = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char(' '))
            continue;
        const int value = HexValue(c);
        if (value < 0) {
            input.problem = CrcInput::Problem::InvalidCharacter;
            input.position = i;
            return input;
        }
        if (pending < 0) {
            pending = value;
            pendingAt = i;
        } else {
            bytes.append(char(pending * 16 + value));
            pending = -1;
        }
    }
    if (pending >= 0) {
        input.problem = CrcInput::Problem::LoneDigit;
        input.position = pendingAt;
    } else if (bytes.isEmpty()) {
        input.problem = CrcInput::Problem::Empty;
    } else {
        input.bytes = bytes;
    }
    return input;
}

QString CrcResultText(QByteArrayView bytes)
{
    const std::array<std::uint8_t, 2> crc = modbus::CRC16(bytes);
    return (QString::number(crc[1], 16) + QString::number(crc[0], 16)).toUpper();
}

QString CrcProblemText(const CrcInput &input, QStringView text)
{
    QString what;
    switch (input.problem) {
    case CrcInput::Problem::None:
    case CrcInput::Problem::Empty:
        return {};
    case CrcInput::Problem::InvalidCharacter:
        what = QCoreApplication::translate("Form1", "第 %1 个字符“%2”不是十六进制数字。");
        break;
    case CrcInput::Problem::LoneDigit:
        what = QCoreApplication::translate(
            "Form1", "第 %1 个字符“%2”缺少另一位：每个字节需两位十六进制数字。");
        break;
    }
    return what.arg(input.position + 1).arg(text.mid(input.position, 1)) +
           QCoreApplication::translate("Form1", "没有可计算的字节。");
}

ConsoleLines::ConsoleLines(int maxLine, int hexBytesPerLine) : m_maxLine(std::max(3, maxLine))
{
    setHexBytesPerLine(hexBytesPerLine);
}

void ConsoleLines::setHexBytesPerLine(int bytes)
{
    m_hexBytes = std::clamp(bytes, 1, m_maxLine / 3);
}

void ConsoleLines::reset()
{
    m_line = 0;
    m_afterCr = false;
    m_lineHasData = false;
}

void ConsoleLines::breakLine(QString &out)
{
    out += QLatin1Char('\n');
    m_line = 0;
    m_lineHasData = false;
}

QString ConsoleLines::note(const QString &text)
{
    QString out;
    if (m_line > 0)
        breakLine(out);
    out += text;
    breakLine(out);
    m_afterCr = false;
    return out;
}

QString ConsoleLines::startChunk(const QString &stamp)
{
    QString out;
    if (stamp.isEmpty())
        return out;
    if (m_line > 0)
        breakLine(out);
    out += stamp;
    m_line += int(stamp.size());
    return out;
}

QString ConsoleLines::text(QStringView chunk, const QString &stamp)
{
    QString out = startChunk(stamp);
    out.reserve(out.size() + chunk.size() + chunk.size() / m_maxLine + 1);
    for (const QChar c : chunk) {
        if (m_afterCr) {
            m_afterCr = false;
            if (c == QLatin1Char('\n'))
                continue; // the second half of a CR LF
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            m_afterCr = c == QLatin1Char('\r');
            breakLine(out);
            continue;
        }
        // A long line is broken, never between the two halves of a surrogate pair.
        if (m_line >= m_maxLine && m_lineHasData && !c.isLowSurrogate())
            breakLine(out);
        out += c;
        ++m_line;
        m_lineHasData = true;
    }
    return out;
}

QString ConsoleLines::hex(QByteArrayView bytes, const QString &stamp)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QString out = startChunk(stamp);
    m_afterCr = false;
    const int width = m_hexBytes * 3;
    out.reserve(out.size() + bytes.size() * 3 + bytes.size() / m_hexBytes + 1);
    for (const char c : bytes) {
        if (m_lineHasData && m_line + 3 > width)
            breakLine(out);
        const auto b = static_cast<std::uint8_t>(c);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 0x0F]);
        out += QLatin1Char(' ');
        m_line += 3;
        m_lineHasData = true;
    }
    return out;
}

qsizetype OldLinesToDrop(qsizetype lineCount, qsizetype characterCount,
                         const std::function<qsizetype(qsizetype)> &lengthOf,
                         const BoxLimits &limits)
{
    qsizetype drop = 0;
    qsizetype characters = characterCount;
    while (drop < lineCount - 1) {
        const qsizetype restLines = lineCount - drop - 1;
        const qsizetype restCharacters = characters - lengthOf(drop);
        if (restLines < limits.lines && restCharacters < limits.characters)
            break;
        ++drop;
        characters = restCharacters;
    }
    return drop;
}

} // namespace protocol
