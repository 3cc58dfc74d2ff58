#include "password.h"

#include <QFile>

#include <csignal>
#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace {

constexpr qint64 kLongestLine = 4096;

QString firstLine(const QByteArray &bytes)
{
    QByteArray line = bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

termios savedTerminal {};

// Ctrl-C at the prompt must not leave the terminal without echo.
extern "C" void restoreTerminalAndStop(int signal)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

QString promptWithoutEcho()
{
    std::fputs("Password for the devices: ", stderr);
    std::fflush(stderr);
    const bool terminal = tcgetattr(STDIN_FILENO, &savedTerminal) == 0;
    if (terminal) {
        std::signal(SIGINT, restoreTerminalAndStop);
        std::signal(SIGTERM, restoreTerminalAndStop);
        termios silent = savedTerminal;
        silent.c_lflag &= ~tcflag_t(ECHO);
        silent.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string typed;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin))
        typed.push_back(char(c));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
    return firstLine(QByteArray::fromStdString(typed));
}

} // namespace

bool obtainPassword(const QString &passwordFile, QString *password, QString *error)
{
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read the password file %1: %2").arg(passwordFile, file.errorString());
            return false;
        }
        *password = firstLine(file.read(kLongestLine));
        if (password->isEmpty())
            *error = QStringLiteral("the password file %1 starts with an empty line").arg(passwordFile);
    } else if (qEnvironmentVariableIsSet(kPasswordVariable)) {
        *password = qEnvironmentVariable(kPasswordVariable);
        if (password->isEmpty())
            *error = QStringLiteral("%1 is empty").arg(QLatin1String(kPasswordVariable));
    } else if (isatty(STDIN_FILENO)) {
        *password = promptWithoutEcho();
        if (password->isEmpty())
            *error = QStringLiteral("no password typed");
    } else {
        *error = QStringLiteral("no password: name a file with --password-file, set %1, or run on a terminal")
                     .arg(QLatin1String(kPasswordVariable));
        return false;
    }
    return !password->isEmpty();
}
