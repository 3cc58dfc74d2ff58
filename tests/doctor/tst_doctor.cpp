// tarnvale-cli doctor: the readers of the system's listings and the decisions one case per
// row, then the whole command in this test's own network namespace, broken in the ways
// users meet (a card without IPv4, the port held, a firewall rule) and whole.

#include "cli/doctorcommand.h"
#include "cli/exitstatus.h"
#include "diagnosis/doctor.h"
#include "diagnosis/externaltool.h"
#include "diagnosis/networkcard.h"
#include "diagnosis/windowsfirewall.h"
#include "tests/common/testcore.h"

#include <QNetworkInterface>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QUdpSocket>
#include <QtTest>

#include <functional>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

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
           + policy + " [0:0]\n:OUTPUT ACCEPT [0:0]\n:user - [0:0]\n" + rules + "COMMIT\n";
}

// The drops of the search ("out ...") and of the replies, on card va.
QStringList drops(const QByteArray &listing)
{
    QStringList result;
    for (const firewall::Flow flow : {firewall::Flow::Request, firewall::Flow::Reply}) {
        const bool json = listing.startsWith('{');
        const firewall::Ruleset ruleset =
            json ? firewall::parseNftJson(listing, "va", flow) : firewall::parseIptablesSave(listing, "va", flow);
        for (const firewall::Drop &drop : firewall::drops(ruleset))
            result << (flow == firewall::Flow::Request ? "out " : "") + drop.chain + QStringLiteral(": ") + drop.where
                          + (drop.conditional ? " (conditional)" : "");
    }
    return result;
}

// ---- facts for the decisions ----

quint32 ip(const char *text)
{
    return QHostAddress(QLatin1String(text)).toIPv4Address();
}

KernelRoute through(const char *card, const char *table = "")
{
    return KernelRoute{KernelRoute::State::Found, QLatin1String(card), QLatin1String(table), {}, {}};
}

// eth0 with 192.168.1.10/24 and the group's route, nothing on the port, rules read, no filtering;
// then the change.
NetworkFacts healthy(const std::function<void(NetworkFacts &)> &change = {})
{
    NetworkFacts facts;
    facts.card = CardFacts{QStringLiteral("eth0"), {"lo", "eth0"}, true, true, true, false, true, false,
                           {Ipv4Subnet{Ipv4(ip("192.168.1.10")), 24}}};
    facts.routes.group = through("eth0");
    facts.routes.defaultGateway = ip("192.168.1.1");
    facts.firewall.read = QStringList{"nftables"};
    facts.reversePath.all = facts.reversePath.card = 0;
    facts.reversePath.neighbour = facts.reversePath.outsider = ReversePathFacts::Verdict::Passes;
    if (change)
        change(facts);
    return facts;
}

// ---- Windows Firewall ----

const QString kProgram = QStringLiteral("C:\\Program Files\\Tarnvale Manager\\tarnvale-cli.exe");

// "Private", "Private:off", "Public:all" (blocks all incoming), "Domain:open" (lets in by default).
firewall::WindowsProfile windowsProfile(const QString &text)
{
    const QString name = text.section(':', 0, 0);
    const QString how = text.section(':', 1);
    const int type = name == "Domain" ? 1 : name == "Private" ? 2 : 4;
    return firewall::WindowsProfile{name, type, how != "off", how == "all", how != "open"};
}

// "allow|block udp|tcp|any [PORTS] [off] [public] [subnet] [card] [program=PATH]", named R1, R2...
firewall::WindowsRule windowsRule(const QString &text, int number)
{
    firewall::WindowsRule rule;
    rule.name = QStringLiteral("R%1").arg(number);
    const QStringList words = text.split(' ');
    rule.allow = words.at(0) == "allow";
    rule.protocol = words.at(1) == "udp" ? 17 : words.at(1) == "tcp" ? 6 : 256;
    for (const QString &word : words.mid(2)) {
        if (word == "off")
            rule.enabled = false;
        else if (word == "public")
            rule.profiles = 4;
        else if (word == "subnet")
            rule.remoteAddresses = "LocalSubnet";
        else if (word == "card")
            rule.someCards = true;
        else if (word.startsWith("program="))
            rule.program = word.mid(8).replace('+', ' ');
        else
            rule.localPorts = word;
    }
    return rule;
}

