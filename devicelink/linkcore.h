#pragma once

#include "devicelink/devicemessages.h"

#include <QAbstractSocket>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QThread;
class QUdpSocket;

// The device protocol over UDP multicast, without any user interface: every request goes
// to the group through the network card of the latest search, and every call blocks until
// its replies are in or its time is up. Failures come back as values; what the operator is
// told about them is the caller's business.
class LinkCore
{
public:
    static constexpr quint16 localPort = kLocalPort;
    static constexpr quint16 devicePort = kDevicePort;
    static constexpr int replyWaitMs = 3000;  // for the first datagram, and for a matching reply
    static constexpr int pollIntervalMs = 200; // a matching reply is taken at these steps
    static constexpr int gatheringMs = 5000;   // search replies, counted from the first one
    // The receive buffer asked for: room for this many search replies, at the 2048 bytes the
    // kernel counts for a small datagram from most cards (1280 on loopback).
    static constexpr int repliesToHold = 65536;
    static constexpr int receiveBufferBytes = repliesToHold * 2048;

    enum class Error {
        None,
        NoSocket,        // no search has made a socket yet
        NoRequest,       // nothing to send (no body)
        BindFailed,      // the local port could not be bound
        CardGone,        // no network card has the chosen name (any more)
        CardNoIpv4,      // the chosen card has no IPv4 address
        JoinFailed,      // the card could not be made the multicast interface, or the group not joined on it
        SendFailed,      // the request could not be sent (network unreachable, ...)
        Timeout,         // no datagram at all within replyWaitMs
        NoMatchingReply, // datagrams came, but none that answers the request
    };

    struct Status
    {
        Error error = Error::None;
        QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
        QString socketText; // the toolkit's or the system's description of the failure
        QString card;       // CardGone, CardNoIpv4, JoinFailed: the chosen card's name

        bool ok() const { return error == Error::None; }
    };

    struct Result
    {
        Status status;
        JsonPtr json = makeJsonPtr(); // the device array of a search, or the matching reply
        qint64 firstReplyMs = -1;     // search: from its start to the first datagram
        qint64 dropped = 0;           // search: datagrams the kernel dropped, -1 when it does not say
        int receiveBuffer = 0;        // search: bytes of receive buffer the system granted
    };

    // How a search binds the local port: the window shares it as it always did, the command
    // line binds it alone. Either way the two exclude each other, so that neither steals the
    // other's replies.
    enum class PortSharing { Shared, Exclusive };

    // When a matching reply is taken: at the end of the poll step in which it came (the
    // window's rhythm), or as soon as it is read (the command line, which runs many requests).
    enum class ReplyTiming { AtStepEnd, AtOnce };

    // Tells a search that it may end before its gathering time is up: called with the
    // devices kept so far after each one that is added.
    using GatherDone = std::function<bool(const cJSON *devices)>;

    // The sockets stay owned here; in socketParent's thread they also have it as their Qt
    // parent (the window's link is the parent of the socket it searches with).
    explicit LinkCore(QObject *socketParent = nullptr);
    ~LinkCore();

    // A socket lives in one thread at a time: the core works in the thread its socket lives
    // in (a socket that open() makes lives in the thread that calls it). Call this in that
    // thread to hand the core to another; a socket away from its parent's thread has no parent.
    void moveToThread(QThread *thread);
    // Back in socketParent's thread, and called there: the socket has its parent again.
    void restoreSocketParent();

    void setReplyTiming(ReplyTiming timing) { replyTiming = timing; }
    void setPortSharing(PortSharing sharing) { portSharing = sharing; }
    // Tests ask for a small buffer, to see a flood overflow it.
    void setReceiveBufferRequest(int bytes) { receiveBufferRequest = bytes; }

    // A fresh socket on the local port, joined to the group on every network card whose
    // name is interfaceName; nothing is bound when no such card has an IPv4 address. When
    // that fails, a shared socket of an earlier search stays in use; an exclusive one is
    // closed before the new one binds.
    bool open(const QString &interfaceName);
    QUdpSocket *socket() const { return udp.get(); }
    // The card of the socket in use: the name given to the last open() that succeeded.
    const QString &card() const { return openCard; }
    const Status &status() const { return lastStatus; }
    // The receive buffer the system granted (twice what was asked, at most twice
    // net.core.rmem_max), and how many datagrams it dropped for want of room since open().
    int receiveBufferGranted() const { return grantedBuffer; }
    qint64 droppedDatagrams() const; // -1 when the system does not say

    // The steps of an exchange. send() writes one request to the group; awaitDatagram()
    // waits up to replyWaitMs for anything to arrive.
    bool send(const cJSON *request);
    bool awaitDatagram();
    // Reads search replies into builder until gatheringMs have passed, however many come,
    // or until done says that what was kept is enough.
    void gather(DeviceArrayBuilder &builder, const GatherDone &done = {});
    // Reads until the reply that carries syn, at most replyWaitMs; null when none came.
    JsonPtr pollReply(const std::string &syn);

    // Whole exchanges. search() opens a socket on interfaceName; the others need one.
    Result search(const QString &interfaceName, const GatherDone &done = {});
    Result login(const QString &password, const QString &sn);
    Result activate(const QString &password, const QString &sn);
    Result command(cJSON *body); // takes body over

private:
    // The parts that differ between systems (linkcore_unix.cpp, linkcore_win.cpp).
    // Makes the card with this index the socket's multicast interface and joins group on it.
    static bool joinGroupOn(qintptr socket, quint32 group, int cardIndex, QString *error);
    // Datagrams the system dropped on this socket for want of buffer room; -1 when it does not say.
    static qint64 socketDropCounter(qintptr socket);

    Result exchange(cJSON *body);
    bool fail(Error error);
    bool failOnCard(Error error, const QString &card, const QString &cause = QString());
    // Reads the next datagram into `datagram`; false when none is waiting.
    bool readDatagram();

    QObject *socketParent;
    std::unique_ptr<QUdpSocket> udp;
    QString openCard;
    QByteArray datagram; // the last datagram read; its buffer is reused
    Status lastStatus;
    ReplyTiming replyTiming = ReplyTiming::AtStepEnd;
    PortSharing portSharing = PortSharing::Shared;
    int receiveBufferRequest = receiveBufferBytes;
    int grantedBuffer = 0;
    qint64 dropsAtOpen = 0;
};
