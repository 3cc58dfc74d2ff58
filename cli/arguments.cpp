#include "cli/arguments.h"

#include "cli/deviceoutput.h"
#include "cli/inputfile.h"
#include "cli/password.h"
#include "commissioning/planfile.h"
#include "commissioning/report.h"

#include <QCommandLineParser>
#include <QVector>

namespace {

constexpr int kHelpWidth = 79;

// Every option, with the description that --help prints.
struct Options
{
    QCommandLineOption interface{QStringLiteral("interface"),
                                 QStringLiteral("The network card, named as in the window's card box (default: the "
                                                "first that is up, running, able to multicast, not loopback, with "
                                                "an IPv4 address: the window's rule)."),
                                 QStringLiteral("NAME")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("table (default), csv or json. csv and json print only the data on "
                                             "standard output, every cell whole, with the number of devices at the "
                                             "address last (devicesAtIp)."),
                              QStringLiteral("FORMAT")};
    QCommandLineOption wide{QStringLiteral("wide"),
                            QStringLiteral("Tables show every cell whole; without it a cell is cut at %1 characters "
                                           "with an ellipsis, so that no device can widen every line.")
                                .arg(kTableCellWidth)};
    QCommandLineOption allReplies{QStringLiteral("all-replies"),
                                  QStringLiteral("Accepted for older scripts: every device is listed anyway.")};
    QCommandLineOption dryRun{QStringLiteral("dry-run"),
                              QStringLiteral("Search, probe and show what would be done, with the same verdicts; "
                                             "send nothing else.")};
    QCommandLineOption report{QStringLiteral("report"),
                              QStringLiteral("Write the run's report to FILE (.csv or .json, which must not exist "
                                             "yet) as the run goes: a row is on disk before the next device is "
                                             "touched. Never a password. undo takes it back."),
                              QStringLiteral("FILE")};
    QCommandLineOption verifyTimeout{QStringLiteral("verify-timeout"),
                                     QStringLiteral("Look for the changed devices at their new addresses, one search "
                                                    "per round, for up to SECONDS after the last change (default "
                                                    "%1).")
                                         .arg(kDefaultVerifySeconds),
                                     QStringLiteral("SECONDS")};
    QCommandLineOption noVerify{QStringLiteral("no-verify"),
                                QStringLiteral("Do not look for the changed devices afterwards: a device counts as "
                                               "changed once it answered \"ok\".")};
    QCommandLineOption from{QStringLiteral("from"), QStringLiteral("plan: the first address to hand out."),
                            QStringLiteral("IP")};
    QCommandLineOption to{QStringLiteral("to"),
                          QStringLiteral("plan: the last address to hand out (default: .254 of the first's /24)."),
                          QStringLiteral("IP")};
    QCommandLineOption order{QStringLiteral("order"),
                             QStringLiteral("plan: the order in which the devices get their addresses: mac, sn or "
                                            "ip (default)."),
                             QStringLiteral("ORDER")};
    QCommandLineOption only{QStringLiteral("only"),
                            QStringLiteral("plan: only the inactive or only the active devices."),
                            QStringLiteral("STATE")};
    QCommandLineOption model{QStringLiteral("model"),
                             QStringLiteral("plan: only the devices whose model contains TEXT (letter case "
                                            "ignored)."),
                             QStringLiteral("TEXT")};
    QCommandLineOption renumber{QStringLiteral("renumber"),
                                QStringLiteral("plan: give every chosen device a new address; without it a device "
                                               "already at a free address of the range keeps it.")};
    QCommandLineOption passwordFile{QStringLiteral("password-file"),
                                    QStringLiteral("The password is the first line of FILE (- for standard input, asked "
                                                   "for without echo when that is a terminal). A warning when group "
                                                   "or others can read FILE."),
                                    QStringLiteral("FILE")};
    QCommandLineOption strict{QStringLiteral("strict"),
                              QStringLiteral("Treat what is otherwise a warning as an error, with its exit status: "
                                             "a password file that group or others can read is refused (2); replies "
                                             "that the system dropped during a search end the command with 13, "
                                             "before anything is changed.")};
    QCommandLineOption verbose{QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
                               QStringLiteral("Also print the link's debug lines on standard error; passwords never "
                                              "appear in them.")};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringList{QStringLiteral("V"), QStringLiteral("version")},
                               QStringLiteral("Show the version.")};

