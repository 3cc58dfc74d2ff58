#include "diagnosis/doctor.h"

#include "devicelink/devicemessages.h"
#include "diagnosis/firewallreader.h"
#include "diagnosis/hostreader.h"
#include "diagnosis/networkcard.h"
#include "diagnosis/routereader.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkInterface>

namespace {

using Check = DoctorFinding::Check;
using Level = DoctorFinding::Level;

using Verdict = ReversePathFacts::Verdict;

const char kContext[] = "NetworkDoctor";

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

bool inNet(quint32 address, const char *net, int prefixLength)
{
    return Ipv4Subnet{*Ipv4::fromText(std::string_view(net)), prefixLength}.contains(Ipv4(address));
}

// "192.168.1.10/24, 10.0.0.5/8"
QString addressList(const QVector<Ipv4Subnet> &nets, bool subnets)
{
    QStringList parts;
    for (const Ipv4Subnet &net : nets)
        parts << QStringLiteral("%1/%2").arg((subnets ? net.network() : net.address).toString()).arg(net.prefixLength);
    return parts.join(QLatin1String(", "));
}

DoctorFinding finding(Check check, Level level, const char *source, const QStringList &args = {})
{
    return DoctorFinding{check, level, source, args};
}

QVector<DoctorFinding> cardFindings(const CardFacts &card, HostSystem system)
{
    const bool windows = system == HostSystem::Windows;
    const QString &name = card.name;
    if (name.isEmpty())
        return {finding(Check::Card, Level::Problem,
                        QT_TRANSLATE_NOOP("NetworkDoctor", "There is no network card but the loopback interface "
                                                           "(known: %1). Fix: connect the card that is cabled to the "
                                                           "devices."),
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
    // Windows lists a card that is turned off nowhere: one it lists is down for want of a link.
    if (!card.up && windows)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 is not connected. Fix: check its cable and the "
                                                            "switch port it goes to."),
                         {name});
    else if (!card.up)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 is down. Fix: sudo ip link set %1 up"), {name});
    else if (!card.running && !card.loopback)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 has no link. Fix: check its cable and the switch "
                                                            "port it goes to."),
                         {name});
    if (card.ipv4.isEmpty() && windows)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 has no IPv4 address, so nothing can be sent through "
                                                            "it; give it a free address of the devices' subnet "
                                                            "(ADDRESS) with that subnet's mask (MASK). Fix: netsh "
                                                            "interface ipv4 set address name=\"%1\" static ADDRESS "
                                                            "MASK"),
                         {name});
    else if (card.ipv4.isEmpty())
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 has no IPv4 address, so nothing can be sent through "
                                                            "it; give it a free address of the devices' subnet "
                                                            "(ADDRESS) with that subnet's prefix length (PREFIX). "
                                                            "Fix: sudo ip addr add ADDRESS/PREFIX dev %1"),
                         {name});
    if (!card.multicast && !card.loopback && windows)
        found << finding(Check::Card, Level::Problem,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "%1 cannot multicast. Fix: choose a cabled Ethernet "
                                                            "card on the devices' network."),
                         {name});
    else if (!card.multicast && !card.loopback)
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
    const KernelRoute &group = facts.routes.group;
    if (group.state == KernelRoute::State::Found && group.device == name)
        return finding(Check::Route, Level::Ok, QT_TRANSLATE_NOOP("NetworkDoctor", "239.0.0.100 is routed through %1"),
                       {name});
    if (group.state == KernelRoute::State::Unknown)
        return finding(Check::Route, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "The route to 239.0.0.100 could not be read (%1). The "
                                                          "search still leaves through %2, which it chooses itself."),
                       {group.why, name});
    // The route goes where the kernel looks: into the table that a policy rule chose, or into
    // the main table ahead of the rules that keep the group from it.
    QString fix = QStringLiteral("sudo ip route replace 239.0.0.0/8 dev %1").arg(name);
    if (facts.system == HostSystem::Windows)
        fix = QStringLiteral("netsh interface ipv4 add route prefix=239.0.0.0/8 interface=\"%1\" metric=1")
                  .arg(name);
    else if (!group.table.isEmpty())
        fix += QStringLiteral(" table ") + group.table;
    else if (group.state == KernelRoute::State::None && facts.routes.policyRules)
        fix += QStringLiteral(" && sudo ip rule add to 239.0.0.0/8 lookup main priority 1");
    if (group.state == KernelRoute::State::None)
        return finding(Check::Route, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "No route leads to 239.0.0.100 (%2). The search still "
                                                          "leaves through %1, which it chooses itself; for other "
                                                          "programs, Fix: %3"),
                       {name, group.why, fix});
    return finding(Check::Route, Level::Warning,
                   QT_TRANSLATE_NOOP("NetworkDoctor", "239.0.0.100 is routed through %2, not %1. The search still "
                                                      "leaves through %1, which it chooses itself; for other "
                                                      "programs, Fix: %3"),
                   {name, group.device, fix});
}

