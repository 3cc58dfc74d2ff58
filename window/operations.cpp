#include "orv_window.h"
#include "ui_orv_window.h"

#include "orv_conn2device.h"
#include "orv_passwd_window.h"

#include <QDebug>
#include <QHostAddress>
#include <QMessageBox>
#include <QStringList>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTimer>

#include <cstring>

namespace {

constexpr int ipColumn = 0;
constexpr int snColumn = 1;
constexpr int activeColumn = 5;
constexpr int restartNoticeMs = 5000;

QString stringMember(const cJSON *object, const char *name, bool *present = nullptr)
{
    const cJSON *item = object ? cJSON_GetObjectItem(object, name) : nullptr;
    const bool isString = cJSON_IsString(item) && item->valuestring;
    if (present)
        *present = isString;
    return isString ? QString::fromUtf8(item->valuestring) : QString();
}

} // namespace

void ORV_Window::onUpdateIpClicked(int row)
{
    QTableWidget *table = ui->tableWidget;
    const QTableWidgetItem *ipItem = table->item(row, ipColumn);
    const QTableWidgetItem *snItem = table->item(row, snColumn);
    const QTableWidgetItem *activeItem = table->item(row, activeColumn);
    if (!ipItem || !snItem || !activeItem)
        return;

    if (activeItem->text().trimmed().toLower() == QLatin1String("active"))
        openUpdateIpDialog(row, ipItem->text(), snItem->text());
    else
        openActivateDialog(row, ipItem->text(), snItem->text());
}

void ORV_Window::openUpdateIpDialog(int row, const QString &ip, const QString &sn)
{
    auto *dialog = new ORV_Passwd_Window(this);
    showPasswordDialog(dialog, ip, sn, QString());
    connect(dialog, &ORV_Passwd_Window::ready2verify, this,
            [this, sn, row](const QString &currentIp, const QString &passwd, const QString &newIp) {
                loginAndChangeIp(sn, row, currentIp, passwd, newIp);
            });
}

void ORV_Window::loginAndChangeIp(const QString &sn, int row, const QString &ip, const QString &passwd,
                                  const QString &newIp)
{
    qDebug().noquote() << QStringLiteral("ip:%1,passwd:******,sn:%2,newIP:%3").arg(ip, sn, newIp);

    deviceLink->loginDevice(ip, passwd, sn);
    const cJSON *data = replyData();
    if (!data)
        return;
    bool hasLogin = false;
    const QString login = stringMember(data, "login", &hasLogin);
    if (!hasLogin) {
        QMessageBox::critical(this, tr("Tips"), tr("device returned invalid data (no login field)"));
        return;
    }
    qDebug() << "success_text" << login; // quoted: the text comes from the network

    if (login.startsWith(QLatin1String("success")))
        changeDeviceIp(row, ip, newIp);
    else if (login.startsWith(QLatin1String("Please activate the device first")))
        QMessageBox::critical(this, tr("Tips"), tr("device is not activated"));
    else
        QMessageBox::critical(this, tr("Tips"), tr("Password error, login device failed"));
}

