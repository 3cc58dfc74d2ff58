#include "commissioning/addressplan.h"

#include "commissioning/operatortexts.h"
#include "devicelink/devicemessages.h"

#include <QHash>

#include <algorithm>
#include <functional>
#include <set>

namespace {

QString member(const cJSON *device, DeviceMember which)
{
    return QString::fromUtf8(stringMember(device, memberName(which), ""));
}

// An address the generator may hand out: one for a device, and not the .1 of its /24, which
// the devices take for their gateway.
bool allocatable(Ipv4 address)
{
    return checkDeviceAddress(address) == NewAddressCheck::Usable && address.part(3) != 1;
}

QString joinLines(const QVector<int> &lines)
{
    QStringList texts;
    for (const int line : lines)
        texts << QString::number(line);
    return texts.join(QLatin1String(", "));
}

// Whether `to` can be reached from `from` along the edges.
bool reaches(const QVector<QVector<int>> &edges, int from, int to)
{
    QVector<bool> seen(edges.size(), false);
    QVector<int> stack = {from};
    while (!stack.isEmpty()) {
        const int node = stack.takeLast();
        for (const int next : edges.at(node)) {
            if (next == to)
                return true;
            if (!seen.at(next)) {
                seen[next] = true;
                stack << next;
            }
        }
    }
    return false;
}

} // namespace

QHash<QString, int> devicesPerAddress(const QStringList &addresses)
{
    QHash<QString, int> counts;
    for (const QString &address : addresses) {
        if (!address.isEmpty() && address != QLatin1String(kAbsentText))
            ++counts[address];
    }
    return counts;
}

bool isActivatedState(const QString &activeState)
{
    return activeState.trimmed().toLower() == QLatin1String("active");
}

QVector<FoundDevice> foundDevices(const cJSON *array)
{
    QVector<FoundDevice> devices;
    const cJSON *device = nullptr;
    cJSON_ArrayForEach(device, array)
    {
        devices.append({member(device, DeviceMember::Ip), member(device, DeviceMember::Sn),
                        member(device, DeviceMember::Mac), member(device, DeviceMember::Model),
                        member(device, DeviceMember::Active)});
    }
    return devices;
}

bool isConflict(RowCheck check)
{
    return check == RowCheck::AddressTwice || check == RowCheck::InUse || check == RowCheck::Cycle
           || check == RowCheck::HostAnswers;
}

