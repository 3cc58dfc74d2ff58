#pragma once

// What the doctor reads of the machine itself: one implementation per platform
// (hostreader_unix.cpp, hostreader_win.cpp).

#include "diagnosis/networkfacts.h"

#include <QString>

HostSystem hostSystem();
// The hypervisor that this machine runs in (hypervisorFromDmi); empty on real hardware.
QString readHypervisor();
// card: the system's name of the card (QNetworkInterface::name()).
bool isWirelessCard(const QString &card);
