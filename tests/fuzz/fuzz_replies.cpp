// One datagram → decode → the readers of the login, activate and "netcfg" replies; and the
// same bytes as a typed address.
#include "commissioning/addressrules.h"
#include "devicelink/devicemessages.h"
#include "tests/fuzz/fuzzwire.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::string wire = wireOf(data, size);
    const JsonPtr replies[] = {makeJsonPtr(decodeMessage(reinterpret_cast<const char *>(data), size)),
                               makeJsonPtr(decodeMessage(wire.data(), wire.size()))};
    for (const JsonPtr &reply : replies) {
        // An accepted reply has "data", so the login reader must find it too.
        if (checkReply(reply.get(), kFuzzTag) == ReplyCheck::Accepted
            && classifyLoginReply(reply.get()) < LoginReply::NoLoginField)
            std::abort();
        classifyActivateReply(reply.get());
        netcfgAccepted(reply.get());
        isPlainDottedQuad(stringMember(cJSON_GetObjectItem(reply.get(), "data"), "ip", ""));
    }

    // A usable address is plain decimal; a plain decimal one is at least well formed.
    const std::string text(reinterpret_cast<const char *>(data), size);
    const NewAddressCheck check = checkNewAddress(text);
    const bool plain = isPlainDottedQuad(text);
    if ((check == NewAddressCheck::Usable && !plain)
        || (plain && check != NewAddressCheck::Usable && !isUnusable(check)))
        std::abort();
    return 0;
}
