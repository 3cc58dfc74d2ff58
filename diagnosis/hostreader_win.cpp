#include "diagnosis/hostreader.h"

#include "diagnosis/doctor.h"

#include <QNetworkInterface>
#include <QSettings>

HostSystem hostSystem()
{
    return HostSystem::Windows;
}

QString readHypervisor()
{
    // The firmware's names, as Windows keeps them from the SMBIOS tables.
    const QSettings bios(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\BIOS"),
                         QSettings::NativeFormat);
    return hypervisorFromDmi(bios.value(QStringLiteral("SystemManufacturer")).toString(),
                             bios.value(QStringLiteral("SystemProductName")).toString());
}

bool isWirelessCard(const QString &card)
{
    const QNetworkInterface::InterfaceType type = QNetworkInterface::interfaceFromName(card).type();
    return type == QNetworkInterface::Wifi || type == QNetworkInterface::Ieee80211;
}
