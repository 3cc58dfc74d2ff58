#include "tarnvalecli.h"

#include "deviceoutput.h"
#include "devicecsv.h"
#include "password.h"
#include "planfile.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QNetworkInterface>
#include <QRandomGenerator>

#include <cstdlib>

namespace {

bool verboseLog = false;

const char kHelp[] = R"(Usage: tarnvale-cli COMMAND [OPTIONS]

Finds the devices on the local network with one search and changes their addresses,
as the Tarnvale Manager window does, for scripts and for many devices at once.

Commands:
  list [--interface NAME] [--format table|csv|json] [--all-replies]
        One search (5 seconds after the first reply), then the devices, ordered by
        address. Like the window it keeps the first reply of each address; with
        --all-replies every serial number is kept, and the table marks devices that
        share an address in its SHARED column.
  set-ip SN NEW_IP [--interface NAME] [--password-file FILE]
        Logs in to the device with serial number SN, then gives it NEW_IP.
  activate SN NEW_IP [--interface NAME] [--password-file FILE]
        Activates the device SN with the password, then gives it NEW_IP.
  apply PLAN.csv [--dry-run] [--interface NAME] [--password-file FILE]
        One search, then for each row "sn,new_ip[,password]" of the plan: log in
        (active devices) or activate (the others), then the new address. Devices
        already at their new address are skipped, so a plan can be run again. A line
        per device on standard error, a table of outcomes at the end. --dry-run
        searches and shows what would be done; it sends nothing else.

Options:
  --interface NAME      the network card, named as in the window's card box (default:
                        the first that is up, not loopback, with an IPv4 address)
  --format FORMAT       table (default), csv or json; csv and json print only the
                        data on standard output
  --all-replies         list one row per serial number
  --dry-run             apply: search only and show what would be done
  --password-file FILE  the password is the first line of FILE
  --verbose             also print the link's debug lines on standard error
  -h, --help            this help
  -v, --version         the version

Passwords are never taken as arguments. They come from the plan's third column, else
from --password-file, else from the environment variable TARNVALE_PASSWORD, else from a
prompt without echo when standard input is a terminal.

Plan files are UTF-8 CSV: rows sn,new_ip[,password]; a first row starting with "sn" is
a header; blank lines and lines starting with # are skipped; cells may be quoted.

Exit status:
  0  done (apply: every device done or already at its address)
  1  apply: one or more devices failed (see the table)
  2  bad arguments, or no password
  3  unknown network interface, or none to choose
  4  network failure: the port cannot be bound or the request cannot be sent
  5  no reply: no device answered, or not the device asked for
  6  password refused
  7  address refused, by the address rules or by the device
  8  the device is not activated (set-ip), already activated (activate), or answered
     with invalid data
  9  the plan file is unreadable or malformed (the line is named)
)";

struct Command
{
    const char *name;
    int arguments;
    QStringList options; // besides --interface, --verbose, --help and --version
};

const QVector<Command> &commands()
{
    static const QVector<Command> list = {
        {"list", 0, {QStringLiteral("format"), QStringLiteral("all-replies")}},
        {"set-ip", 2, {QStringLiteral("password-file")}},
        {"activate", 2, {QStringLiteral("password-file")}},
        {"apply", 1, {QStringLiteral("dry-run"), QStringLiteral("password-file")}},
    };
    return list;
}

} // namespace

TarnvaleCli::TarnvaleCli(FILE *out, FILE *err) : out(out), err(err)
{
    // The request tags must differ between two runs started in the same second.
    std::srand(QRandomGenerator::system()->generate());
}

QString TarnvaleCli::helpText()
{
    return QString::fromUtf8(kHelp);
}

void TarnvaleCli::messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if ((type == QtDebugMsg || type == QtInfoMsg) && !verboseLog)
        return;
    std::fprintf(stderr, "tarnvale-cli: %s\n", printable(message).toUtf8().constData());
    std::fflush(stderr);
}

