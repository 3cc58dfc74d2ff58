#include "diagnosis/portholder.h"

#include <QList>

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

PortHolder::Kind programKind(const QString &file)
{
    if (file.isEmpty())
        return PortHolder::Kind::Unknown;
    // Windows names a program by its file, the extension with it.
    QString program = file;
    if (program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        program.chop(4);
    if (program == QLatin1String("tarnvale-manager") || program == QLatin1String("tarnvale-manage"))
        return PortHolder::Kind::Window;
    if (program == QLatin1String("tarnvale-cli"))
        return PortHolder::Kind::CommandLine;
    return PortHolder::Kind::Other;
}
