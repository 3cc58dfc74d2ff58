#include "cli/tarnvalecli.h"

#include "cli/applyrows.h"
#include "cli/deviceoutput.h"
#include "cli/doctorcommand.h"
#include "cli/inputfile.h"
#include "cli/interrupt.h"
#include "cli/password.h"
#include "commissioning/devicecsv.h"
#include "commissioning/hostprobe.h"
#include "commissioning/planfile.h"
#include "commissioning/report.h"
#include "diagnosis/linkfailure.h"
#include "diagnosis/networkcard.h"

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
        return changeOne(invocation.command == Command::Activate ? Road::Activate : Road::Login,
                         invocation.arguments.at(0), invocation.arguments.at(1));
    case Command::Apply:
        return apply(invocation.arguments.at(0));
    case Command::Undo:
        return undo(invocation.arguments.at(0));
    case Command::Plan:
        return plan();
    case Command::Doctor:
        // Before a card is chosen: a card that does not exist is one of its findings.
        outStream.finish(false);
        return runDoctor(invocation.interfaceName, out, stderr);
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
    interfaceName = requested.isEmpty() ? defaultCardName() : requested;
    QStringList names;
    for (const NetworkCard &card : describeCards(QNetworkInterface::allInterfaces())) {
        if (card.name == interfaceName) {
            qDebug().noquote() << "interface" << interfaceName;
            return true;
        }
        names << card.name;
    }
    const QString known = names.join(QLatin1String(", "));
    *error = requested.isEmpty() ? QStringLiteral("no network interface is up, running and able to multicast with an "
                                                  "IPv4 address; name one with --interface (known: %1)")
                                       .arg(known)
                                 : QStringLiteral("unknown interface \"%1\" (known: %2)").arg(requested, known);
    return false;
}

void TarnvaleCli::configure(LinkCore &link)
{
    link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
    link.setPortSharing(LinkCore::PortSharing::Exclusive);
}

int TarnvaleCli::search(LinkCore &link, LinkCore::Result *result)
{
    QElapsedTimer clock;
    clock.start();
    *result = link.search(interfaceName);
    if (!result->status.ok())
        return fail(searchFailure(result->status, interfaceName));
    qDebug("search: first reply after %lld ms, gathering done after %lld ms", result->firstReplyMs, clock.elapsed());
    if (result->dropped > 0) {
        repliesDropped = true;
        errStream.write(QStringLiteral("tarnvale-cli: warning: ")
                        + printable(droppedRepliesText(result->dropped, result->receiveBuffer))
                        + QLatin1Char('\n'));
    }
    return ExitOk;
}

int TarnvaleCli::list()
{
    QString error;
    if (!chooseInterface(&error))
        return fail(ExitUnknownInterface, error);
    LinkCore link;
    configure(link);
    LinkCore::Result result;
    if (const int status = search(link, &result))
        return status;
    const QVector<QStringList> rows = deviceRows(result.json.get());
    if (rows.isEmpty())
        return fail(searchFailure(LinkCore::Status{LinkCore::Error::NoMatchingReply}, interfaceName));

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
    return repliesDropped && invocation.strict ? int(ExitDroppedReplies) : int(ExitOk);
}

int TarnvaleCli::changeOne(Road road, const QString &sn, const QString &newIp)
{
    const Outcome address = checkAddress(newIp);
    if (address.status != ExitOk)
        return fail(address.status, sn + QStringLiteral(": ") + address.text);
    keepSecretsOutOfCoreFiles();
    QString password;
    if (const int status = readPassword(&password))
        return status;
    return change({PlanRow{1, sn, newIp, QString()}}, road, password);
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

    QString password;
    const bool passwordNeeded =
        std::any_of(plan.cbegin(), plan.cend(), [](const PlanRow &row) { return row.password.isEmpty(); });
    if (!invocation.dryRun && passwordNeeded) {
        if (const int status = readPassword(&password, planPath == QLatin1String(kStandardInput)))
            return status;
    }
    return change(plan, std::nullopt, password);
}

int TarnvaleCli::undo(const QString &reportPath)
{
    QVector<ReportRow> rows;
    int line = 0;
    QString error;
    if (!readReport(reportPath, &rows, &line, &error))
        return fail(ExitPlanFile, line ? QStringLiteral("%1:%2: %3").arg(reportPath).arg(line).arg(error)
                                       : QStringLiteral("%1: %2").arg(reportPath, error));
    const QVector<PlanRow> plan = reversePlan(rows);
    if (plan.isEmpty()) {
        outStream.write(QStringLiteral("Nothing to undo: the report shows no device that changed.\n"));
        return ExitOk;
    }
    keepSecretsOutOfCoreFiles();
    QString password;
    if (!invocation.dryRun) {
        if (const int status = readPassword(&password))
            return status;
    }
    return change(plan, std::nullopt, password);
}

