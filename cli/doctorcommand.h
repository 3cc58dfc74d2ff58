#pragma once

// tarnvale-cli doctor: the usual causes of an empty list checked one by one on the card that
// a search would use, then one search and its count.

#include "cli/command.h"

#include <QString>

#include <cstdio>

class DoctorCommand : public Command
{
public:
    DoctorCommand();
    int execute(Console &console) override;
};

// One line per check on out, after the search; interfaceName empty: the card the other commands
// would choose, else the likeliest other (cardToExamine). Returns ExitOk when nothing is wrong,
// ExitDoctorFinding when a check found a problem, ExitOutput when out could not be written (the
// reason on err).
int runDoctor(const QString &interfaceName, FILE *out, FILE *err);
