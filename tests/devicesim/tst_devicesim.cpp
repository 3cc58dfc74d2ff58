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

SimDevice device(const char *ip, const char *sn)
{
    SimDevice d;
    d.ip = QString::fromLatin1(ip);
    d.sn = QString::fromLatin1(sn);
    return d;
}

JsonPtr decoded(const QNetworkDatagram &datagram)
{
    const QByteArray data = datagram.data();
    return makeJsonPtr(decodeMessage(data.constData(), size_t(data.size())));
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

    // Sends body and returns the only reply within ms that carries our tag, else null.
    JsonPtr ask(cJSON *body, int ms = 400)
    {
        send(body);
        const QVector<QNetworkDatagram> replies = receive(2, ms);
        JsonPtr reply = replies.size() == 1 ? decoded(replies.first()) : makeJsonPtr(nullptr);
        return checkReply(reply.get(), syn) == ReplyCheck::Accepted ? std::move(reply) : makeJsonPtr(nullptr);
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

QString dataString(const cJSON *reply, const char *name)
{
    return QString::fromUtf8(stringMember(cJSON_GetObjectItem(reply, "data"), name, "<absent>"));
}

cJSON *netcfgBody(const char *sn, const char *ip, int dhcp = 0)
{
    return cJSON_Parse(QByteArray(R"({"callcmd":"netcfg","sn":")") + sn + R"(","calldata":{"dhcp":)"
                       + QByteArray::number(dhcp) + R"(,"ip":")" + ip
                       + R"(","gw":"192.168.9.1","mask":"255.255.255.0","dns":"114.114.114.114"}})");
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
    void netcfgMovesAndRestartsTheDevice();
    void overrides_data();
    void overrides();
    void parseFleet_data();
    void parseFleet();
    void programStopsCleanly_data();
    void programStopsCleanly();
};

// Only the faults that the link's tests cannot tell apart from silence or from a plain reply;
// missing and non-string fields, wrong tags and silence show in what the link lists.
void TestDeviceSim::faults_data()
{
    QTest::addColumn<SimDevice::Fault>("fault");
    QTest::addColumn<QByteArray>("expected"); // the reply printed, its tag as TAG

    QTest::newRow("garbage") << SimDevice::Fault::Garbage << QByteArray("undecodable");
    QTest::newRow("other key") << SimDevice::Fault::OtherKey << QByteArray("undecodable");
    QTest::newRow("member names in capitals")
        << SimDevice::Fault::UpperCaseMembers
        << QByteArray(R"({"SYN":"TAG","DATA":{"IP":"192.168.1.10","SN":"SN-A","MAC":"","MODEL":"","BASEMODEL":"",)"
                      R"("ACTIVE_STATE":"active","V":""}})");
    QTest::newRow("oversized datagram") << SimDevice::Fault::Oversized << QByteArray("oversized");
}

void TestDeviceSim::faults()
{
    QFETCH(SimDevice::Fault, fault);
    QFETCH(QByteArray, expected);

    SimDevice faulty = device("192.168.1.10", "SN-A");
    faulty.fault = fault;
    DeviceSimulator sim(DeviceSimulator::Options(), {faulty});
    QVERIFY(sim.start());
    Client client;
    client.send(makeSearchBody());
    const QVector<QNetworkDatagram> replies = client.receive(1);
    QCOMPARE(replies.size(), 1);
    JsonPtr reply = decoded(replies.first());
    QCOMPARE(bool(reply), expected != "undecodable");
    if (expected == "oversized") {
        QVERIFY(replies.first().data().size() > 50000 && replies.first().data().size() <= 65507);
        QCOMPARE(dataString(reply.get(), "sn"), QStringLiteral("SN-A"));
    } else if (reply) {
        char *text = cJSON_PrintUnformatted(reply.get());
        QCOMPARE(QByteArray(text).replace(client.syn.c_str(), "TAG"), expected);
        cJSON_free(text);
    }
}

