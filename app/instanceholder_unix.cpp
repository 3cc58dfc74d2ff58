#include "app/instanceholder.h"

#include <QFile>
#include <QList>

#include <pwd.h>
#include <sys/ipc.h>
#include <unistd.h>

#include <vector>

namespace {

QString userName(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

} // namespace

uint currentUserId()
{
    return ::getuid();
}

InstanceHolder instanceHolder(const QString &markerFile)
{
    // The segment's owner needs no permission on the segment to be read here, unlike shmctl(),
    // and the key is made from the file as the toolkit makes it.
    InstanceHolder holder;
    const key_t key = ftok(QFile::encodeName(markerFile).constData(), 'Q');
    QFile table(QStringLiteral("/proc/sysvipc/shm"));
    if (key == -1 || !table.open(QIODevice::ReadOnly))
        return holder;
    // Read whole: the file claims a size of 0, so that atEnd() would stop after the first
    // buffer. The first row names the columns: key shmid perms size cpid lpid nattch uid ...
    const QList<QByteArray> rows = table.readAll().split('\n');
    for (const QByteArray &row : rows.mid(1)) {
        const QList<QByteArray> fields = row.simplified().split(' ');
        if (fields.size() < 8 || fields.at(0).toLongLong() != key)
            continue;
        holder.known = true;
        holder.segment = fields.at(1).toInt();
        holder.attached = fields.at(6).toInt() > 0;
        holder.uid = fields.at(7).toUInt();
        holder.user = userName(holder.uid);
        break;
    }
    return holder;
}

// The holder read above is exact here: an instance that does not answer is still making its
// window, or hangs, and a second start then ends without a word.
QString unansweredRaiseNotice()
{
    return QString();
}
