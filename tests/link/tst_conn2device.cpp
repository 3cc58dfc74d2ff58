#include "orv_conn2device.h"

#include "devicemessages.h"
#include "devicesim.h"
#include "messageboxcloser.h"

#include <QApplication>
#include <QRegularExpression>
#include <QUdpSocket>
#include <QtTest>

namespace {

// Every message logged, also handed on to Qt Test's handler so that ignoreMessage works.
QStringList capturedLog;
QtMessageHandler testHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    capturedLog.append(message);
    if (testHandler)
        testHandler(type, context, message);
}

SimDevice device(const char *ip, const char *sn, const char *password = "",
                 SimDevice::Fault fault = SimDevice::Fault::None, int delayMs = 0)
{
    SimDevice d;
    d.ip = QString::fromLatin1(ip);
    d.sn = QString::fromLatin1(sn);
    d.mac = QStringLiteral("02:00:00:00:00:") + d.ip.section(QLatin1Char('.'), 3);
    d.model = QStringLiteral("IPC-2120");
    d.baseModel = QStringLiteral("IPC21");
    d.version = QStringLiteral("6.0.231024");
    d.password = QString::fromLatin1(password);
    d.activeState = d.password.isEmpty() ? QStringLiteral("inactive") : QStringLiteral("active");
    d.fault = fault;
    d.replyDelayMs = delayMs;
    return d;
}

QByteArray printed(const cJSON *tree)
{
    char *text = cJSON_PrintUnformatted(tree);
    const QByteArray result(text ? text : "null");
    cJSON_free(text);
    return result;
}

// One line per listed device, "ip|sn|mac|model|baseModel|active|V", if it has exactly
// these members in order, all strings, "pid" first and "0".
QStringList deviceLines(const cJSON *array)
{
    QStringList lines;
    const cJSON *item = nullptr;
    cJSON_ArrayForEach(item, array)
    {
        QStringList names, values;
        for (const cJSON *member = item->child; member; member = member->next) {
            names << QString::fromUtf8(member->string);
            values << (cJSON_IsString(member) ? QString::fromUtf8(member->valuestring) : QStringLiteral("?"));
        }
        const bool good = names.join(QLatin1Char(',')) == QLatin1String("pid,ip,sn,mac,model,baseModel,active,V")
                          && values.takeFirst() == QLatin1String("0") && !values.contains(QStringLiteral("?"));
        lines << (good ? values.join(QLatin1Char('|')) : QStringLiteral("bad: ") + QString::fromUtf8(printed(item)));
    }
    return lines;
}

// The member's text in the reply's "data", or in its "calldata" when calldata is set.
QString replyString(const cJSON *reply, const char *member, bool calldata = false)
{
    const cJSON *data = cJSON_GetObjectItem(reply, "data");
    return QString::fromUtf8(stringMember(calldata ? cJSON_GetObjectItem(data, "calldata") : data, member, ""));
}

int countLines(const QString &text)
{
    return int(capturedLog.count(text));
}

} // namespace

class TestConn2Device : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void searchListsEveryDeviceAnsweringInTime();
    void request_data();
    void request();
    void sendCommandTakesBodyOver();
    void passwordsNeverReachTheLog();
    void requestWhileBusyIsRefused();
    void requestsBeforeAnySearchSendNothing();
    void secondSearchSkipsRepliesToTheFirst();
    void searchWithNoReplyShowsErrorBox();

private:
    QUdpSocket *linkSocket() const;
    QStringList search(); // on "lo", through the shared link
    JsonPtr lastRequest() const;
    void verifyErrorBox();

    DeviceSimulatorThread sim;
    ORV_CONN2DEVICE *link = nullptr;
    QStringList firstSearch;
    MessageBoxCloser boxes;
};

void TestConn2Device::initTestCase()
{
    testHandler = qInstallMessageHandler(captureMessage);

    using F = SimDevice::Fault;
    const QVector<SimDevice> fleet = {
        device("192.168.1.10", "SN-A", "secret1"),
        device("192.168.1.11", "SN-B"),
        device("192.168.1.12", "SN-C", "secret1", F::MissingFields),
        device("192.168.1.13", "SN-D", "secret1", F::NonStringFields),
        device("192.168.1.14", "SN-E", "secret1", F::UpperCaseMembers),
        device("192.168.1.15", "SN-F", "secret1", F::WrongSyn),
        device("192.168.1.16", "SN-G", "secret1", F::Garbage),
        device("192.168.1.17", "SN-H", "secret1", F::OtherKey),
        device("192.168.1.18", "SN-I", "secret1", F::Oversized),
        device("192.168.1.10", "SN-J", "secret1"), // same address as SN-A: dropped
        device("192.168.1.20", "SN-K", "secret1", F::NoReply),
        device("192.168.1.21", "SN-L", "secret1", F::None, 6000), // too late
        // One serial twice: the first answers with another tag, the second with the right one later.
        device("192.168.1.22", "SN-M", "secret3", F::WrongSyn),
        device("192.168.1.23", "SN-M", "secret3", F::None, 300),
        device("192.168.1.24", "SN-N", "secret1", F::WrongSyn),
        device("192.168.1.25", "SN-P", "secret2"),
    };
    QString error;
    QVERIFY2(sim.start(fleet, DeviceSimulator::Options(), &error), qPrintable(error));

    link = new ORV_CONN2DEVICE;
    boxes.start();
    firstSearch = search();
    QCOMPARE(boxes.count(), 0);
    // The late device's reply now waits in the socket, unread.
    QTRY_VERIFY_WITH_TIMEOUT(linkSocket()->hasPendingDatagrams(), 3000);
}

