#include "diagnosis/doctor.h"

#include "devicelink/devicemessages.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

namespace {

using Check = DoctorFinding::Check;
using Level = DoctorFinding::Level;

const char kContext[] = "NetworkDoctor";
const quint32 kGroup = QHostAddress(QLatin1String(kGroupAddress)).toIPv4Address();
constexpr int kRouteUp = 0x0001;
constexpr int kRouteReject = 0x0200;
constexpr int kToolTimeoutMs = 3000;

// clang-format off
const char *const kCheckNames[] = {
    QT_TRANSLATE_NOOP("NetworkDoctor", "card"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "route"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "port"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "firewall"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "rp_filter"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "wifi"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "vm"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "search"),
};
const char *const kLevelNames[] = {
    QT_TRANSLATE_NOOP("NetworkDoctor", "ok"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "warning"),
    QT_TRANSLATE_NOOP("NetworkDoctor", "problem"),
};
// clang-format on

QString fromIpv4(quint32 address)
{
    return QHostAddress(address).toString();
}

quint32 maskOf(int prefixLength)
{
    return prefixLength <= 0 ? 0 : ~quint32(0) << (32 - qMin(prefixLength, 32));
}

bool inNet(quint32 address, const char *net, int prefixLength)
{
    const quint32 mask = maskOf(prefixLength);
    return (address & mask) == (QHostAddress(QLatin1String(net)).toIPv4Address() & mask);
}

// "192.168.1.10/24, 10.0.0.5/8"
QString addressList(const QVector<Ipv4Net> &nets, bool subnets)
{
    QStringList parts;
    for (const Ipv4Net &net : nets)
        parts << QStringLiteral("%1/%2")
                     .arg(fromIpv4(subnets ? net.address & maskOf(net.prefixLength) : net.address))
                     .arg(net.prefixLength);
    return parts.join(QLatin1String(", "));
}

DoctorFinding finding(Check check, Level level, const char *source, const QStringList &args = {})
{
    return DoctorFinding{check, level, source, args};
}

QVector<DoctorFinding> cardFindings(const CardFacts &card)
{
    const QString &name = card.name;
    if (name.isEmpty())
        return {finding(Check::Card, Level::Problem,
                        QT_TRANSLATE_NOOP("NetworkDoctor", "No network card is up with an IPv4 address (known: %1). "
                                                           "Fix: connect the card that is cabled to the devices and "
                                                           "give it an address in their subnet."),
                        {card.known.join(QLatin1String(", "))})};
    if (!card.exists)
        return {finding(Check::Card, Level::Problem,
                        QT_TRANSLATE_NOOP("NetworkDoctor", "There is no network card named %1 (known: %2). Fix: "
                                                           "choose the card that is cabled to the devices."),
                        {name, card.known.join(QLatin1String(", "))})};
    QVector<DoctorFinding> found;
    if (card.loopback)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 is the loopback interface: it reaches no device. "
                                                            "Fix: choose the card that is cabled to the devices."),
                         {name});
    if (!card.up)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 is down. Fix: sudo ip link set %1 up"), {name});
    else if (!card.running && !card.loopback)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 has no link. Fix: check its cable and the switch "
                                                            "port it goes to."),
                         {name});
    if (card.ipv4.isEmpty())
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 has no IPv4 address, so nothing can be sent through "
                                                            "it. Fix: give it one in the devices' subnet, e.g. sudo "
                                                            "ip addr add 192.168.1.250/24 dev %1"),
                         {name});
    if (!card.multicast && !card.loopback)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 cannot multicast. Fix: sudo ip link set %1 "
                                                            "multicast on"),
                         {name});
    if (found.isEmpty())
        found << finding(Check::Card, Level::Ok,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 is up with %2 and can multicast"),
                         {name, addressList(card.ipv4, false)});
    return found;
}