// Search, login and activate answers are checked through the link's tests; here the move
// and the silent restart after "netcfg", and the request log.
void TestDeviceSim::netcfgMovesAndRestartsTheDevice()
{
    QTemporaryDir dir;
    DeviceSimulator::Options options;
    options.restartMs = 800;
    options.requestLogPath = dir.filePath(QStringLiteral("requests.jsonl"));
    DeviceSimulator sim(options, {device("192.168.1.10", "SN-A"), device("192.168.1.11", "SN-B")});
    QVERIFY(sim.start());
    Client client;
    client.sendRaw("not a request\r\n");

    QCOMPARE(netcfgResult(client.ask(netcfgBody("SN-A", "192.168.9.10", 1)).get()), QStringLiteral("error"));
    QCOMPARE(sim.devices().first().ip, QStringLiteral("192.168.1.10")); // dhcp must be 0
    QCOMPARE(netcfgResult(client.ask(netcfgBody("SN-A", "192.168.9.10")).get()), QStringLiteral("ok"));
    QCOMPARE(sim.devices().first().ip, QStringLiteral("192.168.9.10"));

    // Restarting: only the other device answers for a while, then both again.
    QCOMPARE(dataString(client.ask(makeSearchBody(), 300).get(), "sn"), QStringLiteral("SN-B"));
    QTest::qWait(800);
    client.send(makeSearchBody());
    const QVector<QNetworkDatagram> replies = client.receive(2);
    QCOMPARE(replies.size(), 2);
    QCOMPARE(dataString(decoded(replies.first()).get(), "ip"), QStringLiteral("192.168.9.10"));

    // Every decoded request is recorded once, compact, in order.
    const QVector<QByteArray> requests = sim.requests();
    QCOMPARE(requests.size(), 4);
    QVERIFY(requests.first().startsWith("{\"cmd\":\"calludp\",\"syn\":\"") && requests.first().contains("\"dhcp\":1"));
    QFile log(options.requestLogPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), requests.toList().join('\n') + '\n');
}

void TestDeviceSim::overrides_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("dataJson");
    QTest::addColumn<QByteArray>("expected"); // the reply's "data" printed, "-" no reply

    QTest::newRow("other data") << int(SimDevice::Override::Data) << QByteArray(R"({"activate":"successful"})")
                                << QByteArray(R"({"activate":"successful"})");
    QTest::newRow("no data") << int(SimDevice::Override::NoData) << QByteArray() << QByteArray("null");
    QTest::newRow("no reply") << int(SimDevice::Override::NoReply) << QByteArray() << QByteArray("-");
}

void TestDeviceSim::overrides()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, dataJson);
    QFETCH(QByteArray, expected);

    SimDevice d = device("192.168.1.10", "SN-A"); // no password: not activated yet
    d.overrides.insert(QStringLiteral("activate"), SimDevice::Override{SimDevice::Override::Kind(kind), dataJson});
    DeviceSimulator sim(DeviceSimulator::Options(), {d});
    QVERIFY(sim.start());
    Client client;
    client.send(makeActivateBody("secret1", "SN-A"));
    const QVector<QNetworkDatagram> replies = client.receive(1, 300);
    JsonPtr reply = replies.isEmpty() ? makeJsonPtr(nullptr) : decoded(replies.first());
    QCOMPARE(stringMember(reply.get(), "syn", client.syn.c_str()), client.syn.c_str());
    char *data = reply ? cJSON_PrintUnformatted(cJSON_GetObjectItem(reply.get(), "data")) : nullptr;
    QCOMPARE(QByteArray(data ? data : reply ? "null" : "-"), expected);
    cJSON_free(data);
    QVERIFY(sim.devices().first().password.isEmpty()); // the device's state stays as it was
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
    QTest::newRow("not JSON") << QByteArray("devices: 3") << "error: fleet is not JSON";
    QTest::newRow("no device list") << QByteArray(R"({"count":3})") << "error: fleet must be";
    QTest::newRow("serial missing") << QByteArray(R"([{"ip":"10.0.0.1"}])") << "error: device 1: \"sn\"";
    QTest::newRow("unknown fault") << QByteArray(R"([{"ip":"1.2.3.4","sn":"C","fault":"explode"}])")
                                   << "error: device 1: unknown fault";
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
    QVERIFY(fleetFile.open(QIODevice::WriteOnly)
            && fleetFile.write(R"({"devices":[{"ip":"192.168.1.2","sn":"A1"},{"ip":"192.168.1.3","sn":"A2"}]})") > 0);
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
