#pragma once

// The signals that reach the program while address changes run. SIGINT, SIGTERM and SIGHUP
// (the terminal closed, the connection dropped): the first asks the run to stop once the
// device in hand is done (its report row written, the rest "not run"); a second ends the
// program at once with status 11, the device in hand left as it was (its report row says
// "started", written before it was touched). A closed pipe kills nothing: the writes to it
// fail, and the run stops as at a signal, with status 12. A stop (Ctrl-Z) and the continue
// are counted, so that the run looks for its devices once more afterwards. One source file
// per system (interrupt_unix.cpp, interrupt_win.cpp: Ctrl+C and Ctrl+Break as SIGINT, the
// console's closing, logoff and shutdown as SIGHUP and SIGTERM).
class InterruptGuard
{
public:
    InterruptGuard();  // installs the handlers
    ~InterruptGuard(); // puts the previous ones back
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    // Whether a signal asked the run to stop.
    static bool requested();
    // How often the program went on after a stop while the guard lived.
    static int resumes();
};
