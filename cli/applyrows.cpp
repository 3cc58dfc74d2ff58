#include "cli/applyrows.h"

#include "commissioning/operatortexts.h"
#include "diagnosis/linkfailure.h"

namespace {

bool notVerified(const RunRow &row)
{
    return row.verification != Verification::None && row.verification != Verification::Verified;
}

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

QStringList runHeader()
{
    return {QStringLiteral("LINE"), QStringLiteral("SN"),     QStringLiteral("ADDRESS"),      QStringLiteral("NEW ADDRESS"),
            QStringLiteral("ROAD"), QStringLiteral("RESULT"), QStringLiteral("VERIFICATION"), QStringLiteral("DETAIL")};
}

QStringList runRow(const RunRow &row, const QString &card)
{
    return {QString::number(row.line),
            row.sn,
            orDash(row.oldIp),
            row.newIp,
            row.road ? roadName(*row.road) : QStringLiteral("-"),
            QString::fromUtf8(runResultText(row.result)),
            orDash(QString::fromUtf8(verificationText(row.verification))),
            rowDetail(row, card, false)};
}

QString progressLine(int index, int total, const RunRow &row, const QString &card)
{
    return QStringLiteral("[%1/%2] %3 %4 -> %5: %6: %7")
        .arg(index)
        .arg(total)
        .arg(row.sn, orDash(row.oldIp), row.newIp, QString::fromUtf8(runResultText(row.result)),
             rowDetail(row, card, false));
}

QString roundLine(const BatchRun::Round &round)
{
    QString line = QStringLiteral("verification round %1: %2 of %3 at their new address")
                       .arg(round.number)
                       .arg(round.seen)
                       .arg(round.awaited);
    if (!round.search.ok() && round.search.error != LinkCore::Error::Timeout)
        line += QStringLiteral(" (%1)").arg(linkFailureText(round.search));
    return line;
}

QString rowLine(const RunRow &row, const QString &card)
{
    const QString verification = QString::fromUtf8(verificationText(row.verification));
    return QStringLiteral("%1: %2").arg(row.sn, rowDetail(row, card, false))
           + (verification.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(verification));
}

void RunCounts::add(const RunRow &row)
{
    unverified += notVerified(row);
    switch (row.result) {
    case RunResult::Done:
    case RunResult::Planned:
        ++changed;
        break;
    case RunResult::Skipped:
        ++skipped;
        break;
    case RunResult::Conflict:
        ++conflicts;
        break;
    case RunResult::Pending:
    case RunResult::Started:
    case RunResult::NotRun:
        ++notRun;
        break;
    case RunResult::Failed:
        ++failed;
        break;
    }
}

QString summaryLine(const RunCounts &counts, bool dryRun)
{
    if (!dryRun && counts.changed + counts.failed + counts.conflicts + counts.notRun == 0)
        return QStringLiteral("Nothing to do: every device of the plan is already at its new address.");
    QString line = QStringLiteral("%1 %2, %3 already at their address, %4 %5, %6 refused as conflicts")
                       .arg(counts.changed)
                       .arg(dryRun ? QStringLiteral("to change") : QStringLiteral("changed"))
                       .arg(counts.skipped)
                       .arg(counts.failed)
                       .arg(dryRun ? QStringLiteral("would fail") : QStringLiteral("failed"))
                       .arg(counts.conflicts);
    if (counts.unverified)
        line += QStringLiteral(", %1 not seen at their new address").arg(counts.unverified);
    if (counts.notRun)
        line += QStringLiteral(", %1 not run").arg(counts.notRun);
    return line;
}

ExitStatus runStatus(const RunCounts &counts)
{
    if (counts.unverified)
        return ExitNotVerified;
    return counts.failed + counts.conflicts + counts.notRun ? ExitNotAllDone : ExitOk;
}

ExitStatus rowStatus(const RunRow &row)
{
    if (notVerified(row))
        return ExitNotVerified;
    switch (row.result) {
    case RunResult::Done:
    case RunResult::Planned:
    case RunResult::Skipped:
        return ExitOk;
    case RunResult::Conflict:
        return ExitRefusedAddress;
    case RunResult::Pending:
    case RunResult::Started:
    case RunResult::NotRun:
        return ExitInterrupted;
    case RunResult::Failed:
        break;
    }
    switch (row.verdict.check) {
    case RowCheck::Ready:
        break;
    case RowCheck::NotFound:
        return ExitNoReply;
    case RowCheck::SerialTwice:
    case RowCheck::AddressTwice:
        return ExitPlanFile;
    default:
        return ExitRefusedAddress;
    }
    return row.password != PasswordLength::Ok ? ExitUsage : changeStatus(row.change);
}
