#pragma once

// How a device reads a request and writes its reply: one JSON object per datagram, members
// found whatever the letter case of their names, and the request's tag copied into the reply.

#include "tools/devicesim/simcodec.h"

#include <QByteArray>

#include <cjson/cJSON.h>

#include <memory>

class QString;

// A cJSON tree with exactly one owner.
using SimJson = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;
inline SimJson simJson(cJSON *tree = nullptr) { return SimJson(tree, &cJSON_Delete); }

namespace SimMessage {

// The member called name, ASCII letter case ignored; null when there is none.
const cJSON *member(const cJSON *object, const char *name);
// Its text when it is a string, else empty.
QByteArray text(const cJSON *object, const char *name);
bool hasText(const cJSON *object, const char *name);

// Null when the datagram does not carry a JSON text under key.
SimJson read(const QByteArray &datagram, const QByteArray &key = SimCodec::kKey);
// Compact, as the tool prints its own messages.
QByteArray print(const cJSON *message);
// The datagram that carries message under key.
QByteArray write(const cJSON *message, const QByteArray &key = SimCodec::kKey);

// {"syn": syn, "data": body}, without "data" when body is null.
SimJson reply(const QByteArray &syn, SimJson body);
void addText(cJSON *object, const char *name, const QString &value);

} // namespace SimMessage
