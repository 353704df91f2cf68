#include "moduletest/plan.h"

#include <QRegularExpression>

namespace moduletest {

QString StepName(Step step)
{
    switch (step) {
    case Step::Communication:
        return QStringLiteral("comm");
    case Step::Channels:
        return QStringLiteral("channels");
    case Step::AllOnOff:
        return QStringLiteral("all");
    case Step::Patterns:
        return QStringLiteral("patterns");
    case Step::Timed:
        return QStringLiteral("timed");
    case Step::Config:
        return QStringLiteral("config");
    }
    return {};
}

std::optional<Step> StepOfName(const QString &name)
{
    for (const Step step : AllSteps) {
        if (StepName(step) == name.trimmed().toLower())
            return step;
    }
    return std::nullopt;
}

bool Cycled(Step step)
{
    return step == Step::Channels || step == Step::AllOnOff || step == Step::Patterns;
}

QList<Step> DefaultSteps()
{
    return {Step::Communication, Step::Channels, Step::AllOnOff, Step::Patterns, Step::Timed};
}

std::optional<QList<Step>> ParseSteps(const QString &text, QString *error)
{
    QList<Step> chosen;
    for (const QString &word : text.split(u',', Qt::SkipEmptyParts)) {
        const auto step = StepOfName(word);
        if (!step) {
            if (error)
                *error = QStringLiteral("not a step: %1 (the steps: comm, channels, all, "
                                        "patterns, timed, config)")
                             .arg(word.trimmed());
            return std::nullopt;
        }
        if (!chosen.contains(*step))
            chosen.append(*step);
    }
    if (chosen.isEmpty()) {
        if (error)
            *error = QStringLiteral("no step given");
        return std::nullopt;
    }
    // They run in their own order, whatever order they were named in.
    QList<Step> ordered;
    for (const Step step : AllSteps) {
        if (chosen.contains(step))
            ordered.append(step);
    }
    return ordered;
}

std::optional<QList<std::uint8_t>> ParseAddresses(const QString &text, QString *error)
{
    static const QRegularExpression part(
        QStringLiteral("^\\s*(\\d{1,3})\\s*(?:-\\s*(\\d{1,3}))?\\s*$"));
    QList<std::uint8_t> addresses;
    const auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    for (const QString &piece : text.split(u',')) {
        const auto match = part.match(piece);
        if (!match.hasMatch())
            return refuse(QStringLiteral("not an address or a range: %1").arg(piece.trimmed()));
        const int from = match.captured(1).toInt();
        const int to = match.captured(2).isEmpty() ? from : match.captured(2).toInt();
        if (from < 1 || to > 255 || from > to)
            return refuse(
                QStringLiteral("addresses are 1..255, lowest first: %1").arg(piece.trimmed()));
        for (int a = from; a <= to; ++a) {
            if (!addresses.contains(std::uint8_t(a)))
                addresses.append(std::uint8_t(a));
        }
    }
    return addresses;
}

} // namespace moduletest
