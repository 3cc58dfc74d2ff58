#include "diagnosis/portholder.h"

#include <QCoreApplication>
#include <QHash>

#include <vector>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <tlhelp32.h>

namespace {

// Every process's program by its number. The snapshot names the processes of other users and
// of the system too, which OpenProcess would refuse to open without privileges.
QHash<DWORD, QString> programsByProcess()
{
    QHash<DWORD, QString> programs;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return programs;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        programs.insert(entry.th32ProcessID, QString::fromWCharArray(entry.szExeFile));
    CloseHandle(snapshot);
    return programs;
}

// The table of UDP sockets of one family, each with its owning process.
std::vector<char> udpTable(ULONG family)
{
    std::vector<char> table;
    DWORD size = 0;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    // Sockets may come and go between the calls that size the table and the one that fills it.
    for (int attempt = 0; attempt < 4 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        table.resize(size);
        result = GetExtendedUdpTable(table.empty() ? nullptr : table.data(), &size, FALSE, family,
                                     UDP_TABLE_OWNER_PID, 0);
    }
    if (result != NO_ERROR)
        table.clear();
    return table;
}

QVector<DWORD> processesOnPort(quint16 port)
{
    QVector<DWORD> processes;
    const std::vector<char> v4 = udpTable(AF_INET);
    if (!v4.empty()) {
        const auto *rows = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID *>(v4.data());
        for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
            if (ntohs(u_short(rows->table[i].dwLocalPort)) == port)
                processes << rows->table[i].dwOwningPid;
        }
    }
    const std::vector<char> v6 = udpTable(AF_INET6);
    if (!v6.empty()) {
        const auto *rows = reinterpret_cast<const MIB_UDP6TABLE_OWNER_PID *>(v6.data());
        for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
            if (ntohs(u_short(rows->table[i].dwLocalPort)) == port)
                processes << rows->table[i].dwOwningPid;
        }
    }
    return processes;
}

} // namespace

QVector<PortHolder> findPortHolders(quint16 port)
{
    const QVector<DWORD> processes = processesOnPort(port);
    const QHash<DWORD, QString> programs = processes.isEmpty() ? QHash<DWORD, QString>() : programsByProcess();
    QVector<PortHolder> holders;
    for (const DWORD process : processes) {
        PortHolder holder;
        holder.pid = qint64(process);
        holder.own = process == GetCurrentProcessId();
        holder.program = programs.value(process);
        holder.kind = programKind(holder.program);
        holders << holder;
    }
    return holders;
}
