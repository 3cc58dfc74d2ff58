#include "devicelink/payloadcodec.h"

#include <cstring>

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kDecipherStartSum = 0xC6EF3720u; // 32 * kDelta mod 2^32
constexpr int kCycles = 32;

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

uint32_t loadLittleEndian(const unsigned char *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void storeLittleEndian(uint32_t value, unsigned char *p)
{
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

void keyWords(const unsigned char key[16], uint32_t words[4])
{
    for (int i = 0; i < 4; ++i)
        words[i] = loadLittleEndian(key + 4 * i);
}

// The amount added to the tail byte at index j (0..6) of the tail: 32 * X mod 256.
// It depends on the position only, so deciphering subtracts the same amount.
unsigned char tailOffset(const unsigned char key[16], uint32_t j)
{
    const unsigned char t = static_cast<unsigned char>(kTailTable[j]);
    // Least significant byte of key word (j mod 4), read little-endian.
    const unsigned char k = key[4 * (j % 4)];
    const unsigned char a = static_cast<unsigned char>((t >> 3) + k);
    const unsigned char b = static_cast<unsigned char>(static_cast<unsigned char>(t << 2) + k);
    const unsigned char x = a ^ b;
    return static_cast<unsigned char>(x * 32u);
}

enum class Direction { Encipher, Decipher };

void transformPayload(unsigned char *data, uint32_t n, const unsigned char key[16], Direction direction)
{
    uint32_t words[4];
    keyWords(key, words);

    const uint32_t blockBytes = n - n % 8;
    for (uint32_t offset = 0; offset < blockBytes; offset += 8) {
        uint32_t block[2] = {loadLittleEndian(data + offset), loadLittleEndian(data + offset + 4)};
        if (direction == Direction::Encipher)
            teaEncipherBlock(block, words);
        else
            teaDecipherBlock(block, words);
        storeLittleEndian(block[0], data + offset);
        storeLittleEndian(block[1], data + offset + 4);
    }

    for (uint32_t p = blockBytes; p < n; ++p) {
        const unsigned char offset = tailOffset(key, p - blockBytes);
        if (direction == Direction::Encipher)
            data[p] = static_cast<unsigned char>(data[p] + offset);
        else
            data[p] = static_cast<unsigned char>(data[p] - offset);
    }
}

// Value of a base64 character, or -1 for anything outside the alphabet.
int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

void teaEncipherBlock(uint32_t block[2], const uint32_t key[4])
{
    uint32_t y = block[0];
    uint32_t z = block[1];
    uint32_t sum = 0;
    for (int i = 0; i < kCycles; ++i) {
        sum += kDelta;
        y += ((z << 4) + key[0]) ^ (z + sum) ^ ((z >> 5) + key[1]);
        z += ((y << 4) + key[2]) ^ (y + sum) ^ ((y >> 5) + key[3]);
    }
    block[0] = y;
    block[1] = z;
}

void teaDecipherBlock(uint32_t block[2], const uint32_t key[4])
{
    uint32_t y = block[0];
    uint32_t z = block[1];
    uint32_t sum = kDecipherStartSum;
    for (int i = 0; i < kCycles; ++i) {
        z -= ((y << 4) + key[2]) ^ (y + sum) ^ ((y >> 5) + key[3]);
        y -= ((z << 4) + key[0]) ^ (z + sum) ^ ((z >> 5) + key[1]);
        sum -= kDelta;
    }
    block[0] = y;
    block[1] = z;
}

char *base64Encode(const unsigned char *data, uint32_t length, char *output, uint32_t *outputLength)
{
    if (!data || !output || length == 0)
        return nullptr;

    char *out = output;
    uint32_t i = 0;
    for (; length - i >= 3; i += 3) {
        const unsigned b0 = data[i], b1 = data[i + 1], b2 = data[i + 2];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *out++ = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        *out++ = kAlphabet[b2 & 63];
    }
    const uint32_t rest = length - i;
    if (rest == 1) {
        const unsigned b0 = data[i];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[(b0 & 3) << 4];
        *out++ = '=';
        *out++ = '=';
    } else if (rest == 2) {
        const unsigned b0 = data[i], b1 = data[i + 1];
        *out++ = kAlphabet[b0 >> 2];
        *out++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *out++ = kAlphabet[(b1 & 15) << 2];
        *out++ = '=';
    }
    if (outputLength)
        *outputLength = static_cast<uint32_t>(out - output);
    return output;
}

unsigned char *base64Decode(const char *text, unsigned char *output, uint32_t *outputLength)
{
    if (!text || !output)
        return nullptr;

    uint32_t count = 0;
    const char *p = text;
    // Each character is read only after its predecessor proved not to be the terminating
    // zero (the zero itself is invalid and stops the loop), so nothing past it is read.
    while (*p != '\0') {
        const int c0 = base64Value(p[0]);
        if (c0 < 0)
            break;
        const int c1 = base64Value(p[1]);
        if (c1 < 0)
            break;
        output[count++] = static_cast<unsigned char>(((c0 << 2) | (c1 >> 4)) & 255);
        const int c2 = base64Value(p[2]);
        if (c2 < 0)
            break;
        output[count++] = static_cast<unsigned char>(((c1 << 4) | (c2 >> 2)) & 255);
        const int c3 = base64Value(p[3]);
        if (c3 < 0)
            break;
        output[count++] = static_cast<unsigned char>(((c2 << 6) | c3) & 255);
        p += 4;
    }
    if (outputLength)
        *outputLength = count;
    return output;
}

char *encipherPayload(unsigned char *text, uint32_t n, const unsigned char key[16], bool base64, char *output)
{
    if (!text || !key || !output)
        return nullptr;

    transformPayload(text, n, key, Direction::Encipher);
    if (base64)
        return base64Encode(text, n, output, nullptr);
    if (n > 0)
        std::memcpy(output, text, n);
    return output;
}

unsigned char *decipherPayload(const char *input, uint32_t length, const unsigned char key[16], bool base64,
                               unsigned char *output)
{
    if (!input || !key || !output)
        return nullptr;

    uint32_t payloadLength = length;
    if (base64) {
        base64Decode(input, output, &payloadLength);
    } else if (length > 0) {
        std::memcpy(output, input, length);
    }
    transformPayload(output, payloadLength, key, Direction::Decipher);
    return output;
}

uint32_t base64EncodedLength(uint32_t n)
{
    // The formula wraps for n == 0; there is nothing to encode then.
    if (n == 0)
        return 0;
    return ((n - 1) / 3) * 4 + 4;
}

uint32_t decodedBufferSize(uint32_t m)
{
    // 3 * m / 4 + 1, arranged so that 3 * m cannot overflow.
    return (m / 4) * 3 + (m % 4) * 3 / 4 + 1;
}
