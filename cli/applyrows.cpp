#include "applyrows.h"

#include "devicemembers.h"

QString resultName(RowResult result)
{
    switch (result) {
    case RowResult::Planned:
        return QStringLiteral("planned");
    case RowResult::Done:
        return QStringLiteral("done");
    case RowResult::Skipped:
        return QStringLiteral("skipped");
    case RowResult::Failed:
        break;
    }
    return QStringLiteral("failed");
}

RowStep decideRow(const PlanRow &row, const QStringList *device)
{
    RowStep step;
    if (!device) {
        step.outcome = {ExitNoReply, QStringLiteral("not found in the search")};
        return step;
    }
    step.current = device->at(memberIndex(DeviceMember::Ip));
    if (step.current == row.newIp) {
        step.result = RowResult::Skipped;
        step.outcome.text = QStringLiteral("already at its new address");
        return step;
    }
    step.outcome = checkAddress(row.newIp);
    if (step.outcome.status == ExitOk && !row.password.isEmpty())
        step.outcome = checkPassword(row.password);
    if (step.outcome.status != ExitOk)
        return step;
    step.road = roadFor(device->at(memberIndex(DeviceMember::Active)));
    step.result = RowResult::Planned;
    step.outcome.text = *step.road == Road::Login ? QStringLiteral("would log in, then change the address")
                                                  : QStringLiteral("would activate, then change the address");
    return step;
}

RowStep finishRow(RowStep step, const Outcome &outcome)
{
    step.outcome = outcome;
    step.result = outcome.status == ExitOk ? RowResult::Done : RowResult::Failed;
    return step;
}

void RowCounts::add(RowResult result)
{
    switch (result) {
    case RowResult::Planned:
    case RowResult::Done:
        ++changed;
        break;
    case RowResult::Skipped:
        ++skipped;
        break;
    case RowResult::Failed:
        ++failed;
        break;
    }
}

QString summaryLine(const RowCounts &counts, bool dryRun)
{
    if (!dryRun && counts.changed == 0 && counts.failed == 0)
        return QStringLiteral("Nothing to do: every device of the plan is already at its new address.");
    return QStringLiteral("%1 %2, %3 already at their address, %4 %5")
        .arg(counts.changed)
        .arg(dryRun ? QStringLiteral("to change") : QStringLiteral("changed"))
        .arg(counts.skipped)
        .arg(counts.failed)
        .arg(dryRun ? QStringLiteral("would fail") : QStringLiteral("failed"));
}

ExitStatus applyStatus(const RowCounts &counts)
{
    return counts.failed ? ExitNotAllDone : ExitOk;
}

QStringList reportHeader()
{
    return {QStringLiteral("LINE"), QStringLiteral("SN"),     QStringLiteral("ADDRESS"), QStringLiteral("NEW ADDRESS"),
            QStringLiteral("ROAD"), QStringLiteral("RESULT"), QStringLiteral("DETAIL")};
}

QStringList reportRow(const PlanRow &row, const RowStep &step)
{
    return {QString::number(row.line),
            row.sn,
            step.current,
            row.newIp,
            step.road ? roadName(*step.road) : QStringLiteral("-"),
            resultName(step.result),
            step.outcome.text};
}

QString progressLine(int index, int total, const PlanRow &row, const RowStep &step)
{
    return QStringLiteral("[%1/%2] %3 %4 -> %5: %6: %7")
        .arg(index)
        .arg(total)
        .arg(row.sn, step.current, row.newIp, resultName(step.result), step.outcome.text);
}
