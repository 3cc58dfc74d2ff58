#pragma once

// How a device packs a message into a datagram: TEA (32 cycles) over each whole 8-byte
// block, a keyed byte transform over the 0..7 bytes after the last block, then base64 and
// CR LF. Written as a device's firmware would have it, apart from the tool's own codec, so
// that a fault on either side shows in the tests instead of agreeing with itself.

#include <QByteArray>

namespace SimCodec {

// Every device and the tool share this key, in both directions.
inline constexpr char kKey[] = "Kq7vRb2LmX9pTz4W";

// The length never changes; key holds 16 bytes.
QByteArray encipher(QByteArray payload, const QByteArray &key = kKey);
QByteArray decipher(QByteArray payload, const QByteArray &key = kKey);

// Standard alphabet, "=" padding, no line breaks.
QByteArray toBase64(const QByteArray &data);
// Stops at the first character outside the alphabet: the padding, the CR LF, anything else.
QByteArray fromBase64(const QByteArray &text);

// A whole datagram: enciphered, base64, CR LF. Empty for an empty text.
QByteArray toWire(const QByteArray &text, const QByteArray &key = kKey);
QByteArray fromWire(const QByteArray &datagram, const QByteArray &key = kKey);

} // namespace SimCodec
