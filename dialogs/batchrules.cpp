#include "dialogs/batchrules.h"

#include "commissioning/operatortexts.h"
#include "commissioning/passwordrules.h"

#include <QCoreApplication>
#include <QFileInfo>

BatchCheck checkBatch(const QVector<FoundDevice> &devices, const QVector<BatchEntry> &entries,
                      const QVector<Ipv4Subnet> &cardSubnets, const QSet<QString> &hostsAnswering,
                      const QString &card)
{
    BatchCheck batch;
    batch.cells.resize(entries.size());
    for (int e = 0; e < entries.size(); ++e) {
        const BatchEntry &entry = entries.at(e);
        if (!entry.checked)
            continue;
        ++batch.checked;
        const QString newIp = entry.newIp.trimmed();
        if (newIp.isEmpty()) {
            batch.cells[e].text =
                QCoreApplication::translate("BatchDialog", "No new address: left as it is.");
            continue;
        }
        batch.plan.append({e + 1, devices.value(e).sn, newIp, entry.password});
        batch.entryOfRow << e;
    }
    batch.check = checkPlan(batch.plan, devices, cardSubnets, hostsAnswering);
    for (int r = 0; r < batch.plan.size(); ++r) {
        const RowVerdict &verdict = batch.check.verdicts.at(r);
        BatchCell &cell = batch.cells[batch.entryOfRow.at(r)];
        cell.text = verdictText(verdict, batch.plan.at(r), true);
        cell.problem = verdict.check != RowCheck::Ready && verdict.check != RowCheck::AlreadyThere;
        if (!cell.problem && verdict.outsideCard)
            cell.text += QLatin1Char(' ') + outsideCardText(batch.plan.at(r).newIp, card, true);
    }
    return batch;
}

ApplyBlock applyBlock(const BatchCheck &batch, const QString &password, const QString &confirmation)
{
    if (batch.checked == 0)
        return ApplyBlock::NothingChecked;
    if (std::any_of(batch.cells.cbegin(), batch.cells.cend(), [](const BatchCell &cell) { return cell.problem; }))
        return ApplyBlock::RowProblems;
    if (batch.check.order.isEmpty())
        return ApplyBlock::NothingToChange;
    const bool needed = std::any_of(batch.check.order.cbegin(), batch.check.order.cend(),
                                    [&batch](int r) { return batch.plan.at(r).password.isEmpty(); });
    if (!needed)
        return ApplyBlock::None;
    if (password.isEmpty())
        return ApplyBlock::PasswordMissing;
    switch (checkPasswordLength(password.length())) {
    case PasswordLength::TooShort:
        return ApplyBlock::PasswordTooShort;
    case PasswordLength::TooLong:
        return ApplyBlock::PasswordTooLong;
    case PasswordLength::Ok:
        break;
    }
    return confirmation == password ? ApplyBlock::None : ApplyBlock::PasswordUnconfirmed;
}

QString applyHint(ApplyBlock block, const BatchCheck &batch)
{
    switch (block) {
    case ApplyBlock::None:
        return QCoreApplication::translate("BatchDialog", "Devices that Apply changes: %1.")
            .arg(batch.check.order.size());
    case ApplyBlock::NothingChecked:
        return QCoreApplication::translate("BatchDialog", "Check the devices to change.");
    case ApplyBlock::RowProblems:
        return QCoreApplication::translate("BatchDialog",
                                           "A checked row has a problem: see the Check column.");
    case ApplyBlock::NothingToChange:
        return QCoreApplication::translate("BatchDialog",
                                           "Nothing to change: give the checked devices a new address.");
    case ApplyBlock::PasswordMissing:
        return QCoreApplication::translate("BatchDialog",
                                           "Enter the password: it logs in to the devices and becomes the first "
                                           "password of those not yet activated.");
    case ApplyBlock::PasswordTooShort:
        return QCoreApplication::translate("ORV_Passwd_Window", passwordLengthText(PasswordLength::TooShort));
    case ApplyBlock::PasswordTooLong:
        return QCoreApplication::translate("ORV_Passwd_Window", passwordLengthText(PasswordLength::TooLong));
    case ApplyBlock::PasswordUnconfirmed:
        return QCoreApplication::translate("BatchDialog", "The confirmation differs from the password.");
    }
    return QString();
}

bool addressLess(const QString &a, const QString &b)
{
    return addressTextLess(a, b);
}

QString roadText(Road road)
{
    return road == Road::Login ? QCoreApplication::translate("BatchDialog", "login+netcfg")
                               : QCoreApplication::translate("BatchDialog", "activate+netcfg");
}

BatchCell resultCell(const RunRow &row, const QString &card)
{
    BatchCell cell;
    cell.text = operatorString(runResultText(row.result), true);
    if (row.verification != Verification::None)
        cell.text += QLatin1String(", ") + operatorString(verificationText(row.verification), true);
    const bool plain = (row.result == RunResult::Done && !row.replyLostButVerified
                        && row.verification != Verification::SeenElsewhere)
                       || row.result == RunResult::Pending;
    if (!plain)
        cell.text += QLatin1String(": ") + rowDetail(row, card, true);
    switch (row.result) {
    case RunResult::Pending:
    case RunResult::Planned:
    case RunResult::Skipped:
        break;
    case RunResult::Done:
        cell.problem = row.verification != Verification::None && row.verification != Verification::Verified;
        break;
    default:
        cell.problem = true;
        break;
    }
    return cell;
}

QString newReportPath(const QString &folder, const QDateTime &time)
{
    const QString stem = folder + QStringLiteral("/report-") + time.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".csv");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1.csv").arg(n);
    return path;
}
