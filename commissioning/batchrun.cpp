#include "commissioning/batchrun.h"

#include "commissioning/operatortexts.h"
#include "diagnosis/linkfailure.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHash>
#include <QSet>
#include <QThread>

QString rowDetail(const RunRow &row, const QString &card, bool translate)
{
    QString text;
    switch (row.result) {
    case RunResult::Pending:
    case RunResult::Skipped:
    case RunResult::Conflict:
        text = verdictText(row.verdict, {row.line, row.sn, row.newIp, QString()}, translate);
        break;
    case RunResult::Started:
        text = operatorString(runText(RunText::ChangeUnderWay), translate);
        break;
    case RunResult::Planned:
        text = operatorString(runText(row.road == Road::Activate ? RunText::WouldActivate : RunText::WouldLogIn),
                              translate);
        break;
    case RunResult::NotRun:
        text = operatorString(runText(RunText::NotRun), translate);
        break;
    case RunResult::Done:
        text = row.replyLostButVerified ? operatorString(runText(RunText::ReplyLostButVerified), translate)
                                        : operatorString(outcomeText(ChangeOutcome::Changed).text, translate);
        break;
    case RunResult::Failed:
        if (row.verdict.check != RowCheck::Ready) {
            text = verdictText(row.verdict, {row.line, row.sn, row.newIp, QString()}, translate);
        } else if (row.password != PasswordLength::Ok) {
            const char *rule = passwordLengthText(row.password);
            text = translate ? QCoreApplication::translate("ORV_Passwd_Window", rule) : QString::fromUtf8(rule);
        } else {
            text = operatorString(outcomeText(row.change.outcome).text, translate);
            if (row.change.outcome == ChangeOutcome::NoReply && !row.change.link.ok())
                text += QStringLiteral(" (%1)").arg(linkFailureText(row.change.link));
            if (row.change.activated)
                text = operatorString(runText(RunText::ActivatedNotAddressed), translate).arg(text);
        }
        break;
    }
    if (row.verification == Verification::SeenElsewhere)
        text += QLatin1Char(' ') + operatorString(runText(RunText::AnswersElsewhere), translate).arg(row.heardAt);
    const bool goingThere = row.result == RunResult::Pending || row.result == RunResult::Started
                            || row.result == RunResult::Planned || row.result == RunResult::Done;
    if (goingThere && row.verdict.outsideCard)
        text += QLatin1Char(' ') + outsideCardText(row.newIp, card, translate);
    return text;
}

ReportRow reportRow(const RunRow &row, const QString &card)
{
    ReportRow report;
    report.line = row.line;
    report.sn = row.sn;
    report.mac = row.mac;
    report.model = row.model;
    report.oldIp = row.oldIp;
    report.newIp = row.newIp;
    report.road = row.road ? roadName(*row.road) : QString();
    report.result = QString::fromUtf8(runResultText(row.result));
    report.detail = rowDetail(row, card, false);
    report.verification = QString::fromUtf8(verificationText(row.verification));
    report.time = row.time;
    return report;
}

BatchRun::BatchRun(LinkCore &link, const QVector<FoundDevice> &devices, const QVector<PlanRow> &plan,
                                   const PlanCheck &check, const QString &password, const Options &options)
    : link(link), devices(devices), order(check.order), options(options)
{
    const QString now = reportTime();
    for (int d = 0; d < devices.size(); ++d)
        devicesAt[devices.at(d).ip] << d;
    for (int r = 0; r < plan.size(); ++r) {
        RunRow row;
        row.line = plan.at(r).line;
        row.sn = plan.at(r).sn;
        row.newIp = plan.at(r).newIp;
        row.verdict = check.verdicts.value(r);
        if (row.verdict.device >= 0) {
            const FoundDevice &device = devices.at(row.verdict.device);
            row.oldIp = device.ip;
            row.mac = device.mac;
            row.model = device.model;
            row.road = options.road ? *options.road : roadFor(device.active);
            rowOfDevice.insert(row.verdict.device, r);
        }
        switch (row.verdict.check) {
        case RowCheck::Ready:
            break;
        case RowCheck::AlreadyThere:
            row.result = RunResult::Skipped;
            break;
        default:
            row.result = isConflict(row.verdict.check) ? RunResult::Conflict : RunResult::Failed;
            break;
        }
        if (row.result != RunResult::Pending) {
            row.road.reset();
            row.time = now;
        }
        passwords << (plan.at(r).password.isEmpty() ? password : plan.at(r).password);
        runRows << row;
    }
}

