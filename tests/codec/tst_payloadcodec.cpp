#include "payloadcodec.h"

#include <QtTest>

#include <cstring>
#include <memory>
#include <random>

namespace {

const unsigned char *payloadKey()
{
    return reinterpret_cast<const unsigned char *>(kPayloadKey);
}

constexpr char kGuard = char(0xA5);
constexpr int kGuardSize = 8;

// Enciphers text with the payload key into an output followed by guard bytes; the
// result is what was written, "overrun" when a guard was hit, null on a null result.
QByteArray encipherText(QByteArray text, bool base64 = true)
{
    const int written = base64 ? int(base64EncodedLength(uint32_t(text.size()))) : text.size();
    QByteArray output(written + kGuardSize, kGuard);
    char *result = encipherPayload(reinterpret_cast<unsigned char *>(text.data()), uint32_t(text.size()),
                                   payloadKey(), base64, output.data());
    if (!result)
        return {};
    if (output.mid(written) != QByteArray(kGuardSize, kGuard))
        return "overrun";
    return output.left(written);
}

// Runs the receive side on a copy of wire that ends exactly at its terminator, so that
// AddressSanitizer sees any read past it.
QByteArray decipherWire(const QByteArray &wire)
{
    const std::size_t m = std::strlen(wire.constData());
    std::unique_ptr<char[]> text(new char[m + 1]);
    std::memcpy(text.get(), wire.constData(), m + 1);
    QByteArray output(int(decodedBufferSize(uint32_t(m))), '\0');
    decipherPayload(text.get(), uint32_t(m), payloadKey(), true, reinterpret_cast<unsigned char *>(output.data()));
    return output;
}

struct Decoded
{
    QByteArray bytes;
    uint32_t count = 0;
};

// Decodes text from a buffer that ends at its terminator, into an output with guard bytes.
Decoded decode(const QByteArray &text)
{
    const std::size_t m = std::strlen(text.constData());
    std::unique_ptr<char[]> input(new char[m + 1]);
    std::memcpy(input.get(), text.constData(), m + 1);
    const int room = int(3 * m / 4);
    QByteArray output(room + kGuardSize, kGuard);
    Decoded decoded;
    decoded.count = 0xDEADBEEF;
    base64Decode(input.get(), reinterpret_cast<unsigned char *>(output.data()), &decoded.count);
    if (decoded.count > uint32_t(room) || output.mid(room) != QByteArray(kGuardSize, kGuard))
        return {"overrun", 0xFFFFFFFF};
    decoded.bytes = output.left(int(decoded.count));
    return decoded;
}

QByteArray encode(const QByteArray &data)
{
    QByteArray output(int(base64EncodedLength(uint32_t(data.size()))) + kGuardSize, kGuard);
    uint32_t count = 0xDEADBEEF;
    if (!base64Encode(reinterpret_cast<const unsigned char *>(data.constData()), uint32_t(data.size()),
                      output.data(), &count))
        return {};
    const QByteArray written = output.left(int(count));
    return output.mid(int(count)) == QByteArray(kGuardSize, kGuard) ? written : QByteArray("overrun");
}

QByteArray randomBytes(int length, std::mt19937 &generator)
{
    QByteArray bytes(length, '\0');
    for (char &byte : bytes)
        byte = char(generator() & 0xFF);
    return bytes;
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
    void blockStructure();
    void oneTailByteChangesOneByte();
    void roundTrip();
    void base64Rfc4648_data();
    void base64Rfc4648();
    void base64DecodeStops_data();
    void base64DecodeStops();
    void base64Alphabet();
    void bufferSizes();
    void nullResults();
};

void TestPayloadCodec::teaKnownAnswers_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    // From the Linux kernel's crypto test manager, crypto/testmgr.h, tea_enc_tv_template
    // and tea_dec_tv_template. The kernel reads key and blocks as little-endian 32-bit
    // words, as the codec does; longer texts are independent blocks.
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

    // Word level.
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

    // Payload level: whole blocks only, so no tail, and the byte layout is the codec's own.
    QByteArray text = plain;
    QByteArray output(plain.size(), '\0');
    QVERIFY(encipherPayload(reinterpret_cast<unsigned char *>(text.data()), uint32_t(text.size()), keyBytes, false,
                            output.data()));
    QCOMPARE(output.toHex(), cipher.toHex());
    QCOMPARE(text.toHex(), cipher.toHex()); // enciphered in place

    QByteArray restored(plain.size(), '\0');
    QVERIFY(decipherPayload(cipher.constData(), uint32_t(cipher.size()), keyBytes, false,
                            reinterpret_cast<unsigned char *>(restored.data())));
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
    QTest::newRow("one tail byte") << QByteArray("a") << QByteArray::fromHex("c1");
    QTest::newRow("wrapping byte") << QByteArray::fromHex("ff") << QByteArray::fromHex("5f");
    // Tail positions count from the end of the last block.
    QTest::newRow("tail after a block") << QByteArray("12345678x") << QByteArray::fromHex("c6160ff7e41a38bfd8");
}