// "Private: allowed by R1; Public: blocked by R2 (maybe)"
QString verdictsText(const QVector<firewall::WindowsVerdict> &verdicts)
{
    using Kind = firewall::WindowsVerdict::Kind;
    QStringList texts;
    for (const firewall::WindowsVerdict &v : verdicts) {
        const QString by = v.rule.isEmpty() ? QString() : " by " + v.rule;
        const QString kind = v.kind == Kind::Off ? "off" : v.kind == Kind::AllBlocked ? "all blocked"
                             : v.kind == Kind::Blocked ? "blocked" : v.kind == Kind::NotAllowed ? "not allowed" : "allowed";
        texts << v.profile + ": " + kind + by + (v.conditional ? " (maybe)" : "");
    }
    return texts.join("; ");
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
        // The devices sit behind dA in a network namespace of their own, as on another machine.
        deviceSide.start("unshare", {"--net", "sh", "-c", "ip link set lo up && echo ready && exec sleep 600"});
        QVERIFY(deviceSide.waitForReadyRead(5000));
        deviceNs = QStringLiteral("/proc/%1/ns/net").arg(deviceSide.processId());
        QVERIFY(runShell("ip link add dA type veth peer name dB netns " + QString::number(deviceSide.processId())
                         + " && ip link set dA up && ip addr add 10.9.0.1/24 dev dA"));
    }

    void cleanup()
    {
        QCoreApplication::removeTranslator(&chinese);
        if (!ownNamespace)
            return;
        ownNamespace = false;
        sim.stop();
        deviceSide.kill();
        deviceSide.waitForFinished();
        runShell("ip link del dA; ip link del dC; nft flush ruleset; iptables -F; ip rule del pref 50; ip rule del pref "
                 "100; ip rule del pref 1; ip route flush table 100; sysctl -qw net.ipv4.conf.all.rp_filter=0");
    }

    // The card that the doctor examines when none is named.
    void cardToExamine_data()
    {
        QTest::addColumn<QString>("cards"); // as networkCards() reads them
        QTest::addColumn<QString>("examined");
        // clang-format off
        QTest::newRow("the card a search takes") << "lo/urml4 eth0/u eth1/urm4" << "eth1";
        QTest::newRow("up with IPv4, multicast off") << "lo/urml4 eth0/ur4" << "eth0";
        QTest::newRow("up without IPv4") << "lo/urml4 eth0/urm" << "eth0";
        QTest::newRow("down") << "lo/urml4 eth0/m4" << "eth0";
        QTest::newRow("up, after one that is down") << "lo/urml4 eth0/m4 eth1/ur4" << "eth1";
        QTest::newRow("only loopback") << "lo/urml4" << "";
        // clang-format on
    }

    void cardToExamine()
    {
        QFETCH(QString, cards);
        QTEST(::cardToExamine(networkCards(cards.split(' '))), "examined");
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
        QTest::newRow("the output hook") << nft("drop", {"input:" + kDrop}, "output") << QStringList{"out inet t input: rule handle 1"};
        QTest::newRow("the card as the input, on output") << nft("accept", {"input:" + match(kIifname, R"("va")") + "," + kDrop}, "output") << QStringList();
        QTest::newRow("another card's output") << nft("accept", {"input:" + match(R"({"meta":{"key":"oifname"}})", R"("eth1")") + "," + kDrop}, "output") << QStringList();
        QTest::newRow("the card's ingress") << nft("accept", {"input:" + match(kUdpDport, port) + "," + kDrop}, R"(ingress","dev":"va)", "netdev") << QStringList{"netdev t input: rule handle 1"};
        QTest::newRow("another card's ingress") << nft("accept", {"input:" + kDrop}, "ingress\",\"dev\":[\"eth1\",\"eth2\"]", "netdev") << QStringList();
        QTest::newRow("an ingress whose card nft does not name") << nft("accept", {"input:" + kDrop}, "ingress", "netdev") << QStringList{"netdev t input: rule handle 1 (conditional)"};
        QTest::newRow("IPv4 by its link-layer protocol") << nft("accept", {"input:" + match(R"({"meta":{"key":"protocol"}})", R"("ip")") + "," + match(kUdpDport, port) + "," + kDrop}, R"(ingress","dev":"va)", "netdev") << QStringList{"netdev t input: rule handle 1"};
        QTest::newRow("an ip6 table") << nft("drop", {"input:" + kDrop}, "input", "ip6") << QStringList();
        QTest::newRow("iptables-nft's rules, read in full") << kRealIptablesNft << QStringList{"ip filter INPUT: rule handle 7 (conditional)"};
        QTest::newRow("let in by a user chain, as iptables-save prints it") << kRealIptablesSave << QStringList();
        QTest::newRow("the same without the port") << QByteArray(kRealIptablesSave).replace("10080:10090", "10080:10087") << QStringList{"filter INPUT: -A INPUT -s 10.0.0.0/8 -m comment --comment a b -j REJECT --reject-with icmp-port-unreachable (conditional)"};
        QTest::newRow("all but port 53") << iptables("ACCEPT", "-A INPUT -p udp ! --dport 53 -j DROP\n") << QStringList{"filter INPUT: -A INPUT -p udp ! --dport 53 -j DROP"};
        QTest::newRow("all but port 10088") << iptables("ACCEPT", "-A INPUT -p udp ! --dport 10088 -j DROP\n") << QStringList();
        QTest::newRow("a range, rejected") << iptables("ACCEPT", "-A INPUT -p udp --dport 10000:10100 -j REJECT --reject-with icmp-port-unreachable\n") << QStringList{"filter INPUT: -A INPUT -p udp --dport 10000:10100 -j REJECT --reject-with icmp-port-unreachable"};
        QTest::newRow("tcp") << iptables("ACCEPT", "-A INPUT -p tcp --dport 10088 -j DROP\n") << QStringList();
        QTest::newRow("another card") << iptables("ACCEPT", "-A INPUT -i eth1 -j DROP\n-A OUTPUT -o eth1 -j DROP\n") << QStringList();
        QTest::newRow("the search dropped") << iptables("ACCEPT", "-A OUTPUT -o va -p udp --dport 10086 -j DROP\n") << QStringList{"out filter OUTPUT: -A OUTPUT -o va -p udp --dport 10086 -j DROP"};
        QTest::newRow("new connections") << iptables("ACCEPT", "-A INPUT -m state --state NEW -j DROP\n") << QStringList{"filter INPUT: -A INPUT -m state --state NEW -j DROP"};
        QTest::newRow("invalid ones") << iptables("ACCEPT", "-A INPUT -m conntrack --ctstate INVALID -j DROP\n") << QStringList();
        QTest::newRow("policy DROP, logged only") << iptables("DROP", "-A INPUT -j LOG --log-prefix \"in: \"\n") << QStringList{"filter INPUT: policy drop"};
        QTest::newRow("policy DROP, let in by a user chain") << iptables("DROP", "-A INPUT -j user\n-A user -p udp --dport 10088 -j ACCEPT\n") << QStringList();
        QTest::newRow("policy DROP, back from a user chain") << iptables("DROP", "-A INPUT -j user\n-A user -p udp --dport 10088 -j RETURN\n-A user -j ACCEPT\n") << QStringList{"filter INPUT: policy drop"};
        QTest::newRow("every source and destination let in before a group's") << iptables("ACCEPT", "-A INPUT -s 0.0.0.0/0 -d 0.0.0.0/0 -j ACCEPT\n-A INPUT -p udp -d 239.0.0.0/8 -j DROP\n") << QStringList();
        QTest::newRow("a rate limit") << iptables("ACCEPT", "-A INPUT -p udp -m limit --limit 5/sec --limit-burst 10 -j DROP\n") << QStringList{"filter INPUT: -A INPUT -p udp -m limit --limit 5/sec --limit-burst 10 -j DROP (conditional)"};
        // clang-format on
    }

    // A listing in nft's JSON or as iptables-save prints it, and the drops read from it.
    void firewallRules()
    {
        QFETCH(QByteArray, listing);
        QTEST(drops(listing), "drops");
    }

    // nft 1.0.6 names the card of an ingress chain only in its text.
    void hookDevices()
    {
        const QByteArray text = "table netdev t {\n\tchain in {\n\t\ttype filter hook ingress device \"dA\" priority filter; "
                                "policy accept;\n\t\tudp dport 10088 drop\n\t}\n\n\tchain both {\n\t\ttype filter hook "
                                "ingress devices = { dA, dC } priority filter; policy accept;\n\t}\n}\ntable inet u {\n\t"
                                "chain input {\n\t\ttype filter hook input priority filter; policy accept;\n\t}\n}\n";
        const QHash<QString, QStringList> devices = firewall::parseNftHookDevices(text);
        QCOMPARE(devices.value("netdev t in"), QStringList{"dA"});
        QCOMPARE(devices.value("netdev t both"), QStringList({"dA", "dC"}));
        QCOMPARE(devices.size(), 2);
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

    // Windows Firewall's verdict on the replies to this program, as the firewall judges a datagram.
    void windowsFirewall_data()
    {
        QTest::addColumn<QString>("profiles");
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QString>("verdicts");
        // clang-format off
        QTest::newRow("no rule, blocked by default") << "Private" << QStringList() << "Private: not allowed";
        QTest::newRow("a list with a range that holds the port") << "Private" << QStringList{"allow udp 53,10000-10100"} << "Private: allowed by R1";
        QTest::newRow("a range beside the port") << "Private" << QStringList{"allow udp 10089-10100"} << "Private: not allowed";
        QTest::newRow("a keyword holds no port") << "Private" << QStringList{"allow udp RPC"} << "Private: not allowed";
        QTest::newRow("TCP alone") << "Private" << QStringList{"allow tcp 10088"} << "Private: not allowed";
        QTest::newRow("any protocol") << "Private" << QStringList{"allow any"} << "Private: allowed by R1";
        QTest::newRow("a rule turned off") << "Private" << QStringList{"allow udp 10088 off"} << "Private: not allowed";
        QTest::newRow("another profile's rule") << "Private" << QStringList{"allow udp 10088 public"} << "Private: not allowed";
        QTest::newRow("this program's rule, written otherwise") << "Private" << QStringList{"allow any program=c:/program+files/tarnvale+manager/TARNVALE-CLI.EXE"} << "Private: allowed by R1";
        QTest::newRow("another program's rule") << "Private" << QStringList{"allow any program=C:\\Tools\\other.exe"} << "Private: not allowed";
        QTest::newRow("a block rule wins") << "Private" << QStringList{"allow udp 10088", "block any program=C:\\Program+Files\\Tarnvale+Manager\\tarnvale-cli.exe"} << "Private: blocked by R2";
        QTest::newRow("a block rule for some senders") << "Private" << QStringList{"allow udp 10088", "block udp 10088 subnet"} << "Private: blocked by R2 (maybe)";
        QTest::newRow("let in only from the subnet") << "Private" << QStringList{"allow udp 10088 subnet"} << "Private: not allowed by R1 (maybe)";
        QTest::newRow("nothing let in, a block rule for some cards") << "Private" << QStringList{"block udp 10088 card"} << "Private: not allowed";
        QTest::newRow("the profile off") << "Private:off" << QStringList{"block any"} << "Private: off";
        QTest::newRow("all incoming blocked") << "Public:all" << QStringList{"allow udp 10088"} << "Public: all blocked";
        QTest::newRow("let in by default") << "Private:open" << QStringList() << "Private: allowed";
        QTest::newRow("let in by default, a block rule for some cards") << "Private:open" << QStringList{"block udp 10088 card"} << "Private: blocked by R1 (maybe)";
        QTest::newRow("two profiles in force") << "Domain Public:all" << QStringList{"allow udp 10088"} << "Domain: allowed by R1; Public: all blocked";
        // clang-format on
    }

    void windowsFirewall()
    {
        QFETCH(QString, profiles);
        QFETCH(QStringList, rules);
        QVector<firewall::WindowsProfile> inForce;
        for (const QString &profile : profiles.split(' '))
            inForce << windowsProfile(profile);
        QVector<firewall::WindowsRule> read;
        for (const QString &rule : rules)
            read << windowsRule(rule, read.size() + 1);
        QTEST(verdictsText(firewall::judgeWindowsFirewall(inForce, read, kProgram)), "verdicts");
    }

    // The doctor's fix adds the rule that the installer adds.
    void installersRule()
    {
        QFile installer(qEnvironmentVariable("ORV_SOURCE_DIR") + "/packaging/windows/installer.nsi");
        QVERIFY(installer.open(QIODevice::ReadOnly));
        QVERIFY(installer.readAll().contains("!define FIREWALL_RULE \"" + QByteArray(kWindowsFirewallRule) + "\"\n"));
    }

    void diagnose_data()
    {
        QTest::addColumn<NetworkFacts>("facts");
        QTest::addColumn<QStringList>("wrong"); // the lines that are not ok, each up to a distinctive part

        // clang-format off
        using V = ReversePathFacts::Verdict;
        QTest::newRow("only loopback") << healthy([](NetworkFacts &f) { f.card = CardFacts{"", {"lo"}}; }) << QStringList{"card problem: There is no network card but the loopback interface (known: lo). Fix:"};
        QTest::newRow("an unknown card") << healthy([](NetworkFacts &f) { f.card = CardFacts{"eth9", {"lo", "eth0"}}; }) << QStringList{"card problem: There is no network card named eth9 (known: lo, eth0)."};
        QTest::newRow("loopback") << healthy([](NetworkFacts &f) { f.card.name = "lo"; f.card.loopback = true; f.card.multicast = false; f.card.running = false; f.card.ipv4 = {Ipv4Subnet{Ipv4(ip("127.0.0.1")), 8}}; f.routes.group = through("lo"); }) << QStringList{"card problem: lo is the loopback interface"};
        QTest::newRow("down") << healthy([](NetworkFacts &f) { f.card.up = f.card.running = false; }) << QStringList{"card problem: eth0 is down. Fix: sudo ip link set eth0 up"};
        QTest::newRow("no link") << healthy([](NetworkFacts &f) { f.card.running = false; }) << QStringList{"card problem: eth0 has no link."};
        QTest::newRow("group in a policy rule's table") << healthy([](NetworkFacts &f) { f.routes.group = through("eth1", "100"); }) << QStringList{"route warning: 239.0.0.100 is routed through eth1, not eth0. The search still leaves through eth0, which it chooses itself; for other programs, Fix: sudo ip route replace 239.0.0.0/8 dev eth0 table 100"};
        QTest::newRow("no route, no rules") << healthy([](NetworkFacts &f) { f.routes.group = KernelRoute{KernelRoute::State::None, {}, {}, "Network is unreachable", {}}; }) << QStringList{"route warning: No route leads to 239.0.0.100 (Network is unreachable). The search still leaves through eth0, which it chooses itself; for other programs, Fix: sudo ip route replace 239.0.0.0/8 dev eth0"};
        QTest::newRow("port held by another user's") << healthy([](NetworkFacts &f) { f.portHolders = {PortHolder{PortHolder::Kind::Unknown, "", 0, 1001}}; }) << QStringList{"port problem: UDP port 10088 is held by a program of user 1001, which only root can name (sudo ss -ulpn 'sport = :10088'): close it, or end it. Fix: sudo fuser -k 10088/udp"};
        QTest::newRow("iptables may drop") << healthy([](NetworkFacts &f) { f.firewall.drops = {firewall::Drop{"iptables-legacy", firewall::Flow::Reply, "filter INPUT", "-A INPUT -s 10.0.0.0/8 -j DROP", true}}; }) << QStringList{"firewall warning: iptables-legacy chain INPUT may drop UDP to port 10088 (-A INPUT -s 10.0.0.0/8 -j DROP), the devices' replies, depending on conditions that cannot be judged here. To be sure, Fix: sudo iptables-legacy -I INPUT -p udp --dport 10088 -j ACCEPT"};
        QTest::newRow("nftables may drop the search") << healthy([](NetworkFacts &f) { f.firewall.drops = {firewall::Drop{"nftables", firewall::Flow::Request, "inet t out", "rule handle 4", true}}; }) << QStringList{"firewall warning: nftables chain inet t out may drop the search, UDP to port 10086 (rule handle 4), depending on conditions that cannot be judged here. To be sure, Fix: sudo nft insert rule inet t out udp dport 10086 accept"};
        QTest::newRow("iptables drops the search") << healthy([](NetworkFacts &f) { f.firewall.drops = {firewall::Drop{"iptables", firewall::Flow::Request, "filter OUTPUT", "-A OUTPUT -j DROP", false}}; }) << QStringList{"firewall problem: iptables chain OUTPUT drops the search, UDP to port 10086 (-A OUTPUT -j DROP), before it leaves. Fix: sudo iptables -I OUTPUT -p udp --dport 10086 -j ACCEPT"};
        QTest::newRow("rules unreadable") << healthy([](NetworkFacts &f) { f.firewall.read.clear(); f.firewall.unreadable = "nft: Operation not permitted"; }) << QStringList{"firewall warning: The firewall rules could not be read (nft: Operation not permitted). Check by hand"};
        QTest::newRow("firewalld's zone closed") << healthy([](NetworkFacts &f) { f.firewall.firewalldRunning = true; f.firewall.firewalldZone = "public"; f.firewall.firewalldZoneOk = false; }) << QStringList{"firewall problem: firewalld's zone public does not let UDP to port 10088 in. Fix: sudo firewall-cmd --permanent --zone=public --add-port=10088/udp && sudo firewall-cmd --reload"};
        QTest::newRow("firewalld's zone unreadable") << healthy([](NetworkFacts &f) { f.firewall.firewalldRunning = true; f.firewall.firewalldZoneOk = false; f.firewall.firewalldError = "firewall-cmd: Authorization failed."; }) << QStringList{"firewall warning: firewalld is running, but the zone of eth0 could not be read (firewall-cmd: Authorization failed.)"};
        QTest::newRow("outsiders dropped, nothing routes to them") << healthy([](NetworkFacts &f) { f.reversePath.card = 1; f.reversePath.all = 2; f.reversePath.outsider = V::Dropped; }) << QStringList{"rp_filter warning: Reverse-path filtering (all=2, eth0=1) drops the replies of devices outside 192.168.1.0/24, to which no route leads back through eth0. A route to their subnet (SUBNET) through eth0 would let them in as well: sudo ip route add SUBNET dev eth0. Fix: sudo sysctl -w net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.eth0.rp_filter=0"};
        QTest::newRow("outsiders dropped during the search") << healthy([](NetworkFacts &f) { f.reversePath.all = 1; f.reversePath.outsider = V::Dropped; f.reversePath.outsiderRouted = true; f.reversePath.droppedDuringSearch = 5; }) << QStringList{"rp_filter problem: Reverse-path filtering (all=1, eth0=0) dropped 5 replies during the search: those of devices outside 192.168.1.0/24, to which no route leads back through eth0. A route to their subnet (SUBNET) through eth0 would let them in as well: sudo ip route add SUBNET dev eth0. Fix: sudo sysctl -w net.ipv4.conf.eth0.rp_filter=2"};
        QTest::newRow("a card named with a dot") << healthy([](NetworkFacts &f) { f.card.name = "eth0.7"; f.routes.group = through("eth0.7"); f.reversePath.card = 1; f.reversePath.neighbour = V::Dropped; f.reversePath.neighbourRouted = true; }) << QStringList{"rp_filter problem: Reverse-path filtering (all=0, eth0.7=1) drops the replies that reach eth0.7 even from its own subnet 192.168.1.0/24: the kernel routes the answers to them through another card (ip rule, ip route show table all). Fix: sudo sysctl -w net.ipv4.conf.eth0/7.rp_filter=2"};
        QTest::newRow("rp_filter unreadable") << healthy([](NetworkFacts &f) { f.reversePath.card = -1; }) << QStringList{"rp_filter warning: The reverse-path filter of eth0 could not be read."};
        QTest::newRow("Wi-Fi") << healthy([](NetworkFacts &f) { f.card.wireless = true; }) << QStringList{"wifi warning: eth0 is a wireless card: access points often filter multicast"};
        QTest::newRow("user-mode networking") << healthy([](NetworkFacts &f) { f.card.ipv4 = {Ipv4Subnet{Ipv4(ip("10.0.2.15")), 24}}; }) << QStringList{"vm problem: 10.0.2.15 is the address of a virtual machine's NAT (user-mode networking): multicast does not cross NAT. Fix: put the virtual network adapter in bridged mode"};
        QTest::newRow("VMware NAT") << healthy([](NetworkFacts &f) { f.hypervisor = "VMware"; f.routes.defaultGateway = ip("192.168.1.2"); }) << QStringList{"vm problem: 192.168.1.10 is the address of a virtual machine's NAT (VMware)"};
        QTest::newRow("a bridged virtual machine") << healthy([](NetworkFacts &f) { f.hypervisor = "QEMU/KVM"; }) << QStringList();
        // On Windows: its commands, and no reverse-path filter.
        using WV = firewall::WindowsVerdict;
        const auto windows = [](const std::function<void(NetworkFacts &)> &change = {}) {
            return healthy([&](NetworkFacts &f) {
                f.system = HostSystem::Windows;
                f.firewall.read = QStringList{"Windows Firewall"};
                f.firewall.windows = {WV{WV::Kind::Allowed, "Private", "Tarnvale", false}};
                f.reversePath = ReversePathFacts();
                if (change)
                    change(f);
            });
        };
        QTest::newRow("Windows: not connected") << windows([](NetworkFacts &f) { f.card.up = f.card.running = false; }) << QStringList{"card problem: eth0 is not connected. Fix: check its cable"};
        QTest::newRow("Windows: no IPv4") << windows([](NetworkFacts &f) { f.card.ipv4.clear(); }) << QStringList{"card problem: eth0 has no IPv4 address, so nothing can be sent through it; give it a free address of the devices' subnet (ADDRESS) with that subnet's mask (MASK). Fix: netsh interface ipv4 set address name=\"eth0\" static ADDRESS MASK"};
        QTest::newRow("Windows: the group through another card") << windows([](NetworkFacts &f) { f.routes.group = through("Wi-Fi"); }) << QStringList{"route warning: 239.0.0.100 is routed through Wi-Fi, not eth0. The search still leaves through eth0, which it chooses itself; for other programs, Fix: netsh interface ipv4 add route prefix=239.0.0.0/8 interface=\"eth0\" metric=1"};
        QTest::newRow("Windows: port held") << windows([](NetworkFacts &f) { f.portHolders = {PortHolder{PortHolder::Kind::Other, "svchost.exe", 4242, 0}}; }) << QStringList{"port problem: UDP port 10088 is held by svchost.exe (process 4242), which then gets the devices' replies: close that program, or end it. Fix: taskkill /PID 4242 /F"};
        QTest::newRow("Windows: port held, the program gone") << windows([](NetworkFacts &f) { f.portHolders = {PortHolder{PortHolder::Kind::Unknown, "", 4242, 0}}; }) << QStringList{"port problem: UDP port 10088 is held by process 4242, which then gets the devices' replies: close that program, or end it. Fix: taskkill /PID 4242 /F"};
        QTest::newRow("Windows: no rule lets the replies in") << windows([](NetworkFacts &f) { f.firewall.windows = {WV{WV::Kind::NotAllowed, "Public", "", false}}; }) << QStringList{"firewall problem: Windows Firewall (Public profile) blocks UDP to port 10088, the devices' replies: no rule lets them in. Fix: netsh advfirewall firewall add rule name=\"Tarnvale Manager (device replies, UDP 10088)\" dir=in action=allow protocol=UDP localport=10088"};
        QTest::newRow("Windows: a block rule") << windows([](NetworkFacts &f) { f.firewall.windows = {WV{WV::Kind::Blocked, "Private", "tarnvale-manager.exe", false}}; }) << QStringList{"firewall problem: Windows Firewall's rule \"tarnvale-manager.exe\" (Private profile) blocks UDP to port 10088, the devices' replies; a block rule wins over every allow rule. Fix: netsh advfirewall firewall set rule name=\"tarnvale-manager.exe\" new enable=no"};
        QTest::newRow("Windows: all incoming blocked") << windows([](NetworkFacts &f) { f.firewall.windows = {WV{WV::Kind::Off, "Domain", "", false}, WV{WV::Kind::AllBlocked, "Public", "", false}}; }) << QStringList{"firewall problem: Windows Firewall blocks all incoming connections in the Public profile, whatever its rules allow, and so the devices' replies (UDP to port 10088). Fix: netsh advfirewall set publicprofile firewallpolicy blockinbound,allowoutbound"};
        QTest::newRow("Windows: the firewall unreadable") << windows([](NetworkFacts &f) { f.firewall.windows.clear(); f.firewall.unreadable = "the rules: 0x80004001"; }) << QStringList{"firewall warning: Windows Firewall could not be read (the rules: 0x80004001)."};
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

    // A tool that hangs is given up on after three seconds.
    void toolTimeout()
    {
        QByteArray output;
        QString error;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!runTool(findTool("sleep"), {"20"}, &output, &error));
        QVERIFY_DURATION(clock.elapsed(), 3000, 3900);
        QCOMPARE(error, "sleep: no answer within 3000 ms");
    }

    // ---- in this test's own network namespace ----

    // Each setup broken for real; the doctor names the cause, its fix is applied as printed (a
    // word in capitals filled in), and the doctor runs again, now finding the devices.
    void commandNamespace_data()
    {
        QTest::addColumn<QString>("setup");   // in this namespace; $HOLD: a command line holding the port
        QTest::addColumn<QString>("device");  // the devices' address behind dB
        QTest::addColumn<QString>("user");    // who runs the doctor, the holder and the fix
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("finding"); // the start of a line
        QTest::addColumn<QString>("fill");    // PLACEHOLDER=value in the fix

        const QString nft = "nft add table %1 t && nft add chain %1 t %2 '{ type filter hook %3 priority 0; }' && nft add rule %1 t %2 udp dport %4 drop";
        const QString otherCard = "ip link add dC type veth peer name dD && ip link set dC up && ip link set dD up && ip addr add 10.7.0.1/24 dev dC && sysctl -qw net.ipv4.conf.all.rp_filter=1 && ";
        const QString held = "port problem: UDP port 10088 is held by tarnvale-cli (process ";
        const QString nobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups";
        // clang-format off
        QTest::newRow("nftables input drop") << nft.arg("inet", "in", "input", "10088") << "10.9.0.5/24" << "" << 14 << "firewall problem: nftables chain inet t in drops UDP to port 10088 (rule handle 2), the devices' replies. Fix: sudo nft insert rule inet t in udp dport 10088 accept" << "";
        QTest::newRow("netdev ingress drop") << nft.arg("netdev", "in", "ingress device dA", "10088") << "10.9.0.5/24" << "" << 14 << "firewall problem: nftables chain netdev t in drops UDP to port 10088 (rule handle 2), the devices' replies. Fix: sudo nft insert rule netdev t in udp dport 10088 accept" << "";
        QTest::newRow("output drop") << nft.arg("inet", "out", "output", "10086") << "10.9.0.5/24" << "" << 14 << "firewall problem: nftables chain inet t out drops the search, UDP to port 10086 (rule handle 2), before it leaves. Fix: sudo nft insert rule inet t out udp dport 10086 accept" << "";
        QTest::newRow("iptables drop") << "iptables -A INPUT -p udp --dport 10088 -j DROP" << "10.9.0.5/24" << "" << 14 << "firewall problem: iptables chain INPUT drops UDP to port 10088 (-A INPUT -p udp -m udp --dport 10088 -j DROP), the devices' replies. Fix: sudo iptables -I INPUT -p udp --dport 10088 -j ACCEPT" << "";
        QTest::newRow("multicast off") << "ip link set dA multicast off" << "10.9.0.5/24" << "" << 14 << "card problem: dA cannot multicast. Fix: sudo ip link set dA multicast on" << "";
        QTest::newRow("no IPv4") << "ip addr flush dev dA" << "10.9.0.5/24" << "" << 14 << "card problem: dA has no IPv4 address, so nothing can be sent through it; give it a free address of the devices' subnet (ADDRESS) with that subnet's prefix length (PREFIX). Fix: sudo ip addr add ADDRESS/PREFIX dev dA" << "ADDRESS/PREFIX=10.9.0.1/24";
        QTest::newRow("port held") << "$HOLD" << "10.9.0.5/24" << "" << 14 << held << "";
        QTest::newRow("port held by a user's command line") << "$HOLD" << "10.9.0.5/24" << nobody << 14 << held << "";
        QTest::newRow("strict rp_filter, a device on another subnet") << otherCard + "ip route add default dev dC" << "10.8.0.5/24" << "" << 14 << "rp_filter problem: Reverse-path filtering (all=1, dA=0) dropped " << "";
        QTest::newRow("policy routing past strict rp_filter") << otherCard + "ip route add default dev dC table 100 && ip rule add lookup 100 pref 100" << "10.9.0.5/24" << "" << 14 << "rp_filter problem: Reverse-path filtering (all=1, dA=0) drops the replies that reach dA even from its own subnet 10.9.0.0/24: the kernel routes the answers to them through another card (ip rule, ip route show table all). Fix: sudo sysctl -w net.ipv4.conf.dA.rp_filter=2" << "";
        QTest::newRow("a policy rule keeps the group from its route") << "ip route add 239.0.0.0/8 dev dA && ip rule add to 239.0.0.0/8 prohibit pref 50" << "10.9.0.5/24" << "" << 0 << "route warning: No route leads to 239.0.0.100 (Permission denied). The search still leaves through dA, which it chooses itself; for other programs, Fix: sudo ip route replace 239.0.0.0/8 dev dA && sudo ip rule add to 239.0.0.0/8 lookup main priority 1" << "";
        // clang-format on
    }

    void commandNamespace()
    {
        QFETCH(QString, setup);
        QFETCH(QString, device);
        QFETCH(QString, user);
        QFETCH(QString, finding);
        QFETCH(QString, fill);

        const QString mac = QNetworkInterface::interfaceFromName("dA").hardwareAddress();
        QVERIFY(runShell("nsenter --net=" + deviceNs + " sh -c 'ip link set dB up && ip addr add " + device
                         + " dev dB && ip route add default dev dB && ip neigh replace 10.9.0.1 lladdr " + mac
                         + " dev dB'"));
        // Login is never answered, so that a command line that holds the port holds it a while.
        QVector<SimDevice> fleet = DeviceSimulator::makeFleet(3);
        for (SimDevice &one : fleet)
            one.overrides.insert("login", SimDevice::Override{SimDevice::Override::NoReply, {}});
        QVERIFY(startDevices(fleet, device.section('/', 0, 0)));
        const QString hold = "echo secret1 | " + user + " " ORV_CLI_PROGRAM " set-ip " + fleet.first().sn
                             + " 10.9.0.77 --password-file - >/dev/null 2>&1 &";
        QVERIFY2(runShell(QString(setup).replace("$HOLD", hold)), qPrintable(setup));
        if (setup.contains("$HOLD"))
            QTRY_VERIFY_WITH_TIMEOUT(!findPortHolders(10088).isEmpty(), 10000);

        QString out;
        QTEST(doctor(user, &out), "status");
        const QStringList lines = out.split('\n');
        const auto found = std::find_if(lines.cbegin(), lines.cend(), [&](const QString &l) { return l.simplified().startsWith(finding); });
        QVERIFY2(found != lines.cend(), qPrintable(out));

        QString fix = found->section("Fix: ", -1).remove("sudo ");
        if (!fill.isEmpty())
            fix.replace(fill.section('=', 0, 0), fill.section('=', 1));
        // The fix runs as root here: a kill may end only the holder that this test started.
        if (fix.startsWith("kill ")) {
            const QVector<PortHolder> holders = findPortHolders(10088);
            QVERIFY2(holders.size() == 1 && fix == "kill " + QString::number(holders.first().pid), qPrintable(fix));
        }
        QVERIFY2(runShell(user + " sh -c '" + fix + "'"), qPrintable(fix));
        QTRY_VERIFY_WITH_TIMEOUT(findPortHolders(10088).isEmpty(), 10000); // a killed holder ends its request first
        QCOMPARE(doctor(user, &out), 0);
        out = out.simplified();
        QVERIFY2(out.contains("search ok: 3 devices answered"), qPrintable(out));
        QVERIFY2(!out.contains(finding.section(':', 0, 0) + ':'), qPrintable(out));
    }

    // The window asks after its own search, whose socket still holds the port: no problem of its.
    void ownSocketNamespace()
    {
        QUdpSocket own;
        QVERIFY(own.bind(QHostAddress::AnyIPv4, 10088, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        const QString report = findingsReport(examineNetwork("dA"), false);
        QVERIFY2(report.contains(QRegularExpression("port +ok: UDP port 10088 is free")), qPrintable(report));
    }

    void outputToAFullDisk()
    {
        QTemporaryDir dir;
        FILE *full = std::fopen("/dev/full", "w");
        FILE *err = std::fopen(qPrintable(dir.filePath("err")), "w");
        QVERIFY(full && err);
        QCOMPARE(runDoctor(QStringLiteral("nosuchcard"), full, err), int(ExitOutput));
        std::fclose(full);
        std::fclose(err);
        QCOMPARE(contents(dir.filePath("err")), QByteArray("tarnvale-cli: the findings could not be written: No space left on device\n"));
    }

private:
    // The simulator's sockets are made in the devices' namespace: its thread starts there.
    bool startDevices(const QVector<SimDevice> &fleet, const QString &address)
    {
        const int here = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int there = ::open(qPrintable(deviceNs), O_RDONLY | O_CLOEXEC);
        DeviceSimulator::Options options;
        options.interfaceAddress = QHostAddress(address);
        QString error;
        const bool started = here >= 0 && there >= 0 && ::setns(there, CLONE_NEWNET) == 0 && sim.start(fleet, options, &error);
        const bool back = ::setns(here, CLONE_NEWNET) == 0;
        ::close(here);
        ::close(there);
        if (!started || !back)
            qWarning("the devices could not be started: %s", qPrintable(error));
        return started && back;
    }

    // tarnvale-cli doctor run by `user` (empty: this test's); its exit status.
    static int doctor(const QString &user, QString *out)
    {
        QProcess process;
        process.start("sh", {"-c", user + R"( "$0" doctor)", ORV_CLI_PROGRAM});
        if (!process.waitForFinished(60000))
            return -1;
        *out = QString::fromUtf8(process.readAllStandardOutput());
        qInfo("doctor: exit %d\n%s", process.exitCode(), qPrintable(*out));
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QTranslator chinese;
    QProcess deviceSide; // holds the devices' network namespace
    QString deviceNs;
    DeviceSimulatorThread sim;
    bool ownNamespace = false; // init() made sure that this process has a network namespace of its own
};

QTEST_GUILESS_MAIN(TestDoctor)
#include "tst_doctor.moc"