void TestConn2Device::cleanupTestCase()
{
    delete link;
    sim.stop();
    qInstallMessageHandler(testHandler);
}

void TestConn2Device::init()
{
    capturedLog.clear();
    boxes.clear();
    boxes.start();
}

void TestConn2Device::cleanup()
{
    boxes.stop();
    QVERIFY(!link->isBusy());
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY2(!widget->isVisible(), qPrintable(widget->windowTitle()));
}

QUdpSocket *TestConn2Device::linkSocket() const
{
    const QList<QUdpSocket *> sockets = link->findChildren<QUdpSocket *>();
    return sockets.size() == 1 ? sockets.first() : nullptr;
}

QStringList TestConn2Device::search()
{
    QStringList lines;
    const QMetaObject::Connection connection = connect(link, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals,
                                                       this, [&lines](cJSON *datas) { lines = deviceLines(datas); });
    link->search_device(QStringLiteral("lo"));
    disconnect(connection);
    return lines;
}

JsonPtr TestConn2Device::lastRequest() const
{
    const QVector<QByteArray> requests = sim.requests();
    return makeJsonPtr(requests.isEmpty() ? nullptr : cJSON_Parse(requests.last().constData()));
}

void TestConn2Device::verifyErrorBox()
{
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().icon, QMessageBox::Critical);
    QCOMPARE(boxes.last().title, QStringLiteral("Error"));
    QCOMPARE(boxes.last().text, QStringLiteral("Timeout,Please try again!"));
    QVERIFY(!boxes.last().hadParent);
}

void TestConn2Device::searchListsEveryDeviceAnsweringInTime()
{
    const QStringList expected = {
        "192.168.1.10|SN-A|02:00:00:00:00:10|IPC-2120|IPC21|active|6.0.231024",
        "192.168.1.11|SN-B|02:00:00:00:00:11|IPC-2120|IPC21|inactive|6.0.231024",
        "192.168.1.12|SN-C|02:00:00:00:00:12|IPC-2120|---|active|---",  // fields missing
        "||||---|active|---",                                              // numbers, not strings
        "192.168.1.14|SN-E|02:00:00:00:00:14|IPC-2120|IPC21|active|6.0.231024", // capitals
        "192.168.1.18|SN-I|02:00:00:00:00:18|IPC-2120|IPC21|active|6.0.231024", // oversized
        "192.168.1.25|SN-P|02:00:00:00:00:25|IPC-2120|IPC21|active|6.0.231024",
        "192.168.1.23|SN-M|02:00:00:00:00:23|IPC-2120|IPC21|active|6.0.231024", // 300 ms late
    };
    QCOMPARE(firstSearch, expected);

    const QVector<QByteArray> requests = sim.requests();
    QCOMPARE(requests.size(), 1);
    const QRegularExpression searchRequest(QStringLiteral(
        R"(^\{"cmd":"calludp","syn":"[0-9a-zA-Z]{8}","data":\{"callcmd":"search"\}\}$)"));
    QVERIFY2(searchRequest.match(QString::fromUtf8(requests.first())).hasMatch(), requests.first().constData());
}

void TestConn2Device::request_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected"); // the reply's text; null: no reply held
    QTest::addColumn<int>("skipped");      // replies skipped for another tag

    // In order: the first finds the late search reply queued, activation changes SN-B.
    QTest::newRow("skips a queued search reply") << "login" << "SN-A" << "secret1" << "success" << 1;
    QTest::newRow("wrong password") << "login" << "SN-A" << "secret9" << "password error" << 0;
    QTest::newRow("not yet active") << "login" << "SN-B" << "secret1" << "Please activate the device first" << 0;
    QTest::newRow("another tag first, then the match") << "login" << "SN-M" << "secret3" << "success" << 1;
    QTest::newRow("only another tag: none after the deadline") << "login" << "SN-N" << "secret1" << QString() << 1;
    QTest::newRow("no device answers: Error box") << "login" << "SN-ZZ" << "secret1" << QString() << 0;
    QTest::newRow("first activation") << "activate" << "SN-B" << "newpass1" << "success" << 0;
    QTest::newRow("login with the new password") << "login" << "SN-B" << "newpass1" << "success" << 0;
    QTest::newRow("activate again") << "activate" << "SN-A" << "newpass1" << "device already activated" << 0;
}

