#include "cli/plancommand.h"

#include "cli/console.h"
#include "commissioning/devicecsv.h"
#include "commissioning/hostprobe.h"
#include "commissioning/planfile.h"

#include <QCommandLineParser>

namespace {

struct PlanOptions
{
    QCommandLineOption from{QStringLiteral("from"), QStringLiteral("plan: the first address to hand out."),
                            QStringLiteral("IP")};
    QCommandLineOption to{QStringLiteral("to"),
                          QStringLiteral("plan: the last address to hand out (default: .254 of the first's /24)."),
                          QStringLiteral("IP")};
    QCommandLineOption order{QStringLiteral("order"),
                             QStringLiteral("plan: the order in which the devices get their addresses: mac, sn or "
                                            "ip (default)."),
                             QStringLiteral("ORDER")};
    QCommandLineOption only{QStringLiteral("only"), QStringLiteral("plan: only the inactive or only the active devices."),
                            QStringLiteral("STATE")};
    QCommandLineOption model{QStringLiteral("model"),
                             QStringLiteral("plan: only the devices whose model contains TEXT (letter case "
                                            "ignored)."),
                             QStringLiteral("TEXT")};
    QCommandLineOption renumber{QStringLiteral("renumber"),
                                QStringLiteral("plan: give every chosen device a new address; without it a device "
                                               "already at a free address of the range keeps it.")};
};

const PlanOptions &planOptions()
{
    static const PlanOptions options;
    return options;
}

} // namespace

PlanCommand::PlanCommand()
    : Command(QStringLiteral("plan"), {},
              QStringLiteral("One search, then a plan for apply on standard output (sn,new_ip, the header first) "
                             "that gives the chosen devices consecutive free addresses from --from on, skipping every "
                             "address held by a device, by the card or by a host, and the .0, .1 and .255 of each /24. "
                             "A device already at a free address of the range keeps it unless --renumber is given; "
                             "too small a range is refused (7)."),
              {planOptions().from, planOptions().to, planOptions().order, planOptions().only, planOptions().model,
               planOptions().renumber})
{
}

const QCommandLineOption *PlanCommand::required() const
{
    return &planOptions().from;
}

Outcome PlanCommand::parse(const QCommandLineParser &parser, const QStringList &)
{
    const PlanOptions &o = planOptions();
    if (!parser.isSet(o.from))
        return {ExitUsage, QStringLiteral("plan needs --from, the first address to hand out")};
    planRequest.from = parser.value(o.from);
    planRequest.to = parser.value(o.to);
    planRequest.model = parser.value(o.model);
    planRequest.keepInside = !parser.isSet(o.renumber);
    const QString order = parser.value(o.order);
    if (!order.isEmpty() && !QStringList{QStringLiteral("ip"), QStringLiteral("mac"), QStringLiteral("sn")}.contains(order))
        return {ExitUsage, QStringLiteral("--order takes mac, sn or ip, not \"%1\"").arg(order)};
    planRequest.order = order == QLatin1String("mac") ? PlanOrder::Mac
                        : order == QLatin1String("sn") ? PlanOrder::Sn
                                                        : PlanOrder::Ip;
    const QString only = parser.value(o.only);
    if (only == QLatin1String("inactive"))
        planRequest.only = ActiveFilter::Inactive;
    else if (only == QLatin1String("active"))
        planRequest.only = ActiveFilter::Active;
    else if (parser.isSet(o.only))
        return {ExitUsage, QStringLiteral("--only takes inactive or active, not \"%1\"").arg(only)};
    // The range's own faults, before the network is looked at: without devices, all there is.
    const GeneratedPlan range = generatePlan({}, planRequest);
    if (range.problem != GeneratedPlan::NoDevice)
        return {ExitUsage, generatorText(range, planRequest, false)};
    return {};
}

int PlanCommand::execute(Console &console)
{
    if (const int status = console.chooseCard())
        return status;
    LinkCore link;
    Console::configure(link);
    LinkCore::Result result;
    if (const int status = console.search(link, &result))
        return status;
    if (console.repliesDropped && console.strict)
        return console.fail(ExitDroppedReplies, QStringLiteral("the search is incomplete: no plan made (--strict)"));
    const GeneratedPlan generated = generatePlanOnCard(foundDevices(result.json.get()), planRequest, console.card);
    if (generated.problem != GeneratedPlan::None)
        return console.fail(planStatus(generated.problem), generatorText(generated, planRequest, false));
    QVector<QStringList> rows = {planColumns().mid(0, 2)};
    for (const PlanRow &row : generated.rows)
        rows << QStringList{row.sn, row.newIp};
    console.out.write(csvDocument(rows));
    console.err.write(QStringLiteral("tarnvale-cli: %1 devices planned, %2 of them keep their address\n")
                          .arg(generated.rows.size())
                          .arg(generated.rows.size() - generated.needed));
    return ExitOk;
}

ExitStatus planStatus(GeneratedPlan::Problem problem)
{
    switch (problem) {
    case GeneratedPlan::None:
        return ExitOk;
    case GeneratedPlan::BadFrom:
    case GeneratedPlan::BadTo:
    case GeneratedPlan::Backwards:
        return ExitUsage;
    case GeneratedPlan::NoDevice:
        return ExitNoReply;
    case GeneratedPlan::TooSmall:
        break;
    }
    return ExitRefusedAddress;
}
