#pragma once

// tarnvale-cli plan: one search, then a plan that apply takes unchanged.

#include "cli/command.h"
#include "commissioning/addressplan.h"

class PlanCommand : public Command
{
public:
    PlanCommand();

    const QCommandLineOption *required() const override;
    Outcome parse(const QCommandLineParser &parser, const QStringList &arguments) override;
    int execute(Console &console) override;

    const PlanRequest &request() const { return planRequest; }

private:
    PlanRequest planRequest;
};

// plan: the status of a refused range.
ExitStatus planStatus(GeneratedPlan::Problem problem);
