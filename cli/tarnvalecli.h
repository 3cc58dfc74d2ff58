#pragma once

// tarnvale-cli: the device operations of the window for scripts and batches.

#include "cli/arguments.h"
#include "cli/exitstatus.h"
#include "cli/output.h"
#include "commissioning/batchrun.h"
#include "devicelink/linkcore.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

class TarnvaleCli
{
public:
    explicit TarnvaleCli(FILE *out = stdout, FILE *err = stderr);

    // arguments as main() has them, the program's name first; returns the exit status.
    // Closes out at the end when it is standard output, and checks that all was written.
    int run(const QStringList &arguments);

    // Writes warnings to stderr, and debug lines only after --verbose; every line printable().
    static void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

private:
    int execute(const QStringList &arguments);
    int list();
    int changeOne(Road road, const QString &sn, const QString &newIp);
    int apply(const QString &planPath);
    int undo(const QString &reportPath);
    int plan();
    // Searches, checks the plan, runs it (road: every row's road, for set-ip and activate) and
    // tells the outcome: a table for apply and undo, one line for set-ip and activate.
    int change(const QVector<PlanRow> &plan, std::optional<Road> road, const QString &password);

    // The named card, or the default one; false with the reason and status 3.
    bool chooseInterface(QString *error);
    // The link as the command line uses it: replies taken at once, the port bound alone.
    static void configure(LinkCore &link);
    // One search on the chosen card: 0, or the status of its failure (told on standard error).
    // Replies that the system dropped are warned about, and noted in repliesDropped.
    int search(LinkCore &link, LinkCore::Result *result);
    // The password for the roads, wherever it comes from, within the dialog's length rule.
    int readPassword(QString *password, bool standardInputTaken = false);
    int fail(ExitStatus status, const QString &line);
    int fail(const Outcome &outcome) { return fail(outcome.status, outcome.text); }
    // The first failed write is reported once, when the run ends.
    int finish(int status);

    FILE *out;
    OutputStream outStream;
    OutputStream errStream;
    Invocation invocation;
    QString interfaceName;
    bool repliesDropped = false; // with --strict: ends the command with 13
};
