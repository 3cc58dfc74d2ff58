#pragma once

// JSON messages of the device protocol: the request envelope and bodies, the request
// tag, reply acceptance and the device array that a search hands on.

#include "devicelink/devicemembers.h"

#include <cjson/cJSON.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>

// A cJSON tree with exactly one owner.
using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;
inline JsonPtr makeJsonPtr(cJSON *tree = nullptr) { return JsonPtr(tree, &cJSON_Delete); }

inline constexpr int kSynLength = 8;

// Where requests go and replies come back.
inline constexpr char kGroupAddress[] = "239.0.0.100";
inline constexpr unsigned short kDevicePort = 10086;
inline constexpr unsigned short kLocalPort = 10088;

// Appends count random characters from 0-9, a-z, A-Z (C library rand()).
void makeSyn(int count, std::string &syn);

// Envelope {"cmd":"calludp","syn":<fresh tag>,"data":body}; takes ownership of body.
// The fresh tag replaces the contents of syn. Null (syn untouched) when body is null.
cJSON *makeRequest(cJSON *body, std::string &syn);
cJSON *makeSearchBody();
cJSON *makeLoginBody(const char *password, const char *sn);
cJSON *makeActivateBody(const char *password, const char *sn);
// {"callcmd":"netcfg","sn":sn,"calldata":{"dhcp":0,"ip":newIp,"gw":<newIp's /24>.1,
// "mask":"255.255.255.0","dns":"114.114.114.114"}}
cJSON *makeNetcfgBody(const char *sn, const char *newIp);
// The first three parts as typed, then ".1": "192.168.5.77" gives "192.168.5.1".
std::string gatewayFor(const std::string &address);

// First 8 characters equal, or the whole strings when either is shorter.
// Null on either side never matches.
bool synMatches(const char *replySyn, const char *expectedSyn);

// Wire form of a payload: enciphered under key (16 characters), base64, CR LF. Empty
// when there is nothing to send. Every sender of datagrams goes through here.
std::string encodeWire(const void *text, std::size_t size, const char *key);
// Wire form of a message: printed unformatted, then encodeWire() under the payload key.
std::string encodeMessage(const cJSON *message);
// Parses one received datagram (size bytes, need not be zero-terminated).
// Null when it does not decode to JSON.
cJSON *decodeMessage(const char *data, std::size_t size);

enum class ReplyCheck { NoSyn, SynMismatch, NoData, Accepted };
// Looks up "syn" and "data" (ASCII case ignored) and applies the tag rule.
ReplyCheck checkReply(const cJSON *reply, const std::string &expectedSyn);

// String value of a member looked up without regard to case; fallback when the member
// is absent or not a string.
const char *stringMember(const cJSON *object, const char *name, const char *fallback);

// True when value's first characters are exactly expected (a shorter value never is).
bool beginsWith(const char *value, const char *expected);

// What a device said to a login, read from the reply ("data" -> "login").
enum class LoginReply { None, NoData, NoLoginField, Success, NotActivated, Refused };
LoginReply classifyLoginReply(const cJSON *reply);

// What a device said to an activation ("data" -> "activate"); a missing or non-string
// "activate" counts as a refusal.
enum class ActivateReply { None, NoData, Success, Refused };
ActivateReply classifyActivateReply(const cJSON *reply);

// "data" -> "calldata" -> "netcfg" is exactly "ok".
bool netcfgAccepted(const cJSON *reply);

using LogSink = std::function<void(const char *line)>;

// Passes the first few lines on and only counts the rest, so that a flood of bad
// datagrams costs one summary line instead of one line each.
class LimitedLog
{
public:
    explicit LimitedLog(LogSink sink, int limit = 10);
    ~LimitedLog(); // writes the summary of what was held back

    void operator()(const char *line);

private:
    LogSink sink;
    int limit;
    long long written = 0;
    long long held = 0;
};

// What one search may hold: far above any real network, so that forged replies cannot
// exhaust memory.
struct SearchLimits
{
    int devices = 65536;
    std::size_t textBytes = 16 * 1024 * 1024; // of the members kept
};

// Builds the device array of one search from the datagrams in the order they were read:
// defaults, the duplicate rule, the limits and the log lines. Two replies are one device
// only when they agree in address (its first 15 characters) and serial number: devices
// that share an address, as new devices with one factory address do, each get an entry.
class DeviceArrayBuilder
{
public:
    explicit DeviceArrayBuilder(std::string expectedSyn, LogSink log = {}, SearchLimits limits = {});

    void addDatagram(const char *data, std::size_t size);
    // Same steps for a reply that is already parsed (null counts as having no "syn").
    void addReply(const cJSON *reply);

    const cJSON *array() const { return devices.get(); }
    // For handing the array on as the search signal's argument; it stays owned here.
    cJSON *array() { return devices.get(); }
    JsonPtr takeArray();
    int count() const { return deviceCount; }
    bool isFull() const { return full; }

private:
    std::string expectedSyn;
    LimitedLog log;
    SearchLimits limits;
    JsonPtr devices;
    std::unordered_set<std::string> seenKeys;
    int deviceCount = 0;
    std::size_t textBytes = 0;
    bool full = false;
};
