#include "payloadcodec.h"

#include <QtTest>

#include <cstring>
#include <memory>
#include <random>

namespace {

const auto *const kKey = reinterpret_cast<const unsigned char *>(kPayloadKey);
constexpr char kGuard = char(0xA5);
const QByteArray kGuards(8, kGuard);

unsigned char *bytes(QByteArray &a) { return reinterpret_cast<unsigned char *>(a.data()); }

// A heap copy ending exactly at the terminator, so that AddressSanitizer sees any read past it.
std::unique_ptr<char[]> exactCopy(const QByteArray &text, std::size_t *length)
{
    *length = std::strlen(text.constData());
    std::unique_ptr<char[]> copy(new char[*length + 1]);
    std::memcpy(copy.get(), text.constData(), *length + 1);
    return copy;
}

// Enciphers text into an output followed by guard bytes: what was written, "overrun" when a
// guard was hit, null on a null result.
QByteArray encipherText(QByteArray text, bool base64 = true)
{
    const int written = base64 ? int(base64EncodedLength(uint32_t(text.size()))) : text.size();
    QByteArray output = QByteArray(written, '\0') + kGuards;
    if (!encipherPayload(bytes(text), uint32_t(text.size()), kKey, base64, output.data()))
        return {};
    return output.mid(written) == kGuards ? output.left(written) : QByteArray("overrun");
}

QByteArray decipherWire(const QByteArray &wire)
{
    std::size_t m = 0;
    const auto text = exactCopy(wire, &m);
    QByteArray output(int(decodedBufferSize(uint32_t(m))), '\0');
    decipherPayload(text.get(), uint32_t(m), kKey, true, bytes(output));
    return output;
}

QByteArray decipherRaw(const QByteArray &payload)
{
    QByteArray restored(payload.size(), '\0');
    decipherPayload(payload.constData(), uint32_t(payload.size()), kKey, false, bytes(restored));
    return restored;
}

// Decoded bytes, or "overrun" when more than 3/4 of the text was written.
QByteArray decode(const QByteArray &text)
{
    std::size_t m = 0;
    const auto input = exactCopy(text, &m);
    const int room = int(3 * m / 4);
    QByteArray output = QByteArray(room, kGuard) + kGuards;
    uint32_t count = 0xDEADBEEF;
    base64Decode(input.get(), bytes(output), &count);
    if (count > uint32_t(room) || output.mid(room) != kGuards)
        return "overrun";
    return output.left(int(count));
}

QByteArray encode(const QByteArray &data)
{
    QByteArray output = QByteArray(int(base64EncodedLength(uint32_t(data.size()))), '\0') + kGuards;
    uint32_t count = 0xDEADBEEF;
    if (!base64Encode(reinterpret_cast<const unsigned char *>(data.constData()), uint32_t(data.size()),
                      output.data(), &count))
        return {};
    return output.mid(int(count)) == kGuards ? output.left(int(count)) : QByteArray("overrun");
}

} // namespace

class TestPayloadCodec : public QObject
{
    Q_OBJECT

private slots:
    void teaKnownAnswers_data();
    void teaKnownAnswers();
    void tailTransformKnownAnswer_data();
    void tailTransformKnownAnswer();
    void wireKnownAnswer();
    void roundTrip();
    void base64_data();
    void base64();
    void base64Alphabet();
    void bufferSizes();
    void nullResults();
};

void TestPayloadCodec::teaKnownAnswers_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    // The Linux kernel's crypto/testmgr.h tea_enc_tv_template: little-endian words, as the
    // codec reads them; longer texts are independent blocks.
    QTest::newRow("zero key, zero block")
        << QByteArray::fromHex("00000000000000000000000000000000") << QByteArray::fromHex("0000000000000000")
        << QByteArray::fromHex("0a3aea4140a9ba94");
    QTest::newRow("one block") << QByteArray::fromHex("2b02056806144976775d0e266c287843")
                               << QByteArray::fromHex("74657374206d652e") << QByteArray::fromHex("775d2a6af6ce9209");
    QTest::newRow("two blocks") << QByteArray::fromHex("0965431166443925513a16100a08126e")
                                << QByteArray::fromHex("6c6f6e6765725f746573745f76656374")
                                << QByteArray::fromHex("be7abb81952d1f1edd89a1250421df95");
    QTest::newRow("four blocks")
        << QByteArray::fromHex("4d763217053f752c5d0416361572632f")
        << QByteArray::fromHex("54656120697320676f6f6420666f7220796f75212121207265616c6c79212121")
        << QByteArray::fromHex("e04d5d3cb78c364794189591a9fc49f844d12dc299b8082a078973c24592c690");
}

