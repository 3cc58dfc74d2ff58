#include "commissioning/connectionprobe.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkInterface>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// The routing headers bring a type of their own named Ipv4 (naptypes.h).
#define Ipv4 WindowsIpv4Address
#include <iphlpapi.h>
#include <netioapi.h>
#undef Ipv4

namespace {

sockaddr_in socketAddress(Ipv4 address, quint16 port)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = htonl(address.toNumber());
    socketAddress.sin_port = htons(port);
    return socketAddress;
}

struct Pending
{
    QString target;
    SOCKET socket = INVALID_SOCKET;
};

// Winsock counts its users: the probe is one for as long as it runs.
class WinsockUser
{
public:
    WinsockUser() { WSAStartup(MAKEWORD(2, 2), &data); }
    ~WinsockUser() { WSACleanup(); }
    WinsockUser(const WinsockUser &) = delete;
    WinsockUser &operator=(const WinsockUser &) = delete;

private:
    WSADATA data{};
};

static_assert(kMostConnectionsAtOnce <= FD_SETSIZE, "select() must take every attempt of a call");

} // namespace

QSet<QString> answeredConnections(const QVector<ConnectionAttempt> &attempts, qint64 budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    const WinsockUser winsock;
    QSet<QString> answered;
    QVector<Pending> pending;
    for (const ConnectionAttempt &attempt : attempts) {
        const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET)
            continue;
        u_long nonBlocking = 1;
        const sockaddr_in local = socketAddress(attempt.from, 0);
        const sockaddr_in remote = socketAddress(attempt.to, 80);
        if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0
            || bind(s, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
            closesocket(s);
            continue;
        }
        const int error = connect(s, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0
                              ? 0
                              : WSAGetLastError();
        if (error == 0 || error == WSAECONNREFUSED)
            answered.insert(attempt.target);
        else if (error == WSAEWOULDBLOCK) {
            pending.append({attempt.target, s});
            continue;
        }
        closesocket(s);
    }

    while (!pending.isEmpty() && clock.elapsed() < budgetMs) {
        // A connection made shows as writable, one refused as an exception.
        fd_set connected;
        fd_set refused;
        FD_ZERO(&connected);
        FD_ZERO(&refused);
        for (const Pending &attempt : qAsConst(pending)) {
            FD_SET(attempt.socket, &connected);
            FD_SET(attempt.socket, &refused);
        }
        const qint64 left = budgetMs - clock.elapsed();
        timeval wait{long(left / 1000), long(left % 1000) * 1000};
        if (select(0, nullptr, &connected, &refused, &wait) <= 0)
            continue;
        for (int i = pending.size() - 1; i >= 0; --i) {
            const SOCKET s = pending.at(i).socket;
            if (!FD_ISSET(s, &connected) && !FD_ISSET(s, &refused))
                continue;
            int error = 0;
            int length = sizeof error;
            getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length);
            if (FD_ISSET(s, &connected) || error == WSAECONNREFUSED)
                answered.insert(pending.at(i).target);
            closesocket(s);
            pending.remove(i);
        }
    }
    for (const Pending &attempt : qAsConst(pending))
        closesocket(attempt.socket);
    return answered;
}

QSet<QString> completeNeighbours(const QNetworkInterface &card)
{
    QSet<QString> neighbours;
    MIB_IPNET_TABLE2 *table = nullptr;
    if (!card.isValid() || GetIpNetTable2(AF_INET, &table) != NO_ERROR)
        return neighbours;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPNET_ROW2 &row = table->Table[i];
        // An entry with a hardware address: a host answered the address resolution.
        const bool complete = row.State >= NlnsProbe && row.PhysicalAddressLength > 0;
        if (complete && int(row.InterfaceIndex) == card.index())
            neighbours.insert(QHostAddress(ntohl(row.Address.Ipv4.sin_addr.s_addr)).toString());
    }
    FreeMibTable(table);
    return neighbours;
}
