#include "portholder.h"

#include <QFile>
#include <QList>

#include <dirent.h>
#include <unistd.h>

namespace {

QByteArray readLink(const QByteArray &path)
{
    char target[4096];
    const ssize_t length = ::readlink(path.constData(), target, sizeof target);
    return length > 0 ? QByteArray(target, int(length)) : QByteArray();
}

QList<quint64> inodesOnPort(quint16 port)
{
    QList<quint64> inodes;
    for (const char *table : {"/proc/net/udp", "/proc/net/udp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &row : file.readAll().split('\n')) {
            if (const quint64 inode = socketInodeOnPort(row, port))
                inodes << inode;
        }
    }
    return inodes;
}

// The first process, in the order of /proc, that has a descriptor on one of the inodes.
qint64 processHolding(const QList<quint64> &inodes)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return 0;
    qint64 found = 0;
    while (!found) {
        const dirent *process = ::readdir(proc);
        if (!process)
            break;
        bool numeric = false;
        const qint64 pid = QByteArray(process->d_name).toLongLong(&numeric);
        if (!numeric)
            continue;
        const QByteArray fdPath = "/proc/" + QByteArray::number(pid) + "/fd/";
        DIR *fds = ::opendir(fdPath.constData()); // fails for other users' processes
        if (!fds)
            continue;
        while (const dirent *fd = ::readdir(fds)) {
            if (inodes.contains(socketInodeOfLink(readLink(fdPath + fd->d_name)))) {
                found = pid;
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return found;
}

} // namespace

PortHolder findPortHolder(quint16 port)
{
    PortHolder holder;
    const QList<quint64> inodes = inodesOnPort(port);
    if (inodes.isEmpty())
        return holder;
    holder.pid = processHolding(inodes);
    if (!holder.pid)
        return holder;
    const QByteArray dir = "/proc/" + QByteArray::number(holder.pid);
    QFile comm(QString::fromLatin1(dir + "/comm"));
    holder.program = programName(readLink(dir + "/exe"), comm.open(QIODevice::ReadOnly) ? comm.readAll() : QByteArray());
    holder.kind = programKind(holder.program);
    return holder;
}

quint64 socketInodeOnPort(const QByteArray &row, quint16 port)
{
    // "  12: 00000000:2768 00000000:0000 07 00000000:00000000 00:00000000 00000000  1000  0 4711 2 ..."
    const QList<QByteArray> fields = row.simplified().split(' ');
    if (fields.size() < 10 || !fields.at(0).endsWith(':'))
        return 0;
    const QByteArray &local = fields.at(1);
    bool ok = false;
    const int colon = local.lastIndexOf(':');
    if (colon < 0 || local.mid(colon + 1).toUInt(&ok, 16) != port || !ok)
        return 0;
    return fields.at(9).toULongLong();
}

quint64 socketInodeOfLink(const QByteArray &target)
{
    if (!target.startsWith("socket:[") || !target.endsWith(']'))
        return 0;
    return target.mid(8, target.size() - 9).toULongLong();
}

QString programName(const QByteArray &exeTarget, const QByteArray &comm)
{
    QByteArray path = exeTarget;
    if (path.endsWith(" (deleted)")) // the program was replaced on disk, by an update say
        path.chop(10);
    if (path.isEmpty())
        return QString::fromUtf8(comm.trimmed());
    return QString::fromUtf8(path.mid(path.lastIndexOf('/') + 1));
}

PortHolder::Kind programKind(const QString &program)
{
    if (program.isEmpty())
        return PortHolder::Kind::Unknown;
    if (program == QLatin1String("tarnvale-manager") || program == QLatin1String("tarnvale-manage"))
        return PortHolder::Kind::Window;
    if (program == QLatin1String("tarnvale-cli"))
        return PortHolder::Kind::CommandLine;
    return PortHolder::Kind::Other;
}
