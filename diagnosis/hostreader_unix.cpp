#include "diagnosis/doctor.h"
#include "diagnosis/hostreader.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString dmi(const char *name)
{
    QFile file(QStringLiteral("/sys/class/dmi/id/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

} // namespace

HostSystem hostSystem()
{
    return HostSystem::Linux;
}

QString readHypervisor()
{
    return hypervisorFromDmi(dmi("sys_vendor"), dmi("product_name"));
}

bool isWirelessCard(const QString &card)
{
    const QString sysDir = QStringLiteral("/sys/class/net/%1/").arg(card);
    return QFileInfo::exists(sysDir + QLatin1String("wireless"))
           || QFileInfo::exists(sysDir + QLatin1String("phy80211"));
}
