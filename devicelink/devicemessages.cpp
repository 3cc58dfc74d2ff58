#include "devicelink/devicemessages.h"

#include "devicelink/payloadcodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kAddressCompareLength = 15;

// Equal in the first `length` characters, or entirely equal when either string is
// shorter: strncmp compares the terminator too, so a shorter string only matches itself.
bool prefixEqual(const char *a, const char *b, std::size_t length)
{
    return a && b && std::strncmp(a, b, length) == 0;
}

cJSON *securityBody(const char *password, const char *sn, const char *command)
{
    cJSON *body = cJSON_CreateObject();
    if (!body)
        return nullptr;
    cJSON_AddStringToObject(body, "callcmd", "Security verification");
    cJSON_AddStringToObject(body, "password", password ? password : "");
    cJSON_AddStringToObject(body, "sn", sn ? sn : "");
    cJSON_AddStringToObject(body, "command", command);
    return body;
}

} // namespace

void makeSyn(int count, std::string &syn)
{
    for (int i = 0; i < count; ++i) {
        const int r = std::rand();
        switch (r % 3) {
        case 0:
            syn.push_back(static_cast<char>('0' + std::rand() % 10));
            break;
        case 1:
            syn.push_back(static_cast<char>('a' + std::rand() % 26));
            break;
        default:
            syn.push_back(static_cast<char>('A' + std::rand() % 26));
            break;
        }
    }
}

cJSON *makeRequest(cJSON *body, std::string &syn)
{
    if (!body)
        return nullptr;
    cJSON *request = cJSON_CreateObject();
    if (!request) {
        cJSON_Delete(body);
        return nullptr;
    }
    syn.clear();
    makeSyn(kSynLength, syn);
    cJSON_AddStringToObject(request, "cmd", "calludp");
    cJSON_AddStringToObject(request, "syn", syn.c_str());
    cJSON_AddItemToObject(request, "data", body);
    return request;
}

cJSON *makeSearchBody()
{
    cJSON *body = cJSON_CreateObject();
    if (body)
        cJSON_AddStringToObject(body, "callcmd", "search");
    return body;
}

cJSON *makeLoginBody(const char *password, const char *sn)
{
    return securityBody(password, sn, "login");
}

cJSON *makeActivateBody(const char *password, const char *sn)
{
    return securityBody(password, sn, "activate");
}

std::string gatewayFor(const std::string &address)
{
    const std::size_t lastDot = address.rfind('.');
    return (lastDot == std::string::npos ? address : address.substr(0, lastDot)) + ".1";
}

cJSON *makeNetcfgBody(const char *sn, const char *newIp)
{
    const std::string ip = newIp ? newIp : "";
    cJSON *body = cJSON_CreateObject();
    if (!body)
        return nullptr;
    cJSON_AddStringToObject(body, "callcmd", "netcfg");
    cJSON_AddStringToObject(body, "sn", sn ? sn : "");
    cJSON *calldata = cJSON_AddObjectToObject(body, "calldata");
    cJSON_AddNumberToObject(calldata, "dhcp", 0);
    cJSON_AddStringToObject(calldata, "ip", ip.c_str());
    cJSON_AddStringToObject(calldata, "gw", gatewayFor(ip).c_str());
    cJSON_AddStringToObject(calldata, "mask", "255.255.255.0");
    cJSON_AddStringToObject(calldata, "dns", "114.114.114.114");
    return body;
}

bool synMatches(const char *replySyn, const char *expectedSyn)
{
    return prefixEqual(replySyn, expectedSyn, kSynLength);
}

