#include "diagnosis/firewallrules.h"

#include "devicelink/devicemessages.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace firewall {

namespace {

constexpr int kMaxJumpDepth = 16; // chains that jump in a circle are not followed for ever

Applies both(Applies a, Applies b)
{
    if (a == Applies::No || b == Applies::No)
        return Applies::No;
    return a == Applies::Maybe || b == Applies::Maybe ? Applies::Maybe : Applies::Yes;
}

Applies fromBool(bool holds)
{
    return holds ? Applies::Yes : Applies::No;
}

// The datagram that the rules are followed for: a reply arrives on the card for the local port,
// the search leaves through it for the devices' port.
struct Packet
{
    Flow flow;
    QString card;
    int port() const { return flow == Flow::Reply ? kLocalPort : kDevicePort; }
};

// An interface name as nftables and iptables compare it: a trailing '*' or '+' matches any rest.
bool interfaceMatches(QString pattern, const QString &card)
{
    if (pattern.endsWith(QLatin1Char('*')) || pattern.endsWith(QLatin1Char('+'))) {
        pattern.chop(1);
        return card.startsWith(pattern);
    }
    return pattern == card;
}

bool isUdp(const QString &protocol)
{
    return protocol == QLatin1String("udp") || protocol == QLatin1String("17");
}

// ---- nftables ----

// Whether a value of a match's right-hand side contains `wanted`; Maybe for a named set.
Applies nftContains(const QJsonValue &right, const std::function<bool(const QString &)> &equals,
                    const std::function<bool(int, int)> &inRange)
{
    if (right.isString()) {
        const QString text = right.toString();
        return text.startsWith(QLatin1Char('@')) ? Applies::Maybe : fromBool(equals(text));
    }
    if (right.isDouble())
        return fromBool(equals(QString::number(right.toInt())));
    if (right.isArray()) {
        Applies found = Applies::No;
        for (const QJsonValue &element : right.toArray()) {
            const Applies one = nftContains(element, equals, inRange);
            if (one == Applies::Yes)
                return one;
            if (one == Applies::Maybe)
                found = one;
        }
        return found;
    }
    const QJsonObject object = right.toObject();
    if (object.contains(QLatin1String("set")))
        return nftContains(object.value(QLatin1String("set")), equals, inRange);
    if (object.contains(QLatin1String("range"))) {
        const QJsonArray bounds = object.value(QLatin1String("range")).toArray();
        return fromBool(inRange && bounds.size() == 2 && inRange(bounds.at(0).toInt(), bounds.at(1).toInt()));
    }
    return Applies::Maybe;
}

Applies nftMatch(const QJsonObject &match, const Packet &packet)
{
    const QString op = match.value(QLatin1String("op")).toString(QStringLiteral("=="));
    const QJsonObject left = match.value(QLatin1String("left")).toObject();
    const QJsonValue right = match.value(QLatin1String("right"));

    std::function<bool(const QString &)> equals;
    std::function<bool(int, int)> inRange;
    const int wanted = packet.port();
    const auto port = [&] {
        equals = [wanted](const QString &value) { return value == QString::number(wanted); };
        inRange = [wanted](int low, int high) { return low <= wanted && wanted <= high; };
    };
    if (left.contains(QLatin1String("payload"))) {
        const QJsonObject payload = left.value(QLatin1String("payload")).toObject();
        const QString protocol = payload.value(QLatin1String("protocol")).toString();
        const QString field = payload.value(QLatin1String("field")).toString();
        if ((protocol == QLatin1String("udp") || protocol == QLatin1String("th")) && field == QLatin1String("dport")) {
            port();
            if (op == QLatin1String("<") || op == QLatin1String("<=") || op == QLatin1String(">")
                || op == QLatin1String(">=")) {
                const int bound = right.toInt(-1);
                if (bound < 0)
                    return Applies::Maybe;
                if (op == QLatin1String("<"))
                    return fromBool(wanted < bound);
                if (op == QLatin1String("<="))
                    return fromBool(wanted <= bound);
                return fromBool(op == QLatin1String(">") ? wanted > bound : wanted >= bound);
            }
        } else if ((protocol == QLatin1String("ip") && field == QLatin1String("protocol"))) {
            equals = isUdp;
        } else if (protocol == QLatin1String("ip6")) {
            return Applies::No; // the replies are IPv4
        } else if (!protocol.isEmpty() && protocol != QLatin1String("udp") && protocol != QLatin1String("th")
                   && protocol != QLatin1String("ip") && protocol != QLatin1String("ether")
                   && protocol != QLatin1String("vlan")) {
            return Applies::No; // a header of another transport (tcp, icmp, sctp, ...): a reply has none
        } else {
            return Applies::Maybe;
        }
    } else if (left.contains(QLatin1String("meta"))) {
        const QString key = left.value(QLatin1String("meta")).toObject().value(QLatin1String("key")).toString();
        // A reply has come in through the card and is going nowhere; the search goes out
        // through it and came in through none.
        const bool in = key == QLatin1String("iifname") || key == QLatin1String("iif");
        const bool out = key == QLatin1String("oifname") || key == QLatin1String("oif");
        const bool reply = packet.flow == Flow::Reply;
        if (key == QLatin1String("l4proto"))
            equals = isUdp;
        else if (key == QLatin1String("protocol")) // the link layer's: ip, ip6, arp
            equals = [](const QString &value) { return value == QLatin1String("ip"); };
        else if ((in && reply) || (out && !reply))
            equals = [&packet](const QString &value) { return interfaceMatches(value, packet.card); };
        else if (in || out)
            equals = [](const QString &) { return false; };
        else if (key == QLatin1String("nfproto"))
            equals = [](const QString &value) { return value == QLatin1String("ipv4"); };
        else if (key == QLatin1String("pkttype") && reply)
            equals = [](const QString &value) { return value == QLatin1String("host"); };
        else
            return Applies::Maybe;
    } else if (left.contains(QLatin1String("ct"))) {
        if (left.value(QLatin1String("ct")).toObject().value(QLatin1String("key")).toString() != QLatin1String("state"))
            return Applies::Maybe;
        equals = [](const QString &value) { return value == QLatin1String("new"); };
    } else {
        return Applies::Maybe; // fib, rt, socket, numgen, ...
    }

    const Applies contained = nftContains(right, equals, inRange);
    if (op == QLatin1String("==") || op == QLatin1String("in"))
        return contained;
    if (op == QLatin1String("!="))
        return contained == Applies::Maybe ? contained : fromBool(contained == Applies::No);
    return Applies::Maybe;
}

Rule nftRule(const QJsonObject &rule, const QString &tablePrefix, const Packet &packet)
{
    Rule result;
    result.where = QStringLiteral("rule handle %1").arg(rule.value(QLatin1String("handle")).toInt());
    for (const QJsonValue &value : rule.value(QLatin1String("expr")).toArray()) {
        const QJsonObject statement = value.toObject();
        const QString kind = statement.keys().value(0);
        const QJsonValue body = statement.value(kind);
        if (kind == QLatin1String("match")) {
            result.applies = both(result.applies, nftMatch(body.toObject(), packet));
        } else if (kind == QLatin1String("accept")) {
            result.verdict = Verdict::Accept;
        } else if (kind == QLatin1String("drop") || kind == QLatin1String("reject")) {
            result.verdict = Verdict::Drop;
        } else if (kind == QLatin1String("return")) {
            result.verdict = Verdict::Return;
        } else if (kind == QLatin1String("jump") || kind == QLatin1String("goto")) {
            result.verdict = kind == QLatin1String("jump") ? Verdict::Jump : Verdict::Goto;
            result.target = tablePrefix + body.toObject().value(QLatin1String("target")).toString();
        } else if (kind == QLatin1String("xt")) {
            // A match or target of iptables-nft that nft cannot show: only its name is known.
            const QJsonObject xt = body.toObject();
            const QString name = xt.value(QLatin1String("name")).toString();
            if (xt.value(QLatin1String("type")).toString() == QLatin1String("target"))
                result.verdict = name == QLatin1String("REJECT") ? Verdict::Drop : result.verdict;
            else if (name != QLatin1String("comment"))
                result.applies = both(result.applies, Applies::Maybe);
        } else if (kind == QLatin1String("limit") || kind == QLatin1String("quota")) {
            result.applies = both(result.applies, Applies::Maybe);
        }
    }
    return result;
}

// ---- iptables-save ----

QStringList splitArguments(const QString &line)
{
    QStringList words;
    QString word;
    bool quoted = false;
    bool started = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && quoted && i + 1 < line.size()) {
            word += line.at(++i);
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            started = true;
        } else if (c.isSpace() && !quoted) {
            if (started)
                words << word;
            word.clear();
            started = false;
        } else {
            word += c;
            started = true;
        }
    }
    if (started)
        words << word;
    return words;
}

