#include "payloadcodec.h"

#include <QtTest>

#include <memory>

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

QByteArray decipherRaw(const QByteArray &payload, const char *key = kPayloadKey)
{
    QByteArray restored(payload.size(), '\0');
    decipherPayload(payload.constData(), uint32_t(payload.size()), reinterpret_cast<const unsigned char *>(key), false,
                    reinterpret_cast<unsigned char *>(restored.data()));
    return restored;
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

} // namespace

class TestPayloadCodec : public QObject
{
    Q_OBJECT

private slots:
    void knownAnswers_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("cipher");

        // TEA: the Linux kernel's crypto/testmgr.h tea_enc_tv_template, little-endian words as the
        // codec reads them; longer texts are independent blocks. The tail, worked by hand: with t
        // the table character and k the low byte of key word j mod 4, X = ((t >> 3) + k) ^ ((t << 2)
        // + k) in bytes, and tail byte j grows by 32 * X mod 256: 0x60 0xC0 0x80 0x20 0xE0 0x00 0x60.
        QTest::newRow("zero key, zero block") << QByteArray(16, '\0') << QByteArray(8, '\0') << QByteArray::fromHex("0a3aea4140a9ba94");
        QTest::newRow("one block") << QByteArray::fromHex("2b02056806144976775d0e266c287843") << QByteArray("test me.") << QByteArray::fromHex("775d2a6af6ce9209");
        QTest::newRow("two blocks") << QByteArray::fromHex("0965431166443925513a16100a08126e") << QByteArray("longer_test_vect") << QByteArray::fromHex("be7abb81952d1f1edd89a1250421df95");
        QTest::newRow("four blocks") << QByteArray::fromHex("4d763217053f752c5d0416361572632f") << QByteArray("Tea is good for you!!! really!!!") << QByteArray::fromHex("e04d5d3cb78c364794189591a9fc49f844d12dc299b8082a078973c24592c690");
        QTest::newRow("seven tail bytes") << QByteArray(kPayloadKey) << QByteArray("abcdefg") << QByteArray::fromHex("c122e3844566c7");
        QTest::newRow("wrapping tail byte") << QByteArray(kPayloadKey) << QByteArray::fromHex("ff") << QByteArray::fromHex("5f");
        QTest::newRow("tail after a block") << QByteArray(kPayloadKey) << QByteArray("12345678x") << QByteArray::fromHex("c6160ff7e41a38bfd8");
    }

    void knownAnswers()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, cipher);
        QCOMPARE(encipherText(plain, false, key.constData()).toHex(), cipher.toHex());
        QCOMPARE(decipherRaw(cipher, key.constData()).toHex(), plain.toHex());
    }

    void wireKnownAnswer()
    {
        // From an independent implementation: 62 bytes, so 7 blocks, a 6-byte tail and one "=".
        const QByteArray request = R"({"cmd":"calludp","syn":"Ab3dE6gH","data":{"callcmd":"search"}})";
        const QByteArray wire = "h4dNS3ZWDRRqGbwwU+L0OYFsi/4fZOW+YH+eABXPX4I3tpBygigIC2yyyZMbfu1qOR2JD9pVYlrSI+hCXX0=";
        QCOMPARE(encipherText(request, true), wire);
        QByteArray output(int(decodedBufferSize(uint32_t(wire.size()))), '\0');
        QVERIFY(decipherPayload(wire + "\r\n", 0, reinterpret_cast<const unsigned char *>(kPayloadKey), true,
                                reinterpret_cast<unsigned char *>(output.data())));
        QCOMPARE(output, request.leftJustified(output.size(), '\0'));
    }

    void base64_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("encodes"); // text is also what data encodes to

        // RFC 4648, section 10, and where decoding stops.
        QTest::newRow("f") << QByteArray("Zg==") << QByteArray("f") << true;
        QTest::newRow("fo") << QByteArray("Zm8=") << QByteArray("fo") << true;
        QTest::newRow("foo") << QByteArray("Zm9v") << QByteArray("foo") << true;
        QTest::newRow("foobar") << QByteArray("Zm9vYmFy") << QByteArray("foobar") << true;
        QTest::newRow("high bits") << QByteArray("+/8A") << QByteArray::fromHex("fbff00") << true;
        QTest::newRow("empty") << QByteArray("") << QByteArray("") << false;
        QTest::newRow("CR LF ignored") << QByteArray("Zm9vYmE=\r\n") << QByteArray("fooba") << false;
        QTest::newRow("unpadded two") << QByteArray("Zm9vYg") << QByteArray("foob") << false;
        QTest::newRow("unpadded three") << QByteArray("Zm9vYmE") << QByteArray("fooba") << false;
        QTest::newRow("invalid first") << QByteArray("Zm9v!mFy") << QByteArray("foo") << false;
        QTest::newRow("invalid third") << QByteArray("Zm9vYm!y") << QByteArray("foob") << false;
        QTest::newRow("invalid fourth") << QByteArray("Zm9vYmF!Zm9v") << QByteArray("fooba") << false;
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
    }
};

QTEST_APPLESS_MAIN(TestPayloadCodec)
#include "tst_payloadcodec.moc"
