#include "diagnosis/windowsfirewall.h"

#include "devicelink/devicemessages.h"

#include <QStringList>

namespace firewall {

namespace {

constexpr int kUdp = 17;
constexpr int kAnyProtocol = 256;

QString samePath(QString path)
{
    return path.replace(QLatin1Char('/'), QLatin1Char('\\')).toLower();
}

bool anything(const QString &value)
{
    return value.isEmpty() || value == QLatin1String("*");
}

} // namespace

bool windowsPortListContains(const QString &list, int port)
{
    if (anything(list))
        return true;
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QStringList bounds = item.trimmed().split(QLatin1Char('-'));
        bool lowOk = false;
        bool highOk = true;
        const int low = bounds.first().toInt(&lowOk);
        const int high = bounds.size() < 2 ? low : bounds.at(1).toInt(&highOk);
        if (lowOk && highOk && bounds.size() <= 2 && low <= port && port <= high)
            return true;
    }
    return false;
}

Applies windowsRuleApplies(const WindowsRule &rule, int profileType, const QString &program)
{
    if (!rule.enabled || !(rule.profiles & profileType))
        return Applies::No;
    if (rule.protocol != kUdp && rule.protocol != kAnyProtocol)
        return Applies::No;
    if (rule.protocol == kUdp && !windowsPortListContains(rule.localPorts, kLocalPort))
        return Applies::No;
    if (!rule.program.isEmpty() && samePath(rule.program) != samePath(program))
        return Applies::No;
    const bool everySender = anything(rule.remoteAddresses);
    const bool everyCard = !rule.someCards
                           && (rule.interfaceTypes.isEmpty() || rule.interfaceTypes == QLatin1String("All"));
    return everySender && everyCard ? Applies::Yes : Applies::Maybe;
}

QVector<WindowsVerdict> judgeWindowsFirewall(const QVector<WindowsProfile> &profiles,
                                             const QVector<WindowsRule> &rules, const QString &program)
{
    QVector<WindowsVerdict> verdicts;
    for (const WindowsProfile &profile : profiles) {
        WindowsVerdict verdict;
        verdict.profile = profile.name;
        if (!profile.enabled) {
            verdict.kind = WindowsVerdict::Kind::Off;
            verdicts << verdict;
            continue;
        }
        if (profile.blockAllInbound) {
            verdict.kind = WindowsVerdict::Kind::AllBlocked;
            verdicts << verdict;
            continue;
        }
        const WindowsRule *block = nullptr;
        const WindowsRule *maybeBlock = nullptr;
        const WindowsRule *allow = nullptr;
        const WindowsRule *maybeAllow = nullptr;
        for (const WindowsRule &rule : rules) {
            const Applies applies = windowsRuleApplies(rule, profile.type, program);
            const WindowsRule **slot = rule.allow ? (applies == Applies::Yes ? &allow : &maybeAllow)
                                                  : (applies == Applies::Yes ? &block : &maybeBlock);
            if (applies != Applies::No && !*slot)
                *slot = &rule;
        }
        const bool letIn = allow || !profile.blockInboundByDefault;
        if (block || (maybeBlock && letIn)) {
            verdict.kind = WindowsVerdict::Kind::Blocked;
            verdict.rule = (block ? block : maybeBlock)->name;
            verdict.conditional = !block;
        } else if (letIn) {
            verdict.kind = WindowsVerdict::Kind::Allowed;
            verdict.rule = allow ? allow->name : QString();
        } else {
            verdict.kind = WindowsVerdict::Kind::NotAllowed;
            verdict.rule = maybeAllow ? maybeAllow->name : QString();
            verdict.conditional = maybeAllow != nullptr;
        }
        verdicts << verdict;
    }
    return verdicts;
}

} // namespace firewall
