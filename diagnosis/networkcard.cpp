#include "diagnosis/networkcard.h"

#include <QNetworkInterface>

QVector<NetworkCard> describeCards(const QList<QNetworkInterface> &interfaces)
{
    QVector<NetworkCard> cards;
    for (const QNetworkInterface &nic : interfaces) {
        NetworkCard card;
        card.name = nic.humanReadableName();
        const QNetworkInterface::InterfaceFlags flags = nic.flags();
        card.up = flags.testFlag(QNetworkInterface::IsUp);
        card.running = flags.testFlag(QNetworkInterface::IsRunning);
        card.multicast = flags.testFlag(QNetworkInterface::CanMulticast);
        card.loopback = flags.testFlag(QNetworkInterface::IsLoopBack);
        for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                card.ipv4 << entry.ip().toString() + QLatin1Char('/') + QString::number(entry.prefixLength());
        }
        cards << card;
    }
    return cards;
}

bool reachesDevices(const NetworkCard &card)
{
    return card.up && card.running && card.multicast && !card.loopback && !card.ipv4.isEmpty();
}

QString defaultCardName()
{
    for (const NetworkCard &card : describeCards(QNetworkInterface::allInterfaces())) {
        if (reachesDevices(card))
            return card.name;
    }
    return QString();
}
