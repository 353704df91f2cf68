#pragma once

// Ctrl+C (SIGINT), SIGTERM and SIGHUP while a long command runs: the first is noted for the
// command to end in good order; a second one ends the program at once.

namespace qvctl {

class InterruptGuard
{
public:
    // lastWords go to standard error when a second signal ends the program, with exit status
    // exitStatus.
    InterruptGuard(const char *lastWords, int exitStatus);
    ~InterruptGuard(); // the signals' earlier handling again
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // The first signal caught (0 while none came).
    static int caught();
    // "SIGINT", "SIGTERM", "SIGHUP".
    static const char *name(int signal);
};

} // namespace qvctl