DoctorFinding routeFinding(const NetworkFacts &facts)
{
    const QString &name = facts.card.name;
    const int route = routeFor(facts.routes, kGroup);
    if (route >= 0 && facts.routes.at(route).interfaceName == name)
        return finding(Check::Route, Level::Ok, QT_TRANSLATE_NOOP("NetworkDoctor", "239.0.0.100 is routed through %1"),
                       {name});
    if (route < 0)
        return finding(Check::Route, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "No route leads to 239.0.0.100. The search still leaves "
                                                          "through %1, which it chooses itself; for other programs: "
                                                          "sudo ip route add 239.0.0.0/8 dev %1"),
                       {name});
    return finding(Check::Route, Level::Warning,
                   QT_TRANSLATE_NOOP("NetworkDoctor", "239.0.0.100 is routed through %2, not %1. The search still "
                                                      "leaves through %1, which it chooses itself; for other "
                                                      "programs: sudo ip route add 239.0.0.0/8 dev %1"),
                   {name, facts.routes.at(route).interfaceName});
}

QVector<DoctorFinding> portFindings(const QVector<PortHolder> &holders)
{
    QVector<DoctorFinding> found;
    for (const PortHolder &holder : holders) {
        if (holder.pid > 0)
            found << finding(Check::Port, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is held by %1 (process %2), which "
                                                                "then gets the devices' replies. Fix: close that "
                                                                "program, then search again."),
                             {holder.program, QString::number(holder.pid)});
        else
            found << finding(Check::Port, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is held by a program of user %1 "
                                                                "that cannot be read without root. Fix: find it with "
                                                                "sudo ss -ulpn 'sport = :10088' and close it."),
                             {QString::number(holder.uid)});
    }
    if (found.isEmpty())
        found << finding(Check::Port, Level::Ok, QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is free"));
    return found;
}

QVector<DoctorFinding> firewallFindings(const FirewallFacts &facts, const QString &card)
{
    QVector<DoctorFinding> found;
    for (const firewall::Drop &drop : facts.drops) {
        const bool nft = drop.tool == QLatin1String("nftables");
        const QString chain = drop.chain.section(QLatin1Char(' '), nft ? 0 : 1);
        const QString fix = nft ? QStringLiteral("sudo nft insert rule %1 udp dport 10088 accept").arg(chain)
                                : QStringLiteral("sudo %1 -I %2 -p udp --dport 10088 -j ACCEPT").arg(drop.tool, chain);
        const QString where = QStringLiteral("%1 chain %2").arg(drop.tool, chain);
        if (drop.conditional)
            found << finding(Check::Firewall, Level::Warning,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "%1 may drop UDP to port 10088 (%2), depending "
                                                                "on conditions that cannot be judged here. To be "
                                                                "sure: %3"),
                             {where, drop.where, fix});
        else
            found << finding(Check::Firewall, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "%1 drops UDP to port 10088 (%2). Fix: %3"),
                             {where, drop.where, fix});
    }
    if (facts.firewalldRunning && !facts.firewalldError.isEmpty())
        found << finding(Check::Firewall, Level::Warning,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "firewalld is running, but the zone of %1 could not be "
                                                            "read (%2). Check by hand: sudo firewall-cmd --list-all"),
                         {card, facts.firewalldError});
    else if (facts.firewalldRunning && !facts.firewalldZoneOk)
        found << finding(Check::Firewall, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "firewalld's zone %1 does not let UDP to port 10088 in. "
                                                            "Fix: sudo firewall-cmd --permanent --zone=%1 "
                                                            "--add-port=10088/udp && sudo firewall-cmd --reload"),
                         {facts.firewalldZone});
    if (!facts.unreadable.isEmpty())
        found << finding(Check::Firewall, Level::Warning,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "The firewall rules could not be read (%1). Check by hand "
                                                            "that nothing drops UDP to port 10088: sudo nft list "
                                                            "ruleset, sudo iptables -S INPUT"),
                         {facts.unreadable});
    if (found.isEmpty())
        found << finding(Check::Firewall, Level::Ok,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "no rule drops UDP to port 10088 (read: %1)"),
                         {facts.read.join(QLatin1String(", "))});
    return found;
}

