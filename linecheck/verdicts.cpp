#include "linecheck/verdicts.h"

#include "modbus/crc.h"

#include <algorithm>
#include <cmath>

namespace linecheck {

namespace {

Finding Make(Check check, Level level, Hint hint = Hint::None, QVariantMap values = {})
{
    return {check, level, hint, std::move(values)};
}

QString FormatText(const bus::LineSettings &settings)
{
    return bus::FormatName(settings);
}

Finding JudgePort(const PortReading &p)
{
    QVariantMap v{{QStringLiteral("port"), p.name}};
    if (p.network)
        v.insert(QStringLiteral("network"), true);
    switch (p.open) {
    case serial::OpenResult::Ok:
    case serial::OpenResult::Connecting:
        return Make(Check::Port, Level::Pass, Hint::None, v);
    case serial::OpenResult::NoSuchPort:
        return Make(Check::Port, Level::Fault, Hint::NoSuchPort, v);
    case serial::OpenResult::NoPermission:
        v.insert(QStringLiteral("group"), p.group.isEmpty() || p.group == QLatin1String("root")
                                              ? QStringLiteral("dialout")
                                              : p.group);
        return Make(Check::Port, Level::Fault, Hint::Dialout, v);
    case serial::OpenResult::Busy:
        v.insert(QStringLiteral("busy"), true);
        return Make(Check::Port, Level::Fault, Hint::CloseHolder, v);
    case serial::OpenResult::Other:
        break;
    }
    v.insert(QStringLiteral("error"), p.openError);
    return Make(Check::Port, Level::Fault, Hint::None, v);
}

Finding JudgeHolders(const PortReading &p)
{
    if (p.network || !p.exists)
        return Make(Check::Holders, Level::Skipped);
    if (!p.holdersKnown)
        return Make(Check::Holders, Level::NotAvailable);
    if (p.holders.isEmpty())
        return Make(Check::Holders, Level::Pass);
    QStringList names;
    QVariantList list;
    Hint hint = Hint::CloseHolder;
    for (const serial::Holder &h : p.holders) {
        names << h.name;
        list << QVariantMap{{QStringLiteral("pid"), h.pid}, {QStringLiteral("name"), h.name}};
        // The two that take new adapters for themselves are called out by name.
        if (h.name.compare(QLatin1String("ModemManager"), Qt::CaseInsensitive) == 0)
            hint = Hint::StopModemManager;
        else if (h.name.compare(QLatin1String("brltty"), Qt::CaseInsensitive) == 0 &&
                 hint != Hint::StopModemManager)
            hint = Hint::StopBrltty;
    }
    return Make(Check::Holders, Level::Fault, hint,
                {{QStringLiteral("holders"), list},
                 {QStringLiteral("named"), serial::DescribeHolders(p.holders)}});
}

Finding JudgeAdapter(const PortReading &p, const AdapterReading &a)
{
    if (p.network)
        return Make(Check::Adapter, Level::Skipped, Hint::None,
                    {{QStringLiteral("network"), true}});
    if (!a.known)
        return Make(Check::Adapter, Level::NotAvailable);
    if (!p.exists)
        return Make(Check::Adapter, Level::Skipped);
    if (!a.usb)
        return Make(Check::Adapter, Level::Pass, Hint::None, {{QStringLiteral("usb"), false}});
    return Make(Check::Adapter, Level::Pass, Hint::None,
                {{QStringLiteral("usb"), true},
                 {QStringLiteral("vendor"), a.vendorId},
                 {QStringLiteral("product"), a.productId},
                 {QStringLiteral("manufacturer"), a.manufacturer},
                 {QStringLiteral("name"), a.product},
                 {QStringLiteral("driver"), a.driver}});
}

Finding JudgeLatency(const PortReading &p, const AdapterReading &a)
{
    if (p.network || !p.exists)
        return Make(Check::Latency, Level::Skipped);
    if (!a.known)
        return Make(Check::Latency, Level::NotAvailable);
    if (!a.latencyMs)
        return Make(Check::Latency, Level::Skipped);
    const QVariantMap v{{QStringLiteral("latency_ms"), *a.latencyMs}};
    if (*a.latencyMs > 1)
        return Make(Check::Latency, Level::Warning, Hint::LatencyRule, v);
    return Make(Check::Latency, Level::Pass, Hint::None, v);
}

Finding JudgeEcho(const Readings &r)
{
    if (!r.exchanged)
        return Make(Check::Echo, Level::Skipped);
    if (!r.echo)
        return Make(Check::Echo, Level::Warning, Hint::None,
                    {{QStringLiteral("echo"), QStringLiteral("unknown")}});
    if (*r.echo)
        return Make(Check::Echo, Level::Warning, Hint::EchoDrop,
                    {{QStringLiteral("echo"), QStringLiteral("on")}});
    return Make(Check::Echo, Level::Pass, Hint::None,
                {{QStringLiteral("echo"), QStringLiteral("off")}});
}

Finding JudgeCounters(const PortReading &p, const CountersReading &c)
{
    if (p.network || !p.exists)
        return Make(Check::Counters, Level::Skipped);
    if (!c.known)
        return Make(Check::Counters, Level::NotAvailable);
    if (!c.before || !c.after)
        return Make(Check::Counters, Level::Skipped, Hint::None, {{QStringLiteral("why"), c.why}});
    const Counters d{c.after->framing - c.before->framing, c.after->parity - c.before->parity,
                     c.after->overrun - c.before->overrun, c.after->breaks - c.before->breaks,
                     c.after->bufferOverrun - c.before->bufferOverrun};
    const QVariantMap v{{QStringLiteral("framing"), d.framing},
                        {QStringLiteral("parity"), d.parity},
                        {QStringLiteral("overrun"), d.overrun + d.bufferOverrun},
                        {QStringLiteral("break"), d.breaks}};
    // A counter that went back means the driver started over (the adapter was replugged):
    // nothing can be told from the difference.
    if (d.framing < 0 || d.parity < 0 || d.overrun < 0 || d.breaks < 0 || d.bufferOverrun < 0)
        return Make(Check::Counters, Level::Skipped, Hint::None,
                    {{QStringLiteral("why"), QStringLiteral("the counters started over")}});
    if (d.breaks > 0)
        return Make(Check::Counters, Level::Fault, Hint::LineBreak, v);
    if (d.framing > 0 || d.parity > 0)
        return Make(Check::Counters, Level::Fault, Hint::FormatMismatch, v);
    if (d.overrun > 0 || d.bufferOverrun > 0)
        return Make(Check::Counters, Level::Warning, Hint::Overrun, v);
    return Make(Check::Counters, Level::Pass, Hint::None, v);
}

Finding JudgeIdle(const std::optional<IdleReading> &idle)
{
    if (!idle)
        return Make(Check::Idle, Level::Skipped);
    QVariantMap v{{QStringLiteral("bytes"), double(idle->bytes)},
                  {QStringLiteral("listen_ms"), idle->listenMs}};
    if (idle->bytes == 0)
        return Make(Check::Idle, Level::Pass, Hint::None, v);
    const int frames = WholeFrames(idle->sample);
    v.insert(QStringLiteral("frames"), frames);
    return Make(Check::Idle, Level::Fault, frames > 0 ? Hint::SecondTalker : Hint::Noise, v);
}

// Garbled bytes at some rate where nothing ever answered: the line turns every answer into
// garbage.
bool GarbledEverywhere(const QList<RateTry> &tries)
{
    bool garbled = false;
    for (const RateTry &t : tries) {
        if (t.answered)
            return false;
        garbled = garbled || t.garbled > 0;
    }
    return garbled;
}

Finding JudgeModule(const Readings &r)
{
    if (!r.port.opened())
        return Make(Check::Module, Level::Skipped);
    if (r.found) {
        return Make(Check::Module, Level::Pass, Hint::None,
                    {{QStringLiteral("address"), r.address},
                     {QStringLiteral("rate"), r.found->rate},
                     {QStringLiteral("format"), FormatText(*r.found)}});
    }
    int garbledRates = 0;
    QStringList tried;
    for (const RateTry &t : r.tries) {
        garbledRates += t.garbled > 0 ? 1 : 0;
        tried << QStringLiteral("%1 %2").arg(t.settings.rate).arg(FormatText(t.settings));
    }
    const QVariantMap v{{QStringLiteral("address"), r.address},
                        {QStringLiteral("rates"), r.tries.size()},
                        {QStringLiteral("garbled_rates"), garbledRates},
                        {QStringLiteral("tried"), tried}};
    return Make(Check::Module, Level::Fault,
                GarbledEverywhere(r.tries) ? Hint::SwapAB : Hint::NoModule, v);
}

Finding JudgeTimes(const Readings &r)
{
    QList<double> times;
    double expected = 0;
    for (const ReadSeries &s : r.reads) {
        times += s.timesMs;
        expected = std::max(expected, s.expectedMs);
    }
    if (times.isEmpty())
        return Make(Check::Times, Level::Skipped);
    const TimeFigures f = Figures(times);
    const QVariantMap v{
        {QStringLiteral("min_ms"), f.minimum},     {QStringLiteral("median_ms"), f.median},
        {QStringLiteral("p95_ms"), f.p95},         {QStringLiteral("max_ms"), f.maximum},
        {QStringLiteral("answers"), times.size()}, {QStringLiteral("expected_ms"), expected}};
    if (f.median > expected + SlowMarginMs)
        return Make(Check::Times, Level::Warning, Hint::SlowAnswers, v);
    return Make(Check::Times, Level::Pass, Hint::None, v);
}

double Share(const ReadSeries &s)
{
    return s.asked > 0 ? double(s.garbled + s.silences) / s.asked : 0;
}

Finding JudgeErrors(const Readings &r)
{
    // Whole frames heard unasked: answers garbled are more likely collisions with that talker.
    const bool secondTalker = r.idle && r.idle->bytes > 0 && WholeFrames(r.idle->sample) > 0;
    int asked = 0, garbled = 0, crc = 0, silences = 0;
    for (const ReadSeries &s : r.reads) {
        asked += s.asked;
        garbled += s.garbled;
        crc += s.crcErrors;
        silences += s.silences;
    }
    if (asked == 0)
        return Make(Check::Errors, Level::Skipped);
    QVariantMap v{{QStringLiteral("reads"), asked},
                  {QStringLiteral("garbled"), garbled},
                  {QStringLiteral("crc_errors"), crc},
                  {QStringLiteral("silences"), silences}};
    if (garbled == asked)
        return Make(Check::Errors, Level::Fault, Hint::SwapAB, v);
    // Errors that grow with the rate: reflections on an unterminated bus.
    QList<ReadSeries> byRate = r.reads;
    std::sort(byRate.begin(), byRate.end(), [](const ReadSeries &a, const ReadSeries &b) {
        return a.settings.rate < b.settings.rate;
    });
    byRate.erase(std::remove_if(byRate.begin(), byRate.end(),
                                [](const ReadSeries &s) { return s.asked == 0; }),
                 byRate.end());
    if (byRate.size() >= 2) {
        bool growing = true;
        for (qsizetype i = 1; i < byRate.size(); ++i)
            growing = growing && Share(byRate[i]) >= Share(byRate[i - 1]);
        if (growing && Share(byRate.back()) - Share(byRate.front()) >= FaultShare) {
            QVariantList rates;
            for (const ReadSeries &s : byRate)
                rates << QVariantMap{{QStringLiteral("rate"), s.settings.rate},
                                     {QStringLiteral("share"), Share(s)}};
            v.insert(QStringLiteral("by_rate"), rates);
            return Make(Check::Errors, Level::Fault, Hint::Termination, v);
        }
    }
    const double share = double(garbled + silences) / asked;
    const Hint hint = secondTalker  ? Hint::SecondTalker
                      : garbled > 0 ? Hint::Noise
                                    : Hint::Silences;
    if (share >= FaultShare)
        return Make(Check::Errors, Level::Fault, hint, v);
    if (garbled + silences > 0)
        return Make(Check::Errors, Level::Warning, hint, v);
    return Make(Check::Errors, Level::Pass, Hint::None, v);
}

} // namespace

QList<Finding> Judge(const Readings &r)
{
    return {JudgePort(r.port),
            JudgeHolders(r.port),
            JudgeAdapter(r.port, r.adapter),
            JudgeLatency(r.port, r.adapter),
            JudgeEcho(r),
            JudgeCounters(r.port, r.counters),
            JudgeIdle(r.idle),
            JudgeModule(r),
            JudgeTimes(r),
            JudgeErrors(r)};
}

Level Worst(const QList<Finding> &findings)
{
    Level worst = Level::Pass;
    for (const Finding &f : findings) {
        if (f.level == Level::Fault)
            return Level::Fault;
        if (f.level == Level::Warning)
            worst = Level::Warning;
    }
    return worst;
}

int WholeFrames(const QByteArray &bytes)
{
    // The shortest frame is an exception answer (5 bytes); the longest 256.
    int frames = 0;
    qsizetype start = 0;
    while (start + 5 <= bytes.size()) {
        qsizetype length = 0;
        const qsizetype longest = std::min<qsizetype>(256, bytes.size() - start);
        for (qsizetype n = 5; n <= longest; ++n) {
            if (modbus::CrcRight(QByteArrayView(bytes).sliced(start, n))) {
                length = n;
                break;
            }
        }
        if (length > 0) {
            ++frames;
            start += length;
        } else {
            ++start;
        }
    }
    return frames;
}

TimeFigures Figures(QList<double> times)
{
    if (times.isEmpty())
        return {};
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) {
        // The nearest rank: the smallest time at or above q of them.
        const qsizetype rank = qsizetype(std::ceil(q * double(times.size())));
        return times.at(std::clamp<qsizetype>(rank - 1, 0, times.size() - 1));
    };
    const qsizetype n = times.size();
    const double median = n % 2 ? times.at(n / 2) : (times.at(n / 2 - 1) + times.at(n / 2)) / 2;
    return {times.front(), median, at(0.95), times.back()};
}

