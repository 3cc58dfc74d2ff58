#include "linkcore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QThread>
#include <QUdpSocket>

namespace {

const QHostAddress kGroup(QStringLiteral("239.0.0.100"));
// Replies are moved into memory in slices this long, so that a few thousand devices
// answering at once cannot overflow the kernel's receive buffer.
constexpr int kGatherSliceMs = 20;
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

void logLine(const char *line)
{
    qDebug("%s", line);
}

} // namespace

QString LinkCore::Status::message() const
{
    switch (error) {
    case Error::None:
        return QString();
    case Error::NoSocket:
        return QCoreApplication::translate("ORV_CONN2DEVICE", "No search has been made yet.");
    case Error::NoRequest:
        return QStringLiteral("Nothing to send.");
    case Error::Timeout:
        return QCoreApplication::translate("ORV_CONN2DEVICE", "Timeout,Please try again!");
    case Error::NoMatchingReply:
        return QCoreApplication::translate("ORV_CONN2DEVICE", "No matching reply came from the device.");
    case Error::BindFailed:
        if (socketError == QAbstractSocket::AddressInUseError)
            return QCoreApplication::translate("ORV_CONN2DEVICE",
                                               "UDP port 10088 is in use by another program, so the replies of the "
                                               "devices cannot be received. Close that program and search again.");
        break;
    case Error::SendFailed:
        if (socketError == QAbstractSocket::NetworkError)
            return QCoreApplication::translate("ORV_CONN2DEVICE",
                                               "Network unreachable: check that the chosen network card is connected "
                                               "and has an IPv4 address.");
        break;
    }
    return QCoreApplication::translate("ORV_CONN2DEVICE", "Network error: %1").arg(socketText);
}

LinkCore::LinkCore(QObject *socketParent) : socketParent(socketParent)
{
}

LinkCore::~LinkCore() = default;

bool LinkCore::open(const QString &interfaceName)
{
    lastStatus = Status();
    auto fresh = std::make_unique<QUdpSocket>(socketParent);
    if (!fresh->bind(QHostAddress::AnyIPv4, localPort,
                     QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        lastStatus = {Error::BindFailed, fresh->error(), fresh->errorString()};
        return false;
    }
    fresh->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);

    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces) {
        if (nic.humanReadableName() != interfaceName)
            continue;
        fresh->setMulticastInterface(nic);
        fresh->joinMulticastGroup(kGroup, nic);
        fresh->setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    }

    // The previous socket would otherwise stay bound and joined: replies could land on
    // it and never be read.
    if (udp)
        udp->close();
    udp = std::move(fresh);
    return true;
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

bool isActivatedState(const QString &activeState)
{
    return activeState.trimmed().toLower() == QLatin1String("active");
}
