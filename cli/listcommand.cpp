#include "cli/listcommand.h"

#include "cli/console.h"
#include "cli/deviceoutput.h"
#include "devicelink/devicemessages.h"

#include <QCommandLineParser>

namespace {

const QCommandLineOption &formatOption()
{
    static const QCommandLineOption format{QStringLiteral("format"),
                                           QStringLiteral("table (default), csv or json. csv and json print only the "
                                                          "data on standard output, every cell whole, with the number "
                                                          "of devices at the address last (devicesAtIp)."),
                                           QStringLiteral("FORMAT")};
    return format;
}

const QCommandLineOption &allRepliesOption()
{
    static const QCommandLineOption allReplies{QStringLiteral("all-replies"),
                                               QStringLiteral("Accepted for older scripts: every device is listed anyway.")};
    return allReplies;
}

} // namespace

ListCommand::ListCommand()
    : Command(QStringLiteral("list"), {},
              QStringLiteral("One search (5 seconds after the first reply), then every device, ordered by address, "
                             "with the number of devices that answer at its address (AT IP, devicesAtIp): devices "
                             "that share an address are told apart by their serial number."),
              {formatOption(), wideOption(), allRepliesOption()})
{
}

Outcome ListCommand::parse(const QCommandLineParser &parser, const QStringList &)
{
    wholeCells = parser.isSet(wideOption());
    const QString format = parser.value(formatOption());
    if (format == QLatin1String("csv"))
        chosenFormat = ListFormat::Csv;
    else if (format == QLatin1String("json"))
        chosenFormat = ListFormat::Json;
    else if (!format.isEmpty() && format != QLatin1String("table"))
        return {ExitUsage, QStringLiteral("--format takes table, csv or json, not \"%1\"").arg(format)};
    return {};
}

int ListCommand::execute(Console &console)
{
    if (const int status = console.chooseCard())
        return status;
    LinkCore link;
    Console::configure(link);
    LinkCore::Result result;
    if (const int status = console.search(link, &result))
        return status;
    const QVector<QStringList> rows = deviceRows(result.json.get());
    if (rows.isEmpty())
        return console.fail(searchFailure(LinkCore::Status{LinkCore::Error::NoMatchingReply}, console.card));

    switch (chosenFormat) {
    case ListFormat::Table:
        writeTable(deviceTable(rows), wholeCells ? 0 : kTableCellWidth,
                   [&console](const QString &line) { return console.out.write(line); });
        break;
    case ListFormat::Csv:
        console.out.write(deviceCsv(rows));
        break;
    case ListFormat::Json:
        console.out.write(deviceJson(rows));
        break;
    }
    const QHash<QString, int> counts = addressCounts(rows);
    const int sharing = int(std::count_if(rows.cbegin(), rows.cend(), [&counts](const QStringList &row) {
        return counts.value(row.at(memberIndex(DeviceMember::Ip))) > 1;
    }));
    console.err.write(QStringLiteral("tarnvale-cli: %1 devices on %2").arg(rows.size()).arg(printable(console.card))
                      + (sharing ? QStringLiteral(", %1 of them share an address with another\n").arg(sharing)
                                 : QStringLiteral("\n")));
    return console.repliesDropped && console.strict ? int(ExitDroppedReplies) : int(ExitOk);
}
