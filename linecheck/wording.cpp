// The English wording of the line check, for qvctl. The window words the same findings in its
// own language (app/linecheckdialog.cpp).

#include "linecheck/verdicts.h"

namespace linecheck {

QString EnglishTitle(Check check)
{
    switch (check) {
    case Check::Port:
        return QStringLiteral("port");
    case Check::Holders:
        return QStringLiteral("other programs");
    case Check::Adapter:
        return QStringLiteral("adapter");
    case Check::Latency:
        return QStringLiteral("latency timer");
    case Check::Echo:
        return QStringLiteral("echo");
    case Check::Counters:
        return QStringLiteral("line errors");
    case Check::Idle:
        return QStringLiteral("idle listen");
    case Check::Module:
        return QStringLiteral("module");
    case Check::Times:
        return QStringLiteral("answer times");
    case Check::Errors:
        return QStringLiteral("reads");
    }
    return {};
}

QString EnglishFigure(const Finding &f)
{
    if (f.level == Level::NotAvailable)
        return QStringLiteral("not available here");
    switch (f.check) {
    case Check::Port:
        if (f.level == Level::Pass)
            return QStringLiteral("%1 opens").arg(f.text("port"));
        switch (f.hint) {
        case Hint::NoSuchPort:
            return QStringLiteral("%1 does not exist").arg(f.text("port"));
        case Hint::Dialout:
            return QStringLiteral("no permission to open %1").arg(f.text("port"));
        case Hint::CloseHolder:
            return QStringLiteral("%1 is in use by another program").arg(f.text("port"));
        default:
            return QStringLiteral("%1 cannot be opened: %2").arg(f.text("port"), f.text("error"));
        }
    case Check::Holders:
        if (f.level == Level::Skipped)
            return QStringLiteral("not checked");
        if (f.level == Level::Pass)
            return QStringLiteral("no other program holds the port");
        return QStringLiteral("held by %1").arg(f.text("named"));
    case Check::Adapter:
        if (f.values.value(QStringLiteral("network")).toBool())
            return QStringLiteral("a network port: the gateway's side is not seen");
        if (f.level == Level::Skipped)
            return QStringLiteral("not checked");
        if (!f.values.value(QStringLiteral("usb")).toBool())
            return QStringLiteral("not a USB adapter");
        return QStringLiteral("USB %1:%2 %3 %4, driver %5")
            .arg(f.text("vendor"), f.text("product"), f.text("manufacturer"), f.text("name"),
                 f.text("driver"))
            .simplified();
    case Check::Latency:
        if (f.level == Level::Skipped)
            return QStringLiteral("none to check (not an FTDI-type adapter)");
        return QStringLiteral("%1 ms").arg(f.number("latency_ms"));
    case Check::Echo:
        if (f.level == Level::Skipped)
            return QStringLiteral("not checked: nothing was asked");
        if (f.text("echo") == QLatin1String("on"))
            return QStringLiteral("on (the adapter hears what it sends)");
        if (f.text("echo") == QLatin1String("off"))
            return QStringLiteral("off");
        return QStringLiteral("unknown (no answer told it)");
    case Check::Counters:
        if (f.level == Level::Skipped)
            return f.text("why").isEmpty() ? QStringLiteral("not checked")
                                           : QStringLiteral("not read: %1").arg(f.text("why"));
        return QStringLiteral("framing %1, parity %2, overrun %3, break %4 during the check")
            .arg(f.number("framing"))
            .arg(f.number("parity"))
            .arg(f.number("overrun"))
            .arg(f.number("break"));
    case Check::Idle:
        if (f.level == Level::Skipped)
            return QStringLiteral("not checked");
        if (f.level == Level::Pass)
            return QStringLiteral("quiet for %1 ms").arg(f.number("listen_ms"));
        return QStringLiteral("%1 bytes in %2 ms while nobody asked (%3 whole frames)")
            .arg(f.number("bytes"))
            .arg(f.number("listen_ms"))
            .arg(f.number("frames"));
    case Check::Module:
        if (f.level == Level::Skipped)
            return QStringLiteral("not checked");
        if (f.level == Level::Pass)
            return QStringLiteral("address %1 answers at %2 baud %3")
                .arg(f.number("address"))
                .arg(f.number("rate"))
                .arg(f.text("format"));
        if (f.hint == Hint::SwapAB)
            return QStringLiteral("address %1: only garbled answers, at %2 of %3 settings")
                .arg(f.number("address"))
                .arg(f.number("garbled_rates"))
                .arg(f.number("rates"));
        return QStringLiteral("address %1 answers at none of %2 settings")
            .arg(f.number("address"))
            .arg(f.number("rates"));
    case Check::Times:
        if (f.level == Level::Skipped)
            return QStringLiteral("no answers to time");
        return QStringLiteral("min %1 ms, median %2 ms, 95% %3 ms over %4 answers (the line "
                              "needs %5 ms)")
            .arg(f.ms("min_ms"), f.ms("median_ms"), f.ms("p95_ms"))
            .arg(f.number("answers"))
            .arg(f.ms("expected_ms"));
    case Check::Errors:
        if (f.level == Level::Skipped)
            return QStringLiteral("no reads");
        return QStringLiteral("%1 garbled (%2 bad CRC), %3 silent of %4 reads")
            .arg(f.number("garbled"))
            .arg(f.number("crc_errors"))
            .arg(f.number("silences"))
            .arg(f.number("reads"));
    }
    return {};
}

QString EnglishAdvice(const Finding &f)
{
    switch (f.hint) {
    case Hint::None:
        return {};
    case Hint::NoSuchPort:
        return QStringLiteral("plug the adapter in and check the port's name (qvctl ports)");
    case Hint::Dialout:
        return QStringLiteral("add your account to the group %1 (sudo usermod -aG %1 $USER) and "
                              "log in again")
            .arg(f.text("group"));
    case Hint::StopModemManager:
        return QStringLiteral("ModemManager probes new serial adapters: sudo systemctl stop "
                              "ModemManager (and disable it, or give the adapter "
                              "ID_MM_DEVICE_IGNORE=1 in a udev rule)");
    case Hint::StopBrltty:
        return QStringLiteral("brltty takes USB serial adapters for braille displays: sudo "
                              "systemctl stop brltty (or remove the brltty package)");
    case Hint::CloseHolder:
        return QStringLiteral("close the program that has the port open: two programs on one "
                              "port steal each other's bytes");
    case Hint::LatencyRule:
        return QStringLiteral("the adapter hands bytes over every %1 ms, adding up to %1 ms to "
                              "every exchange: echo 1 | sudo tee "
                              "/sys/bus/usb-serial/devices/<port>/latency_timer, or for good a "
                              "udev rule: ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
                              "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"")
            .arg(f.number("latency_ms"));
    case Hint::EchoDrop:
        return QStringLiteral("the echo is taken off each answer (--echo drop saves the learning "
                              "read); an adapter with a switchable echo can be set to none");
    case Hint::FormatMismatch:
        return QStringLiteral("characters broke off: a device on the bus at another rate or "
                              "format, or noise");
    case Hint::Overrun:
        return QStringLiteral("bytes were lost before they were read: a busy system or a slow "
                              "USB hub");
    case Hint::LineBreak:
        return QStringLiteral("the line was held low: A and B swapped, no bias resistors, or "
                              "the bus unpowered");
    case Hint::SecondTalker:
        return QStringLiteral("whole frames came unasked: another master polls this bus, or a "
                              "module talks by itself; one master at a time");
    case Hint::Noise:
        return QStringLiteral("garbled bytes: check the shield and its ground at one end, the "
                              "bias resistors, the termination, and cables run beside power "
                              "lines");
    case Hint::SwapAB:
        return QStringLiteral("every answer garbled at every rate: A and B swapped, or the bus "
                              "has no bias resistors");
    case Hint::Termination:
        return QStringLiteral("errors grow with the rate: terminate both ends of the bus with "
                              "120 ohm, and nowhere else");
    case Hint::NoModule:
        return QStringLiteral("no answer at any rate: check the module's power, the A/B wires, "
                              "its address (qvctl scan) and the adapter's TX/RX lamps");
    case Hint::SlowAnswers:
        return QStringLiteral("answers come later than the line needs: the adapter's latency "
                              "timer, a gateway, or a slow module (--gap, --timeout)");
    case Hint::Silences:
        return QStringLiteral("answers missing: another master on the bus, two modules at one "
                              "address, or the module's supply");
    }
    return {};
}

QString EnglishSummary(const QList<Finding> &findings)
{
    QStringList faults, warnings;
    QString module;
    QString times;
    for (const Finding &f : findings) {
        const QString said = QStringLiteral("%1: %2").arg(EnglishTitle(f.check), EnglishFigure(f));
        if (f.level == Level::Fault)
            faults << said;
        else if (f.level == Level::Warning)
            warnings << said;
        if (f.check == Check::Module && f.level == Level::Pass)
            module = QStringLiteral("module %1 at %2 %3")
                         .arg(f.number("address"))
                         .arg(f.number("rate"))
                         .arg(f.text("format"));
        if (f.check == Check::Times && f.level != Level::Skipped)
            times = QStringLiteral("answers in %1 ms (median)").arg(f.ms("median_ms"));
    }
    QString text;
    if (!faults.isEmpty())
        text = QStringLiteral("FAULT");
    else if (!warnings.isEmpty())
        text = QStringLiteral("WARNING");
    else
        text = QStringLiteral("OK");
    QStringList parts;
    if (!module.isEmpty())
        parts << (times.isEmpty() ? module : module + QStringLiteral(", ") + times);
    if (!faults.isEmpty())
        parts << QStringLiteral("%1 fault%2: %3")
                     .arg(faults.size())
                     .arg(faults.size() == 1 ? "" : "s")
                     .arg(faults.join(QStringLiteral("; ")));
    if (!warnings.isEmpty())
        parts << QStringLiteral("%1 warning%2: %3")
                     .arg(warnings.size())
                     .arg(warnings.size() == 1 ? "" : "s")
                     .arg(warnings.join(QStringLiteral("; ")));
    if (faults.isEmpty() && warnings.isEmpty())
        parts << QStringLiteral("nothing wrong found");
    return text + QStringLiteral(" - ") + parts.join(QStringLiteral(". ")) + u'.';
}

} // namespace linecheck
