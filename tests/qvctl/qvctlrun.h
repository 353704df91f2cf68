#pragma once

// Runs the qvctl program once, as a script would, and collects what it said.

#include <QProcess>
#include <QString>
#include <QStringList>

struct QvctlRun
{
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

inline QvctlRun RunQvctl(const QStringList &arguments, int deadlineMs = 60000)
{
    QProcess process;
    process.setProgram(QStringLiteral(QVCTL));
    process.setArguments(arguments);
    process.start();
    QvctlRun run;
    run.finished = process.waitForFinished(deadlineMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(deadlineMs);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
