#pragma once

// Address plans without any network traffic: the devices of a search as records, the
// verdict on each row of a plan before anything is sent, the order in which each address
// is freed before it is taken, the plan generator, and the verification of a change from a
// later search. One rule for the command line (plan, apply, undo, set-ip, activate) and the
// window's batch of changes alike.
//
// Checking a plan (the probe of hostprobe.h included; the run itself: batchrun.h):
//
//     const QVector<FoundDevice> devices = foundDevices(search.json.get());
//     const PlanCheck check = checkPlanOnCard(plan, devices, card);
//     for (int i = 0; i < plan.size(); ++i) {
//         show(plan[i], verdictText(check.verdicts[i], plan[i], translate));
//         if (check.verdicts[i].outsideCard)
//             warn(outsideCardText(plan[i].newIp, card, translate));
//     }
//     // check.order: the rows that may run, in the order that frees each address in time
//
// Generating one ("plan --from", the window's "First address"):
//
//     PlanRequest request;
//     request.from = "192.168.1.100";
//     const GeneratedPlan generated = generatePlan(devices, request);
//     if (generated.problem != GeneratedPlan::None)
//         refuse(generatorText(generated, request, translate));
//
// Texts come as English sources; translate = true passes them through the "ORV_Window"
// context (the window), false keeps the English (the command line).

#include "commissioning/addressrules.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cjson/cJSON.h>

#include <optional>

// One row of a batch plan: which device (by serial number) is to get which address.
struct PlanRow
{
    int line = 0; // where the row starts in its file, from 1
    QString sn;
    QString newIp;
    QString password; // empty: the password given to the program
};

// One entry of a search's device array.
struct FoundDevice
{
    QString ip;
    QString sn;
    QString mac;
    QString model;
    QString active; // the reported activation state
};

// The entries in the order of the array; absent members are empty.
QVector<FoundDevice> foundDevices(const cJSON *array);

// How many devices answer at each address. Devices without an address (empty, or the
// tables' placeholder for an absent member) share nothing.
QHash<QString, int> devicesPerAddress(const QStringList &addresses);

// Whether a device's reported activation state ("Active_state") marks it as activated:
// "active" in any letter case, blanks around it allowed. Other devices are activated first.
bool isActivatedState(const QString &activeState);

// What is to be done with a row, decided before anything is sent.
enum class RowCheck {
    Ready,
    AlreadyThere,         // the device answers at its new address already
    NotFound,             // no device of the search has this serial number
    SerialAtTwoAddresses, // two devices answer with this serial number: neither can be addressed alone
    UnusableAddress,      // the address rules refuse the new address
    SerialTwice,          // another row of the plan names the same device
    AddressTwice,         // another row of the plan gives the same address
    InUse,                // a device of the search holds the address and does not move away in this plan
    Cycle,                // rows that take each other's addresses (refused, see checkPlan)
    HostAnswers,          // a host that is no device answers at the address (hostprobe.h)
};

// Refused because the address is or would be taken (the "conflict" of reports and tables).
bool isConflict(RowCheck check);

struct RowVerdict
{
    RowCheck check = RowCheck::Ready;
    int device = -1;                                   // index in the devices of the row's device
    NewAddressCheck address = NewAddressCheck::Usable; // UnusableAddress: why
    QStringList addresses;                             // SerialAtTwoAddresses: where the serial answers
    int otherLine = 0;                                 // SerialTwice, AddressTwice: the first other line
    QString holderSn, holderMac;                       // InUse: the device that keeps the address
    QVector<int> cycleLines;                           // Cycle: every line of the cycle, ascending
    bool outsideCard = false; // warning: no IPv4 subnet of the card holds the new address
};

struct PlanCheck
{
    QVector<RowVerdict> verdicts; // one per plan row, in plan order
    QVector<int> order;           // the Ready rows (indices into the plan) in the order to run them
};

// The verdict on every row, in this precedence: unusable address, serial number or address
// given twice, serial number not found, heard from two addresses, already at the address,
// address held, cycle, host answering. A device of the search at the new address (whatever
// its serial number) must move away in this plan, in a row that is itself Ready, or the row
// is InUse; the row then runs after the row that moves it away (chains of any length, the
// plan's order otherwise). Rows that take each other's addresses, directly or around a
// ring, are all refused as Cycle: breaking a ring needs a temporary address, which would
// change a device twice and leave it at an address nobody planned should the run stop
// halfway; the operator moves one device of the ring to a free address first. A row that
// waits for a refused row is refused as InUse, naming the device that stays. hostsAnswering
// holds the free addresses at which the probe found a host.
PlanCheck checkPlan(const QVector<PlanRow> &plan, const QVector<FoundDevice> &devices,
                    const QVector<Ipv4Subnet> &cardSubnets, const QSet<QString> &hostsAnswering = {});

// The new addresses worth probing for hosts that are no device: those of Ready rows that
// no device of the search holds, each once.
QStringList probeTargets(const QVector<PlanRow> &plan, const PlanCheck &check,
                         const QVector<FoundDevice> &devices);

// One sentence for the operator about the row.
QString verdictText(const RowVerdict &verdict, const PlanRow &row, bool translate);
// The warning for a new address outside the card's subnets.
QString outsideCardText(const QString &newIp, const QString &card, bool translate);

// What the plan generator is asked for.
enum class PlanOrder { Listed, Mac, Sn, Ip };
enum class ActiveFilter { All, Inactive, Active };

struct PlanRequest
{
    QString from;
    QString to;                        // empty: up to .254 of from's /24
    PlanOrder order = PlanOrder::Listed;
    ActiveFilter only = ActiveFilter::All;
    QString model;                     // empty: any; else the model contains it, letter case ignored
    bool keepInside = true;            // devices already inside the range keep their address
    QSet<QString> serials;             // empty: any; else only devices with these serial numbers
    QSet<Ipv4> taken;           // held by what is no device of the search (the card, hosts)
};

struct GeneratedPlan
{
    enum Problem { None, BadFrom, BadTo, Backwards, NoDevice, TooSmall } problem = None;
    QVector<PlanRow> rows; // lines from 2, as printed under the header "sn,new_ip"
    QString last;          // the range's last address
    int needed = 0;        // devices that need a new address
    int free = 0;          // addresses the range offers them (counted up to `needed`)
};

// Consecutive addresses from `from` for the chosen devices, in the chosen order, one row
// per serial number. Skipped: every address held by any device of the search or taken, and
// the .0, .1 and .255 of every /24; the range also ends where the addresses stop being usable
// (loopback, multicast, ...). A chosen device already at an address of the range that the
// generator could have picked keeps it (its row names that address, so apply skips it),
// unless keepInside is false; a device that shares its address with another, or whose
// serial number is heard from two addresses, never keeps it.
GeneratedPlan generatePlan(const QVector<FoundDevice> &devices, const PlanRequest &request);
// The refusal, in one sentence; empty when there is none.
QString generatorText(const GeneratedPlan &plan, const PlanRequest &request, bool translate);

// How a changed device answered a later search.
enum class Verification {
    None,           // not looked for (no change was sent)
    Verified,       // its serial number answers at the new address
    KeptOldAddress, // it answers at the old one only
    NotSeen,        // it did not answer
    SeenElsewhere,  // it answers at another address
};

// From every address at which the device's serial number answered in one search.
Verification verificationOf(const QStringList &heardAt, const QString &oldIp, const QString &newIp);
