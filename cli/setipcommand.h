#pragma once

// tarnvale-cli set-ip SN NEW_IP: one device, logged in to, gets a new address.

#include "cli/changecommand.h"

class SetIpCommand : public ChangeCommand
{
public:
    SetIpCommand();

    Outcome parse(const QCommandLineParser &parser, const QStringList &arguments) override;
    int execute(Console &console) override;

protected:
    SetIpCommand(const QString &name, const QString &description, Road road);

private:
    Road road = Road::Login;
    QString sn;
    QString newIp;
};
