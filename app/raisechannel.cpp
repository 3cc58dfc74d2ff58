#include "app/raisechannel.h"

#include "app/instanceholder.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>
#include <QtDebug>

namespace {

const QByteArray kRequest = QByteArrayLiteral("raise\n");
const QByteArray kAnswer = QByteArrayLiteral("raised\n");

} // namespace

QString RaiseChannel::defaultName()
{
    return QStringLiteral("tarnvale-manager-%1").arg(currentUserId());
}

RaiseChannel::RaiseChannel(QWidget *window, const QString &name, QObject *parent)
    : QObject(parent), window(window), name(name), server(new QLocalServer(this))
{
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &RaiseChannel::serve);
}

bool RaiseChannel::listen()
{
    // Only the one instance gets here: a socket file still there was left by one that died.
    if (!server->listen(name) && server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name);
        server->listen(name);
    }
    if (!server->isListening())
        qWarning().noquote() << "A second start cannot bring this window to the front:" << server->errorString();
    return server->isListening();
}

void RaiseChannel::serve()
{
    while (QLocalSocket *client = server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine())
                return;
            if (client->readLine() == kRequest) {
                bringToFront(window);
                client->write(kAnswer);
            }
            client->disconnectFromServer();
        });
    }
}

bool RaiseChannel::askToRaise(const QString &name)
{
    const QDeadlineTimer deadline(waitMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(retryMs)) {
            socket.write(kRequest);
            while (socket.waitForBytesWritten(retryMs)) {
            }
            while (!socket.canReadLine() && socket.waitForReadyRead(int(qBound<qint64>(1, deadline.remainingTime(), waitMs)))) {
            }
            return socket.canReadLine() && socket.readLine() == kAnswer;
        }
        QThread::msleep(retryMs);
    } while (!deadline.hasExpired());
    return false;
}

void bringToFront(QWidget *window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}
