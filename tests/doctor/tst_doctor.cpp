// tarnvale-cli doctor: the readers of the system's listings and the decisions one case per
// row, then the whole command in this test's own network namespace, broken in the ways
// users meet (a card without IPv4, the port held, a firewall rule) and whole.

#include "cli/doctorcommand.h"
#include "diagnosis/doctor.h"
#include "tests/common/testcore.h"

#include <QNetworkInterface>
#include <QStandardPaths>
#include <QTranslator>
#include <QUdpSocket>
#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(NetworkFacts)

namespace {

// ---- nftables listings in the JSON of `nft -j list ruleset` ----

const QString kUdpDport = R"({"payload":{"protocol":"udp","field":"dport"}})";
const QString kTcpDport = R"({"payload":{"protocol":"tcp","field":"dport"}})";
const QString kSaddr = R"({"payload":{"protocol":"ip","field":"saddr"}})";
const QString kIifname = R"({"meta":{"key":"iifname"}})";
const QString kCtState = R"({"ct":{"key":"state"}})";
const QString kAccept = R"({"accept":null})";
const QString kDrop = R"({"drop":null})";
const QString kReject = R"({"reject":null})";

QString match(const QString &left, const QString &right, const QString &op = QStringLiteral("=="))
{
    return QStringLiteral(R"({"match":{"op":"%1","left":%2,"right":%3}})").arg(op, left, right);
}

QString jump(const QString &chain, const char *kind = "jump")
{
    return QStringLiteral(R"({"%1":{"target":"%2"}})").arg(QLatin1String(kind), chain);
}

// Table "inet t": chain "input" on the input hook with `policy` (or on `hook`), and every
// other chain that a rule names; rules are "chain: expr, expr, ...", numbered from handle 1.
QByteArray nft(const QString &policy, const QStringList &rules, const QString &hook = QStringLiteral("input"),
               const QString &family = QStringLiteral("inet"))
{
    QStringList items{QStringLiteral(R"({"chain":{"family":"%1","table":"t","name":"input","type":"filter",)"
                                     R"("hook":"%2","prio":0,"policy":"%3"}})")
                          .arg(family, hook, policy)};
    QStringList chains{QStringLiteral("input")};
    int handle = 0;
    for (const QString &rule : rules) {
        const QString chain = rule.section(QLatin1Char(':'), 0, 0);
        if (!chains.contains(chain)) {
            chains << chain;
            items << QStringLiteral(R"({"chain":{"family":"%1","table":"t","name":"%2"}})").arg(family, chain);
        }
        items << QStringLiteral(R"({"rule":{"family":"%1","table":"t","chain":"%2","handle":%3,"expr":[%4]}})")
                     .arg(family, chain)
                     .arg(++handle)
                     .arg(rule.section(QLatin1Char(':'), 1));
    }
    return QStringLiteral(R"({"nftables":[%1]})").arg(items.join(QLatin1Char(','))).toUtf8();
}

// As nft 1.0.6 printed them in a namespace: a ruleset that lets the replies in, and
// iptables-nft's rules (whose matches it cannot show).
const QByteArray kRealOpen =
    R"({"nftables": [{"metainfo": {"version": "1.0.6", "release_name": "Lester Gooch #5", "json_schema_version": 1}}, {"table": {"family": "inet", "name": "f", "handle": 2}}, {"chain": {"family": "inet", "table": "f", "name": "input", "handle": 1, "type": "filter", "hook": "input", "prio": 0, "policy": "drop"}}, {"rule": {"family": "inet", "table": "f", "chain": "input", "handle": 2, "expr": [{"match": {"op": "in", "left": {"ct": {"key": "state"}}, "right": ["established", "related"]}}, {"accept": null}]}}, {"rule": {"family": "inet", "table": "f", "chain": "input", "handle": 4, "expr": [{"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "dport"}}, "right": {"set": [53, {"range": [10000, 10100]}]}}}, {"accept": null}]}}, {"rule": {"family": "inet", "table": "f", "chain": "input", "handle": 5, "expr": [{"match": {"op": "==", "left": {"meta": {"key": "iifname"}}, "right": "lo"}}, {"accept": null}]}}]})";
const QByteArray kRealIptablesNft =
    R"({"nftables": [{"table": {"family": "ip", "name": "filter", "handle": 1}}, {"chain": {"family": "ip", "table": "filter", "name": "INPUT", "handle": 1, "type": "filter", "hook": "input", "prio": 0, "policy": "drop"}}, {"chain": {"family": "ip", "table": "filter", "name": "mychain", "handle": 4}}, {"rule": {"family": "ip", "table": "filter", "chain": "INPUT", "handle": 2, "expr": [{"xt": {"type": "match", "name": "conntrack"}}, {"counter": {"packets": 0, "bytes": 0}}, {"accept": null}]}}, {"rule": {"family": "ip", "table": "filter", "chain": "INPUT", "handle": 3, "expr": [{"match": {"op": "==", "left": {"meta": {"key": "iifname"}}, "right": "lo"}}, {"counter": {"packets": 0, "bytes": 0}}, {"accept": null}]}}, {"rule": {"family": "ip", "table": "filter", "chain": "INPUT", "handle": 5, "expr": [{"counter": {"packets": 0, "bytes": 0}}, {"jump": {"target": "mychain"}}]}}, {"rule": {"family": "ip", "table": "filter", "chain": "INPUT", "handle": 7, "expr": [{"match": {"op": "==", "left": {"payload": {"protocol": "ip", "field": "saddr"}}, "right": {"prefix": {"addr": "10.0.0.0", "len": 8}}}}, {"xt": {"type": "match", "name": "comment"}}, {"counter": {"packets": 0, "bytes": 0}}, {"xt": {"type": "target", "name": "REJECT"}}]}}, {"rule": {"family": "ip", "table": "filter", "chain": "mychain", "handle": 6, "expr": [{"match": {"op": "==", "left": {"meta": {"key": "l4proto"}}, "right": "udp"}}, {"xt": {"type": "match", "name": "multiport"}}, {"counter": {"packets": 0, "bytes": 0}}, {"accept": null}]}}]})";

// The same iptables rules as iptables-save 1.8.9 printed them.
const QByteArray kRealIptablesSave = "# Generated by iptables-save v1.8.9 (nf_tables) on Mon Dec  7 08:08:27 2026\n"
                                     "*filter\n:INPUT DROP [0:0]\n:FORWARD ACCEPT [0:0]\n:OUTPUT ACCEPT [0:0]\n"
                                     ":mychain - [0:0]\n"
                                     "-A INPUT -m conntrack --ctstate RELATED,ESTABLISHED -j ACCEPT\n"
                                     "-A INPUT -i lo -j ACCEPT\n-A INPUT -j mychain\n"
                                     "-A INPUT -s 10.0.0.0/8 -m comment --comment \"a b\" -j REJECT "
                                     "--reject-with icmp-port-unreachable\n"
                                     "-A mychain -p udp -m multiport --dports 53,10080:10090 -j ACCEPT\n"
                                     "COMMIT\n# Completed on Mon Dec  7 08:08:27 2026\n";

QByteArray iptables(const QByteArray &policy, const QByteArray &rules)
{
    return "*nat\n:PREROUTING ACCEPT [0:0]\n-A PREROUTING -p udp --dport 10088 -j DROP\nCOMMIT\n*filter\n:INPUT "
           + policy + " [0:0]\n:user - [0:0]\n" + rules + "COMMIT\n";
}

QStringList drops(const firewall::Ruleset &ruleset)
{
    QStringList result;
    for (const firewall::Drop &drop : firewall::dropsOfReplies(ruleset))
        result << drop.chain + QStringLiteral(": ") + drop.where + (drop.conditional ? " (conditional)" : "");
    return result;
}

// ---- facts for the decisions ----

quint32 ip(const char *text)
{
    return QHostAddress(QLatin1String(text)).toIPv4Address();
}

RouteEntry route(const char *card, const char *destination, int prefix, const char *gateway = "0.0.0.0")
{
    const quint32 mask = prefix ? ~quint32(0) << (32 - prefix) : 0;
    return RouteEntry{QLatin1String(card), ip(destination), ip(gateway), mask, 0x3, 0};
}

// eth0 with 192.168.1.10/24 and the default route, nothing on the port, rules read, no filtering;
// then the change.
NetworkFacts healthy(const std::function<void(NetworkFacts &)> &change = {})
{
    NetworkFacts facts;
    facts.card = CardFacts{QStringLiteral("eth0"), {"lo", "eth0"}, true, true, true, false, true, false,
                           {Ipv4Net{ip("192.168.1.10"), 24}}};
    facts.routes = {route("eth0", "0.0.0.0", 0, "192.168.1.1"), route("eth0", "192.168.1.0", 24)};
    facts.firewall.read = QStringList{"nftables"};
    facts.rpFilterAll = 0;
    facts.rpFilterCard = 0;
    if (change)
        change(facts);
    return facts;
}

// ---- the namespace ----

QByteArray readBack(FILE *file)
{
    QByteArray bytes;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, int(n));
    std::fclose(file);
    return bytes;
}

} // namespace

