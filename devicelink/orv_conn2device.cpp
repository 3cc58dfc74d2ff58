#include "orv_conn2device.h"

#include "devicemessages.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QVector>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const QHostAddress kGroup(QStringLiteral("239.0.0.100"));
constexpr quint16 kLocalPort = 10088;
constexpr int kReplyWaitMs = 3000;
constexpr int kTimerPeriodMs = 200;
constexpr int kPollIntervalMs = 200;
constexpr int kGatheringMs = 5000;
// While gathering, replies are moved into memory in slices this long, so that a few
// hundred devices answering at once cannot overflow the kernel's receive buffer.
constexpr int kGatherSliceMs = 20;
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
const char kMaskedPassword[] = "******";

// Members whose value is a password; matched without regard to case, like every
// member lookup of the protocol.
bool isPasswordMember(const char *name)
{
    return name && (qstricmp(name, "password") == 0 || qstricmp(name, "passwd") == 0);
}

void maskPasswords(cJSON *item)
{
    cJSON *child = item ? item->child : nullptr;
    while (child) {
        cJSON *next = child->next;
        if (isPasswordMember(child->string)) {
            cJSON *masked = cJSON_CreateString(kMaskedPassword);
            const size_t nameSize = std::strlen(child->string) + 1;
            masked->string = static_cast<char *>(cJSON_malloc(nameSize));
            std::memcpy(masked->string, child->string, nameSize);
            cJSON_ReplaceItemViaPointer(item, child, masked);
        } else {
            maskPasswords(child);
        }
        child = next;
    }
}

QByteArray readDatagram(QUdpSocket *socket)
{
    const qint64 size = socket->pendingDatagramSize();
    QByteArray data(size > 0 ? int(size) : 0, Qt::Uninitialized);
    const qint64 got = socket->readDatagram(data.data(), data.size());
    data.resize(got > 0 ? int(got) : 0);
    return data;
}

// Ends a request on every return path.
class BusyScope
{
public:
    explicit BusyScope(bool &flag) : flag(flag) { flag = true; }
    ~BusyScope() { flag = false; }

private:
    bool &flag;
};

} // namespace

ORV_CONN2DEVICE::ORV_CONN2DEVICE(QObject *parent) : QObject(parent)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

ORV_CONN2DEVICE::~ORV_CONN2DEVICE()
{
    cJSON_Delete(reply);
}

void ORV_CONN2DEVICE::loginDevice(const QString &address, const QString &password, const QString &sn)
{
    if (!mayStartRequest("loginDevice"))
        return;
    BusyScope scope(busy);
    qDebug().noquote() << QStringLiteral("send_address:%1,passwd:******,sn:%2").arg(address, sn);
    const QByteArray passwordUtf8 = password.toUtf8();
    const QByteArray snUtf8 = sn.toUtf8();
    handled = false;
    JsonPtr request = makeJsonPtr(makeRequest(makeLoginBody(passwordUtf8.constData(), snUtf8.constData()),
                                              expectedSyn));
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingLogin, false);
}

void ORV_CONN2DEVICE::activateDevice(const QString &, const QString &password, const QString &sn)
{
    if (!mayStartRequest("activateDevice"))
        return;
    BusyScope scope(busy);
    const QByteArray passwordUtf8 = password.toUtf8();
    const QByteArray snUtf8 = sn.toUtf8();
    handled = false;
    JsonPtr request = makeJsonPtr(makeRequest(makeActivateBody(passwordUtf8.constData(), snUtf8.constData()),
                                              expectedSyn));
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingLogin, false);
}

void ORV_CONN2DEVICE::sendCommand(const QString &, cJSON *body)
{
    JsonPtr ownedBody = makeJsonPtr(body);
    if (!mayStartRequest("sendCommand"))
        return;
    BusyScope scope(busy);
    handled = false;
    JsonPtr request = makeJsonPtr(makeRequest(ownedBody.release(), expectedSyn));
    {
        JsonPtr printable = makeJsonPtr(cJSON_Duplicate(request.get(), true));
        maskPasswords(printable.get());
        if (char *text = cJSON_Print(printable.get())) {
            qDebug("%s", text);
            cJSON_free(text);
        }
    }
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingLogin, false);
}

cJSON *ORV_CONN2DEVICE::replyJson() const
{
    return reply;
}

bool ORV_CONN2DEVICE::isBusy() const
{
    return busy;
}

