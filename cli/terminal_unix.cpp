#include "cli/terminal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>

#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

termios savedTerminal {};
termios silentTerminal {};

// The prompt's own handlers: whatever ends the program while the echo is off gives the
// terminal back as it was; a stop (Ctrl-Z) gives it back until the program continues.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void setHandler(int signal, void (*handler)(int), struct sigaction *previous = nullptr)
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART; // the read of the password goes on after a stop
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, previous);
}

extern "C" void restoreTerminalAndEnd(int signal)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    setHandler(signal, SIG_DFL);
    raise(signal); // delivered with its default action once this handler returns
}

extern "C" void restoreTerminalAndStop(int)
{
    const int savedErrno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    setHandler(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP); // stopped here until SIGCONT
    setHandler(SIGTSTP, restoreTerminalAndStop);
    tcsetattr(STDIN_FILENO, TCSANOW, &silentTerminal);
    errno = savedErrno;
}

} // namespace

bool inputIsTerminal()
{
    return isatty(STDIN_FILENO);
}

QByteArray readWithoutEcho(const char *prompt)
{
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    const bool terminal = tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
    struct sigaction previous[std::size(kEndingSignals) + 1];
    if (terminal) {
        silentTerminal = savedTerminal;
        silentTerminal.c_lflag &= ~tcflag_t(ECHO);
        silentTerminal.c_lflag |= ECHONL;
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            setHandler(kEndingSignals[i], restoreTerminalAndEnd, &previous[i]);
        setHandler(SIGTSTP, restoreTerminalAndStop, &previous[std::size(kEndingSignals)]);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silentTerminal);
    }
    std::string typed;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin))
        typed.push_back(char(c));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            sigaction(kEndingSignals[i], &previous[i], nullptr);
        sigaction(SIGTSTP, &previous[std::size(kEndingSignals)], nullptr);
    }
    return QByteArray::fromStdString(typed);
}

void keepSecretsOutOfCoreFiles()
{
    // Only the core file limit: a process made undumpable hides its descriptors from its own
    // user, whose doctor could then no longer name it as the holder of the port.
    const rlimit none {0, 0};
    setrlimit(RLIMIT_CORE, &none);
}
