#pragma once

#include "devicemessages.h"

#include <QAbstractSocket>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QUdpSocket;

// The device protocol over UDP multicast, without any user interface: every request goes
// to the group through the network card of the latest search, and every call blocks until
// its replies are in or its time is up. Failures come back as values; what the operator is
// told about them is the caller's business.
class LinkCore
{
public:
    static constexpr quint16 localPort = 10088;
    static constexpr quint16 devicePort = 10086;
    static constexpr int replyWaitMs = 3000;  // for the first datagram, and for a matching reply
    static constexpr int pollIntervalMs = 200; // a matching reply is taken at these steps
    static constexpr int gatheringMs = 5000;   // search replies, counted from the first one

    enum class Error {
        None,
        NoSocket,        // no search has made a socket yet
        NoRequest,       // nothing to send (no body)
        BindFailed,      // the local port could not be bound
        SendFailed,      // the request could not be sent (network unreachable, ...)
        Timeout,         // no datagram at all within replyWaitMs
        NoMatchingReply, // datagrams came, but none that answers the request
    };

    struct Status
    {
        Error error = Error::None;
        QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
        QString socketText; // the toolkit's description of socketError

        bool ok() const { return error == Error::None; }
        // One sentence for the operator, translated in the "ORV_CONN2DEVICE" context.
        QString message() const;
    };

    struct Result
    {
        Status status;
        JsonPtr json = makeJsonPtr(); // the device array of a search, or the matching reply
        qint64 firstReplyMs = -1;     // search: from its start to the first datagram
    };

    // When a matching reply is taken: at the end of the poll step in which it came (the
    // window's rhythm), or as soon as it is read (the command line, which runs many requests).
    enum class ReplyTiming { AtStepEnd, AtOnce };

    // Tells a search that it may end before its gathering time is up: called with the
    // devices kept so far after each one that is added.
    using GatherDone = std::function<bool(const cJSON *devices)>;

    // The sockets are made with socketParent as their Qt parent; they stay owned here.
    explicit LinkCore(QObject *socketParent = nullptr);
    ~LinkCore();

    void setReplyTiming(ReplyTiming timing) { replyTiming = timing; }

    // A fresh socket on the local port, joined to the group on every network card whose
    // name is interfaceName. When that fails, the previous socket stays in use.
    bool open(const QString &interfaceName);
    QUdpSocket *socket() const { return udp.get(); }
    const Status &status() const { return lastStatus; }

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
    Result exchange(cJSON *body);
    bool fail(Error error);
    // Reads the next datagram into `datagram`; false when none is waiting.
    bool readDatagram();

    QObject *socketParent;
    std::unique_ptr<QUdpSocket> udp;
    QByteArray datagram; // the last datagram read; its buffer is reused
    Status lastStatus;
    ReplyTiming replyTiming = ReplyTiming::AtStepEnd;
};

// Whether a device's reported activation state ("Active_state") marks it as activated:
// "active" in any letter case, blanks around it allowed. Other devices are activated first.
bool isActivatedState(const QString &activeState);
