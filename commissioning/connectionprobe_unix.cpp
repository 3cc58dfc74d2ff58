#include "commissioning/connectionprobe.h"

#include "commissioning/hostprobe.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkInterface>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
    int fd = -1;
};

} // namespace

QSet<QString> answeredConnections(const QVector<ConnectionAttempt> &attempts, qint64 budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    QSet<QString> answered;
    QVector<Pending> pending;
    for (const ConnectionAttempt &attempt : attempts) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        const sockaddr_in local = socketAddress(attempt.from, 0);
        const sockaddr_in remote = socketAddress(attempt.to, 80);
        if (::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
            ::close(fd);
            continue;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&remote), sizeof remote) == 0 || errno == ECONNREFUSED)
            answered.insert(attempt.target);
        else if (errno == EINPROGRESS) {
            pending.append({attempt.target, fd});
            continue;
        }
        ::close(fd);
    }

    while (!pending.isEmpty() && clock.elapsed() < budgetMs) {
        QVector<pollfd> polled;
        for (const Pending &attempt : qAsConst(pending))
            polled.append({attempt.fd, POLLOUT, 0});
        if (::poll(polled.data(), nfds_t(polled.size()), int(budgetMs - clock.elapsed())) <= 0)
            continue; // time is up, or a signal: the loop condition decides
        for (int i = polled.size() - 1; i >= 0; --i) {
            if (!polled.at(i).revents)
                continue;
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(pending.at(i).fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error == 0 || error == ECONNREFUSED)
                answered.insert(pending.at(i).target);
            ::close(pending.at(i).fd);
            pending.remove(i);
        }
    }
    for (const Pending &attempt : qAsConst(pending))
        ::close(attempt.fd);
    return answered;
}

QSet<QString> completeNeighbours(const QNetworkInterface &card)
{
    QSet<QString> neighbours;
    QFile table(QStringLiteral("/proc/net/arp"));
    if (!table.open(QIODevice::ReadOnly))
        return neighbours;
    for (const QByteArray &row : table.readAll().split('\n')) {
        const QString address = completeNeighbour(QString::fromLatin1(row), card.name());
        if (!address.isEmpty())
            neighbours.insert(address);
    }
    return neighbours;
}