BatchRun::Step BatchRun::step()
{
    if (over)
        return {};
    if (!begun) {
        begun = true;
        if (!record())
            return {};
    }

    bool waiting = false;
    for (const int r : qAsConst(order)) {
        RunRow &row = runRows[r];
        if (row.result != RunResult::Pending)
            continue;
        int holder = -1;
        switch (turnOf(r, &holder)) {
        case Turn::Now:
            change(r);
            if (!record())
                return {};
            return {Step::Changed, r, {}};
        case Turn::Wait:
            waiting = true;
            break;
        case Turn::Blocked:
            row.result = RunResult::Conflict;
            row.verdict.check = RowCheck::InUse;
            row.verdict.holderSn = devices.at(holder).sn;
            row.verdict.holderMac = devices.at(holder).mac;
            row.road.reset();
            row.time = reportTime();
            if (!record())
                return {};
            break;
        }
    }

    const bool awaiting = std::any_of(runRows.cbegin(), runRows.cend(), [this](const RunRow &row) {
        return awaits(row) && row.verification != Verification::Verified;
    });
    if ((waiting || awaiting) && verifying() && !deadlinePassed()) {
        Step round{Step::VerificationRound, -1, verifyRound()};
        if (!record())
            return {};
        return round;
    }
    for (RunRow &row : runRows) {
        if (awaits(row) && row.verification == Verification::None && verifying())
            row.verification = Verification::NotSeen;
    }
    over = true;
    record();
    return {};
}

bool BatchRun::cancel()
{
    const QString now = reportTime();
    for (RunRow &row : runRows) {
        if (row.result == RunResult::Pending) {
            row.result = RunResult::NotRun;
            row.road.reset();
            row.time = now;
        }
    }
    over = true;
    return record();
}

BatchRun::Turn BatchRun::turnOf(int r, int *holder) const
{
    const RunRow &row = runRows.at(r);
    Turn turn = Turn::Now;
    for (const int d : devicesAt.value(row.newIp)) {
        if (d == row.verdict.device)
            continue;
        *holder = d;
        const int m = rowOfDevice.value(d, -1);
        const RunRow *mover = m >= 0 ? &runRows.at(m) : nullptr;
        if (!mover)
            return Turn::Blocked;
        const bool gone = mover->result == RunResult::Planned
                          || (mover->result == RunResult::Done
                              && (!verifying() || mover->verification == Verification::Verified));
        if (gone)
            continue;
        if (mover->result == RunResult::Pending || mover->result == RunResult::Started
            || (awaits(*mover) && verifying() && !deadlinePassed()))
            turn = Turn::Wait;
        else
            return Turn::Blocked;
    }
    return turn;
}

void BatchRun::change(int r)
{
    RunRow &row = runRows[r];
    if (options.dryRun) {
        row.result = RunResult::Planned;
        row.time = reportTime();
        return;
    }
    if (!link.socket() && !link.open(options.card)) {
        row.change.link = link.status();
        row.result = RunResult::Failed;
        row.time = reportTime();
        return;
    }
    const QString &password = passwords.at(r);
    row.password = checkPasswordLength(password.length());
    if (row.password != PasswordLength::Ok) {
        row.result = RunResult::Failed;
        row.road.reset();
        row.time = reportTime();
        return;
    }
    // What the device in hand is doing is on disk before it is touched.
    row.result = RunResult::Started;
    row.time = reportTime();
    if (!record()) {
        row.result = RunResult::Pending;
        return;
    }
    row.change = changeAddress(link, *row.road, row.sn, password, row.newIp);
    if (row.change.netcfgSent)
        sinceLastChange.start();
    row.result = row.change.outcome == ChangeOutcome::Changed ? RunResult::Done : RunResult::Failed;
    row.time = reportTime();
}

