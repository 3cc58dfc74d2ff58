#include "cli/interrupt.h"

#include "cli/exitstatus.h"

#include <atomic>
#include <cstdlib>

#include <windows.h>

namespace {

std::atomic<int> eventsSeen{0};

void say(const char *text, DWORD length)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, length, &written, nullptr);
}

// Windows calls this on a thread of its own. Ctrl+C and Ctrl+Break are answered as SIGINT is;
// the console's closing, the user's logoff and the shutdown end the process as soon as the
// handler returns, so there the handler returns never: the run finishes the device in hand and
// the program ends itself, unless Windows ends it first (5 seconds after the console closed).
BOOL WINAPI stopRequested(DWORD event)
{
    if (++eventsSeen == 1) {
        constexpr char first[] = "tarnvale-cli: interrupted: the device in hand is finished, then the run stops "
                                 "(again to stop at once)\n";
        say(first, sizeof first - 1);
        if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
            return TRUE;
        Sleep(INFINITE);
    }
    constexpr char again[] = "tarnvale-cli: interrupted again: stopped at once; the report marks the device in "
                             "hand \"started\": look for it at both addresses\n";
    say(again, sizeof again - 1);
    std::_Exit(ExitInterrupted);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    eventsSeen = 0;
    SetConsoleCtrlHandler(stopRequested, TRUE);
}

InterruptGuard::~InterruptGuard()
{
    SetConsoleCtrlHandler(stopRequested, FALSE);
}

bool InterruptGuard::requested()
{
    return eventsSeen > 0;
}

// Windows stops no console program: it never goes on after a stop.
int InterruptGuard::resumes()
{
    return 0;
}