int TarnvaleCli::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption interfaceOption(QStringLiteral("interface"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption formatOption(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption passwordFileOption(QStringLiteral("password-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption allRepliesOption(QStringLiteral("all-replies"));
    const QCommandLineOption dryRunOption(QStringLiteral("dry-run"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({interfaceOption, formatOption, passwordFileOption, allRepliesOption, dryRunOption,
                       verboseOption, helpOption, versionOption});

    if (!parser.parse(arguments)) {
        const bool passwordGiven = arguments.filter(QStringLiteral("--password")).size()
                                   > arguments.filter(QStringLiteral("--password-file")).size();
        return fail(ExitUsage, parser.errorText()
                                   + (passwordGiven ? QStringLiteral(" Passwords are not taken as arguments: use "
                                                                     "--password-file FILE or TARNVALE_PASSWORD.")
                                                    : QString()));
    }
    if (parser.isSet(helpOption)) {
        print(out, helpText());
        return ExitOk;
    }
    if (parser.isSet(versionOption)) {
        print(out, QStringLiteral("tarnvale-cli %1\n").arg(QStringLiteral(ORV_VERSION)));
        return ExitOk;
    }
    verboseLog = parser.isSet(verboseOption);

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return fail(ExitUsage, QStringLiteral("no command; see tarnvale-cli --help"));
    const QString name = positional.takeFirst();
    const auto command = std::find_if(commands().cbegin(), commands().cend(),
                                      [&name](const Command &c) { return name == QLatin1String(c.name); });
    if (command == commands().cend())
        return fail(ExitUsage, QStringLiteral("unknown command \"%1\"; see tarnvale-cli --help").arg(name));
    if (positional.size() != command->arguments)
        return fail(ExitUsage, QStringLiteral("%1 takes %2 arguments, not %3; see tarnvale-cli --help")
                                   .arg(name)
                                   .arg(command->arguments)
                                   .arg(positional.size()));
    for (const QCommandLineOption &option : {formatOption, allRepliesOption, dryRunOption, passwordFileOption}) {
        if (parser.isSet(option) && !command->options.contains(option.names().first()))
            return fail(ExitUsage, QStringLiteral("--%1 is not an option of %2").arg(option.names().first(), name));
    }

    Format format = Format::Table;
    const QString formatName = parser.value(formatOption);
    if (formatName == QLatin1String("csv"))
        format = Format::Csv;
    else if (formatName == QLatin1String("json"))
        format = Format::Json;
    else if (!formatName.isEmpty() && formatName != QLatin1String("table"))
        return fail(ExitUsage, QStringLiteral("--format takes table, csv or json, not \"%1\"").arg(formatName));
    passwordFile = parser.value(passwordFileOption);

    QString error;
    if (!chooseInterface(parser.value(interfaceOption), &error))
        return fail(ExitUnknownInterface, error);

    if (name == QLatin1String("list"))
        return list(format); // --all-replies: every device is listed anyway
    if (name == QLatin1String("apply"))
        return apply(positional.at(0), parser.isSet(dryRunOption));
    return changeOne(name == QLatin1String("activate"), positional.at(0), positional.at(1));
}

int TarnvaleCli::readPassword(QString *password)
{
    QString error;
    if (!obtainPassword(passwordFile, password, &error))
        return fail(ExitUsage, error);
    const Outcome rule = checkPassword(*password);
    return rule.status == ExitOk ? int(ExitOk) : fail(rule.status, rule.text);
}

bool TarnvaleCli::chooseInterface(const QString &requested, QString *error)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    QStringList names;
    for (const QNetworkInterface &nic : interfaces) {
        names << nic.humanReadableName();
        if (!requested.isEmpty()) {
            if (nic.humanReadableName() == requested) {
                interfaceName = requested;
                return true;
            }
            continue;
        }
        const QList<QNetworkAddressEntry> entries = nic.addressEntries();
        const bool hasIpv4 = std::any_of(entries.cbegin(), entries.cend(), [](const QNetworkAddressEntry &entry) {
            return entry.ip().protocol() == QAbstractSocket::IPv4Protocol;
        });
        if (nic.flags().testFlag(QNetworkInterface::IsUp) && !nic.flags().testFlag(QNetworkInterface::IsLoopBack)
            && hasIpv4) {
            interfaceName = nic.humanReadableName();
            qDebug().noquote() << "interface" << interfaceName;
            return true;
        }
    }
    const QString known = names.join(QLatin1String(", "));
    *error = requested.isEmpty() ? QStringLiteral("no network interface is up with an IPv4 address; name one with "
                                                  "--interface (known: %1)")
                                       .arg(known)
                                 : QStringLiteral("unknown interface \"%1\" (known: %2)").arg(requested, known);
    return false;
}

int TarnvaleCli::list(Format format)
{
    LinkCore link;
    QElapsedTimer clock;
    clock.start();
    const LinkCore::Result result = link.search(interfaceName);
    if (!result.status.ok())
        return searchFailure(result.status);
    qDebug("search: first reply after %lld ms, gathering done after %lld ms", result.firstReplyMs, clock.elapsed());
    const QVector<QStringList> rows = deviceRows(result.json.get());
    if (rows.isEmpty())
        return searchFailure(LinkCore::Status{LinkCore::Error::NoMatchingReply});

    switch (format) {
    case Format::Table:
        print(out, deviceTable(rows, true));
        break;
    case Format::Csv:
        print(out, csvDocument(QVector<QStringList>{deviceCsvColumns()} + rows));
        break;
    case Format::Json:
        print(out, deviceJson(rows));
        break;
    }
    const QHash<QString, int> counts = addressCounts(rows);
    const int sharing = int(std::count_if(rows.cbegin(), rows.cend(),
                                          [&counts](const QStringList &row) {
                                              return counts.value(row.at(memberIndex(DeviceMember::Ip))) > 1;
                                          }));
    print(err, QStringLiteral("tarnvale-cli: %1 devices on %2").arg(rows.size()).arg(printable(interfaceName))
                   + (sharing ? QStringLiteral(", %1 of them share an address with another\n").arg(sharing)
                              : QStringLiteral("\n")));
    return ExitOk;
}

int TarnvaleCli::changeOne(bool activate, const QString &sn, const QString &newIp)
{
    const QString who = sn + QStringLiteral(": ");
    const Outcome address = checkAddress(newIp);
    if (address.status != ExitOk)
        return fail(address.status, who + address.text);
    QString password;
    if (const int status = readPassword(&password))
        return status;

    LinkCore link;
    link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    if (!link.open(interfaceName))
        return fail(ExitNetwork, link.status().message());
    const Outcome outcome = outcomeOf(changeAddress(link, activate ? Road::Activate : Road::Login, sn, password, newIp));
    if (outcome.status != ExitOk)
        return fail(outcome.status, who + outcome.text);
    print(out, printable(who + outcome.text) + QLatin1Char('\n'));
    return ExitOk;
}

int TarnvaleCli::apply(const QString &planPath, bool dryRun)
{
    QFile file(planPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ExitPlanFile, QStringLiteral("cannot read the plan %1: %2").arg(planPath, file.errorString()));
    QVector<PlanRow> plan;
    int line = 0;
    QString error;
    if (!parsePlan(file.readAll(), &plan, &line, &error))
        return fail(ExitPlanFile, QStringLiteral("%1:%2: %3").arg(planPath).arg(line).arg(error));

    QString password;
    const bool passwordNeeded =
        std::any_of(plan.cbegin(), plan.cend(), [](const PlanRow &row) { return row.password.isEmpty(); });
    if (!dryRun && passwordNeeded) {
        if (const int status = readPassword(&password))
            return status;
    }

    LinkCore link;
    link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    const LinkCore::Result search = link.search(interfaceName);
    if (!search.status.ok())
        return searchFailure(search.status);
    QHash<QString, QStringList> found;
    for (const QStringList &device : deviceRows(search.json.get()))
        found.insert(device.at(memberIndex(DeviceMember::Sn)), device);

    QVector<QStringList> table = {{QStringLiteral("LINE"), QStringLiteral("SN"), QStringLiteral("ADDRESS"),
                                   QStringLiteral("NEW ADDRESS"), QStringLiteral("ROAD"), QStringLiteral("RESULT"),
                                   QStringLiteral("DETAIL")}};
    int changed = 0;
    int skipped = 0;
    int failed = 0;
    for (int i = 0; i < plan.size(); ++i) {
        const PlanRow &row = plan.at(i);
        const auto device = found.constFind(row.sn);
        const QString current = device == found.cend() ? QStringLiteral("-") : device->at(memberIndex(DeviceMember::Ip));
        QString road = QStringLiteral("-");
        QString result = QStringLiteral("failed");
        Outcome outcome;
        if (device == found.cend()) {
            outcome = {ExitNoReply, QStringLiteral("not found in the search")};
        } else if (current == row.newIp) {
            result = QStringLiteral("skipped");
            outcome.text = QStringLiteral("already at its new address");
        } else if ((outcome = checkAddress(row.newIp)).status == ExitOk
                   && (row.password.isEmpty() || (outcome = checkPassword(row.password)).status == ExitOk)) {
            const Road chosen = roadFor(device->at(memberIndex(DeviceMember::Active)));
            road = roadName(chosen);
            if (dryRun) {
                result = QStringLiteral("planned");
                outcome.text = chosen == Road::Login ? QStringLiteral("would log in, then change the address")
                                                     : QStringLiteral("would activate, then change the address");
            } else {
                outcome = outcomeOf(changeAddress(link, chosen, row.sn,
                                                  row.password.isEmpty() ? password : row.password, row.newIp));
                if (outcome.status == ExitOk)
                    result = QStringLiteral("done");
            }
        }
        changed += result == QLatin1String("done") || result == QLatin1String("planned");
        skipped += result == QLatin1String("skipped");
        failed += result == QLatin1String("failed");
        table << QStringList{QString::number(row.line), row.sn, current, row.newIp, road, result, outcome.text};
        if (!dryRun)
            print(err, QStringLiteral("[%1/%2] %3 %4 -> %5: %6: %7\n")
                           .arg(i + 1)
                           .arg(plan.size())
                           .arg(printable(row.sn), printable(current), printable(row.newIp), result,
                                printable(outcome.text)));
    }

    print(out, textTable(table));
    if (!dryRun && changed == 0 && failed == 0)
        print(out, QStringLiteral("Nothing to do: every device of the plan is already at its new address.\n"));
    else
        print(out, QStringLiteral("%1 %2, %3 already at their address, %4 %5\n")
                       .arg(changed)
                       .arg(dryRun ? QStringLiteral("to change") : QStringLiteral("changed"))
                       .arg(skipped)
                       .arg(failed)
                       .arg(dryRun ? QStringLiteral("would fail") : QStringLiteral("failed")));
    return failed ? ExitNotAllDone : ExitOk;
}

int TarnvaleCli::searchFailure(const LinkCore::Status &status)
{
    if (status.error == LinkCore::Error::Timeout || status.error == LinkCore::Error::NoMatchingReply)
        return fail(ExitNoReply, QStringLiteral("no device answered the search on %1").arg(interfaceName));
    return fail(ExitNetwork, status.message());
}

int TarnvaleCli::fail(ExitStatus status, const QString &line)
{
    print(err, QStringLiteral("tarnvale-cli: ") + printable(line) + QLatin1Char('\n'));
    return status;
}

void TarnvaleCli::print(FILE *stream, const QString &text)
{
    print(stream, text.toUtf8());
}

void TarnvaleCli::print(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}
