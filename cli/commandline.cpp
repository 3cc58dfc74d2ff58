#include "commandline.h"

#include "deviceoutput.h"
#include "inputfile.h"
#include "password.h"
#include "planfile.h"

#include <QCommandLineParser>
#include <QVector>

namespace {

constexpr int kHelpWidth = 79;

// Every option, with the description that --help prints.
struct Options
{
    QCommandLineOption interface{QStringLiteral("interface"),
                                 QStringLiteral("The network card, named as in the window's card box (default: the "
                                                "first that is up, not loopback, with an IPv4 address)."),
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
                              QStringLiteral("Search and show what would be done; send nothing else.")};
    QCommandLineOption passwordFile{QStringLiteral("password-file"),
                                    QStringLiteral("The password is the first line of FILE (- for standard input, asked "
                                                   "for without echo when that is a terminal). A warning when group "
                                                   "or others can read FILE."),
                                    QStringLiteral("FILE")};
    QCommandLineOption strict{QStringLiteral("strict"),
                              QStringLiteral("Treat what is otherwise a warning as an error, with its exit status: "
                                             "a password file that group or others can read is refused (2).")};
    QCommandLineOption verbose{QStringList{QStringLiteral("v"), QStringLiteral("verbose")},
                               QStringLiteral("Also print the link's debug lines on standard error; passwords never "
                                              "appear in them.")};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringList{QStringLiteral("V"), QStringLiteral("version")},
                               QStringLiteral("Show the version.")};

    QList<QCommandLineOption> all() const
    {
        return {interface, format, wide, allReplies, dryRun, passwordFile, strict, verbose, help, version};
    }
    // Those that only some commands take; the others go with every command.
    QList<QCommandLineOption> ofCommands() const { return {format, wide, allReplies, dryRun, passwordFile}; }
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
};

// clang-format off
const QVector<CommandEntry> &commandEntries()
{
    static const QVector<CommandEntry> entries = {
        {Command::List, "list", {}, {options().format, options().wide, options().allReplies},
         "One search (5 seconds after the first reply), then every device, ordered by address, "
         "with the number of devices that answer at its address (AT IP, devicesAtIp): devices "
         "that share an address are told apart by their serial number."},
        {Command::SetIp, "set-ip", {QStringLiteral("SN"), QStringLiteral("NEW_IP")}, {options().passwordFile},
         "Logs in to the device with serial number SN, then gives it NEW_IP."},
        {Command::Activate, "activate", {QStringLiteral("SN"), QStringLiteral("NEW_IP")}, {options().passwordFile},
         "Activates the device SN with the password (which it keeps from then on), then gives it NEW_IP."},
        {Command::Apply, "apply", {QStringLiteral("PLAN")}, {options().dryRun, options().wide, options().passwordFile},
         "One search, then for each row \"sn,new_ip[,password]\" of the plan (- for standard input): log in "
         "(active devices) or activate (the others), then the new address. Devices already at their new "
         "address are skipped, so a plan can be run again. A line per device on standard error, a table "
         "of outcomes at the end."},
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

// Words of text from column indent on, lines at most kHelpWidth wide.
QString wrapped(const QString &text, int indent)
{
    QString result;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > kHelpWidth) {
            result += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        result += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
    return result;
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
        for (const QCommandLineOption &option : command.options)
            synopsis << QStringLiteral("[--%1%2]").arg(optionName(option),
                                                      option.valueName().isEmpty()
                                                          ? QString()
                                                          : QLatin1Char(' ') + option.valueName());
        text += QStringLiteral("  ") + synopsis.join(QLatin1Char(' ')) + QLatin1Char('\n');
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
    if (invocation->command == Command::Apply && positional.first() == QLatin1String(kStandardInput)
        && invocation->passwordFile == QLatin1String(kStandardInput))
        return {ExitUsage, QStringLiteral("the plan and the password file cannot both be standard input")};
    return {};
}
