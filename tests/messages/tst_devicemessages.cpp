#include "devicemessages.h"
#include "payloadcodec.h"

#include <QtTest>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr char kTag[] = "Ab3dE6gH";

QByteArray printed(const cJSON *tree)
{
    char *text = cJSON_PrintUnformatted(tree);
    const QByteArray result(text ? text : "<null>");
    cJSON_free(text);
    return result;
}

// Wire form of an arbitrary text (not necessarily JSON) under a given key, with CR LF.
QByteArray wireOf(QByteArray text, const char *key = kPayloadKey)
{
    QByteArray output(int(base64EncodedLength(uint32_t(text.size()))), '\0');
    encipherPayload(reinterpret_cast<unsigned char *>(text.data()), uint32_t(text.size()),
                    reinterpret_cast<const unsigned char *>(key), true, output.data());
    return output + "\r\n";
}

// Wire form of a JSON text as encodeMessage gives it.
QByteArray wireOfJson(const QByteArray &json)
{
    JsonPtr tree = makeJsonPtr(cJSON_Parse(json.constData()));
    if (!tree)
        qFatal("bad test JSON: %s", json.constData());
    const std::string wire = encodeMessage(tree.get());
    return QByteArray(wire.data(), int(wire.size()));
}

QByteArray reply(const QByteArray &data, const QByteArray &syn = kTag)
{
    return wireOfJson("{\"syn\":\"" + syn + "\",\"data\":" + data + "}");
}

// Decodes from a heap copy of exactly the datagram's bytes, so that AddressSanitizer
// reports any read past its end.
JsonPtr decodeExact(const QByteArray &datagram)
{
    std::unique_ptr<char[]> copy(new char[std::size_t(datagram.size())]);
    std::memcpy(copy.get(), datagram.constData(), std::size_t(datagram.size()));
    return makeJsonPtr(decodeMessage(copy.get(), std::size_t(datagram.size())));
}

QByteArray nested(int depth)
{
    return "{\"syn\":\"" + QByteArray(kTag) + "\",\"data\":{\"ip\":\"10.0.0.9\",\"Active_state\":\"active\",\"x\":"
           + QByteArray(depth, '[')
           + QByteArray(depth, ']') + "}}";
}

QByteArray device(const QByteArray &ip, const QByteArray &sn, const QByteArray &active = "active")
{
    return "{\"pid\":\"0\",\"ip\":\"" + ip + "\",\"sn\":\"" + sn
           + "\",\"mac\":\"\",\"model\":\"\",\"baseModel\":\"---\",\"active\":\"" + active
           + "\",\"V\":\"---\"}";
}

} // namespace

class TestDeviceMessages : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void makeSynCharacters();
    void synMatches_data();
    void synMatches();
    void wireForm();
    void decodeKnownAnswer();
    void checkReply_data();
    void checkReply();
    void stringMember_data();
    void stringMember();
    void deviceArray_data();
    void deviceArray();
};

void TestDeviceMessages::requests_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("expectedData");

    QTest::newRow("search") << 0 << QByteArray() << QByteArray(R"({"callcmd":"search"})");
    QTest::newRow("login") << 1 << QByteArray("abc12345")
                           << QByteArray(R"({"callcmd":"Security verification","password":"abc12345",)"
                                         R"("sn":"SN-0001","command":"login"})");
    QTest::newRow("activate") << 2 << QByteArray("Pa55word")
                              << QByteArray(R"({"callcmd":"Security verification","password":"Pa55word",)"
                                            R"("sn":"SN-0001","command":"activate"})");
    QTest::newRow("password with JSON escapes")
        << 1 << QByteArray("a\"b\\c/d\t")
        << QByteArray(R"({"callcmd":"Security verification","password":"a\"b\\c/d\t",)"
                      R"("sn":"SN-0001","command":"login"})");
}

