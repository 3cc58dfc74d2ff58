#pragma once

// tarnvale-cli apply PLAN: every row of a plan, checked first, then run.

#include "cli/changecommand.h"

class ApplyCommand : public ChangeCommand
{
public:
    ApplyCommand();

    Outcome parse(const QCommandLineParser &parser, const QStringList &arguments) override;
    int execute(Console &console) override;

private:
    QString planPath;
};
