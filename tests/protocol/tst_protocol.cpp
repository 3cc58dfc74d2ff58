// The protocol as plain C++: the payload codec's known answers (the simulator's codec held to
// them too, and to the tool's), the messages as they go out, the reply readers, the address
// rules and the device array, hostile datagrams included.

#include "commissioning/addressrules.h"
#include "devicelink/devicemessages.h"
#include "devicelink/payloadcodec.h"
#include "tools/devicesim/simcodec.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(LoginReply)
Q_DECLARE_METATYPE(ActivateReply)
Q_DECLARE_METATYPE(NewAddressCheck)

namespace {

const QByteArray kGuards(8, char(0xA5)); // after every output: a write past its end shows

// Enciphered (and base64-encoded, when asked) into a buffer of exactly the promised size.
QByteArray encipherText(QByteArray text, bool base64, const char *key = kPayloadKey)
{
    const int size = base64 ? int(base64EncodedLength(uint32_t(text.size()))) : text.size();
    QByteArray output = QByteArray(size, '\0') + kGuards;
    const bool done = encipherPayload(reinterpret_cast<unsigned char *>(text.data()), uint32_t(text.size()),
                                      reinterpret_cast<const unsigned char *>(key), base64, output.data());
    return !done ? "null" : output.endsWith(kGuards) ? output.left(size) : "overrun";
}

// Decodes a heap copy that ends at its terminator (so AddressSanitizer sees any read past it)
// into exactly the room the callers give.
QByteArray decode(const QByteArray &text)
{
    std::unique_ptr<char[]> input(qstrdup(text.constData()));
    const int room = int(decodedBufferSize(uint32_t(text.size()))) - 1;
    QByteArray output = QByteArray(room, '\0') + kGuards;
    uint32_t count = 0;
    base64Decode(input.get(), reinterpret_cast<unsigned char *>(output.data()), &count);
    return output.endsWith(kGuards) && int(count) <= room ? output.left(int(count)) : "overrun";
}

QByteArray printed(const cJSON *tree)
{
    char *text = cJSON_PrintUnformatted(tree);
    const QByteArray result(text ? text : "null");
    cJSON_free(text);
    return result;
}

// Wire form of any text under a key, with CR LF.
QByteArray wireOf(const QByteArray &text, const char *key = kPayloadKey)
{
    return QByteArray::fromStdString(encodeWire(text.constData(), std::size_t(text.size()), key));
}

// What the tool reads from a datagram: deciphered into the room it gives, up to the zero after the text.
QByteArray readByTool(const QByteArray &wire)
{
    QByteArray restored(int(decodedBufferSize(uint32_t(wire.size()))), '\0');
    decipherPayload(wire.constData(), 0, reinterpret_cast<const unsigned char *>(kPayloadKey), true,
                    reinterpret_cast<unsigned char *>(restored.data()));
    return QByteArray(restored.constData());
}

// A login or activate body whose password needs JSON escapes, up to its command.
const QByteArray kSecurity = R"({"callcmd":"Security verification","password":"a\"b\\c/d\t","sn":"SN-1","command":")";

QByteArray reply(const QByteArray &data, const QByteArray &syn = "Ab3dE6gH")
{
    return wireOf("{\"syn\":\"" + syn + "\",\"data\":" + data + "}");
}

// Listed with the defaults of a reply that carries only these.
QByteArray device(const QByteArray &ip, const QByteArray &sn, const QByteArray &active = "active")
{
    return R"({"pid":"0","ip":")" + ip + R"(","sn":")" + sn + R"(","mac":"","model":"","baseModel":"---","active":")"
           + active + R"(","V":"---"})";
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Known answers from outside, their source noted at the head of the file; ctest names
        // the source folder.
        QFile file(qEnvironmentVariable("ORV_SOURCE_DIR") + QStringLiteral("/tests/protocol/tea-vectors.txt"));
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.fileName() + ": " + file.errorString()));
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            teaVectors.append(line.split('\t')); // key, plain text, cipher text, in hex
            QCOMPARE(teaVectors.last().size(), 3);
        }
        QVERIFY(teaVectors.size() >= 4);
    }

    void knownAnswers_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("cipher");
        QTest::addColumn<bool>("base64"); // then cipher is the wire text, which ends in CR LF

        // TEA: the known answers in tea-vectors.txt beside this file (its head names their source),
        // one row each. The tail, worked by hand: with t the table character and k the low byte of
        // key word j mod 4, X = ((t >> 3) + k) ^ ((t << 2) + k) in bytes, and tail byte j grows by
        // 32 * X mod 256: 0x60 0xC0 0x80 0x20 0xE0 0x00 0x60.
        // The wire text was worked out apart from this codec: 62 bytes, so 7 blocks, a 6-byte tail
        // and one "=".
        for (int i = 0; i < teaVectors.size(); ++i) {
            const QList<QByteArray> &hex = teaVectors.at(i);
            QTest::addRow("TEA vector %d, %d bytes", i + 1, hex[1].size() / 2) << QByteArray::fromHex(hex[0]) << QByteArray::fromHex(hex[1]) << QByteArray::fromHex(hex[2]) << false;
        }
        QTest::newRow("seven tail bytes") << QByteArray(kPayloadKey) << QByteArray("abcdefg") << QByteArray::fromHex("c122e3844566c7") << false;
        QTest::newRow("tail after a block") << QByteArray(kPayloadKey) << QByteArray("12345678x") << QByteArray::fromHex("c6160ff7e41a38bfd8") << false;
        QTest::newRow("search request on the wire") << QByteArray(kPayloadKey) << QByteArray(R"({"cmd":"calludp","syn":"Ab3dE6gH","data":{"callcmd":"search"}})") << QByteArray("h4dNS3ZWDRRqGbwwU+L0OYFsi/4fZOW+YH+eABXPX4I3tpBygigIC2yyyZMbfu1qOR2JD9pVYlrSI+hCXX0=") << true;
    }

    void knownAnswers()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, cipher);
        QFETCH(bool, base64);
        const auto *keyBytes = reinterpret_cast<const unsigned char *>(key.constData());
        QCOMPARE(encipherText(plain, base64, key.constData()).toHex(), cipher.toHex());
        // Deciphered from base64 (the length unused then: it stops at the CR LF) into the room a receiver gives.
        QByteArray restored(base64 ? int(decodedBufferSize(uint32_t(cipher.size()))) : cipher.size(), '\0');
        QVERIFY(decipherPayload(cipher + (base64 ? "\r\n" : ""), base64 ? 0 : uint32_t(cipher.size()), keyBytes, base64,
                                reinterpret_cast<unsigned char *>(restored.data())));
        QCOMPARE(restored.toHex(), plain.leftJustified(restored.size(), '\0').toHex());

        // The simulator's codec, written apart from the tool's, gives the same answers.
        const QByteArray simCipher = base64 ? SimCodec::toWire(plain, key) : SimCodec::encipher(plain, key);
        QCOMPARE(simCipher.toHex(), (base64 ? cipher + "\r\n" : cipher).toHex());
        const QByteArray simPlain = base64 ? SimCodec::fromWire(cipher + "\r\n", key) : SimCodec::decipher(cipher, key);
        QCOMPARE(simPlain.toHex(), plain.toHex());
    }

    // The tool and the simulator each read what the other writes, every tail length included.
    void simulatorAgrees_data()
    {
        QTest::addColumn<QByteArray>("text");

        QTest::newRow("tail only") << QByteArray("{}");
        // Eight lengths in a row, and bytes above 0x7F, where a signed char would go wrong.
        for (int extra = 0; extra < 8; ++extra) {
            const QByteArray text = "{\"syn\":\"Ab3dE6gH\",\"data\":{\"sn\":\"SN" + QByteArray(extra, 'x')
                                   + "\",\"model\":\"Kamera-\xc3\xbc\"}}";
            QTest::addRow("search reply, tail of %d bytes", text.size() % 8) << text;
        }
    }

    void simulatorAgrees()
    {
        QFETCH(QByteArray, text);
        QCOMPARE(SimCodec::fromWire(wireOf(text)), text);
        QCOMPARE(readByTool(SimCodec::toWire(text)), text);
        QCOMPARE(SimCodec::toWire(text), wireOf(text));
    }

    void base64_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("encodes"); // text is also what data encodes to

        // RFC 4648, section 10, and where decoding stops.
        QTest::newRow("f") << QByteArray("Zg==") << QByteArray("f") << true;
        QTest::newRow("foo") << QByteArray("Zm9v") << QByteArray("foo") << true;
        QTest::newRow("high bits") << QByteArray("+/8A") << QByteArray::fromHex("fbff00") << true;
        QTest::newRow("empty") << QByteArray("") << QByteArray("") << false;
        QTest::newRow("CR LF ignored") << QByteArray("Zm9vYmE=\r\n") << QByteArray("fooba") << false;
        QTest::newRow("unpadded two") << QByteArray("Zm9vYg") << QByteArray("foob") << false;
        QTest::newRow("padding ends it") << QByteArray("Zg==Zm9v") << QByteArray("f") << false;
    }

    void base64()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, data);
        QFETCH(bool, encodes);
        QByteArray output = QByteArray(text.size(), '\0') + kGuards;
        uint32_t count = 0;
        const bool encoded = base64Encode(reinterpret_cast<const unsigned char *>(data.constData()),
                                          uint32_t(data.size()), output.data(), &count);
        QCOMPARE(encoded, !data.isEmpty());
        if (encodes)
            QCOMPARE(output.left(int(count)) + output.mid(text.size()), text + kGuards);
        QCOMPARE(decode(text), data);
        QCOMPARE(SimCodec::fromBase64(text), data);
        if (encodes)
            QCOMPARE(SimCodec::toBase64(data), text);
    }

    void requests_data()
    {
        QTest::addColumn<QByteArray>("data"); // the body, printed as it must go out

        QTest::newRow("search") << QByteArray(R"({"callcmd":"search"})");
        QTest::newRow("login") << kSecurity + "login\"}";
        QTest::newRow("activate") << kSecurity + "activate\"}";
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
        QCOMPARE(syn.size(), std::size_t(kSynLength));
        const QByteArray expected = "{\"cmd\":\"calludp\",\"syn\":\"" + QByteArray::fromStdString(syn) + "\",\"data\":" + data + "}";
        QCOMPARE(printed(request.get()), expected);
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
        QTest::newRow("login successful") << QByteArray(R"({"login":"successful"})") << L::Success << A::Refused << false;
        QTest::newRow("login succ") << QByteArray(R"({"login":"succ"})") << L::Refused << A::Refused << false;
        QTest::newRow("not activated, cut") << QByteArray(R"({"login":"Please activate the device"})") << L::Refused << A::Refused << false;
        QTest::newRow("activate successfully") << QByteArray(R"({"Activate":"successfully"})") << L::NoLoginField << A::Success << false;
        QTest::newRow("activate Success") << QByteArray(R"({"activate":"Success"})") << L::NoLoginField << A::Refused << false;
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
    }

    void newAddress_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<NewAddressCheck>("check");
        QTest::addColumn<bool>("plain"); // a web page host that every reader takes as shown

        using C = NewAddressCheck;
        QTest::newRow("last host of a /24") << QByteArray("192.168.9.254") << C::Usable << true;
        QTest::newRow("below multicast") << QByteArray("223.255.255.254") << C::Usable << true;
        QTest::newRow("reserved, above multicast") << QByteArray("240.0.0.1") << C::Reserved << true;
        QTest::newRow("this network") << QByteArray("0.1.2.3") << C::ThisNetwork << true;
        QTest::newRow("link-local") << QByteArray("169.254.1.1") << C::LinkLocal << true;
        QTest::newRow("beside link-local") << QByteArray("169.253.1.1") << C::Usable << true;
        QTest::newRow("three parts") << QByteArray("192.168.1") << C::BadFormat << false;
        QTest::newRow("port") << QByteArray("192.168.1.20:8080") << C::PartOutOfRange << false;
        QTest::newRow("leading zeros") << QByteArray("172.016.005.077") << C::LeadingZero << false;
        QTest::newRow("multicast") << QByteArray("224.0.0.1") << C::Multicast << true;
        QTest::newRow("multicast /4") << QByteArray("239.255.255.254") << C::Multicast << true;
        QTest::newRow("broadcast") << QByteArray("255.255.255.255") << C::Reserved << true;
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
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("log");

        using Q = QByteArrayList;
        QTest::newRow("all fields") << Q{reply(R"({"ip":"1.2.3.4","sn":"S","mac":"M","model":"X","baseModel":"B","Active_state":"no","V":"6","extra":1})")} << QByteArray(R"([{"pid":"0","ip":"1.2.3.4","sn":"S","mac":"M","model":"X","baseModel":"B","active":"no","V":"6"}])") << "";
        QTest::newRow("defaults") << Q{reply("{}")} << "[" + device("", "") + "]" << "active_json is null!";
        QTest::newRow("capitals in member names") << Q{wireOf(R"({"SYN":"Ab3dE6gH","Data":{"IP":"10.0.0.1","SN":"S","ACTIVE_STATE":"x"}})")} << "[" + device("10.0.0.1", "S", "x") + "]" << "";
        QTest::newRow("non-string fields") << Q{reply(R"({"ip":"10.0.0.1","sn":7,"mac":null,"model":{},"V":[1],"Active_state":true})")} << "[" + device("10.0.0.1", "") + "]" << "active_json is null!";
        QTest::newRow("one device heard twice, first wins") << Q{reply(R"({"ip":"10.0.0.1","sn":"A","Active_state":"active"})"), reply(R"({"ip":"10.0.0.1","sn":"A","model":"2nd","Active_state":"x"})")} << "[" + device("10.0.0.1", "A") + "]" << "";
        QTest::newRow("same address, both serials in arrival order") << Q{reply(R"({"ip":"10.0.0.1","sn":"B","Active_state":"active"})"), reply(R"({"ip":"10.0.0.1","sn":"A","Active_state":"active"})")} << "[" + device("10.0.0.1", "B") + "," + device("10.0.0.1", "A") + "]" << "";
        QTest::newRow("same serial, both addresses") << Q{reply(R"({"ip":"10.0.0.1","sn":"A","Active_state":"active"})"), reply(R"({"ip":"10.0.0.2","sn":"A","Active_state":"active"})")} << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.2", "A") + "]" << "";
        QTest::newRow("addresses equal in 15 characters") << Q{reply(R"({"ip":"192.168.100.1001","sn":"A","Active_state":"active"})"), reply(R"({"ip":"192.168.100.1002","sn":"A","Active_state":"active"})")} << "[" + device("192.168.100.1001", "A") + "]" << "";
        QTest::newRow("serial that extends the address") << Q{reply(R"({"ip":"10.0.0.1","sn":"5A","Active_state":"active"})"), reply(R"({"ip":"10.0.0.15","sn":"A","Active_state":"active"})")} << "[" + device("10.0.0.1", "5A") + "," + device("10.0.0.15", "A") + "]" << "";
        QTest::newRow("tag of 9, first 8 equal") << Q{reply(R"({"ip":"10.0.0.1","Active_state":"active"})", "Ab3dE6gHx")} << "[" + device("10.0.0.1", "") + "]" << "";
        QTest::newRow("tag differing in the 8th") << Q{reply(R"({"ip":"10.0.0.1"})", "Ab3dE6gh")} << QByteArray("[]") << "syn not matched!";
        QTest::newRow("tag of 7, a prefix") << Q{reply(R"({"ip":"10.0.0.1"})", "Ab3dE6g")} << QByteArray("[]") << "syn not matched!";
        QTest::newRow("no data") << Q{wireOf(R"({"syn":"Ab3dE6gH"})")} << QByteArray("[]") << "Data is NULL!";
        QTest::newRow("no syn") << Q{wireOf(R"({"data":{"ip":"10.0.0.1"}})")} << QByteArray("[]") << "SYN is NULL!";

        // Whatever arrives, nothing is read outside the datagram and a bad one reads as having
        // no tag. One accepted is a good reply in disguise: the good one after it is a duplicate.
        const QByteArray good = reply(R"({"ip":"10.0.0.9","Active_state":"active"})");
        const QVector<QPair<const char *, QByteArray>> hostile = {
            {"zero byte inside", good.left(20) + '\0' + good.mid(21)},
            {"empty datagram", QByteArray()},
            {"other key", wireOf(R"({"syn":"Ab3dE6gH","data":{}})", "0123456789abcdef")},
            {"plain JSON", R"({"syn":"Ab3dE6gH","data":{}})"},
            {"60 KB of base64", QByteArray(60 * 1024, 'A')},
            {"nesting 20000 deep", reply(R"({"ip":"10.0.0.9","x":)" + QByteArray(20000, '[') + QByteArray(20000, ']') + "}")},
            {"without CR LF", good.chopped(2)},
        };
        for (int i = 0; i < hostile.size(); ++i) // the last one is accepted
            QTest::newRow(hostile[i].first) << Q{hostile[i].second, good} << "[" + device("10.0.0.9", "") + "]"
                                            << (i < hostile.size() - 1 ? "SYN is NULL!" : "");
    }

    void deviceArray()
    {
        QFETCH(QByteArrayList, datagrams);
        QFETCH(QByteArray, expected);
        QFETCH(QString, log);
        QStringList lines;
        DeviceArrayBuilder builder("Ab3dE6gH", [&lines](const char *line) { lines << QString::fromUtf8(line); });
        for (int round = 0; round < 2; ++round) { // taking the array starts the next afresh
            for (const QByteArray &datagram : datagrams) { // exactly its bytes: ASan sees any read past them
                const std::unique_ptr<char[]> exact(new char[std::size_t(datagram.size())]);
                std::copy(datagram.cbegin(), datagram.cend(), exact.get());
                builder.addDatagram(exact.get(), std::size_t(datagram.size()));
            }
            QCOMPARE(printed(builder.takeArray().get()), expected);
        }
        QCOMPARE(lines.mid(0, lines.size() / 2).join(QLatin1Char('|')), log);
    }

    void deviceArrayCaps_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("textBytes");

        // Each device keeps 30 bytes of text: its model, 14 characters of address, two "---".
        QTest::newRow("device count") << 3 << 1000;
        QTest::newRow("bytes of text") << 100 << 90;
    }

    void deviceArrayCaps()
    {
        QFETCH(int, devices);
        QFETCH(int, textBytes);
        const int kept = 3;
        QStringList lines;
        DeviceArrayBuilder builder("Ab3dE6gH", [&lines](const char *line) { lines << QString::fromUtf8(line); },
                                   SearchLimits{devices, std::size_t(textBytes)});
        const JsonPtr reply = makeJsonPtr(cJSON_Parse(R"({"syn":"Ab3dE6gH","data":{"Active_state":"","model":"mmmmmmmmmm"}})"));
        cJSON *ip = cJSON_AddStringToObject(cJSON_GetObjectItem(reply.get(), "data"), "ip", "10.000.000.000");
        for (int i = 0; i < kept + 5; ++i) {
            std::snprintf(ip->valuestring, 15, "10.000.000.%03d", i % 1000);
            QCOMPARE(builder.isFull(), i > kept);
            builder.addReply(reply.get());
        }
        QCOMPARE(builder.count(), kept);
        QCOMPARE(lines, QStringList{QStringLiteral("search: %1 devices kept, the limit of what one search may hold; "
                                                   "further replies are ignored").arg(kept)});
    }

private:
    QList<QList<QByteArray>> teaVectors;
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
