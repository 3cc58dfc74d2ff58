#include "commissioning/batchrun.h"

#include "commissioning/operatortexts.h"
#include "diagnosis/linkfailure.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QThread>

QString rowDetail(const RunRow &row, const QString &card, bool translate)
{
    if (!row.earlierDetail.isEmpty())
        return row.earlierDetail;
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
            if (row.change.activationUnanswered)
                text += QLatin1Char(' ') + operatorString(runText(RunText::ActivationUnanswered), translate);
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

namespace {

template<typename Enum>
std::optional<Enum> named(const QString &text, std::initializer_list<Enum> values, const char *(*name)(Enum))
{
    for (const Enum value : values) {
        if (text == QLatin1String(name(value)))
            return value;
    }
    return std::nullopt;
}

} // namespace

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
    if (options.report)
        goOnFrom(options.report->earlierRows());
    clock.start();
}

void BatchRun::goOnFrom(const QVector<ReportRow> &earlier)
{
    QHash<int, const ReportRow *> byLine;
    for (const ReportRow &before : earlier)
        byLine.insert(before.line, &before);
    for (RunRow &row : runRows) {
        const ReportRow *before = byLine.value(row.line);
        // A device that this run changes again gets a new record; one it leaves alone keeps the old.
        if (!before || before->sn != row.sn || row.verdict.check == RowCheck::Ready || !mayHaveMoved(*before))
            continue;
        const bool there = row.verdict.check == RowCheck::AlreadyThere;
        row.result = named(before->result, {RunResult::Done, RunResult::Started, RunResult::Failed}, runResultText)
                         .value_or(RunResult::Done);
        row.verification = named(before->verification,
                                 {Verification::Verified, Verification::KeptOldAddress, Verification::NotSeen,
                                  Verification::SeenElsewhere},
                                 verificationText)
                               .value_or(Verification::None);
        row.road = roadNamed(before->road);
        row.oldIp = before->oldIp;
        row.mac = row.mac.isEmpty() ? before->mac : row.mac;
        row.model = row.model.isEmpty() ? before->model : row.model;
        row.time = before->time;
        row.earlierDetail = before->detail;
        if (there && row.result != RunResult::Done) {
            row.replyLostButVerified = true;
            row.earlierDetail.clear();
        }
        if (there) {
            row.result = RunResult::Done;
            row.verification = Verification::Verified;
        }
    }
}

BatchRun::Step BatchRun::step()
{
    if (over)
        return {};
    if (!begun) {
        begun = true;
        for (int r = 0; r < runRows.size(); ++r)
            note(r);
    }

    QSet<int> movers; // rows whose devices the waiting rows wait for
    for (const int r : qAsConst(order)) {
        RunRow &row = runRows[r];
        if (row.result != RunResult::Pending)
            continue;
        int holder = -1;
        switch (turnOf(r, &holder, &movers)) {
        case Turn::Now:
            if (!change(r))
                return {};
            return {Step::Changed, r, {}};
        case Turn::Wait:
            break;
        case Turn::Blocked:
            row.result = RunResult::Conflict;
            row.verdict.check = RowCheck::InUse;
            row.verdict.holderSn = devices.at(holder).sn;
            row.verdict.holderMac = devices.at(holder).mac;
            row.road.reset();
            row.time = reportTime();
            note(r);
            break;
        }
    }

    QVector<int> wanted;
    for (int r = 0; r < runRows.size(); ++r) {
        const RunRow &row = runRows.at(r);
        if (awaits(row) && row.verification != Verification::Verified && (verifying() || movers.contains(r)))
            wanted << r;
    }
    if (!wanted.isEmpty() && !options.dryRun && !lookingOver()) {
        if (!syncReport())
            return {};
        return {Step::VerificationRound, -1, verifyRound(wanted)};
    }
    for (int r = 0; r < runRows.size(); ++r) {
        RunRow &row = runRows[r];
        if (awaits(row) && row.verification == Verification::None && verifying()) {
            row.verification = Verification::NotSeen;
            note(r);
        }
    }
    over = true;
    finishReport();
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
    finishReport();
    return lastError.isEmpty();
}

void BatchRun::resumed()
{
    resumedMs = clock.elapsed();
}