QVector<DoctorFinding> portFindings(const QVector<PortHolder> &holders, HostSystem system)
{
    QVector<DoctorFinding> found;
    for (const PortHolder &holder : holders) {
        // Windows names the process of every socket; only its program may have ended meanwhile.
        if (system == HostSystem::Windows && !holder.program.isEmpty())
            found << finding(Check::Port, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is held by %1 (process %2), which "
                                                                "then gets the devices' replies: close that program, "
                                                                "or end it. Fix: taskkill /PID %2 /F"),
                             {holder.program, QString::number(holder.pid)});
        else if (system == HostSystem::Windows)
            found << finding(Check::Port, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is held by process %1, which then "
                                                                "gets the devices' replies: close that program, or "
                                                                "end it. Fix: taskkill /PID %1 /F"),
                             {QString::number(holder.pid)});
        else if (holder.pid > 0)
            found << finding(Check::Port, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is held by %1 (process %2), which "
                                                                "then gets the devices' replies: close that program, "
                                                                "or end it. Fix: kill %2"),
                             {holder.program, QString::number(holder.pid)});
        else
            found << finding(Check::Port, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is held by a program of user %1, "
                                                                "which only root can name (sudo ss -ulpn 'sport = "
                                                                ":10088'): close it, or end it. Fix: sudo fuser -k "
                                                                "10088/udp"),
                             {QString::number(holder.uid)});
    }
    if (found.isEmpty())
        found << finding(Check::Port, Level::Ok, QT_TRANSLATE_NOOP("NetworkDoctor", "UDP port 10088 is free"));
    return found;
}

// netsh's name for a profile in "netsh advfirewall set ...profile".
QString netshProfile(const QString &profile)
{
    return profile.toLower() + QLatin1String("profile");
}

