#include "devicemessages.h"
#include "ipv4address.h"
#include "payloadcodec.h"

#include <QRegularExpression>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(LoginReply)
Q_DECLARE_METATYPE(ActivateReply)
Q_DECLARE_METATYPE(NewAddressCheck)
Q_DECLARE_METATYPE(DeviceArrayBuilder::Key)

namespace {

QByteArray printed(const cJSON *tree)
{
    char *text = cJSON_PrintUnformatted(tree);
    const QByteArray result(text ? text : "null");
    cJSON_free(text);
    return result;
}

// Wire form of any text under a key, with CR LF.
QByteArray wireOf(QByteArray text, const char *key = kPayloadKey)
{
    QByteArray output(int(base64EncodedLength(uint32_t(text.size()))), '\0');
    encipherPayload(reinterpret_cast<unsigned char *>(text.data()), uint32_t(text.size()),
                    reinterpret_cast<const unsigned char *>(key), true, output.data());
    return output + "\r\n";
}

QByteArray reply(const QByteArray &data, const QByteArray &syn = "Ab3dE6gH")
{
    return wireOf("{\"syn\":\"" + syn + "\",\"data\":" + data + "}");
}

QByteArray active(const char *ip, const char *sn)
{
    return reply(QByteArray("{\"ip\":\"") + ip + "\",\"sn\":\"" + sn + "\",\"Active_state\":\"active\"}");
}

// Listed with the defaults of a reply that carries only these.
QByteArray device(const QByteArray &ip, const QByteArray &sn, const QByteArray &active = "active")
{
    return R"({"pid":"0","ip":")" + ip + R"(","sn":")" + sn + R"(","mac":"","model":"","baseModel":"---","active":")"
           + active + R"(","V":"---"})";
}

// A login or activate body whose password needs JSON escapes.
QByteArray securityBody(const char *command)
{
    return R"({"callcmd":"Security verification","password":"a\"b\\c/d\t","sn":"SN-1","command":")" + QByteArray(command) + "\"}";
}

QByteArray nested(int depth)
{
    return reply(R"({"ip":"10.0.0.9","Active_state":"active","x":)" + QByteArray(depth, '[') + QByteArray(depth, ']') + "}");
}

} // namespace

class TestDeviceMessages : public QObject
{
    Q_OBJECT

private slots:
    void requests_data()
    {
        QTest::addColumn<QByteArray>("data"); // the body, printed as it must go out

        QTest::newRow("search") << QByteArray(R"({"callcmd":"search"})");
        QTest::newRow("login") << securityBody("login");
        QTest::newRow("activate") << securityBody("activate");
        QTest::newRow("netcfg 10.0.0.5") << QByteArray(R"({"callcmd":"netcfg","sn":"SN-1","calldata":{"dhcp":0,"ip":"10.0.0.5","gw":"10.0.0.1","mask":"255.255.255.0","dns":"114.114.114.114"}})");
        QTest::newRow("netcfg 10.010.0.5") << QByteArray(R"({"callcmd":"netcfg","sn":"SN-1","calldata":{"dhcp":0,"ip":"10.010.0.5","gw":"10.010.0.1","mask":"255.255.255.0","dns":"114.114.114.114"}})");
    }

    void requests()
    {
        QFETCH(QByteArray, data);
        const QByteArray kind = QTest::currentDataTag();
        const char *password = "a\"b\\c/d\t"; // with JSON escapes
        cJSON *body = kind == "search" ? makeSearchBody()
                      : kind == "login" ? makeLoginBody(password, "SN-1")
                      : kind == "activate" ? makeActivateBody(password, "SN-1")
                                           : makeNetcfgBody("SN-1", kind.mid(7).constData());
        std::string syn = "stale";
        const JsonPtr request = makeJsonPtr(makeRequest(body, syn));
        QVERIFY(QRegularExpression("^[0-9a-zA-Z]{8}$").match(QString::fromStdString(syn)).hasMatch());
        const QByteArray expected = "{\"cmd\":\"calludp\",\"syn\":\"" + QByteArray::fromStdString(syn) + "\",\"data\":" + data + "}";
        QCOMPARE(printed(request.get()), expected);
        const std::string wire = encodeMessage(request.get()); // goes out as printed
        QCOMPARE(printed(makeJsonPtr(decodeMessage(wire.data(), wire.size())).get()), expected);
    }

    // One reply's "data" as a device may send it, read by each of the three readers.
    void replyPredicates_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<LoginReply>("login");
        QTest::addColumn<ActivateReply>("activate");
        QTest::addColumn<bool>("netcfg");

