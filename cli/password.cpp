#include "cli/password.h"

#include "cli/inputfile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
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

QString promptWithoutEcho()
{
    std::fputs("Password for the devices: ", stderr);
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
    return passwordFromFile(QByteArray::fromStdString(typed));
}

} // namespace

QString passwordFromFile(const QByteArray &bytes)
{
    QByteArray line = bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

bool readableByOthers(unsigned mode)
{
    return mode & (S_IRGRP | S_IROTH);
}

void keepSecretsOutOfCoreFiles()
{
    // Only the core file limit: a process made undumpable hides its descriptors from its own
    // user, whose doctor could then no longer name it as the holder of the port.
    const rlimit none {0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

Outcome obtainPassword(const PasswordSource &source, QString *password, QString *warning)
{
    password->clear();
    warning->clear();
    // What is typed at a terminal would be seen: "-" there means the prompt without echo.
    const bool typed = source.file == QLatin1String(kStandardInput) && isatty(STDIN_FILENO);
    if (!source.file.isEmpty() && !typed) {
        const QString name = inputName(source.file);
        QByteArray bytes;
        QString error;
        unsigned mode = 0;
        if (!readInput(source.file, kLongestPasswordFile, &bytes, &error, &mode))
            return {ExitUsage, QStringLiteral("password file: ") + error};
        if (readableByOthers(mode)) {
            const QString exposed = QStringLiteral("the password file %1 can be read by group or others (mode %2)")
                                        .arg(name)
                                        .arg(mode, 4, 8, QLatin1Char('0'));
            if (source.strict)
                return {ExitUsage, exposed + QStringLiteral("; refused with --strict: chmod 600 ") + name};
            *warning = QStringLiteral("warning: ") + exposed + QStringLiteral(": chmod 600 ") + name;
        }
        *password = passwordFromFile(bytes);
        if (password->isEmpty())
            return {ExitUsage, QStringLiteral("the password file %1 starts with an empty line").arg(name)};
    } else if (!typed && qEnvironmentVariableIsSet(kPasswordVariable)) {
        *password = qEnvironmentVariable(kPasswordVariable);
        if (password->isEmpty())
            return {ExitUsage, QStringLiteral("%1 is empty").arg(QLatin1String(kPasswordVariable))};
    } else if (!source.standardInputTaken && isatty(STDIN_FILENO)) {
        *password = promptWithoutEcho();
        if (password->isEmpty())
            return {ExitUsage, QStringLiteral("no password typed")};
    } else {
        return {ExitUsage, QStringLiteral("no password: name a file with --password-file, set %1, or run on a terminal")
                               .arg(QLatin1String(kPasswordVariable))};
    }
    return {};
}
