#include "app/instanceholder.h"

#include <QCoreApplication>
#include <QHash>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace {

// Windows names a user by a security identifier, not a number: its text, hashed, stands in.
uint numberOf(PSID user)
{
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(user, &text))
        return 0;
    const uint number = qHash(QString::fromWCharArray(text));
    LocalFree(text);
    return number;
}

// "DOMAIN\name" for a user; empty for a group (what an administrator's programs own).
QString userName(PSID user)
{
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = DWORD(std::size(name));
    DWORD domainLength = DWORD(std::size(domain));
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidW(nullptr, user, name, &nameLength, domain, &domainLength, &use) || use != SidTypeUser)
        return QString();
    return QString::fromWCharArray(domain) + QLatin1Char('\\') + QString::fromWCharArray(name);
}

} // namespace

uint currentUserId()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    uint number = 0;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        number = numberOf(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
    CloseHandle(token);
    return number;
}

InstanceHolder instanceHolder(const QString &markerFile)
{
    // The marker's owner, where the marker lets itself be read: another user's usually does not,
    // and an administrator's is owned by the administrators' group, which names nobody. Windows
    // removes the marker with its last process, so no marker is ever left behind.
    InstanceHolder holder;
    const HANDLE marker = OpenFileMappingW(READ_CONTROL, FALSE, reinterpret_cast<const wchar_t *>(markerFile.utf16()));
    if (!marker)
        return holder;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(marker, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor)
        == ERROR_SUCCESS) {
        holder.user = userName(owner);
        holder.known = !holder.user.isEmpty();
        holder.uid = numberOf(owner);
        holder.attached = true;
        LocalFree(descriptor);
    }
    CloseHandle(marker);
    return holder;
}

QString unansweredRaiseNotice()
{
    return QCoreApplication::translate("SingleInstance",
                                       "Tarnvale Manager is already running on this computer, for another user or "
                                       "as administrator, and only one can run at a time. Close it there first.");
}
