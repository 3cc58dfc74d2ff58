#include "commissioning/batchrun.h"
#include "devicelink/orv_conn2device.h"
#include "dialogs/batchdialog.h"
#include "window/orv_window.h"

void ORV_Window::openBatchDialog()
{
    if (!mayStartChange())
        return;
    // The list as the operator sees it: with the changes made from the window since the search.
    auto *dialog = new BatchDialog(foundDevices(currentDevices()), *deviceLink, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &BatchDialog::devicesAfterRun, this, &ORV_Window::showDevicesAfterBatch);
    dialog->show();
}

void ORV_Window::showDevicesAfterBatch(const cJSON *lastSearch, const QVector<RunRow> &changedSince)
{
    // Every device the last whole search heard, the batch's or not: a search that had stopped
    // at the last changed device would leave the others out of the table and the export.
    QList<DeviceEntry> devices = lastSearch ? deviceEntries(lastSearch) : currentDevices();
    for (const RunRow &row : changedSince) {
        for (DeviceEntry &device : devices) {
            if (device.text(DeviceMember::Sn) != row.sn || device.text(DeviceMember::Ip) != row.oldIp)
                continue;
            if (row.result == RunResult::Done)
                device.setText(DeviceMember::Ip, row.newIp);
            if (row.change.activated)
                device.setText(DeviceMember::Active, QStringLiteral("active"));
        }
    }
    showDevices(devices);
}
