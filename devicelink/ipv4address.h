#pragma once

// Rules for the IPv4 addresses the tool hands on: a new address for a device, the
// gateway derived from it, and the address that may become a web page's host.

#include <string>

enum class NewAddressCheck {
    Usable,
    BadFormat,      // not four dot-separated parts
    PartOutOfRange, // a part that is not a number from 0 to 255
    Unusable,       // a number the device must not take (see checkNewAddress)
};

// Besides the format and range, refuses what a device cannot sensibly be given: a part
// with a leading zero (read as octal by many parsers, so the device and the browser would
// disagree on the address), the network and broadcast address of its /24 (the mask the
// tool sends), 0.0.0.0, loopback, multicast and 255.255.255.255.
NewAddressCheck checkNewAddress(const std::string &text);

// Four decimal parts of 0 to 255 with no sign, blank or leading zero: the text names the
// same host for every reader.
bool isPlainDottedQuad(const std::string &text);

// The first three parts as typed, then ".1": "192.168.5.77" gives "192.168.5.1".
std::string gatewayFor(const std::string &address);
