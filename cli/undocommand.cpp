#include "cli/undocommand.h"

#include "cli/console.h"
#include "cli/inputfile.h"
#include "cli/password.h"
#include "commissioning/planfile.h"
#include "commissioning/report.h"

#include <QCommandLineParser>

namespace {

const QCommandLineOption &passwordsOption()
{
    static const QCommandLineOption passwords{
        QStringLiteral("passwords"),
        QStringLiteral("undo: each device's own password from FILE: a plan with the password column "
                       "(sn,new_ip,password, as apply takes it) or rows sn,password under that header (- for "
                       "standard input). Devices it does not name take the password of --password-file and the rest."),
        QStringLiteral("FILE")};
    return passwords;
}

} // namespace

UndoCommand::UndoCommand()
    : ChangeCommand(QStringLiteral("undo"), {QStringLiteral("REPORT")},
                    QStringLiteral("Puts back the old address of every device that a report (written by --report) "
                                   "shows changed, or under way, as apply would run that plan, with every check."),
                    {dryRunOption(), wideOption(), passwordsOption()})
{
}

Outcome UndoCommand::parse(const QCommandLineParser &parser, const QStringList &arguments)
{
    reportPath = arguments.value(0);
    passwordsFile = parser.value(passwordsOption());
    const Outcome read = ChangeCommand::parse(parser, arguments);
    if (read.status == ExitOk && passwordsFile == QLatin1String(kStandardInput)
        && settings().passwordFile == QLatin1String(kStandardInput))
        return {ExitUsage, QStringLiteral("the passwords and the password file cannot both be standard input")};
    return read;
}

int UndoCommand::execute(Console &console)
{
    QVector<ReportRow> rows;
    int line = 0;
    QString error;
    if (!readReport(reportPath, &rows, &line, &error))
        return console.fail(ExitPlanFile, line ? QStringLiteral("%1:%2: %3").arg(reportPath).arg(line).arg(error)
                                               : QStringLiteral("%1: %2").arg(reportPath, error));
    QVector<PlanRow> plan = reversePlan(rows);
    if (plan.isEmpty()) {
        console.out.write(QStringLiteral("Nothing to undo: the report shows no device that changed.\n"));
        return ExitOk;
    }
    keepSecretsOutOfCoreFiles();
    if (!passwordsFile.isEmpty()) {
        QByteArray text;
        unsigned mode = 0;
        QHash<QString, QString> passwords;
        if (!readInput(passwordsFile, kMaxPlanBytes + 1, &text, &error, &mode))
            return console.fail(ExitPlanFile, QStringLiteral("passwords: ") + error);
        const QString name = inputName(passwordsFile);
        QString warning;
        const Outcome exposed = checkExposure(QStringLiteral("passwords file"), name, mode, console.strict, &warning);
        if (!warning.isEmpty())
            console.warn(warning);
        if (exposed.status != ExitOk)
            return console.fail(exposed);
        if (!parsePasswords(text, &passwords, &line, &error))
            return console.fail(ExitPlanFile, line ? QStringLiteral("%1:%2: %3").arg(name).arg(line).arg(error)
                                                   : QStringLiteral("%1: %2").arg(name, error));
        for (PlanRow &row : plan)
            row.password = passwords.value(row.sn);
    }
    QString password;
    const bool passwordNeeded =
        std::any_of(plan.cbegin(), plan.cend(), [](const PlanRow &row) { return row.password.isEmpty(); });
    if (!settings().dryRun && passwordNeeded) {
        if (const int status = readPassword(console, &password, passwordsFile == QLatin1String(kStandardInput)))
            return status;
    }
    return run(console, plan, std::nullopt, password);
}