    QList<QCommandLineOption> all() const
    {
        return {interface, format,   wide, allReplies, dryRun,   report,  verifyTimeout, noVerify,
                from,      to,       order, only,      model,    renumber, passwordFile, strict,
                verbose,   help,     version};
    }
    // Those that only some commands take; the others go with every command.
    QList<QCommandLineOption> ofCommands() const
    {
        return {format, wide, allReplies, dryRun, report, verifyTimeout, noVerify,
                from,   to,   order,      only,   model,  renumber,      passwordFile};
    }
    QList<QCommandLineOption> ofChanges() const { return {passwordFile, report, verifyTimeout, noVerify}; }
};

const Options &options()
{
    static const Options all;
    return all;
}

struct CommandEntry
{
    Command command;
    const char *name;
    QStringList arguments;
    QList<QCommandLineOption> options;
    const char *description;
    const char *required = ""; // the option without which the command does not run
};

// clang-format off
const QVector<CommandEntry> &commandEntries()
{
    const Options &o = options();
    static const QVector<CommandEntry> entries = {
        {Command::List, "list", {}, {o.format, o.wide, o.allReplies},
         "One search (5 seconds after the first reply), then every device, ordered by address, "
         "with the number of devices that answer at its address (AT IP, devicesAtIp): devices "
         "that share an address are told apart by their serial number."},
        {Command::SetIp, "set-ip", {QStringLiteral("SN"), QStringLiteral("NEW_IP")}, o.ofChanges(),
         "Searches first, refuses NEW_IP when another device or a host holds it (7), logs in to the "
         "device with serial number SN, gives it NEW_IP and looks for it there (10 when it is not seen)."},
        {Command::Activate, "activate", {QStringLiteral("SN"), QStringLiteral("NEW_IP")}, o.ofChanges(),
         "As set-ip, but activates the device with the password (which it keeps from then on) "
         "instead of logging in."},
        {Command::Apply, "apply", {QStringLiteral("PLAN")}, QList<QCommandLineOption>{o.dryRun, o.wide} + o.ofChanges(),
         "One search, then each row \"sn,new_ip[,password]\" of the plan (- for standard input) is "
         "checked: refused when its serial number answers from two addresses, when its address is held "
         "by a device that stays or by a host (conflict), or when rows take each other's addresses "
         "(cycle); a device already at its new address is skipped. The others run in an order that "
         "frees each address before it is taken: log in (active devices) or activate (the others), "
         "then the new address, a line per device on standard error; then verification rounds until "
         "every changed device answers at its new address or the deadline passes. A table of "
         "outcomes at the end. An interrupted run (SIGINT, SIGTERM) finishes the device in hand and "
         "exits with 11; run it again to go on."},
        {Command::Undo, "undo", {QStringLiteral("REPORT")}, QList<QCommandLineOption>{o.dryRun, o.wide} + o.ofChanges(),
         "Puts back the old address of every device that a report (written by --report) shows "
         "changed, or under way, as apply would run that plan, with every check."},
        {Command::Plan, "plan", {}, {o.from, o.to, o.order, o.only, o.model, o.renumber},
         "One search, then a plan for apply on standard output (sn,new_ip, the header first) that "
         "gives the chosen devices consecutive free addresses from --from on, skipping every address "
         "held by a device and the .0, .1 and .255 of each /24. A device already at a free address "
         "of the range keeps it unless --renumber is given; too small a range is refused (7).", "from"},
        {Command::Doctor, "doctor", {}, {},
         "Checks the usual causes of an empty list, one line each (the card, the route to the group, "
         "the port, the firewall, reverse-path filtering, Wi-Fi, a virtual machine's NAT), then "
         "makes one search and counts the devices; 14 when a check found a problem."},
    };
    return entries;
}
// clang-format on

QString optionName(const QCommandLineOption &option)
{
    return option.names().last();
}

QString optionSynopsis(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = names.join(QLatin1String(", "));
    if (!option.valueName().isEmpty())
        text += QLatin1Char(' ') + option.valueName();
    return text;
}