DoctorFinding reversePathFinding(const NetworkFacts &facts)
{
    const QString &name = facts.card.name;
    if (facts.rpFilterAll < 0 || facts.rpFilterCard < 0)
        return finding(Check::ReversePath, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "The reverse-path filter of %1 could not be read. Check by "
                                                          "hand: sysctl net.ipv4.conf.all.rp_filter "
                                                          "net.ipv4.conf.%1.rp_filter"),
                       {name});
    // The kernel applies the stricter of the two (the higher value).
    const int effective = qMax(facts.rpFilterAll, facts.rpFilterCard);
    bool anyDefault = false;
    bool defaultHere = false;
    for (const RouteEntry &route : facts.routes) {
        if (route.mask == 0 && (route.flags & kRouteUp) && !(route.flags & kRouteReject)) {
            anyDefault = true;
            defaultHere = defaultHere || route.interfaceName == name;
        }
    }
    const QStringList args = {QString::number(facts.rpFilterAll), name, QString::number(facts.rpFilterCard),
                              facts.card.ipv4.isEmpty() ? QStringLiteral("-") : addressList(facts.card.ipv4, true)};
    // Strict filtering lets in what would be routed back through the card, so everything when
    // the default route leads there; loose filtering lets in what is routed anywhere.
    if (effective == 0 || (effective == 1 && defaultHere) || (effective == 2 && anyDefault))
        return finding(Check::ReversePath, Level::Ok,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "reverse-path filtering lets the replies in (all=%1, %2=%3)"),
                       args);
    if (effective == 1 && anyDefault)
        return finding(Check::ReversePath, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "Strict reverse-path filtering (all=%1, %2=%3) drops the "
                                                          "replies of devices outside %4, as the default route leads "
                                                          "through another card. Fix: loose filtering, sudo sysctl -w "
                                                          "net.ipv4.conf.all.rp_filter=2 net.ipv4.conf.%2.rp_filter=2"),
                       args);
    return finding(Check::ReversePath, Level::Warning,
                   QT_TRANSLATE_NOOP("NetworkDoctor", "Reverse-path filtering (all=%1, %2=%3) drops the replies of "
                                                      "devices outside %4; without a default route loose filtering "
                                                      "does not help. Fix: sudo sysctl -w "
                                                      "net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.%2.rp_filter=0, or "
                                                      "give %2 a second address in the devices' subnet (sudo ip addr "
                                                      "add 192.168.1.250/24 dev %2)"),
                   args);
}

DoctorFinding wifiFinding(const CardFacts &card)
{
    if (!card.wireless)
        return finding(Check::WiFi, Level::Ok, QT_TRANSLATE_NOOP("NetworkDoctor", "%1 is not a wireless card"),
                       {card.name});
    return finding(Check::WiFi, Level::Warning,
                   QT_TRANSLATE_NOOP("NetworkDoctor", "%1 is a wireless card: access points often filter multicast, "
                                                      "so the search may not reach the devices. Fix: use a cabled "
                                                      "card, or let the access point forward multicast."),
                   {card.name});
}

DoctorFinding virtualMachineFinding(const NetworkFacts &facts)
{
    quint32 gateway = 0;
    for (const RouteEntry &route : facts.routes) {
        if (route.mask == 0 && route.interfaceName == facts.card.name)
            gateway = route.gateway;
    }
    for (const Ipv4Net &net : facts.card.ipv4) {
        const QString look = natLook(net.address, facts.hypervisor, gateway);
        if (!look.isEmpty())
            return finding(Check::VirtualMachine, Level::Problem,
                           QT_TRANSLATE_NOOP("NetworkDoctor", "%2 is the address of a virtual machine's NAT (%1): "
                                                              "multicast does not cross NAT. Fix: put the virtual "
                                                              "network adapter in bridged mode on the devices' "
                                                              "network."),
                           {look, fromIpv4(net.address)});
    }
    if (facts.hypervisor.isEmpty())
        return finding(Check::VirtualMachine, Level::Ok,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "not a virtual machine"));
    return finding(Check::VirtualMachine, Level::Ok,
                   QT_TRANSLATE_NOOP("NetworkDoctor", "a virtual machine (%1), but its address does not look like "
                                                      "NAT: its adapter seems to be bridged"),
                   {facts.hypervisor});
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString findTool(const QString &name)
{
    // A user's PATH often lacks the sbin folders, where these tools live.
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path;
}

