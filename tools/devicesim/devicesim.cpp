#include "devicesim.h"

#include "devicemessages.h"
#include "payloadcodec.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QMutexLocker>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <atomic>
#include <cstring>

namespace {

const QHostAddress kGroup(QStringLiteral("239.0.0.100"));
constexpr quint16 kToolPort = 10088;
// Big enough for the datagram to be near the UDP limit once enciphered and base64-encoded.
constexpr int kOversizePadding = 45000;
const char kOtherKey[] = "0123456789abcdef";
constexpr int kMaxDatagram = 65507; // IPv4 UDP payload limit

struct FaultName
{
    SimDevice::Fault fault;
    const char *name;
};

const FaultName kFaultNames[] = {
    {SimDevice::Fault::None, "none"},
    {SimDevice::Fault::NoReply, "no-reply"},
    {SimDevice::Fault::WrongSyn, "wrong-syn"},
    {SimDevice::Fault::Garbage, "garbage"},
    {SimDevice::Fault::OtherKey, "other-key"},
    {SimDevice::Fault::MissingFields, "missing-fields"},
    {SimDevice::Fault::NonStringFields, "non-string-fields"},
    {SimDevice::Fault::UpperCaseMembers, "upper-case"},
    {SimDevice::Fault::Oversized, "oversized"},
};

QByteArray encodeUnderKey(const cJSON *message, const char *key)
{
    char *text = cJSON_PrintUnformatted(message);
    if (!text)
        return QByteArray();
    const std::string wire = encodeWire(text, std::strlen(text), key);
    cJSON_free(text);
    return QByteArray::fromStdString(wire);
}

void upperCaseMembers(cJSON *item)
{
    for (cJSON *child = item ? item->child : nullptr; child; child = child->next) {
        if (child->string) {
            for (char *c = child->string; *c; ++c) {
                if (*c >= 'a' && *c <= 'z')
                    *c = char(*c - 'a' + 'A');
            }
        }
        upperCaseMembers(child);
    }
}

bool isIpv4(const cJSON *value)
{
    if (!cJSON_IsString(value))
        return false;
    QHostAddress address;
    return address.setAddress(QString::fromUtf8(value->valuestring))
           && address.protocol() == QAbstractSocket::IPv4Protocol;
}

void addString(cJSON *object, const char *name, const QString &value)
{
    cJSON_AddStringToObject(object, name, value.toUtf8().constData());
}

QString utf8(const char *text)
{
    return QString::fromUtf8(text ? text : "");
}

} // namespace

// Sends the flood of one simulator run from a thread of its own.
class FloodSender : public QThread
{
public:
    using Flood = DeviceSimulator::Options::Flood;

    FloodSender(const Flood &flood, const QByteArray &syn, const QHostAddress &target, quint16 targetPort)
        : flood(flood), syn(syn), target(target), targetPort(targetPort)
    {
        if (flood.kind == Flood::Junk || flood.kind == Flood::Oversized) {
            const int size = flood.size > 0 ? flood.size : flood.kind == Flood::Junk ? 16 : kMaxDatagram;
            junk.resize(size);
            for (char &c : junk)
                c = char(QRandomGenerator::global()->bounded(256));
        }
        if (flood.kind == Flood::Mismatch) {
            if (!this->syn.isEmpty())
                this->syn[0] = this->syn.at(0) == 'Z' ? 'Y' : 'Z';
            mismatch = make(0); // the tool drops them all alike: one is enough, and fast
        }
    }

    ~FloodSender() override
    {
        requestInterruption();
        wait();
    }

    qint64 sent() const { return count.load(); }

protected:
    void run() override
    {
        QUdpSocket socket;
        socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
        socket.setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4 * 1024 * 1024);
        QElapsedTimer clock;
        clock.start();
        const qint64 limitMs = flood.seconds > 0 ? qint64(flood.seconds * 1000) : -1;
        QByteArray datagram;
        while (!isInterruptionRequested()) {
            const qint64 n = count.load();
            if ((flood.count > 0 && n >= flood.count) || (limitMs >= 0 && clock.elapsed() >= limitMs))
                break;
            if (flood.rate > 0 && clock.nsecsElapsed() < n * 1000000000 / flood.rate) {
                QThread::usleep(200); // ahead of the rate
                continue;
            }
            if (datagram.isEmpty())
                datagram = flood.kind == Flood::Mismatch && !mismatch.isEmpty() ? mismatch : make(n);
            if (socket.writeDatagram(datagram, target, targetPort) < 0) {
                if (socket.error() == QAbstractSocket::DatagramTooLargeError)
                    break;
                QThread::usleep(100); // send buffer full: let the kernel drain it
                continue;
            }
            datagram.clear();
            ++count;
        }
    }

