#include "orv_conn2device.h"

#include "devicemessages.h"
#include "devicesim.h"
#include "messageboxcloser.h"

#include <QApplication>
#include <QRegularExpression>
#include <QUdpSocket>
#include <QtTest>

namespace {

// Every message the code under test logs, also handed on to Qt Test's own handler so that
// QTest::ignoreMessage keeps working.
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

// One line per listed device, "ip|sn|mac|model|baseModel|active|V", after checking that
// each object has exactly the eight members in order, "pid" first.
QStringList deviceLines(const cJSON *array)
{
    static const char *const names[] = {"pid", "ip", "sn", "mac", "model", "baseModel", "active", "V"};
    QStringList lines;
    const cJSON *item = nullptr;
    cJSON_ArrayForEach(item, array)
    {
        QStringList fields;
        int position = 0;
        for (const cJSON *member = item->child; member; member = member->next, ++position) {
            if (position >= 8 || qstrcmp(member->string, names[position]) != 0 || !cJSON_IsString(member))
                return {QStringLiteral("bad member %1 in object %2").arg(position).arg(lines.size())};
            if (position > 0)
                fields.append(QString::fromUtf8(member->valuestring));
            else if (qstrcmp(member->valuestring, "0") != 0)
                return {QStringLiteral("pid is not \"0\"")};
        }
        if (position != 8)
            return {QStringLiteral("object %1 has %2 members").arg(lines.size()).arg(position)};
        lines.append(fields.join(QLatin1Char('|')));
    }
    return lines;
}

QString replyString(const cJSON *reply, const char *member)
{
    const cJSON *value = cJSON_GetObjectItem(cJSON_GetObjectItem(reply, "data"), member);
    return cJSON_IsString(value) ? QString::fromUtf8(value->valuestring) : QString();
}

JsonPtr lastRequest(const DeviceSimulatorThread &sim)
{
    const QVector<QByteArray> requests = sim.requests();
    return makeJsonPtr(requests.isEmpty() ? nullptr : cJSON_Parse(requests.last().constData()));
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
    void loginSkipsQueuedLateSearchReply();
    void login_data();
    void login();
    void activateSetsFirstPassword();
    void sendCommandTakesBodyOver();
    void passwordsNeverReachTheLog();
    void requestWhileBusyIsRefused();
    void requestsBeforeAnySearchSendNothing();
    void secondSearchSkipsRepliesToTheFirst();
    void searchWithNoReplyShowsErrorBox();

private:
    QUdpSocket *linkSocket() const;
    // Runs a search on "lo" through the shared link and returns the listed devices.
    QStringList search(ORV_CONN2DEVICE *on, int *emissions = nullptr);

    DeviceSimulatorThread sim;
    ORV_CONN2DEVICE *link = nullptr;
    QStringList firstSearch;
    MessageBoxCloser boxes;
};

void TestConn2Device::initTestCase()
{
    testHandler = qInstallMessageHandler(captureMessage);

    const QVector<SimDevice> fleet = {
        device("192.168.1.10", "SN-A", "secret1"),
        device("192.168.1.11", "SN-B"),
        device("192.168.1.12", "SN-C", "secret1", SimDevice::Fault::MissingFields),
        device("192.168.1.13", "SN-D", "secret1", SimDevice::Fault::NonStringFields),
        device("192.168.1.14", "SN-E", "secret1", SimDevice::Fault::UpperCaseMembers),
        device("192.168.1.15", "SN-F", "secret1", SimDevice::Fault::WrongSyn),
        device("192.168.1.16", "SN-G", "secret1", SimDevice::Fault::Garbage),
        device("192.168.1.17", "SN-H", "secret1", SimDevice::Fault::OtherKey),
        device("192.168.1.18", "SN-I", "secret1", SimDevice::Fault::Oversized),
        device("192.168.1.10", "SN-J", "secret1"), // same address as SN-A: dropped
        device("192.168.1.20", "SN-K", "secret1", SimDevice::Fault::NoReply),
        device("192.168.1.21", "SN-L", "secret1", SimDevice::Fault::None, 6000), // too late
        // Two devices with one serial: the first answers with another tag, the second
        // with the right one a little later.
        device("192.168.1.22", "SN-M", "secret3", SimDevice::Fault::WrongSyn),
        device("192.168.1.23", "SN-M", "secret3", SimDevice::Fault::None, 300),
        device("192.168.1.24", "SN-N", "secret1", SimDevice::Fault::WrongSyn),
        device("192.168.1.25", "SN-P", "secret2"),
    };
    QString error;
    QVERIFY2(sim.start(fleet, DeviceSimulator::Options(), &error), qPrintable(error));

    link = new ORV_CONN2DEVICE;
    boxes.start();
    firstSearch = search(link);
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

QStringList TestConn2Device::search(ORV_CONN2DEVICE *on, int *emissions)
{
    QStringList lines;
    int count = 0;
    const QMetaObject::Connection connection =
        connect(on, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, this, [&lines, &count](cJSON *datas) {
            lines = deviceLines(datas);
            ++count;
        });
    on->search_device(QStringLiteral("lo"));
    disconnect(connection);
    if (emissions)
        *emissions = count;
    return lines;
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

void TestConn2Device::loginSkipsQueuedLateSearchReply()
{
    QVERIFY(linkSocket() && linkSocket()->hasPendingDatagrams());
    link->loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
    QCOMPARE(replyString(link->replyJson(), "login"), QStringLiteral("success"));
    QCOMPARE(countLines(QStringLiteral("syn not matched!")), 1);
    QCOMPARE(boxes.count(), 0);
}

void TestConn2Device::login_data()
{
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected"); // the "login" text; null: no reply held
    QTest::addColumn<bool>("errorBox");

    QTest::newRow("right password") << "SN-A" << "secret1" << "success" << false;
    QTest::newRow("wrong password") << "SN-A" << "secret9" << "password error" << false;
    QTest::newRow("not yet active") << "SN-B" << "secret1" << "Please activate the device first" << false;
    QTest::newRow("another tag first, then the match") << "SN-M" << "secret3" << "success" << false;
    QTest::newRow("only another tag: none after the deadline") << "SN-N" << "secret1" << QString() << false;
    QTest::newRow("no device answers: Error box") << "SN-ZZ" << "secret1" << QString() << true;
}

void TestConn2Device::login()
{
    QFETCH(QString, sn);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QFETCH(bool, errorBox);

    // A reply held from an earlier request must not survive a request without one.
    link->loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
    QVERIFY(link->replyJson());

    link->loginDevice(QStringLiteral("192.168.1.99"), password, sn);

    if (expected.isNull()) {
        QVERIFY(!link->replyJson());
    } else {
        QVERIFY(link->replyJson());
        QCOMPARE(replyString(link->replyJson(), "login"), expected);
    }

    JsonPtr request = lastRequest(sim);
    const cJSON *data = cJSON_GetObjectItem(request.get(), "data");
    QCOMPARE(stringMember(data, "callcmd", ""), "Security verification");
    QCOMPARE(QString::fromUtf8(stringMember(data, "sn", "")), sn);
    QCOMPARE(QString::fromUtf8(stringMember(data, "password", "")), password);
    QCOMPARE(stringMember(data, "command", ""), "login");

    QCOMPARE(boxes.count(), errorBox ? 1 : 0);
    if (errorBox) {
        const MessageBoxCloser::Box box = boxes.last();
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.title, QStringLiteral("Error"));
        QCOMPARE(box.text, QStringLiteral("Timeout,Please try again!"));
        QVERIFY(!box.hadParent);
    }
}

void TestConn2Device::activateSetsFirstPassword()
{
    link->activateDevice(QStringLiteral("192.168.1.11"), QStringLiteral("newpass1"), QStringLiteral("SN-B"));
    QCOMPARE(replyString(link->replyJson(), "activate"), QStringLiteral("success"));
    JsonPtr request = lastRequest(sim);
    QCOMPARE(stringMember(cJSON_GetObjectItem(request.get(), "data"), "command", ""), "activate");

    link->loginDevice(QStringLiteral("192.168.1.11"), QStringLiteral("newpass1"), QStringLiteral("SN-B"));
    QCOMPARE(replyString(link->replyJson(), "login"), QStringLiteral("success"));

    link->activateDevice(QStringLiteral("192.168.1.10"), QStringLiteral("newpass1"), QStringLiteral("SN-A"));
    QCOMPARE(replyString(link->replyJson(), "activate"), QStringLiteral("device already activated"));
    QCOMPARE(boxes.count(), 0);
}

void TestConn2Device::sendCommandTakesBodyOver()
{
    cJSON *body = cJSON_CreateObject();
    cJSON_AddStringToObject(body, "callcmd", "netcfg");
    cJSON_AddStringToObject(body, "sn", "SN-P");
    cJSON *settings = cJSON_AddObjectToObject(body, "calldata");
    cJSON_AddNumberToObject(settings, "dhcp", 0);
    cJSON_AddStringToObject(settings, "ip", "192.168.7.25");
    cJSON_AddStringToObject(settings, "gw", "192.168.7.1");
    cJSON_AddStringToObject(settings, "mask", "255.255.255.0");
    cJSON_AddStringToObject(settings, "dns", "114.114.114.114");
    link->sendCommand(QStringLiteral("192.168.1.25"), body); // body belongs to the link now

    const cJSON *calldata = cJSON_GetObjectItem(cJSON_GetObjectItem(link->replyJson(), "data"), "calldata");
    QCOMPARE(stringMember(calldata, "netcfg", ""), "ok");
    QCOMPARE(QByteArray(stringMember(link->replyJson(), "syn", "")).size(), kSynLength);

    JsonPtr request = lastRequest(sim);
    QCOMPARE(stringMember(request.get(), "cmd", ""), "calludp");
    const cJSON *sent = cJSON_GetObjectItem(cJSON_GetObjectItem(request.get(), "data"), "calldata");
    QCOMPARE(stringMember(sent, "ip", ""), "192.168.7.25");
    QCOMPARE(sim.devices().last().ip, QStringLiteral("192.168.7.25"));

    // The whole request is logged, formatted.
    QVERIFY(capturedLog.filter(QStringLiteral("\"callcmd\":\t\"netcfg\"")).size() == 1);

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

    cJSON *body = cJSON_CreateObject();
    cJSON_AddStringToObject(body, "callcmd", "netcfg");
    cJSON_AddStringToObject(body, "sn", "SN-A");
    cJSON_AddStringToObject(body, "Password", "Pw-command-3");
    cJSON *settings = cJSON_AddObjectToObject(body, "calldata");
    cJSON_AddStringToObject(settings, "passwd", "Pw-command-4");
    cJSON_AddNumberToObject(settings, "dhcp", 1);
    link->sendCommand(QStringLiteral("192.168.1.10"), body);
    QCOMPARE(stringMember(cJSON_GetObjectItem(cJSON_GetObjectItem(link->replyJson(), "data"), "calldata"),
                          "netcfg", ""),
             "error");

    QCOMPARE(countLines(QStringLiteral("send_address:192.168.1.10,passwd:******,sn:SN-A")), 1);
    const QStringList printed = capturedLog.filter(QStringLiteral("\"callcmd\":\t\"netcfg\""));
    QCOMPARE(printed.size(), 1);
    QCOMPARE(printed.first().count(QStringLiteral("\"******\"")), 2);
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
        cJSON *body = cJSON_CreateObject();
        cJSON_AddStringToObject(body, "callcmd", "netcfg");
        cJSON_AddStringToObject(body, "sn", "SN-A");
        link->sendCommand(QStringLiteral("192.168.1.10"), body); // still freed
        link->search_device(QStringLiteral("lo"));
        replyLeft = replyLeft || link->replyJson() != nullptr;
    });
    const QRegularExpression refused(QStringLiteral("still in flight"));
    for (int i = 0; i < 4; ++i)
        QTest::ignoreMessage(QtWarningMsg, refused);

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
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^loginDevice: no search")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^activateDevice: no search")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^sendCommand: no search")));

    fresh.loginDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
    QVERIFY(!fresh.replyJson());
    fresh.activateDevice(QStringLiteral("192.168.1.10"), QStringLiteral("secret1"), QStringLiteral("SN-A"));
    QVERIFY(!fresh.replyJson());
    cJSON *body = cJSON_CreateObject();
    cJSON_AddStringToObject(body, "callcmd", "netcfg");
    cJSON_AddStringToObject(body, "sn", "SN-A");
    fresh.sendCommand(QStringLiteral("192.168.1.10"), body);
    QVERIFY(!fresh.replyJson());
    QVERIFY(!fresh.isBusy());
    QVERIFY(fresh.findChildren<QUdpSocket *>().isEmpty());

    QTest::qWait(300);
    QCOMPARE(sim.requests().size(), requestsBefore);
    QCOMPARE(boxes.count(), 0);
}

void TestConn2Device::secondSearchSkipsRepliesToTheFirst()
{
    QUdpSocket *firstSocket = nullptr;
    const QStringList first = search(link);
    firstSocket = linkSocket();
    const QByteArray firstTag = stringMember(lastRequest(sim).get(), "syn", "");
    QVERIFY(firstSocket);

    capturedLog.clear();
    const QStringList second = search(link);
    const QByteArray secondTag = stringMember(lastRequest(sim).get(), "syn", "");

    // Both list every device that answered in time; the socket was replaced, not added.
    QVERIFY(!first.isEmpty());
    QCOMPARE(second, first);
    QVERIFY(firstTag != secondTag);
    QVERIFY(linkSocket());
    QCOMPARE(link->findChildren<QUdpSocket *>().size(), 1);

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
    QCOMPARE(boxes.last().text, QStringLiteral("Timeout,Please try again!"));
    QVERIFY(!boxes.last().hadParent);
    QVERIFY(!other.replyJson());
}

QTEST_MAIN(TestConn2Device)
#include "tst_conn2device.moc"