// Runs a tool; false with the first line of what it said when it did not succeed.
bool runTool(const QString &path, const QStringList &arguments, QByteArray *output, QString *error)
{
    QProcess process;
    process.start(path, arguments, QIODevice::ReadOnly);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished(kToolTimeoutMs);
        *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), process.errorString());
        return false;
    }
    *output = process.readAllStandardOutput();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    const QString name = QFileInfo(path).fileName();
    const QString said =
        QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section(QLatin1Char('\n'), 0, 0);
    if (said.isEmpty())
        *error = QStringLiteral("%1: exit status %2").arg(name).arg(process.exitCode());
    else
        *error = said.startsWith(name) ? said : QStringLiteral("%1: %2").arg(name, said);
    return false;
}

FirewallFacts readFirewall(const QString &card)
{
    FirewallFacts facts;
    QByteArray output;
    QString error;
    QStringList unreadable;
    const auto readIptables = [&](const QString &path, const QString &tool) {
        if (runTool(path, {QStringLiteral("-t"), QStringLiteral("filter")}, &output, &error)) {
            facts.drops += firewall::dropsOfReplies(firewall::parseIptablesSave(output, card, tool));
            facts.read << tool;
        } else {
            unreadable << error;
        }
    };
    // iptables is either a front end of nftables (its rules then show in nft's listing too,
    // though less exactly) or the legacy one, whose rules nft does not see. Legacy tables are
    // listed only when the kernel has some, as listing them would load its module.
    const QString iptablesSave = findTool(QStringLiteral("iptables-save"));
    const bool iptablesOnNftables = !iptablesSave.isEmpty()
                                    && !QFileInfo(iptablesSave).canonicalFilePath().contains(QLatin1String("legacy"));
    if (iptablesOnNftables)
        readIptables(iptablesSave, QStringLiteral("iptables"));
    QFile legacyTables(QStringLiteral("/proc/net/ip_tables_names"));
    const bool legacyInUse = !legacyTables.open(QIODevice::ReadOnly) || !legacyTables.readAll().trimmed().isEmpty();
    const QString legacySave = iptablesOnNftables ? findTool(QStringLiteral("iptables-legacy-save")) : iptablesSave;
    if (legacyInUse && !legacySave.isEmpty())
        readIptables(legacySave, QStringLiteral("iptables-legacy"));
    const QString nft = findTool(QStringLiteral("nft"));
    if (!nft.isEmpty()) {
        if (runTool(nft, {QStringLiteral("-j"), QStringLiteral("list"), QStringLiteral("ruleset")}, &output, &error)) {
            const QStringList skip = iptablesOnNftables ? QStringList{QStringLiteral("ip filter")} : QStringList();
            facts.drops += firewall::dropsOfReplies(firewall::parseNftJson(output, card, skip));
            facts.read << QStringLiteral("nftables");
        } else {
            unreadable << error;
        }
    }
    if (iptablesSave.isEmpty() && nft.isEmpty())
        unreadable << QStringLiteral("neither nft nor iptables-save is installed");
    if (!unreadable.isEmpty())
        facts.unreadable = unreadable.join(QLatin1String("; "));
    std::stable_sort(facts.drops.begin(), facts.drops.end(),
                     [](const firewall::Drop &a, const firewall::Drop &b) { return !a.conditional && b.conditional; });

    const QString firewallCmd = findTool(QStringLiteral("firewall-cmd"));
    if (!firewallCmd.isEmpty() && runTool(firewallCmd, {QStringLiteral("--state")}, &output, &error)) {
        facts.firewalldRunning = true;
        if (!runTool(firewallCmd, {QStringLiteral("--get-zone-of-interface=") + card}, &output, &error)
            && !runTool(firewallCmd, {QStringLiteral("--get-default-zone")}, &output, &error)) {
            facts.firewalldError = error;
            return facts;
        }
        facts.firewalldZone = QString::fromUtf8(output).trimmed();
        if (!runTool(firewallCmd, {QStringLiteral("--zone=") + facts.firewalldZone, QStringLiteral("--list-all")},
                     &output, &error)) {
            facts.firewalldError = error;
            return facts;
        }
        facts.firewalldZoneOk = firewall::firewalldZoneLetsRepliesIn(output);
        facts.read << QStringLiteral("firewalld");
    }
    return facts;
}

} // namespace

