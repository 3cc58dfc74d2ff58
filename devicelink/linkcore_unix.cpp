#include "devicelink/linkcore.h"

#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

// The card is named by its index, not by its address, and every failure counts: the
// toolkit ignores a multicast interface that cannot be set.
bool LinkCore::joinGroupOn(qintptr socket, quint32 group, int cardIndex, QString *error)
{
    ip_mreqn request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_ifindex = cardIndex;
    const int fd = int(socket);
    if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) == 0
        && ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0)
        return true;
    *error = qt_error_string(errno);
    return false;
}

qint64 LinkCore::socketDropCounter(qintptr socket)
{
    quint32 meminfo[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof meminfo;
    if (::getsockopt(int(socket), SOL_SOCKET, SO_MEMINFO, meminfo, &length) != 0
        || length <= SK_MEMINFO_DROPS * sizeof(quint32))
        return -1;
    return meminfo[SK_MEMINFO_DROPS];
}
