#pragma once

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

// Lets only one instance of the tool run at a time: a system semaphore serialises the
// check of processes that start together, and a one-byte shared-memory segment marks
// the running instance for as long as this object lives.
class SingleInstance
{
public:
    SingleInstance(const QString &semaphoreKey, const QString &markerKey);
    ~SingleInstance();

    // True when this process is the one instance; false ends the process with 0.
    bool acquire();
    QString markerFile() const { return marker.nativeKey(); } // see instanceHolder()

private:
    bool takeMarker();

    QSystemSemaphore semaphore;
    QSharedMemory marker;
};
