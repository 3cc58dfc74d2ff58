#include "devicelink/devicemessages.h"
#include "diagnosis/externaltool.h"
#include "diagnosis/routereader.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using Verdict = ReversePathFacts::Verdict;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int readRpFilter(const QString &card)
{
    bool ok = false;
    const int value = readFile(QStringLiteral("/proc/sys/net/ipv4/conf/%1/rp_filter").arg(card)).trimmed().toInt(&ok);
    return ok && value >= 0 && value <= 2 ? value : -1;
}

// Whether rules beyond the kernel's own (local 0, main 32766, default 32767) choose the tables.
bool hasPolicyRules()
{
    QByteArray output;
    QString error;
    const QString ip = findTool(QStringLiteral("ip"));
    if (ip.isEmpty()
        || !runTool(ip, {QStringLiteral("-j"), QStringLiteral("rule"), QStringLiteral("show")}, &output, &error))
        return false;
    const QJsonArray rules = QJsonDocument::fromJson(output).array();
    return std::any_of(rules.begin(), rules.end(), [](const QJsonValue &rule) {
        const int priority = rule.toObject().value(QLatin1String("priority")).toInt();
        return priority != 0 && priority != 32766 && priority != 32767;
    });
}

// `ip -j route ...`: the first route it prints. The kernel's refusal ("RTNETLINK answers: Network
// is unreachable") is an answer too: no route.
KernelRoute askIp(const QStringList &arguments)
{
    KernelRoute route;
    const QString ip = findTool(QStringLiteral("ip"));
    if (ip.isEmpty()) {
        route.why = QStringLiteral("ip is not installed");
        return route;
    }
    QByteArray output;
    QString error;
    if (!runTool(ip, QStringList{QStringLiteral("-j"), QStringLiteral("route")} + arguments, &output, &error)) {
        const int answer = error.indexOf(QLatin1String("answers: "));
        route.state = answer >= 0 ? KernelRoute::State::None : KernelRoute::State::Unknown;
        route.why = answer >= 0 ? error.mid(answer + 9) : error;
        return route;
    }
    const QJsonObject first = QJsonDocument::fromJson(output).array().first().toObject();
    if (first.isEmpty()) {
        route.state = KernelRoute::State::None;
        return route;
    }
    route.state = KernelRoute::State::Found;
    route.device = first.value(QLatin1String("dev")).toString();
    route.table = first.value(QLatin1String("table")).toString();
    if (route.table == QLatin1String("main"))
        route.table.clear();
    route.gateway = first.value(QLatin1String("gateway")).toString();
    return route;
}

QString text(quint32 address)
{
    return QHostAddress(address).toString();
}

// The verdict on a reply from `sender` to `own`, arriving on the card, and whether a route leads
// back to the sender at all.
Verdict verdictOn(const QString &card, quint32 own, quint32 sender, bool *routed)
{
    *routed = askIp({QStringLiteral("get"), text(sender), QStringLiteral("from"), text(own)}).state
              == KernelRoute::State::Found;
    const KernelRoute in =
        askIp({QStringLiteral("get"), text(own), QStringLiteral("from"), text(sender), QStringLiteral("iif"), card});
    if (in.state == KernelRoute::State::Found)
        return Verdict::Passes;
    // A source that the filter refuses is a martian to the kernel.
    const bool refused = in.state == KernelRoute::State::None
                         && (in.why.contains(QLatin1String("Invalid argument"))
                             || in.why.contains(QLatin1String("Invalid cross-device link")));
    return refused ? Verdict::Dropped : Verdict::Unknown;
}

} // namespace

RouteFacts readRoutes(const CardFacts &card)
{
    RouteFacts facts;
    facts.group = askIp({QStringLiteral("get"), QLatin1String(kGroupAddress)});
    const KernelRoute defaultRoute =
        askIp({QStringLiteral("show"), QStringLiteral("default"), QStringLiteral("dev"), card.name});
    if (defaultRoute.state == KernelRoute::State::Found)
        facts.defaultGateway = QHostAddress(defaultRoute.gateway).toIPv4Address();
    facts.policyRules = hasPolicyRules();
    return facts;
}

ReversePathFacts readReversePath(const CardFacts &card)
{
    ReversePathFacts facts;
    facts.all = readRpFilter(QStringLiteral("all"));
    facts.card = readRpFilter(card.name);
    if (card.ipv4.isEmpty())
        return facts;
    const Ipv4Subnet &net = card.ipv4.first();
    const quint32 own = net.address.toNumber();
    // A neighbour: the subnet's first host, or its second when that is this card.
    if (net.prefixLength <= 30) {
        quint32 neighbour = net.network().toNumber() + 1;
        if (neighbour == own)
            ++neighbour;
        facts.neighbour = verdictOn(card.name, own, neighbour, &facts.neighbourRouted);
    }
    // A sender outside every subnet of the card: an address set aside for documentation, which no
    // network uses.
    quint32 outsider = QHostAddress(QStringLiteral("192.0.2.1")).toIPv4Address();
    for (const Ipv4Subnet &other : card.ipv4) {
        if (other.contains(Ipv4(outsider)))
            outsider = QHostAddress(QStringLiteral("198.51.100.1")).toIPv4Address();
    }
    facts.outsider = verdictOn(card.name, own, outsider, &facts.outsiderRouted);
    return facts;
}

qint64 reversePathDropCount()
{
    // Two lines per group of counters: the names, then the values.
    const QList<QByteArray> lines = readFile(QStringLiteral("/proc/net/netstat")).split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> names = lines.at(i).split(' ');
        const QList<QByteArray> values = lines.at(i + 1).split(' ');
        const int column = names.indexOf("IPReversePathFilter");
        if (column > 0 && names.first() == values.first() && column < values.size())
            return values.at(column).toLongLong();
    }
    return -1;
}
