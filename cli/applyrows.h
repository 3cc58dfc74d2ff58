#pragma once

// What apply decides for each row of a plan and how it reports the rows: plain functions of
// the plan row, the device the search heard and the outcome of its road.

#include "exitstatus.h"
#include "planfile.h"

#include <QString>
#include <QStringList>

#include <optional>

enum class RowResult { Planned, Done, Skipped, Failed };

// "planned", "done", "skipped", "failed", as the RESULT column writes them.
QString resultName(RowResult result);

struct RowStep
{
    RowResult result = RowResult::Failed; // Planned: its road is to be taken
    QString current = QStringLiteral("-"); // the device's address as the search heard it
    std::optional<Road> road;              // the road to take, or that was taken
    Outcome outcome;                       // why it is skipped or failed, or how it ended
};

// Decides a row before anything is sent to its device: device holds its eight members as
// deviceRows() gives them, or is null when the search did not hear it. A row with a road
// is Planned, and describes what the road would do.
RowStep decideRow(const PlanRow &row, const QStringList *device);

// The row after its road ended with outcome.
RowStep finishRow(RowStep step, const Outcome &outcome);

struct RowCounts
{
    int changed = 0; // done, or planned in a dry run
    int skipped = 0;
    int failed = 0;
    void add(RowResult result);
};

// The last line of the table: "2 changed, 1 already at their address, 3 failed".
QString summaryLine(const RowCounts &counts, bool dryRun);
ExitStatus applyStatus(const RowCounts &counts);

// The table of outcomes: a header, then a row per plan row.
QStringList reportHeader();
QStringList reportRow(const PlanRow &row, const RowStep &step);
// The line on standard error as each device is done: "[2/6] SN00000001 192.168.1.2 -> 10.0.1.1: done: ...".
QString progressLine(int index, int total, const PlanRow &row, const RowStep &step);