BatchRun::Round BatchRun::verifyRound()
{
    QHash<QString, QString> wanted; // serial number -> new address
    for (const RunRow &row : qAsConst(runRows)) {
        if (awaits(row) && row.verification != Verification::Verified)
            wanted.insert(row.sn, row.newIp);
    }
    Round round;
    round.number = ++rounds;
    round.awaited = wanted.size();

    // The array only grows during the gathering: each call looks at the devices added since the last.
    const cJSON *lastSeen = nullptr;
    QSet<QString> arrived;
    const LinkCore::GatherDone done = [&](const cJSON *array) {
        for (const cJSON *device = lastSeen ? lastSeen->next : array->child; device; device = device->next) {
            lastSeen = device;
            const QString sn = QString::fromUtf8(stringMember(device, memberName(DeviceMember::Sn), ""));
            if (wanted.contains(sn) && wanted.value(sn) == QString::fromUtf8(stringMember(device, memberName(DeviceMember::Ip), "")))
                arrived.insert(sn);
        }
        return !options.wholeSearches && arrived.size() == wanted.size();
    };
    QElapsedTimer clock;
    clock.start();
    LinkCore::Result search = link.search(options.card, done);
    round.search = search.status;
    // A search that failed at once (the port taken, the card gone) must not become a busy loop.
    if (arrived.size() < wanted.size() && clock.elapsed() < LinkCore::gatheringMs)
        QThread::msleep(static_cast<unsigned long>(LinkCore::gatheringMs - clock.elapsed()));

    QHash<QString, QStringList> heard;
    for (const FoundDevice &device : foundDevices(search.json.get()))
        heard[device.sn] << device.ip;
    const QString now = reportTime();
    for (RunRow &row : runRows) {
        if (!wanted.contains(row.sn) || !awaits(row))
            continue;
        const Verification found = verificationOf(heard.value(row.sn), row.oldIp, row.newIp);
        // The last sighting tells more than a round in which the device was silent (restarting).
        if (found != Verification::NotSeen || row.verification == Verification::None) {
            row.verification = found;
            row.heardAt = heard.value(row.sn).value(0);
            row.time = now;
        }
        if (found == Verification::Verified) {
            ++round.seen;
            row.heardAt = row.newIp;
            if (row.result == RunResult::Failed) {
                row.result = RunResult::Done;
                row.replyLostButVerified = true;
            }
        }
    }
    if (search.json)
        lastSearch = std::move(search.json);
    qDebug("verification round %d: %d of %d at their new address", round.number, round.seen, round.awaited);
    return round;
}

qint64 BatchRun::verificationMsLeft() const
{
    if (!verifying() || !sinceLastChange.isValid())
        return -1;
    return qMax<qint64>(0, options.verifyTimeoutMs - sinceLastChange.elapsed());
}

bool BatchRun::awaits(const RunRow &row) const
{
    return row.change.netcfgSent && row.change.outcome != ChangeOutcome::AddressNotAccepted;
}

bool BatchRun::verifying() const
{
    return !options.dryRun && options.verifyTimeoutMs > 0;
}

bool BatchRun::deadlinePassed() const
{
    return sinceLastChange.isValid() && sinceLastChange.elapsed() >= options.verifyTimeoutMs;
}

bool BatchRun::record()
{
    if (!options.report || !lastError.isEmpty())
        return lastError.isEmpty();
    QVector<ReportRow> rows;
    for (const RunRow &row : qAsConst(runRows))
        rows << reportRow(row, options.card);
    if (options.report->write(rows))
        return true;
    lastError = options.report->error();
    over = true;
    return false;
}
