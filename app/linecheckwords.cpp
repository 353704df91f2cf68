#include "app/linecheckwords.h"

#include <QCoreApplication>

namespace app {

using namespace linecheck;

QString LineCheckTitle(Check check)
{
    switch (check) {
    case Check::Port:
        return QCoreApplication::translate("LineCheck", "端口");
    case Check::Holders:
        return QCoreApplication::translate("LineCheck", "占用程序");
    case Check::Adapter:
        return QCoreApplication::translate("LineCheck", "适配器");
    case Check::Latency:
        return QCoreApplication::translate("LineCheck", "延迟计时器");
    case Check::Echo:
        return QCoreApplication::translate("LineCheck", "回显");
    case Check::Counters:
        return QCoreApplication::translate("LineCheck", "线路错误");
    case Check::Idle:
        return QCoreApplication::translate("LineCheck", "空闲监听");
    case Check::Module:
        return QCoreApplication::translate("LineCheck", "模块");
    case Check::Times:
        return QCoreApplication::translate("LineCheck", "应答时间");
    case Check::Errors:
        return QCoreApplication::translate("LineCheck", "读取结果");
    }
    return {};
}

QString LineCheckLevel(Level level)
{
    switch (level) {
    case Level::Pass:
        return QCoreApplication::translate("LineCheck", "通过");
    case Level::Warning:
        return QCoreApplication::translate("LineCheck", "警告");
    case Level::Fault:
        return QCoreApplication::translate("LineCheck", "故障");
    case Level::Skipped:
        return QCoreApplication::translate("LineCheck", "未检查");
    case Level::NotAvailable:
        return QCoreApplication::translate("LineCheck", "不适用");
    }
    return {};
}

QString LineCheckFigure(const Finding &f)
{
    if (f.level == Level::NotAvailable)
        return QCoreApplication::translate("LineCheck", "此系统上无法检查");
    switch (f.check) {
    case Check::Port:
        if (f.level == Level::Pass)
            return QCoreApplication::translate("LineCheck", "%1 可以打开").arg(f.text("port"));
        switch (f.hint) {
        case Hint::NoSuchPort:
            return QCoreApplication::translate("LineCheck", "没有 %1 这个端口").arg(f.text("port"));
        case Hint::Dialout:
            return QCoreApplication::translate("LineCheck", "没有权限打开 %1").arg(f.text("port"));
        case Hint::CloseHolder:
            return QCoreApplication::translate("LineCheck", "%1 被其他程序占用")
                .arg(f.text("port"));
        default:
            return QCoreApplication::translate("LineCheck", "%1 无法打开：%2")
                .arg(f.text("port"), f.text("error"));
        }
    case Check::Holders:
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "未检查");
        if (f.level == Level::Pass)
            return QCoreApplication::translate("LineCheck", "没有其他程序打开此端口");
        return QCoreApplication::translate("LineCheck", "被 %1 打开").arg(f.text("named"));
    case Check::Adapter:
        if (f.values.value(QStringLiteral("network")).toBool())
            return QCoreApplication::translate("LineCheck", "网络端口：看不到网关一侧");
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "未检查");
        if (!f.values.value(QStringLiteral("usb")).toBool())
            return QCoreApplication::translate("LineCheck", "不是 USB 适配器");
        return QCoreApplication::translate("LineCheck", "USB %1:%2 %3 %4，驱动 %5")
            .arg(f.text("vendor"), f.text("product"), f.text("manufacturer"), f.text("name"),
                 f.text("driver"))
            .simplified();
    case Check::Latency:
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "无需检查（不是 FTDI 类适配器）");
        return QCoreApplication::translate("LineCheck", "%1 毫秒").arg(f.number("latency_ms"));
    case Check::Echo:
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "未检查：没有发送请求");
        if (f.text("echo") == QLatin1String("on"))
            return QCoreApplication::translate("LineCheck", "有回显（适配器收到自己发出的数据）");
        if (f.text("echo") == QLatin1String("off"))
            return QCoreApplication::translate("LineCheck", "无回显");
        return QCoreApplication::translate("LineCheck", "未知（没有应答可以判断）");
    case Check::Counters:
        if (f.level == Level::Skipped)
            return f.text("why").isEmpty()
                       ? QCoreApplication::translate("LineCheck", "未检查")
                       : QCoreApplication::translate("LineCheck", "驱动没有线路计数");
        return QCoreApplication::translate("LineCheck", "帧错误 %1，校验错误 %2，溢出 %3，中断 %4")
            .arg(f.number("framing"))
            .arg(f.number("parity"))
            .arg(f.number("overrun"))
            .arg(f.number("break"));
    case Check::Idle:
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "未检查");
        if (f.level == Level::Pass)
            return QCoreApplication::translate("LineCheck", "%1 毫秒内线路安静")
                .arg(f.number("listen_ms"));
        return QCoreApplication::translate("LineCheck",
                                           "无人请求时 %2 毫秒内收到 %1 字节（完整帧 %3 个）")
            .arg(f.number("bytes"))
            .arg(f.number("listen_ms"))
            .arg(f.number("frames"));
    case Check::Module:
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "未检查");
        if (f.level == Level::Pass)
            return QCoreApplication::translate("LineCheck", "地址 %1 在 %2 波特率 %3 应答")
                .arg(f.number("address"))
                .arg(f.number("rate"))
                .arg(f.text("format"));
        if (f.hint == Hint::SwapAB)
            return QCoreApplication::translate("LineCheck", "地址 %1：%3 种设置中 %2 种只收到乱码")
                .arg(f.number("address"))
                .arg(f.number("garbled_rates"))
                .arg(f.number("rates"));
        return QCoreApplication::translate("LineCheck", "地址 %1 在 %2 种设置下都没有应答")
            .arg(f.number("address"))
            .arg(f.number("rates"));
    case Check::Times:
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "没有应答可计时");
        return QCoreApplication::translate(
                   "LineCheck",
                   "最短 %1 毫秒，中位 %2 毫秒，95% %3 毫秒（%4 次应答，线路需要 %5 毫秒）")
            .arg(f.ms("min_ms"), f.ms("median_ms"), f.ms("p95_ms"))
            .arg(f.number("answers"))
            .arg(f.ms("expected_ms"));
    case Check::Errors:
        if (f.level == Level::Skipped)
            return QCoreApplication::translate("LineCheck", "没有读取");
        return QCoreApplication::translate("LineCheck",
                                           "%4 次读取中 %1 次乱码（%2 次 CRC 错误），%3 次无应答")
            .arg(f.number("garbled"))
            .arg(f.number("crc_errors"))
            .arg(f.number("silences"))
            .arg(f.number("reads"));
    }
    return {};
}

