#include "cli/exitstatus.h"
#include "cli/interrupt.h"

#include <cerrno>
#include <csignal>
#include <iterator>

#include <unistd.h>

namespace {

volatile sig_atomic_t signalsSeen = 0;
volatile sig_atomic_t resumesSeen = 0;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kStopSignals) + 2];

extern "C" void stopRequested(int)
{
    if (++signalsSeen == 1) {
        // The interrupted code may be about to read errno of its own failed call.
        const int savedErrno = errno;
        constexpr char first[] = "tarnvale-cli: interrupted: the device in hand is finished, then the run stops "
                                 "(again to stop at once)\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, first, sizeof first - 1);
        errno = savedErrno;
        return;
    }
    constexpr char again[] = "tarnvale-cli: interrupted again: stopped at once; the report marks the device in "
                             "hand \"started\": look for it at both addresses\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, again, sizeof again - 1);
    _exit(ExitInterrupted);
}

extern "C" void goneOn(int)
{
    resumesSeen = resumesSeen + 1;
}

void install(int signal, void (*handler)(int), struct sigaction *saved)
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    // While one stop handler runs, the others wait: the count of signals stays true.
    sigemptyset(&action.sa_mask);
    for (const int other : kStopSignals)
        sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, saved);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    signalsSeen = 0;
    resumesSeen = 0;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        install(kStopSignals[i], stopRequested, &previous[i]);
    install(SIGCONT, goneOn, &previous[std::size(kStopSignals)]);
    install(SIGPIPE, SIG_IGN, &previous[std::size(kStopSignals) + 1]);
}

InterruptGuard::~InterruptGuard()
{
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &previous[i], nullptr);
    sigaction(SIGCONT, &previous[std::size(kStopSignals)], nullptr);
    sigaction(SIGPIPE, &previous[std::size(kStopSignals) + 1], nullptr);
}

bool InterruptGuard::requested()
{
    return signalsSeen > 0;
}

int InterruptGuard::resumes()
{
    return resumesSeen;
}