void TestDeviceMessages::requests()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, expectedData);

    cJSON *body = kind == 0 ? makeSearchBody()
                  : kind == 1 ? makeLoginBody(password.constData(), "SN-0001")
                              : makeActivateBody(password.constData(), "SN-0001");
    std::string syn = "stale";
    JsonPtr request = makeJsonPtr(makeRequest(body, syn));
    QVERIFY(request);
    QCOMPARE(int(syn.size()), kSynLength);
    QCOMPARE(printed(request.get()),
             R"({"cmd":"calludp","syn":")" + QByteArray::fromStdString(syn) + R"(","data":)" + expectedData + "}");

    // The envelope goes on the wire as it was printed.
    const std::string wire = encodeMessage(request.get());
    const QByteArray datagram = QByteArray::fromStdString(wire);
    JsonPtr back = decodeExact(datagram);
    QCOMPARE(printed(back.get()), printed(request.get()));
}

void TestDeviceMessages::makeSynCharacters()
{
    // Each character takes two draws: the class from r mod 3, then the character.
    std::srand(4711);
    QByteArray expected;
    for (int i = 0; i < 600; ++i) {
        const int r = std::rand();
        const int next = std::rand();
        expected += r % 3 == 0 ? char('0' + next % 10) : r % 3 == 1 ? char('a' + next % 26) : char('A' + next % 26);
    }
    std::srand(4711);
    std::string syn = "keep";
    makeSyn(600, syn);
    QCOMPARE(QByteArray::fromStdString(syn), "keep" + expected);

    int digits = 0;
    for (char c : expected) {
        QVERIFY(std::isalnum(static_cast<unsigned char>(c)));
        digits += std::isdigit(static_cast<unsigned char>(c)) ? 1 : 0;
    }
    QVERIFY2(digits > 120 && digits < 280, qPrintable(QString::number(digits)));

    makeSyn(0, syn);
    QCOMPARE(int(syn.size()), 604);

    // Every request gets a fresh tag.
    std::string first, second;
    JsonPtr a = makeJsonPtr(makeRequest(makeSearchBody(), first));
    JsonPtr b = makeJsonPtr(makeRequest(makeSearchBody(), second));
    QVERIFY(first != second);
    QVERIFY(!makeRequest(nullptr, first));
}

void TestDeviceMessages::synMatches_data()
{
    QTest::addColumn<QByteArray>("replySyn");
    QTest::addColumn<QByteArray>("expectedSyn");
    QTest::addColumn<bool>("matches");

    QTest::newRow("equal") << QByteArray("Ab3dE6gH") << QByteArray("Ab3dE6gH") << true;
    QTest::newRow("ninth character extra") << QByteArray("Ab3dE6gHz") << QByteArray("Ab3dE6gH") << true;
    QTest::newRow("differ after eight") << QByteArray("Ab3dE6gHx") << QByteArray("Ab3dE6gHy") << true;
    QTest::newRow("differ in eighth") << QByteArray("Ab3dE6gX") << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("differ in first") << QByteArray("Xb3dE6gH") << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("letter case counts") << QByteArray("ab3dE6gH") << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("short, equal") << QByteArray("Ab3") << QByteArray("Ab3") << true;
    QTest::newRow("short reply, prefix") << QByteArray("Ab3dE6g") << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("short expected, prefix") << QByteArray("Ab3dE6gH") << QByteArray("Ab3dE6g") << false;
    QTest::newRow("empty reply") << QByteArray("") << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("null reply") << QByteArray() << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("null expected") << QByteArray("Ab3dE6gH") << QByteArray() << false;
}

void TestDeviceMessages::synMatches()
{
    QFETCH(QByteArray, replySyn);
    QFETCH(QByteArray, expectedSyn);
    QFETCH(bool, matches);

    QCOMPARE(::synMatches(replySyn.isNull() ? nullptr : replySyn.constData(),
                          expectedSyn.isNull() ? nullptr : expectedSyn.constData()),
             matches);
}

