#include "commissioning/hostprobe.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkInterface>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The card's system name (for the neighbour table) and its IPv4 addresses.
QVector<Ipv4Subnet> cardAddresses(const QString &card, QString *systemName)
{
    QVector<Ipv4Subnet> addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces) {
        if (nic.humanReadableName() != card)
            continue;
        if (systemName)
            *systemName = nic.name();
        const QList<QNetworkAddressEntry> entries = nic.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                addresses.append({Ipv4Address(entry.ip().toIPv4Address()), entry.prefixLength()});
        }
    }
    return addresses;
}

sockaddr_in socketAddress(Ipv4Address address, quint16 port)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address.toNumber());
    socketAddress.sin_port = htons(port);
    return socketAddress;
}

struct Attempt
{
    QString target;
    int fd = -1;
};

} // namespace

QVector<Ipv4Subnet> cardSubnets(const QString &card)
{
    return cardAddresses(card, nullptr);
}

QHash<QString, ProbeResult> probeHosts(const QString &card, const QStringList &targets)
{
    QElapsedTimer clock;
    clock.start();
    QString systemName;
    const QVector<Ipv4Subnet> own = cardAddresses(card, &systemName);
    QHash<QString, ProbeResult> results;
    QVector<Attempt> pending;
    for (const QString &target : targets) {
        results.insert(target, ProbeResult::NotProbed);
        const std::optional<Ipv4Address> number = Ipv4Address::fromText(target);
        const auto from = std::find_if(own.cbegin(), own.cend(),
                                       [&](const Ipv4Subnet &subnet) { return number && subnet.contains(*number); });
        if (from == own.cend())
            continue;
        results[target] = ProbeResult::Silent;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        const sockaddr_in local = socketAddress(from->address, 0);
        const sockaddr_in remote = socketAddress(*number, 80);
        if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
            ::close(fd);
            continue;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0 || errno == ECONNREFUSED)
            results[target] = ProbeResult::Answered;
        else if (errno == EINPROGRESS) {
            pending.append({target, fd});
            continue;
        }
        ::close(fd);
    }

    while (!pending.isEmpty() && clock.elapsed() < kProbeMs) {
        QVector<pollfd> polled;
        for (const Attempt &attempt : qAsConst(pending))
            polled.append({attempt.fd, POLLOUT, 0});
        if (::poll(polled.data(), nfds_t(polled.size()), int(kProbeMs - clock.elapsed())) <= 0)
            continue; // time is up, or a signal: the loop condition decides
        for (int i = polled.size() - 1; i >= 0; --i) {
            if (!polled.at(i).revents)
                continue;
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(pending.at(i).fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error == 0 || error == ECONNREFUSED)
                results[pending.at(i).target] = ProbeResult::Answered;
            ::close(pending.at(i).fd);
            pending.remove(i);
        }
    }
    for (const Attempt &attempt : qAsConst(pending))
        ::close(attempt.fd);

    QFile table(QStringLiteral("/proc/net/arp"));
    if (table.open(QIODevice::ReadOnly)) {
        for (const QByteArray &row : table.readAll().split('\n')) {
            const QString address = completeNeighbour(QString::fromLatin1(row), systemName);
            if (results.value(address) == ProbeResult::Silent)
                results[address] = ProbeResult::Neighbour;
        }
    }
    return results;
}

QString completeNeighbour(const QString &row, const QString &device)
{
    const QStringList fields = row.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() < 6 || fields.at(5) != device || !Ipv4Address::fromText(fields.at(0)))
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
            request.taken.insert(*Ipv4Address::fromText(address));
    }
}