void TestConn2Device::request()
{
    QFETCH(QString, command);
    QFETCH(QString, sn);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QFETCH(int, skipped);

    if (QByteArray(QTest::currentDataTag()).startsWith("skips"))
        QVERIFY(linkSocket() && linkSocket()->hasPendingDatagrams());
    if (expected.isNull()) {
        // A reply held from an earlier request must not survive a request without one.
        link->loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
        QVERIFY(link->replyJson());
        capturedLog.clear();
    }
    if (command == QLatin1String("login"))
        link->loginDevice(QStringLiteral("192.168.1.99"), password, sn);
    else
        link->activateDevice(QStringLiteral("192.168.1.99"), password, sn);

    QCOMPARE(bool(link->replyJson()), !expected.isNull());
    QCOMPARE(replyString(link->replyJson(), command.toLatin1().constData()), expected.isNull() ? "" : expected);
    QCOMPARE(countLines(QStringLiteral("syn not matched!")), skipped);
    QCOMPARE(QString::fromUtf8(printed(cJSON_GetObjectItem(lastRequest().get(), "data"))),
             QStringLiteral(R"({"callcmd":"Security verification","password":"%1","sn":"%2","command":"%3"})")
                 .arg(password, sn, command));
    if (sn == QLatin1String("SN-ZZ"))
        verifyErrorBox();
    else
        QCOMPARE(boxes.count(), 0);
}

void TestConn2Device::sendCommandTakesBodyOver()
{
    link->sendCommand(QStringLiteral("192.168.1.25"), // the link owns the body now
                      cJSON_Parse(R"({"callcmd":"netcfg","sn":"SN-P","calldata":{"dhcp":0,"ip":"192.168.7.25",)"
                                  R"("gw":"192.168.7.1","mask":"255.255.255.0","dns":"114.114.114.114"}})"));
    QCOMPARE(replyString(link->replyJson(), "netcfg", true), QStringLiteral("ok"));
    QCOMPARE(QByteArray(stringMember(link->replyJson(), "syn", "")).size(), kSynLength);
    JsonPtr request = lastRequest();
    QCOMPARE(stringMember(request.get(), "cmd", ""), "calludp");
    QCOMPARE(replyString(request.get(), "ip", true), QStringLiteral("192.168.7.25"));
    QCOMPARE(sim.devices().last().ip, QStringLiteral("192.168.7.25"));
    // The whole request is logged, formatted.
    QCOMPARE(capturedLog.filter(QStringLiteral("\"callcmd\":\t\"netcfg\"")).size(), 1);

    // Without a body there is nothing to send and no reply, not even the last one.
    const int requestsBefore = sim.requests().size();
    link->sendCommand(QStringLiteral("192.168.1.25"), nullptr);
    QVERIFY(!link->replyJson());
    QTest::qWait(200);
    QCOMPARE(sim.requests().size(), requestsBefore);
    QCOMPARE(boxes.count(), 0);
}

void TestConn2Device::passwordsNeverReachTheLog()
{
    link->loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("Pw-login-1"), QStringLiteral("SN-A"));
    link->activateDevice(QStringLiteral("192.168.1.10"), QStringLiteral("Pw-activate-2"), QStringLiteral("SN-A"));
    link->sendCommand(QStringLiteral("192.168.1.10"),
                      cJSON_Parse(R"({"callcmd":"netcfg","sn":"SN-A","Password":"Pw-command-3",)"
                                  R"("calldata":{"passwd":"Pw-command-4","dhcp":1}})"));
    QCOMPARE(replyString(link->replyJson(), "netcfg", true), QStringLiteral("error"));

    QCOMPARE(countLines(QStringLiteral("send_address:\"192.168.1.10\",passwd:******,sn:\"SN-A\"")), 1);
    const QStringList printedRequests = capturedLog.filter(QStringLiteral("\"callcmd\":\t\"netcfg\""));
    QCOMPARE(printedRequests.size(), 1);
    QCOMPARE(printedRequests.first().count(QStringLiteral("\"******\"")), 2);
    QCOMPARE(capturedLog.filter(QStringLiteral("Pw-")), QStringList());

    // The devices still got the real passwords.
    const QVector<QByteArray> requests = sim.requests();
    QVERIFY(requests.at(requests.size() - 3).contains("\"password\":\"Pw-login-1\""));
    QVERIFY(requests.at(requests.size() - 2).contains("\"password\":\"Pw-activate-2\""));
    QVERIFY(requests.last().contains("\"Password\":\"Pw-command-3\""));
}

