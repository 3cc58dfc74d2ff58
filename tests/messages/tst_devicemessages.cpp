#include "devicemessages.h"
#include "payloadcodec.h"

#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <memory>

Q_DECLARE_METATYPE(ReplyCheck)

namespace {

constexpr char kTag[] = "Ab3dE6gH";

QByteArray printed(const cJSON *tree)
{
    char *text = cJSON_PrintUnformatted(tree);
    const QByteArray result(text ? text : "<null>");
    cJSON_free(text);
    return result;
}

JsonPtr parsed(const QByteArray &json)
{
    return makeJsonPtr(json.isNull() ? nullptr : cJSON_Parse(json.constData()));
}

// Wire form of an arbitrary text (not necessarily JSON) under a given key, with CR LF.
QByteArray wireOf(QByteArray text, const char *key = kPayloadKey)
{
    QByteArray output(int(base64EncodedLength(uint32_t(text.size()))), '\0');
    encipherPayload(reinterpret_cast<unsigned char *>(text.data()), uint32_t(text.size()),
                    reinterpret_cast<const unsigned char *>(key), true, output.data());
    return output + "\r\n";
}

QByteArray wireOfJson(const QByteArray &json)
{
    JsonPtr tree = parsed(json);
    if (!tree)
        qFatal("bad test JSON: %s", json.constData());
    return QByteArray::fromStdString(encodeMessage(tree.get()));
}

QByteArray reply(const QByteArray &data, const QByteArray &syn = kTag)
{
    return wireOfJson("{\"syn\":\"" + syn + "\",\"data\":" + data + "}");
}

// Exactly the datagram's bytes on the heap, no terminator, so that AddressSanitizer
// reports any read past its end.
std::unique_ptr<char[]> heapCopy(const QByteArray &datagram)
{
    std::unique_ptr<char[]> copy(new char[std::size_t(datagram.size())]);
    std::memcpy(copy.get(), datagram.constData(), std::size_t(datagram.size()));
    return copy;
}

JsonPtr decodeExact(const QByteArray &datagram)
{
    return makeJsonPtr(decodeMessage(heapCopy(datagram).get(), std::size_t(datagram.size())));
}

QByteArray nested(int depth)
{
    return "{\"syn\":\"" + QByteArray(kTag) + "\",\"data\":{\"ip\":\"10.0.0.9\",\"Active_state\":\"active\",\"x\":"
           + QByteArray(depth, '[') + QByteArray(depth, ']') + "}}";
}

QByteArray device(const QByteArray &ip, const QByteArray &sn, const QByteArray &active = "active")
{
    return "{\"pid\":\"0\",\"ip\":\"" + ip + "\",\"sn\":\"" + sn
           + "\",\"mac\":\"\",\"model\":\"\",\"baseModel\":\"---\",\"active\":\"" + active + "\",\"V\":\"---\"}";
}

QByteArray active(const char *ip, const char *sn)
{
    return reply(QByteArray(R"({"ip":")") + ip + R"(","sn":")" + sn + R"(","Active_state":"active"})");
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
    void wireKnownAnswers();
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

    const QByteArray security = R"({"callcmd":"Security verification","password":")";
    QTest::newRow("search") << 0 << QByteArray() << QByteArray(R"({"callcmd":"search"})");
    QTest::newRow("activate") << 2 << QByteArray("Pa55word")
                              << security + R"(Pa55word","sn":"SN-0001","command":"activate"})";
    QTest::newRow("login, password with JSON escapes")
        << 1 << QByteArray("a\"b\\c/d\t") << security + R"(a\"b\\c/d\t","sn":"SN-0001","command":"login"})";
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
    QCOMPARE(printed(decodeExact(QByteArray::fromStdString(encodeMessage(request.get()))).get()),
             printed(request.get()));
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
    QTest::newRow("differ after eight") << QByteArray("Ab3dE6gHx") << QByteArray("Ab3dE6gHy") << true;
    QTest::newRow("case differs in eighth") << QByteArray("Ab3dE6gh") << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("short, equal") << QByteArray("Ab3") << QByteArray("Ab3") << true;
    QTest::newRow("short reply, prefix") << QByteArray("Ab3dE6g") << QByteArray("Ab3dE6gH") << false;
    QTest::newRow("short expected, prefix") << QByteArray("Ab3dE6gH") << QByteArray("Ab3dE6g") << false;
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