void TestDeviceMessages::wireForm()
{
    // Known answer from an independent implementation of the codec.
    const QByteArray expected = "h4dNS3ZWDRRqGbwwU+L0OYFsi/4fZOW+YH+eABXPX4I3tpBygigIC2yyyZMbfu1qOR2JD9pVYlrSI+hCXX0=\r\n";
    QCOMPARE(wireOfJson(R"({"cmd":"calludp","syn":"Ab3dE6gH","data":{"callcmd":"search"}})"), expected);

    QVERIFY(encodeMessage(nullptr).empty());
}

void TestDeviceMessages::decodeKnownAnswer()
{
    // A device's reply as an independent implementation of the codec enciphers it.
    const QByteArray datagram =
        "bhHtOhikTfdgf54AFc9fgje2kHKCKAgLQe1RPNffC4U2wQd2A4m4ZOpKs3q3fpnXlbEbbuVRk7uQ8aKdXQ==\r\n";
    JsonPtr parsed = decodeExact(datagram);
    QCOMPARE(printed(parsed.get()), QByteArray(R"({"syn":"Ab3dE6gH","data":{"ip":"192.168.1.64","sn":"SN0001"}})"));
}

void TestDeviceMessages::checkReply_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("result");

    const int noSyn = int(ReplyCheck::NoSyn), mismatch = int(ReplyCheck::SynMismatch);
    const int noData = int(ReplyCheck::NoData), accepted = int(ReplyCheck::Accepted);
    QTest::newRow("accepted") << QByteArray(R"({"syn":"Ab3dE6gH","data":{}})") << accepted;
    QTest::newRow("capitals") << QByteArray(R"({"SYN":"Ab3dE6gH","DATA":{"login":"success"}})") << accepted;
    QTest::newRow("no syn") << QByteArray(R"({"data":{}})") << noSyn;
    QTest::newRow("numeric syn") << QByteArray(R"({"syn":12345678,"data":{}})") << noSyn;
    QTest::newRow("null syn") << QByteArray(R"({"syn":null,"data":{}})") << noSyn;
    QTest::newRow("wrong syn") << QByteArray(R"({"syn":"Zb3dE6gH","data":{}})") << mismatch;
    QTest::newRow("no data") << QByteArray(R"({"syn":"Ab3dE6gH"})") << noData;
    QTest::newRow("data is a string") << QByteArray(R"({"syn":"Ab3dE6gH","data":"ok"})") << noData;
    QTest::newRow("array") << QByteArray(R"([{"syn":"Ab3dE6gH","data":{}}])") << noSyn;
    QTest::newRow("string") << QByteArray(R"("Ab3dE6gH")") << noSyn;
    QTest::newRow("null reply") << QByteArray() << noSyn;
}

void TestDeviceMessages::checkReply()
{
    QFETCH(QByteArray, json);
    QFETCH(int, result);

    JsonPtr tree = makeJsonPtr(json.isNull() ? nullptr : cJSON_Parse(json.constData()));
    QCOMPARE(int(::checkReply(tree.get(), kTag)), result);
}

void TestDeviceMessages::stringMember_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("present") << QByteArray(R"({"ip":"10.0.0.1"})") << QByteArray("10.0.0.1");
    QTest::newRow("other case") << QByteArray(R"({"IP":"10.0.0.1"})") << QByteArray("10.0.0.1");
    QTest::newRow("empty string") << QByteArray(R"({"ip":""})") << QByteArray("");
    QTest::newRow("absent") << QByteArray(R"({"sn":"x"})") << QByteArray("fallback");
    QTest::newRow("number") << QByteArray(R"({"ip":10})") << QByteArray("fallback");
    QTest::newRow("object") << QByteArray(R"({"ip":{"ip":"x"}})") << QByteArray("fallback");
    QTest::newRow("not an object") << QByteArray(R"(["ip"])") << QByteArray("fallback");
    QTest::newRow("null tree") << QByteArray() << QByteArray("fallback");
}