void TestConn2Device::requestWhileBusyIsRefused()
{
    bool wasBusy = false;
    bool replyLeft = true;
    int requestsAtPress = -1;
    QUdpSocket *socketBefore = linkSocket();

    // Runs in the first event processing of the request in flight: its wait loop.
    QTimer::singleShot(0, this, [&] {
        wasBusy = link->isBusy();
        requestsAtPress = sim.requests().size();
        link->loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
        replyLeft = link->replyJson() != nullptr;
        link->activateDevice(QStringLiteral("192.168.1.11"), QStringLiteral("secret1"), QStringLiteral("SN-B"));
        // Refused, and the body is still freed.
        link->sendCommand(QStringLiteral("192.168.1.10"), cJSON_Parse(R"({"callcmd":"netcfg","sn":"SN-A"})"));
        link->search_device(QStringLiteral("lo"));
        replyLeft = replyLeft || link->replyJson() != nullptr;
    });
    for (int i = 0; i < 4; ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("still in flight")));

    link->loginDevice(QStringLiteral("192.168.1.99"), QStringLiteral("secret1"), QStringLiteral("SN-ZZ"));

    QVERIFY(wasBusy);
    QVERIFY(!replyLeft);
    QVERIFY(!link->replyJson());
    QCOMPARE(boxes.count(), 1); // only the time-out of the request in flight
    QCOMPARE(linkSocket(), socketBefore);
    QTest::qWait(300);
    QCOMPARE(sim.requests().size(), requestsAtPress);
}

void TestConn2Device::requestsBeforeAnySearchSendNothing()
{
    ORV_CONN2DEVICE fresh;
    const int requestsBefore = sim.requests().size();
    for (const char *operation : {"loginDevice", "activateDevice", "sendCommand"})
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^%1: no search").arg(operation)));

    fresh.loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
    QVERIFY(!fresh.replyJson());
    fresh.activateDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
    QVERIFY(!fresh.replyJson());
    fresh.sendCommand(QStringLiteral("192.168.1.10"), cJSON_Parse(R"({"callcmd":"netcfg","sn":"SN-A"})"));
    QVERIFY(!fresh.replyJson());
    QVERIFY(!fresh.isBusy());
    QVERIFY(fresh.findChildren<QUdpSocket *>().isEmpty());
    QTest::qWait(300);
    QCOMPARE(sim.requests().size(), requestsBefore);
    QCOMPARE(boxes.count(), 0);
}

void TestConn2Device::secondSearchSkipsRepliesToTheFirst()
{
    const QStringList first = search();
    const QByteArray firstTag = stringMember(lastRequest().get(), "syn", "");
    QVERIFY(linkSocket());
    capturedLog.clear();
    const QStringList second = search();

    // Both list every device that answered in time; the socket was replaced, not added.
    QVERIFY(!first.isEmpty());
    QCOMPARE(second, first);
    QVERIFY(firstTag != stringMember(lastRequest().get(), "syn", ""));
    QVERIFY(linkSocket());
    // Skipped in the second search: three devices answering with a wrong tag, and the
    // late device's reply to the first search.
    QCOMPARE(countLines(QStringLiteral("syn not matched!")), 4);
    QVERIFY(!second.join(QLatin1Char('\n')).contains(QLatin1String("192.168.1.21")));
    QCOMPARE(boxes.count(), 0);

    // Its reply to the second search comes after the gathering and is left queued.
    QTRY_VERIFY_WITH_TIMEOUT(linkSocket()->hasPendingDatagrams(), 3000);
    link->loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
    QCOMPARE(replyString(link->replyJson(), "login"), QStringLiteral("success"));
}

void TestConn2Device::searchWithNoReplyShowsErrorBox()
{
    // No interface has this name: nothing is joined, and with no route in this network
    // namespace the request reaches no device.
    ORV_CONN2DEVICE other;
    int emissions = 0;
    connect(&other, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, this, [&emissions] { ++emissions; });
    other.search_device(QStringLiteral("no-such-card"));
    QCOMPARE(emissions, 0);
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.last().title, QStringLiteral("Error"));
    QVERIFY(boxes.last().text.startsWith(QLatin1String("Network unreachable")));
    QVERIFY(!other.replyJson());
}

QTEST_MAIN(TestConn2Device)
#include "tst_conn2device.moc"
