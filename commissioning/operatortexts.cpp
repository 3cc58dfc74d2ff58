#include "commissioning/operatortexts.h"

#include "commissioning/addressplan.h"
#include "commissioning/batchrun.h"

#include <QCoreApplication>

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

QString operatorString(const char *source, bool translate)
{
    return translate ? QCoreApplication::translate("ORV_Window", source) : QString::fromUtf8(source);
}

const char *rowCheckText(RowCheck check)
{
    switch (check) {
    case RowCheck::Ready:
        return QT_TRANSLATE_NOOP("ORV_Window", "Ready to change.");
    case RowCheck::AlreadyThere:
        return QT_TRANSLATE_NOOP("ORV_Window", "Already at its new address.");
    case RowCheck::NotFound:
        return QT_TRANSLATE_NOOP("ORV_Window", "%1 was not found in the search.");
    case RowCheck::SerialAtTwoAddresses:
        return QT_TRANSLATE_NOOP("ORV_Window",
                                 "%1 answers at %2 and at %3: the devices cannot be told apart, so neither is changed.");
    case RowCheck::UnusableAddress:
        return "";
    case RowCheck::SerialTwice:
    case RowCheck::AddressTwice:
        return QT_TRANSLATE_NOOP("ORV_Window", "%1 is also planned on line %2.");
    case RowCheck::InUse:
        return addressConflictText().text;
    case RowCheck::Cycle:
        return QT_TRANSLATE_NOOP("ORV_Window", "Lines %1 take each other's addresses. Swaps are refused: move one of "
                                               "these devices to a free address first.");
    case RowCheck::HostAnswers:
        return QT_TRANSLATE_NOOP("ORV_Window", "A host that is not a device answers at %1.");
    }
    return "";
}

const char *verificationText(Verification verification)
{
    switch (verification) {
    case Verification::None:
        return "";
    case Verification::Verified:
        return QT_TRANSLATE_NOOP("ORV_Window", "verified");
    case Verification::KeptOldAddress:
        return QT_TRANSLATE_NOOP("ORV_Window", "kept old address");
    case Verification::NotSeen:
        return QT_TRANSLATE_NOOP("ORV_Window", "not seen");
    case Verification::SeenElsewhere:
        return QT_TRANSLATE_NOOP("ORV_Window", "seen elsewhere");
    }
    return "";
}

const char *runResultText(RunResult result)
{
    switch (result) {
    case RunResult::Pending:
        return QT_TRANSLATE_NOOP("ORV_Window", "pending");
    case RunResult::Started:
        return QT_TRANSLATE_NOOP("ORV_Window", "started");
    case RunResult::Planned:
        return QT_TRANSLATE_NOOP("ORV_Window", "planned");
    case RunResult::Done:
        return QT_TRANSLATE_NOOP("ORV_Window", "done");
    case RunResult::Failed:
        return QT_TRANSLATE_NOOP("ORV_Window", "failed");
    case RunResult::Skipped:
        return QT_TRANSLATE_NOOP("ORV_Window", "skipped");
    case RunResult::Conflict:
        return QT_TRANSLATE_NOOP("ORV_Window", "conflict");
    case RunResult::NotRun:
        return QT_TRANSLATE_NOOP("ORV_Window", "not run");
    }
    return "";
}

const char *runText(RunText text)
{
    switch (text) {
    case RunText::OutsideCard:
        return QT_TRANSLATE_NOOP("ORV_Window",
                                 "%1 lies outside every IPv4 subnet of %2: its web page will need a route.");
    case RunText::RangeTooSmall:
        return QT_TRANSLATE_NOOP("ORV_Window", "%1 to %2 offers %3 free addresses, but %4 devices need one.");
    case RunText::RangeBackwards:
        return QT_TRANSLATE_NOOP("ORV_Window", "The range is empty: %2 comes before %1.");
    case RunText::NoDeviceChosen:
        return QT_TRANSLATE_NOOP("ORV_Window", "No device of the search matches the choice.");
    case RunText::WouldLogIn:
        return QT_TRANSLATE_NOOP("ORV_Window", "Would log in, then change the address.");
    case RunText::WouldActivate:
        return QT_TRANSLATE_NOOP("ORV_Window", "Would activate, then change the address.");
    case RunText::ActivatedNotAddressed:
        return QT_TRANSLATE_NOOP("ORV_Window", "Activated (its password is set now), but the address was not changed: %1");
    case RunText::ReplyLostButVerified:
        return QT_TRANSLATE_NOOP("ORV_Window", "The reply was lost, but the device answers at its new address.");
    case RunText::ChangeUnderWay:
        return QT_TRANSLATE_NOOP("ORV_Window", "The change was under way: look for the device at both addresses.");
    case RunText::NotRun:
        return QT_TRANSLATE_NOOP("ORV_Window", "The run stopped before this device.");
    case RunText::AnswersElsewhere:
        return QT_TRANSLATE_NOOP("ORV_Window", "It answers at %1.");
    case RunText::ActivationUnanswered:
        return QT_TRANSLATE_NOOP("ORV_Window", "No reply to the activation, which may have taken effect: the device "
                                               "then has the password. Run the same again to go on: an activated "
                                               "device is logged in to.");
    }
    return "";
}