std::string encodeWire(const void *text, std::size_t size, const char *key)
{
    // Keep L + 3 within 32 bits; a real message is a few hundred bytes.
    constexpr std::size_t maxText = (std::numeric_limits<uint32_t>::max() - 3) / 4 * 3;
    if (!text || !key || size == 0 || size > maxText)
        return {};
    // The cipher works in place and destroys its input.
    std::vector<unsigned char> payload(static_cast<const unsigned char *>(text),
                                       static_cast<const unsigned char *>(text) + size);
    const uint32_t length = base64EncodedLength(static_cast<uint32_t>(size));
    std::vector<char> buffer(std::size_t(length) + 3, '\0');
    if (!encipherPayload(payload.data(), static_cast<uint32_t>(size), reinterpret_cast<const unsigned char *>(key),
                         true, buffer.data()))
        return {};
    buffer[length] = '\r';
    buffer[length + 1] = '\n';
    return std::string(buffer.data(), std::size_t(length) + 2);
}

std::string encodeMessage(const cJSON *message)
{
    char *text = message ? cJSON_PrintUnformatted(message) : nullptr;
    if (!text)
        return {};
    std::string wire = encodeWire(text, std::strlen(text), kPayloadKey);
    cJSON_free(text);
    return wire;
}

cJSON *decodeMessage(const char *data, std::size_t size)
{
    if (!data || size >= std::numeric_limits<uint32_t>::max())
        return nullptr;

    // A datagram buffer carries no terminator of its own.
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    const uint32_t m = static_cast<uint32_t>(std::strlen(text.data()));

    std::vector<unsigned char> output(decodedBufferSize(m), 0);
    if (!decipherPayload(text.data(), m, reinterpret_cast<const unsigned char *>(kPayloadKey), true, output.data()))
        return nullptr;
    // The decoder writes at most 3 * m / 4 bytes, so the last byte is still the terminator.
    return cJSON_Parse(reinterpret_cast<const char *>(output.data()));
}

ReplyCheck checkReply(const cJSON *reply, const std::string &expectedSyn)
{
    if (!cJSON_IsObject(reply))
        return ReplyCheck::NoSyn;
    const cJSON *syn = cJSON_GetObjectItem(reply, "syn");
    if (!cJSON_IsString(syn) || !syn->valuestring)
        return ReplyCheck::NoSyn;
    if (!synMatches(syn->valuestring, expectedSyn.c_str()))
        return ReplyCheck::SynMismatch;
    if (!cJSON_IsObject(cJSON_GetObjectItem(reply, "data")))
        return ReplyCheck::NoData;
    return ReplyCheck::Accepted;
}

const char *stringMember(const cJSON *object, const char *name, const char *fallback)
{
    if (!cJSON_IsObject(object) || !name)
        return fallback;
    const cJSON *item = cJSON_GetObjectItem(object, name);
    if (!cJSON_IsString(item) || !item->valuestring)
        return fallback;
    return item->valuestring;
}

bool beginsWith(const char *value, const char *expected)
{
    return value && expected && std::strncmp(value, expected, std::strlen(expected)) == 0;
}

LoginReply classifyLoginReply(const cJSON *reply)
{
    if (!reply)
        return LoginReply::None;
    const cJSON *data = cJSON_GetObjectItem(reply, "data");
    if (!data)
        return LoginReply::NoData;
    const char *login = stringMember(data, "login", nullptr);
    if (!login)
        return LoginReply::NoLoginField;
    if (beginsWith(login, "success"))
        return LoginReply::Success;
    if (beginsWith(login, "Please activate the device first"))
        return LoginReply::NotActivated;
    return LoginReply::Refused;
}

ActivateReply classifyActivateReply(const cJSON *reply)
{
    if (!reply)
        return ActivateReply::None;
    const cJSON *data = cJSON_GetObjectItem(reply, "data");
    if (!data)
        return ActivateReply::NoData;
    return beginsWith(stringMember(data, "activate", nullptr), "success") ? ActivateReply::Success
                                                                           : ActivateReply::Refused;
}

bool netcfgAccepted(const cJSON *reply)
{
    const cJSON *data = reply ? cJSON_GetObjectItem(reply, "data") : nullptr;
    const char *netcfg = stringMember(cJSON_GetObjectItem(data, "calldata"), "netcfg", nullptr);
    return netcfg && std::strcmp(netcfg, "ok") == 0;
}

