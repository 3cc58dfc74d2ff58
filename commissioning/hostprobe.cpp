#include "commissioning/hostprobe.h"

#include "commissioning/connectionprobe.h"

#include <QElapsedTimer>
#include <QNetworkInterface>

namespace {

// The card and its IPv4 addresses.
QVector<Ipv4Subnet> cardAddresses(const QString &card, QNetworkInterface *found)
{
    QVector<Ipv4Subnet> addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces) {
        if (nic.humanReadableName() != card)
            continue;
        if (found)
            *found = nic;
        const QList<QNetworkAddressEntry> entries = nic.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                addresses.append({Ipv4(entry.ip().toIPv4Address()), entry.prefixLength()});
        }
    }
    return addresses;
}

} // namespace

QVector<Ipv4Subnet> cardSubnets(const QString &card)
{
    return cardAddresses(card, nullptr);
}

QHash<QString, ProbeResult> probeHosts(const QString &card, const QStringList &targets)
{
    QElapsedTimer clock;
    clock.start();
    QNetworkInterface nic;
    const QVector<Ipv4Subnet> own = cardAddresses(card, &nic);
    QHash<QString, ProbeResult> results;
    QVector<ConnectionAttempt> attempts;
    for (const QString &target : targets) {
        results.insert(target, ProbeResult::NotProbed);
        const std::optional<Ipv4> number = Ipv4::fromText(target);
        const auto from = std::find_if(own.cbegin(), own.cend(),
                                       [&](const Ipv4Subnet &subnet) { return number && subnet.contains(*number); });
        if (from == own.cend())
            continue;
        results[target] = ProbeResult::Silent;
        attempts.append({target, from->address, *number});
    }
    if (attempts.isEmpty())
        return results;
    // Each slice waits the whole time: a host that is slow to answer is as slow in any of them.
    for (int first = 0; first < attempts.size(); first += kMostConnectionsAtOnce) {
        const qint64 budgetMs = first == 0 ? kProbeMs - clock.elapsed() : kProbeMs;
        for (const QString &target : answeredConnections(attempts.mid(first, kMostConnectionsAtOnce), budgetMs))
            results[target] = ProbeResult::Answered;
    }
    for (const QString &address : completeNeighbours(nic)) {
        if (results.value(address) == ProbeResult::Silent)
            results[address] = ProbeResult::Neighbour;
    }
    return results;
}

QString completeNeighbour(const QString &row, const QString &device)
{
    const QStringList fields = row.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() < 6 || fields.at(5) != device || !Ipv4::fromText(fields.at(0)))
        return QString();
    bool ok = false;
    const uint flags = fields.at(2).toUInt(&ok, 16);
    return ok && (flags & 0x2) ? fields.at(0) : QString();
}

PlanCheck checkPlanOnCard(const QVector<PlanRow> &plan, const QVector<FoundDevice> &devices, const QString &card)
{
    const QVector<Ipv4Subnet> subnets = cardSubnets(card);
    const PlanCheck first = checkPlan(plan, devices, subnets);
    const QStringList targets = probeTargets(plan, first, devices);
    if (targets.isEmpty())
        return first;
    return checkPlan(plan, devices, subnets, answeringHosts(card, targets));
}

QSet<QString> answeringHosts(const QString &card, const QStringList &targets)
{
    QSet<QString> answering;
    if (targets.isEmpty())
        return answering;
    const QHash<QString, ProbeResult> found = probeHosts(card, targets);
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        if (it.value() == ProbeResult::Answered || it.value() == ProbeResult::Neighbour)
            answering.insert(it.key());
    }
    return answering;
}

GeneratedPlan generatePlanOnCard(const QVector<FoundDevice> &devices, PlanRequest request, const QString &card)
{
    for (const Ipv4Subnet &own : cardSubnets(card))
        request.taken.insert(own.address);
    QSet<QString> held, probed;
    for (const FoundDevice &device : devices)
        held.insert(device.ip);
    for (;;) {
        const GeneratedPlan plan = generatePlan(devices, request);
        QStringList targets;
        for (const PlanRow &row : plan.rows) {
            if (!held.contains(row.newIp) && !probed.contains(row.newIp))
                targets << row.newIp;
        }
        const QSet<QString> answering = answeringHosts(card, targets);
        if (answering.isEmpty())
            return plan;
        probed.unite(QSet<QString>(targets.cbegin(), targets.cend()));
        for (const QString &address : answering)
            request.taken.insert(*Ipv4::fromText(address));
    }
}
