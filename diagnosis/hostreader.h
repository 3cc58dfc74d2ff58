#pragma once

// What the doctor reads of the machine itself: one implementation per platform
// (hostreader_unix.cpp).

#include <QString>

// The hypervisor that this machine runs in (hypervisorFromDmi); empty on real hardware.
QString readHypervisor();
bool isWirelessCard(const QString &card);