        using L = LoginReply;
        using A = ActivateReply;
        QTest::newRow("no data") << QByteArray() << L::NoData << A::NoData << false;
        QTest::newRow("empty data") << QByteArray("{}") << L::NoLoginField << A::Refused << false;
        QTest::newRow("login success") << QByteArray(R"({"login":"success"})") << L::Success << A::Refused << false;
        QTest::newRow("login successful") << QByteArray(R"({"login":"successful"})") << L::Success << A::Refused << false;
        QTest::newRow("login succ") << QByteArray(R"({"login":"succ"})") << L::Refused << A::Refused << false;
        QTest::newRow("login Success") << QByteArray(R"({"login":"Success"})") << L::Refused << A::Refused << false;
        QTest::newRow("not activated") << QByteArray(R"({"login":"Please activate the device first"})") << L::NotActivated << A::Refused << false;
        QTest::newRow("not activated, cut") << QByteArray(R"({"login":"Please activate the device"})") << L::Refused << A::Refused << false;
        QTest::newRow("activate success") << QByteArray(R"({"activate":"success"})") << L::NoLoginField << A::Success << false;
        QTest::newRow("activate successfully") << QByteArray(R"({"Activate":"successfully"})") << L::NoLoginField << A::Success << false;
        QTest::newRow("activate Success") << QByteArray(R"({"activate":"Success"})") << L::NoLoginField << A::Refused << false;
        QTest::newRow("netcfg ok") << QByteArray(R"({"calldata":{"netcfg":"ok"}})") << L::NoLoginField << A::Refused << true;
        QTest::newRow("netcfg in capitals") << QByteArray(R"({"CallData":{"NETCFG":"ok"}})") << L::NoLoginField << A::Refused << true;
        QTest::newRow("netcfg OK") << QByteArray(R"({"calldata":{"netcfg":"OK"}})") << L::NoLoginField << A::Refused << false;
        QTest::newRow("netcfg ok and a blank") << QByteArray(R"({"calldata":{"netcfg":"ok "}})") << L::NoLoginField << A::Refused << false;
    }

    void replyPredicates()
    {
        QFETCH(QByteArray, data);
        QFETCH(LoginReply, login);
        QFETCH(ActivateReply, activate);
        QFETCH(bool, netcfg);
        const JsonPtr reply = makeJsonPtr(cJSON_Parse("{\"syn\":\"x\"" + (data.isNull() ? "" : ",\"data\":" + data) + "}"));
        QCOMPARE(classifyLoginReply(reply.get()), login);
        QCOMPARE(classifyActivateReply(reply.get()), activate);
        QCOMPARE(netcfgAccepted(reply.get()), netcfg);
        QVERIFY(classifyLoginReply(nullptr) == LoginReply::None && classifyActivateReply(nullptr) == ActivateReply::None);
    }

    void newAddress_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<NewAddressCheck>("check");
        QTest::addColumn<bool>("plain"); // a web page host that every reader takes as shown

        using C = NewAddressCheck;
        QTest::newRow("usable") << QByteArray("10.0.0.5") << C::Usable << true;
        QTest::newRow("last host of a /24") << QByteArray("192.168.9.254") << C::Usable << true;
        QTest::newRow("below multicast") << QByteArray("223.255.255.254") << C::Usable << true;
        QTest::newRow("above multicast") << QByteArray("240.0.0.1") << C::Usable << true;
        QTest::newRow("three parts") << QByteArray("192.168.1") << C::BadFormat << false;
        QTest::newRow("empty") << QByteArray("") << C::BadFormat << false;
        QTest::newRow("empty part") << QByteArray("192.168..7") << C::PartOutOfRange << false;
        QTest::newRow("part above 255") << QByteArray("192.168.1.256") << C::PartOutOfRange << false;
        QTest::newRow("leading blank") << QByteArray(" 1.2.3.4") << C::PartOutOfRange << false;
        QTest::newRow("trailing line break") << QByteArray("1.2.3.4\n") << C::PartOutOfRange << false;
        QTest::newRow("port") << QByteArray("192.168.1.20:8080") << C::PartOutOfRange << false;
        QTest::newRow("fullwidth digit") << QByteArray("１.2.3.4") << C::PartOutOfRange << false;
        QTest::newRow("leading zeros") << QByteArray("172.016.005.077") << C::Unusable << false;
        QTest::newRow("008") << QByteArray("192.168.001.008") << C::Unusable << false;
        QTest::newRow("network of its /24") << QByteArray("192.168.9.0") << C::Unusable << true;
        QTest::newRow("broadcast of its /24") << QByteArray("192.168.9.255") << C::Unusable << true;
        QTest::newRow("0.0.0.0") << QByteArray("0.0.0.0") << C::Unusable << true;
        QTest::newRow("loopback /8") << QByteArray("127.255.1.2") << C::Unusable << true;
        QTest::newRow("multicast") << QByteArray("224.0.0.1") << C::Unusable << true;
        QTest::newRow("multicast /4") << QByteArray("239.255.255.254") << C::Unusable << true;
        QTest::newRow("broadcast") << QByteArray("255.255.255.255") << C::Unusable << true;
    }

    void newAddress()
    {
        QFETCH(QByteArray, text);
        QFETCH(NewAddressCheck, check);
        QFETCH(bool, plain);
        QCOMPARE(checkNewAddress(text.toStdString()), check);
        QCOMPARE(isPlainDottedQuad(text.toStdString()), plain);
    }

    void deviceArray_data()
    {
        QTest::addColumn<QByteArrayList>("datagrams");
        QTest::addColumn<DeviceArrayBuilder::Key>("key");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("log");

        using Q = QByteArrayList;
        const auto ip = DeviceArrayBuilder::Key::Address, sn = DeviceArrayBuilder::Key::SerialNumber;
        QTest::newRow("no replies") << Q{} << ip << QByteArray("[]") << "";
        QTest::newRow("all fields") << Q{reply(R"({"ip":"1.2.3.4","sn":"S","mac":"M","model":"X","baseModel":"B","Active_state":"no","V":"6","extra":1})")} << ip << QByteArray(R"([{"pid":"0","ip":"1.2.3.4","sn":"S","mac":"M","model":"X","baseModel":"B","active":"no","V":"6"}])") << "";
        QTest::newRow("defaults") << Q{reply("{}")} << ip << "[" + device("", "") + "]" << "active_json is null!";
        QTest::newRow("capitals in member names") << Q{wireOf(R"({"SYN":"Ab3dE6gH","Data":{"IP":"10.0.0.1","SN":"S","ACTIVE_STATE":"x"}})")} << ip << "[" + device("10.0.0.1", "S", "x") + "]" << "";
        QTest::newRow("non-string fields") << Q{reply(R"({"ip":"10.0.0.1","sn":7,"mac":null,"model":{},"V":[1],"Active_state":true})")} << ip << "[" + device("10.0.0.1", "") + "]" << "active_json is null!";
        QTest::newRow("same address, first wins") << Q{active("10.0.0.1", "A"), active("10.0.0.1", "B")} << ip << "[" + device("10.0.0.1", "A") + "]" << "";
        QTest::newRow("same serial, both listed") << Q{active("10.0.0.1", "A"), active("10.0.0.2", "A")} << ip << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.2", "A") + "]" << "";
        QTest::newRow("address that extends another") << Q{active("10.0.0.1", "A"), active("10.0.0.10", "B")} << ip << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.10", "B") + "]" << "";
        QTest::newRow("addresses equal in 15 characters") << Q{active("192.168.100.1001", "A"), active("192.168.100.1002", "B")} << ip << "[" + device("192.168.100.1001", "A") + "]" << "";
        QTest::newRow("by serial: same serial, first wins") << Q{active("10.0.0.1", "A"), active("10.0.0.2", "A")} << sn << "[" + device("10.0.0.1", "A") + "]" << "";
        QTest::newRow("by serial: same address, both") << Q{active("10.0.0.1", "A"), active("10.0.0.1", "B")} << sn << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.1", "B") + "]" << "";
        QTest::newRow("tag of 9, first 8 equal") << Q{reply(R"({"ip":"10.0.0.1","Active_state":"active"})", "Ab3dE6gHx")} << ip << "[" + device("10.0.0.1", "") + "]" << "";
        QTest::newRow("tag differing in the 8th") << Q{reply(R"({"ip":"10.0.0.1"})", "Ab3dE6gh")} << ip << QByteArray("[]") << "syn not matched!";
        QTest::newRow("tag of 7, a prefix") << Q{reply(R"({"ip":"10.0.0.1"})", "Ab3dE6g")} << ip << QByteArray("[]") << "syn not matched!";
        QTest::newRow("no data") << Q{wireOf(R"({"syn":"Ab3dE6gH"})")} << ip << QByteArray("[]") << "Data is NULL!";
        QTest::newRow("no syn") << Q{wireOf(R"({"data":{"ip":"10.0.0.1"}})")} << ip << QByteArray("[]") << "SYN is NULL!";

        // Whatever arrives, nothing is read outside the datagram and a bad one reads as having
        // no tag. One accepted is a good reply in disguise: the good one after it is a duplicate.
        const QByteArray good = reply(R"({"ip":"10.0.0.9","Active_state":"active"})");
        const QVector<QPair<const char *, QByteArray>> hostile = {
            {"zero byte inside", good.left(20) + '\0' + good.mid(21)},
            {"empty datagram", QByteArray()},
            {"garbage", "\x13\x37garbage\xff"},
            {"other key", wireOf(R"({"syn":"Ab3dE6gH","data":{}})", "0123456789abcdef")},
            {"plain JSON", R"({"syn":"Ab3dE6gH","data":{}})"},
            {"60 KB of base64", QByteArray(60 * 1024, 'A')},
            {"nesting 20000 deep", nested(20000)},
            {"reply is an array", wireOf(R"([{"syn":"Ab3dE6gH","data":{}}])")},
            {"without CR LF", good.chopped(2)},
            {"zero bytes after CR LF", good + QByteArray("\0\0AAAA", 6)},
            {"nesting within the parser's limit", nested(900)},
        };
        for (int i = 0; i < hostile.size(); ++i) // the last three are accepted
            QTest::newRow(hostile[i].first) << Q{hostile[i].second, good} << ip << "[" + device("10.0.0.9", "") + "]"
                                            << (i < hostile.size() - 3 ? "SYN is NULL!" : "");
    }

    void deviceArray()
    {
        QFETCH(QByteArrayList, datagrams);
        QFETCH(DeviceArrayBuilder::Key, key);
        QFETCH(QByteArray, expected);
        QFETCH(QString, log);
        QStringList lines;
        DeviceArrayBuilder builder("Ab3dE6gH", [&lines](const char *line) { lines << QString::fromUtf8(line); }, key);
        for (int round = 0; round < 2; ++round) { // taking the array starts the next afresh
            for (const QByteArray &datagram : datagrams) { // exactly its bytes: ASan sees any read past them
                const std::unique_ptr<char[]> exact(new char[std::size_t(datagram.size())]);
                std::copy(datagram.cbegin(), datagram.cend(), exact.get());
                builder.addDatagram(exact.get(), std::size_t(datagram.size()));
            }
            QCOMPARE(builder.count(), cJSON_GetArraySize(builder.array()));
            QCOMPARE(printed(builder.takeArray().get()), expected);
        }
        QCOMPARE(lines.mid(0, lines.size() / 2).join(QLatin1Char('|')), log);
    }

    void deviceArrayCaps_data()
    {
        QTest::addColumn<int>("modelBytes");
        QTest::addColumn<int>("kept");

        QTest::newRow("device count") << 1 << DeviceArrayBuilder::maxDevices;
        // Each device keeps its model, 14 characters of address and two "---" defaults.
        QTest::newRow("bytes of text") << 60000 << int(DeviceArrayBuilder::maxTextBytes / 60020);
    }

    void deviceArrayCaps()
    {
        QFETCH(int, modelBytes);
        QFETCH(int, kept);
        QStringList lines;
        DeviceArrayBuilder builder("Ab3dE6gH", [&lines](const char *line) { lines << QString::fromUtf8(line); });
        const JsonPtr reply = makeJsonPtr(cJSON_Parse("{\"syn\":\"Ab3dE6gH\",\"data\":{\"Active_state\":\"\"}}"));
        cJSON *data = cJSON_GetObjectItem(reply.get(), "data");
        cJSON_AddStringToObject(data, "model", QByteArray(modelBytes, 'm').constData());
        cJSON *ip = cJSON_AddStringToObject(data, "ip", "10.000.000.000");
        for (int i = 0; i < kept + 5; ++i) {
            std::snprintf(ip->valuestring, 15, "10.%03d.%03d.%03d", i >> 16, (i >> 8) & 255, i & 255);
            QCOMPARE(builder.isFull(), i > kept);
            builder.addReply(reply.get());
        }
        QCOMPARE(builder.count(), kept);
        QCOMPARE(lines, QStringList{QStringLiteral("search: %1 devices kept, the limit of what one search may hold; "
                                                   "further replies are ignored").arg(kept)});
    }
};

QTEST_APPLESS_MAIN(TestDeviceMessages)
#include "tst_devicemessages.moc"
