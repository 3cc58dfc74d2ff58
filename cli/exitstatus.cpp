#include "cli/exitstatus.h"

#include "commissioning/passwordrules.h"
#include "diagnosis/linkfailure.h"

Outcome checkAddress(const QString &newIp)
{
    const NewAddressCheck check = checkNewAddress(newIp);
    if (check == NewAddressCheck::Usable)
        return {};
    const OperatorText box = addressCheckText(check);
    QString text = QStringLiteral("%1: %2").arg(QLatin1String(box.title), QLatin1String(box.text));
    if (const char *reason = addressCheckReason(check))
        text += QLatin1Char(' ') + QLatin1String(reason);
    return {ExitRefusedAddress, text};
}

Outcome checkPassword(const QString &password)
{
    const PasswordLength check = checkPasswordLength(password.length());
    if (check == PasswordLength::Ok)
        return {};
    return {ExitUsage, QLatin1String(passwordLengthText(check))};
}

ExitStatus linkFailureStatus(const LinkCore::Status &status)
{
    switch (status.error) {
    case LinkCore::Error::Timeout:
    case LinkCore::Error::NoMatchingReply:
        return ExitNoReply;
    case LinkCore::Error::CardGone:
    case LinkCore::Error::CardNoIpv4:
        return ExitUnknownInterface;
    default:
        return ExitNetwork;
    }
}

Outcome searchFailure(const LinkCore::Status &status, const QString &card)
{
    const ExitStatus exit = linkFailureStatus(status);
    if (exit == ExitNoReply)
        return {exit, QStringLiteral("no device answered the search on %1").arg(card)};
    return {exit, linkFailureText(status)};
}

ExitStatus changeStatus(const ChangeResult &result)
{
    switch (result.outcome) {
    case ChangeOutcome::Changed:
        return ExitOk;
    case ChangeOutcome::NoReply:
        return result.link.ok() ? ExitNoReply : linkFailureStatus(result.link);
    case ChangeOutcome::PasswordRefused:
        return ExitRefusedPassword;
    case ChangeOutcome::AddressNotAccepted:
        return ExitRefusedAddress;
    case ChangeOutcome::NoDataField:
    case ChangeOutcome::NoLoginField:
    case ChangeOutcome::NotActivated:
    case ChangeOutcome::AlreadyActivated:
        break;
    }
    return ExitDeviceState;
}
