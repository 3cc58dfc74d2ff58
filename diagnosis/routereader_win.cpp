#include "diagnosis/routereader.h"

#include "devicelink/devicemessages.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

namespace {

KernelRoute groupRoute()
{
    KernelRoute route;
    DWORD index = 0;
    const IPAddr group = htonl(QHostAddress(QLatin1String(kGroupAddress)).toIPv4Address());
    const DWORD result = GetBestInterface(group, &index);
    if (result != NO_ERROR) {
        const bool noRoute = result == ERROR_NETWORK_UNREACHABLE || result == ERROR_HOST_UNREACHABLE
                             || result == ERROR_CAN_NOT_COMPLETE || result == ERROR_NOT_FOUND;
        route.state = noRoute ? KernelRoute::State::None : KernelRoute::State::Unknown;
        route.why = qt_error_string(int(result)).trimmed();
        return route;
    }
    const QNetworkInterface card = QNetworkInterface::interfaceFromIndex(int(index));
    route.state = card.isValid() ? KernelRoute::State::Found : KernelRoute::State::Unknown;
    route.device = card.humanReadableName();
    if (!card.isValid())
        route.why = QStringLiteral("interface %1 is not listed").arg(index);
    return route;
}

// The gateway of the card's default route, with the lowest metric; 0 when it has none.
quint32 defaultGateway(const QString &card)
{
    int cardIndex = -1;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces) {
        if (nic.humanReadableName() == card)
            cardIndex = nic.index();
    }
    MIB_IPFORWARD_TABLE2 *table = nullptr;
    if (cardIndex < 0 || GetIpForwardTable2(AF_INET, &table) != NO_ERROR)
        return 0;
    quint32 gateway = 0;
    ULONG best = ULONG_MAX;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2 &row = table->Table[i];
        if (row.DestinationPrefix.PrefixLength != 0 || int(row.InterfaceIndex) != cardIndex || row.Metric >= best)
            continue;
        best = row.Metric;
        gateway = ntohl(row.NextHop.Ipv4.sin_addr.s_addr);
    }
    FreeMibTable(table);
    return gateway;
}

} // namespace

RouteFacts readRoutes(const CardFacts &card)
{
    RouteFacts facts;
    facts.group = groupRoute();
    facts.defaultGateway = defaultGateway(card.name);
    return facts;
}

// Windows filters no reply by the way back to its sender.
ReversePathFacts readReversePath(const CardFacts &)
{
    return ReversePathFacts();
}

qint64 reversePathDropCount()
{
    return -1;
}
