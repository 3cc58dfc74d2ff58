#pragma once

// The cipher turns any change of a datagram into noise in the JSON behind it, so the
// targets feed every piece of input twice: as received bytes, and enciphered the way a
// device would send it, which lets the fuzzer work on the JSON itself.

#include "devicelink/devicemessages.h"
#include "devicelink/payloadcodec.h"

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr char kFuzzTag[] = "Fuzz0Tag";

inline std::string wireOf(const uint8_t *data, std::size_t size)
{
    return encodeWire(data, size, kPayloadKey);
}