QString LineCheckAdvice(const Finding &f)
{
    switch (f.hint) {
    case Hint::None:
        return {};
    case Hint::NoSuchPort:
        return QCoreApplication::translate("LineCheck", "插上适配器，检查端口名称");
    case Hint::Dialout:
        return QCoreApplication::translate(
                   "LineCheck", "把用户加入 %1 组（sudo usermod -aG %1 $USER），然后重新登录")
            .arg(f.text("group"));
    case Hint::StopModemManager:
        return QCoreApplication::translate(
            "LineCheck", "ModemManager 会探测新的串口适配器：sudo systemctl stop ModemManager"
                         "（再 disable，或在 udev 规则中给适配器设 ID_MM_DEVICE_IGNORE=1）");
    case Hint::StopBrltty:
        return QCoreApplication::translate(
            "LineCheck", "brltty 把 USB 串口适配器当作盲文显示器：sudo systemctl stop brltty"
                         "（或卸载 brltty）");
    case Hint::CloseHolder:
        return QCoreApplication::translate(
            "LineCheck", "关闭打开此端口的程序：两个程序同用一个端口会互相抢走数据");
    case Hint::LatencyRule:
        return QCoreApplication::translate(
                   "LineCheck", "适配器每 %1 毫秒才交出数据，每次收发最多多花 %1 毫秒：用 udev 规则"
                                "把 latency_timer 设为 1（%2）")
            .arg(f.number("latency_ms"))
            .arg(QStringLiteral("ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
                                "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\""));
    case Hint::EchoDrop:
        return QCoreApplication::translate(
            "LineCheck", "回显已从应答中去除；在系统设置中把适配器回显设为“去除回显”可省去识别");
    case Hint::FormatMismatch:
        return QCoreApplication::translate(
            "LineCheck", "字符不完整：总线上有设备使用别的波特率或格式，或有干扰");
    case Hint::Overrun:
        return QCoreApplication::translate("LineCheck",
                                           "数据来不及读取而丢失：系统太忙或 USB 集线器太慢");
    case Hint::LineBreak:
        return QCoreApplication::translate("LineCheck",
                                           "线路被拉低：A/B 接反、没有偏置电阻，或总线没有供电");
    case Hint::SecondTalker:
        return QCoreApplication::translate(
            "LineCheck",
            "无人请求却收到完整帧：总线上有另一个主站，或有模块自己发送；同一时间只能有一个主站");
    case Hint::Noise:
        return QCoreApplication::translate(
            "LineCheck",
            "有乱码：检查屏蔽层及其单端接地、偏置电阻、终端电阻，以及与电源线并行的走线");
    case Hint::SwapAB:
        return QCoreApplication::translate(
            "LineCheck", "每个波特率下的应答都是乱码：A/B 接反，或总线没有偏置电阻");
    case Hint::Termination:
        return QCoreApplication::translate(
            "LineCheck", "波特率越高错误越多：在总线两端各接 120 欧终端电阻，其他地方不要接");
    case Hint::NoModule:
        return QCoreApplication::translate(
            "LineCheck",
            "任何波特率下都没有应答：检查模块电源、A/B 接线、模块地址，以及适配器的收发指示灯");
    case Hint::SlowAnswers:
        return QCoreApplication::translate(
            "LineCheck", "应答比线路所需的慢：适配器的延迟计时器、网关，或模块本身较慢");
    case Hint::Silences:
        return QCoreApplication::translate(
            "LineCheck", "有应答丢失：总线上有另一个主站、两个模块同一地址，或模块供电不稳");
    }
    return {};
}