void TestPayloadCodec::teaKnownAnswers()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);
    const auto *keyBytes = reinterpret_cast<const unsigned char *>(key.constData());

    uint32_t keyWords[4];
    std::memcpy(keyWords, key.constData(), 16); // test host is little-endian
    for (int offset = 0; offset < plain.size(); offset += 8) {
        uint32_t block[2];
        std::memcpy(block, plain.constData() + offset, 8);
        teaEncipherBlock(block, keyWords);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(block), 8).toHex(), cipher.mid(offset, 8).toHex());
        teaDecipherBlock(block, keyWords);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(block), 8).toHex(), plain.mid(offset, 8).toHex());
    }

    // Whole blocks only, so no tail; the text is enciphered in place too.
    QByteArray text = plain;
    QByteArray output(plain.size(), '\0');
    QVERIFY(encipherPayload(bytes(text), uint32_t(text.size()), keyBytes, false, output.data()));
    QCOMPARE(output.toHex(), cipher.toHex());
    QCOMPARE(text.toHex(), cipher.toHex());
    QByteArray restored(plain.size(), '\0');
    QVERIFY(decipherPayload(cipher.constData(), uint32_t(cipher.size()), keyBytes, false, bytes(restored)));
    QCOMPARE(restored.toHex(), plain.toHex());
}

void TestPayloadCodec::tailTransformKnownAnswer_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("payload");

    // Worked by hand: with t the table character and k the low byte of key word j mod 4
    // ('K', 'R', 'm', 'T'), X = ((t >> 3) + k) ^ ((t << 2) + k) in bytes, and each tail byte
    // grows by 32 * X mod 256: 0x60 0xC0 0x80 0x20 0xE0 0x00 0x60 for j = 0..6.
    QTest::newRow("seven tail bytes") << QByteArray("abcdefg") << QByteArray::fromHex("c122e3844566c7");
    QTest::newRow("wrapping byte") << QByteArray::fromHex("ff") << QByteArray::fromHex("5f");
    // Tail positions count from the end of the last block.
    QTest::newRow("tail after a block") << QByteArray("12345678x") << QByteArray::fromHex("c6160ff7e41a38bfd8");
}

void TestPayloadCodec::tailTransformKnownAnswer()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, payload);
    QCOMPARE(encipherText(text, false).toHex(), payload.toHex());
    QCOMPARE(decipherRaw(payload), text);
}

void TestPayloadCodec::wireKnownAnswer()
{
    // From an independent implementation: 62 bytes, so 7 blocks, a 6-byte tail and one "=".
    const QByteArray request = R"({"cmd":"calludp","syn":"Ab3dE6gH","data":{"callcmd":"search"}})";
    const QByteArray wire = "h4dNS3ZWDRRqGbwwU+L0OYFsi/4fZOW+YH+eABXPX4I3tpBygigIC2yyyZMbfu1qOR2JD9pVYlrSI+hCXX0=";
    QCOMPARE(encipherText(request), wire);
    const QByteArray decoded = decipherWire(wire + "\r\n");
    QCOMPARE(decoded, request + QByteArray(decoded.size() - request.size(), '\0'));
}

void TestPayloadCodec::roundTrip()
{
    std::mt19937 generator(20261206);
    for (int n = 1; n <= 300; ++n) {
        QByteArray text(n, '\0');
        for (char &byte : text)
            byte = char(generator() & 0xFF);
        const QByteArray wire = encipherText(text);
        QCOMPARE(wire.size(), (n + 2) / 3 * 4);

        // The receive side counts up to the first zero, so the wire form is terminated.
        const QByteArray decoded = decipherWire(wire + "\r\n");
        QVERIFY2(decoded == text + QByteArray(decoded.size() - n, '\0'), qPrintable(QString::number(n)));
        QCOMPARE(decode(wire).size(), n); // the payload is as long as the text
        QCOMPARE(decipherRaw(encipherText(text, false)), text);
    }
}

