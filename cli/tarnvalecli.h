#pragma once

// tarnvale-cli: the device operations of the window for scripts and batches. This is the
// dispatcher: the options of every command, the help, and the command named, which does the
// rest (command.h).

#include "cli/command.h"
#include "cli/console.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <vector>

class TarnvaleCli
{
public:
    explicit TarnvaleCli(FILE *out = stdout, FILE *err = stderr);
    ~TarnvaleCli();

    // arguments as main() has them, the program's name first; returns the exit status.
    // Closes out at the end when it is standard output, and checks that all was written.
    int run(const QStringList &arguments);

    // Reads the arguments: ExitUsage with the reason when they make no sense; looks at no
    // file and no network. command(): the one named, once read.
    Outcome parse(const QStringList &arguments);
    Command *command() const { return chosen; }
    bool verbose() const { return beVerbose; }

    // The help: the commands, the options with their descriptions, the exit statuses.
    QString helpText() const;

    // Writes warnings to stderr, and debug lines only after --verbose; every line printable().
    static void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

private:
    int execute(const QStringList &arguments);
    // Every option once: those of every command, then each command's, in the help's order.
    QList<QCommandLineOption> allOptions() const;

    FILE *out;
    Console console;
    std::vector<std::unique_ptr<Command>> commands;
    Command *chosen = nullptr;
    bool beVerbose = false;
    bool help = false;
    bool version = false;
};
