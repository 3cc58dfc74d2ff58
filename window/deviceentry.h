#pragma once

#include "commissioning/addressplan.h"
#include "devicelink/devicemembers.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cjson/cJSON.h>

// The window's copy of one discovered device: the eight members of a device-array element,
// kept exactly as received. An absent member stays absent (shown as "---"); one that is
// present but not a string is kept as an empty text. Stored as one buffer rather than a
// JSON copy or eight strings, because a search may list tens of thousands of devices.
class DeviceEntry
{
public:
    static DeviceEntry fromJson(const cJSON *object);

    bool has(DeviceMember member) const;
    // The member's text; "---" when it is absent.
    QString text(DeviceMember member) const;
    // Makes the member present with this text (a change the operator made from the window).
    void setText(DeviceMember member, const QString &text);

private:
    static int indexOf(const char *name);

    QByteArray texts;       // the present members' UTF-8 texts in member order, each ended by a zero byte
    unsigned char present = 0; // bit i: member i is present
};

// The objects of a device array, in its order; other elements are skipped.
QList<DeviceEntry> deviceEntries(const cJSON *array);

// The entries as the address rules take a search's devices (absent members empty).
QVector<FoundDevice> foundDevices(const QList<DeviceEntry> &entries);
