#pragma once

// IPv4 addresses and subnets as values: read from a plain dotted quad, printed, ordered and
// hashed, so that every rule about addresses works on numbers and none parses text again.
// Which numbers a device may take is commissioning's (commissioning/addressrules.h).

#include <QHashFunctions>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

// How a text is shaped as a dotted quad.
enum class DottedQuadShape {
    Plain,          // four decimal parts of 0 to 255 with no sign, blank or leading zero
    NotFourParts,   // not four dot-separated parts
    PartOutOfRange, // a part that is not a number from 0 to 255
    LeadingZero,    // numbers from 0 to 255, one written with a leading zero (read as octal by many)
};

class Ipv4
{
public:
    constexpr Ipv4() = default;
    constexpr explicit Ipv4(quint32 number) : number(number) {}

    // The address of a plain dotted quad; nothing for any other text, so that the text names
    // the same host for every reader.
    static std::optional<Ipv4> fromText(std::string_view text);
    static std::optional<Ipv4> fromText(const QString &text);
    // The shape of a text; *address gets the number when every part is one (Plain, LeadingZero).
    static DottedQuadShape shapeOf(std::string_view text, Ipv4 *address = nullptr);

    constexpr quint32 toNumber() const { return number; }
    // The parts from the left, 0 to 3.
    constexpr int part(int index) const { return int(number >> (8 * (3 - index)) & 0xFF); }
    QString toString() const;

    friend constexpr bool operator==(Ipv4 a, Ipv4 b) { return a.number == b.number; }
    friend constexpr bool operator!=(Ipv4 a, Ipv4 b) { return a.number != b.number; }
    friend constexpr bool operator<(Ipv4 a, Ipv4 b) { return a.number < b.number; }
    friend constexpr bool operator<=(Ipv4 a, Ipv4 b) { return a.number <= b.number; }
    friend constexpr bool operator>(Ipv4 a, Ipv4 b) { return a.number > b.number; }
    friend constexpr bool operator>=(Ipv4 a, Ipv4 b) { return a.number >= b.number; }

private:
    quint32 number = 0;
};

inline uint qHash(Ipv4 address, uint seed = 0)
{
    return ::qHash(address.toNumber(), seed);
}

// Address texts in the order a person expects: plain addresses first, by number; any other
// text after them, by its characters.
bool addressTextLess(const QString &a, const QString &b);

// An address with its prefix length, as a network card holds it: the card's own address and
// the subnet it lies in.
struct Ipv4Subnet
{
    Ipv4 address;
    int prefixLength = 32;

    Ipv4 network() const;
    bool contains(Ipv4 other) const;
};