LimitedLog::LimitedLog(LogSink sink, int limit) : sink(std::move(sink)), limit(limit)
{
}

LimitedLog::~LimitedLog()
{
    if (held == 0 || !sink)
        return;
    char line[96];
    std::snprintf(line, sizeof line, "... and %lld more lines like these", held);
    sink(line);
}

void LimitedLog::operator()(const char *line)
{
    if (!sink)
        return;
    if (written < limit) {
        ++written;
        sink(line);
    } else {
        ++held;
    }
}

DeviceArrayBuilder::DeviceArrayBuilder(std::string syn, LogSink sink, SearchLimits limits)
    : expectedSyn(std::move(syn))
    , log(std::move(sink))
    , limits(limits)
    , devices(makeJsonPtr(cJSON_CreateArray()))
{
}

void DeviceArrayBuilder::addDatagram(const char *data, std::size_t size)
{
    if (full)
        return;
    const JsonPtr reply = makeJsonPtr(decodeMessage(data, size));
    addReply(reply.get());
}

void DeviceArrayBuilder::addReply(const cJSON *reply)
{
    if (full)
        return;
    switch (checkReply(reply, expectedSyn)) {
    case ReplyCheck::NoSyn:
        log("SYN is NULL!");
        return;
    case ReplyCheck::SynMismatch:
        log("syn not matched!");
        return;
    case ReplyCheck::NoData:
        log("Data is NULL!");
        return;
    case ReplyCheck::Accepted:
        break;
    }

    const cJSON *data = cJSON_GetObjectItem(reply, "data");
    const char *ip = stringMember(data, "ip", "");
    const char *sn = stringMember(data, "sn", "");
    const char *mac = stringMember(data, "mac", "");
    const char *model = stringMember(data, "model", "");
    const char *baseModel = stringMember(data, "baseModel", kAbsentText);
    const char *active = stringMember(data, "Active_state", nullptr);
    if (!active) {
        log("active_json is null!");
        active = "active";
    }
    const char *version = stringMember(data, "V", kAbsentText);

    if (!devices)
        return;
    // Devices report addresses in dotted form, so only the first 15 characters count. The
    // zero byte keeps "1.2.3.4" + "5x" apart from "1.2.3.45" + "x".
    std::string identity = std::string(ip).substr(0, kAddressCompareLength);
    identity.push_back('\0');
    identity.append(sn);
    if (seenKeys.count(identity))
        return;

    const std::size_t size = std::strlen(ip) + std::strlen(sn) + std::strlen(mac) + std::strlen(model)
                             + std::strlen(baseModel) + std::strlen(active) + std::strlen(version);
    if (deviceCount >= limits.devices || textBytes + size > limits.textBytes) {
        full = true;
        char line[128];
        std::snprintf(line, sizeof line, "search: %d devices kept, the limit of what one search may hold; "
                                         "further replies are ignored", deviceCount);
        log(line);
        return;
    }

    cJSON *device = cJSON_CreateObject();
    if (!device)
        return;
    // Constant member names: the array may hold tens of thousands of devices.
    const char *const values[kDeviceMemberCount] = {"0", ip, sn, mac, model, baseModel, active, version};
    for (int i = 0; i < kDeviceMemberCount; ++i)
        cJSON_AddItemToObjectCS(device, kDeviceMemberNames[i], cJSON_CreateString(values[i]));
    cJSON_AddItemToArray(devices.get(), device);
    seenKeys.insert(identity);
    textBytes += size;
    ++deviceCount;
}

JsonPtr DeviceArrayBuilder::takeArray()
{
    seenKeys.clear();
    deviceCount = 0;
    textBytes = 0;
    return std::exchange(devices, makeJsonPtr(cJSON_CreateArray()));
}
