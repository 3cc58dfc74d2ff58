#include "devicesim.h"

#include "devicemessages.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <string>

Q_DECLARE_METATYPE(SimDevice::Fault)

namespace {

const QHostAddress kGroup(QStringLiteral("239.0.0.100"));

SimDevice device(const char *ip, const char *sn, const char *password = "admin123")
{
    SimDevice d;
    d.ip = QString::fromLatin1(ip);
    d.sn = QString::fromLatin1(sn);
    d.mac = QStringLiteral("02:00:00:00:00:01");
    d.model = QStringLiteral("IPC-2120");
    d.baseModel = QStringLiteral("IPC21");
    d.version = QStringLiteral("6.0.231024");
    d.password = QString::fromLatin1(password);
    d.activeState = d.password.isEmpty() ? QStringLiteral("inactive") : QStringLiteral("active");
    return d;
}

// Plays the tool's side: sends requests to the group on the loopback interface and
// collects what comes back.
class Client
{
public:
    Client()
    {
        socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
        socket.setMulticastInterface(QNetworkInterface::interfaceFromName(QStringLiteral("lo")));
    }

    // Sends body in a fresh envelope; the tag is kept for checking the replies.
    void send(cJSON *body)
    {
        JsonPtr request = makeJsonPtr(makeRequest(body, syn));
        const std::string wire = encodeMessage(request.get());
        socket.writeDatagram(wire.data(), qint64(wire.size()), kGroup, 10086);
    }

    void sendRaw(const QByteArray &bytes) { socket.writeDatagram(bytes, kGroup, 10086); }

    // Waits until count datagrams came (or ms passed), then returns all that came.
    QVector<QNetworkDatagram> receive(int count, int ms = 2000)
    {
        QVector<QNetworkDatagram> got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < ms) {
            QTest::qWait(10);
            while (socket.hasPendingDatagrams())
                got.append(socket.receiveDatagram());
        }
        return got;
    }

    QUdpSocket socket;
    std::string syn;
};

JsonPtr decoded(const QNetworkDatagram &datagram)
{
    const QByteArray data = datagram.data();
    return makeJsonPtr(decodeMessage(data.constData(), size_t(data.size())));
}

QString dataString(const cJSON *reply, const char *name)
{
    return QString::fromUtf8(stringMember(cJSON_GetObjectItem(reply, "data"), name, "<absent>"));
}

cJSON *netcfgBody(const char *sn, const char *ip, int dhcp = 0)
{
    cJSON *body = cJSON_CreateObject();
    cJSON_AddStringToObject(body, "callcmd", "netcfg");
    cJSON_AddStringToObject(body, "sn", sn);
    cJSON *settings = cJSON_AddObjectToObject(body, "calldata");
    cJSON_AddNumberToObject(settings, "dhcp", dhcp);
    cJSON_AddStringToObject(settings, "ip", ip);
    cJSON_AddStringToObject(settings, "gw", "192.168.9.1");
    cJSON_AddStringToObject(settings, "mask", "255.255.255.0");
    cJSON_AddStringToObject(settings, "dns", "114.114.114.114");
    return body;
}

QString netcfgResult(const cJSON *reply)
{
    const cJSON *calldata = cJSON_GetObjectItem(cJSON_GetObjectItem(reply, "data"), "calldata");
    return QString::fromUtf8(stringMember(calldata, "netcfg", "<absent>"));
}

} // namespace

class TestDeviceSim : public QObject
{
    Q_OBJECT

private slots:
    void faults_data();
    void faults();
    void deviceRequestsAreAnsweredBySerial();
    void netcfgMovesAndRestartsTheDevice();
    void overrides_data();
    void overrides();
    void requestsAreRecordedInOrder();
    void parseFleet_data();
    void parseFleet();
    void programStopsCleanly_data();
    void programStopsCleanly();
};

void TestDeviceSim::faults_data()
{
    QTest::addColumn<SimDevice::Fault>("fault");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no reply") << SimDevice::Fault::NoReply << "nothing";
    QTest::newRow("wrong syn") << SimDevice::Fault::WrongSyn << "mismatch";
    QTest::newRow("garbage") << SimDevice::Fault::Garbage << "undecodable";
    QTest::newRow("other key") << SimDevice::Fault::OtherKey << "undecodable";
    QTest::newRow("missing fields") << SimDevice::Fault::MissingFields << "missing";
    QTest::newRow("non-string fields") << SimDevice::Fault::NonStringFields << "numbers";
    QTest::newRow("member names in capitals") << SimDevice::Fault::UpperCaseMembers << "capitals";
    QTest::newRow("oversized datagram") << SimDevice::Fault::Oversized << "oversized";
}

