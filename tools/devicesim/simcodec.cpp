#include "tools/devicesim/simcodec.h"

#include <QtEndian>

#include <array>

namespace {

using KeyWords = std::array<quint32, 4>;

constexpr quint32 kDelta = 0x9E3779B9;
constexpr int kCycles = 32;
// Tail byte j is shifted by a value made from character j; a tail is at most 7 bytes long,
// so the last two characters never take part.
constexpr char kTailTable[] = "hufomekra";
const QByteArray kAlphabet = QByteArrayLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");

KeyWords keyWords(const QByteArray &key)
{
    const QByteArray bytes = key.leftJustified(16, '\0', true);
    KeyWords words;
    for (int i = 0; i < 4; ++i)
        words[i] = qFromLittleEndian<quint32>(bytes.constData() + 4 * i);
    return words;
}

void encipherBlock(quint32 &y, quint32 &z, const KeyWords &k)
{
    quint32 sum = 0;
    for (int i = 0; i < kCycles; ++i) {
        sum += kDelta;
        y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    }
}

void decipherBlock(quint32 &y, quint32 &z, const KeyWords &k)
{
    quint32 sum = kDelta * kCycles;
    for (int i = 0; i < kCycles; ++i) {
        z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
        y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
        sum -= kDelta;
    }
}

// What tail byte j gains when enciphered: X added 32 times, all in bytes.
quint8 tailShift(int j, quint32 keyWord)
{
    const quint8 t = quint8(kTailTable[j]);
    const quint8 k = quint8(keyWord);
    const quint8 x = quint8(quint8((t >> 3) + k) ^ quint8(quint8(t << 2) + k));
    return quint8(32 * x);
}

QByteArray transform(QByteArray payload, const QByteArray &key, bool forward)
{
    const KeyWords k = keyWords(key);
    char *bytes = payload.data();
    const int blockBytes = payload.size() / 8 * 8;
    for (int at = 0; at < blockBytes; at += 8) {
        quint32 y = qFromLittleEndian<quint32>(bytes + at);
        quint32 z = qFromLittleEndian<quint32>(bytes + at + 4);
        if (forward)
            encipherBlock(y, z, k);
        else
            decipherBlock(y, z, k);
        qToLittleEndian(y, bytes + at);
        qToLittleEndian(z, bytes + at + 4);
    }
    for (int at = blockBytes; at < payload.size(); ++at) {
        const quint8 shift = tailShift(at % 8, k[at % 4]);
        bytes[at] = char(forward ? quint8(bytes[at]) + shift : quint8(bytes[at]) - shift);
    }
    return payload;
}

} // namespace

namespace SimCodec {

QByteArray encipher(QByteArray payload, const QByteArray &key)
{
    return transform(std::move(payload), key, true);
}

QByteArray decipher(QByteArray payload, const QByteArray &key)
{
    return transform(std::move(payload), key, false);
}

QByteArray toBase64(const QByteArray &data)
{
    QByteArray text;
    text.reserve((data.size() + 2) / 3 * 4);
    for (int at = 0; at < data.size(); at += 3) {
        const int left = qMin(data.size() - at, 3);
        quint32 group = 0;
        for (int i = 0; i < 3; ++i)
            group = group << 8 | (i < left ? quint8(data.at(at + i)) : 0);
        // One byte makes two characters, two bytes three, three bytes four.
        for (int i = 0; i < 4; ++i)
            text += i <= left ? kAlphabet.at(int(group >> (18 - 6 * i) & 63)) : '=';
    }
    return text;
}

QByteArray fromBase64(const QByteArray &text)
{
    QByteArray data;
    quint32 buffer = 0;
    int bits = 0;
    for (const char c : text) {
        const int value = kAlphabet.indexOf(c);
        if (value < 0)
            break;
        buffer = (buffer << 6 | quint32(value)) & 0xFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            data += char(buffer >> bits);
        }
    }
    return data;
}

QByteArray toWire(const QByteArray &text, const QByteArray &key)
{
    return text.isEmpty() ? QByteArray() : toBase64(encipher(text, key)) + "\r\n";
}

QByteArray fromWire(const QByteArray &datagram, const QByteArray &key)
{
    return decipher(fromBase64(datagram), key);
}

} // namespace SimCodec
