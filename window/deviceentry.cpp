#include "deviceentry.h"

namespace {

const char *const memberNames[] = {"pid", "ip", "sn", "mac", "model", "baseModel", "active", "V"};
constexpr int memberCount = 8;

} // namespace

DeviceEntry DeviceEntry::fromJson(const cJSON *object)
{
    const cJSON *found[memberCount] = {};
    bool seen[memberCount] = {};
    for (const cJSON *member = cJSON_IsObject(object) ? object->child : nullptr; member; member = member->next) {
        const int i = member->string ? indexOf(QString::fromUtf8(member->string)) : -1;
        // The first of two members with the same name wins, as a cJSON lookup would.
        if (i >= 0 && !seen[i]) {
            seen[i] = true;
            found[i] = member;
        }
    }

    DeviceEntry entry;
    for (int i = 0; i < memberCount; ++i) {
        if (!seen[i])
            continue;
        entry.present |= 1u << i;
        if (cJSON_IsString(found[i]) && found[i]->valuestring)
            entry.texts.append(found[i]->valuestring);
        entry.texts.append('\0');
    }
    return entry;
}

bool DeviceEntry::has(const QString &member) const
{
    const int i = indexOf(member);
    return i >= 0 && present & (1u << i);
}

QString DeviceEntry::text(const QString &member) const
{
    const int i = indexOf(member);
    if (i < 0 || !(present & (1u << i)))
        return QStringLiteral("---");
    int start = 0;
    for (int j = 0; j < i; ++j) {
        if (present & (1u << j))
            start = texts.indexOf('\0', start) + 1;
    }
    return QString::fromUtf8(texts.constData() + start);
}

int DeviceEntry::indexOf(const QString &member)
{
    for (int i = 0; i < memberCount; ++i) {
        if (member == QLatin1String(memberNames[i]))
            return i;
    }
    return -1;
}
