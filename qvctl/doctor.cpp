#include "qvctl/doctor.h"

#include "linecheck/runner.h"
#include "linecheck/verdicts.h"
#include "protocol/hexcodec.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qvctl {

using namespace linecheck;

namespace {

QString Mark(Level level)
{
    switch (level) {
    case Level::Pass:
        return QStringLiteral("pass");
    case Level::Warning:
        return QStringLiteral("WARNING");
    case Level::Fault:
        return QStringLiteral("FAULT");
    case Level::Skipped:
        return QStringLiteral("-");
    case Level::NotAvailable:
        return QStringLiteral("n/a");
    }
    return {};
}

const char *CheckNames[] = {"port",     "holders", "adapter", "latency", "echo",
                            "counters", "idle",    "module",  "times",   "errors"};

} // namespace

Exit RunDoctor(const Invocation &in, const std::function<void(const QString &)> &out,
               const std::function<void(const QString &)> &err)
{
    LineCheck::Options options;
    options.port = in.port;
    options.settings = LineSettingsOf(in);
    options.address = in.address;
    options.reads = in.doctorReads;
    options.timeoutMs = in.timeoutMs;
    options.pauseMs = in.gapMs;
    options.rs485 = in.rs485;
    options.echo = in.echo;
    LineCheck check(options);
    const auto log = [&](const QString &text) {
        if (in.verbose)
            err(QStringLiteral("%1 %2\n").arg(
                QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")), text));
    };
    QObject::connect(&check, &LineCheck::reading, [&](int which) {
        log(QStringLiteral("checking %1").arg(QLatin1String(CheckNames[which])));
    });
    QObject::connect(&check, &LineCheck::wrote, [&](const QByteArray &frame) {
        log(QStringLiteral("out %1").arg(protocol::HexFrameText(frame).trimmed()));
    });
    QObject::connect(&check, &LineCheck::heard, [&](const QByteArray &chunk) {
        log(QStringLiteral("in  %1").arg(protocol::HexFrameText(chunk).trimmed()));
    });
    QEventLoop loop;
    QObject::connect(&check, &LineCheck::finished, &loop, &QEventLoop::quit);
    check.start();
    if (check.running())
        loop.exec();

    const Readings &readings = check.readings();
    const QList<Finding> findings = Judge(readings);
    const QString summary = EnglishSummary(findings);
    Exit status = Exit::Done;
    if (!readings.port.opened())
        status = Exit::Port;
    else if (Worst(findings) == Level::Fault)
        status = Exit::WrongAnswer;

    if (in.json) {
        QJsonArray list;
        for (const Finding &f : findings) {
            QJsonObject o = QJsonObject::fromVariantMap(f.values);
            o.insert(QStringLiteral("check"), CheckKey(f.check));
            o.insert(QStringLiteral("level"), LevelKey(f.level));
            o.insert(QStringLiteral("figure"), EnglishFigure(f));
            if (f.hint != Hint::None) {
                o.insert(QStringLiteral("hint"), HintKey(f.hint));
                o.insert(QStringLiteral("advice"), EnglishAdvice(f));
            }
            list.append(o);
        }
        QJsonObject json;
        json.insert(QStringLiteral("command"), QStringLiteral("doctor"));
        json.insert(QStringLiteral("port"), in.port);
        json.insert(QStringLiteral("address"), in.address);
        json.insert(QStringLiteral("findings"), list);
        json.insert(QStringLiteral("summary"), summary);
        json.insert(QStringLiteral("exit"), int(status));
        out(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) + u'\n');
        return status;
    }
    QString text;
    for (const Finding &f : findings) {
        text += QStringLiteral("%1 %2 %3\n")
                    .arg(EnglishTitle(f.check), -15)
                    .arg(Mark(f.level), -8)
                    .arg(EnglishFigure(f));
        const QString advice = EnglishAdvice(f);
        if (!advice.isEmpty() && (f.level == Level::Warning || f.level == Level::Fault))
            text += QStringLiteral("%1 -> %2\n").arg(QString(), -24).arg(advice);
    }
    text += QStringLiteral("\n%1\n").arg(summary);
    out(text);
    return status;
}

} // namespace qvctl
