#pragma once

#include <QHash>
#include <QString>

#include <cjson/cJSON.h>

// The window's copy of one discovered device. Members are kept exactly as received;
// an absent member stays absent (shown as "---"), one that is present but not a
// string is kept as an empty text.
struct DeviceEntry
{
    static DeviceEntry fromJson(const cJSON *object);

    bool has(const QString &member) const { return members.contains(member); }
    QString text(const QString &member) const { return members.value(member, QStringLiteral("---")); }

    QHash<QString, QString> members;
};
