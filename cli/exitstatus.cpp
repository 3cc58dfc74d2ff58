#include "exitstatus.h"

#include "passwordrules.h"

Outcome checkAddress(const QString &newIp)
{
    const NewAddressCheck check = checkNewAddress(newIp.toStdString());
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

Outcome linkFailure(const LinkCore::Status &status)
{
    if (status.error == LinkCore::Error::Timeout || status.error == LinkCore::Error::NoMatchingReply)
        return {ExitNoReply, QStringLiteral("device not open (%1)").arg(status.message())};
    return {ExitNetwork, status.message()};
}

Outcome outcomeOf(const ChangeResult &result)
{
    // The password is set for good once an activation went through, whatever follows.
    const QString activated = result.activated ? QStringLiteral("activated; ") : QString();
    const QString text = QLatin1String(outcomeText(result.outcome).text);
    switch (result.outcome) {
    case ChangeOutcome::Changed:
        return {ExitOk, text};
    case ChangeOutcome::NoReply: {
        Outcome failure = result.link.ok() ? Outcome{ExitNoReply, text} : linkFailure(result.link);
        failure.text.prepend(activated);
        return failure;
    }
    case ChangeOutcome::NoDataField:
    case ChangeOutcome::NoLoginField:
    case ChangeOutcome::NotActivated:
    case ChangeOutcome::AlreadyActivated:
        return {ExitDeviceState, activated + text};
    case ChangeOutcome::PasswordRefused:
        return {ExitRefusedPassword, text};
    case ChangeOutcome::AddressNotAccepted:
        return {ExitRefusedAddress, activated + text};
    }
    return {ExitDeviceState, text};
}
