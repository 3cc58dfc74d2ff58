#include "commissioning/ipv4address.h"

#include <vector>

namespace {

std::vector<std::string> splitAtDots(const std::string &text)
{
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == '.')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts;
}

bool isDigits(const std::string &text)
{
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The decimal value of a part of one to three digits, or -1.
int partValue(const std::string &part)
{
    if (!isDigits(part) || part.size() > 3)
        return -1;
    const int value = std::stoi(part);
    return value <= 255 ? value : -1;
}

} // namespace

NewAddressCheck checkNewAddress(const std::string &text)
{
    const std::vector<std::string> parts = splitAtDots(text);
    if (parts.size() != 4)
        return NewAddressCheck::BadFormat;

    int value[4];
    for (int i = 0; i < 4; ++i) {
        // Long runs of leading zeros still name a number from 0 to 255.
        const std::string &part = parts[std::size_t(i)];
        const std::size_t firstSignificant = part.find_first_not_of('0');
        const std::string trimmed = firstSignificant == std::string::npos ? "0" : part.substr(firstSignificant);
        value[i] = isDigits(part) ? partValue(trimmed) : -1;
        if (value[i] < 0)
            return NewAddressCheck::PartOutOfRange;
    }

    if (!isPlainDottedQuad(text))
        return NewAddressCheck::LeadingZero;
    if (value[0] == 0)
        return NewAddressCheck::ThisNetwork;
    if (value[0] == 127)
        return NewAddressCheck::Loopback;
    if (value[0] == 169 && value[1] == 254)
        return NewAddressCheck::LinkLocal;
    if (value[0] >= 224 && value[0] <= 239)
        return NewAddressCheck::Multicast;
    if (value[0] >= 240)
        return NewAddressCheck::Reserved;
    if (value[3] == 0)
        return NewAddressCheck::NetworkAddress;
    if (value[3] == 255)
        return NewAddressCheck::BroadcastAddress;
    return NewAddressCheck::Usable;
}

bool isUnusable(NewAddressCheck check)
{
    return check != NewAddressCheck::Usable && check != NewAddressCheck::BadFormat
           && check != NewAddressCheck::PartOutOfRange;
}

bool isPlainDottedQuad(const std::string &text)
{
    const std::vector<std::string> parts = splitAtDots(text);
    if (parts.size() != 4)
        return false;
    for (const std::string &part : parts) {
        if (partValue(part) < 0 || (part.size() > 1 && part[0] == '0'))
            return false;
    }
    return true;
}
