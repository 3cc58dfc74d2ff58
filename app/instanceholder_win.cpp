#include "app/instanceholder.h"

// The instance keys name objects of the user's own session here: another user's instance is
// never found, and there is no number of the user's to name the raise channel with.
uint currentUserId()
{
    return 0;
}

InstanceHolder instanceHolder(const QString &)
{
    return InstanceHolder();
}
