#include "diagnosis/externaltool.h"
#include "diagnosis/firewallreader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QVector<firewall::Drop> dropsOfBoth(const std::function<firewall::Ruleset(firewall::Flow)> &parse)
{
    return firewall::drops(parse(firewall::Flow::Request)) + firewall::drops(parse(firewall::Flow::Reply));
}

void readFirewalld(FirewallFacts *facts, const QString &card)
{
    const QString firewallCmd = findTool(QStringLiteral("firewall-cmd"));
    QByteArray output;
    QString error;
    if (firewallCmd.isEmpty() || !runTool(firewallCmd, {QStringLiteral("--state")}, &output, &error))
        return;
    facts->firewalldRunning = true;
    if (!runTool(firewallCmd, {QStringLiteral("--get-zone-of-interface=") + card}, &output, &error)
        && !runTool(firewallCmd, {QStringLiteral("--get-default-zone")}, &output, &error)) {
        facts->firewalldError = error;
        return;
    }
    facts->firewalldZone = QString::fromUtf8(output).trimmed();
    if (!runTool(firewallCmd, {QStringLiteral("--zone=") + facts->firewalldZone, QStringLiteral("--list-all")}, &output,
                 &error)) {
        facts->firewalldError = error;
        return;
    }
    facts->firewalldZoneOk = firewall::firewalldZoneLetsRepliesIn(output);
    facts->read << QStringLiteral("firewalld");
}

} // namespace

FirewallFacts readFirewall(const QString &card)
{
    FirewallFacts facts;
    QByteArray output;
    QString error;
    QStringList unreadable;
    const auto readIptables = [&](const QString &path, const QString &tool) {
        if (runTool(path, {QStringLiteral("-t"), QStringLiteral("filter")}, &output, &error)) {
            facts.drops +=
                dropsOfBoth([&](firewall::Flow flow) { return firewall::parseIptablesSave(output, card, flow, tool); });
            facts.read << tool;
        } else {
            unreadable << error;
        }
    };
    // iptables is either a front end of nftables (its rules then show in nft's listing too, though
    // less exactly) or the legacy one, whose rules nft does not see. Legacy tables are listed only
    // when the kernel has some, as listing them would load its module.
    const QString iptablesSave = findTool(QStringLiteral("iptables-save"));
    const bool iptablesOnNftables =
        !iptablesSave.isEmpty() && !QFileInfo(iptablesSave).canonicalFilePath().contains(QLatin1String("legacy"));
    if (iptablesOnNftables)
        readIptables(iptablesSave, QStringLiteral("iptables"));
    // The file is there once the module is loaded, and readable by root only.
    QFile legacyTables(QStringLiteral("/proc/net/ip_tables_names"));
    const bool legacyInUse = legacyTables.exists()
                             && (!legacyTables.open(QIODevice::ReadOnly) || !legacyTables.readAll().trimmed().isEmpty());
    const QString legacySave = iptablesOnNftables ? findTool(QStringLiteral("iptables-legacy-save")) : iptablesSave;
    // The name is the command of the printed fix: plain iptables where it is the legacy one.
    if (legacyInUse && !legacySave.isEmpty())
        readIptables(legacySave, iptablesOnNftables ? QStringLiteral("iptables-legacy") : QStringLiteral("iptables"));
    const QString nft = findTool(QStringLiteral("nft"));
    if (!nft.isEmpty()) {
        if (runTool(nft, {QStringLiteral("-j"), QStringLiteral("list"), QStringLiteral("ruleset")}, &output, &error)) {
            const QByteArray json = output;
            // Older versions of nft name the card of an ingress or egress chain only in their text.
            QHash<QString, QStringList> hookDevices;
            if ((json.contains("\"ingress\"") || json.contains("\"egress\"")) && !json.contains("\"dev\"")
                && runTool(nft, {QStringLiteral("list"), QStringLiteral("ruleset")}, &output, &error))
                hookDevices = firewall::parseNftHookDevices(output);
            const QStringList skip = iptablesOnNftables ? QStringList{QStringLiteral("ip filter")} : QStringList();
            facts.drops += dropsOfBoth(
                [&](firewall::Flow flow) { return firewall::parseNftJson(json, card, flow, skip, hookDevices); });
            facts.read << QStringLiteral("nftables");
        } else {
            unreadable << error;
        }
    }
    if (iptablesSave.isEmpty() && nft.isEmpty())
        unreadable << QStringLiteral("neither nft nor iptables-save is installed");
    if (!unreadable.isEmpty())
        facts.unreadable = unreadable.join(QLatin1String("; "));
    std::stable_sort(facts.drops.begin(), facts.drops.end(),
                     [](const firewall::Drop &a, const firewall::Drop &b) { return !a.conditional && b.conditional; });
    readFirewalld(&facts, card);
    return facts;
}