QString DoctorFinding::text(bool translated) const
{
    // In one pass: an argument (a program's or a card's name) may itself hold "%1".
    const QString pattern = translated ? QCoreApplication::translate(kContext, source) : QString::fromUtf8(source);
    QString result;
    for (int i = 0; i < pattern.size(); ++i) {
        const int n = i + 1 < pattern.size() ? pattern.at(i + 1).digitValue() : -1;
        if (pattern.at(i) == QLatin1Char('%') && n >= 1 && n <= args.size()) {
            result += args.at(n - 1);
            ++i;
        } else {
            result += pattern.at(i);
        }
    }
    return result;
}

QString DoctorFinding::line(bool translated) const
{
    const char *checkName = kCheckNames[int(check)];
    const char *levelName = kLevelNames[int(level)];
    const QString label = translated ? QCoreApplication::translate(kContext, checkName) : QLatin1String(checkName);
    const QString word = translated ? QCoreApplication::translate(kContext, levelName) : QLatin1String(levelName);
    return QStringLiteral("%1 %2: %3").arg(label, -9).arg(word, text(translated));
}

QVector<RouteEntry> parseProcNetRoute(const QByteArray &text)
{
    QVector<RouteEntry> routes;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 1; i < lines.size(); ++i) { // the first line names the columns
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() < 8)
            continue;
        bool ok[5] = {};
        RouteEntry route;
        route.interfaceName = QString::fromUtf8(fields.at(0));
        route.destination = qFromBigEndian(quint32(fields.at(1).toUInt(&ok[0], 16)));
        route.gateway = qFromBigEndian(quint32(fields.at(2).toUInt(&ok[1], 16)));
        route.flags = fields.at(3).toInt(&ok[2], 16);
        route.metric = fields.at(6).toInt(&ok[3]);
        route.mask = qFromBigEndian(quint32(fields.at(7).toUInt(&ok[4], 16)));
        if (std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }))
            routes << route;
    }
    return routes;
}

int routeFor(const QVector<RouteEntry> &routes, quint32 address)
{
    int best = -1;
    for (int i = 0; i < routes.size(); ++i) {
        const RouteEntry &route = routes.at(i);
        if (!(route.flags & kRouteUp) || (address & route.mask) != (route.destination & route.mask))
            continue;
        if (best < 0 || route.mask > routes.at(best).mask
            || (route.mask == routes.at(best).mask && route.metric < routes.at(best).metric))
            best = i;
    }
    if (best >= 0 && (routes.at(best).flags & kRouteReject))
        return -1;
    return best;
}

int parseRpFilter(const QByteArray &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 0 && value <= 2 ? value : -1;
}

QString hypervisorFromDmi(const QString &sysVendor, const QString &productName)
{
    const auto has = [](const QString &text, const char *word) {
        return text.contains(QLatin1String(word), Qt::CaseInsensitive);
    };
    if (has(sysVendor, "innotek") || has(productName, "VirtualBox"))
        return QStringLiteral("VirtualBox");
    if (has(sysVendor, "VMware") || has(productName, "VMware"))
        return QStringLiteral("VMware");
    if (has(sysVendor, "QEMU") || has(productName, "KVM") || has(productName, "QEMU"))
        return QStringLiteral("QEMU/KVM");
    if (has(sysVendor, "Parallels"))
        return QStringLiteral("Parallels");
    if (has(sysVendor, "Xen") || has(productName, "HVM domU"))
        return QStringLiteral("Xen");
    if (has(sysVendor, "Microsoft") && has(productName, "Virtual Machine"))
        return QStringLiteral("Hyper-V");
    if (has(sysVendor, "Bochs"))
        return QStringLiteral("Bochs");
    return QString();
}

QString natLook(quint32 address, const QString &hypervisor, quint32 gateway)
{
    if (address == QHostAddress(QStringLiteral("10.0.2.15")).toIPv4Address())
        return QStringLiteral("user-mode networking");
    if (hypervisor.isEmpty())
        return QString();
    // The NAT networks these hypervisors set up by default.
    const bool natNet = inNet(address, "10.0.2.0", 24) || inNet(address, "10.0.3.0", 24)
                        || inNet(address, "192.168.122.0", 24) || inNet(address, "10.211.55.0", 24)
                        || (hypervisor == QLatin1String("Hyper-V") && inNet(address, "172.16.0.0", 12))
                        || (hypervisor == QLatin1String("VMware") && inNet(address, "192.168.0.0", 16)
                            && (gateway & 0xff) == 2 && (gateway & 0xffffff00) == (address & 0xffffff00));
    return natNet ? hypervisor : QString();
}

