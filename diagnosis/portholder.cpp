#include "diagnosis/portholder.h"

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

// The sockets on the port, by inode, with their owners.
QVector<PortHolder> socketsOnPort(quint16 port, QList<quint64> *inodes)
{
    QVector<PortHolder> sockets;
    for (const char *table : {"/proc/net/udp", "/proc/net/udp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &row : file.readAll().split('\n')) {
            uint uid = 0;
            if (const quint64 inode = socketInodeOnPort(row, port, &uid)) {
                *inodes << inode;
                PortHolder socket;
                socket.uid = uid;
                sockets << socket;
            }
        }
    }
    return sockets;
}

// The first process, in the order of /proc, that has a descriptor on the inode.
qint64 processHolding(quint64 inode)
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
            if (socketInodeOfLink(readLink(fdPath + fd->d_name)) == inode) {
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

QVector<PortHolder> findPortHolders(quint16 port)
{
    QList<quint64> inodes;
    QVector<PortHolder> holders = socketsOnPort(port, &inodes);
    for (int i = 0; i < holders.size(); ++i) {
        PortHolder &holder = holders[i];
        holder.pid = processHolding(inodes.at(i));
        if (!holder.pid)
            continue;
        const QByteArray dir = "/proc/" + QByteArray::number(holder.pid);
        QFile comm(QString::fromLatin1(dir + "/comm"));
        holder.program =
            programName(readLink(dir + "/exe"), comm.open(QIODevice::ReadOnly) ? comm.readAll() : QByteArray());
        holder.kind = programKind(holder.program);
    }
    return holders;
}

PortHolder findPortHolder(quint16 port)
{
    const QVector<PortHolder> holders = findPortHolders(port);
    for (const PortHolder &holder : holders) {
        if (holder.pid)
            return holder;
    }
    return holders.value(0);
}

quint64 socketInodeOnPort(const QByteArray &row, quint16 port, uint *uid)
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
    if (uid)
        *uid = fields.at(7).toUInt();
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
