#include "cli/setipcommand.h"

#include "cli/console.h"
#include "cli/password.h"

SetIpCommand::SetIpCommand()
    : SetIpCommand(QStringLiteral("set-ip"),
                   QStringLiteral("Searches first, refuses NEW_IP when another device or a host holds it (7), logs in "
                                  "to the device with serial number SN, gives it NEW_IP and looks for it there (10 "
                                  "when it is not seen)."),
                   Road::Login)
{
}

SetIpCommand::SetIpCommand(const QString &name, const QString &description, Road road)
    : ChangeCommand(name, {QStringLiteral("SN"), QStringLiteral("NEW_IP")}, description, {}), road(road)
{
}

Outcome SetIpCommand::parse(const QCommandLineParser &parser, const QStringList &arguments)
{
    sn = arguments.value(0);
    newIp = arguments.value(1);
    return ChangeCommand::parse(parser, arguments);
}

int SetIpCommand::execute(Console &console)
{
    const Outcome address = checkAddress(newIp);
    if (address.status != ExitOk)
        return console.fail(address.status, sn + QStringLiteral(": ") + address.text);
    keepSecretsOutOfCoreFiles();
    QString password;
    if (const int status = readPassword(console, &password))
        return status;
    return run(console, {PlanRow{1, sn, newIp, QString()}}, road, password);
}
