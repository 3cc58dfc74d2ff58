#pragma once

// A fleet of simulated devices that answers the device protocol: the stand-in for real
// devices in tests, in the demo run and in benchmarks.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class FloodSender;
class QTcpServer;
class QThread;
class QUdpSocket;
struct cJSON;

struct SimDevice
{
    // How a device misbehaves, for tests.
    enum class Fault {
        None,
        NoReply,          // never answers anything
        WrongSyn,         // answers with a tag that is not the request's
        Garbage,          // answers with bytes that are not base64 of anything
        OtherKey,         // enciphers its replies under another key
        MissingFields,    // search reply without "baseModel", "Active_state" and "V"
        NonStringFields,  // search reply with numbers where strings belong
        UpperCaseMembers, // "SYN", "DATA", "IP", ... in capitals
        Oversized,        // search reply padded to about 60 KB
        KeepsAddress,     // answers "ok" to "netcfg" but keeps its address and does not restart
    };

    // "none", "no-reply", "wrong-syn", ... as the fleet file and the command line write them.
    static QString faultName(Fault fault);
    static bool faultFromName(const QString &name, Fault *fault);
    static QStringList faultNames();

    // Replaces what the device would answer to one kind of request
    // ("search", "login", "activate", "netcfg"). The device's state does not change
    // then: an overridden "activate" sets no password, an overridden "netcfg" neither
    // moves nor restarts the device.
    struct Override
    {
        enum Kind { Data, NoData, NoReply } kind = Data;
        QByteArray dataJson; // the "data" member, as JSON text, for kind Data
    };

    QString ip;
    QString sn;
    QString mac;
    QString model;
    QString baseModel;
    QString activeState = QStringLiteral("active"); // what it reports as "Active_state"
    QString version;                                // what it reports as "V"
    QString password;                               // empty: not activated yet, login refused
    Fault fault = Fault::None;
    int replyDelayMs = 0; // every reply of this device is sent this much later
    QHash<QString, Override> overrides;
};

class DeviceSimulator : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QHostAddress interfaceAddress = QHostAddress(QHostAddress::LocalHost); // where the group is joined
        quint16 port = 10086;
        bool replyToGroup = false; // default: reply to the sender's address and port
        int restartMs = 3000;      // silence after an accepted "netcfg"
        QString requestLogPath;    // one JSON line per decoded request, when set
        // Hosts on the LAN that are not devices: each accepts (and closes) TCP connections on
        // port 80 of its address, which must be an address of this network namespace (tests
        // add it with "ip addr add ADDR/32 dev lo"). They answer no device request.
        QVector<QHostAddress> hosts;

        // Unwanted traffic towards the tool, for reproducing a hostile or noisy network.
        // It starts at the first request of kind `on` (any kind when empty), goes to that
        // request's sender and runs on a thread of its own, so the devices keep answering.
        struct Flood
        {
            enum Kind {
                None,
                Junk,      // random bytes, 16 per datagram unless size says otherwise
                Oversized, // the same, 65507 bytes (the UDP limit) unless size says otherwise
                Forged,    // valid search replies with the request's tag, each a distinct device
                Mismatch,  // one such reply over and over, with a tag that is not the request's
            } kind = None;
            QString on;        // "search", "login", "activate", "netcfg"; empty: any
            int size = 0;      // bytes per datagram (replies: padded up to it); 0: the default
            int rate = 0;      // datagrams per second; 0: as fast as possible
            qint64 count = 0;  // stop after this many datagrams; 0: no limit
            double seconds = 0; // stop after this long; 0: no limit
        } flood;
    };

    struct Stats
    {
        int requests = 0;       // decoded requests
        int replies = 0;        // datagrams sent
        int searchReplies = 0;  // of which answers to "search"
        qint64 floodDatagrams = 0; // sent by the flood
        int hostConnections = 0;   // accepted by the hosts
    };

    explicit DeviceSimulator(const Options &options, const QVector<SimDevice> &devices,
                             QObject *parent = nullptr);
    ~DeviceSimulator() override;

    // Binds and joins the group, and starts the hosts; false with a reason when that fails.
    bool start(QString *error = nullptr);

    // Thread-safe snapshots.
    QVector<QByteArray> requests() const; // every decoded request, compact JSON, in arrival order
    QVector<SimDevice> devices() const;
    Stats stats() const;

    // count devices with distinct addresses, serials and MACs, a mix of active and
    // not-yet-active ones and of firmware on both sides of the web-page gate.
    static QVector<SimDevice> makeFleet(int count);
    // The fleet file: {"devices": [ {...}, ... ]} or just the array. Each device:
    // "ip" and "sn" (required), "mac", "model", "baseModel", "active", "V", "password",
    // "fault" (a faultName), "delayMs", and "overrides": {"<kind>": {"data": {...}} or
    // {"noData": true} or {"noReply": true}}. "active" defaults to "active" when the
    // device has a password and to "inactive" otherwise.
    static bool loadFleet(const QString &path, QVector<SimDevice> *devices, QString *error);
    static bool parseFleet(const QByteArray &json, QVector<SimDevice> *devices, QString *error);

private:
    void readPending();
    void handleDatagram(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort);
    // Builds, encodes and (maybe later) sends one device's answer to one request.
    void answer(int index, const QString &kind, const cJSON *request, const QHostAddress &sender,
                quint16 senderPort);
    void sendReply(const QByteArray &wire, bool isSearch, const QHostAddress &sender, quint16 senderPort);
    void startFlood(const QByteArray &syn, const QHostAddress &target, quint16 targetPort);
    bool startHosts(QString *error);

    Options options;
    QVector<SimDevice> fleet;
    QVector<qint64> silentUntilMs; // per device, on the clock below
    QElapsedTimer clock;
    QUdpSocket *socket = nullptr;
    QFile requestLogFile;
    mutable QMutex mutex;
    QVector<QByteArray> requestLog;
    Stats counters;
    FloodSender *flooder = nullptr;
    QVector<QTcpServer *> hostListeners;
};

// Runs a DeviceSimulator on a thread of its own, so that a caller that blocks its
// thread (as the device link does) still gets answers.
class DeviceSimulatorThread
{
public:
    DeviceSimulatorThread();
    ~DeviceSimulatorThread();

    bool start(const QVector<SimDevice> &devices,
               const DeviceSimulator::Options &options = DeviceSimulator::Options(),
               QString *error = nullptr);
    void stop();

    QVector<QByteArray> requests() const;
    QVector<SimDevice> devices() const;
    DeviceSimulator::Stats stats() const;
    bool isRunning() const { return simulator != nullptr; }

private:
    QThread *thread = nullptr;
    DeviceSimulator *simulator = nullptr;
    // What the simulator held when it stopped, so that tests can look afterwards.
    QVector<QByteArray> finalRequests;
    QVector<SimDevice> finalDevices;
    DeviceSimulator::Stats finalStats;
};
