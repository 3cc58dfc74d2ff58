#pragma once

// How the command line tells an address-change run (apply, undo, set-ip, activate): the
// table of rows, the progress lines, the summary and the exit status. What each row ends as,
// and the words for it, are the core's (batchrun.h); these only arrange them.

#include "cli/exitstatus.h"
#include "commissioning/batchrun.h"

#include <QString>
#include <QStringList>

// The table of a run: the header, then a row per plan row with its detail in the core's words.
QStringList runHeader();
QStringList runRow(const RunRow &row, const QString &card);

// The line on standard error as each device is done: "[2/6] SN00000001 192.168.1.2 -> 10.0.1.1: done: ...".
QString progressLine(int index, int total, const RunRow &row, const QString &card);
// The line on standard error after each verification round.
QString roundLine(const BatchRun::Round &round);
// set-ip and activate: "SN00000002: IP changed successfully,device rebooting..... (verified)".
QString rowLine(const RunRow &row, const QString &card);

struct RunCounts
{
    int changed = 0;    // done, or planned in a dry run
    int unverified = 0; // a "netcfg" went out, but the device was not seen at its new address
    int skipped = 0;    // already at their new address
    int failed = 0;
    int conflicts = 0;
    int notRun = 0;     // the run stopped before them
    void add(const RunRow &row);
};

// The last line of the table: "2 changed, 1 already at their address, 3 failed, ...".
QString summaryLine(const RunCounts &counts, bool dryRun);
// apply and undo: 10 when a changed device was not verified, else 1 when a row did not end
// done or skipped, else 0.
ExitStatus runStatus(const RunCounts &counts);
// set-ip and activate: the status of their one row.
ExitStatus rowStatus(const RunRow &row);