void TestPayloadCodec::tailTransformKnownAnswer()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, payload);

    QCOMPARE(encipherText(text, false).toHex(), payload.toHex());
    QByteArray restored(text.size(), '\0');
    decipherPayload(payload.constData(), uint32_t(payload.size()), payloadKey(), false,
                    reinterpret_cast<unsigned char *>(restored.data()));
    QCOMPARE(restored, text);
}

void TestPayloadCodec::wireKnownAnswer()
{
    // Computed with an independent implementation: 62 bytes, so 7 blocks, a 6-byte tail
    // and one "=" of padding.
    const QByteArray request = R"({"cmd":"calludp","syn":"Ab3dE6gH","data":{"callcmd":"search"}})";
    const QByteArray wire = "h4dNS3ZWDRRqGbwwU+L0OYFsi/4fZOW+YH+eABXPX4I3tpBygigIC2yyyZMbfu1qOR2JD9pVYlrSI+hCXX0=";

    QCOMPARE(encipherText(request), wire);
    const QByteArray decoded = decipherWire(wire + "\r\n");
    QCOMPARE(decoded.left(request.size()), request);
    QCOMPARE(decoded.mid(request.size()), QByteArray(decoded.size() - request.size(), '\0'));
}

void TestPayloadCodec::blockStructure()
{
    uint32_t keyWords[4];
    std::memcpy(keyWords, kPayloadKey, 16);

    // No tail: both blocks go through the cipher independently; equal blocks stay equal.
    const QByteArray text = "ABCDEFGHABCDEFGH";
    const QByteArray payload = encipherText(text, false);
    QCOMPARE(payload.size(), text.size());
    QCOMPARE(payload.left(8), payload.mid(8));
    uint32_t block[2];
    std::memcpy(block, text.constData(), 8);
    teaEncipherBlock(block, keyWords);
    QCOMPARE(payload.left(8), QByteArray(reinterpret_cast<const char *>(block), 8));

    // Blocks are not chained: changing the first leaves the second as it was.
    const QByteArray other = encipherText("XBCDEFGHABCDEFGH", false);
    QVERIFY(other.left(8) != payload.left(8));
    QCOMPARE(other.mid(8), payload.mid(8));
}

void TestPayloadCodec::oneTailByteChangesOneByte()
{
    const QByteArray text = "0123456789abcdef{\"x\":1}"; // 16 block bytes and a 7-byte tail
    const QByteArray payload = encipherText(text, false);
    for (int p = 16; p < text.size(); ++p) {
        QByteArray changed = text;
        changed[p] = char(changed[p] ^ 0x01);
        const QByteArray changedPayload = encipherText(changed, false);
        int differing = 0;
        for (int i = 0; i < text.size(); ++i)
            differing += payload[i] != changedPayload[i];
        QVERIFY2(differing == 1 && payload[p] != changedPayload[p], qPrintable(QString::number(p)));
    }
}

void TestPayloadCodec::roundTrip()
{
    std::mt19937 generator(20261206);
    for (int n = 1; n <= 300; ++n) {
        const QByteArray text = randomBytes(n, generator);
        const QByteArray wire = encipherText(text);
        QCOMPARE(wire.size(), (n + 2) / 3 * 4);

        // The receive side counts up to the first zero, so the wire form is terminated.
        const QByteArray decoded = decipherWire(wire + "\r\n");
        QVERIFY2(decoded.left(n) == text, qPrintable(QStringLiteral("length %1").arg(n)));
        QVERIFY(decoded.mid(n).count('\0') == decoded.size() - n);

        uint32_t count = 0;
        QByteArray scratch(int(decodedBufferSize(uint32_t(wire.size()))), '\0');
        base64Decode(wire.constData(), reinterpret_cast<unsigned char *>(scratch.data()), &count);
        QCOMPARE(count, uint32_t(n)); // the payload is as long as the text

        const QByteArray raw = encipherText(text, false);
        QByteArray restored(n, '\0');
        decipherPayload(raw.constData(), uint32_t(n), payloadKey(), false,
                        reinterpret_cast<unsigned char *>(restored.data()));
        QCOMPARE(restored, text);
    }
}

void TestPayloadCodec::base64Rfc4648_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("text");

    // RFC 4648, section 10.
    QTest::newRow("f") << QByteArray("f") << QByteArray("Zg==");
    QTest::newRow("fo") << QByteArray("fo") << QByteArray("Zm8=");
    QTest::newRow("foo") << QByteArray("foo") << QByteArray("Zm9v");
    QTest::newRow("foob") << QByteArray("foob") << QByteArray("Zm9vYg==");
    QTest::newRow("fooba") << QByteArray("fooba") << QByteArray("Zm9vYmE=");
    QTest::newRow("foobar") << QByteArray("foobar") << QByteArray("Zm9vYmFy");
    QTest::newRow("high bits") << QByteArray::fromHex("fbff00") << QByteArray("+/8A");
}

