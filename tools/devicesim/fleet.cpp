// The fleet: generated devices, the fleet file, and the names of the fault modes.

#include "tools/devicesim/devicesim.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

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
    {SimDevice::Fault::KeepsAddress, "keeps-address"},
};

} // namespace

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
            const QJsonObject given = it.value().toObject();
            SimDevice::Override override;
            if (given.value(QLatin1String("noReply")).toBool()) {
                override.kind = SimDevice::Override::NoReply;
            } else if (given.value(QLatin1String("noData")).toBool()) {
                override.kind = SimDevice::Override::NoData;
            } else if (given.contains(QLatin1String("data"))) {
                override.kind = SimDevice::Override::Data;
                const QJsonValue data = given.value(QLatin1String("data"));
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
