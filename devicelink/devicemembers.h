#pragma once

// The eight members of a discovered device, in the order in which a search lists them.
// One definition for the device array, the window's entries, the CSV, JSON and table
// writers and the tests.

#include <cstddef>

enum class DeviceMember { Pid, Ip, Sn, Mac, Model, BaseModel, Active, Version };

inline constexpr int kDeviceMemberCount = 8;

// What stands for a member that a device did not report: the default of "baseModel" and "V"
// in the device array, and what the tables show for any absent member.
inline constexpr char kAbsentText[] = "---";

// The member names as the device array, the CSV header and the JSON output spell them.
inline constexpr const char *kDeviceMemberNames[kDeviceMemberCount] = {"pid", "ip", "sn", "mac",
                                                                       "model", "baseModel", "active", "V"};

inline constexpr const char *memberName(DeviceMember member)
{
    return kDeviceMemberNames[static_cast<std::size_t>(member)];
}

inline constexpr int memberIndex(DeviceMember member)
{
    return static_cast<int>(member);
}
