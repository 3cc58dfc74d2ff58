#pragma once

// tarnvale-cli undo REPORT: the old address back for every device that a report shows changed.

#include "cli/changecommand.h"

class UndoCommand : public ChangeCommand
{
public:
    UndoCommand();

    Outcome parse(const QCommandLineParser &parser, const QStringList &arguments) override;
    int execute(Console &console) override;

    QString passwordsPath() const { return passwordsFile; }

private:
    QString reportPath;
    QString passwordsFile; // --passwords: each device's own; empty: none named
};
