#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Who holds a local UDP port, as far as the system tells a user without privileges. On Linux
// (portholder_unix.cpp): the socket's inode from /proc/net/udp (and udp6), the process one of
// whose descriptors names that inode, and the program it runs; processes of other users
// cannot be looked into. On Windows (portholder_win.cpp): the system's table of UDP sockets
// names the process of each, whoever runs it, and a snapshot of the processes its program.
struct PortHolder
{
    enum class Kind {
        Unknown,     // no process found that holds the port
        Window,      // tarnvale-manager
        CommandLine, // tarnvale-cli
        Other,
    };
    Kind kind = Kind::Unknown;
    QString program;
    qint64 pid = 0; // 0: no process of ours was found (another user's, without privileges)
    uint uid = 0;   // the socket's owner, from the socket table (Linux)
    bool own = false; // this program's own socket
};

// Every socket bound to the local UDP port, with the process that holds it where it can be read.
QVector<PortHolder> findPortHolders(quint16 port);
// The first of them whose process is known, else the first; Kind::Unknown when none.
PortHolder findPortHolder(quint16 port);

// The pieces of findPortHolder on Linux, one line of /proc at a time.

// The inode of the socket on one row of /proc/net/udp or udp6 when it is bound to the local
// port `port`, and its owner's uid; 0 for any other row (the header, another port, a row cut short).
quint64 socketInodeOnPort(const QByteArray &row, quint16 port, uint *uid = nullptr);
// The inode that the target of a /proc/<pid>/fd link names ("socket:[4711]"); 0 for anything else.
quint64 socketInodeOfLink(const QByteArray &target);
// The program's file name from the target of /proc/<pid>/exe, or from the contents of
// /proc/<pid>/comm when that link could not be read (it is cut to 15 characters).
QString programName(const QByteArray &exeTarget, const QByteArray &comm);
PortHolder::Kind programKind(const QString &program);