bool cardUsable(const CardFacts &card)
{
    return !card.name.isEmpty() && card.exists && card.up && !card.ipv4.isEmpty();
}

QVector<DoctorFinding> diagnose(const NetworkFacts &facts)
{
    QVector<DoctorFinding> found = cardFindings(facts.card);
    if (facts.card.name.isEmpty() || !facts.card.exists)
        return found;
    found << routeFinding(facts);
    found += portFindings(facts.portHolders);
    found += firewallFindings(facts.firewall, facts.card.name);
    found << reversePathFinding(facts) << wifiFinding(facts.card) << virtualMachineFinding(facts);
    return found;
}

DoctorFinding searchFinding(const QString &card, int deviceCount, const QString &failure)
{
    if (deviceCount > 0)
        return finding(Check::Search, Level::Ok, QT_TRANSLATE_NOOP("NetworkDoctor", "%1 devices answered"),
                       {QString::number(deviceCount)});
    if (deviceCount == 0)
        return finding(Check::Search, Level::Problem,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "No device answered the search on %1. Fix: see the "
                                                          "findings above, and check that the devices are powered "
                                                          "and on the network of %1."),
                       {card});
    if (failure.isEmpty())
        return finding(Check::Search, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "No search made: the card cannot be used."));
    return finding(Check::Search, Level::Problem, QT_TRANSLATE_NOOP("NetworkDoctor", "The search failed: %1"),
                   {failure});
}

NetworkFacts gatherFacts(const QString &cardName)
{
    NetworkFacts facts;
    CardFacts &card = facts.card;
    card.name = cardName.isEmpty() ? defaultCardName() : cardName;
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
        card.known << nic.humanReadableName();
        if (nic.humanReadableName() != card.name || card.exists)
            continue;
        card.exists = true;
        card.up = nic.flags().testFlag(QNetworkInterface::IsUp);
        card.running = nic.flags().testFlag(QNetworkInterface::IsRunning);
        card.loopback = nic.flags().testFlag(QNetworkInterface::IsLoopBack);
        card.multicast = nic.flags().testFlag(QNetworkInterface::CanMulticast);
        for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                card.ipv4 << Ipv4Net{entry.ip().toIPv4Address(), entry.prefixLength()};
        }
        const QString sysDir = QStringLiteral("/sys/class/net/%1/").arg(nic.name());
        card.wireless = QFileInfo::exists(sysDir + QLatin1String("wireless"))
                        || QFileInfo::exists(sysDir + QLatin1String("phy80211"));
    }
    if (card.name.isEmpty() || !card.exists)
        return facts;

    facts.routes = parseProcNetRoute(readFile(QStringLiteral("/proc/net/route")));
    facts.portHolders = findPortHolders(kLocalPort);
    facts.firewall = readFirewall(card.name);
    facts.rpFilterAll = parseRpFilter(readFile(QStringLiteral("/proc/sys/net/ipv4/conf/all/rp_filter")));
    facts.rpFilterCard = parseRpFilter(readFile(QStringLiteral("/proc/sys/net/ipv4/conf/%1/rp_filter").arg(card.name)));
    const auto dmi = [](const char *name) {
        return QString::fromUtf8(readFile(QStringLiteral("/sys/class/dmi/id/") + QLatin1String(name))).trimmed();
    };
    facts.hypervisor = hypervisorFromDmi(dmi("sys_vendor"), dmi("product_name"));
    return facts;
}

QVector<DoctorFinding> examineNetwork(const QString &cardName)
{
    return diagnose(gatherFacts(cardName));
}

QString findingsReport(const QVector<DoctorFinding> &findings, bool translated)
{
    QStringList lines;
    for (const DoctorFinding &f : findings)
        lines << f.line(translated);
    return lines.join(QLatin1Char('\n'));
}
