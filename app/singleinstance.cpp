#include "app/singleinstance.h"

SingleInstance::SingleInstance(const QString &semaphoreKey, const QString &markerKey)
    : semaphore(semaphoreKey, 1, QSystemSemaphore::Open), marker(markerKey)
{
}

// The marker detaches (and, being the last user, removes the segment) before the
// semaphore object goes, by the members' reverse order of declaration.
SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    // The process that created the semaphore removes it when it ends; a start that had
    // opened it just before then finds it gone, and opens it afresh.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (semaphore.acquire()) {
            const bool taken = takeMarker();
            semaphore.release();
            return taken;
        }
        const QString key = semaphore.key();
        semaphore.setKey(QString());
        semaphore.setKey(key, 1, QSystemSemaphore::Open);
    }
    return false;
}

bool SingleInstance::takeMarker()
{
    if (marker.attach(QSharedMemory::ReadWrite)) {
        // A segment whose owner was killed stays behind with no process attached. Once
        // we detach again it is removed when nobody else holds it, so the create below
        // succeeds after a crash and fails only beside a live instance.
        marker.detach();
    }
    return marker.create(1, QSharedMemory::ReadWrite);
}
