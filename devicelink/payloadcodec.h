#pragma once

// Payload codec of the device protocol: TEA (32 cycles, no chaining) over the 8-byte
// blocks, a keyed byte transform over the 0..7 tail bytes, and standard base64.
// Works in place on caller buffers and allocates nothing.

#include <cstdint>

// The one key every device shares, for both directions.
inline constexpr char kPayloadKey[] = "Kq7vRb2LmX9pTz4W";
// Only its first seven characters take part in the tail transform.
inline constexpr char kTailTable[] = "hufomekra";

void teaEncipherBlock(uint32_t block[2], const uint32_t key[4]);
void teaDecipherBlock(uint32_t block[2], const uint32_t key[4]);

// Writes exactly 4 * ceil(length / 3) characters and no terminator.
// Null when data or output is null or length is 0.
char *base64Encode(const unsigned char *data, uint32_t length, char *output, uint32_t *outputLength);

// Decodes up to the first character outside the alphabet ("=", CR, LF and the
// terminating zero among them) and never reads past the terminating zero.
// Null when text or output is null. Writes no terminator.
unsigned char *base64Decode(const char *text, unsigned char *output, uint32_t *outputLength);

// Enciphers text in place over n bytes (so the text is destroyed), then base64-encodes
// it into output, or copies the n bytes there when base64 is off.
char *encipherPayload(unsigned char *text, uint32_t n, const unsigned char key[16], bool base64, char *output);

// Decodes input into output (base64 on: the decoded count is the payload length and
// length is unused; off: copies length bytes), then deciphers output in place.
unsigned char *decipherPayload(const char *input, uint32_t length, const unsigned char key[16], bool base64,
                               unsigned char *output);

// Base64 length L of an n-byte payload (0 for n == 0); the send buffer holds L + 3
// bytes for the CR LF and a terminating zero.
uint32_t base64EncodedLength(uint32_t n);
// Output buffer for an m-character received text: room for the payload and a zero.
uint32_t decodedBufferSize(uint32_t m);
