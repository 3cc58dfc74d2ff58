#pragma once

// tarnvale-cli list: one search, then every device.

#include "cli/command.h"

enum class ListFormat { Table, Csv, Json };

class ListCommand : public Command
{
public:
    ListCommand();

    Outcome parse(const QCommandLineParser &parser, const QStringList &arguments) override;
    int execute(Console &console) override;

    ListFormat format() const { return chosenFormat; }
    bool wide() const { return wholeCells; }

private:
    ListFormat chosenFormat = ListFormat::Table;
    bool wholeCells = false;
};