void ORV_Window::changeDeviceIp(int row, const QString &deviceIp, const QString &newIp)
{
    const QStringList parts = newIp.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (parts.size() != 4) {
        QMessageBox::critical(this, tr("Invalid Format"), tr("Incorrect IPv4 address format."));
        return;
    }
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        if (!ok || value < 0 || value > 255) {
            QMessageBox::critical(this, tr("Invalid IP"), tr("Each part of the IP must be between 0 and 255."));
            return;
        }
    }
    const QHostAddress address(newIp);
    if (address.isNull() || address.protocol() != QAbstractSocket::IPv4Protocol) {
        QMessageBox::critical(this, tr("Invalid IP Address"), tr("Please enter a valid IPv4 address."));
        return;
    }

    const QString gateway = parts.mid(0, 3).join(QLatin1Char('.')) + QStringLiteral(".1");
    const QTableWidgetItem *snItem = ui->tableWidget->item(row, snColumn);
    const QString sn = snItem ? snItem->text() : QString();

    cJSON *body = cJSON_CreateObject();
    cJSON_AddStringToObject(body, "callcmd", "netcfg");
    cJSON_AddStringToObject(body, "sn", sn.toUtf8().constData());
    cJSON *calldata = cJSON_AddObjectToObject(body, "calldata");
    cJSON_AddNumberToObject(calldata, "dhcp", 0);
    cJSON_AddStringToObject(calldata, "ip", newIp.toUtf8().constData());
    cJSON_AddStringToObject(calldata, "gw", gateway.toUtf8().constData());
    cJSON_AddStringToObject(calldata, "mask", "255.255.255.0");
    cJSON_AddStringToObject(calldata, "dns", "114.114.114.114");
    deviceLink->sendCommand(deviceIp, body);

    const cJSON *reply = deviceLink->replyJson();
    if (!reply) {
        // Said as the login step says it: silence here would leave the operator guessing.
        QMessageBox::critical(this, tr("Tips"), tr("device not open"));
        return;
    }
    const cJSON *data = cJSON_GetObjectItem(reply, "data");
    const cJSON *replyCalldata = data ? cJSON_GetObjectItem(data, "calldata") : nullptr;
    const cJSON *netcfg = replyCalldata ? cJSON_GetObjectItem(replyCalldata, "netcfg") : nullptr;
    const bool accepted = cJSON_IsString(netcfg) && netcfg->valuestring
                          && std::strcmp(netcfg->valuestring, "ok") == 0;
    if (!accepted) {
        QMessageBox::warning(this, tr("Failure"), tr("Device did not accept IP change."));
        return;
    }

    QMessageBox::information(this, tr("Tips"), tr("IP changed successfully,device rebooting....."));
    if (QTableWidgetItem *ipItem = ui->tableWidget->item(row, ipColumn))
        ipItem->setText(newIp);
    QTimer::singleShot(restartNoticeMs, Qt::PreciseTimer, this, &ORV_Window::showRestartNotice);
}

void ORV_Window::showPasswordDialog(ORV_Passwd_Window *dialog, const QString &ip, const QString &sn,
                                    const QString &passwordPlaceholder)
{
    dialog->setWindowTitle(tr("Update IP"));
    dialog->setFixedSize(dialog->size());
    if (!passwordPlaceholder.isEmpty())
        dialog->setPasswordPlaceholder(passwordPlaceholder);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setCurrentIp(ip);
    qDebug().noquote() << QStringLiteral("ip:%1,sn:%2").arg(ip, sn);
    dialog->show();
}

const cJSON *ORV_Window::replyData()
{
    const cJSON *reply = deviceLink->replyJson();
    if (!reply) {
        QMessageBox::critical(this, tr("Tips"), tr("device not open"));
        return nullptr;
    }
    const cJSON *data = cJSON_GetObjectItem(reply, "data");
    if (!data)
        QMessageBox::critical(this, tr("Tips"), tr("device returned invalid data (no data field)"));
    return data;
}

void ORV_Window::showRestartNotice()
{
    QMessageBox::information(this, tr("Device Restart"), tr("Device restart completed."));
}

void ORV_Window::openActivateDialog(int row, const QString &ip, const QString &sn)
{
    // No parent: a window of its own. It deletes itself once closed; should the main
    // window go first, it takes the dialog along.
    auto *dialog = new ORV_Passwd_Window(nullptr);
    connect(this, &QObject::destroyed, dialog, [dialog] { delete dialog; });
    showPasswordDialog(dialog, ip, sn, tr("Enter device active password"));
    connect(dialog, &ORV_Passwd_Window::ready2verify, this,
            [this, sn, row](const QString &currentIp, const QString &passwd, const QString &newIp) {
                activateAndChangeIp(sn, row, currentIp, passwd, newIp);
            });
}

void ORV_Window::activateAndChangeIp(const QString &sn, int row, const QString &ip, const QString &passwd,
                                     const QString &newIp)
{
    qDebug().noquote() << QStringLiteral("ip:%1,passwd:******,sn:%2,newIP:%3").arg(ip, sn, newIp);

    deviceLink->activateDevice(ip, passwd, sn);
    const cJSON *data = replyData();
    if (!data)
        return;
    bool hasActivate = false;
    const QString activate = stringMember(data, "activate", &hasActivate);
    qDebug() << "success_text_modify:" << activate;

    if (!hasActivate || !activate.startsWith(QLatin1String("success"))) {
        QMessageBox::information(this, tr("Tips"), tr("device is already actived"));
        return;
    }
    if (QTableWidgetItem *activeItem = ui->tableWidget->item(row, activeColumn))
        activeItem->setText(QStringLiteral("active"));
    changeDeviceIp(row, ip, newIp);
}
