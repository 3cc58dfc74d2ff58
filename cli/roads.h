#pragma once

// The window's two roads to a new address, without its boxes: log in (or activate) by
// serial number, then "netcfg". The results carry the window's own texts.

#include "exitstatus.h"
#include "linkcore.h"

#include <QString>

enum class Road { Login, Activate };

struct Outcome
{
    ExitStatus status = ExitOk;
    QString text;
};

// The road the window takes for a device that reports this activation state.
Road roadFor(const QString &activeState);
QString roadName(Road road);

// The window's checks of a new address; status ExitOk and no text when it may be sent.
Outcome checkAddress(const QString &newIp);

// The password dialog's length rule; status ExitUsage with its text when broken.
Outcome checkPassword(const QString &password);

// What a failed exchange means for the operator.
Outcome linkFailure(const LinkCore::Status &status);

// Checks newIp, then takes the road. The link must have a socket.
Outcome changeAddress(LinkCore &link, Road road, const QString &sn, const QString &password,
                      const QString &newIp);