// "10088", "10080:10090", "53,10080:10090" (multiport).
bool portListContains(const QString &list, int port)
{
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QStringList bounds = item.split(QLatin1Char(':'));
        bool lowOk = false;
        bool highOk = false;
        const int low = bounds.first().isEmpty() ? 0 : bounds.first().toInt(&lowOk);
        const int high = bounds.size() < 2 ? low : bounds.at(1).isEmpty() ? 65535 : bounds.at(1).toInt(&highOk);
        lowOk = lowOk || bounds.first().isEmpty();
        highOk = highOk || bounds.size() < 2 || bounds.at(1).isEmpty();
        if (lowOk && highOk && low <= port && port <= high)
            return true;
    }
    return false;
}

Rule iptablesRule(const QStringList &words, const Packet &packet, const QStringList &chains)
{
    Rule rule;
    rule.where = words.join(QLatin1Char(' '));
    bool negate = false;
    for (int i = 2; i < words.size(); ++i) {
        const QString &option = words.at(i);
        if (option == QLatin1String("!")) {
            negate = true;
            continue;
        }
        const QString value = i + 1 < words.size() ? words.at(i + 1) : QString();
        Applies applies = Applies::Yes;
        bool takesValue = true;
        if (option == QLatin1String("-p") || option == QLatin1String("--protocol")) {
            applies = fromBool(isUdp(value) || value == QLatin1String("all") || value == QLatin1String("0"));
        } else if (option == QLatin1String("--dport") || option == QLatin1String("--destination-port")
                   || option == QLatin1String("--dports") || option == QLatin1String("--destination-ports")
                   || option == QLatin1String("--ports")) {
            applies = fromBool(portListContains(value, packet.port()));
        } else if (option == QLatin1String("-i") || option == QLatin1String("--in-interface")) {
            applies = fromBool(packet.flow == Flow::Reply && interfaceMatches(value, packet.card));
        } else if (option == QLatin1String("-o") || option == QLatin1String("--out-interface")) {
            applies = fromBool(packet.flow == Flow::Request && interfaceMatches(value, packet.card));
        } else if (option == QLatin1String("--state") || option == QLatin1String("--ctstate")) {
            applies = fromBool(value.split(QLatin1Char(',')).contains(QLatin1String("NEW")));
        } else if (option == QLatin1String("--pkt-type")) {
            applies = packet.flow == Flow::Reply ? fromBool(value == QLatin1String("host")) : Applies::Maybe;
        } else if (option == QLatin1String("-s") || option == QLatin1String("--source") || option == QLatin1String("-d")
                   || option == QLatin1String("--destination")) {
            applies = value == QLatin1String("0.0.0.0/0") ? Applies::Yes : Applies::Maybe;
        } else if (option == QLatin1String("-m") || option == QLatin1String("--match")
                   || option == QLatin1String("--comment")) {
            // the module's own options follow; a comment changes nothing
        } else if (option == QLatin1String("-j") || option == QLatin1String("-g")) {
            if (value == QLatin1String("ACCEPT"))
                rule.verdict = Verdict::Accept;
            else if (value == QLatin1String("DROP") || value == QLatin1String("REJECT"))
                rule.verdict = Verdict::Drop;
            else if (value == QLatin1String("RETURN"))
                rule.verdict = Verdict::Return;
            else if (chains.contains(value)) {
                rule.verdict = option == QLatin1String("-j") ? Verdict::Jump : Verdict::Goto;
                rule.target = QStringLiteral("filter ") + value;
            }
            break; // what follows are the target's options (--reject-with, --log-prefix)
        } else if (option.startsWith(QLatin1Char('-'))) {
            applies = Applies::Maybe;
            // An option of a module may take several values: skip all up to the next option.
            int last = i;
            while (last + 1 < words.size() && !words.at(last + 1).startsWith(QLatin1Char('-'))
                   && words.at(last + 1) != QLatin1String("!"))
                ++last;
            i = last;
            takesValue = false;
        }
        if (negate && applies != Applies::Maybe)
            applies = fromBool(applies == Applies::No);
        negate = false;
        rule.applies = both(rule.applies, applies);
        if (takesValue)
            ++i;
    }
    return rule;
}

