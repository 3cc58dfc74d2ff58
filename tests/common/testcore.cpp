#include "tests/common/testcore.h"

#include "commissioning/report.h"
#include "diagnosis/networkcard.h"

#include <QProcess>

QString durationProblem(qint64 ms, double lowest, double highest)
{
#ifdef ORV_SANITIZED
    Q_UNUSED(ms)
    Q_UNUSED(lowest)
    Q_UNUSED(highest)
    return QString();
#else
    static const bool shared = qgetenv("ORV_TEST_ENTRY") == "shared";
    if (shared)
        return QStringLiteral("%1 ms measured in a ctest entry that shares the cores with other tests: check "
                              "durations in the body of the test function itself, which then gets an entry "
                              "that runs alone").arg(ms);
#endif
    if (ms >= lowest && ms <= highest)
        return QString();
    return QStringLiteral("%1 ms, expected %2 to %3").arg(ms).arg(lowest).arg(highest);
}

static LogCapture *activeCapture = nullptr;

LogCapture::LogCapture() : previous(qInstallMessageHandler(&LogCapture::handle))
{
    activeCapture = this;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    activeCapture = nullptr;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Said by the offscreen platform plugin that tests run on, never by a desktop.
    static const QStringList platformNoise = {
        QStringLiteral("This plugin does not support propagateSizeHints()"),
        QStringLiteral("QObject::connect: No such signal QPlatformNativeInterface::systemTrayWindowChanged(QScreen*)")};
    LogCapture *capture = activeCapture;
    if (!capture || platformNoise.contains(message))
        return;
    {
        QMutexLocker locker(&capture->mutex);
        capture->seen.append({type, message});
    }
    if (type != QtDebugMsg)
        capture->previous(type, context, message);
}

QStringList LogCapture::lines(int type) const
{
    QMutexLocker locker(&mutex);
    QStringList result;
    for (const auto &line : seen) {
        if (type < 0 || line.first == type)
            result << line.second;
    }
    return result;
}

SimDevice simDevice(const QString &ip, const QString &sn, const QString &password)
{
    return {ip, sn, "02:00:00:00:00:" + ip.section('.', 3), "IPC-2120", "IPC21",
            password.isEmpty() ? "inactive" : "active", "6.0.231024", password};
}

QStringList requestsTo(const DeviceSimulatorThread &sim)
{
    QStringList requests;
    for (const QByteArray &request : sim.requests()) {
        const JsonPtr json = makeJsonPtr(cJSON_Parse(request.constData()));
        const cJSON *data = cJSON_GetObjectItem(json.get(), "data");
        const char *command = stringMember(data, "command", stringMember(data, "callcmd", ""));
        requests << (QString::fromUtf8(command) + ' ' + QString::fromUtf8(stringMember(data, "sn", ""))).trimmed();
    }
    return requests;
}

JsonPtr deviceArray(const QVector<SimDevice> &fleet)
{
    JsonPtr array = makeJsonPtr(cJSON_CreateArray());
    for (const SimDevice &d : fleet) {
        cJSON *device = cJSON_CreateObject();
        const QString texts[] = {QStringLiteral("0"), d.ip, d.sn, d.mac, d.model, d.baseModel, d.activeState, d.version};
        for (int i = 0; i < kDeviceMemberCount; ++i)
            cJSON_AddStringToObject(device, kDeviceMemberNames[i], texts[i].toUtf8().constData());
        cJSON_AddItemToArray(array.get(), device);
    }
    return array;
}

QVector<NetworkCard> networkCards(const QStringList &texts)
{
    QVector<NetworkCard> result;
    for (const QString &text : texts) {
        const QString f = text.section('/', 1);
        result.append({text.section('/', 0, 0), f.contains('u'), f.contains('r'), f.contains('m'), f.contains('l'),
                       f.contains('4') ? QStringList{"10.0.0.1/8"} : QStringList()});
    }
    return result;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

bool runShell(const QString &command)
{
    QProcess process;
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QStringList reportRows(const QString &path, QString ReportRow::*last)
{
    QVector<ReportRow> rows;
    int line = 0;
    QString error;
    if (!readReport(path, &rows, &line, &error))
        return {QString::number(line) + ": " + error};
    QStringList texts;
    for (const ReportRow &row : rows)
        texts << row.sn + ": " + row.result + ": " + row.*last;
    return texts;
}
