#pragma once

// The two roads to a new address without any user interface: log in (or activate) by
// serial number, then "netcfg". For the command line and the window's batch of changes.

#include "commissioning/operatortexts.h"
#include "devicelink/linkcore.h"

#include <QString>

#include <optional>

enum class Road { Login, Activate };

// The road for a device that reports this activation state.
Road roadFor(const QString &activeState);
// "login+netcfg" or "activate+netcfg", as reports and tables name it.
QString roadName(Road road);
// The road of such a name (as a report holds it); nothing for any other text.
std::optional<Road> roadNamed(const QString &name);

struct ChangeResult
{
    ChangeOutcome outcome = ChangeOutcome::NoReply;
    LinkCore::Status link;  // why no reply came, when outcome is NoReply
    bool activated = false; // the activation went through: the password is set for good
    bool activationUnanswered = false; // no reply to the activation: it may have gone through
    bool netcfgSent = false; // "netcfg" went out: the device may have moved whatever came back
};

// Takes the road for a device; newIp must have passed checkNewAddress() already. The link
// must have a socket.
ChangeResult changeAddress(LinkCore &link, Road road, const QString &sn, const QString &password,
                           const QString &newIp);
