#pragma once

// tarnvale-cli's arguments: the commands, their options and the help built from them.

#include "exitstatus.h"

#include <QString>
#include <QStringList>

enum class Command { List, SetIp, Activate, Apply };
enum class ListFormat { Table, Csv, Json };

// What the arguments ask for.
struct Invocation
{
    Command command = Command::List;
    QStringList arguments;    // those after the command's name
    QString interfaceName;    // empty: the first card that is up, not loopback, with IPv4
    ListFormat format = ListFormat::Table;
    bool wide = false;        // table cells whole
    bool dryRun = false;
    bool verbose = false;
    bool strict = false;      // what is otherwise a warning is an error
    QString passwordFile;     // "-": standard input; empty: none named
    bool help = false;
    bool version = false;
};

// Reads the arguments (the program's name first). ExitUsage with the reason when they make
// no sense; looks at no file and no network.
Outcome parseArguments(const QStringList &arguments, Invocation *invocation);

// The help: the commands, the options with their descriptions, the exit statuses.
QString helpText();
