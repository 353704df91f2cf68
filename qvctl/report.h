#pragma once

#include "qvctl/invocation.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>

namespace qvctl {

// One result of a command: a line for people, an object for --json.
struct Result
{
    QString text;
    QJsonObject json;
};

// "1:on 2:off 3:on 4:off" for the first channelCount bits, channel 1 in bit 0.
QString ChannelStatesText(std::uint16_t bits, int channelCount);
// {"1": "on", "2": "off", ...}
QJsonObject ChannelStatesJson(std::uint16_t bits, int channelCount);

// A time in tenths as seconds: 25 -> "2.5", 20 -> "2".
QString SecondsText(std::uint16_t tenths);

// The key a failure has in JSON: "no-answer", "usage", "port", "wrong-answer", "interrupted".
QString ExitKey(Exit status);

// What is printed for a result: the text, or the object on one line; a line break ends it.
QString ResultLine(const Result &result, bool json);

// The object printed with --json when a command fails:
// {"command": ..., "error": "no-answer", "exit": 1, "message": ...}
QString FailureJsonLine(const QString &command, Exit status, const QString &message);

// Standard output that could not be written or flushed: its reason is kept (the first only),
// and a command that goes on for long ends when it sees one.
void NoteStandardOutputFailure(const QString &reason);
QString StandardOutputFailure(); // empty while everything went out

} // namespace qvctl
