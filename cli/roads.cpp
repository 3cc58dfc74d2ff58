#include "roads.h"

#include "devicemessages.h"
#include "ipv4address.h"

#include <QDebug>

Road roadFor(const QString &activeState)
{
    return isActivatedState(activeState) ? Road::Login : Road::Activate;
}

QString roadName(Road road)
{
    return road == Road::Login ? QStringLiteral("login+netcfg") : QStringLiteral("activate+netcfg");
}

Outcome checkAddress(const QString &newIp)
{
    switch (checkNewAddress(newIp.toStdString())) {
    case NewAddressCheck::Usable:
        return {};
    case NewAddressCheck::BadFormat:
        return {ExitRefusedAddress, QStringLiteral("Invalid Format: Incorrect IPv4 address format.")};
    case NewAddressCheck::PartOutOfRange:
        return {ExitRefusedAddress, QStringLiteral("Invalid IP: Each part of the IP must be between 0 and 255.")};
    case NewAddressCheck::Unusable:
        break;
    }
    return {ExitRefusedAddress, QStringLiteral("Invalid IP Address: Please enter a valid IPv4 address.")};
}

Outcome checkPassword(const QString &password)
{
    constexpr int minPasswordLength = 6;
    constexpr int maxPasswordLength = 12;
    if (password.length() < minPasswordLength)
        return {ExitUsage, QStringLiteral("Password too short (min 6 chars)")};
    if (password.length() > maxPasswordLength)
        return {ExitUsage, QStringLiteral("Password too long (max 12 chars)")};
    return {};
}

Outcome linkFailure(const LinkCore::Status &status)
{
    if (status.error == LinkCore::Error::Timeout || status.error == LinkCore::Error::NoMatchingReply)
        return {ExitNoReply, QStringLiteral("device not open (%1)").arg(status.message())};
    return {ExitNetwork, status.message()};
}

Outcome changeAddress(LinkCore &link, Road road, const QString &sn, const QString &password,
                      const QString &newIp)
{
    const Outcome address = checkAddress(newIp);
    if (address.status != ExitOk)
        return address;

    qDebug().noquote() << (road == Road::Login ? "login" : "activate") << sn;
    const LinkCore::Result first = road == Road::Login ? link.login(password, sn) : link.activate(password, sn);
    if (!first.status.ok())
        return linkFailure(first.status);

    const QString invalidData = QStringLiteral("device returned invalid data (no data field)");
    QString done;
    if (road == Road::Login) {
        switch (classifyLoginReply(first.json.get())) {
        case LoginReply::None:
        case LoginReply::NoData:
            return {ExitDeviceState, invalidData};
        case LoginReply::NoLoginField:
            return {ExitDeviceState, QStringLiteral("device returned invalid data (no login field)")};
        case LoginReply::NotActivated:
            return {ExitDeviceState, QStringLiteral("device is not activated")};
        case LoginReply::Refused:
            return {ExitRefusedPassword, QStringLiteral("Password error, login device failed")};
        case LoginReply::Success:
            break;
        }
    } else {
        switch (classifyActivateReply(first.json.get())) {
        case ActivateReply::None:
        case ActivateReply::NoData:
            return {ExitDeviceState, invalidData};
        case ActivateReply::Refused:
            return {ExitDeviceState, QStringLiteral("device is already actived")};
        case ActivateReply::Success:
            break;
        }
        // The password is set for good now, whatever the address change does.
        done = QStringLiteral("activated; ");
    }

    qDebug().noquote() << "netcfg" << sn << newIp;
    const LinkCore::Result netcfg =
        link.command(makeNetcfgBody(sn.toUtf8().constData(), newIp.toUtf8().constData()));
    if (!netcfg.status.ok()) {
        Outcome failure = linkFailure(netcfg.status);
        failure.text.prepend(done);
        return failure;
    }
    if (!netcfgAccepted(netcfg.json.get()))
        return {ExitRefusedAddress, done + QStringLiteral("Device did not accept IP change.")};
    return {ExitOk, QStringLiteral("IP changed successfully,device rebooting.....")};
}
