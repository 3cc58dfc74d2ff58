#include "devicelink/linkcore.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QThread>
#include <QUdpSocket>

#include <algorithm>

namespace {

const QHostAddress kGroup(QString::fromLatin1(kGroupAddress));
// Replies are moved into memory in slices this long, so that a few thousand devices
// answering at once cannot overflow the kernel's receive buffer.
constexpr int kGatherSliceMs = 20;

void logLine(const char *line)
{
    qDebug("%s", line);
}

bool hasIpv4(const QNetworkInterface &card)
{
    const QList<QNetworkAddressEntry> entries = card.addressEntries();
    return std::any_of(entries.begin(), entries.end(), [](const QNetworkAddressEntry &entry) {
        return entry.ip().protocol() == QAbstractSocket::IPv4Protocol;
    });
}

} // namespace

LinkCore::LinkCore(QObject *socketParent) : socketParent(socketParent)
{
}

LinkCore::~LinkCore() = default;

void LinkCore::moveToThread(QThread *thread)
{
    if (!udp)
        return;
    // A child cannot change thread apart from its parent.
    udp->setParent(nullptr);
    udp->moveToThread(thread);
}

void LinkCore::restoreSocketParent()
{
    if (udp && socketParent && socketParent->thread() == QThread::currentThread() && udp->thread() == QThread::currentThread())
        udp->setParent(socketParent);
}

bool LinkCore::open(const QString &interfaceName)
{
    lastStatus = Status();
    // Without a usable card the kernel would send by the default route: devices of another
    // network would answer as if they were on the chosen card.
    bool named = false;
    QList<QNetworkInterface> cards;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces) {
        if (nic.humanReadableName() != interfaceName)
            continue;
        named = true;
        if (hasIpv4(nic))
            cards << nic;
    }
    if (!named)
        return failOnCard(Error::CardGone, interfaceName);
    if (cards.isEmpty())
        return failOnCard(Error::CardNoIpv4, interfaceName);

    const bool exclusive = portSharing == PortSharing::Exclusive;
    if (exclusive)
        udp.reset(); // it holds the port that the new socket is to bind alone
    QObject *parent = socketParent && socketParent->thread() == QThread::currentThread() ? socketParent : nullptr;
    auto fresh = std::make_unique<QUdpSocket>(parent);
    if (!fresh->bind(QHostAddress::AnyIPv4, localPort,
                     exclusive ? QAbstractSocket::DontShareAddress
                               : QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        lastStatus = {Error::BindFailed, fresh->error(), fresh->errorString()};
        return false;
    }
    fresh->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBufferRequest);
    const int granted = fresh->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    if (granted < receiveBufferRequest)
        qDebug("receive buffer: %d bytes granted of %d asked for (room for %d replies); the system limits it "
               "(on Linux net.core.rmem_max)",
               granted, receiveBufferRequest, repliesToHold);

    // Every failure counts: the toolkit ignores a multicast interface that cannot be set.
    for (const QNetworkInterface &nic : qAsConst(cards)) {
        QString error;
        if (!joinGroupOn(fresh->socketDescriptor(), kGroup.toIPv4Address(), nic.index(), &error))
            return failOnCard(Error::JoinFailed, interfaceName, error);
    }
    fresh->setSocketOption(QAbstractSocket::MulticastTtlOption, 1);

    // The previous socket would otherwise stay bound and joined: replies could land on
    // it and never be read.
    if (udp)
        udp->close();
    udp = std::move(fresh);
    openCard = interfaceName;
    grantedBuffer = granted;
    dropsAtOpen = socketDropCounter(udp->socketDescriptor());
    return true;
}

qint64 LinkCore::droppedDatagrams() const
{
    const qint64 now = udp ? socketDropCounter(udp->socketDescriptor()) : -1;
    return now < 0 || dropsAtOpen < 0 ? -1 : now - dropsAtOpen;
}

bool LinkCore::send(const cJSON *request)
{
    lastStatus = Status();
    if (!udp)
        return fail(Error::NoSocket);
    const std::string wire = encodeMessage(request);
    if (wire.empty())
        return fail(Error::NoRequest);
    if (udp->writeDatagram(wire.data(), qint64(wire.size()), kGroup, devicePort) < 0) {
        lastStatus = {Error::SendFailed, udp->error(), udp->errorString()};
        return false;
    }
    return true;
}

bool LinkCore::awaitDatagram()
{
    if (!udp)
        return fail(Error::NoSocket);
    return udp->waitForReadyRead(replyWaitMs) || fail(Error::Timeout);
}

