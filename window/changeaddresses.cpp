#include "orv_window.h"

#include "changeaddressesdialog.h"
#include "orv_conn2device.h"

void ORV_Window::openChangeAddressesDialog()
{
    // The list as the operator sees it: with the changes made from the window since the search.
    auto *dialog = new ChangeAddressesDialog(foundDevices(currentDevices()), *deviceLink, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &ChangeAddressesDialog::devicesFound, this, &ORV_Window::showSearchDeviceTableInfos);
    dialog->show();
}