void TestDeviceMessages::wireKnownAnswers()
{
    // Both from an independent implementation of the codec: a request and a device's reply.
    QCOMPARE(wireOfJson(R"({"cmd":"calludp","syn":"Ab3dE6gH","data":{"callcmd":"search"}})"),
             "h4dNS3ZWDRRqGbwwU+L0OYFsi/4fZOW+YH+eABXPX4I3tpBygigIC2yyyZMbfu1qOR2JD9pVYlrSI+hCXX0=\r\n");
    QVERIFY(encodeMessage(nullptr).empty());
    JsonPtr decoded =
        decodeExact("bhHtOhikTfdgf54AFc9fgje2kHKCKAgLQe1RPNffC4U2wQd2A4m4ZOpKs3q3fpnXlbEbbuVRk7uQ8aKdXQ==\r\n");
    QCOMPARE(printed(decoded.get()), R"({"syn":"Ab3dE6gH","data":{"ip":"192.168.1.64","sn":"SN0001"}})");
}

void TestDeviceMessages::checkReply_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<ReplyCheck>("result");

    QTest::newRow("accepted") << QByteArray(R"({"syn":"Ab3dE6gH","data":{}})") << ReplyCheck::Accepted;
    QTest::newRow("numeric syn") << QByteArray(R"({"syn":12345678,"data":{}})") << ReplyCheck::NoSyn;
    QTest::newRow("wrong syn") << QByteArray(R"({"syn":"Zb3dE6gH","data":{}})") << ReplyCheck::SynMismatch;
    QTest::newRow("data is a string") << QByteArray(R"({"syn":"Ab3dE6gH","data":"ok"})") << ReplyCheck::NoData;
    QTest::newRow("null reply") << QByteArray() << ReplyCheck::NoSyn;
}

void TestDeviceMessages::checkReply()
{
    QFETCH(QByteArray, json);
    QFETCH(ReplyCheck, result);
    QCOMPARE(::checkReply(parsed(json).get(), kTag), result); // more cases through deviceArray
}

void TestDeviceMessages::stringMember_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("present") << QByteArray(R"({"ip":"10.0.0.1"})") << QByteArray("10.0.0.1");
    QTest::newRow("empty string") << QByteArray(R"({"ip":""})") << QByteArray("");
    QTest::newRow("absent") << QByteArray(R"({"sn":"x"})") << QByteArray("fallback");
    QTest::newRow("not an object") << QByteArray(R"(["ip"])") << QByteArray("fallback");
    QTest::newRow("null tree") << QByteArray() << QByteArray("fallback");
}

void TestDeviceMessages::stringMember()
{
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, value);
    QCOMPARE(QByteArray(::stringMember(parsed(json).get(), "ip", "fallback")), value);
}

