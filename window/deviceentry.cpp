#include "window/deviceentry.h"

DeviceEntry DeviceEntry::fromJson(const cJSON *object)
{
    const cJSON *found[kDeviceMemberCount] = {};
    bool seen[kDeviceMemberCount] = {};
    for (const cJSON *member = cJSON_IsObject(object) ? object->child : nullptr; member; member = member->next) {
        const int i = member->string ? indexOf(member->string) : -1;
        // The first of two members with the same name wins, as a cJSON lookup would.
        if (i >= 0 && !seen[i]) {
            seen[i] = true;
            found[i] = member;
        }
    }

    DeviceEntry entry;
    for (int i = 0; i < kDeviceMemberCount; ++i) {
        if (!seen[i])
            continue;
        entry.present |= 1u << i;
        if (cJSON_IsString(found[i]) && found[i]->valuestring)
            entry.texts.append(found[i]->valuestring);
        entry.texts.append('\0');
    }
    return entry;
}

bool DeviceEntry::has(DeviceMember member) const
{
    return present & (1u << memberIndex(member));
}

QString DeviceEntry::text(DeviceMember member) const
{
    const int i = memberIndex(member);
    if (!(present & (1u << i)))
        return QStringLiteral("---");
    int start = 0;
    for (int j = 0; j < i; ++j) {
        if (present & (1u << j))
            start = texts.indexOf('\0', start) + 1;
    }
    return QString::fromUtf8(texts.constData() + start);
}

void DeviceEntry::setText(DeviceMember member, const QString &text)
{
    const int changed = memberIndex(member);
    QByteArray rebuilt;
    for (int i = 0; i < kDeviceMemberCount; ++i) {
        if (i == changed)
            rebuilt.append(text.toUtf8());
        else if (present & (1u << i))
            rebuilt.append(this->text(DeviceMember(i)).toUtf8());
        else
            continue;
        rebuilt.append('\0');
    }
    texts = rebuilt;
    present |= 1u << changed;
}

int DeviceEntry::indexOf(const char *name)
{
    for (int i = 0; i < kDeviceMemberCount; ++i) {
        if (qstrcmp(name, kDeviceMemberNames[i]) == 0)
            return i;
    }
    return -1;
}

QList<DeviceEntry> deviceEntries(const cJSON *array)
{
    QList<DeviceEntry> entries;
    for (const cJSON *element = array ? array->child : nullptr; element; element = element->next) {
        if (cJSON_IsObject(element))
            entries.append(DeviceEntry::fromJson(element));
    }
    return entries;
}

QVector<FoundDevice> foundDevices(const QList<DeviceEntry> &entries)
{
    QVector<FoundDevice> devices;
    devices.reserve(entries.size());
    for (const DeviceEntry &entry : entries) {
        const auto member = [&entry](DeviceMember which) { return entry.has(which) ? entry.text(which) : QString(); };
        devices.append({member(DeviceMember::Ip), member(DeviceMember::Sn), member(DeviceMember::Mac),
                        member(DeviceMember::Model), member(DeviceMember::Active)});
    }
    return devices;
}
