#include "tarnvalecli.h"

#include "applyrows.h"
#include "deviceoutput.h"
#include "inputfile.h"
#include "password.h"
#include "planfile.h"

#include <QElapsedTimer>
#include <QHash>
#include <QNetworkInterface>
#include <QRandomGenerator>

#include <cstdlib>

namespace {

bool verboseLog = false;

} // namespace

TarnvaleCli::TarnvaleCli(FILE *out, FILE *err)
    : out(out), outStream(out, "standard output"), errStream(err, "standard error")
{
    // The request tags must differ between two runs started in the same second.
    std::srand(QRandomGenerator::system()->generate());
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
    return finish(execute(arguments));
}

int TarnvaleCli::execute(const QStringList &arguments)
{
    const Outcome parsed = parseArguments(arguments, &invocation);
    if (parsed.status != ExitOk)
        return fail(parsed);
    if (invocation.help) {
        outStream.write(helpText());
        return ExitOk;
    }
    if (invocation.version) {
        outStream.write(QStringLiteral("tarnvale-cli %1\n").arg(QStringLiteral(ORV_VERSION)));
        return ExitOk;
    }
    verboseLog = invocation.verbose;

    switch (invocation.command) {
    case Command::List:
        return list();
    case Command::SetIp:
    case Command::Activate:
        return changeOne(invocation.command == Command::Activate, invocation.arguments.at(0),
                         invocation.arguments.at(1));
    case Command::Apply:
        return apply(invocation.arguments.at(0));
    }
    return ExitUsage;
}

int TarnvaleCli::readPassword(QString *password, bool standardInputTaken)
{
    QString warning;
    const Outcome found =
        obtainPassword({invocation.passwordFile, invocation.strict, standardInputTaken}, password, &warning);
    if (!warning.isEmpty())
        errStream.write(QStringLiteral("tarnvale-cli: ") + printable(warning) + QLatin1Char('\n'));
    if (found.status != ExitOk)
        return fail(found);
    const Outcome rule = checkPassword(*password);
    return rule.status == ExitOk ? int(ExitOk) : fail(rule);
}

bool TarnvaleCli::chooseInterface(QString *error)
{
    const QString &requested = invocation.interfaceName;
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

int TarnvaleCli::list()
{
    QString error;
    if (!chooseInterface(&error))
        return fail(ExitUnknownInterface, error);
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

    switch (invocation.format) {
    case ListFormat::Table:
        writeTable(deviceTable(rows), invocation.wide ? 0 : kTableCellWidth,
                   [this](const QString &line) { return outStream.write(line); });
        break;
    case ListFormat::Csv:
        outStream.write(deviceCsv(rows));
        break;
    case ListFormat::Json:
        outStream.write(deviceJson(rows));
        break;
    }
    const QHash<QString, int> counts = addressCounts(rows);
    const int sharing = int(std::count_if(rows.cbegin(), rows.cend(), [&counts](const QStringList &row) {
        return counts.value(row.at(memberIndex(DeviceMember::Ip))) > 1;
    }));
    errStream.write(QStringLiteral("tarnvale-cli: %1 devices on %2").arg(rows.size()).arg(printable(interfaceName))
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
    keepSecretsOutOfCoreFiles();
    QString password;
    if (const int status = readPassword(&password))
        return status;
    QString error;
    if (!chooseInterface(&error))
        return fail(ExitUnknownInterface, error);

    LinkCore link;
    link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    if (!link.open(interfaceName))
        return fail(ExitNetwork, link.status().message());
    const Outcome outcome = outcomeOf(changeAddress(link, activate ? Road::Activate : Road::Login, sn, password, newIp));
    if (outcome.status != ExitOk)
        return fail(outcome.status, who + outcome.text);
    outStream.write(printable(who + outcome.text) + QLatin1Char('\n'));
    return ExitOk;
}

int TarnvaleCli::apply(const QString &planPath)
{
    keepSecretsOutOfCoreFiles(); // the plan may hold passwords
    QByteArray text;
    QString error;
    if (!readInput(planPath, kMaxPlanBytes + 1, &text, &error))
        return fail(ExitPlanFile, QStringLiteral("plan: ") + error);
    QVector<PlanRow> plan;
    int line = 0;
    if (!parsePlan(text, &plan, &line, &error))
        return fail(ExitPlanFile, line ? QStringLiteral("%1:%2: %3").arg(inputName(planPath)).arg(line).arg(error)
                                       : QStringLiteral("%1: %2").arg(inputName(planPath), error));

    const bool dryRun = invocation.dryRun;
    QString password;
    const bool passwordNeeded =
        std::any_of(plan.cbegin(), plan.cend(), [](const PlanRow &row) { return row.password.isEmpty(); });
    if (!dryRun && passwordNeeded) {
        if (const int status = readPassword(&password, planPath == QLatin1String(kStandardInput)))
            return status;
    }
    if (!chooseInterface(&error))
        return fail(ExitUnknownInterface, error);

    LinkCore link;
    link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    const LinkCore::Result search = link.search(interfaceName);
    if (!search.status.ok())
        return searchFailure(search.status);
    QHash<QString, QStringList> found;
    for (const QStringList &device : deviceRows(search.json.get()))
        found.insert(device.at(memberIndex(DeviceMember::Sn)), device);

    QVector<QStringList> table = {reportHeader()};
    RowCounts counts;
    for (int i = 0; i < plan.size(); ++i) {
        const PlanRow &row = plan.at(i);
        const auto device = found.constFind(row.sn);
        RowStep step = decideRow(row, device == found.cend() ? nullptr : &*device);
        if (step.result == RowResult::Planned && !dryRun)
            step = finishRow(step, outcomeOf(changeAddress(link, *step.road, row.sn,
                                                           row.password.isEmpty() ? password : row.password,
                                                           row.newIp)));
        counts.add(step.result);
        table << reportRow(row, step);
        if (!dryRun)
            errStream.write(printable(progressLine(i + 1, plan.size(), row, step)) + QLatin1Char('\n'));
    }
    outStream.write(textTable(table, invocation.wide ? 0 : kTableCellWidth) + summaryLine(counts, dryRun)
                    + QLatin1Char('\n'));
    return applyStatus(counts);
}

int TarnvaleCli::searchFailure(const LinkCore::Status &status)
{
    if (status.error == LinkCore::Error::Timeout || status.error == LinkCore::Error::NoMatchingReply)
        return fail(ExitNoReply, QStringLiteral("no device answered the search on %1").arg(interfaceName));
    return fail(ExitNetwork, status.message());
}

int TarnvaleCli::fail(ExitStatus status, const QString &line)
{
    errStream.write(QStringLiteral("tarnvale-cli: ") + printable(line) + QLatin1Char('\n'));
    return status;
}

int TarnvaleCli::finish(int status)
{
    const bool errWritten = errStream.finish(false);
    if (outStream.finish(out == stdout) && errWritten)
        return status;
    if (!outStream.ok())
        errStream.write(QStringLiteral("tarnvale-cli: ") + outStream.errorText() + QLatin1Char('\n'));
    return ExitOutput;
}
