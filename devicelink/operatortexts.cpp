#include "operatortexts.h"

#include <QtGlobal>

OperatorText outcomeText(ChangeOutcome outcome)
{
    switch (outcome) {
    case ChangeOutcome::Changed:
        return {Severity::Information, QT_TRANSLATE_NOOP("ORV_Window", "Tips"),
                QT_TRANSLATE_NOOP("ORV_Window", "IP changed successfully,device rebooting.....")};
    case ChangeOutcome::NoReply:
        return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Tips"),
                QT_TRANSLATE_NOOP("ORV_Window", "device not open")};
    case ChangeOutcome::NoDataField:
        return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Tips"),
                QT_TRANSLATE_NOOP("ORV_Window", "device returned invalid data (no data field)")};
    case ChangeOutcome::NoLoginField:
        return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Tips"),
                QT_TRANSLATE_NOOP("ORV_Window", "device returned invalid data (no login field)")};
    case ChangeOutcome::NotActivated:
        return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Tips"),
                QT_TRANSLATE_NOOP("ORV_Window", "device is not activated")};
    case ChangeOutcome::PasswordRefused:
        return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Tips"),
                QT_TRANSLATE_NOOP("ORV_Window", "Password error, login device failed")};
    case ChangeOutcome::AlreadyActivated:
        return {Severity::Information, QT_TRANSLATE_NOOP("ORV_Window", "Tips"),
                QT_TRANSLATE_NOOP("ORV_Window", "device is already actived")};
    case ChangeOutcome::AddressNotAccepted:
        return {Severity::Warning, QT_TRANSLATE_NOOP("ORV_Window", "Failure"),
                QT_TRANSLATE_NOOP("ORV_Window", "Device did not accept IP change.")};
    }
    return {Severity::Critical, "", ""};
}

std::optional<ChangeOutcome> loginFailure(LoginReply reply)
{
    switch (reply) {
    case LoginReply::Success:
        return std::nullopt;
    case LoginReply::None:
        return ChangeOutcome::NoReply;
    case LoginReply::NoData:
        return ChangeOutcome::NoDataField;
    case LoginReply::NoLoginField:
        return ChangeOutcome::NoLoginField;
    case LoginReply::NotActivated:
        return ChangeOutcome::NotActivated;
    case LoginReply::Refused:
        break;
    }
    return ChangeOutcome::PasswordRefused;
}

std::optional<ChangeOutcome> activationFailure(ActivateReply reply)
{
    switch (reply) {
    case ActivateReply::Success:
        return std::nullopt;
    case ActivateReply::None:
        return ChangeOutcome::NoReply;
    case ActivateReply::NoData:
        return ChangeOutcome::NoDataField;
    case ActivateReply::Refused:
        break;
    }
    return ChangeOutcome::AlreadyActivated;
}

OperatorText addressCheckText(NewAddressCheck check)
{
    switch (check) {
    case NewAddressCheck::BadFormat:
        return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Invalid Format"),
                QT_TRANSLATE_NOOP("ORV_Window", "Incorrect IPv4 address format.")};
    case NewAddressCheck::PartOutOfRange:
        return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Invalid IP"),
                QT_TRANSLATE_NOOP("ORV_Window", "Each part of the IP must be between 0 and 255.")};
    default:
        break;
    }
    return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Invalid IP Address"),
            QT_TRANSLATE_NOOP("ORV_Window", "Please enter a valid IPv4 address.")};
}

const char *addressCheckReason(NewAddressCheck check)
{
    switch (check) {
    case NewAddressCheck::Usable:
    case NewAddressCheck::BadFormat:
    case NewAddressCheck::PartOutOfRange:
        return nullptr;
    case NewAddressCheck::LeadingZero:
        return QT_TRANSLATE_NOOP("ORV_Window", "A part starts with 0, which many programs read as an octal number.");
    case NewAddressCheck::ThisNetwork:
        return QT_TRANSLATE_NOOP("ORV_Window", "Addresses 0.x.x.x stand for this network, not for a device.");
    case NewAddressCheck::Loopback:
        return QT_TRANSLATE_NOOP("ORV_Window", "Addresses 127.x.x.x are loopback addresses.");
    case NewAddressCheck::LinkLocal:
        return QT_TRANSLATE_NOOP("ORV_Window",
                                 "Addresses 169.254.x.x are link-local: devices take them by themselves.");
    case NewAddressCheck::Multicast:
        return QT_TRANSLATE_NOOP("ORV_Window", "Addresses 224.x.x.x to 239.x.x.x are multicast groups.");
    case NewAddressCheck::Reserved:
        return QT_TRANSLATE_NOOP("ORV_Window", "Addresses 240.x.x.x and above are reserved.");
    case NewAddressCheck::NetworkAddress:
        return QT_TRANSLATE_NOOP("ORV_Window", "It is the network address of its /24 (the last part is 0).");
    case NewAddressCheck::BroadcastAddress:
        return QT_TRANSLATE_NOOP("ORV_Window", "It is the broadcast address of its /24 (the last part is 255).");
    }
    return nullptr;
}

OperatorText addressConflictText()
{
    return {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Invalid IP Address"),
            QT_TRANSLATE_NOOP("ORV_Window", "%1 is in use by %2 (%3).")};
}
