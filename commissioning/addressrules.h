#pragma once

// Rules for the IPv4 addresses the tool hands on: a new address for a device, the
// gateway derived from it, and the address that may become a web page's host.

#include "diagnosis/ipv4.h"

#include <QString>

#include <string_view>

enum class NewAddressCheck {
    Usable,
    BadFormat,      // not four dot-separated parts
    PartOutOfRange, // a part that is not a number from 0 to 255
    // Numbers a device must not take, each with its own reason:
    LeadingZero,      // many parsers read such a part as octal, so the device and the browser disagree
    ThisNetwork,      // 0.0.0.0/8
    Loopback,         // 127.0.0.0/8
    LinkLocal,        // 169.254.0.0/16, given out by the hosts themselves
    Multicast,        // 224.0.0.0/4
    Reserved,         // 240.0.0.0/4, 255.255.255.255 among them
    NetworkAddress,   // .0 of its /24 (the mask the tool sends)
    BroadcastAddress, // .255 of its /24
};

// Refuses what is not an address, and what a device cannot sensibly be given.
NewAddressCheck checkNewAddress(std::string_view text);
NewAddressCheck checkNewAddress(const QString &text);
// The rules on the number alone: Usable, or why a device cannot have it.
NewAddressCheck checkDeviceAddress(Ipv4 address);

// A number that is an address but not one for a device (not Usable, BadFormat, PartOutOfRange).
bool isUnusable(NewAddressCheck check);

// Whether the address lies in a block that no device may take at all (this network, loopback,
// link-local, multicast, reserved); the .0 and .255 of a /24 are within such a range.
bool inDeviceRange(Ipv4 address);

// Four decimal parts of 0 to 255 with no sign, blank or leading zero: the text names the
// same host for every reader (Ipv4::fromText).
bool isPlainDottedQuad(std::string_view text);
