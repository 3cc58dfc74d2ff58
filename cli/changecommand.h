#pragma once

// What the commands that change addresses (set-ip, activate, apply, undo) share: the password,
// the report, the verification options, and the run itself (batchrun.h) with its interrupts.

#include "cli/command.h"
#include "commissioning/batchrun.h"

#include <optional>

// How long changed devices are looked for at their new address unless told otherwise: long
// enough for a real device's restart.
inline constexpr int kDefaultVerifySeconds = 90;
inline constexpr int kLongestVerifySeconds = 3600;

class ChangeCommand : public Command
{
public:
    struct Settings
    {
        QString passwordFile;  // "-": standard input; empty: none named
        QString reportPath;    // empty: no report
        int verifyTimeoutMs = kDefaultVerifySeconds * 1000; // 0: --no-verify
        bool dryRun = false;
        bool wide = false;
    };

    Outcome parse(const QCommandLineParser &parser, const QStringList &arguments) override;
    const Settings &settings() const { return chosen; }

    // apply and undo take these besides the options of every change.
    static const QCommandLineOption &dryRunOption();

protected:
    ChangeCommand(const QString &name, const QStringList &arguments, const QString &description,
                  const QList<QCommandLineOption> &moreOptions);

    // The password for the rows without their own, from --password-file and the rest.
    int readPassword(Console &console, QString *password, bool standardInputTaken = false) const;
    // Searches, checks the plan, runs it with every row's road (set-ip and activate) or each
    // device's own, and tells the outcome: a table for apply and undo, one line for set-ip
    // and activate.
    int run(Console &console, const QVector<PlanRow> &plan, std::optional<Road> road, const QString &password) const;

private:
    Settings chosen;
};
