#include "commissioning/changeroad.h"

#include "commissioning/addressplan.h"
#include "devicelink/devicemessages.h"

#include <QDebug>

Road roadFor(const QString &activeState)
{
    return isActivatedState(activeState) ? Road::Login : Road::Activate;
}

namespace {

constexpr struct
{
    Road road;
    const char *name;
} kRoads[] = {{Road::Login, "login+netcfg"}, {Road::Activate, "activate+netcfg"}};

} // namespace

QString roadName(Road road)
{
    for (const auto &entry : kRoads) {
        if (entry.road == road)
            return QLatin1String(entry.name);
    }
    return QString();
}

std::optional<Road> roadNamed(const QString &name)
{
    for (const auto &entry : kRoads) {
        if (name == QLatin1String(entry.name))
            return entry.road;
    }
    return std::nullopt;
}

ChangeResult changeAddress(LinkCore &link, Road road, const QString &sn, const QString &password,
                           const QString &newIp)
{
    ChangeResult result;
    qDebug().noquote() << (road == Road::Login ? "login" : "activate") << sn;
    const LinkCore::Result first = road == Road::Login ? link.login(password, sn) : link.activate(password, sn);
    result.link = first.status;
    const std::optional<ChangeOutcome> stop = road == Road::Login ? loginFailure(classifyLoginReply(first.json.get()))
                                                                  : activationFailure(classifyActivateReply(first.json.get()));
    if (stop) {
        result.outcome = *stop;
        result.activationUnanswered = road == Road::Activate && *stop == ChangeOutcome::NoReply;
        return result;
    }
    result.activated = road == Road::Activate;

    qDebug().noquote() << "netcfg" << sn << newIp;
    const LinkCore::Result netcfg = link.command(makeNetcfgBody(sn.toUtf8().constData(), newIp.toUtf8().constData()));
    result.netcfgSent = netcfg.status.error != LinkCore::Error::SendFailed && netcfg.status.error != LinkCore::Error::NoSocket
                        && netcfg.status.error != LinkCore::Error::NoRequest;
    result.link = netcfg.status;
    if (!netcfg.json)
        result.outcome = ChangeOutcome::NoReply;
    else
        result.outcome = netcfgAccepted(netcfg.json.get()) ? ChangeOutcome::Changed : ChangeOutcome::AddressNotAccepted;
    return result;
}
