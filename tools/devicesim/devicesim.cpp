// The simulator's socket and threads: the group joined, datagrams read and replies sent, the
// flood started, the hosts listening, and the thread that runs a simulator for a test.

#include "tools/devicesim/devicesim.h"

#include "tools/devicesim/flood.h"

#include <QMutexLocker>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

namespace {

const QHostAddress kGroup(QStringLiteral("239.0.0.100"));
constexpr quint16 kToolPort = 10088;

} // namespace

DeviceSimulator::DeviceSimulator(const Options &options, const QVector<SimDevice> &devices, QObject *parent)
    : QObject(parent), options(options), fleet(devices), silentUntilMs(devices.size(), 0)
{
    clock.start();
}

DeviceSimulator::~DeviceSimulator()
{
    delete flooder;
}

bool DeviceSimulator::start(QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };

    QNetworkInterface joinOn;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        for (const QNetworkAddressEntry &entry : iface.addressEntries()) {
            if (entry.ip() == options.interfaceAddress)
                joinOn = iface;
        }
    }
    if (!joinOn.isValid())
        return fail(QStringLiteral("no network interface has the address %1").arg(options.interfaceAddress.toString()));

    if (!options.requestLogPath.isEmpty()) {
        requestLogFile.setFileName(options.requestLogPath);
        if (!requestLogFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            return fail(QStringLiteral("cannot open %1: %2").arg(options.requestLogPath, requestLogFile.errorString()));
    }

    delete socket;
    socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress::AnyIPv4, options.port,
                      QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint))
        return fail(QStringLiteral("cannot bind port %1: %2").arg(options.port).arg(socket->errorString()));
    if (!socket->joinMulticastGroup(kGroup, joinOn))
        return fail(QStringLiteral("cannot join %1 on %2: %3")
                        .arg(kGroup.toString(), joinOn.humanReadableName(), socket->errorString()));
    socket->setMulticastInterface(joinOn);
    socket->setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4 * 1024 * 1024);
    connect(socket, &QUdpSocket::readyRead, this, &DeviceSimulator::readPending);
    return startHosts(error);
}

bool DeviceSimulator::startHosts(QString *error)
{
    qDeleteAll(hostListeners);
    hostListeners.clear();
    for (const QHostAddress &address : qAsConst(options.hosts)) {
        auto *listener = new QTcpServer(this);
        hostListeners.append(listener);
        if (!listener->listen(address, 80)) {
            if (error)
                *error = QStringLiteral("host %1: cannot listen on port 80: %2 (the address must be on a card of "
                                        "this namespace: ip addr add %1/32 dev lo)")
                             .arg(address.toString(), listener->errorString());
            return false;
        }
        connect(listener, &QTcpServer::newConnection, this, [this, listener] {
            while (QTcpSocket *connection = listener->nextPendingConnection()) {
                connection->close();
                connection->deleteLater();
                QMutexLocker locker(&mutex);
                ++counters.hostConnections;
            }
        });
    }
    return true;
}

QVector<QByteArray> DeviceSimulator::requests() const
{
    QMutexLocker locker(&mutex);
    return requestLog;
}

QVector<SimDevice> DeviceSimulator::devices() const
{
    QMutexLocker locker(&mutex);
    return fleet;
}

DeviceSimulator::Stats DeviceSimulator::stats() const
{
    QMutexLocker locker(&mutex);
    Stats stats = counters;
    if (flooder)
        stats.floodDatagrams = flooder->sent();
    return stats;
}

void DeviceSimulator::readPending()
{
    while (socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        // A device hears only the group it joined. On one host the kernel hands this socket
        // what is sent to any group joined there (the tool joins the one it sends to).
        const QHostAddress to = datagram.destinationAddress();
        if (to.isMulticast() && to != kGroup)
            continue;
        handleDatagram(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void DeviceSimulator::sendReply(const QByteArray &wire, bool isSearch, const QHostAddress &sender,
                                quint16 senderPort)
{
    if (!socket || wire.isEmpty())
        return;
    const qint64 sent = options.replyToGroup ? socket->writeDatagram(wire, kGroup, kToolPort)
                                             : socket->writeDatagram(wire, sender, senderPort);
    if (sent < 0)
        return;
    QMutexLocker locker(&mutex);
    ++counters.replies;
    if (isSearch)
        ++counters.searchReplies;
}

void DeviceSimulator::startFlood(const QByteArray &syn, const QHostAddress &target, quint16 targetPort)
{
    auto *sender = new FloodSender(options.flood, syn, target, targetPort);
    sender->start();
    QMutexLocker locker(&mutex);
    flooder = sender;
}

namespace {

// Owns the simulator on its own thread: created, started, run and destroyed there.
class SimulatorThread : public QThread
{
public:
    SimulatorThread(const QVector<SimDevice> &devices, const DeviceSimulator::Options &options)
        : devices(devices), options(options)
    {
    }

    QVector<SimDevice> devices;
    DeviceSimulator::Options options;
    QSemaphore ready;
    DeviceSimulator *running = nullptr;
    QString error;
    QVector<QByteArray> finalRequests;
    QVector<SimDevice> finalDevices;
    DeviceSimulator::Stats finalStats;

protected:
    void run() override
    {
        DeviceSimulator simulator(options, devices);
        if (!simulator.start(&error)) {
            ready.release();
            return;
        }
        running = &simulator;
        ready.release();
        exec();
        finalRequests = simulator.requests();
        finalDevices = simulator.devices();
        finalStats = simulator.stats();
    }
};

} // namespace

DeviceSimulatorThread::DeviceSimulatorThread() = default;

DeviceSimulatorThread::~DeviceSimulatorThread()
{
    stop();
}

bool DeviceSimulatorThread::start(const QVector<SimDevice> &devices, const DeviceSimulator::Options &options,
                                  QString *error)
{
    stop();
    auto *worker = new SimulatorThread(devices, options);
    worker->start();
    worker->ready.acquire();
    if (!worker->running) {
        if (error)
            *error = worker->error;
        worker->wait();
        delete worker;
        return false;
    }
    thread = worker;
    simulator = worker->running;
    return true;
}

void DeviceSimulatorThread::stop()
{
    if (!thread)
        return;
    auto *worker = static_cast<SimulatorThread *>(thread);
    worker->quit();
    worker->wait();
    finalRequests = worker->finalRequests;
    finalDevices = worker->finalDevices;
    finalStats = worker->finalStats;
    simulator = nullptr;
    delete worker;
    thread = nullptr;
}

QVector<QByteArray> DeviceSimulatorThread::requests() const
{
    return simulator ? simulator->requests() : finalRequests;
}

QVector<SimDevice> DeviceSimulatorThread::devices() const
{
    return simulator ? simulator->devices() : finalDevices;
}

DeviceSimulator::Stats DeviceSimulatorThread::stats() const
{
    return simulator ? simulator->stats() : finalStats;
}