QVector<DoctorFinding> windowsFirewallFindings(const FirewallFacts &facts)
{
    using Kind = firewall::WindowsVerdict::Kind;
    QVector<DoctorFinding> found;
    if (!facts.unreadable.isEmpty())
        found << finding(Check::Firewall, Level::Warning,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall could not be read (%1). Check by hand "
                                                            "that it lets UDP to port 10088 in: netsh advfirewall "
                                                            "show currentprofile; netsh advfirewall firewall show "
                                                            "rule name=all dir=in"),
                         {facts.unreadable});
    const QString addRule = QStringLiteral("netsh advfirewall firewall add rule name=\"%1\" dir=in action=allow "
                                           "protocol=UDP localport=10088")
                                .arg(QLatin1String(kWindowsFirewallRule));
    for (const firewall::WindowsVerdict &verdict : facts.windows) {
        const QString disableRule =
            QStringLiteral("netsh advfirewall firewall set rule name=\"%1\" new enable=no").arg(verdict.rule);
        switch (verdict.kind) {
        case Kind::Off:
            found << finding(Check::Firewall, Level::Ok,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall is off in the %1 profile"),
                             {verdict.profile});
            break;
        case Kind::AllBlocked:
            found << finding(Check::Firewall, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall blocks all incoming connections in "
                                                                "the %1 profile, whatever its rules allow, and so "
                                                                "the devices' replies (UDP to port 10088). Fix: "
                                                                "netsh advfirewall set %2 firewallpolicy "
                                                                "blockinbound,allowoutbound"),
                             {verdict.profile, netshProfile(verdict.profile)});
            break;
        case Kind::Blocked:
            found << finding(Check::Firewall, verdict.conditional ? Level::Warning : Level::Problem,
                             verdict.conditional
                                 ? QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall's rule \"%2\" (%1 profile) "
                                                                      "may block UDP to port 10088, the devices' "
                                                                      "replies, depending on the sender or the card. "
                                                                      "A block rule wins over every allow rule. To be "
                                                                      "sure, Fix: %3")
                                 : QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall's rule \"%2\" (%1 profile) "
                                                                      "blocks UDP to port 10088, the devices' "
                                                                      "replies; a block rule wins over every allow "
                                                                      "rule. Fix: %3"),
                             {verdict.profile, verdict.rule, disableRule});
            break;
        case Kind::NotAllowed:
            if (verdict.conditional)
                found << finding(Check::Firewall, Level::Warning,
                                 QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall (%1 profile) lets UDP to port "
                                                                    "10088, the devices' replies, in only by the "
                                                                    "rule \"%2\", which depends on the sender or the "
                                                                    "card. To be sure, Fix: %3"),
                                 {verdict.profile, verdict.rule, addRule});
            else
                found << finding(Check::Firewall, Level::Problem,
                                 QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall (%1 profile) blocks UDP to "
                                                                    "port 10088, the devices' replies: no rule lets "
                                                                    "them in. Fix: %2"),
                                 {verdict.profile, addRule});
            break;
        case Kind::Allowed:
            if (verdict.rule.isEmpty())
                found << finding(Check::Firewall, Level::Ok,
                                 QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall (%1 profile) lets in what no "
                                                                    "rule blocks"),
                                 {verdict.profile});
            else
                found << finding(Check::Firewall, Level::Ok,
                                 QT_TRANSLATE_NOOP("NetworkDoctor", "Windows Firewall (%1 profile) lets UDP to port "
                                                                    "10088 in by the rule \"%2\""),
                                 {verdict.profile, verdict.rule});
            break;
        }
    }
    return found;
}

QVector<DoctorFinding> firewallFindings(const FirewallFacts &facts, const QString &card)
{
    QVector<DoctorFinding> found;
    for (const firewall::Drop &drop : facts.drops) {
        const bool nft = drop.tool == QLatin1String("nftables");
        const bool reply = drop.flow == firewall::Flow::Reply;
        const int port = reply ? kLocalPort : kDevicePort;
        const QString chain = drop.chain.section(QLatin1Char(' '), nft ? 0 : 1);
        const QString fix = nft ? QStringLiteral("sudo nft insert rule %1 udp dport %2 accept").arg(chain).arg(port)
                                : QStringLiteral("sudo %1 -I %2 -p udp --dport %3 -j ACCEPT")
                                      .arg(drop.tool, chain)
                                      .arg(port);
        const QStringList args = {QStringLiteral("%1 chain %2").arg(drop.tool, chain), drop.where, fix};
        if (drop.conditional && reply)
            found << finding(Check::Firewall, Level::Warning,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "%1 may drop UDP to port 10088 (%2), the devices' "
                                                                "replies, depending on conditions that cannot be "
                                                                "judged here. To be sure, Fix: %3"),
                             args);
        else if (drop.conditional)
            found << finding(Check::Firewall, Level::Warning,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "%1 may drop the search, UDP to port 10086 (%2), "
                                                                "depending on conditions that cannot be judged here. "
                                                                "To be sure, Fix: %3"),
                             args);
        else if (reply)
            found << finding(Check::Firewall, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "%1 drops UDP to port 10088 (%2), the devices' "
                                                                "replies. Fix: %3"),
                             args);
        else
            found << finding(Check::Firewall, Level::Problem,
                             QT_TRANSLATE_NOOP("NetworkDoctor", "%1 drops the search, UDP to port 10086 (%2), before "
                                                                "it leaves. Fix: %3"),
                             args);
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
                                                            "that nothing drops UDP to port 10088 or 10086: sudo nft "
                                                            "list ruleset, sudo iptables -S"),
                         {facts.unreadable});
    if (found.isEmpty())
        found << finding(Check::Firewall, Level::Ok,
                         QT_TRANSLATE_NOOP("NetworkDoctor", "no rule drops the search or its replies (read: %1)"),
                         {facts.read.join(QLatin1String(", "))});
    return found;
}

