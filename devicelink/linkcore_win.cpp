#include "devicelink/linkcore.h"

#include <winsock2.h>
#include <ws2tcpip.h>

// Winsock takes a card's index where an address is expected when the address lies in 0.0.0.0/8
// (0.0.0.0 itself meaning the default card), so the card is named by its index here too.
bool LinkCore::joinGroupOn(qintptr socket, quint32 group, int cardIndex, QString *error)
{
    const SOCKET s = SOCKET(socket);
    in_addr card{};
    card.s_addr = htonl(quint32(cardIndex));
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface = card;
    if (::setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char *>(&card), sizeof card) == 0
        && ::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char *>(&request), sizeof request) == 0)
        return true;
    *error = qt_error_string(::WSAGetLastError());
    return false;
}

// Windows keeps no count of the datagrams it drops on a socket.
qint64 LinkCore::socketDropCounter(qintptr)
{
    return -1;
}
