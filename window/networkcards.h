#pragma once

// The network card box: which card is current at start, and what each entry tells.

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

// The entry to make current at start: the remembered card while it is listed, else the
// first that reaches devices, else the first; -1 for an empty list.
int startCardIndex(const QVector<NetworkCard> &cards, const QString &remembered);