void TestPayloadCodec::base64Rfc4648()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, text);

    QCOMPARE(encode(data), text);
    const Decoded decoded = decode(text);
    QCOMPARE(decoded.count, uint32_t(data.size()));
    QCOMPARE(decoded.bytes, data);
}

void TestPayloadCodec::base64DecodeStops_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("empty") << QByteArray("") << QByteArray();
    QTest::newRow("CR LF ignored") << QByteArray("Zm9vYmE=\r\n") << QByteArray("fooba");
    QTest::newRow("unpadded two") << QByteArray("Zm9vYg") << QByteArray("foob");
    QTest::newRow("unpadded three") << QByteArray("Zm9vYmE") << QByteArray("fooba");
    QTest::newRow("lone character") << QByteArray("Zm9vY") << QByteArray("foo");
    QTest::newRow("invalid first") << QByteArray("Zm9v!mFy") << QByteArray("foo");
    QTest::newRow("invalid second") << QByteArray("Zm9vY!Fy") << QByteArray("foo");
    QTest::newRow("invalid third") << QByteArray("Zm9vYm!y") << QByteArray("foob");
    QTest::newRow("invalid fourth") << QByteArray("Zm9vYmF!Zm9v") << QByteArray("fooba");
    QTest::newRow("padding ends it") << QByteArray("Zg==Zm9v") << QByteArray("f");
}

void TestPayloadCodec::base64DecodeStops()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, data);

    const Decoded decoded = decode(text);
    QCOMPARE(decoded.count, uint32_t(data.size()));
    QCOMPARE(decoded.bytes, data);
}

void TestPayloadCodec::base64Alphabet()
{
    const QByteArray alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int c = 1; c < 256; ++c) {
        const char group[] = {char(c), 'A', '\0'};
        const Decoded decoded = decode(group);
        const int value = alphabet.indexOf(char(c));
        if (value < 0) {
            QVERIFY2(decoded.count == 0, qPrintable(QString::number(c)));
        } else {
            QCOMPARE(decoded.count, 1u);
            QCOMPARE(uchar(decoded.bytes[0]), uchar(value << 2));
        }
    }
}

void TestPayloadCodec::bufferSizes()
{
    for (uint32_t n = 1; n <= 300; ++n)
        QCOMPARE(base64EncodedLength(n), (n + 2) / 3 * 4);
    QCOMPARE(base64EncodedLength(0), 0u);

    for (uint32_t m = 0; m <= 300; ++m)
        QCOMPARE(decodedBufferSize(m), 3 * m / 4 + 1);
    // No overflow in 3 * m for large texts.
    QCOMPARE(decodedBufferSize(0xFFFFFFFFu), uint32_t(3ull * 0xFFFFFFFFu / 4 + 1));
}

void TestPayloadCodec::nullResults()
{
    const QByteArray sentinel(16, kGuard);
    QByteArray output = sentinel;
    QByteArray text = "{\"a\":1}";
    auto *textBytes = reinterpret_cast<unsigned char *>(text.data());
    auto *outBytes = reinterpret_cast<unsigned char *>(output.data());
    uint32_t count = 77;

    QVERIFY(!base64Encode(nullptr, 3, output.data(), &count));
    QVERIFY(!base64Encode(textBytes, 3, nullptr, &count));
    QVERIFY(!base64Encode(textBytes, 0, output.data(), &count));
    QVERIFY(!base64Decode(nullptr, outBytes, &count));
    QVERIFY(!base64Decode("Zm9v", nullptr, &count));
    QCOMPARE(count, 77u);

    QVERIFY(!encipherPayload(nullptr, 7, payloadKey(), true, output.data()));
    QVERIFY(!encipherPayload(textBytes, 7, nullptr, true, output.data()));
    QVERIFY(!encipherPayload(textBytes, 7, payloadKey(), true, nullptr));
    QVERIFY(!encipherPayload(textBytes, 0, payloadKey(), true, output.data()));
    QCOMPARE(text, QByteArray("{\"a\":1}")); // a refused call leaves the text alone

    QVERIFY(!decipherPayload(nullptr, 4, payloadKey(), true, outBytes));
    QVERIFY(!decipherPayload("Zm9v", 4, nullptr, true, outBytes));
    QVERIFY(!decipherPayload("Zm9v", 4, payloadKey(), true, nullptr));
    QCOMPARE(output, sentinel);

    // An empty text decodes to nothing, and the count says so.
    QVERIFY(base64Decode("", outBytes, &count));
    QCOMPARE(count, 0u);
    QVERIFY(decipherPayload("", 0, payloadKey(), true, outBytes));
    QCOMPARE(output, sentinel);
}

QTEST_APPLESS_MAIN(TestPayloadCodec)

#include "tst_payloadcodec.moc"