void TestPayloadCodec::base64_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("encodes"); // text is also what data encodes to

    // RFC 4648, section 10.
    QTest::newRow("f") << QByteArray("Zg==") << QByteArray("f") << true;
    QTest::newRow("fo") << QByteArray("Zm8=") << QByteArray("fo") << true;
    QTest::newRow("foo") << QByteArray("Zm9v") << QByteArray("foo") << true;
    QTest::newRow("foob") << QByteArray("Zm9vYg==") << QByteArray("foob") << true;
    QTest::newRow("fooba") << QByteArray("Zm9vYmE=") << QByteArray("fooba") << true;
    QTest::newRow("foobar") << QByteArray("Zm9vYmFy") << QByteArray("foobar") << true;
    QTest::newRow("high bits") << QByteArray("+/8A") << QByteArray::fromHex("fbff00") << true;
    // Decoding stops at the first character outside the alphabet.
    QTest::newRow("empty") << QByteArray("") << QByteArray() << false;
    QTest::newRow("CR LF ignored") << QByteArray("Zm9vYmE=\r\n") << QByteArray("fooba") << false;
    QTest::newRow("unpadded two") << QByteArray("Zm9vYg") << QByteArray("foob") << false;
    QTest::newRow("unpadded three") << QByteArray("Zm9vYmE") << QByteArray("fooba") << false;
    QTest::newRow("lone character") << QByteArray("Zm9vY") << QByteArray("foo") << false;
    QTest::newRow("invalid first") << QByteArray("Zm9v!mFy") << QByteArray("foo") << false;
    QTest::newRow("invalid second") << QByteArray("Zm9vY!Fy") << QByteArray("foo") << false;
    QTest::newRow("invalid third") << QByteArray("Zm9vYm!y") << QByteArray("foob") << false;
    QTest::newRow("invalid fourth") << QByteArray("Zm9vYmF!Zm9v") << QByteArray("fooba") << false;
    QTest::newRow("padding ends it") << QByteArray("Zg==Zm9v") << QByteArray("f") << false;
}

void TestPayloadCodec::base64()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, data);
    QFETCH(bool, encodes);
    if (encodes)
        QCOMPARE(encode(data), text);
    QCOMPARE(decode(text), data);
}

void TestPayloadCodec::base64Alphabet()
{
    const QByteArray alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int c = 1; c < 256; ++c) {
        const int value = alphabet.indexOf(char(c));
        const QByteArray expected = value < 0 ? QByteArray() : QByteArray(1, char(value << 2));
        QVERIFY2(decode(QByteArray(1, char(c)) + 'A') == expected, qPrintable(QString::number(c)));
    }
}

void TestPayloadCodec::bufferSizes()
{
    QCOMPARE(base64EncodedLength(0), 0u);
    QCOMPARE(decodedBufferSize(0), 1u);
    // No overflow in 3 * m for large texts.
    QCOMPARE(decodedBufferSize(0xFFFFFFFFu), uint32_t(3ull * 0xFFFFFFFFu / 4 + 1));
}

void TestPayloadCodec::nullResults()
{
    QByteArray output = kGuards + kGuards;
    const QByteArray before = output;
    QByteArray text = "{\"a\":1}";
    uint32_t count = 77;

    QVERIFY(!base64Encode(nullptr, 3, output.data(), &count));
    QVERIFY(!base64Encode(bytes(text), 3, nullptr, &count));
    QVERIFY(!base64Encode(bytes(text), 0, output.data(), &count));
    QVERIFY(!base64Decode(nullptr, bytes(output), &count));
    QVERIFY(!base64Decode("Zm9v", nullptr, &count));
    QCOMPARE(count, 77u);

    QVERIFY(!encipherPayload(nullptr, 7, kKey, true, output.data()));
    QVERIFY(!encipherPayload(bytes(text), 7, nullptr, true, output.data()));
    QVERIFY(!encipherPayload(bytes(text), 7, kKey, true, nullptr));
    QVERIFY(!encipherPayload(bytes(text), 0, kKey, true, output.data()));
    QCOMPARE(text, QByteArray("{\"a\":1}")); // a refused call leaves the text alone

    QVERIFY(!decipherPayload(nullptr, 4, kKey, true, bytes(output)));
    QVERIFY(!decipherPayload("Zm9v", 4, nullptr, true, bytes(output)));
    QVERIFY(!decipherPayload("Zm9v", 4, kKey, true, nullptr));
    QCOMPARE(output, before);

    // An empty text decodes to nothing, and the count says so.
    QVERIFY(base64Decode("", bytes(output), &count));
    QCOMPARE(count, 0u);
    QVERIFY(decipherPayload("", 0, kKey, true, bytes(output)));
    QCOMPARE(output, before);
}

QTEST_APPLESS_MAIN(TestPayloadCodec)

#include "tst_payloadcodec.moc"