BatchRun::Turn BatchRun::turnOf(int r, int *holder, QSet<int> *movers) const
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
        // "ok" is not enough: a device that answered it may keep its address all the same.
        const bool gone = mover->result == RunResult::Planned
                          || (mover->result == RunResult::Done && mover->verification == Verification::Verified);
        if (gone)
            continue;
        if (mover->result == RunResult::Pending || mover->result == RunResult::Started
            || (awaits(*mover) && !options.dryRun && !lookingOver())) {
            turn = Turn::Wait;
            *movers << m;
        } else {
            return Turn::Blocked;
        }
    }
    return turn;
}

bool BatchRun::change(int r)
{
    RunRow &row = runRows[r];
    if (options.dryRun) {
        row.result = RunResult::Planned;
        row.time = reportTime();
        note(r);
        return true;
    }
    if (!link.socket() && !link.open(options.card)) {
        row.change.link = link.status();
        row.result = RunResult::Failed;
        row.time = reportTime();
        note(r);
        return true;
    }
    const QString &password = passwords.at(r);
    row.password = checkPasswordLength(password.length());
    if (row.password != PasswordLength::Ok) {
        row.result = RunResult::Failed;
        row.road.reset();
        row.time = reportTime();
        note(r);
        return true;
    }
    // What the device in hand is doing is on disk before it is touched.
    row.result = RunResult::Started;
    row.time = reportTime();
    note(r);
    if (!syncReport()) {
        row.result = RunResult::Pending;
        return false;
    }
    row.change = changeAddress(link, *row.road, row.sn, password, row.newIp);
    if (row.change.netcfgSent)
        lastChangeMs = clock.elapsed();
    row.result = row.change.outcome == ChangeOutcome::Changed ? RunResult::Done : RunResult::Failed;
    row.time = reportTime();
    note(r);
    return true;
}

BatchRun::Round BatchRun::verifyRound(const QVector<int> &rows)
{
    QHash<QString, QString> wanted; // serial number -> new address
    for (const int r : rows)
        wanted.insert(runRows.at(r).sn, runRows.at(r).newIp);
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
    const qint64 start = clock.elapsed();
    LinkCore::Result search = link.search(options.card, done);
    round.search = search.status;
    // A search that failed at once (the port taken, the card gone) must not become a busy loop.
    if (arrived.size() < wanted.size() && clock.elapsed() - start < LinkCore::gatheringMs)
        QThread::msleep(static_cast<unsigned long>(LinkCore::gatheringMs - (clock.elapsed() - start)));
    lastRoundStartMs = start;

    QHash<QString, QStringList> heard;
    for (const FoundDevice &device : foundDevices(search.json.get()))
        heard[device.sn] << device.ip;
    const QString now = reportTime();
    for (const int r : rows) {
        RunRow &row = runRows[r];
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
        note(r);
    }
    if (search.json)
        lastSearch = std::move(search.json);
    return round;
}

qint64 BatchRun::verificationMsLeft() const
{
    if (!verifying() || lastChangeMs < 0)
        return -1;
    return qMax<qint64>(0, lastChangeMs + options.verifyTimeoutMs - clock.elapsed());
}

bool BatchRun::awaits(const RunRow &row) const
{
    return row.change.netcfgSent && row.change.outcome != ChangeOutcome::AddressNotAccepted;
}

bool BatchRun::verifying() const
{
    return !options.dryRun && options.verifyTimeoutMs > 0;
}

bool BatchRun::lookingOver() const
{
    if (lastChangeMs < 0)
        return false;
    const qint64 deadline = lastChangeMs + (verifying() ? options.verifyTimeoutMs : options.moverWaitMs);
    return clock.elapsed() >= deadline && lastRoundStartMs >= qMax(deadline, resumedMs);
}

void BatchRun::note(int r)
{
    if (options.report && lastError.isEmpty())
        options.report->append(reportRow(runRows.at(r), options.card));
}

bool BatchRun::syncReport()
{
    if (!options.report || !lastError.isEmpty())
        return lastError.isEmpty();
    if (options.report->sync())
        return true;
    lastError = options.report->error();
    over = true;
    return false;
}

void BatchRun::finishReport()
{
    if (!options.report || !lastError.isEmpty())
        return;
    QVector<ReportRow> rows;
    for (const RunRow &row : qAsConst(runRows))
        rows << reportRow(row, options.card);
    if (!options.report->write(rows))
        lastError = options.report->error();
}
