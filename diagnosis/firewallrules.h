#pragma once

// Whether the firewall drops the devices' replies: UDP from anywhere to local port 10088,
// arriving on one card. The listings of nftables and iptables are read into one model of
// chains and rules, which is then followed as the kernel would follow a reply. The replies
// answer a request sent to a multicast group, so connection tracking sees them as new.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace firewall {

// Whether a rule's conditions hold for a reply: surely, surely not, or it depends on
// something that cannot be judged here (the sender's address, a named set, a rate limit).
enum class Applies { No, Yes, Maybe };

enum class Verdict { None, Accept, Drop, Jump, Goto, Return };

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
    bool base = false;    // hooked into the input path, so every reply passes through it
    bool dropPolicy = false;
    QVector<Rule> rules;
};

struct Ruleset
{
    QString tool; // "nftables", "iptables", "iptables-legacy"
    QVector<Chain> chains;
};

// A base chain through which replies may be dropped.
struct Drop
{
    QString tool;
    QString chain;
    QString where;          // the rule, or "policy drop"
    bool conditional = false; // only under conditions that could not be judged
};

// `nft -j list ruleset`, for replies on `card`. Tables in skipTables ("ip filter") are left
// out: iptables-nft keeps its rules there, and iptables-save shows them more exactly.
Ruleset parseNftJson(const QByteArray &json, const QString &card, const QStringList &skipTables = {});
// `iptables-save`: its filter table.
Ruleset parseIptablesSave(const QByteArray &text, const QString &card,
                          const QString &tool = QStringLiteral("iptables"));

// Where the ruleset's base chains drop a reply, definite drops first.
QVector<Drop> dropsOfReplies(const Ruleset &ruleset);

// What `firewall-cmd --zone=ZONE --list-all` says about the replies: true when the zone's
// target is ACCEPT, or it lists port 10088/udp (or a range with it) or the program's service.
bool firewalldZoneLetsRepliesIn(const QByteArray &listAll);

} // namespace firewall