int TarnvaleCli::change(const QVector<PlanRow> &plan, std::optional<Road> road, const QString &password)
{
    QString error;
    if (!chooseInterface(&error))
        return fail(ExitUnknownInterface, error);
    // Before anything is sent: a run without its record would be one that cannot be undone.
    std::optional<ReportWriter> report;
    if (!invocation.reportPath.isEmpty()) {
        report.emplace(invocation.reportPath);
        if (!report->open())
            return fail(ExitOutput, QStringLiteral("report: ") + report->error());
    }
    const InterruptGuard interrupts;
    LinkCore link;
    configure(link);
    LinkCore::Result result;
    if (const int status = search(link, &result))
        return status;
    if (repliesDropped && invocation.strict)
        return fail(ExitDroppedReplies, QStringLiteral("the search is incomplete: nothing was changed (--strict)"));

    const QVector<FoundDevice> devices = foundDevices(result.json.get());
    const PlanCheck check = checkPlanOnCard(plan, devices, interfaceName);
    BatchRun::Options options;
    options.card = interfaceName;
    options.dryRun = invocation.dryRun;
    options.road = road;
    options.verifyTimeoutMs = invocation.verifyTimeoutMs;
    options.report = report ? &*report : nullptr;
    BatchRun run(link, devices, plan, check, password, options);
    int changed = 0;
    bool interrupted = false;
    for (;;) {
        if (InterruptGuard::requested()) {
            interrupted = true;
            run.cancel();
            break;
        }
        const BatchRun::Step step = run.step();
        if (step.kind == BatchRun::Step::Finished)
            break;
        if (step.kind == BatchRun::Step::VerificationRound)
            errStream.write(printable(roundLine(step.round)) + QLatin1Char('\n'));
        else if (!invocation.dryRun)
            errStream.write(printable(progressLine(++changed, check.order.size(), run.rows().at(step.row),
                                                   interfaceName))
                            + QLatin1Char('\n'));
    }

    int status = ExitOk;
    if (road) {
        const RunRow &row = run.rows().constFirst();
        status = rowStatus(row);
        if (status == ExitOk)
            outStream.write(printable(rowLine(row, interfaceName)) + QLatin1Char('\n'));
        else if (status != ExitInterrupted)
            fail(ExitStatus(status), rowLine(row, interfaceName));
    } else {
        QVector<QStringList> table = {runHeader()};
        RunCounts counts;
        for (const RunRow &row : run.rows()) {
            table << runRow(row, interfaceName);
            counts.add(row);
        }
        outStream.write(textTable(table, invocation.wide ? 0 : kTableCellWidth)
                        + summaryLine(counts, invocation.dryRun) + QLatin1Char('\n'));
        status = runStatus(counts);
    }
    if (!run.error().isEmpty())
        return fail(ExitOutput, QStringLiteral("report: ") + run.error() + QStringLiteral("; the run stopped there"));
    if (interrupted)
        return fail(ExitInterrupted, QStringLiteral("interrupted: the rows not run are marked so; run the same plan "
                                                    "again to go on (devices at their new address are skipped)"));
    return status;
}

int TarnvaleCli::plan()
{
    QString error;
    if (!chooseInterface(&error))
        return fail(ExitUnknownInterface, error);
    LinkCore link;
    configure(link);
    LinkCore::Result result;
    if (const int status = search(link, &result))
        return status;
    if (repliesDropped && invocation.strict)
        return fail(ExitDroppedReplies, QStringLiteral("the search is incomplete: no plan made (--strict)"));
    const PlanRequest &request = invocation.planRequest;
    const GeneratedPlan generated = generatePlan(foundDevices(result.json.get()), request);
    if (generated.problem != GeneratedPlan::None)
        return fail(planStatus(generated.problem), generatorText(generated, request, false));
    QVector<QStringList> rows = {{QStringLiteral("sn"), QStringLiteral("new_ip")}};
    for (const PlanRow &row : generated.rows)
        rows << QStringList{row.sn, row.newIp};
    outStream.write(csvDocument(rows));
    errStream.write(QStringLiteral("tarnvale-cli: %1 devices planned, %2 of them keep their address\n")
                        .arg(generated.rows.size())
                        .arg(generated.rows.size() - generated.needed));
    return ExitOk;
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
