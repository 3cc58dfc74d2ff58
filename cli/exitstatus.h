#pragma once

// What tarnvale-cli's exit status says, and how the outcomes of the device roads map to it.

#include "commissioning/changeroad.h"

#include <QString>

enum ExitStatus {
    ExitOk = 0,
    ExitNotAllDone = 1,        // apply, undo: one or more rows failed or were refused
    ExitUsage = 2,             // bad arguments, or no password to be had
    ExitUnknownInterface = 3,  // no such network card, none to choose, or the card is unusable
    ExitNetwork = 4,           // port in use, cannot send, group cannot be joined
    ExitNoReply = 5,
    ExitRefusedPassword = 6,
    ExitRefusedAddress = 7,    // by the address rules, a conflict, or the device
    ExitDeviceState = 8,       // not activated / already activated / invalid reply
    ExitPlanFile = 9,          // plan or report unreadable or malformed
    ExitNotVerified = 10,      // changed, but not seen at the new address
    ExitInterrupted = 11,      // SIGINT, SIGTERM or SIGHUP
    ExitOutput = 12,           // standard output, standard error or a report file could not be written
    ExitDroppedReplies = 13,   // the kernel dropped replies (only with --strict)
    ExitDoctorFinding = 14,    // doctor found a problem
};

// Every status with one line that says what it means, in order: --help prints these, and a
// test holds the manual page and the README to the same list.
struct ExitStatusText
{
    ExitStatus status;
    const char *text;
};
// clang-format off
inline constexpr ExitStatusText kExitStatusTexts[] = {
    {ExitOk, "done (apply, undo: every row done and verified, or already at its address)"},
    {ExitNotAllDone, "apply, undo: one or more rows failed or were refused (the table says which)"},
    {ExitUsage, "bad arguments, or no password to be had"},
    {ExitUnknownInterface, "unknown network card, none to choose, or the card is unusable (gone, no IPv4 address)"},
    {ExitNetwork, "network failure: the port is in use, the request cannot be sent, or the group cannot be joined"},
    {ExitNoReply, "no reply: no device answered, or not the device asked for"},
    {ExitRefusedPassword, "password refused"},
    {ExitRefusedAddress, "address refused: by the address rules, because another device or host holds it, or by the device; a serial number heard at two addresses; plan: the range is too small"},
    {ExitDeviceState, "the device is not activated (set-ip), already activated (activate), or answered with invalid data"},
    {ExitPlanFile, "the plan or report is unreadable or malformed (the line is named)"},
    {ExitNotVerified, "changed, but a device was not seen at its new address by the deadline (before 1)"},
    {ExitInterrupted, "interrupted by SIGINT, SIGTERM or SIGHUP: the device in hand was finished, the rest not run"},
    {ExitOutput, "standard output, standard error (a closed pipe too: the run stops as when interrupted) or a report file could not be written"},
    {ExitDroppedReplies, "the kernel dropped replies during a search (only with --strict)"},
    {ExitDoctorFinding, "doctor found a problem"},
};
// clang-format on

constexpr bool exitStatusTextsInOrder()
{
    int expected = 0;
    for (const ExitStatusText &entry : kExitStatusTexts) {
        if (entry.status != expected++)
            return false;
    }
    return true;
}
static_assert(exitStatusTextsInOrder(), "one line per exit status, in order");

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

// The status of a failed exchange: 5 when nothing (or nothing that fits) came back, 3 when
// the card cannot be used (gone, no IPv4 address), 4 for any other network failure.
ExitStatus linkFailureStatus(const LinkCore::Status &status);

// A search on card that failed, with the line that says why (the link's own sentence for
// the card and the port).
Outcome searchFailure(const LinkCore::Status &status, const QString &card);

// The status of a road that did not end with a new address.
ExitStatus changeStatus(const ChangeResult &result);