void ORV_CONN2DEVICE::search_device(QString selectedText)
{
    if (busy) {
        qWarning("search_device: a request is still in flight, search ignored");
        return;
    }
    BusyScope scope(busy);

    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();

    // The previous search's socket would otherwise stay bound and joined: unicast
    // replies could land on it and never be read.
    if (socket) {
        socket->close();
        delete socket;
    }
    socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress::AnyIPv4, kLocalPort,
                      QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint))
        qWarning().noquote() << "search_device: bind failed:" << socket->errorString();
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);

    for (const QNetworkInterface &iface : interfaces) {
        if (iface.humanReadableName() != selectedText)
            continue;
        socket->setMulticastInterface(iface);
        socket->joinMulticastGroup(kGroup, iface);
        socket->setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    }

    handled = false;
    JsonPtr request = makeJsonPtr(makeRequest(makeSearchBody(), expectedSyn));
    sendAndWait(request.get(), &ORV_CONN2DEVICE::readingSearch, true);
}

void ORV_CONN2DEVICE::readingLogin()
{
    if (!lock.tryLock())
        return;
    if (handled) {
        lock.unlock();
        return;
    }

    cJSON *matched = nullptr;
    QElapsedTimer clock;
    clock.start();
    do {
        QThread::msleep(kPollIntervalMs);
        while (!matched && socket->hasPendingDatagrams()) {
            const QByteArray datagram = readDatagram(socket);
            JsonPtr parsed = makeJsonPtr(decodeMessage(datagram.constData(), size_t(datagram.size())));
            const ReplyCheck check = checkReply(parsed.get(), expectedSyn);
            if (check == ReplyCheck::NoSyn)
                qDebug("SYN is NULL!");
            else if (check == ReplyCheck::SynMismatch)
                qDebug("syn not matched!");
            else
                matched = parsed.release();
        }
    } while (!matched && clock.elapsed() < kReplyWaitMs);

    cJSON_Delete(reply);
    reply = matched;
    handled = true;
    lock.unlock();
}

void ORV_CONN2DEVICE::readingSearch()
{
    if (!lock.tryLock())
        return;
    if (handled) {
        lock.unlock();
        return;
    }

    // The replies gather for the full time after the first one; they are read into
    // memory as they come so that none is dropped by a full receive buffer.
    QVector<QByteArray> datagrams;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        while (socket->hasPendingDatagrams())
            datagrams.append(readDatagram(socket));
        const qint64 left = kGatheringMs - clock.elapsed();
        if (left <= 0)
            break;
        // Inside this wait the socket may announce readyRead again; the lock held here
        // makes that nested reading step return at once.
        if (!socket->waitForReadyRead(int(qMin<qint64>(left, kGatherSliceMs))))
            QThread::msleep(1); // an unbound socket returns at once; do not spin
    }

    DeviceArrayBuilder builder(expectedSyn, [](const char *line) { qDebug("%s", line); });
    for (const QByteArray &datagram : qAsConst(datagrams))
        builder.addDatagram(datagram.constData(), size_t(datagram.size()));
    emit searchdevice_RespDatas_signals(builder.array());

    handled = true;
    lock.unlock();
}

void ORV_CONN2DEVICE::default_timeout()
{
    if (!lock.tryLock())
        return;
    if (waitLoop.isRunning()) {
        cJSON_Delete(reply);
        reply = nullptr;
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), tr("Timeout,Please try again!"),
                        QMessageBox::Ok);
        box.exec();
        waitLoop.quit();
    }
    lock.unlock();
}

bool ORV_CONN2DEVICE::mayStartRequest(const char *operation)
{
    if (busy) {
        qWarning("%s: a request is still in flight, request ignored", operation);
        // The caller must not mistake an earlier request's reply for its own.
        cJSON_Delete(reply);
        reply = nullptr;
        return false;
    }
    if (!socket) {
        qWarning("%s: no search has run yet, request ignored", operation);
        cJSON_Delete(reply);
        reply = nullptr;
        return false;
    }
    return true;
}

void ORV_CONN2DEVICE::sendAndWait(cJSON *request, void (ORV_CONN2DEVICE::*readingStep)(), bool logSocketInfo)
{
    const std::string wire = encodeMessage(request);
    if (wire.empty()) {
        // Nothing to send (no body): no reply either, not even the previous one.
        cJSON_Delete(reply);
        reply = nullptr;
        return;
    }

    QTimer timer;
    const QMetaObject::Connection timerConnection =
        connect(&timer, &QTimer::timeout, this, &ORV_CONN2DEVICE::default_timeout);
    const QMetaObject::Connection readConnection = connect(socket, &QUdpSocket::readyRead, this, readingStep);

    socket->writeDatagram(wire.data(), qint64(wire.size()), kGroup, quint16(devicePort));
    if (logSocketInfo)
        qDebug().noquote() << "socket_udp.info:" + socket->errorString();

    if (socket->waitForReadyRead(kReplyWaitMs)) {
        // Usually the socket has already run the step while waiting; then this returns at once.
        (this->*readingStep)();
    } else {
        timer.start(kTimerPeriodMs);
        waitLoop.exec();
    }

    disconnect(timerConnection);
    disconnect(readConnection);
}
