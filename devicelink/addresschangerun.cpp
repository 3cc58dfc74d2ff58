#include "addresschangerun.h"

#include "operatortexts.h"

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
                text += QStringLiteral(" (%1)").arg(row.change.link.message());
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

JournalRow journalRow(const RunRow &row, const QString &card)
{
    JournalRow journal;
    journal.line = row.line;
    journal.sn = row.sn;
    journal.mac = row.mac;
    journal.model = row.model;
    journal.oldIp = row.oldIp;
    journal.newIp = row.newIp;
    journal.road = row.road ? roadName(*row.road) : QString();
    journal.result = QString::fromUtf8(runResultText(row.result));
    journal.detail = rowDetail(row, card, false);
    journal.verification = QString::fromUtf8(verificationText(row.verification));
    journal.time = row.time;
    return journal;
}

AddressChangeRun::AddressChangeRun(LinkCore &link, const QVector<FoundDevice> &devices, const QVector<PlanRow> &plan,
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

AddressChangeRun::Step AddressChangeRun::step()
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

bool AddressChangeRun::cancel()
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

AddressChangeRun::Turn AddressChangeRun::turnOf(int r, int *holder) const
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

void AddressChangeRun::change(int r)
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

AddressChangeRun::Round AddressChangeRun::verifyRound()
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
        return arrived.size() == wanted.size();
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

qint64 AddressChangeRun::verificationMsLeft() const
{
    if (!verifying() || !sinceLastChange.isValid())
        return -1;
    return qMax<qint64>(0, options.verifyTimeoutMs - sinceLastChange.elapsed());
}

bool AddressChangeRun::awaits(const RunRow &row) const
{
    return row.change.netcfgSent && row.change.outcome != ChangeOutcome::AddressNotAccepted;
}

bool AddressChangeRun::verifying() const
{
    return !options.dryRun && options.verifyTimeoutMs > 0;
}

bool AddressChangeRun::deadlinePassed() const
{
    return sinceLastChange.isValid() && sinceLastChange.elapsed() >= options.verifyTimeoutMs;
}

bool AddressChangeRun::record()
{
    if (!options.journal || !lastError.isEmpty())
        return lastError.isEmpty();
    QVector<JournalRow> rows;
    for (const RunRow &row : qAsConst(runRows))
        rows << journalRow(row, options.card);
    if (options.journal->write(rows))
        return true;
    lastError = options.journal->error();
    over = true;
    return false;
}
