// What the devices answer: each request decoded, and each device's reply built, faults and
// overrides included.

#include "tools/devicesim/devicesim.h"

#include "tools/devicesim/simmessage.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTimer>

namespace {

// Big enough for the datagram to be near the UDP limit once enciphered and base64-encoded.
constexpr int kOversizePadding = 45000;
const char kOtherKey[] = "0123456789abcdef";

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

bool isIpv4(const cJSON *object, const char *name)
{
    QHostAddress address;
    return SimMessage::hasText(object, name)
           && address.setAddress(QString::fromUtf8(SimMessage::text(object, name)))
           && address.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

void DeviceSimulator::handleDatagram(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort)
{
    const SimJson request = SimMessage::read(datagram);
    if (!request)
        return;

    const QByteArray line = SimMessage::print(request.get());
    if (!line.isEmpty()) {
        QMutexLocker locker(&mutex);
        requestLog.append(line);
        ++counters.requests;
        if (requestLogFile.isOpen()) {
            requestLogFile.write(line + '\n');
            requestLogFile.flush();
        }
    }

    if (SimMessage::text(request.get(), "cmd") != "calludp" || !SimMessage::hasText(request.get(), "syn"))
        return;
    const cJSON *data = SimMessage::member(request.get(), "data");
    const QByteArray callcmd = SimMessage::text(data, "callcmd");

    QString kind;
    if (callcmd == "search") {
        kind = QStringLiteral("search");
    } else if (callcmd == "Security verification") {
        const QByteArray command = SimMessage::text(data, "command");
        if (command == "login" || command == "activate")
            kind = QString::fromLatin1(command);
    } else if (callcmd == "netcfg") {
        kind = QStringLiteral("netcfg");
    }
    if (kind.isEmpty())
        return;

    // Before the answers, so that they arrive amid the flood.
    if (!flooder && options.flood.kind != Options::Flood::None
        && (options.flood.on.isEmpty() || options.flood.on == kind))
        startFlood(SimMessage::text(request.get(), "syn"), sender, senderPort);

    const bool everyone = kind == QLatin1String("search");
    const QString sn = QString::fromUtf8(SimMessage::text(data, "sn"));
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

    const cJSON *data = SimMessage::member(request, "data");
    SimJson body = simJson();
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
            SimMessage::addText(body.get(), "ip", device.ip);
            SimMessage::addText(body.get(), "sn", device.sn);
            SimMessage::addText(body.get(), "mac", device.mac);
            SimMessage::addText(body.get(), "model", device.model);
            if (device.fault != SimDevice::Fault::MissingFields) {
                SimMessage::addText(body.get(), "baseModel", device.baseModel);
                SimMessage::addText(body.get(), "Active_state", device.activeState);
                SimMessage::addText(body.get(), "V", device.version);
            }
        }
        if (device.fault == SimDevice::Fault::Oversized)
            SimMessage::addText(body.get(), "padding", QString(kOversizePadding, QLatin1Char('x')));
    } else if (kind == QLatin1String("login")) {
        const QString password = QString::fromUtf8(SimMessage::text(data, "password"));
        body.reset(cJSON_CreateObject());
        if (device.password.isEmpty())
            cJSON_AddStringToObject(body.get(), "login", "Please activate the device first");
        else if (password == device.password)
            cJSON_AddStringToObject(body.get(), "login", "success");
        else
            cJSON_AddStringToObject(body.get(), "login", "password error");
    } else if (kind == QLatin1String("activate")) {
        const QString password = QString::fromUtf8(SimMessage::text(data, "password"));
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
        const cJSON *settings = SimMessage::member(data, "calldata");
        const cJSON *dhcp = SimMessage::member(settings, "dhcp");
        const bool accepted = cJSON_IsNumber(dhcp) && dhcp->valuedouble == 0 && isIpv4(settings, "ip")
                              && isIpv4(settings, "gw") && isIpv4(settings, "mask") && isIpv4(settings, "dns");
        body.reset(cJSON_CreateObject());
        cJSON *calldata = cJSON_AddObjectToObject(body.get(), "calldata");
        cJSON_AddStringToObject(calldata, "netcfg", accepted ? "ok" : "error");
        if (accepted && device.fault != SimDevice::Fault::KeepsAddress) {
            QMutexLocker locker(&mutex);
            fleet[index].ip = QString::fromUtf8(SimMessage::text(settings, "ip"));
            restartAfterReply = true;
        }
    }

    QByteArray syn = SimMessage::text(request, "syn");
    if (device.fault == SimDevice::Fault::WrongSyn)
        syn[0] = syn.at(0) == 'Z' ? 'Y' : 'Z';
    const SimJson reply = SimMessage::reply(syn, withData ? std::move(body) : simJson());
    if (device.fault == SimDevice::Fault::UpperCaseMembers)
        upperCaseMembers(reply.get());

    QByteArray wire;
    if (device.fault == SimDevice::Fault::Garbage) {
        static const char garbage[] = "%%garbage\x01\x7f\xff\0 from a broken device";
        wire = QByteArray(garbage, int(sizeof garbage - 1)) + "\r\n";
    } else if (device.fault == SimDevice::Fault::OtherKey) {
        wire = SimMessage::write(reply.get(), kOtherKey);
    } else {
        wire = SimMessage::write(reply.get());
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