// ---- following a reply ----

struct Walk
{
    enum End { FellThrough, Accepted, Dropped } end = FellThrough;
    bool uncertain = false; // a conditional accept or return was passed
    QString maybeDropAt;    // the first conditional drop passed
    QString dropAt;
};

Walk walkChain(const Ruleset &ruleset, const Chain &chain, int depth)
{
    Walk walk;
    for (const Rule &rule : chain.rules) {
        if (rule.applies == Applies::No || rule.verdict == Verdict::None)
            continue;
        const bool maybe = rule.applies == Applies::Maybe;
        if (rule.verdict == Verdict::Accept || rule.verdict == Verdict::Drop) {
            if (maybe) {
                walk.uncertain = walk.uncertain || rule.verdict == Verdict::Accept;
                if (rule.verdict == Verdict::Drop && walk.maybeDropAt.isEmpty())
                    walk.maybeDropAt = rule.where;
                continue;
            }
            walk.end = rule.verdict == Verdict::Accept ? Walk::Accepted : Walk::Dropped;
            walk.dropAt = rule.where;
            return walk;
        }
        if (rule.verdict == Verdict::Return) {
            walk.uncertain = walk.uncertain || maybe;
            if (!maybe)
                break;
            continue;
        }
        const auto target = std::find_if(ruleset.chains.cbegin(), ruleset.chains.cend(),
                                          [&rule](const Chain &c) { return c.name == rule.target; });
        if (target == ruleset.chains.cend() || depth >= kMaxJumpDepth) {
            walk.uncertain = true;
            continue;
        }
        const Walk inner = walkChain(ruleset, *target, depth + 1);
        walk.uncertain = walk.uncertain || inner.uncertain || (maybe && inner.end == Walk::Accepted);
        if (walk.maybeDropAt.isEmpty())
            walk.maybeDropAt = maybe && inner.end == Walk::Dropped ? inner.dropAt : inner.maybeDropAt;
        if (!maybe && inner.end != Walk::FellThrough) {
            walk.end = inner.end;
            walk.dropAt = inner.dropAt;
            return walk;
        }
        if (!maybe && rule.verdict == Verdict::Goto)
            break; // a goto does not come back here
    }
    // A base chain's policy decides whatever its rules let through, however they were left.
    if (chain.base && chain.dropPolicy) {
        walk.end = Walk::Dropped;
        walk.dropAt = QStringLiteral("policy drop");
    }
    return walk;
}

} // namespace