QString LevelKey(Level level)
{
    switch (level) {
    case Level::Pass:
        return QStringLiteral("pass");
    case Level::Warning:
        return QStringLiteral("warning");
    case Level::Fault:
        return QStringLiteral("fault");
    case Level::Skipped:
        return QStringLiteral("skipped");
    case Level::NotAvailable:
        return QStringLiteral("not available");
    }
    return {};
}

QString CheckKey(Check check)
{
    switch (check) {
    case Check::Port:
        return QStringLiteral("port");
    case Check::Holders:
        return QStringLiteral("holders");
    case Check::Adapter:
        return QStringLiteral("adapter");
    case Check::Latency:
        return QStringLiteral("latency");
    case Check::Echo:
        return QStringLiteral("echo");
    case Check::Counters:
        return QStringLiteral("counters");
    case Check::Idle:
        return QStringLiteral("idle");
    case Check::Module:
        return QStringLiteral("module");
    case Check::Times:
        return QStringLiteral("times");
    case Check::Errors:
        return QStringLiteral("errors");
    }
    return {};
}

QString HintKey(Hint hint)
{
    switch (hint) {
    case Hint::None:
        return {};
    case Hint::NoSuchPort:
        return QStringLiteral("no such port");
    case Hint::Dialout:
        return QStringLiteral("permission");
    case Hint::StopModemManager:
        return QStringLiteral("stop ModemManager");
    case Hint::StopBrltty:
        return QStringLiteral("stop brltty");
    case Hint::CloseHolder:
        return QStringLiteral("close the other program");
    case Hint::LatencyRule:
        return QStringLiteral("latency timer");
    case Hint::EchoDrop:
        return QStringLiteral("echo");
    case Hint::FormatMismatch:
        return QStringLiteral("rate or format");
    case Hint::Overrun:
        return QStringLiteral("overrun");
    case Hint::LineBreak:
        return QStringLiteral("line held low");
    case Hint::SecondTalker:
        return QStringLiteral("second talker");
    case Hint::Noise:
        return QStringLiteral("noise");
    case Hint::SwapAB:
        return QStringLiteral("A/B swapped or no bias");
    case Hint::Termination:
        return QStringLiteral("termination");
    case Hint::NoModule:
        return QStringLiteral("no module");
    case Hint::SlowAnswers:
        return QStringLiteral("slow answers");
    case Hint::Silences:
        return QStringLiteral("silences");
    }
    return {};
}

} // namespace linecheck