private:
    QByteArray make(qint64 n)
    {
        if (!junk.isEmpty()) {
            // Distinct datagrams, so that nothing on the way can fold repeats together.
            std::memcpy(junk.data(), &n, size_t(qMin(junk.size(), int(sizeof n))));
            return junk;
        }
        JsonPtr reply = makeJsonPtr(cJSON_CreateObject());
        cJSON_AddStringToObject(reply.get(), "syn", syn.constData());
        cJSON *data = cJSON_AddObjectToObject(reply.get(), "data");
        addString(data, "ip", QStringLiteral("10.%1.%2.%3").arg(1 + n / 62500).arg(n / 250 % 250).arg(1 + n % 250));
        addString(data, "sn", QStringLiteral("FL%1").arg(n + 1, 10, 10, QLatin1Char('0')));
        addString(data, "mac", QStringLiteral("06:00:%1:%2:%3:%4")
                                   .arg((n >> 24) & 0xff, 2, 16, QLatin1Char('0'))
                                   .arg((n >> 16) & 0xff, 2, 16, QLatin1Char('0'))
                                   .arg((n >> 8) & 0xff, 2, 16, QLatin1Char('0'))
                                   .arg(n & 0xff, 2, 16, QLatin1Char('0'))
                                   .toUpper());
        cJSON_AddStringToObject(data, "model", "IPC-2120");
        cJSON_AddStringToObject(data, "baseModel", "IPC21");
        cJSON_AddStringToObject(data, "Active_state", "active");
        cJSON_AddStringToObject(data, "V", "6.0.231024");
        if (flood.size > 0) {
            // Base64 makes 4 characters of 3 bytes, and CR LF ends the datagram.
            const int room = (qMin(flood.size, kMaxDatagram) - 2) / 4 * 3;
            char *text = cJSON_PrintUnformatted(reply.get());
            const int padding = room - int(std::strlen(text)) - int(sizeof ",\"padding\":\"\"" - 1);
            cJSON_free(text);
            if (padding > 0)
                addString(data, "padding", QString(padding, QLatin1Char('x')));
        }
        const std::string wire = encodeMessage(reply.get());
        return QByteArray(wire.data(), int(wire.size()));
    }

    const Flood flood;
    QByteArray syn;
    const QHostAddress target;
    const quint16 targetPort;
    QByteArray junk;
    QByteArray mismatch;
    std::atomic<qint64> count{0};
};