void TestDeviceMessages::stringMember()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, value);

    JsonPtr tree = makeJsonPtr(json.isNull() ? nullptr : cJSON_Parse(json.constData()));
    QCOMPARE(QByteArray(::stringMember(tree.get(), "ip", "fallback")), value);
}

void TestDeviceMessages::deviceArray_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QStringList>("log");

    const QString noSyn = "SYN is NULL!", mismatch = "syn not matched!", noData = "Data is NULL!",
                  noActive = "active_json is null!";
    const QByteArray full = R"({"ip":"192.168.1.64","sn":"SN1","mac":"00:11:22:33:44:55","model":"M-1",)"
                            R"("baseModel":"B-1","Active_state":"inactive","V":"6.0.231024","extra":1})";

    QTest::newRow("no replies") << QList<QByteArray>{} << QByteArray("[]") << QStringList{};
    QTest::newRow("all fields")
        << QList<QByteArray>{reply(full)}
        << QByteArray(R"([{"pid":"0","ip":"192.168.1.64","sn":"SN1","mac":"00:11:22:33:44:55","model":"M-1",)"
                      R"("baseModel":"B-1","active":"inactive","V":"6.0.231024"}])")
        << QStringList{};
    QTest::newRow("defaults") << QList<QByteArray>{reply("{}")} << "[" + device("", "") + "]"
                              << QStringList{noActive};
    QTest::newRow("capitals in member names")
        << QList<QByteArray>{wireOfJson(R"({"SYN":"Ab3dE6gH","Data":{"IP":"10.0.0.1","SN":"S","ACTIVE_STATE":"x"}})")}
        << "[" + device("10.0.0.1", "S", "x") + "]" << QStringList{};
    QTest::newRow("non-string fields")
        << QList<QByteArray>{reply(R"({"ip":"10.0.0.1","sn":7,"mac":null,"model":{},"V":[1],"Active_state":true})")}
        << "[" + device("10.0.0.1", "") + "]" << QStringList{noActive};
    QTest::newRow("duplicate ip, first wins")
        << QList<QByteArray>{reply(R"({"ip":"10.0.0.1","sn":"A","Active_state":"active"})"),
                             reply(R"({"ip":"10.0.0.1","sn":"B","Active_state":"active"})")}
        << "[" + device("10.0.0.1", "A") + "]" << QStringList{};
    QTest::newRow("same sn, different ip")
        << QList<QByteArray>{reply(R"({"ip":"10.0.0.1","sn":"A","Active_state":"active"})"),
                             reply(R"({"ip":"10.0.0.2","sn":"A","Active_state":"active"})")}
        << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.2", "A") + "]" << QStringList{};
    QTest::newRow("ip that extends another")
        << QList<QByteArray>{reply(R"({"ip":"10.0.0.1","sn":"A","Active_state":"active"})"),
                             reply(R"({"ip":"10.0.0.10","sn":"B","Active_state":"active"})")}
        << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.10", "B") + "]" << QStringList{};
    QTest::newRow("ips equal in 15 characters")
        << QList<QByteArray>{reply(R"({"ip":"192.168.100.1001","sn":"A","Active_state":"active"})"),
                             reply(R"({"ip":"192.168.100.1002","sn":"B","Active_state":"active"})")}
        << "[" + device("192.168.100.1001", "A") + "]" << QStringList{};
    QTest::newRow("two replies without ip")
        << QList<QByteArray>{reply(R"({"sn":"A","Active_state":"active"})"),
                             reply(R"({"sn":"B","Active_state":"active"})")}
        << "[" + device("", "A") + "]" << QStringList{};
    QTest::newRow("wrong tag") << QList<QByteArray>{reply(R"({"ip":"10.0.0.1"})", "Zb3dE6gH")} << QByteArray("[]")
                               << QStringList{mismatch};
    QTest::newRow("nine-character tag")
        << QList<QByteArray>{reply(R"({"ip":"10.0.0.1","Active_state":"active"})", "Ab3dE6gH9")}
        << "[" + device("10.0.0.1", "") + "]" << QStringList{};
    QTest::newRow("no data") << QList<QByteArray>{wireOfJson(R"({"syn":"Ab3dE6gH"})")} << QByteArray("[]")
                             << QStringList{noData};
    QTest::newRow("data not an object") << QList<QByteArray>{reply(R"("10.0.0.1")")} << QByteArray("[]")
                                        << QStringList{noData};
    QTest::newRow("no syn") << QList<QByteArray>{wireOfJson(R"({"data":{"ip":"10.0.0.1"}})")} << QByteArray("[]")
                            << QStringList{noSyn};

    // Whatever arrives, nothing is read outside the datagram and a bad one reads as having no tag.
    const QByteArray good = reply(R"({"ip":"10.0.0.9","Active_state":"active"})");
    const QByteArray goodArray = "[" + device("10.0.0.9", "") + "]";
    const QByteArray other = wireOf(R"({"syn":"Ab3dE6gH","data":{}})", "0123456789abcdef");
    const QByteArray longModel(44 * 1024, 'm');
    const QByteArray big = reply(R"({"ip":"10.0.0.3","model":")" + longModel + R"(","Active_state":"active"})");
    const struct
    {
        const char *name;
        QByteArray datagram;
        bool accepted;
    } rows[] = {
        {"without CR LF", good.chopped(2), true},
        {"zero bytes after CR LF", good + QByteArray("\0\0AAAA", 6), true},
        {"zero byte inside", good.left(20) + '\0' + good.mid(21), false},
        {"invalid character inside", good.left(20) + '*' + good.mid(21), false},
        {"truncated", good.left(good.size() - 10), false},
        {"empty datagram", QByteArray(), false},
        {"CR LF only", "\r\n", false},
        {"garbage", "\x13\x37garbage\xff", false},
        {"other key", other, false},
        {"plain JSON", R"({"syn":"Ab3dE6gH","data":{}})", false},
        {"60 KB of base64", QByteArray(60 * 1024, 'A'), false},
        {"60 KB of zero bytes", QByteArray(60 * 1024, '\0'), false},
        {"nesting within the parser's limit", wireOf(nested(900)), true},
        {"nesting 20000 deep", wireOf(nested(20000)), false},
        {"reply is an array", wireOfJson(R"([{"syn":"Ab3dE6gH","data":{}}])"), false},
    };
    // An accepted datagram is a good reply in disguise, so the good one after it is a duplicate.
    for (const auto &row : rows) {
        QTest::newRow(row.name) << QList<QByteArray>{row.datagram, good} << goodArray
                                << (row.accepted ? QStringList{} : QStringList{noSyn});
    }
    QTest::newRow("60 KB reply") << QList<QByteArray>{big}
                                 << R"([{"pid":"0","ip":"10.0.0.3","sn":"","mac":"","model":")" + longModel
                                        + R"(","baseModel":"---","active":"active","V":"---"}])"
                                 << QStringList{};
}

void TestDeviceMessages::deviceArray()
{
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, log);

    QStringList lines;
    DeviceArrayBuilder builder(kTag, [&lines](const char *line) { lines << QString::fromUtf8(line); });
    for (const QByteArray &datagram : datagrams) {
        // Exactly the datagram's bytes on the heap, no terminator.
        std::unique_ptr<char[]> copy(new char[std::size_t(datagram.size())]);
        std::memcpy(copy.get(), datagram.constData(), std::size_t(datagram.size()));
        builder.addDatagram(copy.get(), std::size_t(datagram.size()));
    }

    QCOMPARE(printed(builder.array()), expected);
    QCOMPARE(builder.count(), cJSON_GetArraySize(builder.array()));
    QCOMPARE(lines, log);
}

QTEST_APPLESS_MAIN(TestDeviceMessages)

#include "tst_devicemessages.moc"