void TestDeviceSim::faults()
{
    QFETCH(SimDevice::Fault, fault);
    QFETCH(QString, expected);

    SimDevice faulty = device("192.168.1.10", "SN-A");
    faulty.fault = fault;
    DeviceSimulator sim(DeviceSimulator::Options(), {faulty});
    QVERIFY(sim.start());
    Client client;
    client.send(makeSearchBody());
    const QVector<QNetworkDatagram> replies = client.receive(1, expected == QLatin1String("nothing") ? 300 : 2000);

    if (expected == QLatin1String("nothing")) {
        QCOMPARE(replies.size(), 0);
        return;
    }
    QCOMPARE(replies.size(), 1);
    JsonPtr reply = decoded(replies.first());
    if (expected == QLatin1String("undecodable")) {
        QVERIFY(!reply);
        return;
    }
    QVERIFY(reply);
    if (expected == QLatin1String("mismatch")) {
        QCOMPARE(checkReply(reply.get(), client.syn), ReplyCheck::SynMismatch);
        return;
    }
    QCOMPARE(checkReply(reply.get(), client.syn), ReplyCheck::Accepted);
    const cJSON *data = cJSON_GetObjectItem(reply.get(), "data");
    if (expected == QLatin1String("missing")) {
        QCOMPARE(dataString(reply.get(), "ip"), QStringLiteral("192.168.1.10"));
        for (const char *name : {"baseModel", "Active_state", "V"})
            QVERIFY2(!cJSON_GetObjectItem(data, name), name);
    } else if (expected == QLatin1String("numbers")) {
        for (const char *name : {"ip", "sn", "mac", "model", "baseModel", "Active_state", "V"})
            QVERIFY2(cJSON_IsNumber(cJSON_GetObjectItem(data, name)), name);
    } else if (expected == QLatin1String("capitals")) {
        QCOMPARE(reply->child->string, "SYN");
        QCOMPARE(data->string, "DATA");
        QVERIFY(cJSON_GetObjectItemCaseSensitive(data, "ACTIVE_STATE"));
        QCOMPARE(dataString(reply.get(), "ip"), QStringLiteral("192.168.1.10"));
    } else if (expected == QLatin1String("oversized")) {
        QVERIFY(replies.first().data().size() > 50000);
        QVERIFY(replies.first().data().size() <= 65507);
        QCOMPARE(dataString(reply.get(), "sn"), QStringLiteral("SN-A"));
    }
}

void TestDeviceSim::deviceRequestsAreAnsweredBySerial()
{
    DeviceSimulator sim(DeviceSimulator::Options(),
                        {device("192.168.1.10", "SN-A", "secret1"), device("192.168.1.11", "SN-B", "")});
    QVERIFY(sim.start());
    Client client;

    auto ask = [&client](cJSON *body, const char *member) {
        client.send(body);
        const QVector<QNetworkDatagram> replies = client.receive(2, 400);
        if (replies.size() != 1)
            return QStringLiteral("%1 replies").arg(replies.size());
        JsonPtr reply = decoded(replies.first());
        if (checkReply(reply.get(), client.syn) != ReplyCheck::Accepted)
            return QStringLiteral("not accepted");
        return dataString(reply.get(), member);
    };

    QCOMPARE(ask(makeLoginBody("secret1", "SN-A"), "login"), QStringLiteral("success"));
    QCOMPARE(ask(makeLoginBody("secret2", "SN-A"), "login"), QStringLiteral("password error"));
    QCOMPARE(ask(makeLoginBody("secret1", "SN-B"), "login"), QStringLiteral("Please activate the device first"));
    QCOMPARE(ask(makeActivateBody("first12", "SN-B"), "activate"), QStringLiteral("success"));
    QCOMPARE(sim.devices().at(1).activeState, QStringLiteral("active"));
    QCOMPARE(ask(makeLoginBody("first12", "SN-B"), "login"), QStringLiteral("success"));
    QCOMPARE(ask(makeActivateBody("again12", "SN-B"), "activate"), QStringLiteral("device already activated"));
    QCOMPARE(ask(makeLoginBody("secret1", "SN-Z"), "login"), QStringLiteral("0 replies"));
}

