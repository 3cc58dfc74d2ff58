#pragma once

// The decisions of the "Change addresses" dialog, without widgets: how the table's rows
// become a plan and its Check column, when Apply may start, how addresses sort, and what
// the Road and Result columns say. The rules themselves are the command line's
// (addressplan.h, passwordrules.h); these functions apply them to the dialog's table.
// Texts are translated in the "BatchDialog" context (the shared ones in theirs).

#include "commissioning/addressplan.h"
#include "commissioning/batchrun.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QVector>

// One row of the table as the operator left it; the device is the search's entry of the
// same index.
struct BatchEntry
{
    bool checked = false;
    QString newIp;    // as typed
    QString password; // from a loaded plan; empty: the dialog's password
};

struct BatchCell
{
    QString text;
    bool problem = false;
};

struct BatchCheck
{
    QVector<PlanRow> plan;   // the checked rows with a new address; line: the table row, from 1
    QVector<int> entryOfRow; // plan row -> table row
    PlanCheck check;         // checkPlan() over the plan
    QVector<BatchCell> cells; // the Check column, per table row
    int checked = 0;         // rows checked
};

// The plan of the checked rows and the verdict on each, as the command line's apply gives
// it; a checked row without a new address is left as it is, and says so.
BatchCheck checkBatch(const QVector<FoundDevice> &devices, const QVector<BatchEntry> &entries,
                      const QVector<Ipv4Subnet> &cardSubnets, const QSet<QString> &hostsAnswering,
                      const QString &card);

// Why Apply is disabled, the first reason that applies.
enum class ApplyBlock {
    None,
    NothingChecked,
    RowProblems,      // a checked row's Check cell names a problem
    NothingToChange,  // every checked row is left as it is or is at its address already
    PasswordMissing,  // a row to change has no password of its own (a loaded plan's third column)
    PasswordTooShort,
    PasswordTooLong,
    PasswordUnconfirmed,
};
ApplyBlock applyBlock(const BatchCheck &batch, const QString &password, const QString &confirmation);
// The line beside Apply: the block, or how many devices Apply changes.
QString applyHint(ApplyBlock block, const BatchCheck &batch);

// Addresses in numeric order; anything that is no address (an empty cell) after them, by text.
bool addressLess(const QString &a, const QString &b);

// "login+netcfg" or "activate+netcfg" as the operator reads it.
QString roadText(Road road);

// The Result column: the result and its verification, with the detail unless the change
// simply went through; a problem unless the device is verified, was skipped or is pending.
BatchCell resultCell(const RunRow &row, const QString &card);

// Where a run writes its report: report-<date>-<time>.csv in folder, with "-2", "-3", ...
// before the extension while a file of that name exists.
QString newReportPath(const QString &folder, const QDateTime &time);
