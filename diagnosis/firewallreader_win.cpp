#include "diagnosis/firewallreader.h"

#include <QCoreApplication>
#include <QDir>

#include <initguid.h>
#include <windows.h>
#include <netfw.h>
#include <oleauto.h>
#include <wrl/client.h>

namespace {

using Microsoft::WRL::ComPtr;

// A string that COM hands over, freed when it goes.
class ComText
{
public:
    ComText() = default;
    ~ComText() { SysFreeString(text); }
    ComText(const ComText &) = delete;
    ComText &operator=(const ComText &) = delete;

    BSTR *receive() { return &text; }
    QString toString() const { return text ? QString::fromWCharArray(text, int(SysStringLen(text))) : QString(); }

private:
    BSTR text = nullptr;
};

struct ProfileName
{
    NET_FW_PROFILE_TYPE2 type;
    const char *name;
};

constexpr ProfileName kProfiles[] = {
    {NET_FW_PROFILE2_DOMAIN, "Domain"},
    {NET_FW_PROFILE2_PRIVATE, "Private"},
    {NET_FW_PROFILE2_PUBLIC, "Public"},
};

QString failure(const char *step, HRESULT result)
{
    return QStringLiteral("%1: 0x%2").arg(QLatin1String(step)).arg(quint32(result), 8, 16, QLatin1Char('0'));
}

// A rule names its program as it was typed, often with variables ("%ProgramFiles%\...").
QString expanded(const QString &path)
{
    if (!path.contains(QLatin1Char('%')))
        return path;
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = ExpandEnvironmentStringsW(reinterpret_cast<const wchar_t *>(path.utf16()), buffer,
                                                   DWORD(std::size(buffer)));
    return length > 0 && length <= std::size(buffer) ? QString::fromWCharArray(buffer, int(length) - 1) : path;
}

// An inbound rule; false for an outbound one, which the replies never meet.
bool readRule(INetFwRule *rule, firewall::WindowsRule *read)
{
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
    if (FAILED(rule->get_Direction(&direction)) || direction != NET_FW_RULE_DIR_IN)
        return false;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    NET_FW_ACTION action = NET_FW_ACTION_ALLOW;
    LONG protocol = 256; // any
    long profiles = NET_FW_PROFILE2_ALL;
    rule->get_Enabled(&enabled);
    rule->get_Action(&action);
    rule->get_Protocol(&protocol);
    rule->get_Profiles(&profiles);
    ComText name, ports, program, remote, types;
    rule->get_Name(name.receive());
    rule->get_LocalPorts(ports.receive());
    rule->get_ApplicationName(program.receive());
    rule->get_RemoteAddresses(remote.receive());
    rule->get_InterfaceTypes(types.receive());
    VARIANT cards;
    VariantInit(&cards);
    rule->get_Interfaces(&cards);

    read->name = name.toString();
    read->enabled = enabled != VARIANT_FALSE;
    read->allow = action == NET_FW_ACTION_ALLOW;
    read->protocol = int(protocol);
    read->localPorts = ports.toString();
    read->profiles = int(profiles);
    read->program = expanded(program.toString());
    read->remoteAddresses = remote.toString();
    read->interfaceTypes = types.toString();
    read->someCards = cards.vt != VT_EMPTY && cards.vt != VT_NULL;
    VariantClear(&cards);
    return true;
}

// The profiles in force and the inbound rules, from the firewall's policy object; empty, with
// the reason, when it cannot be asked.
QString readPolicy(QVector<firewall::WindowsProfile> *profiles, QVector<firewall::WindowsRule> *rules)
{
    ComPtr<INetFwPolicy2> policy;
    HRESULT result = CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&policy));
    if (FAILED(result))
        return failure("the firewall's policy", result);
    long current = 0;
    if (FAILED(result = policy->get_CurrentProfileTypes(&current)))
        return failure("the profiles in force", result);
    for (const ProfileName &known : kProfiles) {
        if (!(current & known.type))
            continue;
        firewall::WindowsProfile profile;
        profile.name = QLatin1String(known.name);
        profile.type = known.type;
        VARIANT_BOOL on = VARIANT_TRUE;
        VARIANT_BOOL blockAll = VARIANT_FALSE;
        NET_FW_ACTION inbound = NET_FW_ACTION_BLOCK;
        if (FAILED(result = policy->get_FirewallEnabled(known.type, &on))
            || FAILED(result = policy->get_BlockAllInboundTraffic(known.type, &blockAll))
            || FAILED(result = policy->get_DefaultInboundAction(known.type, &inbound)))
            return failure("the profile's settings", result);
        profile.enabled = on != VARIANT_FALSE;
        profile.blockAllInbound = blockAll != VARIANT_FALSE;
        profile.blockInboundByDefault = inbound == NET_FW_ACTION_BLOCK;
        *profiles << profile;
    }
    if (profiles->isEmpty())
        return QStringLiteral("no profile in force");

    ComPtr<INetFwRules> all;
    ComPtr<IUnknown> enumerator;
    ComPtr<IEnumVARIANT> items;
    if (FAILED(result = policy->get_Rules(&all)) || FAILED(result = all->get__NewEnum(&enumerator))
        || FAILED(result = enumerator.As(&items)))
        return failure("the rules", result);
    VARIANT item;
    VariantInit(&item);
    while (items->Next(1, &item, nullptr) == S_OK) {
        ComPtr<INetFwRule> rule;
        firewall::WindowsRule read;
        if (item.vt == VT_DISPATCH && item.pdispVal && SUCCEEDED(item.pdispVal->QueryInterface(IID_PPV_ARGS(&rule)))
            && readRule(rule.Get(), &read))
            *rules << read;
        VariantClear(&item);
    }
    return QString();
}

} // namespace

FirewallFacts readFirewall(const QString &)
{
    FirewallFacts facts;
    QVector<firewall::WindowsProfile> profiles;
    QVector<firewall::WindowsRule> rules;
    // The doctor runs on a thread of its own or on one where COM is set up already.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    facts.unreadable = readPolicy(&profiles, &rules);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!facts.unreadable.isEmpty())
        return facts;
    facts.read << QStringLiteral("Windows Firewall");
    facts.windows = firewall::judgeWindowsFirewall(
        profiles, rules, QDir::toNativeSeparators(QCoreApplication::applicationFilePath()));
    return facts;
}