PlanCheck checkPlan(const QVector<PlanRow> &plan, const QVector<FoundDevice> &devices,
                    const QVector<Ipv4Subnet> &cardSubnets, const QSet<QString> &hostsAnswering)
{
    QHash<QString, QVector<int>> bySerial, byAddress, rowsBySerial, rowsByAddress;
    for (int d = 0; d < devices.size(); ++d) {
        bySerial[devices.at(d).sn] << d;
        byAddress[devices.at(d).ip] << d;
    }
    for (int r = 0; r < plan.size(); ++r) {
        rowsBySerial[plan.at(r).sn] << r;
        rowsByAddress[plan.at(r).newIp] << r;
    }
    const auto otherLine = [&plan](const QVector<int> &rows, int r) {
        return plan.at(rows.at(0) == r ? rows.at(1) : rows.at(0)).line;
    };

    PlanCheck result;
    result.verdicts.resize(plan.size());
    for (int r = 0; r < plan.size(); ++r) {
        const PlanRow &row = plan.at(r);
        RowVerdict &verdict = result.verdicts[r];
        const QVector<int> sameSerial = bySerial.value(row.sn);
        if (sameSerial.size() == 1)
            verdict.device = sameSerial.first();
        verdict.address = checkNewAddress(row.newIp);
        if (const std::optional<Ipv4> number = Ipv4::fromText(row.newIp)) {
            verdict.outsideCard = std::none_of(cardSubnets.cbegin(), cardSubnets.cend(),
                                               [&](const Ipv4Subnet &subnet) { return subnet.contains(*number); });
        }

        if (verdict.address != NewAddressCheck::Usable) {
            verdict.check = RowCheck::UnusableAddress;
        } else if (rowsBySerial.value(row.sn).size() > 1) {
            verdict.check = RowCheck::SerialTwice;
            verdict.otherLine = otherLine(rowsBySerial.value(row.sn), r);
        } else if (rowsByAddress.value(row.newIp).size() > 1) {
            verdict.check = RowCheck::AddressTwice;
            verdict.otherLine = otherLine(rowsByAddress.value(row.newIp), r);
        } else if (sameSerial.isEmpty()) {
            verdict.check = RowCheck::NotFound;
        } else if (sameSerial.size() > 1) {
            verdict.check = RowCheck::SerialAtTwoAddresses;
            for (const int d : sameSerial)
                verdict.addresses << devices.at(d).ip;
        } else if (devices.at(verdict.device).ip == row.newIp) {
            verdict.check = RowCheck::AlreadyThere;
        } else if (!byAddress.contains(row.newIp) && hostsAnswering.contains(row.newIp)) {
            verdict.check = RowCheck::HostAnswers;
        }
    }

    QHash<int, int> rowOfDevice;
    for (int r = 0; r < plan.size(); ++r) {
        if (result.verdicts.at(r).device >= 0)
            rowOfDevice.insert(result.verdicts.at(r).device, r);
    }
    const auto ready = [&result](int r) { return result.verdicts.at(r).check == RowCheck::Ready; };

    // waitsFor[r]: the rows that must move their devices off r's new address first.
    QVector<QVector<int>> waitsFor(plan.size());
    for (;;) {
        for (bool changed = true; changed;) {
            changed = false;
            for (int r = 0; r < plan.size(); ++r) {
                if (!ready(r))
                    continue;
                waitsFor[r].clear();
                RowVerdict &verdict = result.verdicts[r];
                for (const int holder : byAddress.value(plan.at(r).newIp)) {
                    const int mover = rowOfDevice.value(holder, -1);
                    if (mover < 0 || !ready(mover)) {
                        verdict.check = RowCheck::InUse;
                        verdict.holderSn = devices.at(holder).sn;
                        verdict.holderMac = devices.at(holder).mac;
                        changed = true;
                        break;
                    }
                    waitsFor[r] << mover;
                }
            }
        }

        // Rows that wait for themselves, around a ring, form a cycle with every row on it.
        QVector<int> onRing;
        for (int r = 0; r < plan.size(); ++r) {
            if (ready(r) && reaches(waitsFor, r, r))
                onRing << r;
        }
        if (onRing.isEmpty())
            break;
        for (const int r : qAsConst(onRing)) {
            RowVerdict &verdict = result.verdicts[r];
            verdict.cycleLines.clear();
            for (const int other : qAsConst(onRing)) {
                if (other == r || (reaches(waitsFor, r, other) && reaches(waitsFor, other, r)))
                    verdict.cycleLines << plan.at(other).line;
            }
            std::sort(verdict.cycleLines.begin(), verdict.cycleLines.end());
        }
        for (const int r : qAsConst(onRing))
            result.verdicts[r].check = RowCheck::Cycle;
    }

    // Each row as soon as the rows it waits for have run, the earliest in the plan first.
    QVector<int> waiting(plan.size(), 0);
    QVector<QVector<int>> waitedBy(plan.size());
    std::set<int> due;
    for (int r = 0; r < plan.size(); ++r) {
        if (!ready(r))
            continue;
        waiting[r] = waitsFor.at(r).size();
        for (const int first : waitsFor.at(r))
            waitedBy[first] << r;
        if (waiting.at(r) == 0)
            due.insert(r);
    }
    while (!due.empty()) {
        const int r = *due.begin();
        due.erase(due.begin());
        result.order << r;
        for (const int next : waitedBy.at(r)) {
            if (--waiting[next] == 0)
                due.insert(next);
        }
    }
    return result;
}

QStringList probeTargets(const QVector<PlanRow> &plan, const PlanCheck &check, const QVector<FoundDevice> &devices)
{
    QSet<QString> held;
    for (const FoundDevice &device : devices)
        held.insert(device.ip);
    QStringList targets;
    for (const int r : check.order) {
        if (!held.contains(plan.at(r).newIp) && !targets.contains(plan.at(r).newIp))
            targets << plan.at(r).newIp;
    }
    return targets;
}

QString verdictText(const RowVerdict &verdict, const PlanRow &row, bool translate)
{
    const QString text = operatorString(rowCheckText(verdict.check), translate);
    switch (verdict.check) {
    case RowCheck::Ready:
    case RowCheck::AlreadyThere:
        return text;
    case RowCheck::NotFound:
        return text.arg(row.sn);
    case RowCheck::SerialAtTwoAddresses:
        return text.arg(row.sn, verdict.addresses.value(0), verdict.addresses.value(1));
    case RowCheck::UnusableAddress: {
        QString told = operatorString(addressCheckText(verdict.address).text, translate);
        if (const char *reason = addressCheckReason(verdict.address))
            told += QLatin1Char(' ') + operatorString(reason, translate);
        return told;
    }
    case RowCheck::SerialTwice:
        return text.arg(row.sn).arg(verdict.otherLine);
    case RowCheck::AddressTwice:
        return text.arg(row.newIp).arg(verdict.otherLine);
    case RowCheck::InUse:
        return text.arg(row.newIp, verdict.holderSn, verdict.holderMac);
    case RowCheck::Cycle:
        return text.arg(joinLines(verdict.cycleLines));
    case RowCheck::HostAnswers:
        return text.arg(row.newIp);
    }
    return text;
}

QString outsideCardText(const QString &newIp, const QString &card, bool translate)
{
    return operatorString(runText(RunText::OutsideCard), translate).arg(newIp, card);
}

