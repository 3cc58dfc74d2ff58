#pragma once

// The network cards as the card box, the doctor and the command line see them, and the one
// rule for the card that a search uses when the operator names none.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QNetworkInterface;

// What the choice of a card needs to know of one interface.
struct NetworkCard
{
    QString name; // the human-readable name, as the box shows it and the search takes it
    bool up = false;
    bool running = false;
    bool multicast = false;
    bool loopback = false;
    QStringList ipv4; // "192.168.1.10/24", in the system's order
};

QVector<NetworkCard> describeCards(const QList<QNetworkInterface> &interfaces);

// The card that can reach devices: up, running, able to multicast, not loopback, with an
// IPv4 address.
bool reachesDevices(const NetworkCard &card);

// The first card of the system that reaches devices; empty when none does.
QString defaultCardName();
