#pragma once

// JSON messages of the device protocol: the request envelope and bodies, the request
// tag, reply acceptance and the device array that a search hands on.

#include <cjson/cJSON.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// A cJSON tree with exactly one owner.
using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;
inline JsonPtr makeJsonPtr(cJSON *tree = nullptr) { return JsonPtr(tree, &cJSON_Delete); }

inline constexpr int kSynLength = 8;

// Appends count random characters from 0-9, a-z, A-Z (C library rand()).
void makeSyn(int count, std::string &syn);

// Envelope {"cmd":"calludp","syn":<fresh tag>,"data":body}; takes ownership of body.
// The fresh tag replaces the contents of syn. Null (syn untouched) when body is null.
cJSON *makeRequest(cJSON *body, std::string &syn);
cJSON *makeSearchBody();
cJSON *makeLoginBody(const char *password, const char *sn);
cJSON *makeActivateBody(const char *password, const char *sn);

// First 8 characters equal, or the whole strings when either is shorter.
// Null on either side never matches.
bool synMatches(const char *replySyn, const char *expectedSyn);

// Wire form of a request: printed unformatted, enciphered, base64, CR LF.
// Empty when there is nothing to send.
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

// Builds the device array of one search from the datagrams in the order they were read:
// defaults, the duplicate-address rule and the log lines.
class DeviceArrayBuilder
{
public:
    using LogSink = std::function<void(const char *line)>;

    explicit DeviceArrayBuilder(std::string expectedSyn, LogSink log = {});

    void addDatagram(const char *data, std::size_t size);
    // Same steps for a reply that is already parsed (null counts as having no "syn").
    void addReply(const cJSON *reply);

    const cJSON *array() const { return devices.get(); }
    // For handing the array on as the search signal's argument; it stays owned here.
    cJSON *array() { return devices.get(); }
    int count() const;

private:
    bool hasAddress(const char *ip) const;
    void writeLog(const char *line) const;

    std::string expectedSyn;
    LogSink log;
    JsonPtr devices;
};