void TestDeviceMessages::deviceArray_data()
{
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QStringList>("log");

    const QString noSyn = "SYN is NULL!", noActive = "active_json is null!";
    const QByteArray full = R"({"ip":"192.168.1.64","sn":"SN1","mac":"00:11:22:33:44:55","model":"M-1",)"
                            R"("baseModel":"B-1","Active_state":"inactive","V":"6.0.231024","extra":1})";
    using Q = QList<QByteArray>;

    QTest::newRow("no replies") << Q{} << QByteArray("[]") << QStringList{};
    QTest::newRow("all fields")
        << Q{reply(full)}
        << QByteArray(R"([{"pid":"0","ip":"192.168.1.64","sn":"SN1","mac":"00:11:22:33:44:55","model":"M-1",)"
                      R"("baseModel":"B-1","active":"inactive","V":"6.0.231024"}])")
        << QStringList{};
    QTest::newRow("defaults") << Q{reply("{}")} << "[" + device("", "") + "]" << QStringList{noActive};
    QTest::newRow("capitals in member names")
        << Q{wireOfJson(R"({"SYN":"Ab3dE6gH","Data":{"IP":"10.0.0.1","SN":"S","ACTIVE_STATE":"x"}})")}
        << "[" + device("10.0.0.1", "S", "x") + "]" << QStringList{};
    QTest::newRow("non-string fields")
        << Q{reply(R"({"ip":"10.0.0.1","sn":7,"mac":null,"model":{},"V":[1],"Active_state":true})")}
        << "[" + device("10.0.0.1", "") + "]" << QStringList{noActive};
    QTest::newRow("duplicate ip, first wins") << Q{active("10.0.0.1", "A"), active("10.0.0.1", "B")}
                                              << "[" + device("10.0.0.1", "A") + "]" << QStringList{};
    QTest::newRow("same sn, different ip") << Q{active("10.0.0.1", "A"), active("10.0.0.2", "A")}
                                           << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.2", "A") + "]"
                                           << QStringList{};
    QTest::newRow("ip that extends another") << Q{active("10.0.0.1", "A"), active("10.0.0.10", "B")}
                                             << "[" + device("10.0.0.1", "A") + "," + device("10.0.0.10", "B") + "]"
                                             << QStringList{};
    QTest::newRow("ips equal in 15 characters")
        << Q{active("192.168.100.1001", "A"), active("192.168.100.1002", "B")}
        << "[" + device("192.168.100.1001", "A") + "]" << QStringList{};
    QTest::newRow("two replies without ip") << Q{active("", "A"), active("", "B")} << "[" + device("", "A") + "]"
                                            << QStringList{};
    QTest::newRow("wrong tag") << Q{reply(R"({"ip":"10.0.0.1"})", "Zb3dE6gH")} << QByteArray("[]")
                               << QStringList{"syn not matched!"};
    QTest::newRow("no data") << Q{wireOfJson(R"({"syn":"Ab3dE6gH"})")} << QByteArray("[]")
                             << QStringList{"Data is NULL!"};
    QTest::newRow("no syn") << Q{wireOfJson(R"({"data":{"ip":"10.0.0.1"}})")} << QByteArray("[]")
                            << QStringList{noSyn};

    // Whatever arrives, nothing is read outside the datagram and a bad one reads as having no
    // tag. An accepted one is a good reply in disguise, so the good one after it is a duplicate.
    const QByteArray good = reply(R"({"ip":"10.0.0.9","Active_state":"active"})");
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
        {"other key", wireOf(R"({"syn":"Ab3dE6gH","data":{}})", "0123456789abcdef"), false},
        {"plain JSON", R"({"syn":"Ab3dE6gH","data":{}})", false},
        {"60 KB of base64", QByteArray(60 * 1024, 'A'), false},
        {"60 KB of zero bytes", QByteArray(60 * 1024, '\0'), false},
        {"nesting within the parser's limit", wireOf(nested(900)), true},
        {"nesting 20000 deep", wireOf(nested(20000)), false},
        {"reply is an array", wireOfJson(R"([{"syn":"Ab3dE6gH","data":{}}])"), false},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << Q{row.datagram, good} << "[" + device("10.0.0.9", "") + "]"
                                << (row.accepted ? QStringList{} : QStringList{noSyn});
    const QByteArray longModel(44 * 1024, 'm');
    QTest::newRow("60 KB reply")
        << Q{reply(R"({"ip":"10.0.0.3","model":")" + longModel + R"(","Active_state":"active"})")}
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
    for (const QByteArray &datagram : datagrams)
        builder.addDatagram(heapCopy(datagram).get(), std::size_t(datagram.size()));
    QCOMPARE(printed(builder.array()), expected);
    QCOMPARE(builder.count(), cJSON_GetArraySize(builder.array()));
    QCOMPARE(lines, log);
}

QTEST_APPLESS_MAIN(TestDeviceMessages)

#include "tst_devicemessages.moc"