Ruleset parseNftJson(const QByteArray &json, const QString &card, Flow flow, const QStringList &skipTables,
                     const QHash<QString, QStringList> &hookDevices)
{
    const Packet packet{flow, card};
    Ruleset ruleset{QStringLiteral("nftables"), flow, {}};
    const QJsonArray items = QJsonDocument::fromJson(json).object().value(QLatin1String("nftables")).toArray();
    const auto tableOf = [](const QJsonObject &o) {
        return o.value(QLatin1String("family")).toString() + QLatin1Char(' ')
               + o.value(QLatin1String("table")).toString();
    };
    const auto wanted = [&skipTables, &tableOf](const QJsonObject &o) {
        const QString family = o.value(QLatin1String("family")).toString();
        return (family == QLatin1String("ip") || family == QLatin1String("inet") || family == QLatin1String("netdev"))
               && !skipTables.contains(tableOf(o));
    };
    const bool reply = flow == Flow::Reply;
    for (const QJsonValue &item : items) {
        const QJsonObject chain = item.toObject().value(QLatin1String("chain")).toObject();
        if (chain.isEmpty() || !wanted(chain))
            continue;
        const QString hook = chain.value(QLatin1String("hook")).toString();
        Chain c;
        c.name = tableOf(chain) + QLatin1Char(' ') + chain.value(QLatin1String("name")).toString();
        const bool filter = chain.value(QLatin1String("type")).toString() == QLatin1String("filter");
        const bool cardHook = hook == QLatin1String(reply ? "ingress" : "egress");
        c.base = hook == QLatin1String(reply ? "input" : "output")
                 || (hook == QLatin1String(reply ? "prerouting" : "postrouting") && filter) || cardHook;
        if (cardHook) {
            // A card's own hook sees only that card's traffic; nft's JSON names the card only
            // in later versions, its text always.
            const QJsonValue dev = chain.value(QLatin1String("dev"));
            const QStringList devices = dev.isUndefined() ? hookDevices.value(c.name)
                                        : dev.isArray()   ? dev.toVariant().toStringList()
                                                          : QStringList{dev.toString()};
            c.applies = devices.isEmpty() ? Applies::Maybe : fromBool(devices.contains(card));
        }
        c.dropPolicy = chain.value(QLatin1String("policy")).toString() == QLatin1String("drop");
        ruleset.chains << c;
    }
    for (const QJsonValue &item : items) {
        const QJsonObject rule = item.toObject().value(QLatin1String("rule")).toObject();
        if (rule.isEmpty() || !wanted(rule))
            continue;
        const QString chainName = tableOf(rule) + QLatin1Char(' ') + rule.value(QLatin1String("chain")).toString();
        for (Chain &c : ruleset.chains) {
            if (c.name == chainName)
                c.rules << nftRule(rule, tableOf(rule) + QLatin1Char(' '), packet);
        }
    }
    return ruleset;
}

