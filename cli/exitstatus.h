#pragma once

// What tarnvale-cli's exit status says; --help and the manual page list the same values.
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
