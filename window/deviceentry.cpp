#include "deviceentry.h"

DeviceEntry DeviceEntry::fromJson(const cJSON *object)
{
    DeviceEntry entry;
    if (!cJSON_IsObject(object))
        return entry;
    for (const cJSON *member = object->child; member; member = member->next) {
        if (!member->string)
            continue;
        const QString name = QString::fromUtf8(member->string);
        // The first of two members with the same name wins, as a cJSON lookup would.
        if (entry.members.contains(name))
            continue;
        entry.members.insert(name, cJSON_IsString(member) && member->valuestring
                                       ? QString::fromUtf8(member->valuestring)
                                       : QString(QLatin1String("")));
    }
    return entry;
}
