#include "devicelink/orv_conn2device.h"
#include "dialogs/batchdialog.h"
#include "window/orv_window.h"

void ORV_Window::openBatchDialog()
{
    // The list as the operator sees it: with the changes made from the window since the search.
    auto *dialog = new BatchDialog(foundDevices(currentDevices()), *deviceLink, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &BatchDialog::devicesFound, this, &ORV_Window::showSearchDeviceTableInfos);
    dialog->show();
}
