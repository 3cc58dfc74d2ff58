#include "devicelink/linkcore.h"

#include <QNetworkInterface>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

bool join(SOCKET s, quint32 group, in_addr card)
{
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface = card;
    return ::setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char *>(&card), sizeof card) == 0
           && ::setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char *>(&request),
                           sizeof request)
                  == 0;
}

} // namespace

// Winsock takes a card's index where an address is expected when the address lies in 0.0.0.0/8
// (0.0.0.0 itself meaning the default card), so the card is named by its index, which also a
// card without an address has. Where that is not understood (Wine), by its first IPv4 address.
bool LinkCore::joinGroupOn(qintptr socket, quint32 group, int cardIndex, QString *error)
{
    const SOCKET s = SOCKET(socket);
    in_addr card{};
    card.s_addr = htonl(quint32(cardIndex));
    if (join(s, group, card))
        return true;
    const int byIndex = ::WSAGetLastError();
    const QList<QNetworkAddressEntry> entries = QNetworkInterface::interfaceFromIndex(cardIndex).addressEntries();
    for (const QNetworkAddressEntry &entry : entries) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        card.s_addr = htonl(entry.ip().toIPv4Address());
        if (join(s, group, card))
            return true;
        break;
    }
    *error = qt_error_string(byIndex);
    return false;
}

// Windows keeps no count of the datagrams it drops on a socket.
qint64 LinkCore::socketDropCounter(qintptr)
{
    return -1;
}
