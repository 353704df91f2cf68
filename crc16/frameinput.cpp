#include "frameinput.h"

#include <QCoreApplication>

namespace crccalc {

namespace {

int hexValue(QChar c)
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

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n');
}

} // namespace

FrameInput readFrameText(QStringView text)
{
    FrameInput input;
    int pending = -1; // value of a first digit still waiting for its partner
    qsizetype pendingAt = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isBlank(c)) {
            if (pending >= 0) {
                input.problem = InputProblem::LoneDigit;
                input.position = pendingAt;
                return input;
            }
            continue;
        }
        const int value = hexValue(c);
        if (value < 0) {
            input.problem = InputProblem::InvalidCharacter;
            input.position = i;
            return input;
        }
        if (pending < 0) {
            pending = value;
            pendingAt = i;
        } else {
            input.bytes.append(char(pending * 16 + value));
            pending = -1;
        }
    }
    if (pending >= 0) {
        input.problem = InputProblem::LoneDigit;
        input.position = pendingAt;
    } else if (input.bytes.isEmpty()) {
        input.problem = InputProblem::Empty;
    }
    return input;
}

QString problemDescription(const FrameInput &input, QStringView text)
{
    QString what;
    switch (input.problem) {
    case InputProblem::None:
        return {};
    case InputProblem::Empty:
        return QCoreApplication::translate(
            "crc", "没有输入字节：请输入十六进制字节，每字节两位，如 01050000FF00。");
    case InputProblem::InvalidCharacter:
        what = QCoreApplication::translate("crc", "第 %1 个字符“%2”不是十六进制数字。")
                   .arg(input.position + 1)
                   .arg(text.mid(input.position, 1));
        break;
    case InputProblem::LoneDigit:
        what = QCoreApplication::translate(
                   "crc", "第 %1 个字符“%2”缺少另一位：每个字节需两位十六进制数字。")
                   .arg(input.position + 1)
                   .arg(text.mid(input.position, 1));
        break;
    }
    if (input.bytes.isEmpty())
        return what + QCoreApplication::translate("crc", "没有可计算的字节。");
    return what + QCoreApplication::translate("crc", "结果只计算了此前的 %1 个字节：%2")
                      .arg(input.bytes.size())
                      .arg(QString::fromLatin1(input.bytes.toHex(' ').toUpper()));
}

} // namespace crccalc
