#pragma once

// Looks for hosts that are no device at the addresses a plan hands out, before anything is
// sent, without privileges: a TCP connection attempt to port 80 of every address at once
// (connected or refused: a host is there), then the system's neighbour table (a complete
// entry on the card means that a host answered the address resolution, even if it drops the
// connection attempt). The probes of up to kMostConnectionsAtOnce addresses share one
// deadline of kProbeMs; more take that time again for each such slice.
//
// Only addresses inside one of the card's own IPv4 subnets are probed, from the card's
// address in that subnet, so that the attempt goes out through that card's own route and
// never through another card or a default route. What the probe cannot see: a host that
// answers neither address resolution nor port 80 within the deadline (switched off,
// asleep, or firewalled against both); an address outside the card's subnets (not
// probed: the warning for such addresses stands); a host that takes the address after the
// probe. A neighbour entry left from a host that went away shortly before counts as a host
// (refused on the safe side).
//
//     const PlanCheck check = checkPlanOnCard(plan, devices, card); // checkPlan with the probe's findings

#include "commissioning/addressplan.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

inline constexpr int kProbeMs = 300;

// The IPv4 subnets of the card with this name (as the card box names it); none when there
// is no such card or it has no IPv4 address.
QVector<Ipv4Subnet> cardSubnets(const QString &card);

enum class ProbeResult {
    NotProbed, // outside the card's subnets
    Silent,    // nothing answered within the deadline
    Answered,  // a connection was accepted or refused
    Neighbour, // a complete neighbour entry on the card
};

// Probes the targets, kMostConnectionsAtOnce at once; returns within kProbeMs per slice (plus
// reading the neighbour table).
QHash<QString, ProbeResult> probeHosts(const QString &card, const QStringList &targets);

// The targets at which probeHosts() found a host (Answered or Neighbour): checkPlan()'s
// hostsAnswering.
QSet<QString> answeringHosts(const QString &card, const QStringList &targets);

// One row of /proc/net/arp ("IP address  HW type  Flags  HW address  Mask  Device"): the
// address when the entry is complete (flag 0x2) and on this device; empty otherwise.
QString completeNeighbour(const QString &row, const QString &device);

// checkPlan() as the command line and the window run it: the card's subnets for the
// warning, and a probe of the free addresses that Ready rows would take.
PlanCheck checkPlanOnCard(const QVector<PlanRow> &plan, const QVector<FoundDevice> &devices, const QString &card);

// generatePlan() for devices on this card: the card's own addresses are taken, and so is
// every address handed out at which the probe finds a host (the plan is made again without
// it), so that the plan's checks pass the plan unchanged.
GeneratedPlan generatePlanOnCard(const QVector<FoundDevice> &devices, PlanRequest request, const QString &card);