GeneratedPlan generatePlan(const QVector<FoundDevice> &devices, const PlanRequest &request)
{
    GeneratedPlan plan;
    const std::optional<Ipv4> from = Ipv4::fromText(request.from);
    if (!from || !inDeviceRange(*from)) {
        plan.problem = GeneratedPlan::BadFrom;
        return plan;
    }
    const std::optional<Ipv4> to = request.to.isEmpty() ? Ipv4((from->toNumber() | 0xFF) - 1)
                                                               : Ipv4::fromText(request.to);
    if (!to || !inDeviceRange(*to)) {
        plan.problem = GeneratedPlan::BadTo;
        return plan;
    }
    plan.last = to->toString();
    if (*to < *from) {
        plan.problem = GeneratedPlan::Backwards;
        return plan;
    }

    QSet<Ipv4> held = request.taken;
    QStringList addresses;
    QHash<QString, QSet<QString>> addressesOfSerial;
    for (const FoundDevice &device : devices) {
        if (const std::optional<Ipv4> number = Ipv4::fromText(device.ip))
            held.insert(*number);
        addresses << device.ip;
        addressesOfSerial[device.sn].insert(device.ip);
    }
    const QHash<QString, int> atAddress = devicesPerAddress(addresses);

    QVector<FoundDevice> chosen;
    QSet<QString> serials;
    for (const FoundDevice &device : devices) {
        const bool active = isActivatedState(device.active);
        if (device.sn.isEmpty() || serials.contains(device.sn)
            || (!request.serials.isEmpty() && !request.serials.contains(device.sn))
            || (request.only == ActiveFilter::Active && !active) || (request.only == ActiveFilter::Inactive && active)
            || !device.model.contains(request.model, Qt::CaseInsensitive))
            continue;
        serials.insert(device.sn);
        chosen << device;
    }
    if (chosen.isEmpty()) {
        plan.problem = GeneratedPlan::NoDevice;
        return plan;
    }
    std::function<bool(const FoundDevice &, const FoundDevice &)> before;
    switch (request.order) {
    case PlanOrder::Listed:
        break;
    case PlanOrder::Mac:
        before = [](const FoundDevice &a, const FoundDevice &b) { return a.mac.toLower() < b.mac.toLower(); };
        break;
    case PlanOrder::Sn:
        before = [](const FoundDevice &a, const FoundDevice &b) { return a.sn < b.sn; };
        break;
    case PlanOrder::Ip:
        before = [](const FoundDevice &a, const FoundDevice &b) { return addressTextLess(a.ip, b.ip); };
        break;
    }
    if (before)
        std::stable_sort(chosen.begin(), chosen.end(), before);

    const auto keeps = [&](const FoundDevice &device) {
        const std::optional<Ipv4> at = Ipv4::fromText(device.ip);
        return request.keepInside && at && *at >= *from && *at <= *to && allocatable(*at)
               && atAddress.value(device.ip) == 1 && addressesOfSerial.value(device.sn).size() == 1;
    };
    plan.needed = int(std::count_if(chosen.cbegin(), chosen.cend(), [&](const FoundDevice &d) { return !keeps(d); }));

    quint64 next = from->toNumber();
    const auto nextFree = [&]() -> std::optional<Ipv4> {
        for (; next <= to->toNumber() && inDeviceRange(Ipv4(quint32(next))); ++next) {
            const Ipv4 candidate{quint32(next)};
            if (allocatable(candidate) && !held.contains(candidate)) {
                ++next;
                return candidate;
            }
        }
        return std::nullopt;
    };
    for (const FoundDevice &device : qAsConst(chosen)) {
        QString address = device.ip;
        if (!keeps(device)) {
            const std::optional<Ipv4> picked = nextFree();
            if (!picked)
                break;
            ++plan.free;
            address = picked->toString();
        }
        plan.rows.append({plan.rows.size() + 2, device.sn, address, QString()});
    }
    if (plan.rows.size() < chosen.size()) {
        plan.problem = GeneratedPlan::TooSmall;
        plan.rows.clear();
    }
    return plan;
}

QString generatorText(const GeneratedPlan &plan, const PlanRequest &request, bool translate)
{
    const auto addressText = [translate](const QString &address) {
        const NewAddressCheck check = checkNewAddress(address);
        QString told = operatorString(addressCheckText(check).text, translate);
        if (const char *reason = addressCheckReason(check))
            told += QLatin1Char(' ') + operatorString(reason, translate);
        return address + QLatin1String(": ") + told;
    };
    switch (plan.problem) {
    case GeneratedPlan::None:
        return QString();
    case GeneratedPlan::BadFrom:
        return addressText(request.from);
    case GeneratedPlan::BadTo:
        return addressText(request.to);
    case GeneratedPlan::Backwards:
        return operatorString(runText(RunText::RangeBackwards), translate).arg(request.from, plan.last);
    case GeneratedPlan::NoDevice:
        return operatorString(runText(RunText::NoDeviceChosen), translate);
    case GeneratedPlan::TooSmall:
        return operatorString(runText(RunText::RangeTooSmall), translate)
            .arg(request.from, plan.last)
            .arg(plan.free)
            .arg(plan.needed);
    }
    return QString();
}

Verification verificationOf(const QStringList &heardAt, const QString &oldIp, const QString &newIp)
{
    if (heardAt.contains(newIp))
        return Verification::Verified;
    if (heardAt.contains(oldIp))
        return Verification::KeptOldAddress;
    return heardAt.isEmpty() ? Verification::NotSeen : Verification::SeenElsewhere;
}
