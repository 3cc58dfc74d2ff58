#pragma once

// What the host probe (hostprobe.h) asks of the system: connection attempts to many addresses
// at once and the neighbour table. One source file per system (connectionprobe_unix.cpp,
// connectionprobe_win.cpp).

#include "diagnosis/ipv4.h"

#include <QSet>
#include <QString>
#include <QVector>

class QNetworkInterface;

struct ConnectionAttempt
{
    QString target;
    Ipv4 from; // the card's own address in the target's subnet
    Ipv4 to;
};

// How many attempts the caller hands over at once: well below the descriptors a process may
// open by default on Linux (1024), and what select() takes on Windows.
inline constexpr int kMostConnectionsAtOnce = 256;

// Tries a TCP connection to port 80 of every target at once, each from its own address, until
// all have ended or budgetMs have passed: the targets where a host answered, by accepting the
// connection or refusing it.
QSet<QString> answeredConnections(const QVector<ConnectionAttempt> &attempts, qint64 budgetMs);

// The addresses of the complete entries of the card in the system's neighbour table.
QSet<QString> completeNeighbours(const QNetworkInterface &card);
