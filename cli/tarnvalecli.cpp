#include "cli/tarnvalecli.h"

#include "cli/activatecommand.h"
#include "cli/applycommand.h"
#include "cli/deviceoutput.h"
#include "cli/doctorcommand.h"
#include "cli/listcommand.h"
#include "cli/password.h"
#include "cli/plancommand.h"
#include "cli/setipcommand.h"
#include "cli/undocommand.h"
#include "commissioning/planfile.h"

#include <QCommandLineParser>
#include <QRandomGenerator>

#include <cstdlib>

namespace {

bool verboseLog = false;
constexpr int kHelpWidth = 79;

// The options that go with every command.
struct CommonOptions
{
    QCommandLineOption interface{QStringLiteral("interface"),
                                 QStringLiteral("The network card, named as in the window's card box (default: the "
                                                "first that is up, running, able to multicast, not loopback, with "
                                                "an IPv4 address: the window's rule)."),
                                 QStringLiteral("NAME")};
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
    QList<QCommandLineOption> all() const { return {interface, strict, verbose, help, version}; }
};

const CommonOptions &common()
{
    static const CommonOptions options;
    return options;
}

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

} // namespace

TarnvaleCli::TarnvaleCli(FILE *out, FILE *err) : out(out), console(out, err)
{
    // The request tags must differ between two runs started in the same second.
    std::srand(QRandomGenerator::system()->generate());
    commands.push_back(std::make_unique<ListCommand>());
    commands.push_back(std::make_unique<SetIpCommand>());
    commands.push_back(std::make_unique<ActivateCommand>());
    commands.push_back(std::make_unique<ApplyCommand>());
    commands.push_back(std::make_unique<UndoCommand>());
    commands.push_back(std::make_unique<PlanCommand>());
    commands.push_back(std::make_unique<DoctorCommand>());
}

TarnvaleCli::~TarnvaleCli() = default;

void TarnvaleCli::messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if ((type == QtDebugMsg || type == QtInfoMsg) && !verboseLog)
        return;
    std::fprintf(stderr, "tarnvale-cli: %s\n", printable(message).toUtf8().constData());
    std::fflush(stderr);
}

int TarnvaleCli::run(const QStringList &arguments)
{
    return console.finish(execute(arguments), out == stdout);
}

int TarnvaleCli::execute(const QStringList &arguments)
{
    const Outcome parsed = parse(arguments);
    if (parsed.status != ExitOk)
        return console.fail(parsed);
    if (help) {
        console.out.write(helpText());
        return ExitOk;
    }
    if (version) {
        console.out.write(QStringLiteral("tarnvale-cli %1\n").arg(QStringLiteral(ORV_VERSION)));
        return ExitOk;
    }
    verboseLog = beVerbose;
    return chosen->execute(console);
}

Outcome TarnvaleCli::parse(const QStringList &arguments)
{
    const CommonOptions &c = common();
    QCommandLineParser parser;
    parser.addOptions(allOptions());
    if (!parser.parse(arguments)) {
        const bool passwordGiven = arguments.filter(QStringLiteral("--password")).size()
                                   > arguments.filter(QStringLiteral("--password-file")).size()
                                         + arguments.filter(QStringLiteral("--passwords")).size();
        return {ExitUsage, parser.errorText()
                               + (passwordGiven ? QStringLiteral(" Passwords are not taken as arguments: use "
                                                                 "--password-file FILE or TARNVALE_PASSWORD.")
                                                : QString())};
    }
    help = parser.isSet(c.help);
    version = parser.isSet(c.version);
    if (help || version)
        return {};

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return {ExitUsage, QStringLiteral("no command; see tarnvale-cli --help")};
    const QString name = positional.takeFirst();
    const auto named = std::find_if(commands.cbegin(), commands.cend(),
                                    [&name](const std::unique_ptr<Command> &command) { return command->name() == name; });
    if (named == commands.cend())
        return {ExitUsage, QStringLiteral("unknown command \"%1\"; see tarnvale-cli --help").arg(name)};
    Command *command = named->get();
    if (positional.size() != command->arguments().size())
        return {ExitUsage, QStringLiteral("%1 takes %2 arguments, not %3; see tarnvale-cli --help")
                               .arg(name)
                               .arg(command->arguments().size())
                               .arg(positional.size())};
    const QList<QCommandLineOption> own = command->options() + c.all();
    for (const QCommandLineOption &option : allOptions()) {
        const bool taken = std::any_of(own.cbegin(), own.cend(),
                                       [&option](const QCommandLineOption &o) { return o.names() == option.names(); });
        if (parser.isSet(option) && !taken)
            return {ExitUsage, QStringLiteral("--%1 is not an option of %2").arg(optionName(option), name)};
    }

    console.requestedCard = parser.value(c.interface);
    console.strict = parser.isSet(c.strict);
    beVerbose = parser.isSet(c.verbose);
    if (parser.isSet(c.interface) && console.requestedCard.isEmpty())
        return {ExitUsage, QStringLiteral("--interface needs the name of a network card")};
    const Outcome read = command->parse(parser, positional);
    if (read.status == ExitOk)
        chosen = command;
    return read;
}

QList<QCommandLineOption> TarnvaleCli::allOptions() const
{
    const CommonOptions &c = common();
    QList<QCommandLineOption> options = {c.interface};
    for (const std::unique_ptr<Command> &command : commands) {
        for (const QCommandLineOption &option : command->options()) {
            // An option that two commands take is one option.
            if (std::none_of(options.cbegin(), options.cend(),
                             [&option](const QCommandLineOption &o) { return o.names() == option.names(); }))
                options << option;
        }
    }
    return options + QList<QCommandLineOption>{c.strict, c.verbose, c.help, c.version};
}

QString TarnvaleCli::helpText() const
{
    QString text = QStringLiteral("Usage: tarnvale-cli COMMAND [ARGUMENTS] [OPTIONS]\n\n");
    text += wrapped(QStringLiteral("Finds the devices on the local network with one search and changes their "
                                   "addresses, as the Tarnvale Manager window does, for scripts and for many "
                                   "devices at once. Arguments and files are checked before anything is sent."),
                    0);
    text += QStringLiteral("\nCommands:\n");
    for (const std::unique_ptr<Command> &command : commands) {
        QStringList synopsis = QStringList{command->name()} + command->arguments();
        for (const QCommandLineOption &option : command->options()) {
            const QString name = QStringLiteral("--%1%2").arg(
                optionName(option), option.valueName().isEmpty() ? QString() : QLatin1Char(' ') + option.valueName());
            const bool required = command->required() && command->required()->names() == option.names();
            synopsis << (required ? name : QStringLiteral("[%1]").arg(name));
        }
        text += wrappedWords(synopsis, 2, 6);
        text += wrapped(command->description(), 8);
    }
    text += QStringLiteral("\nOptions:\n");
    for (const QCommandLineOption &option : allOptions())
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
                                   "order; blank lines and lines starting with # are skipped; cells may be quoted, "
                                   "and quoted cells keep their blanks. plan writes what apply takes unchanged.")
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
                                   "--strict, and then nothing is changed). A closed pipe or terminal stops a run "
                                   "as SIGINT does (12; SIGHUP: 11)."),
                    0);
    text += QStringLiteral("\nExit status:\n");
    for (const ExitStatusText &status : kExitStatusTexts)
        text += entry(QString::number(status.status), QLatin1String(status.text), 6);
    return text;
}
