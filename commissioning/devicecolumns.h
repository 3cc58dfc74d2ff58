#pragma once

// The devices' columns as the tables show them, in one place: the window's device table and
// the command line's "list" table show these members, in this order, under these headers. The
// CSV and JSON forms carry all eight members under their own names (devicelink/devicemembers.h).

#include "devicelink/devicemembers.h"

#include <QtGlobal>

struct ShownDeviceColumn
{
    DeviceMember member;
    const char *windowHeader; // an "ORV_Window" source text
    bool translated;          // the window passes the header through its translation
    const char *tableHeader;  // the command line's table
};

// clang-format off
inline constexpr ShownDeviceColumn kShownDeviceColumns[] = {
    {DeviceMember::Ip,      "IP",                                                false, "IP"},
    {DeviceMember::Sn,      QT_TRANSLATE_NOOP("ORV_Window", "Device ID"),       true,  "SN"},
    {DeviceMember::Mac,     "MAC",                                               false, "MAC"},
    {DeviceMember::Model,   QT_TRANSLATE_NOOP("ORV_Window", "Model"),           true,  "MODEL"},
    {DeviceMember::Version, QT_TRANSLATE_NOOP("ORV_Window", "FirmwareVersion"), true,  "VERSION"},
    {DeviceMember::Active,  QT_TRANSLATE_NOOP("ORV_Window", "Active Status"),   true,  "ACTIVE"},
};
// clang-format on

inline constexpr int kShownDeviceColumnCount = int(sizeof kShownDeviceColumns / sizeof kShownDeviceColumns[0]);
