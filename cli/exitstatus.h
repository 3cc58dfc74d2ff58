#pragma once

// What tarnvale-cli's exit status says, and how the outcomes of the device roads map to it.
// --help and the manual page list the same values.

#include "addresschange.h"

#include <QString>

enum ExitStatus {
    ExitOk = 0,
    ExitNotAllDone = 1,       // apply: one or more rows failed
    ExitUsage = 2,            // bad arguments, or no password to be had
    ExitUnknownInterface = 3, // no such network card, or none to choose
    ExitNetwork = 4,          // the port could not be bound or the request not sent
    ExitNoReply = 5,          // no device answered
    ExitRefusedPassword = 6,
    ExitRefusedAddress = 7,   // by the address rules or by the device
    ExitDeviceState = 8,      // not activated / already activated / invalid reply
    ExitPlanFile = 9,         // unreadable or malformed plan
};

// A status with the line that explains it (empty for ExitOk where nothing needs saying).
struct Outcome
{
    ExitStatus status = ExitOk;
    QString text;
};

// The window's checks of a new address, with the reason; ExitOk and no text when it may be sent.
Outcome checkAddress(const QString &newIp);

// The password dialog's length rule; ExitUsage with its text when broken.
Outcome checkPassword(const QString &password);

// What a failed exchange means for the operator.
Outcome linkFailure(const LinkCore::Status &status);

// The status and line of a road's end, in the window's own words.
Outcome outcomeOf(const ChangeResult &result);
