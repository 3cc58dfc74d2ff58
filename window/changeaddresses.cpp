#include "orv_window.h"

#include "changeaddressesdialog.h"
#include "orv_conn2device.h"

namespace {

FoundDevice foundDevice(const DeviceEntry &entry)
{
    const auto member = [&entry](DeviceMember which) { return entry.has(which) ? entry.text(which) : QString(); };
    return {member(DeviceMember::Ip), member(DeviceMember::Sn), member(DeviceMember::Mac), member(DeviceMember::Model),
            member(DeviceMember::Active)};
}

} // namespace

void ORV_Window::openChangeAddressesDialog()
{
    QVector<FoundDevice> devices;
    devices.reserve(deviceList.size());
    for (const DeviceEntry &entry : qAsConst(deviceList))
        devices << foundDevice(entry);
    auto *dialog = new ChangeAddressesDialog(devices, *deviceLink, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &ChangeAddressesDialog::devicesFound, this, &ORV_Window::showSearchDeviceTableInfos);
    dialog->show();
}
