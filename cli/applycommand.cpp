#include "cli/applycommand.h"

#include "cli/console.h"
#include "cli/inputfile.h"
#include "cli/password.h"
#include "commissioning/planfile.h"

ApplyCommand::ApplyCommand()
    : ChangeCommand(QStringLiteral("apply"), {QStringLiteral("PLAN")},
                    QStringLiteral("One search, then each row \"sn,new_ip[,password]\" of the plan (- for standard "
                                   "input) is checked: refused when its serial number answers from two addresses, when "
                                   "its address is held by a device that stays or by a host (conflict), or when rows "
                                   "take each other's addresses (cycle); a device already at its new address is "
                                   "skipped. The others run in an order that frees each address before it is taken: "
                                   "log in (active devices) or activate (the others), then the new address, a line "
                                   "per device on standard error; then verification rounds until every changed device "
                                   "answers at its new address or the deadline passes. A table of outcomes at the "
                                   "end. An interrupted run (SIGINT, SIGTERM, SIGHUP) finishes the device in hand and "
                                   "exits with 11; run it again to go on."),
                    {dryRunOption(), wideOption()})
{
}

Outcome ApplyCommand::parse(const QCommandLineParser &parser, const QStringList &arguments)
{
    planPath = arguments.value(0);
    const Outcome read = ChangeCommand::parse(parser, arguments);
    if (read.status == ExitOk && planPath == QLatin1String(kStandardInput)
        && settings().passwordFile == QLatin1String(kStandardInput))
        return {ExitUsage, QStringLiteral("the plan and the password file cannot both be standard input")};
    return read;
}

int ApplyCommand::execute(Console &console)
{
    keepSecretsOutOfCoreFiles(); // the plan may hold passwords
    QByteArray text;
    QString error;
    if (!readInput(planPath, kMaxPlanBytes + 1, &text, &error))
        return console.fail(ExitPlanFile, QStringLiteral("plan: ") + error);
    QVector<PlanRow> plan;
    int line = 0;
    if (!parsePlan(text, &plan, &line, &error))
        return console.fail(ExitPlanFile, line ? QStringLiteral("%1:%2: %3").arg(inputName(planPath)).arg(line).arg(error)
                                               : QStringLiteral("%1: %2").arg(inputName(planPath), error));

    QString password;
    const bool passwordNeeded =
        std::any_of(plan.cbegin(), plan.cend(), [](const PlanRow &row) { return row.password.isEmpty(); });
    if (!settings().dryRun && passwordNeeded) {
        if (const int status = readPassword(console, &password, planPath == QLatin1String(kStandardInput)))
            return status;
    }
    return run(console, plan, std::nullopt, password);
}
