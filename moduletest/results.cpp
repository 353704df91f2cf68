#include "moduletest/results.h"

#include <algorithm>
#include <cmath>

namespace moduletest {

QString FaultName(Fault fault)
{
    switch (fault) {
    case Fault::NoAnswer:
        return QStringLiteral("no-answer");
    case Fault::WrongAnswer:
        return QStringLiteral("wrong-answer");
    case Fault::WrongState:
        return QStringLiteral("wrong-state");
    case Fault::Timing:
        return QStringLiteral("timing");
    }
    return {};
}

void ResponseTimes::add(double ms)
{
    ms = std::max(ms, 0.0);
    if (m_count == 0 || ms < m_min)
        m_min = ms;
    if (m_count == 0 || ms > m_max)
        m_max = ms;
    ++m_count;
    ++m_bins[std::size_t(std::min<double>(std::floor(ms * BinsPerMs), Bins))];
}

double ResponseTimes::percentile(double share) const
{
    if (m_count == 0)
        return 0;
    const auto wanted = quint64(std::ceil(share * double(m_count)));
    quint64 seen = 0;
    for (int bin = 0; bin <= Bins; ++bin) {
        seen += m_bins[std::size_t(bin)];
        if (seen >= std::max<quint64>(wanted, 1))
            return bin == Bins ? m_max : std::clamp((bin + 0.5) / BinsPerMs, m_min, m_max);
    }
    return m_max;
}

CaseResult &ModuleResult::caseOf(Step step, const QString &name, int channel)
{
    for (CaseResult &c : cases) {
        if (c.step == step && c.name == name)
            return c;
    }
    CaseResult c;
    c.step = step;
    c.name = name;
    c.channel = channel;
    cases.push_back(c);
    return cases.back();
}

void ModuleResult::addFailure(const Failure &failure)
{
    ++failureCount;
    if (failures.size() < std::size_t(keptFailures))
        failures.push_back(failure);
    for (const int channel : failure.channels) {
        if (channel >= 1 && channel <= 8)
            ++channelFailures[std::size_t(channel)];
    }
}

bool Report::passed() const
{
    if (!portFailure.isEmpty() || interrupted || modules.empty())
        return false;
    return std::all_of(modules.begin(), modules.end(),
                       [](const ModuleResult &m) { return m.passed(); });
}

bool Report::cutShort(const ModuleResult &module) const
{
    return (!portFailure.isEmpty() || interrupted) && !modules.empty() &&
           &module == &modules.back();
}

} // namespace moduletest
