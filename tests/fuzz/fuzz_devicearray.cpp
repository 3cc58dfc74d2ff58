// Lines of input, one datagram each → decode → parse → device array, with limits small
// enough for an input to reach them.
#include "devicelink/devicemessages.h"
#include "tests/fuzz/fuzzwire.h"

#include <cstdlib>
#include <cstring>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    {
        DeviceArrayBuilder builder(kFuzzTag, [](const char *line) { (void)std::strlen(line); }, {6, 400});
        for (const uint8_t *line = data, *end = data + size; line < end;) {
            const void *lf = std::memchr(line, '\n', std::size_t(end - line));
            const uint8_t *next = lf ? static_cast<const uint8_t *>(lf) + 1 : end;
            builder.addDatagram(reinterpret_cast<const char *>(line), std::size_t(next - line));
            const std::string wire = wireOf(line, std::size_t(next - line));
            builder.addDatagram(wire.data(), wire.size());
            line = next;
        }
        // One entry per address (its first 15 characters) and serial number, never more than allowed.
        std::set<std::pair<std::string, std::string>> seen;
        const cJSON *device = nullptr;
        cJSON_ArrayForEach(device, builder.array()) {
            seen.insert({std::string(stringMember(device, "ip", "")).substr(0, 15), stringMember(device, "sn", "")});
        }
        if (int(seen.size()) != builder.count() || builder.count() != cJSON_GetArraySize(builder.array())
            || builder.count() > 6)
            std::abort();
    }
    return 0;
}
