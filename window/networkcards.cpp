#include "orv_window.h"
#include "ui_orv_window.h"

#include <QFont>
#include <QNetworkInterface>
#include <QVariant>

void ORV_Window::fillNetworkCards()
{
    QFont font(QStringLiteral("Segoe UI"), 11);
    ui->NIC_select_box->setFont(font);

    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &nic : interfaces)
        ui->NIC_select_box->addItem(nic.humanReadableName(), QVariant::fromValue(nic));
}