QString LineCheckSummary(const QList<Finding> &findings)
{
    QStringList faults, warnings;
    QString module;
    for (const Finding &f : findings) {
        const QString said = QCoreApplication::translate("LineCheck", "%1：%2")
                                 .arg(LineCheckTitle(f.check), LineCheckFigure(f));
        if (f.level == Level::Fault)
            faults << said;
        else if (f.level == Level::Warning)
            warnings << said;
        if (f.check == Check::Module && f.level == Level::Pass)
            module = QCoreApplication::translate("LineCheck", "模块 %1 在 %2 %3")
                         .arg(f.number("address"))
                         .arg(f.number("rate"))
                         .arg(f.text("format"));
        if (f.check == Check::Times && f.level != Level::Skipped && !module.isEmpty())
            module += QCoreApplication::translate("LineCheck", "，应答中位 %1 毫秒")
                          .arg(f.ms("median_ms"));
    }
    QStringList parts;
    if (!module.isEmpty())
        parts << module;
    if (!faults.isEmpty())
        parts << QCoreApplication::translate("LineCheck", "%1 项故障：%2")
                     .arg(faults.size())
                     .arg(faults.join(QCoreApplication::translate("LineCheck", "；")));
    if (!warnings.isEmpty())
        parts << QCoreApplication::translate("LineCheck", "%1 项警告：%2")
                     .arg(warnings.size())
                     .arg(warnings.join(QCoreApplication::translate("LineCheck", "；")));
    if (faults.isEmpty() && warnings.isEmpty())
        parts << QCoreApplication::translate("LineCheck", "没有发现问题");
    const QString verdict = !faults.isEmpty() ? QCoreApplication::translate("LineCheck", "有故障")
                            : !warnings.isEmpty()
                                ? QCoreApplication::translate("LineCheck", "有警告")
                                : QCoreApplication::translate("LineCheck", "正常");
    return QCoreApplication::translate("LineCheck", "结论：%1。%2。")
        .arg(verdict, parts.join(QCoreApplication::translate("LineCheck", "。")));
}

} // namespace app