void TestDeviceSim::netcfgMovesAndRestartsTheDevice()
{
    DeviceSimulator::Options options;
    options.restartMs = 800;
    DeviceSimulator sim(options, {device("192.168.1.10", "SN-A"), device("192.168.1.11", "SN-B")});
    QVERIFY(sim.start());
    Client client;

    client.send(netcfgBody("SN-A", "192.168.9.10", 1)); // dhcp must be 0
    QVector<QNetworkDatagram> replies = client.receive(2, 400);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(netcfgResult(decoded(replies.first()).get()), QStringLiteral("error"));
    QCOMPARE(sim.devices().first().ip, QStringLiteral("192.168.1.10"));

    client.send(netcfgBody("SN-A", "192.168.9.10"));
    replies = client.receive(2, 400);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(netcfgResult(decoded(replies.first()).get()), QStringLiteral("ok"));
    QCOMPARE(sim.devices().first().ip, QStringLiteral("192.168.9.10"));

    // Restarting: only the other device answers for a while, then both again.
    client.send(makeSearchBody());
    replies = client.receive(2, 300);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(dataString(decoded(replies.first()).get(), "sn"), QStringLiteral("SN-B"));
    QTest::qWait(800);
    client.send(makeSearchBody());
    replies = client.receive(2);
    QCOMPARE(replies.size(), 2);
    QCOMPARE(dataString(decoded(replies.first()).get(), "ip"), QStringLiteral("192.168.9.10"));
}

void TestDeviceSim::overrides_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("dataJson");
    QTest::addColumn<QByteArray>("expected"); // the reply's "data" printed, "-" no reply

    QTest::newRow("other data") << int(SimDevice::Override::Data) << QByteArray(R"({"login":"successful"})")
                                << QByteArray(R"({"login":"successful"})");
    QTest::newRow("a number as data") << int(SimDevice::Override::Data) << QByteArray("7") << QByteArray("7");
    QTest::newRow("no data") << int(SimDevice::Override::NoData) << QByteArray() << QByteArray("null");
    QTest::newRow("no reply") << int(SimDevice::Override::NoReply) << QByteArray() << QByteArray("-");
}

void TestDeviceSim::overrides()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, dataJson);
    QFETCH(QByteArray, expected);

    SimDevice d = device("192.168.1.10", "SN-A", "");
    SimDevice::Override override;
    override.kind = SimDevice::Override::Kind(kind);
    override.dataJson = dataJson;
    d.overrides.insert(QStringLiteral("login"), override);
    d.overrides.insert(QStringLiteral("activate"), override);
    DeviceSimulator sim(DeviceSimulator::Options(), {d});
    QVERIFY(sim.start());
    Client client;

    client.send(makeLoginBody("secret1", "SN-A"));
    const QVector<QNetworkDatagram> replies = client.receive(1, expected == "-" ? 300 : 2000);
    if (expected == "-") {
        QCOMPARE(replies.size(), 0);
    } else {
        QCOMPARE(replies.size(), 1);
        JsonPtr reply = decoded(replies.first());
        QCOMPARE(stringMember(reply.get(), "syn", ""), client.syn.c_str());
        char *printed = cJSON_PrintUnformatted(cJSON_GetObjectItem(reply.get(), "data"));
        const QByteArray data = printed ? QByteArray(printed) : QByteArray("null");
        cJSON_free(printed);
        QCOMPARE(data, expected);
    }

    // An overridden activation leaves the device as it was.
    client.send(makeActivateBody("secret1", "SN-A"));
    client.receive(1, 300);
    QVERIFY(sim.devices().first().password.isEmpty());
}

void TestDeviceSim::requestsAreRecordedInOrder()
{
    QTemporaryDir dir;
    DeviceSimulator::Options options;
    options.requestLogPath = dir.filePath(QStringLiteral("requests.jsonl"));
    DeviceSimulator sim(options, {device("192.168.1.10", "SN-A")});
    QVERIFY(sim.start());
    Client client;

    client.send(makeSearchBody());
    client.receive(1);
    client.sendRaw("not a request\r\n");
    client.send(makeLoginBody("secret1", "SN-A"));
    client.receive(1);

    const QVector<QByteArray> requests = sim.requests();
    QCOMPARE(requests.size(), 2);
    QVERIFY(requests.at(0).contains("\"callcmd\":\"search\""));
    QVERIFY(requests.at(1).contains("\"command\":\"login\""));
    QVERIFY(!requests.at(1).contains('\n') && !requests.at(1).contains("\": "));

    QFile log(options.requestLogPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), requests.at(0) + '\n' + requests.at(1) + '\n');
}