QString SimDevice::faultName(Fault fault)
{
    for (const FaultName &entry : kFaultNames) {
        if (entry.fault == fault)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

bool SimDevice::faultFromName(const QString &name, Fault *fault)
{
    for (const FaultName &entry : kFaultNames) {
        if (name == QLatin1String(entry.name)) {
            *fault = entry.fault;
            return true;
        }
    }
    return false;
}

QStringList SimDevice::faultNames()
{
    QStringList names;
    for (const FaultName &entry : kFaultNames)
        names.append(QString::fromLatin1(entry.name));
    return names;
}

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

void DeviceSimulator::handleDatagram(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort)
{
    JsonPtr request = makeJsonPtr(decodeMessage(datagram.constData(), size_t(datagram.size())));
    if (!request)
        return;

    if (char *compact = cJSON_PrintUnformatted(request.get())) {
        const QByteArray line(compact);
        cJSON_free(compact);
        QMutexLocker locker(&mutex);
        requestLog.append(line);
        ++counters.requests;
        if (requestLogFile.isOpen()) {
            requestLogFile.write(line + '\n');
            requestLogFile.flush();
        }
    }

    if (qstrcmp(stringMember(request.get(), "cmd", ""), "calludp") != 0)
        return;
    if (!cJSON_IsString(cJSON_GetObjectItem(request.get(), "syn")))
        return;
    const cJSON *data = cJSON_GetObjectItem(request.get(), "data");
    const QString callcmd = utf8(stringMember(data, "callcmd", ""));

    QString kind;
    if (callcmd == QLatin1String("search")) {
        kind = QStringLiteral("search");
    } else if (callcmd == QLatin1String("Security verification")) {
        const QString command = utf8(stringMember(data, "command", ""));
        if (command == QLatin1String("login") || command == QLatin1String("activate"))
            kind = command;
    } else if (callcmd == QLatin1String("netcfg")) {
        kind = QStringLiteral("netcfg");
    }
    if (kind.isEmpty())
        return;

    // Before the answers, so that they arrive amid the flood.
    if (!flooder && options.flood.kind != Options::Flood::None
        && (options.flood.on.isEmpty() || options.flood.on == kind))
        startFlood(stringMember(request.get(), "syn", ""), sender, senderPort);

    const bool everyone = kind == QLatin1String("search");
    const QString sn = utf8(stringMember(data, "sn", ""));
    for (int i = 0; i < fleet.size(); ++i) {
        if (everyone || (!sn.isEmpty() && fleet.at(i).sn == sn))
            answer(i, kind, request.get(), sender, senderPort);
    }
}

void DeviceSimulator::answer(int index, const QString &kind, const cJSON *request, const QHostAddress &sender,
                             quint16 senderPort)
{
    if (clock.elapsed() < silentUntilMs.at(index))
        return; // restarting
    SimDevice device;
    {
        QMutexLocker locker(&mutex);
        device = fleet.at(index);
    }
    if (device.fault == SimDevice::Fault::NoReply)
        return;

    const cJSON *data = cJSON_GetObjectItem(request, "data");
    JsonPtr body = makeJsonPtr();
    bool restartAfterReply = false;
    bool withData = true;

    const auto overrideIt = device.overrides.constFind(kind);
    if (overrideIt != device.overrides.constEnd()) {
        switch (overrideIt->kind) {
        case SimDevice::Override::NoReply:
            return;
        case SimDevice::Override::NoData:
            withData = false;
            break;
        case SimDevice::Override::Data:
            body.reset(cJSON_Parse(overrideIt->dataJson.constData()));
            if (!body)
                body.reset(cJSON_CreateObject());
            break;
        }
    } else if (kind == QLatin1String("search")) {
        body.reset(cJSON_CreateObject());
        if (device.fault == SimDevice::Fault::NonStringFields) {
            const char *names[] = {"ip", "sn", "mac", "model", "baseModel", "Active_state", "V"};
            for (int i = 0; i < 7; ++i)
                cJSON_AddNumberToObject(body.get(), names[i], index * 10 + i);
        } else {
            addString(body.get(), "ip", device.ip);
            addString(body.get(), "sn", device.sn);
            addString(body.get(), "mac", device.mac);
            addString(body.get(), "model", device.model);
            if (device.fault != SimDevice::Fault::MissingFields) {
                addString(body.get(), "baseModel", device.baseModel);
                addString(body.get(), "Active_state", device.activeState);
                addString(body.get(), "V", device.version);
            }
        }
        if (device.fault == SimDevice::Fault::Oversized)
            addString(body.get(), "padding", QString(kOversizePadding, QLatin1Char('x')));
    } else if (kind == QLatin1String("login")) {
        const QString password = utf8(stringMember(data, "password", ""));
        body.reset(cJSON_CreateObject());
        if (device.password.isEmpty())
            cJSON_AddStringToObject(body.get(), "login", "Please activate the device first");
        else if (password == device.password)
            cJSON_AddStringToObject(body.get(), "login", "success");
        else
            cJSON_AddStringToObject(body.get(), "login", "password error");
    } else if (kind == QLatin1String("activate")) {
        const QString password = utf8(stringMember(data, "password", ""));
        body.reset(cJSON_CreateObject());
        if (!device.password.isEmpty()) {
            cJSON_AddStringToObject(body.get(), "activate", "device already activated");
        } else if (password.isEmpty()) {
            cJSON_AddStringToObject(body.get(), "activate", "password empty");
        } else {
            cJSON_AddStringToObject(body.get(), "activate", "success");
            QMutexLocker locker(&mutex);
            fleet[index].password = password;
            fleet[index].activeState = QStringLiteral("active");
        }
    } else if (kind == QLatin1String("netcfg")) {
        const cJSON *settings = cJSON_GetObjectItem(data, "calldata");
        const cJSON *dhcp = cJSON_GetObjectItem(settings, "dhcp");
        const bool accepted = cJSON_IsNumber(dhcp) && dhcp->valuedouble == 0
                              && isIpv4(cJSON_GetObjectItem(settings, "ip"))
                              && isIpv4(cJSON_GetObjectItem(settings, "gw"))
                              && isIpv4(cJSON_GetObjectItem(settings, "mask"))
                              && isIpv4(cJSON_GetObjectItem(settings, "dns"));
        body.reset(cJSON_CreateObject());
        cJSON *calldata = cJSON_AddObjectToObject(body.get(), "calldata");
        cJSON_AddStringToObject(calldata, "netcfg", accepted ? "ok" : "error");
        if (accepted) {
            QMutexLocker locker(&mutex);
            fleet[index].ip = utf8(stringMember(settings, "ip", ""));
            restartAfterReply = true;
        }
    }

    JsonPtr reply = makeJsonPtr(cJSON_CreateObject());
    QByteArray syn(stringMember(request, "syn", ""));
    if (device.fault == SimDevice::Fault::WrongSyn)
        syn[0] = syn.at(0) == 'Z' ? 'Y' : 'Z';
    cJSON_AddStringToObject(reply.get(), "syn", syn.constData());
    if (withData && body)
        cJSON_AddItemToObject(reply.get(), "data", body.release());
    if (device.fault == SimDevice::Fault::UpperCaseMembers)
        upperCaseMembers(reply.get());

    QByteArray wire;
    if (device.fault == SimDevice::Fault::Garbage) {
        static const char garbage[] = "%%garbage\x01\x7f\xff\0 from a broken device";
        wire = QByteArray(garbage, int(sizeof garbage - 1)) + "\r\n";
    } else if (device.fault == SimDevice::Fault::OtherKey) {
        wire = encodeUnderKey(reply.get(), kOtherKey);
    } else {
        const std::string encoded = encodeMessage(reply.get());
        wire = QByteArray(encoded.data(), int(encoded.size()));
    }

    const bool isSearch = kind == QLatin1String("search");
    if (restartAfterReply)
        silentUntilMs[index] = clock.elapsed() + device.replyDelayMs + options.restartMs;
    if (device.replyDelayMs > 0) {
        QTimer::singleShot(device.replyDelayMs, this, [this, wire, isSearch, sender, senderPort] {
            sendReply(wire, isSearch, sender, senderPort);
        });
    } else {
        sendReply(wire, isSearch, sender, senderPort);
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

QVector<SimDevice> DeviceSimulator::makeFleet(int count)
{
    static const char *const models[][2] = {{"IPC-2120", "IPC21"}, {"IPC-3140", "IPC31"}, {"NVR-0800", "NVR08"}};
    // Below, at and above the web-page gate, and the two versions it excludes.
    static const char *const versions[] = {"6.0.231024", "6.1.250110", "5.8.230415",
                                           "6.0.240514", "6.0.240101", "6.0.240630", "6.0.230901"};
    QVector<SimDevice> devices;
    devices.reserve(qMax(count, 0));
    for (int i = 0; i < count; ++i) {
        SimDevice device;
        device.ip = QStringLiteral("192.168.%1.%2").arg(1 + i / 250).arg(2 + i % 250);
        device.sn = QStringLiteral("SN%1").arg(i + 1, 8, 10, QLatin1Char('0'));
        device.mac = QStringLiteral("02:54:56:%1:%2:%3")
                         .arg((i >> 16) & 0xff, 2, 16, QLatin1Char('0'))
                         .arg((i >> 8) & 0xff, 2, 16, QLatin1Char('0'))
                         .arg(i & 0xff, 2, 16, QLatin1Char('0'))
                         .toUpper();
        device.model = QString::fromLatin1(models[i % 3][0]);
        device.baseModel = QString::fromLatin1(models[i % 3][1]);
        device.version = QString::fromLatin1(versions[i % 7]);
        if (i % 4 == 3) {
            device.activeState = QStringLiteral("inactive");
        } else {
            device.activeState = QStringLiteral("active");
            device.password = QStringLiteral("admin123");
        }
        devices.append(device);
    }
    return devices;
}

bool DeviceSimulator::loadFleet(const QString &path, QVector<SimDevice> *devices, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    return parseFleet(file.readAll(), devices, error);
}

bool DeviceSimulator::parseFleet(const QByteArray &json, QVector<SimDevice> *devices, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull())
        return fail(QStringLiteral("fleet is not JSON: %1").arg(parseError.errorString()));
    QJsonArray list;
    if (document.isArray())
        list = document.array();
    else if (document.object().value(QLatin1String("devices")).isArray())
        list = document.object().value(QLatin1String("devices")).toArray();
    else
        return fail(QStringLiteral("fleet must be an array or an object with a \"devices\" array"));

    QVector<SimDevice> result;
    for (int i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("device %1: ").arg(i + 1);
        if (!list.at(i).isObject())
            return fail(where + QStringLiteral("not an object"));
        const QJsonObject object = list.at(i).toObject();
        for (const char *name : {"ip", "sn"}) {
            if (!object.value(QLatin1String(name)).isString())
                return fail(where + QStringLiteral("\"%1\" missing or not a string").arg(QLatin1String(name)));
        }
        SimDevice device;
        device.ip = object.value(QLatin1String("ip")).toString();
        device.sn = object.value(QLatin1String("sn")).toString();
        device.mac = object.value(QLatin1String("mac")).toString();
        device.model = object.value(QLatin1String("model")).toString();
        device.baseModel = object.value(QLatin1String("baseModel")).toString();
        device.version = object.value(QLatin1String("V")).toString();
        device.password = object.value(QLatin1String("password")).toString();
        device.activeState = object.value(QLatin1String("active"))
                                 .toString(device.password.isEmpty() ? QStringLiteral("inactive")
                                                                     : QStringLiteral("active"));
        if (object.contains(QLatin1String("fault"))
            && !SimDevice::faultFromName(object.value(QLatin1String("fault")).toString(), &device.fault))
            return fail(where + QStringLiteral("unknown fault \"%1\" (known: %2)")
                                    .arg(object.value(QLatin1String("fault")).toString(),
                                         SimDevice::faultNames().join(QLatin1String(", "))));
        const QJsonValue delay = object.value(QLatin1String("delayMs"));
        if (!delay.isUndefined() && (!delay.isDouble() || delay.toInt(-1) < 0))
            return fail(where + QStringLiteral("\"delayMs\" must be a number of milliseconds"));
        device.replyDelayMs = delay.toInt(0);

        const QJsonObject overrides = object.value(QLatin1String("overrides")).toObject();
        for (auto it = overrides.constBegin(); it != overrides.constEnd(); ++it) {
            static const QStringList kinds = {QStringLiteral("search"), QStringLiteral("login"),
                                              QStringLiteral("activate"), QStringLiteral("netcfg")};
            if (!kinds.contains(it.key()))
                return fail(where + QStringLiteral("unknown override \"%1\"").arg(it.key()));
            const QJsonObject spec = it.value().toObject();
            SimDevice::Override override;
            if (spec.value(QLatin1String("noReply")).toBool()) {
                override.kind = SimDevice::Override::NoReply;
            } else if (spec.value(QLatin1String("noData")).toBool()) {
                override.kind = SimDevice::Override::NoData;
            } else if (spec.contains(QLatin1String("data"))) {
                override.kind = SimDevice::Override::Data;
                const QJsonValue data = spec.value(QLatin1String("data"));
                override.dataJson = data.isObject() ? QJsonDocument(data.toObject()).toJson(QJsonDocument::Compact)
                                                    : QJsonDocument(QJsonArray{data}).toJson(QJsonDocument::Compact);
                if (!data.isObject()) // keep the bare value: strip the array brackets
                    override.dataJson = override.dataJson.mid(1, override.dataJson.size() - 2);
            } else {
                return fail(where + QStringLiteral("override \"%1\" needs \"data\", \"noData\" or \"noReply\"")
                                        .arg(it.key()));
            }
            device.overrides.insert(it.key(), override);
        }
        result.append(device);
    }
    *devices = result;
    return true;
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
