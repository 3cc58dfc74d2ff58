#pragma once

// What the operator is told about an address change, in one place: the window shows these
// texts translated in the "ORV_Window" context, the command line prints the English sources.

#include "devicemessages.h"
#include "ipv4address.h"

#include <optional>

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