// The sysctl that makes the card's filtering loose (2) or none (0). The kernel applies the
// higher of the card's and "all": loose needs only the card's, none needs both at 0.
QString rpFilterFix(const ReversePathFacts &rp, const QString &card, bool loose)
{
    QString command = QStringLiteral("sudo sysctl -w");
    if (!loose && rp.all > 0)
        command += QStringLiteral(" net.ipv4.conf.all.rp_filter=0");
    // sysctl reads a dot as a separator; in a card's name (eth0.100) it is written as "/".
    const QString key = QString(card).replace(QLatin1Char('.'), QLatin1Char('/'));
    if (loose || rp.card > 0)
        command += QStringLiteral(" net.ipv4.conf.%1.rp_filter=%2").arg(key).arg(loose ? 2 : 0);
    return command;
}

DoctorFinding reversePathFinding(const NetworkFacts &facts)
{
    const QString &name = facts.card.name;
    const ReversePathFacts &rp = facts.reversePath;
    if (rp.all < 0 || rp.card < 0)
        return finding(Check::ReversePath, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "The reverse-path filter of %1 could not be read. Check by "
                                                          "hand: sysctl net.ipv4.conf.all.rp_filter "
                                                          "net.ipv4.conf.%1.rp_filter"),
                       {name});
    const QString subnets = facts.card.ipv4.isEmpty() ? QStringLiteral("-") : addressList(facts.card.ipv4, true);
    QStringList args = {QString::number(rp.all), name, QString::number(rp.card), subnets};
    // Loose filtering lets in whatever some route leads back to; only none lets in the rest.
    if (rp.neighbour == Verdict::Dropped)
        return finding(Check::ReversePath, Level::Problem,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "Reverse-path filtering (all=%1, %2=%3) drops the replies "
                                                          "that reach %2 even from its own subnet %4: the kernel "
                                                          "routes the answers to them through another card (ip rule, "
                                                          "ip route show table all). Fix: %5"),
                       args << rpFilterFix(rp, name, rp.neighbourRouted));
    const bool dropped = rp.droppedDuringSearch > 0;
    if (rp.outsider == Verdict::Dropped || dropped) {
        args << rpFilterFix(rp, name, rp.outsiderRouted) << QString::number(rp.droppedDuringSearch);
        if (dropped)
            return finding(Check::ReversePath, Level::Problem,
                           QT_TRANSLATE_NOOP("NetworkDoctor", "Reverse-path filtering (all=%1, %2=%3) dropped %6 "
                                                              "replies during the search: those of devices outside "
                                                              "%4, to which no route leads back through %2. A route "
                                                              "to their subnet (SUBNET) through %2 would let them in "
                                                              "as well: sudo ip route add SUBNET dev %2. Fix: %5"),
                           args);
        return finding(Check::ReversePath, Level::Warning,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "Reverse-path filtering (all=%1, %2=%3) drops the replies of "
                                                          "devices outside %4, to which no route leads back through "
                                                          "%2. A route to their subnet (SUBNET) through %2 would let "
                                                          "them in as well: sudo ip route add SUBNET dev %2. Fix: %5"),
                       args);
    }
    return finding(Check::ReversePath, Level::Ok,
                   QT_TRANSLATE_NOOP("NetworkDoctor", "reverse-path filtering lets the replies in (all=%1, %2=%3)"),
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
    for (const Ipv4Subnet &net : facts.card.ipv4) {
        const QString look = natLook(net.address.toNumber(), facts.hypervisor, facts.routes.defaultGateway);
        if (!look.isEmpty())
            return finding(Check::VirtualMachine, Level::Problem,
                           QT_TRANSLATE_NOOP("NetworkDoctor", "%2 is the address of a virtual machine's NAT (%1): "
                                                              "multicast does not cross NAT. Fix: put the virtual "
                                                              "network adapter in bridged mode on the devices' "
                                                              "network."),
                           {look, net.address.toString()});
    }
    if (facts.hypervisor.isEmpty())
        return finding(Check::VirtualMachine, Level::Ok,
                       QT_TRANSLATE_NOOP("NetworkDoctor", "not a virtual machine"));
    return finding(Check::VirtualMachine, Level::Ok,
                   QT_TRANSLATE_NOOP("NetworkDoctor", "a virtual machine (%1), but its address does not look like "
                                                      "NAT: its adapter seems to be bridged"),
                   {facts.hypervisor});
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

QString cardToExamine(const QVector<NetworkCard> &cards)
{
    const auto first = [&cards](const std::function<bool(const NetworkCard &)> &wanted) {
        const auto card = std::find_if(cards.cbegin(), cards.cend(), wanted);
        return card == cards.cend() ? QString() : card->name;
    };
    QString name = first(reachesDevices);
    if (name.isEmpty())
        name = first([](const NetworkCard &card) { return card.up && !card.loopback; });
    if (name.isEmpty())
        name = first([](const NetworkCard &card) { return !card.loopback; });
    return name;
}

bool cardUsable(const CardFacts &card)
{
    return !card.name.isEmpty() && card.exists && card.up && !card.ipv4.isEmpty();
}

QVector<DoctorFinding> diagnose(const NetworkFacts &facts)
{
    QVector<DoctorFinding> found = cardFindings(facts.card, facts.system);
    if (facts.card.name.isEmpty() || !facts.card.exists)
        return found;
    const bool windows = facts.system == HostSystem::Windows;
    found << routeFinding(facts);
    found += portFindings(facts.portHolders, facts.system);
    found += windows ? windowsFirewallFindings(facts.firewall) : firewallFindings(facts.firewall, facts.card.name);
    if (!windows)
        found << reversePathFinding(facts);
    found << wifiFinding(facts.card) << virtualMachineFinding(facts);
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
    facts.system = hostSystem();
    CardFacts &card = facts.card;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    card.name = cardName.isEmpty() ? cardToExamine(describeCards(interfaces)) : cardName;
    for (const QNetworkInterface &nic : interfaces) {
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
                card.ipv4 << Ipv4Subnet{Ipv4(entry.ip().toIPv4Address()), entry.prefixLength()};
        }
        card.wireless = isWirelessCard(nic.name());
    }
    if (card.name.isEmpty() || !card.exists)
        return facts;

    facts.routes = readRoutes(card);
    // The asking program's own socket (the window's, after its search) takes nothing from it.
    for (const PortHolder &holder : findPortHolders(kLocalPort)) {
        if (!holder.own)
            facts.portHolders << holder;
    }
    facts.firewall = readFirewall(card.name);
    facts.reversePath = readReversePath(card);
    facts.hypervisor = readHypervisor();
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