void LinkCore::gather(DeviceArrayBuilder &builder, const GatherDone &done)
{
    if (!udp)
        return;
    QElapsedTimer clock;
    clock.start();
    // The clock is looked at after every datagram: a flood must not stretch the gathering.
    for (qint64 left = gatheringMs; left > 0; left = gatheringMs - clock.elapsed()) {
        if (readDatagram()) {
            const int before = builder.count();
            builder.addDatagram(datagram.constData(), std::size_t(datagram.size()));
            if (done && builder.count() > before && done(builder.array()))
                return;
        } else if (!udp->waitForReadyRead(int(qMin<qint64>(left, kGatherSliceMs))))
            QThread::msleep(1); // should the socket fail, do not spin
    }
}

JsonPtr LinkCore::pollReply(const std::string &syn)
{
    JsonPtr matched = makeJsonPtr();
    if (!udp)
        return matched;
    LimitedLog log(logLine);
    QElapsedTimer clock;
    clock.start();
    qint64 stepEnd = 0;
    do {
        stepEnd += pollIntervalMs;
        // Datagrams are read as they come rather than after sleeping through the step, so
        // that a stream of other datagrams cannot crowd the reply out of the receive buffer.
        for (qint64 left = stepEnd - clock.elapsed(); !matched && left > 0; left = stepEnd - clock.elapsed()) {
            if (!readDatagram()) {
                if (!udp->waitForReadyRead(int(left)))
                    QThread::msleep(1);
                continue;
            }
            JsonPtr reply = makeJsonPtr(decodeMessage(datagram.constData(), std::size_t(datagram.size())));
            switch (checkReply(reply.get(), syn)) {
            case ReplyCheck::NoSyn:
                log("SYN is NULL!");
                break;
            case ReplyCheck::SynMismatch:
                log("syn not matched!");
                break;
            case ReplyCheck::NoData:
            case ReplyCheck::Accepted:
                matched = std::move(reply);
                break;
            }
        }
        // The window takes a reply at the end of the step in which it came.
        const qint64 rest = stepEnd - clock.elapsed();
        if (matched && replyTiming == ReplyTiming::AtOnce)
            break;
        if (rest > 0)
            QThread::msleep(static_cast<unsigned long>(rest));
    } while (!matched && clock.elapsed() < replyWaitMs);
    return matched;
}

LinkCore::Result LinkCore::search(const QString &interfaceName, const GatherDone &done)
{
    Result result;
    std::string syn;
    const JsonPtr request = makeJsonPtr(makeRequest(makeSearchBody(), syn));
    QElapsedTimer clock;
    clock.start();
    if (open(interfaceName) && send(request.get()) && awaitDatagram()) {
        result.firstReplyMs = clock.elapsed();
        DeviceArrayBuilder builder(syn, logLine);
        gather(builder, done);
        result.json = builder.takeArray();
    }
    result.status = lastStatus;
    if (lastStatus.ok()) {
        result.dropped = droppedDatagrams();
        result.receiveBuffer = grantedBuffer;
    }
    return result;
}

LinkCore::Result LinkCore::login(const QString &password, const QString &sn)
{
    return exchange(makeLoginBody(password.toUtf8().constData(), sn.toUtf8().constData()));
}

LinkCore::Result LinkCore::activate(const QString &password, const QString &sn)
{
    return exchange(makeActivateBody(password.toUtf8().constData(), sn.toUtf8().constData()));
}

LinkCore::Result LinkCore::command(cJSON *body)
{
    return exchange(body);
}

LinkCore::Result LinkCore::exchange(cJSON *body)
{
    Result result;
    std::string syn;
    const JsonPtr request = makeJsonPtr(makeRequest(body, syn));
    if (send(request.get()) && awaitDatagram()) {
        result.json = pollReply(syn);
        if (!result.json)
            fail(Error::NoMatchingReply);
    }
    result.status = lastStatus;
    return result;
}

bool LinkCore::fail(Error error)
{
    lastStatus = {error, QAbstractSocket::UnknownSocketError, QString()};
    return false;
}

bool LinkCore::failOnCard(Error error, const QString &card, const QString &cause)
{
    lastStatus = {error, QAbstractSocket::UnknownSocketError, cause, card};
    return false;
}

bool LinkCore::readDatagram()
{
    const qint64 size = udp->pendingDatagramSize();
    if (size < 0)
        return false;
    datagram.resize(int(size));
    const qint64 got = udp->readDatagram(datagram.data(), datagram.size());
    datagram.resize(got > 0 ? int(got) : 0);
    return true;
}
