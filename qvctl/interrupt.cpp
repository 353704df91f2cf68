#include "qvctl/interrupt.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qvctl {

namespace {

volatile std::sig_atomic_t first = 0;
const char *words = "";
int status = 1;

#ifdef SIGHUP
constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int Signals[] = {SIGINT, SIGTERM};
#endif
using Handler = void (*)(int);
Handler previous[std::size(Signals)] = {};

extern "C" void OnSignal(int signal)
{
    if (first == 0) {
        first = signal;
#ifdef _WIN32
        std::signal(signal, OnSignal); // Windows resets the handler on each signal
#endif
        return;
    }
    // Only what is safe in a signal handler: one write, then the end.
#ifdef _WIN32
    _write(2, words, unsigned(std::strlen(words)));
#else
    [[maybe_unused]] const auto n = ::write(2, words, std::strlen(words));
#endif
    std::_Exit(status);
}

} // namespace

InterruptGuard::InterruptGuard(const char *lastWords, int exitStatus)
{
    first = 0;
    words = lastWords;
    status = exitStatus;
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        previous[i] = std::signal(Signals[i], OnSignal);
}

InterruptGuard::~InterruptGuard()
{
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        std::signal(Signals[i], previous[i] == SIG_ERR ? SIG_DFL : previous[i]);
}

int InterruptGuard::caught()
{
    return first;
}

const char *InterruptGuard::name(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
#ifdef SIGHUP
    case SIGHUP:
        return "SIGHUP";
#endif
    }
    return "a signal";
}

} // namespace qvctl
