#include "diagnosis/portholder.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QSet>

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

// The sockets that a process has descriptors on; none for another user's, unless it is root.
QSet<quint64> socketsOf(const QByteArray &fdPath)
{
    QSet<quint64> inodes;
    DIR *fds = ::opendir(fdPath.constData());
    if (!fds)
        return inodes;
    while (const dirent *fd = ::readdir(fds)) {
        if (const quint64 inode = socketInodeOfLink(readLink(fdPath + fd->d_name)))
            inodes << inode;
    }
    ::closedir(fds);
    return inodes;
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
        if (socketsOf("/proc/" + QByteArray::number(pid) + "/fd/").contains(inode))
            found = pid;
    }
    ::closedir(proc);
    return found;
}

} // namespace

QVector<PortHolder> findPortHolders(quint16 port)
{
    QList<quint64> inodes;
    QVector<PortHolder> holders = socketsOnPort(port, &inodes);
    const QSet<quint64> own = socketsOf("/proc/self/fd/");
    for (int i = 0; i < holders.size(); ++i) {
        PortHolder &holder = holders[i];
        holder.own = own.contains(inodes.at(i));
        holder.pid = holder.own ? QCoreApplication::applicationPid() : processHolding(inodes.at(i));
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