// The words from column firstIndent on, the next lines from indent on, lines at most
// kHelpWidth wide.
QString wrappedWords(const QStringList &words, int firstIndent, int indent)
{
    QString result;
    QString line;
    int at = firstIndent;
    for (const QString &word : words) {
        if (!line.isEmpty() && at + line.size() + 1 + word.size() > kHelpWidth) {
            result += QString(at, QLatin1Char(' ')) + line + QLatin1Char('\n');
            line.clear();
            at = indent;
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        result += QString(at, QLatin1Char(' ')) + line + QLatin1Char('\n');
    return result;
}

QString wrapped(const QString &text, int indent)
{
    return wrappedWords(text.split(QLatin1Char(' '), Qt::SkipEmptyParts), indent, indent);
}

// "  name    description" with the descriptions in one column, or on the next line when
// the name is too long for it.
QString entry(const QString &name, const QString &description, int column)
{
    const QString head = QStringLiteral("  ") + name;
    QString body = wrapped(description, column);
    if (head.size() + 2 <= column)
        return head + body.mid(head.size());
    return head + QLatin1Char('\n') + body;
}

// plan's choices; the range is checked here, before the network is looked at.
Outcome parsePlanRequest(const QCommandLineParser &parser, PlanRequest *request)
{
    const Options &o = options();
    if (!parser.isSet(o.from))
        return {ExitUsage, QStringLiteral("plan needs --from, the first address to hand out")};
    request->from = parser.value(o.from);
    request->to = parser.value(o.to);
    request->model = parser.value(o.model);
    request->keepInside = !parser.isSet(o.renumber);
    const QString order = parser.value(o.order);
    const QStringList orders = {QStringLiteral("ip"), QStringLiteral("mac"), QStringLiteral("sn")};
    if (!order.isEmpty() && !orders.contains(order))
        return {ExitUsage, QStringLiteral("--order takes mac, sn or ip, not \"%1\"").arg(order)};
    request->order = order == QLatin1String("mac") ? PlanOrder::Mac
                     : order == QLatin1String("sn") ? PlanOrder::Sn
                                                     : PlanOrder::Ip;
    const QString only = parser.value(o.only);
    if (only == QLatin1String("inactive"))
        request->only = ActiveFilter::Inactive;
    else if (only == QLatin1String("active"))
        request->only = ActiveFilter::Active;
    else if (parser.isSet(o.only))
        return {ExitUsage, QStringLiteral("--only takes inactive or active, not \"%1\"").arg(only)};
    const GeneratedPlan range = generatePlan({}, *request);
    if (range.problem != GeneratedPlan::NoDevice)
        return {ExitUsage, generatorText(range, *request, false)};
    return {};
}

} // namespace

QString helpText()
{
    QString text = QStringLiteral("Usage: tarnvale-cli COMMAND [ARGUMENTS] [OPTIONS]\n\n");
    text += wrapped(QStringLiteral("Finds the devices on the local network with one search and changes their "
                                   "addresses, as the Tarnvale Manager window does, for scripts and for many "
                                   "devices at once. Arguments and files are checked before anything is sent."),
                    0);
    text += QStringLiteral("\nCommands:\n");
    for (const CommandEntry &command : commandEntries()) {
        QStringList synopsis = QStringList{QLatin1String(command.name)} + command.arguments;
        for (const QCommandLineOption &option : command.options) {
            const QString name = QStringLiteral("--%1%2").arg(
                optionName(option), option.valueName().isEmpty() ? QString() : QLatin1Char(' ') + option.valueName());
            synopsis << (optionName(option) == QLatin1String(command.required) ? name
                                                                                : QStringLiteral("[%1]").arg(name));
        }
        text += wrappedWords(synopsis, 2, 6);
        text += wrapped(QLatin1String(command.description), 8);
    }
    text += QStringLiteral("\nOptions:\n");
    for (const QCommandLineOption &option : options().all())
        text += entry(optionSynopsis(option), option.description(), 24);
    text += wrapped(QStringLiteral("--interface, --strict, --verbose, --help and --version go with every command, "
                                   "the others with the commands above that name them."),
                    2);
    text += QLatin1Char('\n');
    text += wrapped(QStringLiteral("Passwords are never taken as arguments. They come from the plan's third column, "
                                   "else from --password-file, else from the environment variable %1, else from a "
                                   "prompt without echo when standard input is a terminal. While a command holds a "
                                   "password, a crash writes no core file.")
                        .arg(QLatin1String(kPasswordVariable)),
                    0);
    text += QLatin1Char('\n');
    text += wrapped(QStringLiteral("Plan files are UTF-8 CSV of at most 1 MiB (%1 bytes): rows sn,new_ip[,password]; a "
                                   "first row that names these columns is a header and must name them in this "
                                   "order; blank lines and lines starting with # are skipped; cells may be quoted.")
                        .arg(kMaxPlanBytes),
                    0);
    text += QLatin1Char('\n');
    text += wrapped(QStringLiteral("Every command that changes addresses searches first and checks the whole plan "
                                   "before anything is sent: a serial number heard from two addresses, an address "
                                   "held by another device (of any serial number) or answered by a host (a TCP "
                                   "probe and the neighbour table, for addresses inside the card's subnets), an "
                                   "address given twice, and rows that take each other's addresses are refused. "
                                   "A new address outside every IPv4 subnet of the card is warned about. Each "
                                   "changed row ends verified, kept old address, not seen or seen elsewhere; a "
                                   "row whose reply was lost but whose device answers at its new address is "
                                   "verified. The port is bound alone: the window and the command line exclude "
                                   "each other (4, naming the holder). Dropped replies are warned about (13 with "
                                   "--strict, and then nothing is changed)."),
                    0);
    text += QStringLiteral("\nExit status:\n");
    for (const ExitStatusText &status : kExitStatusTexts)
        text += entry(QString::number(status.status), QLatin1String(status.text), 6);
    return text;
}

Outcome parseArguments(const QStringList &arguments, Invocation *invocation)
{
    *invocation = Invocation();
    QCommandLineParser parser;
    parser.addOptions(options().all());
    if (!parser.parse(arguments)) {
        const bool passwordGiven = arguments.filter(QStringLiteral("--password")).size()
                                   > arguments.filter(QStringLiteral("--password-file")).size();
        return {ExitUsage, parser.errorText()
                               + (passwordGiven ? QStringLiteral(" Passwords are not taken as arguments: use "
                                                                 "--password-file FILE or TARNVALE_PASSWORD.")
                                                : QString())};
    }
    invocation->help = parser.isSet(options().help);
    invocation->version = parser.isSet(options().version);
    if (invocation->help || invocation->version)
        return {};

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return {ExitUsage, QStringLiteral("no command; see tarnvale-cli --help")};
    const QString name = positional.takeFirst();
    const auto command = std::find_if(commandEntries().cbegin(), commandEntries().cend(),
                                      [&name](const CommandEntry &c) { return name == QLatin1String(c.name); });
    if (command == commandEntries().cend())
        return {ExitUsage, QStringLiteral("unknown command \"%1\"; see tarnvale-cli --help").arg(name)};
    if (positional.size() != command->arguments.size())
        return {ExitUsage, QStringLiteral("%1 takes %2 arguments, not %3; see tarnvale-cli --help")
                               .arg(name)
                               .arg(command->arguments.size())
                               .arg(positional.size())};
    for (const QCommandLineOption &option : options().ofCommands()) {
        const bool taken = std::any_of(command->options.cbegin(), command->options.cend(),
                                       [&option](const QCommandLineOption &o) { return o.names() == option.names(); });
        if (parser.isSet(option) && !taken)
            return {ExitUsage, QStringLiteral("--%1 is not an option of %2").arg(optionName(option), name)};
    }

    invocation->command = command->command;
    invocation->arguments = positional;
    invocation->interfaceName = parser.value(options().interface);
    invocation->wide = parser.isSet(options().wide);
    invocation->dryRun = parser.isSet(options().dryRun);
    invocation->verbose = parser.isSet(options().verbose);
    invocation->strict = parser.isSet(options().strict);
    invocation->passwordFile = parser.value(options().passwordFile);

    const QString format = parser.value(options().format);
    if (format == QLatin1String("csv"))
        invocation->format = ListFormat::Csv;
    else if (format == QLatin1String("json"))
        invocation->format = ListFormat::Json;
    else if (!format.isEmpty() && format != QLatin1String("table"))
        return {ExitUsage, QStringLiteral("--format takes table, csv or json, not \"%1\"").arg(format)};
    if (parser.isSet(options().interface) && invocation->interfaceName.isEmpty())
        return {ExitUsage, QStringLiteral("--interface needs the name of a network card")};
    const bool planFromInput = invocation->command == Command::Apply && positional.first() == QLatin1String(kStandardInput);
    if (planFromInput && invocation->passwordFile == QLatin1String(kStandardInput))
        return {ExitUsage, QStringLiteral("the plan and the password file cannot both be standard input")};

    invocation->reportPath = parser.value(options().report);
    if (parser.isSet(options().report) && !reportFormatFor(invocation->reportPath))
        return {ExitUsage, QStringLiteral("--report needs a file name ending in .csv or .json, not \"%1\"")
                               .arg(invocation->reportPath)};
    if (parser.isSet(options().noVerify) && parser.isSet(options().verifyTimeout))
        return {ExitUsage, QStringLiteral("--no-verify and --verify-timeout exclude each other")};
    if (parser.isSet(options().noVerify))
        invocation->verifyTimeoutMs = 0;
    if (parser.isSet(options().verifyTimeout)) {
        bool number = false;
        const int seconds = parser.value(options().verifyTimeout).toInt(&number);
        if (!number || seconds < 1 || seconds > kLongestVerifySeconds)
            return {ExitUsage, QStringLiteral("--verify-timeout takes whole seconds from 1 to %1, not \"%2\"")
                                   .arg(kLongestVerifySeconds)
                                   .arg(parser.value(options().verifyTimeout))};
        invocation->verifyTimeoutMs = seconds * 1000;
    }
    return invocation->command == Command::Plan ? parsePlanRequest(parser, &invocation->planRequest) : Outcome{};
}
