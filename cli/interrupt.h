#pragma once

// SIGINT and SIGTERM while address changes run: the first asks the run to stop once the
// device in hand is done (its report row written, the rest "not run"); the second ends the
// program at once with status 11, the device in hand left as it was (its report row says
// "started", written before it was touched).
class InterruptGuard
{
public:
    InterruptGuard();  // installs the handlers
    ~InterruptGuard(); // puts the previous ones back
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // Whether a signal asked the run to stop.
    static bool requested();
};
