#include "diagnosis/ipv4.h"

#include <algorithm>

namespace {

quint32 maskOf(int prefixLength)
{
    return prefixLength <= 0 ? 0 : ~quint32(0) << (32 - qMin(prefixLength, 32));
}

} // namespace

DottedQuadShape Ipv4::shapeOf(std::string_view text, Ipv4 *address)
{
    if (std::count(text.cbegin(), text.cend(), '.') != 3)
        return DottedQuadShape::NotFourParts;
    quint32 value = 0;
    bool leadingZero = false;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('.', start), text.size());
        const std::string_view part = text.substr(start, end - start);
        // Long runs of leading zeros still name a number from 0 to 255.
        int partValue = part.empty() ? 256 : 0;
        for (const char c : part) {
            if (c < '0' || c > '9')
                return DottedQuadShape::PartOutOfRange;
            partValue = qMin(partValue * 10 + (c - '0'), 256);
        }
        if (partValue > 255)
            return DottedQuadShape::PartOutOfRange;
        leadingZero = leadingZero || (part.size() > 1 && part.front() == '0');
        value = value << 8 | quint32(partValue);
        start = end + 1;
    }
    if (address)
        *address = Ipv4(value);
    return leadingZero ? DottedQuadShape::LeadingZero : DottedQuadShape::Plain;
}

std::optional<Ipv4> Ipv4::fromText(std::string_view text)
{
    Ipv4 address;
    if (shapeOf(text, &address) != DottedQuadShape::Plain)
        return std::nullopt;
    return address;
}

std::optional<Ipv4> Ipv4::fromText(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return fromText(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QString Ipv4::toString() const
{
    return QStringLiteral("%1.%2.%3.%4").arg(part(0)).arg(part(1)).arg(part(2)).arg(part(3));
}

bool addressTextLess(const QString &a, const QString &b)
{
    const std::optional<Ipv4> left = Ipv4::fromText(a);
    const std::optional<Ipv4> right = Ipv4::fromText(b);
    if (left && right)
        return *left < *right;
    if (left || right)
        return bool(left);
    return a < b;
}

Ipv4 Ipv4Subnet::network() const
{
    return Ipv4(address.toNumber() & maskOf(prefixLength));
}

bool Ipv4Subnet::contains(Ipv4 other) const
{
    return (other.toNumber() & maskOf(prefixLength)) == network().toNumber();
}
