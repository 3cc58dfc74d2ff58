#pragma once

// Why a search may find no device: the usual causes on this computer (the card, the route to
// the group, another program on the port, the firewall, reverse-path filtering, Wi-Fi, a
// virtual machine's NAT), each checked and told with its fix. The facts are read from the
// system in one place (gatherFacts); what they mean is decided by plain functions.
//
// A fix is the last part of its line, after "Fix: ". A command there works when typed as
// printed; a word in capitals (ADDRESS, PREFIX) is to be filled in, as the line says, since no
// address chosen here would be right on the operator's network.

#include "diagnosis/networkfacts.h"

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

// The hypervisor named by the machine's firmware (on Linux /sys/class/dmi/id/sys_vendor and
// product_name); empty for real hardware.
QString hypervisorFromDmi(const QString &sysVendor, const QString &productName);
// How an address looks like a virtual machine's NAT ("user-mode networking", the hypervisor's
// name), or empty when it does not. gateway: of the default route, 0 when none.
QString natLook(quint32 address, const QString &hypervisor, quint32 gateway);

// ---- decisions (pure) ----

struct NetworkCard;
// The card to examine when the operator names none: the one a search would choose, else the
// first other card that is up, else the first other card; empty when there is only loopback.
QString cardToExamine(const QVector<NetworkCard> &cards);
bool cardUsable(const CardFacts &card); // exists, is up and has an IPv4 address
QVector<DoctorFinding> diagnose(const NetworkFacts &facts);
// The search's line: deviceCount < 0 when the search could not be made (failure says why),
// or when the card cannot be used (failure empty).
DoctorFinding searchFinding(const QString &card, int deviceCount, const QString &failure = QString());

// ---- the system ----

// Everything diagnose() needs, about the card named cardName (cardToExamine when empty), from
// the readers of this platform (routereader.h, firewallreader.h, hostreader.h, portholder.h).
NetworkFacts gatherFacts(const QString &cardName);
// The findings without a search, for the window after a search that found nothing.
QVector<DoctorFinding> examineNetwork(const QString &cardName);
// One line per finding.
QString findingsReport(const QVector<DoctorFinding> &findings, bool translated);
