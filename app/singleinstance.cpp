#include "singleinstance.h"

SingleInstance::SingleInstance(const QString &semaphoreKey, const QString &markerKey)
    : semaphore(semaphoreKey, 1, QSystemSemaphore::Open), marker(markerKey)
{
}
SingleInstance::~SingleInstance() = default;
bool SingleInstance::acquire() { return true; }
