#pragma once

// What the doctor knows of this computer: read from the system by the readers of each platform,
// judged by the doctor's plain functions.

#include "diagnosis/firewallrules.h"
#include "diagnosis/ipv4.h"
#include "diagnosis/portholder.h"
#include "diagnosis/windowsfirewall.h"

#include <QString>
#include <QStringList>
#include <QVector>

struct CardFacts
{
    QString name;
    QStringList known; // every card's name, for one that does not exist
    bool exists = false;
    bool up = false;
    bool running = false; // has a link
    bool loopback = false;
    bool multicast = false;
    bool wireless = false;
    QVector<Ipv4Subnet> ipv4;
};

// Where the kernel would send a datagram, as it answers itself (policy rules included).
struct KernelRoute
{
    enum class State { Unknown, None, Found };
    State state = State::Unknown;
    QString device; // when Found
    QString table;  // the routing table it was found in, when not the main one
    QString why;    // when None or Unknown: the kernel's or the tool's words
    QString gateway;
};

struct RouteFacts
{
    KernelRoute group;          // to 239.0.0.100, as a program that names no card sends it
    quint32 defaultGateway = 0; // of the default route through the card; 0 when none
    bool policyRules = false;   // rules beyond the kernel's own three choose the tables
};

// Whether the kernel lets in a reply that arrives on the card, asked for two senders: one of the
// card's own subnet and one outside all of them (devices set up elsewhere).
struct ReversePathFacts
{
    enum class Verdict { Unknown, Passes, Dropped };
    int all = -1; // the rp_filter values; -1: unreadable
    int card = -1;
    Verdict neighbour = Verdict::Unknown;
    Verdict outsider = Verdict::Unknown;
    bool neighbourRouted = false; // some route leads back to the sender: loose filtering lets it in
    bool outsiderRouted = false;
    qint64 droppedDuringSearch = -1; // replies the filter dropped while the doctor searched; -1: no search
};

struct FirewallFacts
{
    // Linux: where nftables or iptables drop the datagrams, and firewalld's zone.
    QVector<firewall::Drop> drops;
    QStringList read;   // tools whose rules were read
    QString unreadable; // why some rules could not be read: "nft: Operation not permitted; ..."
    bool firewalldRunning = false;
    QString firewalldZone;
    bool firewalldZoneOk = true;
    QString firewalldError;
    // Windows: Windows Firewall's verdict in each profile in force.
    QVector<firewall::WindowsVerdict> windows;
};

// Whose commands the fixes are: the checks are the same where the system has them.
enum class HostSystem { Linux, Windows };

struct NetworkFacts
{
    HostSystem system = HostSystem::Linux;
    CardFacts card;
    RouteFacts routes;
    QVector<PortHolder> portHolders; // of the other programs
    FirewallFacts firewall;
    ReversePathFacts reversePath; // Linux alone: Windows has no reverse-path filter
    QString hypervisor; // from the machine's firmware names; empty on real hardware
};
