#include "cli/changecommand.h"

#include "cli/applyrows.h"
#include "cli/console.h"
#include "cli/deviceoutput.h"
#include "cli/interrupt.h"
#include "cli/password.h"
#include "commissioning/hostprobe.h"
#include "commissioning/report.h"

#include <QCommandLineParser>

namespace {

struct ChangeOptions
{
    QCommandLineOption passwordFile{QStringLiteral("password-file"),
                                    QStringLiteral("The password is the first line of FILE (- for standard input, asked "
                                                   "for without echo when that is a terminal). A warning when group "
                                                   "or others can read FILE."),
                                    QStringLiteral("FILE")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Write the run's report to FILE (.csv or .json) as the run goes: a row is "
                                             "on disk before the next device is touched. The same command with the "
                                             "same FILE goes on in it; the report of another plan is never written "
                                             "over. Never a password. undo takes it back."),
                              QStringLiteral("FILE")};
    QCommandLineOption verifyTimeout{QStringLiteral("verify-timeout"),
                                     QStringLiteral("Look for the changed devices at their new addresses, one search "
                                                    "per round, for SECONDS after the last change (default %1), and "
                                                    "one round more begun after that.")
                                         .arg(kDefaultVerifySeconds),
                                     QStringLiteral("SECONDS")};
    QCommandLineOption noVerify{QStringLiteral("no-verify"),
                                QStringLiteral("Do not look for the changed devices afterwards: a device counts as "
                                               "changed once it answered \"ok\" (but one whose address another row "
                                               "takes is looked for first).")};
};

const ChangeOptions &changeOptions()
{
    static const ChangeOptions options;
    return options;
}

} // namespace

ChangeCommand::ChangeCommand(const QString &name, const QStringList &arguments, const QString &description,
                             const QList<QCommandLineOption> &moreOptions)
    : Command(name, arguments, description,
              moreOptions
                  + QList<QCommandLineOption>{changeOptions().passwordFile, changeOptions().report,
                                              changeOptions().verifyTimeout, changeOptions().noVerify})
{
}

const QCommandLineOption &ChangeCommand::dryRunOption()
{
    static const QCommandLineOption dryRun{QStringLiteral("dry-run"),
                                           QStringLiteral("Search, probe and show what would be done, with the same "
                                                          "verdicts; send nothing else.")};
    return dryRun;
}

Outcome ChangeCommand::parse(const QCommandLineParser &parser, const QStringList &)
{
    const ChangeOptions &o = changeOptions();
    chosen.passwordFile = parser.value(o.passwordFile);
    chosen.dryRun = parser.isSet(dryRunOption());
    chosen.wide = parser.isSet(wideOption());
    chosen.reportPath = parser.value(o.report);
    if (parser.isSet(o.report) && !reportFormatFor(chosen.reportPath))
        return {ExitUsage, QStringLiteral("--report needs a file name ending in .csv or .json, not \"%1\"")
                               .arg(chosen.reportPath)};
    if (parser.isSet(o.noVerify) && parser.isSet(o.verifyTimeout))
        return {ExitUsage, QStringLiteral("--no-verify and --verify-timeout exclude each other")};
    if (parser.isSet(o.noVerify))
        chosen.verifyTimeoutMs = 0;
    if (parser.isSet(o.verifyTimeout)) {
        bool number = false;
        const int seconds = parser.value(o.verifyTimeout).toInt(&number);
        if (!number || seconds < 1 || seconds > kLongestVerifySeconds)
            return {ExitUsage, QStringLiteral("--verify-timeout takes whole seconds from 1 to %1, not \"%2\"")
                                   .arg(kLongestVerifySeconds)
                                   .arg(parser.value(o.verifyTimeout))};
        chosen.verifyTimeoutMs = seconds * 1000;
    }
    return {};
}

int ChangeCommand::readPassword(Console &console, QString *password, bool standardInputTaken) const
{
    return console.readPassword({chosen.passwordFile, console.strict, standardInputTaken}, password);
}

int ChangeCommand::run(Console &console, const QVector<PlanRow> &plan, std::optional<Road> road,
                       const QString &password) const
{
    if (const int status = console.chooseCard())
        return status;
    // Before anything is sent: a run without its record would be one that cannot be undone.
    std::optional<ReportWriter> report;
    if (!chosen.reportPath.isEmpty()) {
        report.emplace(chosen.reportPath);
        if (!report->goOn(plan))
            return console.fail(ExitOutput, QStringLiteral("report: ") + report->error());
    }
    const InterruptGuard interrupts;
    LinkCore link;
    Console::configure(link);
    LinkCore::Result result;
    if (const int status = console.search(link, &result))
        return status;
    if (console.repliesDropped && console.strict)
        return console.fail(ExitDroppedReplies, QStringLiteral("the search is incomplete: nothing was changed (--strict)"));

    const QVector<FoundDevice> devices = foundDevices(result.json.get());
    const PlanCheck check = checkPlanOnCard(plan, devices, console.card);
    BatchRun::Options options;
    options.card = console.card;
    options.dryRun = chosen.dryRun;
    options.road = road;
    options.verifyTimeoutMs = chosen.verifyTimeoutMs;
    options.report = report ? &*report : nullptr;
    BatchRun run(link, devices, plan, check, password, options);
    int changed = 0;
    int resumes = 0;
    bool interrupted = false;
    for (;;) {
        // A closed pipe or terminal stops the run as a signal does: nobody sees what follows.
        if (InterruptGuard::requested() || !console.out.ok() || !console.err.ok()) {
            interrupted = InterruptGuard::requested();
            run.cancel();
            break;
        }
        const BatchRun::Step step = run.step();
        if (InterruptGuard::resumes() != resumes) {
            resumes = InterruptGuard::resumes();
            run.resumed();
        }
        if (step.kind == BatchRun::Step::Finished)
            break;
        if (step.kind == BatchRun::Step::VerificationRound)
            console.err.write(printable(roundLine(step.round)) + QLatin1Char('\n'));
        else if (!chosen.dryRun)
            console.err.write(printable(progressLine(++changed, check.order.size(), run.rows().at(step.row), console.card))
                              + QLatin1Char('\n'));
    }

    int status = ExitOk;
    if (road) {
        const RunRow &row = run.rows().constFirst();
        status = rowStatus(row);
        // Not a signal but a closed pipe or terminal kept the device from being changed.
        if (status == ExitInterrupted && !interrupted)
            status = ExitOutput;
        if (status == ExitOk)
            console.out.write(printable(rowLine(row, console.card)) + QLatin1Char('\n'));
        else if (status != ExitInterrupted)
            console.fail(ExitStatus(status), rowLine(row, console.card));
    } else {
        QVector<QStringList> table = {runHeader()};
        RunCounts counts;
        for (const RunRow &row : run.rows()) {
            table << runRow(row, console.card);
            counts.add(row);
        }
        console.out.write(textTable(table, chosen.wide ? 0 : kTableCellWidth) + summaryLine(counts, chosen.dryRun)
                          + QLatin1Char('\n'));
        status = runStatus(counts);
    }
    if (!run.error().isEmpty())
        return console.fail(ExitOutput, QStringLiteral("report: ") + run.error() + QStringLiteral("; the run stopped there"));
    if (interrupted)
        return console.fail(ExitInterrupted,
                            QStringLiteral("interrupted: the rows not run are marked so; run the same command again "
                                           "to go on (devices at their new address are skipped%1)")
                                .arg(report ? QStringLiteral(", and the report goes on") : QString()));
    return status;
}
