#pragma once

// Rules for the IPv4 addresses the tool hands on: a new address for a device, the
// gateway derived from it, and the address that may become a web page's host.

#include <string>

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
NewAddressCheck checkNewAddress(const std::string &text);

// A number that is an address but not one for a device (not Usable, BadFormat, PartOutOfRange).
bool isUnusable(NewAddressCheck check);

// Four decimal parts of 0 to 255 with no sign, blank or leading zero: the text names the
// same host for every reader.
bool isPlainDottedQuad(const std::string &text);
