#include "cli/interrupt.h"

#include "cli/exitstatus.h"

#include <csignal>

#include <unistd.h>

namespace {

volatile sig_atomic_t signalsSeen = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction previous[2];

extern "C" void stopRequested(int)
{
    if (++signalsSeen == 1) {
        constexpr char first[] = "tarnvale-cli: interrupted: the device in hand is finished, then the run stops "
                                 "(again to stop at once)\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, first, sizeof first - 1);
        return;
    }
    constexpr char again[] = "tarnvale-cli: interrupted again: stopped at once; the report marks the device in "
                             "hand \"started\": look for it at both addresses\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, again, sizeof again - 1);
    _exit(ExitInterrupted);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    signalsSeen = 0;
    struct sigaction action {};
    action.sa_handler = stopRequested;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 2; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

InterruptGuard::~InterruptGuard()
{
    for (int i = 0; i < 2; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
}

bool InterruptGuard::requested()
{
    return signalsSeen > 0;
}