QHash<QString, QStringList> parseNftHookDevices(const QByteArray &text)
{
    static const QRegularExpression table(QStringLiteral("^\\s*table (\\S+) (\\S+) \\{"));
    static const QRegularExpression chain(QStringLiteral("^\\s*chain (\\S+) \\{"));
    static const QRegularExpression device(
        QStringLiteral("hook \\S+ (?:device \"?([^\"\\s;]+)\"?|devices = \\{([^}]*)\\})"));
    QHash<QString, QStringList> devices;
    QString tableName;
    QString chainName;
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        QRegularExpressionMatch m = table.match(line);
        if (m.hasMatch()) {
            tableName = m.captured(1) + QLatin1Char(' ') + m.captured(2);
            continue;
        }
        m = chain.match(line);
        if (m.hasMatch()) {
            chainName = tableName + QLatin1Char(' ') + m.captured(1);
            continue;
        }
        m = device.match(line);
        if (!m.hasMatch())
            continue;
        QStringList names = m.captured(1).isEmpty() ? m.captured(2).split(QLatin1Char(','))
                                                    : QStringList{m.captured(1)};
        for (QString &name : names)
            name = name.trimmed().remove(QLatin1Char('"'));
        devices.insert(chainName, names);
    }
    return devices;
}

Ruleset parseIptablesSave(const QByteArray &text, const QString &card, Flow flow, const QString &tool)
{
    const Packet packet{flow, card};
    const QString base = QLatin1String(flow == Flow::Reply ? "INPUT" : "OUTPUT");
    Ruleset ruleset{tool, flow, {}};
    QStringList chainNames;
    bool inFilter = false;
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('*'))) {
            inFilter = line.trimmed() == QLatin1String("*filter");
        } else if (!inFilter) {
            continue;
        } else if (line.startsWith(QLatin1Char(':'))) {
            const QStringList words = line.mid(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.isEmpty())
                continue;
            Chain c;
            c.name = QStringLiteral("filter ") + words.first();
            c.base = words.first() == base;
            c.dropPolicy = words.value(1) == QLatin1String("DROP");
            ruleset.chains << c;
            chainNames << words.first();
        } else if (line.startsWith(QLatin1String("-A "))) {
            const QStringList words = splitArguments(line.trimmed());
            if (words.size() < 2)
                continue;
            for (Chain &c : ruleset.chains) {
                if (c.name == QStringLiteral("filter ") + words.at(1))
                    c.rules << iptablesRule(words, packet, chainNames);
            }
        }
    }
    return ruleset;
}

QVector<Drop> drops(const Ruleset &ruleset)
{
    QVector<Drop> definite;
    QVector<Drop> conditional;
    for (const Chain &chain : ruleset.chains) {
        if (!chain.base || chain.applies == Applies::No)
            continue;
        const Walk walk = walkChain(ruleset, chain, 0);
        if (walk.end == Walk::Dropped && !walk.uncertain && walk.maybeDropAt.isEmpty()
            && chain.applies == Applies::Yes)
            definite << Drop{ruleset.tool, ruleset.flow, chain.name, walk.dropAt, false};
        else if (!walk.maybeDropAt.isEmpty() || walk.end == Walk::Dropped)
            conditional << Drop{ruleset.tool, ruleset.flow, chain.name,
                                walk.maybeDropAt.isEmpty() ? walk.dropAt : walk.maybeDropAt, true};
    }
    return definite + conditional;
}

bool firewalldZoneLetsRepliesIn(const QByteArray &listAll)
{
    QStringList services;
    QStringList ports;
    for (const QString &line : QString::fromUtf8(listAll).split(QLatin1Char('\n'))) {
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed();
        const QStringList values = line.mid(colon + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (key == QLatin1String("target") && values.value(0) == QLatin1String("ACCEPT"))
            return true;
        if (key == QLatin1String("services"))
            services = values;
        else if (key == QLatin1String("ports"))
            ports = values;
    }
    if (services.contains(QLatin1String("tarnvale-manager")))
        return true;
    static const QRegularExpression udpPorts(QStringLiteral("^(\\d+)(?:-(\\d+))?/udp$"));
    return std::any_of(ports.cbegin(), ports.cend(), [](const QString &entry) {
        const QRegularExpressionMatch m = udpPorts.match(entry);
        if (!m.hasMatch())
            return false;
        const int low = m.captured(1).toInt();
        const int high = m.captured(2).isEmpty() ? low : m.captured(2).toInt();
        return low <= kLocalPort && kLocalPort <= high;
    });
}

} // namespace firewall
