#pragma once

// The cipher turns any change of a datagram into noise in the JSON behind it, so the
// targets feed every piece of input twice: as received bytes, and enciphered the way a
// device would send it, which lets the fuzzer work on the JSON itself.

#include "payloadcodec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr char kFuzzTag[] = "Fuzz0Tag";

inline std::string wireOf(const uint8_t *data, std::size_t size)
{
    std::vector<unsigned char> text(data, data + size); // enciphered in place
    std::string wire(base64EncodedLength(uint32_t(size)), '\0');
    if (!encipherPayload(text.data(), uint32_t(size), reinterpret_cast<const unsigned char *>(kPayloadKey), true,
                         wire.data()))
        return {};
    return wire + "\r\n";
}
