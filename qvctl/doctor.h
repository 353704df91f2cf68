#pragma once

#include "qvctl/invocation.h"

#include <QString>

#include <functional>

namespace qvctl {

// `qvctl doctor`: the line check. Each finding on a line of its own (pass, warning or fault, the
// figure behind it, what to do), then a summary; with --json one object holding them all.
// Done when nothing is worse than a warning, WrongAnswer when a fault was found, Port when the
// port cannot be opened.
Exit RunDoctor(const Invocation &in, const std::function<void(const QString &)> &out,
               const std::function<void(const QString &)> &err);

} // namespace qvctl
