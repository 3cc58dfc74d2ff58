#include "commissioning/addressrules.h"

NewAddressCheck checkNewAddress(std::string_view text)
{
    Ipv4 address;
    switch (Ipv4::shapeOf(text, &address)) {
    case DottedQuadShape::NotFourParts:
        return NewAddressCheck::BadFormat;
    case DottedQuadShape::PartOutOfRange:
        return NewAddressCheck::PartOutOfRange;
    case DottedQuadShape::LeadingZero:
        return NewAddressCheck::LeadingZero;
    case DottedQuadShape::Plain:
        break;
    }
    return checkDeviceAddress(address);
}

NewAddressCheck checkNewAddress(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return checkNewAddress(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

NewAddressCheck checkDeviceAddress(Ipv4 address)
{
    const int first = address.part(0);
    if (first == 0)
        return NewAddressCheck::ThisNetwork;
    if (first == 127)
        return NewAddressCheck::Loopback;
    if (first == 169 && address.part(1) == 254)
        return NewAddressCheck::LinkLocal;
    if (first >= 224 && first <= 239)
        return NewAddressCheck::Multicast;
    if (first >= 240)
        return NewAddressCheck::Reserved;
    if (address.part(3) == 0)
        return NewAddressCheck::NetworkAddress;
    if (address.part(3) == 255)
        return NewAddressCheck::BroadcastAddress;
    return NewAddressCheck::Usable;
}

bool isUnusable(NewAddressCheck check)
{
    return check != NewAddressCheck::Usable && check != NewAddressCheck::BadFormat
           && check != NewAddressCheck::PartOutOfRange;
}

bool inDeviceRange(Ipv4 address)
{
    const NewAddressCheck check = checkDeviceAddress(address);
    return check == NewAddressCheck::Usable || check == NewAddressCheck::NetworkAddress
           || check == NewAddressCheck::BroadcastAddress;
}

bool isPlainDottedQuad(std::string_view text)
{
    return Ipv4::fromText(text).has_value();
}
