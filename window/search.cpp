#include "ui_orv_window.h"

#include "devicelink/devicemessages.h"
#include "devicelink/orv_conn2device.h"
#include "window/orv_window.h"

#include <QMessageBox>
#include <QtDebug>

namespace {

// A flood of forged replies can list tens of thousands of devices; printing them all
// would take tens of megabytes for one log line.
constexpr int loggedDevices = 1000;

void logDevices(const cJSON *data)
{
    const int total = cJSON_GetArraySize(data);
    JsonPtr firstOnes = makeJsonPtr();
    if (total > loggedDevices) {
        firstOnes.reset(cJSON_CreateArray());
        const cJSON *element = data->child;
        for (int i = 0; i < loggedDevices; ++i, element = element->next)
            cJSON_AddItemToArray(firstOnes.get(), cJSON_Duplicate(element, true));
    }

    if (char *printed = cJSON_Print(firstOnes ? firstOnes.get() : data)) {
        qDebug().noquote() << "update_searchDevice:" << printed;
        cJSON_free(printed);
    }
    if (firstOnes)
        qDebug("update_searchDevice: %d more devices not shown", total - loggedDevices);
}

} // namespace

void ORV_Window::on_search_button_clicked()
{
    // The link processes events while it waits for replies; a press landing there
    // must not start a second search inside the first one, nor one beside an "Update IP"
    // whose address is being checked.
    if (deviceLink->isBusy() || changeUnderWay)
        return;

    const QString selectedText = ui->NIC_select_box->currentText();
    if (selectedText.isEmpty()) {
        QMessageBox::information(this, tr("Tips"), tr("Please select network"), QMessageBox::Ok);
        return;
    }

    disconnect(deviceLink, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, this,
               &ORV_Window::showSearchDeviceTableInfos);
    connect(deviceLink, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, this,
            &ORV_Window::showSearchDeviceTableInfos);

    deviceLink->search_device(selectedText);
}

void ORV_Window::showSearchDeviceTableInfos(cJSON *data)
{
    if (!data) {
        qDebug() << "Data is empty!";
        return;
    }

    logDevices(data);
    showDevices(deviceEntries(data));
}

void ORV_Window::showDevices(const QList<DeviceEntry> &devices)
{
    deviceList = devices;
    changedDevices.clear();
    totalPages = qMax(1, (deviceList.size() + rowsPerPage - 1) / rowsPerPage);
    currentPage = 1;

    buildPagination();
    fillCurrentPage();
}
