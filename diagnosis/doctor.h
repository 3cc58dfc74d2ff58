#pragma once

// Why a search may find no device: the usual causes on this computer (the card, the route to
// the group, another program on the port, the firewall, reverse-path filtering, Wi-Fi, a
// virtual machine's NAT), each checked and told with its fix. The facts are read from the
// system in one place (gatherFacts); what they mean is decided by plain functions.

#include "diagnosis/firewallrules.h"
#include "diagnosis/portholder.h"

#include "diagnosis/networkcard.h" // defaultCardName()

#include <QString>
#include <QStringList>
#include <QVector>

struct DoctorFinding
{
    enum class Check { Card, Route, Port, Firewall, ReversePath, WiFi, VirtualMachine, Search };
    enum class Level { Ok, Warning, Problem }; // a warning names a likely cause; only a problem is wrong

    Check check = Check::Card;
    Level level = Level::Ok;
    const char *source = ""; // English, marked in the "NetworkDoctor" context; %1... are args
    QStringList args;

    // The window translates; the command line prints the English source.
    QString text(bool translated = false) const;
    // "card      problem: va has no IPv4 address, ..."
    QString line(bool translated = false) const;
};

struct Ipv4Net
{
    quint32 address = 0;
    int prefixLength = 32;
};

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
    QVector<Ipv4Net> ipv4;
};

struct RouteEntry // a line of /proc/net/route
{
    QString interfaceName;
    quint32 destination = 0;
    quint32 gateway = 0;
    quint32 mask = 0;
    int flags = 0;
    int metric = 0;
};

struct FirewallFacts
{
    QVector<firewall::Drop> drops;
    QStringList read;       // tools whose rules were read
    QString unreadable;     // why some rules could not be read: "nft: Operation not permitted; ..."
    bool firewalldRunning = false;
    QString firewalldZone;
    bool firewalldZoneOk = true;
    QString firewalldError;
};

struct NetworkFacts
{
    CardFacts card;
    QVector<RouteEntry> routes;
    QVector<PortHolder> portHolders;
    FirewallFacts firewall;
    int rpFilterAll = -1; // -1: unreadable
    int rpFilterCard = -1;
    QString hypervisor; // from the DMI names; empty on real hardware
};

// ---- readers of the system's listings (pure) ----

QVector<RouteEntry> parseProcNetRoute(const QByteArray &text);
// The route the kernel takes to `address` (longest prefix, then lowest metric), or -1.
int routeFor(const QVector<RouteEntry> &routes, quint32 address);
// A sysctl value as read from /proc/sys: 0, 1 or 2 for rp_filter; -1 when unreadable.
int parseRpFilter(const QByteArray &text);
// The hypervisor named by /sys/class/dmi/id/sys_vendor and product_name; empty for real hardware.
QString hypervisorFromDmi(const QString &sysVendor, const QString &productName);
// How an address looks like a virtual machine's NAT ("user-mode networking", the hypervisor's
// name), or empty when it does not. gateway: of the default route, 0 when none.
QString natLook(quint32 address, const QString &hypervisor, quint32 gateway);

// ---- decisions (pure) ----

bool cardUsable(const CardFacts &card); // exists, is up and has an IPv4 address
QVector<DoctorFinding> diagnose(const NetworkFacts &facts);
// The search's line: deviceCount < 0 when the search could not be made (failure says why),
// or when the card cannot be used (failure empty).
DoctorFinding searchFinding(const QString &card, int deviceCount, const QString &failure = QString());

// ---- the system ----

// Everything diagnose() needs, about the card named cardName (the default card when empty).
// Reads /proc and /sys, and runs nft, iptables-save and firewall-cmd where they are installed.
NetworkFacts gatherFacts(const QString &cardName);
// The findings without a search, for the window after a search that found nothing.
QVector<DoctorFinding> examineNetwork(const QString &cardName);
// One line per finding.
QString findingsReport(const QVector<DoctorFinding> &findings, bool translated);
