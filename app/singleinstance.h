#pragma once

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

// Lets only one instance of the tool run at a time.
class SingleInstance
{
public:
    SingleInstance(const QString &semaphoreKey, const QString &markerKey);
    ~SingleInstance();

    // True when this process is the one instance; false ends the process with 0.
    bool acquire();

private:
    QSystemSemaphore semaphore;
    QSharedMemory marker;
};