class TestDoctor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(chinese.load(QStringLiteral(":/languages/zh_CN.qm")));
    }

    void init()
    {
        // The window's texts are checked in Chinese; the command line prints English.
        const QByteArray function = QTest::currentTestFunction();
        if (function == "diagnose")
            QVERIFY(QCoreApplication::installTranslator(&chinese));
        if (!function.endsWith("Namespace"))
            return;
        // Cards, routes and rules are changed here: never outside a namespace of our own.
        const QList<QNetworkInterface> cards = QNetworkInterface::allInterfaces();
        if (cards.size() != 1 || !cards.first().flags().testFlag(QNetworkInterface::IsLoopBack))
            QFAIL("run through tests/netns-run: this test changes cards and firewall rules");
        ownNamespace = true;
        QVERIFY(runShell("ip link add dA type veth peer name dB && ip link set dB up && ip link set dA up"));
    }

    void cleanup()
    {
        QCoreApplication::removeTranslator(&chinese);
        if (!ownNamespace)
            return;
        ownNamespace = false;
        sim.stop();
        runShell("ip link del dA; command -v nft >/dev/null && nft flush ruleset; "
           "command -v iptables >/dev/null && iptables -F INPUT");
    }

    void routes_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QString>("card"); // that 239.0.0.100 leaves through, "-" for none

        const QByteArray head = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
        const QByteArray eth0Default = "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
        // clang-format off
        QTest::newRow("a route for the group beats the default") << head + eth0Default + "eth1\t000000EF\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n" << "eth1";
        QTest::newRow("the lower metric wins") << head + eth0Default + "eth1\t00000000\t01000A0A\t0003\t0\t0\t50\t00000000\t0\t0\t0\n" << "eth1";
        QTest::newRow("a route that is down") << head + "eth1\t000000EF\t00000000\t0000\t0\t0\t0\t000000FF\t0\t0\t0\n" << "-";
        QTest::newRow("an unreachable route") << head + "eth1\t000000EF\t00000000\t0201\t0\t0\t0\t000000FF\t0\t0\t0\n" << "-";
        QTest::newRow("a cut line") << head + "eth1\t00000000\t01000A0A\t0003\n" << "-";
        // clang-format on
    }

    void routes()
    {
        QFETCH(QByteArray, table);
        QFETCH(QString, card);
        const QVector<RouteEntry> entries = parseProcNetRoute(table);
        const int index = routeFor(entries, ip("239.0.0.100"));
        QCOMPARE(index < 0 ? QStringLiteral("-") : entries.at(index).interfaceName, card);
    }

    void smallReaders()
    {
        QCOMPARE(parseRpFilter("2"), 2);
        QCOMPARE(parseRpFilter("3\n"), -1);
        QCOMPARE(parseRpFilter("strict"), -1);
    }

    // The hypervisor as the DMI names tell it, and whether the card's address looks like its NAT.
    void virtualMachines_data()
    {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<QString>("look");
        // clang-format off
        QTest::newRow("VirtualBox NAT") << "innotek GmbH" << "VirtualBox" << "10.0.2.16" << "10.0.2.2" << "VirtualBox";
        QTest::newRow("10.0.2.16 on hardware") << "Dell Inc." << "OptiPlex 7090" << "10.0.2.16" << "10.0.2.2" << "";
        QTest::newRow("QEMU, libvirt's default network") << "QEMU" << "Standard PC (Q35 + ICH9, 2009)" << "192.168.122.50" << "192.168.122.1" << "QEMU/KVM";
        QTest::newRow("KVM") << "Red Hat" << "KVM" << "192.168.122.50" << "192.168.122.1" << "QEMU/KVM";
        QTest::newRow("Xen") << "Xen" << "HVM domU" << "10.0.3.15" << "10.0.3.2" << "Xen";
        QTest::newRow("Parallels shared network") << "Parallels Software International Inc." << "Parallels Virtual Platform" << "10.211.55.3" << "10.211.55.1" << "Parallels";
        QTest::newRow("VMware NAT, gateway .2") << "VMware, Inc." << "VMware Virtual Platform" << "192.168.56.128" << "192.168.56.2" << "VMware";
        QTest::newRow("VMware bridged, gateway .1") << "VMware, Inc." << "VMware Virtual Platform" << "192.168.56.128" << "192.168.56.1" << "";
        QTest::newRow("VMware, gateway .2 of another subnet") << "VMware, Inc." << "VMware Virtual Platform" << "192.168.56.128" << "192.168.57.2" << "";
        QTest::newRow("Hyper-V default switch") << "Microsoft Corporation" << "Virtual Machine" << "172.24.160.5" << "172.24.160.1" << "Hyper-V";
        QTest::newRow("a Surface is hardware") << "Microsoft Corporation" << "Surface Pro 7" << "172.24.160.5" << "172.24.160.1" << "";
        // clang-format on
    }

    void virtualMachines()
    {
        QFETCH(QString, vendor);
        QFETCH(QString, product);
        QFETCH(QString, address);
        QFETCH(QString, gateway);
        QTEST(natLook(ip(qPrintable(address)), hypervisorFromDmi(vendor, product), ip(qPrintable(gateway))), "look");
    }

    void firewallRules_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QStringList>("drops");

        const QString port = QStringLiteral("10088");
        // clang-format off
        QTest::newRow("policy drop, the port let in, as nft prints it") << kRealOpen << QStringList();
        QTest::newRow("another port") << nft("accept", {"input:" + match(kUdpDport, "53") + "," + kDrop}) << QStringList();
        QTest::newRow("a range with the port, rejected") << nft("accept", {"input:" + match(kUdpDport, R"({"range":[10000,10100]})") + "," + kReject}) << QStringList{"inet t input: rule handle 1"};
        QTest::newRow("not 53") << nft("accept", {"input:" + match(kUdpDport, "53", "!=") + "," + kDrop}) << QStringList{"inet t input: rule handle 1"};
        QTest::newRow("not 10088") << nft("accept", {"input:" + match(kUdpDport, port, "!=") + "," + kDrop}) << QStringList();
        QTest::newRow("above 10000") << nft("accept", {"input:" + match(kUdpDport, "10000", ">") + "," + kDrop}) << QStringList{"inet t input: rule handle 1"};
        QTest::newRow("tcp, not udp") << nft("accept", {"input:" + match(kTcpDport, port) + "," + kDrop}) << QStringList();
        QTest::newRow("policy drop, only replies to connections let in") << nft("drop", {"input:" + match(kCtState, R"(["established","related"])", "in") + "," + kAccept}) << QStringList{"inet t input: policy drop"};
        QTest::newRow("new connections dropped") << nft("accept", {"input:" + match(kCtState, R"("new")") + "," + kDrop}) << QStringList{"inet t input: rule handle 1"};
        QTest::newRow("invalid ones dropped") << nft("accept", {"input:" + match(kCtState, R"("invalid")") + "," + kDrop}) << QStringList();
        QTest::newRow("another card's traffic dropped") << nft("accept", {"input:" + match(kIifname, R"("eth1")") + "," + kDrop}) << QStringList();
        QTest::newRow("this card's by wildcard") << nft("accept", {"input:" + match(kIifname, R"("v*")") + "," + kDrop}) << QStringList{"inet t input: rule handle 1"};
        QTest::newRow("some senders dropped") << nft("accept", {"input:" + match(kSaddr, R"({"prefix":{"addr":"10.0.0.0","len":8}})") + "," + kDrop}) << QStringList{"inet t input: rule handle 1 (conditional)"};
        QTest::newRow("policy drop, some senders let in") << nft("drop", {"input:" + match(kSaddr, R"("192.168.1.5")") + "," + kAccept}) << QStringList{"inet t input: policy drop (conditional)"};
        QTest::newRow("a named set") << nft("accept", {"input:" + match(kUdpDport, R"("@blocked")") + "," + kDrop}) << QStringList{"inet t input: rule handle 1 (conditional)"};
        QTest::newRow("policy drop, let in by a jumped-to chain") << nft("drop", {"input:" + jump("allow"), "allow:" + match(kUdpDport, port) + "," + kAccept}) << QStringList();
        QTest::newRow("policy drop, some senders let in by a jumped-to chain") << nft("drop", {"input:" + jump("allow"), "allow:" + match(kSaddr, R"("192.168.1.5")") + "," + kAccept}) << QStringList{"inet t input: policy drop (conditional)"};
        QTest::newRow("dropped in a jumped-to chain") << nft("accept", {"input:" + jump("deny"), "deny:" + match(kUdpDport, port) + "," + kDrop}) << QStringList{"inet t input: rule handle 2"};
        QTest::newRow("back from the jump, then dropped") << nft("accept", {"input:" + jump("other"), "other:" + match(kTcpDport, port) + "," + kAccept, "input:" + kDrop}) << QStringList{"inet t input: rule handle 3"};
        QTest::newRow("a goto that falls through meets the policy") << nft("drop", {"input:" + jump("other", "goto"), "other:" + match(kTcpDport, port) + "," + kAccept, "input:" + kAccept}) << QStringList{"inet t input: policy drop"};
        QTest::newRow("the output hook") << nft("drop", {"input:" + kDrop}, "output") << QStringList();
        QTest::newRow("an ip6 table") << nft("drop", {"input:" + kDrop}, "input", "ip6") << QStringList();
        QTest::newRow("iptables-nft's rules, read in full") << kRealIptablesNft << QStringList{"ip filter INPUT: rule handle 7 (conditional)"};
        QTest::newRow("let in by a user chain, as iptables-save prints it") << kRealIptablesSave << QStringList();
        QTest::newRow("the same without the port") << QByteArray(kRealIptablesSave).replace("10080:10090", "10080:10087") << QStringList{"filter INPUT: -A INPUT -s 10.0.0.0/8 -m comment --comment a b -j REJECT --reject-with icmp-port-unreachable (conditional)"};
        QTest::newRow("all but port 53") << iptables("ACCEPT", "-A INPUT -p udp ! --dport 53 -j DROP\n") << QStringList{"filter INPUT: -A INPUT -p udp ! --dport 53 -j DROP"};
        QTest::newRow("all but port 10088") << iptables("ACCEPT", "-A INPUT -p udp ! --dport 10088 -j DROP\n") << QStringList();
        QTest::newRow("a range, rejected") << iptables("ACCEPT", "-A INPUT -p udp --dport 10000:10100 -j REJECT --reject-with icmp-port-unreachable\n") << QStringList{"filter INPUT: -A INPUT -p udp --dport 10000:10100 -j REJECT --reject-with icmp-port-unreachable"};
        QTest::newRow("tcp") << iptables("ACCEPT", "-A INPUT -p tcp --dport 10088 -j DROP\n") << QStringList();
        QTest::newRow("another card") << iptables("ACCEPT", "-A INPUT -i eth1 -j DROP\n") << QStringList();
        QTest::newRow("new connections") << iptables("ACCEPT", "-A INPUT -m state --state NEW -j DROP\n") << QStringList{"filter INPUT: -A INPUT -m state --state NEW -j DROP"};
        QTest::newRow("invalid ones") << iptables("ACCEPT", "-A INPUT -m conntrack --ctstate INVALID -j DROP\n") << QStringList();
        QTest::newRow("policy DROP, logged only") << iptables("DROP", "-A INPUT -j LOG --log-prefix \"in: \"\n") << QStringList{"filter INPUT: policy drop"};
        QTest::newRow("policy DROP, let in by a user chain") << iptables("DROP", "-A INPUT -j user\n-A user -p udp --dport 10088 -j ACCEPT\n") << QStringList();
        QTest::newRow("policy DROP, back from a user chain") << iptables("DROP", "-A INPUT -j user\n-A user -p udp --dport 10088 -j RETURN\n-A user -j ACCEPT\n") << QStringList{"filter INPUT: policy drop"};
        QTest::newRow("every source and destination let in before a group's") << iptables("ACCEPT", "-A INPUT -s 0.0.0.0/0 -d 0.0.0.0/0 -j ACCEPT\n-A INPUT -p udp -d 239.0.0.0/8 -j DROP\n") << QStringList();
        QTest::newRow("a rate limit") << iptables("ACCEPT", "-A INPUT -p udp -m limit --limit 5/sec --limit-burst 10 -j DROP\n") << QStringList{"filter INPUT: -A INPUT -p udp -m limit --limit 5/sec --limit-burst 10 -j DROP (conditional)"};
        // clang-format on
    }

    // A listing in nft's JSON or as iptables-save prints it, and the drops of replies read from it.
    void firewallRules()
    {
        QFETCH(QByteArray, listing);
        const bool json = listing.startsWith('{');
        QTEST(drops(json ? firewall::parseNftJson(listing, "va") : firewall::parseIptablesSave(listing, "va")), "drops");
    }

    void firewalldZones_data()
    {
        QTest::addColumn<QByteArray>("listAll");
        QTest::addColumn<bool>("open");
        const QByteArray zone = "public (active)\n  target: %1\n  icmp-block-inversion: no\n  interfaces: eth0\n"
                                "  sources: \n  services: %2\n  ports: %3\n  protocols: \n  forward: yes\n";
        const auto list = [&zone](const char *target, const char *services, const char *ports) {
            const QString text = QString::fromUtf8(zone);
            return text.arg(QLatin1String(target), QLatin1String(services), QLatin1String(ports)).toUtf8();
        };
        // clang-format off
        QTest::newRow("default zone, ssh only") << list("default", "dhcpv6-client ssh", "") << false;
        QTest::newRow("the program's service") << list("default", "ssh tarnvale-manager", "") << true;
        QTest::newRow("the port") << list("default", "ssh", "10088/udp") << true;
        QTest::newRow("a range with the port") << list("default", "ssh", "8080/tcp 10000-10100/udp") << true;
        QTest::newRow("the port over tcp") << list("default", "ssh", "10088/tcp") << false;
        QTest::newRow("the trusted zone") << list("ACCEPT", "", "") << true;
        QTest::newRow("the drop zone") << list("DROP", "tarnvale-manager", "") << true;
        // clang-format on
    }

    void firewalldZones()
    {
        QFETCH(QByteArray, listAll);
        QTEST(firewall::firewalldZoneLetsRepliesIn(listAll), "open");
    }

    void diagnose_data()
    {
        QTest::addColumn<NetworkFacts>("facts");
        QTest::addColumn<QStringList>("wrong"); // the lines that are not ok, each up to a distinctive part

        // clang-format off
        QTest::newRow("nothing wrong") << healthy() << QStringList();
        QTest::newRow("no card to choose") << healthy([](NetworkFacts &f) { f.card = CardFacts{"", {"lo"}}; }) << QStringList{"card problem: No network card is up with an IPv4 address (known: lo). Fix:"};
        QTest::newRow("an unknown card") << healthy([](NetworkFacts &f) { f.card = CardFacts{"eth9", {"lo", "eth0"}}; }) << QStringList{"card problem: There is no network card named eth9 (known: lo, eth0)."};
        QTest::newRow("loopback") << healthy([](NetworkFacts &f) { f.card.name = "lo"; f.card.loopback = true; f.card.multicast = false; f.card.running = false; f.card.ipv4 = {Ipv4Net{ip("127.0.0.1"), 8}}; f.routes << route("lo", "239.0.0.0", 8); }) << QStringList{"card problem: lo is the loopback interface"};
        QTest::newRow("down") << healthy([](NetworkFacts &f) { f.card.up = f.card.running = false; }) << QStringList{"card problem: eth0 is down. Fix: sudo ip link set eth0 up"};
        QTest::newRow("no link") << healthy([](NetworkFacts &f) { f.card.running = false; }) << QStringList{"card problem: eth0 has no link."};
        QTest::newRow("no IPv4") << healthy([](NetworkFacts &f) { f.card.ipv4.clear(); }) << QStringList{"card problem: eth0 has no IPv4 address, so nothing can be sent through it. Fix: give it one in the devices' subnet, e.g. sudo ip addr add 192.168.1.250/24 dev eth0"};
        QTest::newRow("cannot multicast") << healthy([](NetworkFacts &f) { f.card.multicast = false; }) << QStringList{"card problem: eth0 cannot multicast. Fix: sudo ip link set eth0 multicast on"};
        QTest::newRow("group routed through another card") << healthy([](NetworkFacts &f) { f.routes << route("eth1", "224.0.0.0", 4); }) << QStringList{"route warning: 239.0.0.100 is routed through eth1, not eth0."};
        QTest::newRow("no route to the group") << healthy([](NetworkFacts &f) { f.routes.removeFirst(); }) << QStringList{"route warning: No route leads to 239.0.0.100."};
        QTest::newRow("port held by a program") << healthy([](NetworkFacts &f) { f.portHolders = {PortHolder{PortHolder::Kind::Window, "tarnvale-manager", 4242, 1000}}; }) << QStringList{"port problem: UDP port 10088 is held by tarnvale-manager (process 4242), which then gets the devices' replies."};
        QTest::newRow("port held by another user's") << healthy([](NetworkFacts &f) { f.portHolders = {PortHolder{PortHolder::Kind::Unknown, "", 0, 1001}}; }) << QStringList{"port problem: UDP port 10088 is held by a program of user 1001 that cannot be read without root. Fix: find it with sudo ss -ulpn 'sport = :10088'"};
        QTest::newRow("nftables drops") << healthy([](NetworkFacts &f) { f.firewall.drops = {firewall::Drop{"nftables", "inet filter input", "policy drop", false}}; }) << QStringList{"firewall problem: nftables chain inet filter input drops UDP to port 10088 (policy drop). Fix: sudo nft insert rule inet filter input udp dport 10088 accept"};
        QTest::newRow("iptables may drop") << healthy([](NetworkFacts &f) { f.firewall.drops = {firewall::Drop{"iptables-legacy", "filter INPUT", "-A INPUT -s 10.0.0.0/8 -j DROP", true}}; }) << QStringList{"firewall warning: iptables-legacy chain INPUT may drop UDP to port 10088 (-A INPUT -s 10.0.0.0/8 -j DROP), depending on conditions that cannot be judged here. To be sure: sudo iptables-legacy -I INPUT -p udp --dport 10088 -j ACCEPT"};
        QTest::newRow("rules unreadable") << healthy([](NetworkFacts &f) { f.firewall.read.clear(); f.firewall.unreadable = "nft: Operation not permitted"; }) << QStringList{"firewall warning: The firewall rules could not be read (nft: Operation not permitted). Check by hand"};
        QTest::newRow("firewalld's zone closed") << healthy([](NetworkFacts &f) { f.firewall.firewalldRunning = true; f.firewall.firewalldZone = "public"; f.firewall.firewalldZoneOk = false; }) << QStringList{"firewall problem: firewalld's zone public does not let UDP to port 10088 in. Fix: sudo firewall-cmd --permanent --zone=public --add-port=10088/udp && sudo firewall-cmd --reload"};
        QTest::newRow("firewalld's zone unreadable") << healthy([](NetworkFacts &f) { f.firewall.firewalldRunning = true; f.firewall.firewalldZoneOk = false; f.firewall.firewalldError = "firewall-cmd: Authorization failed."; }) << QStringList{"firewall warning: firewalld is running, but the zone of eth0 could not be read (firewall-cmd: Authorization failed.)"};
        QTest::newRow("strict, default route through the card") << healthy([](NetworkFacts &f) { f.rpFilterAll = 1; }) << QStringList();
        QTest::newRow("strict, default route through another card") << healthy([](NetworkFacts &f) { f.rpFilterAll = 1; f.routes = {route("eth1", "0.0.0.0", 0), route("eth0", "239.0.0.0", 8)}; }) << QStringList{"rp_filter warning: Strict reverse-path filtering (all=1, eth0=0) drops the replies of devices outside 192.168.1.0/24, as the default route leads through another card. Fix: loose filtering, sudo sysctl -w net.ipv4.conf.all.rp_filter=2 net.ipv4.conf.eth0.rp_filter=2"};
        QTest::newRow("strict card, no default route") << healthy([](NetworkFacts &f) { f.rpFilterCard = 1; f.routes = {route("eth0", "239.0.0.0", 8)}; }) << QStringList{"rp_filter warning: Reverse-path filtering (all=0, eth0=1) drops the replies of devices outside 192.168.1.0/24; without a default route loose filtering does not help. Fix: sudo sysctl -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.eth0.rp_filter=0, or give eth0 a second address"};
        QTest::newRow("loose, default route through another card") << healthy([](NetworkFacts &f) { f.rpFilterAll = 2; f.routes = {route("eth1", "0.0.0.0", 0), route("eth0", "239.0.0.0", 8)}; }) << QStringList();
        QTest::newRow("loose, no default route") << healthy([](NetworkFacts &f) { f.rpFilterAll = 2; f.rpFilterCard = 1; f.routes = {route("eth0", "239.0.0.0", 8)}; }) << QStringList{"rp_filter warning: Reverse-path filtering (all=2, eth0=1) drops the replies of devices outside 192.168.1.0/24; without a default route"};
        QTest::newRow("rp_filter unreadable") << healthy([](NetworkFacts &f) { f.rpFilterCard = -1; }) << QStringList{"rp_filter warning: The reverse-path filter of eth0 could not be read."};
        QTest::newRow("Wi-Fi") << healthy([](NetworkFacts &f) { f.card.wireless = true; }) << QStringList{"wifi warning: eth0 is a wireless card: access points often filter multicast"};
        QTest::newRow("user-mode networking") << healthy([](NetworkFacts &f) { f.card.ipv4 = {Ipv4Net{ip("10.0.2.15"), 24}}; }) << QStringList{"vm problem: 10.0.2.15 is the address of a virtual machine's NAT (user-mode networking): multicast does not cross NAT. Fix: put the virtual network adapter in bridged mode"};
        QTest::newRow("VMware NAT") << healthy([](NetworkFacts &f) { f.hypervisor = "VMware"; f.routes = {route("eth0", "0.0.0.0", 0, "192.168.1.2")}; }) << QStringList{"vm problem: 192.168.1.10 is the address of a virtual machine's NAT (VMware)"};
        QTest::newRow("a bridged virtual machine") << healthy([](NetworkFacts &f) { f.hypervisor = "QEMU/KVM"; }) << QStringList();
        // clang-format on
    }

    void diagnose()
    {
        QFETCH(NetworkFacts, facts);
        QFETCH(QStringList, wrong);
        const QVector<DoctorFinding> findings = ::diagnose(facts);
        QStringList lines;
        for (const DoctorFinding &finding : findings) {
            const QString line = finding.line().simplified();
            if (finding.level != DoctorFinding::Level::Ok)
                lines << line;
            // Every text has its Chinese, as the window shows it.
            QVERIFY2(finding.line(true) != finding.line(), qPrintable(line));
        }
        QCOMPARE(lines.size(), wrong.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(wrong.at(i)), qPrintable(lines.at(i)));
        QCOMPARE(findings.size() > 1, facts.card.exists);
    }

    // ---- in this test's own network namespace ----

    void commandNamespace_data()
    {
        QTest::addColumn<QString>("setup"); // shell commands
        QTest::addColumn<QString>("tool");  // needed to set it up
        QTest::addColumn<bool>("holdPort");
        QTest::addColumn<bool>("devices"); // answering on dA
        QTest::addColumn<QString>("card"); // empty: the default, the first that is up, not loopback, with IPv4
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("wrong"); // the lines that are not ok, each up to a distinctive part

        const QString address = QStringLiteral("ip addr add 10.9.0.1/24 dev dA && ip route add default dev dA");
        const QString pid = QString::number(QCoreApplication::applicationPid());
        // clang-format off
        QTest::newRow("whole, devices answering") << "ip addr add 10.9.0.1/24 dev dA" << "" << false << true << "" << 0 << QStringList{"route warning: No route leads to 239.0.0.100.", "search ok: 3 devices answered"};
        QTest::newRow("a card without IPv4") << "true" << "" << false << false << "dA" << 14 << QStringList{"card problem: dA has no IPv4 address", "route warning: No route leads to 239.0.0.100.", "search warning: No search made"};
        QTest::newRow("the port held") << address << "" << true << false << "" << 14 << QStringList{"port problem: UDP port 10088 is held by tst_doctor (process " + pid + ")", "search problem: The search failed: UDP port 10088 is in use"};
        QTest::newRow("an nft rule drops the replies") << address + " && nft add table inet t && nft add chain inet t input '{ type filter hook input priority 0; }' && nft add rule inet t input udp dport 10088 drop" << "nft" << false << true << ""
            << 14 << QStringList{"firewall problem: nftables chain inet t input drops UDP to port 10088 (rule handle", "search problem: No device answered the search on dA."};
        QTest::newRow("an iptables rule drops the replies") << address + " && iptables -A INPUT -p udp --dport 10088 -j DROP" << "iptables" << false << true << ""
            << 14 << QStringList{"firewall problem: iptables chain INPUT drops UDP to port 10088 (-A INPUT -p udp -m udp --dport 10088 -j DROP)", "search problem: No device answered the search on dA."};
        // clang-format on
    }

    void commandNamespace()
    {
        QFETCH(QString, setup);
        QFETCH(QString, tool);
        QFETCH(bool, holdPort);
        QFETCH(bool, devices);
        QFETCH(QString, card);
        QFETCH(QStringList, wrong);

        if (!tool.isEmpty() && QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"}).isEmpty())
            QSKIP(qPrintable(tool + " is not installed (scripts/deps installs it)"));
        QVERIFY2(runShell(setup), qPrintable(setup));
        QUdpSocket holder; // without address sharing, as a program that wants the port for itself
        if (holdPort)
            QVERIFY2(holder.bind(QHostAddress::AnyIPv4, 10088, QUdpSocket::DontShareAddress),
                     qPrintable(holder.errorString()));
        DeviceSimulator::Options options;
        options.interfaceAddress = QHostAddress(QStringLiteral("10.9.0.1"));
        QString error;
        QVERIFY2(!devices || sim.start(DeviceSimulator::makeFleet(3), options, &error), qPrintable(error));

        FILE *out = std::tmpfile();
        FILE *err = std::tmpfile();
        const int status = runDoctor(card, out, err);
        const QByteArray text = readBack(out);
        qInfo("doctor --interface %s: exit %d\n%s", qPrintable(card), status, text.constData());
        QTEST(status, "status");
        // The lines that are not ok, and the search's, but for the firewall's when neither nft nor
        // iptables is installed; simplified to one blank between check and level.
        QStringList lines;
        for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if ((!line.contains(QLatin1String(" ok: ")) || line.startsWith(QLatin1String("search ")))
                && !line.contains(QLatin1String("neither nft nor iptables-save")))
                lines << line.simplified();
        }
        QCOMPARE(lines.size(), wrong.size());
        for (int i = 0; i < wrong.size(); ++i)
            QVERIFY2(lines.at(i).startsWith(wrong.at(i)), qPrintable(lines.at(i)));
        QCOMPARE(readBack(err), QByteArray());
    }

    void outputToAFullDisk()
    {
        FILE *full = std::fopen("/dev/full", "w");
        QVERIFY(full);
        FILE *err = std::tmpfile();
        QCOMPARE(runDoctor(QStringLiteral("nosuchcard"), full, err), 12);
        std::fclose(full);
        QCOMPARE(readBack(err),
                 QByteArray("tarnvale-cli: the findings could not be written: No space left on device\n"));
    }

private:
    QTranslator chinese;
    DeviceSimulatorThread sim;
    bool ownNamespace = false; // init() made sure that this process has a network namespace of its own
};

QTEST_GUILESS_MAIN(TestDoctor)
#include "tst_doctor.moc"