void TestDeviceSim::parseFleet_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected"); // summary of the devices, or the error's start

    QTest::newRow("object with devices")
        << QByteArray(R"({"devices":[{"ip":"192.168.1.2","sn":"A1","password":"pw1234","V":"6.0.231024"},
                         {"ip":"192.168.1.3","sn":"A2","fault":"wrong-syn","delayMs":250}]})")
        << "192.168.1.2/A1/active/pw1234/none/0;192.168.1.3/A2/inactive//wrong-syn/250";
    QTest::newRow("bare array, state given") << QByteArray(R"([{"ip":"10.0.0.1","sn":"B","active":"---"}])")
                                             << "10.0.0.1/B/---//none/0";
    QTest::newRow("empty fleet") << QByteArray(R"({"devices":[]})") << "";
    QTest::newRow("not JSON") << QByteArray("devices: 3") << "error: fleet is not JSON";
    QTest::newRow("no device list") << QByteArray(R"({"count":3})") << "error: fleet must be";
    QTest::newRow("serial missing") << QByteArray(R"([{"ip":"10.0.0.1"}])") << "error: device 1: \"sn\"";
    QTest::newRow("unknown fault") << QByteArray(R"([{"ip":"1.2.3.4","sn":"C","fault":"explode"}])")
                                   << "error: device 1: unknown fault";
    QTest::newRow("negative delay") << QByteArray(R"([{"ip":"1.2.3.4","sn":"C","delayMs":-5}])")
                                    << "error: device 1: \"delayMs\"";
    QTest::newRow("unknown override") << QByteArray(R"([{"ip":"1.2.3.4","sn":"C","overrides":{"reboot":{}}}])")
                                      << "error: device 1: unknown override";
}

void TestDeviceSim::parseFleet()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);

    QVector<SimDevice> fleet;
    QString error;
    if (expected.startsWith(QLatin1String("error: "))) {
        QVERIFY(!DeviceSimulator::parseFleet(json, &fleet, &error));
        QVERIFY2(error.startsWith(expected.mid(7)), qPrintable(error));
        return;
    }
    QVERIFY2(DeviceSimulator::parseFleet(json, &fleet, &error), qPrintable(error));
    QStringList summary;
    for (const SimDevice &d : fleet)
        summary.append(QStringList{d.ip, d.sn, d.activeState, d.password, SimDevice::faultName(d.fault),
                                   QString::number(d.replyDelayMs)}
                           .join(QLatin1Char('/')));
    QCOMPARE(summary.join(QLatin1Char(';')), expected);
}

void TestDeviceSim::programStopsCleanly_data()
{
    QTest::addColumn<bool>("bySignal");
    QTest::newRow("SIGTERM") << true;
    QTest::newRow("--max-seconds") << false;
}

void TestDeviceSim::programStopsCleanly()
{
    QFETCH(bool, bySignal);

    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("requests.jsonl"));
    const QString fleetPath = dir.filePath(QStringLiteral("fleet.json"));
    QFile fleetFile(fleetPath);
    QVERIFY(fleetFile.open(QIODevice::WriteOnly));
    fleetFile.write(R"({"devices":[{"ip":"192.168.1.2","sn":"A1"},{"ip":"192.168.1.3","sn":"A2"}]})");
    fleetFile.close();

    QProcess program;
    QStringList arguments = {QStringLiteral("--fleet"), fleetPath, QStringLiteral("--log"), logPath,
                             QStringLiteral("--fault"), QStringLiteral("2=no-reply")};
    if (!bySignal)
        arguments << QStringLiteral("--max-seconds") << QStringLiteral("1.5");
    program.start(qEnvironmentVariable("ORV_BINARY_DIR") + QStringLiteral("/tools/devicesim/devicesim"), arguments);
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine(), 5000);
    QCOMPARE(program.readLine(), QByteArray("devicesim: 2 devices listening on 239.0.0.100:10086 via 127.0.0.1\n"));

    Client client;
    client.send(makeSearchBody());
    QCOMPARE(client.receive(2, 500).size(), 1); // the second device has no reply

    if (bySignal)
        program.terminate();
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAll(), QByteArray("devicesim: stopped; 1 requests, 1 replies, 1 search replies\n"));
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count('\n'), 1);
}

QTEST_MAIN(TestDeviceSim)
#include "tst_devicesim.moc"
