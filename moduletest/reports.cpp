#include "moduletest/reports.h"

#include "protocol/hexcodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QSysInfo>
#include <QXmlStreamWriter>

namespace moduletest {

namespace {

QString Hex(QByteArrayView bytes)
{
    return protocol::HexFrameText(bytes).trimmed();
}

QString StepList(const QList<Step> &steps)
{
    QStringList names;
    for (const Step step : steps)
        names.append(StepName(step));
    return names.join(u',');
}

QString Ms(double ms)
{
    return QString::number(ms, 'f', 1);
}

QString DateText(const QDateTime &when)
{
    return when.toString(Qt::ISODate);
}

QString ModuleTitle(const ModuleResult &m)
{
    return QStringLiteral("module %1").arg(m.address);
}

QString FailureLine(const Failure &f)
{
    QString line = QStringLiteral("cycle %1, %2, %3: %4 [%5]")
                       .arg(f.cycle)
                       .arg(StepName(f.step), f.testCase, f.message, FaultName(f.fault));
    if (!f.sent.isEmpty())
        line += QStringLiteral("\n      sent %1, received %2")
                    .arg(Hex(f.sent),
                         f.received.isEmpty() ? QStringLiteral("nothing") : Hex(f.received));
    return line;
}

QString CaseCounts(const CaseResult &c)
{
    QStringList parts{QStringLiteral("%1 run%2").arg(c.runs).arg(c.runs == 1 ? "" : "s")};
    if (c.noAnswers)
        parts.append(QStringLiteral("%1 no answer").arg(c.noAnswers));
    if (c.wrongAnswers)
        parts.append(QStringLiteral("%1 wrong").arg(c.wrongAnswers));
    if (c.timing)
        parts.append(QStringLiteral("%1 timing").arg(c.timing));
    return parts.join(QStringLiteral(", "));
}

// A case of a module's suite that no step ran: the test as a whole ended early.
struct RunError
{
    QString name;
    QString type;
    QString message;
};

// The cases that say a module's test did not run to its end.
QList<RunError> RunErrors(const Report &r, const ModuleResult *m)
{
    QList<RunError> errors;
    if (!r.portFailure.isEmpty() && (!m || r.cutShort(*m)))
        errors.append({QStringLiteral("port failure"), QStringLiteral("port"), r.portFailure});
    if (r.interrupted)
        errors.append({QStringLiteral("interrupted"), QStringLiteral("interrupted"),
                       r.stopReason.isEmpty() ? QStringLiteral("interrupted") : r.stopReason});
    return errors;
}

QString CsvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QString SettingsText(const Settings &s)
{
    QString text = QStringLiteral("steps %1; ").arg(StepList(s.steps));
    text += s.durationS > 0 ? QStringLiteral("duration %1 s; ").arg(s.durationS)
                            : QStringLiteral("cycles %1; ").arg(s.cycles);
    text += QStringLiteral("time %1 s; tolerance %2 ms; max failures %3")
                .arg(s.timedTenths / 10.0)
                .arg(s.toleranceMs)
                .arg(s.maxFailures > 0 ? QString::number(s.maxFailures) : QStringLiteral("none"));
    if (s.timeoutMs)
        text += QStringLiteral("; timeout %1 ms").arg(*s.timeoutMs);
    return text;
}

QString SummaryText(const Report &r)
{
    QString out;
    out +=
        QStringLiteral("Module test: %1 %2, %3\n").arg(r.program, r.version, DateText(r.started));
    out += QStringLiteral("Port %1 at %2 baud, model %3\n")
               .arg(r.port)
               .arg(r.rate)
               .arg(r.settings.model);
    out += QStringLiteral("Settings: %1\n").arg(SettingsText(r.settings));
    if (r.modules.empty())
        out += QStringLiteral("No module answered.\n");
    for (const ModuleResult &m : r.modules) {
        out += QStringLiteral("\nAddress %1: %2")
                   .arg(m.address)
                   .arg(r.modulePassed(m) ? "PASS" : "FAIL");
        if (!m.answered) {
            out += QStringLiteral(" (no answer)\n");
            continue;
        }
        out += QStringLiteral(" (%1 cycle%2, %3 failure%4)\n")
                   .arg(m.cyclesDone)
                   .arg(m.cyclesDone == 1 ? "" : "s")
                   .arg(m.failureCount)
                   .arg(m.failureCount == 1 ? "" : "s");
        if (m.configChanged)
            out += QStringLiteral("  The module's address and baud rate were changed and set "
                                  "back.\n");
        for (const CaseResult &c : m.cases)
            out += QStringLiteral("  %1 %2 %3 (%4)\n")
                       .arg(StepName(c.step), -9)
                       .arg(c.name, -22)
                       .arg(c.passed() ? QStringLiteral("pass") : QStringLiteral("FAIL"), -4)
                       .arg(CaseCounts(c));
        QStringList channels;
        for (int ch = 1; ch <= r.settings.channelCount; ++ch) {
            if (m.channelRuns[std::size_t(ch)] > 0)
                channels.append(QStringLiteral("%1:%2").arg(ch).arg(
                    m.channelFailures[std::size_t(ch)] ? "FAIL" : "pass"));
        }
        if (!channels.isEmpty())
            out += QStringLiteral("  Channels: %1\n").arg(channels.join(u' '));
        if (m.times.count() > 0)
            out += QStringLiteral("  Response: min %1, median %2, 95% %3, max %4 ms (%5 answers)\n")
                       .arg(Ms(m.times.min()), Ms(m.times.percentile(0.5)),
                            Ms(m.times.percentile(0.95)), Ms(m.times.max()))
                       .arg(m.times.count());
        if (m.failureCount > 0) {
            out += QStringLiteral("  Failures:\n");
            for (const Failure &f : m.failures)
                out += QStringLiteral("    %1\n").arg(FailureLine(f));
            if (m.failureCount > m.failures.size())
                out +=
                    QStringLiteral("    ... and %1 more\n").arg(m.failureCount - m.failures.size());
        }
    }
    if (!r.portFailure.isEmpty())
        out += QStringLiteral("\nThe port failed: %1\n").arg(r.portFailure);
    if (r.interrupted)
        out +=
            QStringLiteral("\nThe test was interrupted before its end (%1).\n").arg(r.stopReason);
    else if (r.stopped)
        out += QStringLiteral("\nThe test was %1.\n").arg(r.stopReason);
    out += QStringLiteral("\nResult: %1 (%2 s)\n")
               .arg(r.passed() ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
               .arg(r.seconds, 0, 'f', 1);
    return out;
}

QByteArray JUnitXml(const Report &r)
{
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    int tests = 0, failures = 0, errors = 0;
    if (r.modules.empty()) {
        tests = errors = int(RunErrors(r, nullptr).size());
    }
    for (const ModuleResult &m : r.modules) {
        const int runErrors = int(RunErrors(r, &m).size());
        tests += (m.answered ? int(m.cases.size()) : 1) + runErrors;
        errors += (m.answered ? 0 : 1) + runErrors;
        for (const CaseResult &c : m.cases) {
            if (c.failures > 0 && c.noAnswers == c.failures)
                ++errors;
            else if (c.failures > 0)
                ++failures;
        }
    }
    w.writeStartElement(QStringLiteral("testsuites"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("module test"));
    w.writeAttribute(QStringLiteral("tests"), QString::number(tests));
    w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    w.writeAttribute(QStringLiteral("errors"), QString::number(errors));
    w.writeAttribute(QStringLiteral("time"), QString::number(r.seconds, 'f', 3));
    int id = 0;
    const auto writeRunErrors = [&w](const QList<RunError> &runErrors, const QString &className) {
        for (const RunError &e : runErrors) {
            w.writeStartElement(QStringLiteral("testcase"));
            w.writeAttribute(QStringLiteral("classname"), className);
            w.writeAttribute(QStringLiteral("name"), e.name);
            w.writeAttribute(QStringLiteral("time"), QStringLiteral("0"));
            w.writeStartElement(QStringLiteral("error"));
            w.writeAttribute(QStringLiteral("type"), e.type);
            w.writeAttribute(QStringLiteral("message"), e.message);
            w.writeEndElement();
            w.writeEndElement();
        }
    };
    if (r.modules.empty() && !RunErrors(r, nullptr).isEmpty()) {
        // Nothing was tested: the run itself says why it ended.
        const QList<RunError> runErrors = RunErrors(r, nullptr);
        w.writeStartElement(QStringLiteral("testsuite"));
        w.writeAttribute(QStringLiteral("name"), QStringLiteral("module test"));
        w.writeAttribute(QStringLiteral("package"), QStringLiteral("moduletest"));
        w.writeAttribute(QStringLiteral("id"), QString::number(id++));
        w.writeAttribute(QStringLiteral("timestamp"),
                         r.started.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        w.writeAttribute(QStringLiteral("hostname"), QSysInfo::machineHostName());
        w.writeAttribute(QStringLiteral("tests"), QString::number(runErrors.size()));
        w.writeAttribute(QStringLiteral("failures"), QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("errors"), QString::number(runErrors.size()));
        w.writeAttribute(QStringLiteral("time"), QString::number(r.seconds, 'f', 3));
        writeRunErrors(runErrors, QStringLiteral("moduletest"));
        w.writeEndElement();
    }
    for (const ModuleResult &m : r.modules) {
        const QList<RunError> runErrors = RunErrors(r, &m);
        int suiteFailures = 0, suiteErrors = (m.answered ? 0 : 1) + int(runErrors.size());
        for (const CaseResult &c : m.cases) {
            if (c.failures > 0 && c.noAnswers == c.failures)
                ++suiteErrors;
            else if (c.failures > 0)
                ++suiteFailures;
        }
        w.writeStartElement(QStringLiteral("testsuite"));
        w.writeAttribute(QStringLiteral("name"), ModuleTitle(m));
        w.writeAttribute(QStringLiteral("package"), QStringLiteral("moduletest"));
        w.writeAttribute(QStringLiteral("id"), QString::number(id++));
        w.writeAttribute(QStringLiteral("timestamp"),
                         r.started.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        w.writeAttribute(QStringLiteral("hostname"), QSysInfo::machineHostName());
        w.writeAttribute(QStringLiteral("tests"),
                         QString::number((m.answered ? m.cases.size() : 1) + runErrors.size()));
        w.writeAttribute(QStringLiteral("failures"), QString::number(suiteFailures));
        w.writeAttribute(QStringLiteral("errors"), QString::number(suiteErrors));
        double suiteSeconds = 0;
        for (const CaseResult &c : m.cases)
            suiteSeconds += c.seconds;
        w.writeAttribute(QStringLiteral("time"), QString::number(suiteSeconds, 'f', 3));
        w.writeStartElement(QStringLiteral("properties"));
        const auto property = [&w](const QString &name, const QString &value) {
            w.writeStartElement(QStringLiteral("property"));
            w.writeAttribute(QStringLiteral("name"), name);
            w.writeAttribute(QStringLiteral("value"), value);
            w.writeEndElement();
        };
        property(QStringLiteral("address"), QString::number(m.address));
        property(QStringLiteral("port"), r.port);
        property(QStringLiteral("rate"), QString::number(r.rate));
        property(QStringLiteral("model"), r.settings.model);
        property(QStringLiteral("date"), DateText(r.started));
        property(QStringLiteral("program"), r.program);
        property(QStringLiteral("version"), r.version);
        property(QStringLiteral("settings"), SettingsText(r.settings));
        property(QStringLiteral("cycles"), QString::number(m.cyclesDone));
        property(QStringLiteral("config-changed"),
                 m.configChanged ? QStringLiteral("yes") : QStringLiteral("no"));
        w.writeEndElement();
        const QString classPrefix = QStringLiteral("module%1.").arg(m.address);
        if (!m.answered) {
            w.writeStartElement(QStringLiteral("testcase"));
            w.writeAttribute(QStringLiteral("classname"),
                             classPrefix + StepName(Step::Communication));
            w.writeAttribute(QStringLiteral("name"), QStringLiteral("state read"));
            w.writeAttribute(QStringLiteral("time"), QStringLiteral("0"));
            w.writeStartElement(QStringLiteral("error"));
            w.writeAttribute(QStringLiteral("type"), FaultName(Fault::NoAnswer));
            w.writeAttribute(QStringLiteral("message"),
                             QStringLiteral("no answer from address %1").arg(m.address));
            w.writeEndElement();
            w.writeEndElement();
        }
        for (const CaseResult &c : m.cases) {
            w.writeStartElement(QStringLiteral("testcase"));
            w.writeAttribute(QStringLiteral("classname"), classPrefix + StepName(c.step));
            w.writeAttribute(QStringLiteral("name"), c.name);
            w.writeAttribute(QStringLiteral("time"), QString::number(c.seconds, 'f', 3));
            if (c.failures > 0) {
                QStringList details;
                for (const Failure &f : m.failures) {
                    if (f.step == c.step && f.testCase == c.name)
                        details.append(FailureLine(f));
                }
                const bool error = c.noAnswers == c.failures;
                w.writeStartElement(error ? QStringLiteral("error") : QStringLiteral("failure"));
                w.writeAttribute(
                    QStringLiteral("type"),
                    error ? FaultName(Fault::NoAnswer)
                          : (c.timing ? FaultName(Fault::Timing) : FaultName(Fault::WrongState)));
                w.writeAttribute(QStringLiteral("message"),
                                 QStringLiteral("%1 of %2 runs failed: %3")
                                     .arg(c.failures)
                                     .arg(c.runs)
                                     .arg(c.firstFailure));
                w.writeCharacters(details.join(u'\n'));
                w.writeEndElement();
            }
            w.writeEndElement();
        }
        writeRunErrors(runErrors, classPrefix + QStringLiteral("run"));
        w.writeTextElement(QStringLiteral("system-out"), {});
        w.writeTextElement(QStringLiteral("system-err"), {});
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

QByteArray Json(const Report &r)
{
    QJsonObject root;
    root.insert(QStringLiteral("program"), r.program);
    root.insert(QStringLiteral("version"), r.version);
    root.insert(QStringLiteral("date"), DateText(r.started));
    root.insert(QStringLiteral("port"), r.port);
    root.insert(QStringLiteral("rate"), r.rate);
    root.insert(QStringLiteral("model"), r.settings.model);
    QJsonObject settings;
    QJsonArray steps;
    for (const Step step : r.settings.steps)
        steps.append(StepName(step));
    settings.insert(QStringLiteral("steps"), steps);
    settings.insert(QStringLiteral("cycles"), r.settings.cycles);
    settings.insert(QStringLiteral("durationS"), r.settings.durationS);
    settings.insert(QStringLiteral("maxFailures"), r.settings.maxFailures);
    settings.insert(QStringLiteral("timeS"), r.settings.timedTenths / 10.0);
    settings.insert(QStringLiteral("toleranceMs"), r.settings.toleranceMs);
    if (r.settings.timeoutMs)
        settings.insert(QStringLiteral("timeoutMs"), *r.settings.timeoutMs);
    root.insert(QStringLiteral("settings"), settings);
    root.insert(QStringLiteral("passed"), r.passed());
    root.insert(QStringLiteral("seconds"), r.seconds);
    if (r.stopped)
        root.insert(QStringLiteral("stopped"), r.stopReason);
    if (r.interrupted)
        root.insert(QStringLiteral("interrupted"), true);
    if (!r.portFailure.isEmpty())
        root.insert(QStringLiteral("portFailure"), r.portFailure);
    QJsonArray modules;
    for (const ModuleResult &m : r.modules) {
        QJsonObject mo;
        mo.insert(QStringLiteral("address"), m.address);
        mo.insert(QStringLiteral("answered"), m.answered);
        mo.insert(QStringLiteral("passed"), r.modulePassed(m));
        mo.insert(QStringLiteral("cycles"), m.cyclesDone);
        mo.insert(QStringLiteral("configChanged"), m.configChanged);
        mo.insert(QStringLiteral("failureCount"), double(m.failureCount));
        QJsonObject times;
        times.insert(QStringLiteral("count"), double(m.times.count()));
        times.insert(QStringLiteral("min"), m.times.min());
        times.insert(QStringLiteral("median"), m.times.percentile(0.5));
        times.insert(QStringLiteral("p95"), m.times.percentile(0.95));
        times.insert(QStringLiteral("max"), m.times.max());
        mo.insert(QStringLiteral("responseMs"), times);
        QJsonObject channels;
        for (int ch = 1; ch <= r.settings.channelCount; ++ch) {
            if (m.channelRuns[std::size_t(ch)] == 0)
                continue;
            channels.insert(QString::number(ch), m.channelFailures[std::size_t(ch)]
                                                     ? QStringLiteral("fail")
                                                     : QStringLiteral("pass"));
        }
        mo.insert(QStringLiteral("channels"), channels);
        QJsonArray cases;
        for (const CaseResult &c : m.cases) {
            QJsonObject co;
            co.insert(QStringLiteral("step"), StepName(c.step));
            co.insert(QStringLiteral("case"), c.name);
            co.insert(QStringLiteral("channel"), c.channel);
            co.insert(QStringLiteral("passed"), c.passed());
            co.insert(QStringLiteral("runs"), double(c.runs));
            co.insert(QStringLiteral("failures"), double(c.failures));
            co.insert(QStringLiteral("noAnswers"), double(c.noAnswers));
            co.insert(QStringLiteral("wrongAnswers"), double(c.wrongAnswers));
            co.insert(QStringLiteral("timing"), double(c.timing));
            cases.append(co);
        }
        mo.insert(QStringLiteral("cases"), cases);
        QJsonArray failures;
        for (const Failure &f : m.failures) {
            QJsonObject fo;
            fo.insert(QStringLiteral("cycle"), f.cycle);
            fo.insert(QStringLiteral("step"), StepName(f.step));
            fo.insert(QStringLiteral("case"), f.testCase);
            QJsonArray channels;
            for (const int channel : f.channels)
                channels.append(channel);
            fo.insert(QStringLiteral("channels"), channels);
            fo.insert(QStringLiteral("fault"), FaultName(f.fault));
            fo.insert(QStringLiteral("message"), f.message);
            fo.insert(QStringLiteral("sent"), Hex(f.sent));
            fo.insert(QStringLiteral("received"), Hex(f.received));
            failures.append(fo);
        }
        mo.insert(QStringLiteral("failures"), failures);
        modules.append(mo);
    }
    root.insert(QStringLiteral("modules"), modules);
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray Csv(const Report &r)
{
    QStringList lines{QStringLiteral(
        "date,program,version,port,rate,model,settings,address,step,case,channel,runs,"
        "failures,no_answers,wrong_answers,timing,result,first_failure")};
    const QStringList run{DateText(r.started),
                          r.program,
                          r.version,
                          r.port,
                          QString::number(r.rate),
                          r.settings.model,
                          SettingsText(r.settings)};
    const auto runRows = [&](const ModuleResult *m) {
        for (const RunError &e : RunErrors(r, m)) {
            QStringList row = run;
            row << (m ? QString::number(m->address) : QString()) << QString() << e.name
                << QStringLiteral("0") << QStringLiteral("1") << QStringLiteral("1")
                << QStringLiteral("0") << QStringLiteral("0") << QStringLiteral("0")
                << (e.type == QLatin1String("interrupted") ? QStringLiteral("interrupted")
                                                           : QStringLiteral("fail"))
                << e.message;
            for (QString &field : row)
                field = CsvField(field);
            lines.append(row.join(u','));
        }
    };
    if (r.modules.empty())
        runRows(nullptr);
    for (const ModuleResult &m : r.modules) {
        QList<CaseResult> cases(m.cases.begin(), m.cases.end());
        if (!m.answered)
            cases.prepend({Step::Communication, QStringLiteral("state read"), 0, 1, 1, 1, 0, 0, 0,
                           QStringLiteral("no answer")});
        for (const CaseResult &c : cases) {
            QStringList row = run;
            row << QString::number(m.address) << StepName(c.step) << c.name
                << QString::number(c.channel) << QString::number(c.runs)
                << QString::number(c.failures) << QString::number(c.noAnswers)
                << QString::number(c.wrongAnswers) << QString::number(c.timing)
                << (c.passed() ? QStringLiteral("pass") : QStringLiteral("fail")) << c.firstFailure;
            for (QString &field : row)
                field = CsvField(field);
            lines.append(row.join(u','));
        }
        runRows(&m);
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace moduletest
