#include "app/instanceholder.h"

#include <QCoreApplication>

QString otherUserNotice(const InstanceHolder &holder, uint ownUid)
{
    if (!holder.known || holder.uid == ownUid)
        return QString();
    if (holder.attached)
        return QCoreApplication::translate("SingleInstance",
                                           "Tarnvale Manager is already running for the user %1 on this computer, and "
                                           "only one can run at a time. Ask %1 to close it, or use it in their session.")
            .arg(holder.user);
    return QCoreApplication::translate("SingleInstance",
                                       "Tarnvale Manager cannot start: it ran last for the user %1 and ended without "
                                       "releasing its lock. An administrator can remove the lock with: sudo ipcrm -m %2")
        .arg(holder.user)
        .arg(holder.segment);
}
