#pragma once

// The device table's layout and the small decisions behind its cells and its strip.

#include "commissioning/devicecolumns.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// The columns of the device table, numbered from 0: the shown members of
// commissioning/devicecolumns.h, then the button.
enum DeviceColumn {
    IpColumn,
    SnColumn, // "Device ID": the serial number, sent as "sn"
    MacColumn,
    ModelColumn,
    VersionColumn,
    ActiveColumn,
    OperationColumn, // the row's "Update IP" button
    DeviceColumnCount
};
static_assert(kShownDeviceColumns[IpColumn].member == DeviceMember::Ip
                  && kShownDeviceColumns[SnColumn].member == DeviceMember::Sn
                  && kShownDeviceColumns[VersionColumn].member == DeviceMember::Version
                  && kShownDeviceColumns[ActiveColumn].member == DeviceMember::Active
                  && OperationColumn == kShownDeviceColumnCount,
              "the operations read these columns back from the table");

// The page controls between the strip's arrows, left to right: page numbers, and 0 for
// the one ellipsis. Pages 1, 2, 3 and the last always show, whatever page is current.
QVector<int> pageStrip(int totalPages);

// Whether the version is at least the minimum, both read as dotted numbers (a text such as
// "6.0.240514-beta" counts as 6.0.240514); false when either has no number or the version
// is the table's "---".
bool isVersionAtLeast(const QString &version, const QString &minimum);

// Whether a device with this firmware version serves its web page.
bool servesWebPage(const QString &version);

