// What the devices answer: each request decoded, and each device's reply built, faults and
// overrides included.

#include "devicelink/devicemessages.h"
#include "tools/devicesim/devicesim.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTimer>

#include <cstring>

namespace {

// Big enough for the datagram to be near the UDP limit once enciphered and base64-encoded.
constexpr int kOversizePadding = 45000;
const char kOtherKey[] = "0123456789abcdef";

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

QString utf8(const char *text)
{
    return QString::fromUtf8(text ? text : "");
}

} // namespace

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
            addJsonString(body.get(), "ip", device.ip);
            addJsonString(body.get(), "sn", device.sn);
            addJsonString(body.get(), "mac", device.mac);
            addJsonString(body.get(), "model", device.model);
            if (device.fault != SimDevice::Fault::MissingFields) {
                addJsonString(body.get(), "baseModel", device.baseModel);
                addJsonString(body.get(), "Active_state", device.activeState);
                addJsonString(body.get(), "V", device.version);
            }
        }
        if (device.fault == SimDevice::Fault::Oversized)
            addJsonString(body.get(), "padding", QString(kOversizePadding, QLatin1Char('x')));
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
        if (accepted && device.fault != SimDevice::Fault::KeepsAddress) {
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

void addJsonString(cJSON *object, const char *name, const QString &value)
{
    cJSON_AddStringToObject(object, name, value.toUtf8().constData());
}
