#pragma once

// Whether the firewall drops the search or its replies: the search is UDP to port 10086 of the
// group, leaving through one card; a reply is UDP from anywhere to local port 10088, arriving
// on that card. The listings of nftables and iptables are read into one model of chains and
// rules, which is then followed as the kernel would follow the datagram. The replies answer a
// request sent to a multicast group, so connection tracking sees them as new.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace firewall {

// Whether a rule's conditions hold for the search or a reply: surely, surely not, or it depends on
// something that cannot be judged here (the sender's address, a named set, a rate limit).
enum class Applies { No, Yes, Maybe };

enum class Verdict { None, Accept, Drop, Jump, Goto, Return };

// The datagram followed: a device's reply coming in, or the search going out.
enum class Flow { Reply, Request };

struct Rule
{
    Applies applies = Applies::Yes;
    Verdict verdict = Verdict::None;
    QString target; // of a jump or goto: the chain's full name
    QString where;  // how the operator finds the rule: "rule handle 7", or its iptables line
};

struct Chain
{
    QString name;         // "inet filter input", "filter INPUT"
    bool base = false;    // hooked into the datagram's path, so that it passes through
    Applies applies = Applies::Yes; // whether a card's own hook is the card's
    bool dropPolicy = false;
    QVector<Rule> rules;
};

struct Ruleset
{
    QString tool; // "nftables", "iptables", "iptables-legacy"
    Flow flow = Flow::Reply;
    QVector<Chain> chains;
};

// A base chain through which the datagram may be dropped.
struct Drop
{
    QString tool;
    Flow flow = Flow::Reply;
    QString chain;
    QString where;          // the rule, or "policy drop"
    bool conditional = false; // only under conditions that could not be judged
};

// `nft -j list ruleset`, for the datagram of `flow` on `card`. Tables in skipTables ("ip filter")
// are left out: iptables-nft keeps its rules there, and iptables-save shows them more exactly.
// hookDevices: the cards of the ingress and egress chains, where the JSON does not name them.
Ruleset parseNftJson(const QByteArray &json, const QString &card, Flow flow = Flow::Reply,
                     const QStringList &skipTables = {}, const QHash<QString, QStringList> &hookDevices = {});
// The cards of the ingress and egress chains in `nft list ruleset`, by chain ("netdev t in").
QHash<QString, QStringList> parseNftHookDevices(const QByteArray &text);
// `iptables-save`: its filter table.
Ruleset parseIptablesSave(const QByteArray &text, const QString &card, Flow flow = Flow::Reply,
                          const QString &tool = QStringLiteral("iptables"));

// Where the ruleset's base chains drop the datagram, definite drops first.
QVector<Drop> drops(const Ruleset &ruleset);

// What `firewall-cmd --zone=ZONE --list-all` says about the replies: true when the zone's
// target is ACCEPT, or it lists port 10088/udp (or a range with it) or the program's service.
bool firewalldZoneLetsRepliesIn(const QByteArray &listAll);

} // namespace firewall
