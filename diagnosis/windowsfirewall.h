#pragma once

// Whether Windows Firewall lets the devices' replies in: UDP from anywhere to local port 10088,
// received by this program. Its profiles and inbound rules, as its policy object gives them
// (firewallreader_win.cpp), judged as the firewall judges a datagram: a profile that is off lets
// everything in; "block all incoming connections" keeps everything out; otherwise a block rule
// that matches wins over every allow rule, an allow rule lets the datagram in, and the profile's
// default decides the rest.

#include "diagnosis/firewallrules.h"

#include <QString>
#include <QVector>

// The rule that the installer adds, and that the doctor's fix adds again.
inline constexpr char kWindowsFirewallRule[] = "Tarnvale Manager (device replies, UDP 10088)";

namespace firewall {

struct WindowsProfile
{
    QString name;  // "Domain", "Private", "Public"
    int type = 0;  // its bit in the rules' profile mask (NET_FW_PROFILE2_*)
    bool enabled = true;
    bool blockAllInbound = false;
    bool blockInboundByDefault = true;
};

// An inbound rule, with the fields that decide whether it concerns the replies.
struct WindowsRule
{
    QString name;
    bool enabled = true;
    bool allow = true;
    int protocol = 256;                   // 17: UDP, 256: any
    QString localPorts = QStringLiteral("*"); // "*", "10088", "10000-10100,53"
    int profiles = 0x7fffffff;            // mask of WindowsProfile::type; all by default
    QString program;                      // the program's path; empty: every program
    QString remoteAddresses = QStringLiteral("*");
    QString interfaceTypes = QStringLiteral("All");
    bool someCards = false; // limited to cards named in the rule
};

// Whether the rule concerns the replies to `program` (its full path) under the profile: Maybe
// when it depends on the sender's address or the card, which are not judged here.
Applies windowsRuleApplies(const WindowsRule &rule, int profileType, const QString &program);

// "*", "10088", "10000-10100", "53,10080-10090"; the keywords (RPC, Teredo...) hold no UDP port.
bool windowsPortListContains(const QString &list, int port);

struct WindowsVerdict
{
    enum class Kind {
        Off,           // the profile is off
        AllBlocked,    // "block all incoming connections"
        Blocked,       // a block rule
        NotAllowed,    // no allow rule, and the profile blocks by default
        Allowed,       // an allow rule, or the profile lets in by default (rule empty)
    };
    Kind kind = Kind::Allowed;
    QString profile;
    QString rule;
    bool conditional = false; // it depends on conditions not judged here
};

// The verdict on the replies in each of the profiles in force.
QVector<WindowsVerdict> judgeWindowsFirewall(const QVector<WindowsProfile> &profiles,
                                             const QVector<WindowsRule> &rules, const QString &program);

} // namespace firewall
