#pragma once

// tarnvale-cli's arguments: the commands, their options and the help built from them.

#include "cli/exitstatus.h"
#include "commissioning/addressplan.h"

#include <QString>
#include <QStringList>

// How long changed devices are looked for at their new address unless told otherwise: long
// enough for a real device's restart.
inline constexpr int kDefaultVerifySeconds = 90;
inline constexpr int kLongestVerifySeconds = 3600;

enum class Command { List, SetIp, Activate, Apply, Undo, Plan, Doctor };
enum class ListFormat { Table, Csv, Json };

// What the arguments ask for.
struct Invocation
{
    Command command = Command::List;
    QStringList arguments;    // those after the command's name
    QString interfaceName;    // empty: defaultCardName()
    ListFormat format = ListFormat::Table;
    bool wide = false;        // table cells whole
    bool dryRun = false;
    bool verbose = false;
    bool strict = false;      // what is otherwise a warning is an error
    QString passwordFile;     // "-": standard input; empty: none named
    QString reportPath;       // empty: no report
    int verifyTimeoutMs = kDefaultVerifySeconds * 1000; // 0: --no-verify
    PlanRequest planRequest;  // plan
    bool help = false;
    bool version = false;
};

// Reads the arguments (the program's name first). ExitUsage with the reason when they make
// no sense; looks at no file and no network.
Outcome parseArguments(const QStringList &arguments, Invocation *invocation);

// The help: the commands, the options with their descriptions, the exit statuses.
QString helpText();
