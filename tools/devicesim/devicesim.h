#pragma once

// A fleet of simulated devices that answers the device protocol: the stand-in for real
// devices in tests, in the demo run and in benchmarks.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class QThread;
class QUdpSocket;

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
    };

    // Replaces what the device would answer to one kind of request
    // ("search", "login", "activate", "netcfg").
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
    QString password;                               // empty: not activated yet
    Fault fault = Fault::None;
    int replyDelayMs = 0;
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
    };

    explicit DeviceSimulator(const Options &options, const QVector<SimDevice> &devices,
                             QObject *parent = nullptr);
    ~DeviceSimulator() override;

    // Binds and joins the group; false with a reason when that fails.
    bool start(QString *error = nullptr);

    // Thread-safe snapshots.
    QVector<QByteArray> requests() const; // every decoded request, compact JSON, in arrival order
    QVector<SimDevice> devices() const;

    // count devices with distinct addresses, serials and MACs, a mix of active and
    // not-yet-active ones and of firmware on both sides of the web-page gate.
    static QVector<SimDevice> makeFleet(int count);
    static bool loadFleet(const QString &path, QVector<SimDevice> *devices, QString *error);

private:
    void readPending();

    Options options;
    QVector<SimDevice> fleet;
    QUdpSocket *socket = nullptr;
    mutable QMutex mutex;
    QVector<QByteArray> requestLog;
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

private:
    QThread *thread = nullptr;
    DeviceSimulator *simulator = nullptr;
};
