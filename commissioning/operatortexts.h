#pragma once

// What the operator is told about an address change, in one place: the window shows these
// texts translated in the "ORV_Window" context, the command line prints the English sources.

#include "commissioning/addressrules.h"
#include "devicelink/devicemessages.h"

#include <QString>

#include <optional>

enum class RowCheck;     // addressplan.h
enum class Verification; // addressplan.h
enum class RunResult;    // batchrun.h

enum class Severity { Information, Warning, Critical };

// English sources, to be passed through the translation (or not) by the caller.
struct OperatorText
{
    Severity severity;
    const char *title;
    const char *text;
};

// How one address change ended, as far as the device's replies tell.
enum class ChangeOutcome {
    Changed,            // "netcfg" accepted
    NoReply,            // no matching reply (the link's status tells more)
    NoDataField,        // a reply without "data"
    NoLoginField,       // a login reply without a string "login"
    NotActivated,       // login: the device has no password yet
    PasswordRefused,    // login: any other refusal
    AlreadyActivated,   // activation refused
    AddressNotAccepted, // "netcfg" answered, but not with "ok"
};

OperatorText outcomeText(ChangeOutcome outcome);

// Where a login or an activation stops the road; nothing when it goes on to "netcfg".
std::optional<ChangeOutcome> loginFailure(LoginReply reply);
std::optional<ChangeOutcome> activationFailure(ActivateReply reply);

// The box for an address that is refused before anything is sent: "Invalid Format",
// "Invalid IP" or "Invalid IP Address" with "Please enter a valid IPv4 address.".
OperatorText addressCheckText(NewAddressCheck check);
// Why a number is no address for a device (one sentence), or null for a usable one and
// for those that are no address at all.
const char *addressCheckReason(NewAddressCheck check);

// "%1 is in use by %2 (%3).": the address, the holder's serial number and MAC.
OperatorText addressConflictText();

// A source of this table as the operator reads it: translated in the "ORV_Window" context
// (the window), or the English source (the command line).
QString operatorString(const char *source, bool translate);

// The verdict on a plan row, with %1... as verdictText() fills them; empty for an unusable
// address, which is told by addressCheckText() and addressCheckReason().
const char *rowCheckText(RowCheck check);

// "verified", "kept old address", "not seen", "seen elsewhere"; empty when not looked for.
// The English word is also what reports store.
const char *verificationText(Verification verification);

// A row's result in a run: "done", "failed", "conflict", ...; reports store the English word.
const char *runResultText(RunResult result);

// The other sentences of plans and runs.
enum class RunText {
    OutsideCard,           // %1 address, %2 card
    RangeTooSmall,         // %1 first, %2 last address, %3 free, %4 needed
    RangeBackwards,        // %1 first, %2 last address
    NoDeviceChosen,
    WouldLogIn,            // dry run
    WouldActivate,         // dry run
    ActivatedNotAddressed, // %1 why the address was not changed
    ReplyLostButVerified,
    ChangeUnderWay,        // what a report says of the device in hand
    NotRun,                // the run stopped before this row
    AnswersElsewhere,      // %1 the address it answers at
    ActivationUnanswered,  // no reply to the activation
};
const char *runText(RunText text);
