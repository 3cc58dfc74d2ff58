#include "tools/devicesim/simmessage.h"

#include <QString>

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b) {
        if (asciiLower(*a) != asciiLower(*b))
            return false;
    }
    return *a == *b;
}

} // namespace

namespace SimMessage {

const cJSON *member(const cJSON *object, const char *name)
{
    for (const cJSON *child = object ? object->child : nullptr; child; child = child->next) {
        if (child->string && sameName(child->string, name))
            return child;
    }
    return nullptr;
}

QByteArray text(const cJSON *object, const char *name)
{
    const cJSON *value = member(object, name);
    return cJSON_IsString(value) ? QByteArray(value->valuestring) : QByteArray();
}

bool hasText(const cJSON *object, const char *name)
{
    return cJSON_IsString(member(object, name));
}

SimJson read(const QByteArray &datagram, const QByteArray &key)
{
    // A QByteArray ends in a zero byte: the parser stops there, as at any zero in the payload.
    const QByteArray payload = SimCodec::fromWire(datagram, key);
    return simJson(cJSON_Parse(payload.constData()));
}

QByteArray print(const cJSON *message)
{
    char *printed = cJSON_PrintUnformatted(message);
    const QByteArray result(printed);
    cJSON_free(printed);
    return result;
}

QByteArray write(const cJSON *message, const QByteArray &key)
{
    return SimCodec::toWire(print(message), key);
}

SimJson reply(const QByteArray &syn, SimJson body)
{
    SimJson message = simJson(cJSON_CreateObject());
    cJSON_AddStringToObject(message.get(), "syn", syn.constData());
    if (body)
        cJSON_AddItemToObject(message.get(), "data", body.release());
    return message;
}

void addText(cJSON *object, const char *name, const QString &value)
{
    cJSON_AddStringToObject(object, name, value.toUtf8().constData());
}

} // namespace SimMessage
