#include "ui_orv_window.h"

#include "commissioning/addressplan.h"
#include "commissioning/addressrules.h"
#include "commissioning/hostprobe.h"
#include "commissioning/operatortexts.h"
#include "devicelink/devicemessages.h"
#include "devicelink/orv_conn2device.h"
#include "dialogs/orv_passwd_window.h"
#include "window/asynctask.h"
#include "window/orv_window.h"
#include "window/tablerules.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int restartNoticeMs = 5000;

QString dataMember(const cJSON *reply, const char *name)
{
    return QString::fromUtf8(stringMember(cJSON_GetObjectItem(reply, "data"), name, ""));
}

QString translated(const char *source)
{
    return QCoreApplication::translate("ORV_Window", source);
}

// A modal box with only OK, in the severity, title and text of the shared table; text
// replaces the table's text when given (for texts with arguments or reasons added).
void showOperatorBox(QWidget *parent, const OperatorText &box, const QString &text = QString())
{
    const QString title = translated(box.title);
    const QString body = text.isNull() ? translated(box.text) : text;
    switch (box.severity) {
    case Severity::Information:
        QMessageBox::information(parent, title, body);
        break;
    case Severity::Warning:
        QMessageBox::warning(parent, title, body);
        break;
    case Severity::Critical:
        QMessageBox::critical(parent, title, body);
        break;
    }
}

// The operator may turn the page while a request waits: the row is written only while it
// still shows the device.
bool rowShows(const QTableWidget *table, int row, const QString &sn)
{
    const QTableWidgetItem *snItem = table->item(row, SnColumn);
    return snItem && snItem->text() == sn && table->item(row, IpColumn) && table->item(row, ActiveColumn);
}

} // namespace

void ORV_Window::onUpdateIpClicked(int row)
{
    QTableWidget *table = ui->tableWidget;
    const QTableWidgetItem *ipItem = table->item(row, IpColumn);
    const QTableWidgetItem *snItem = table->item(row, SnColumn);
    const QTableWidgetItem *activeItem = table->item(row, ActiveColumn);
    if (!ipItem || !snItem || !activeItem)
        return;

    if (isActivatedState(activeItem->text()))
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
    qDebug().nospace() << "ip:" << ip << ",passwd:******,sn:" << sn << ",newIP:" << newIp;
    // Checked before the login too, so that an address the device cannot take costs nothing.
    if (!mayStartChange() || !acceptNewAddress(newIp))
        return;
    checkTargetThen(sn, newIp, [this, sn, row, ip, passwd, newIp] {
        deviceLink->loginDevice(ip, passwd, sn);
        const cJSON *reply = deviceLink->replyJson();
        const LoginReply outcome = classifyLoginReply(reply);
        if (outcome != LoginReply::None && outcome != LoginReply::NoData && outcome != LoginReply::NoLoginField)
            qDebug() << "success_text" << dataMember(reply, "login");
        if (const std::optional<ChangeOutcome> failure = loginFailure(outcome)) {
            showOperatorBox(this, outcomeText(*failure));
            return;
        }
        changeDeviceIp(row, sn, ip, newIp);
    });
}

bool ORV_Window::mayStartChange()
{
    // The link would refuse the request, and the operator would read "device not open" about
    // a device that was never asked.
    if (!changeUnderWay && !deviceLink->isBusy())
        return true;
    QMessageBox::warning(this, tr("Tips"), tr("Another device request is still under way: try again once it is done."));
    return false;
}

bool ORV_Window::acceptNewAddress(const QString &newIp)
{
    const NewAddressCheck check = checkNewAddress(newIp.toStdString());
    if (check == NewAddressCheck::Usable)
        return true;
    const OperatorText box = addressCheckText(check);
    QString text = translated(box.text);
    if (const char *reason = addressCheckReason(check))
        text += QLatin1Char(' ') + translated(reason);
    showOperatorBox(this, box, text);
    return false;
}

void ORV_Window::checkTargetThen(const QString &sn, const QString &newIp, const std::function<void()> &change)
{
    // The checks of the command line's set-ip, for a plan of one row: the address must be free
    // in the list and no host may answer there (the probe waits up to kProbeMs, off this
    // thread), and the serial number must name one device only, since both requests reach
    // every device that has it. The change itself then blocks as it always did.
    changeUnderWay = true;
    const QVector<PlanRow> plan = {{0, sn, newIp, QString()}};
    const QVector<FoundDevice> devices = foundDevices(currentDevices());
    const QString card = deviceLink->card();
    runThenCallback<PlanCheck>([plan, devices, card] { return checkPlanOnCard(plan, devices, card); }, this,
                               [this, plan, change](const PlanCheck &check) {
                                   if (acceptTarget(check.verdicts.value(0), plan.first()))
                                       change();
                                   changeUnderWay = false;
                               });
}

bool ORV_Window::acceptTarget(const RowVerdict &verdict, const PlanRow &row)
{
    if (isConflict(verdict.check)) {
        showOperatorBox(this, addressConflictText(), verdictText(verdict, row, true));
        return false;
    }
    if (verdict.check == RowCheck::SerialAtTwoAddresses) {
        showOperatorBox(this, {Severity::Critical, QT_TRANSLATE_NOOP("ORV_Window", "Tips"), ""},
                        verdictText(verdict, row, true));
        return false;
    }
    return true;
}

void ORV_Window::changeDeviceIp(int row, const QString &sn, const QString &deviceIp, const QString &newIp)
{
    if (!acceptNewAddress(newIp))
        return;

    deviceLink->sendCommand(deviceIp, makeNetcfgBody(sn.toUtf8().constData(), newIp.toUtf8().constData()));

    const cJSON *reply = deviceLink->replyJson();
    // Without a reply this is said as the login step says it: silence would leave the operator guessing.
    const ChangeOutcome outcome = !reply                 ? ChangeOutcome::NoReply
                                  : netcfgAccepted(reply) ? ChangeOutcome::Changed
                                                          : ChangeOutcome::AddressNotAccepted;
    showOperatorBox(this, outcomeText(outcome));
    if (outcome != ChangeOutcome::Changed)
        return;
    recordChange(sn, deviceIp, DeviceMember::Ip, newIp);
    if (rowShows(ui->tableWidget, row, sn)) {
        ui->tableWidget->item(row, IpColumn)->setText(newIp);
        markSharedAddresses(currentDevices());
    }
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
    // A window of its own, with or without parent, yet tied to the main window: over it
    // and in its middle, never behind it.
    dialog->createWinId();
    dialog->windowHandle()->setTransientParent(windowHandle());
    QRect area(QPoint(), dialog->size());
    area.moveCenter(geometry().center());
    dialog->setGeometry(area);
    dialog->setCurrentIp(ip);
    qDebug().nospace() << "ip:" << ip << ",sn:" << sn;
    dialog->show();
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
    qDebug().nospace() << "ip:" << ip << ",passwd:******,sn:" << sn << ",newIP:" << newIp;
    // An activation sets the password for good: refuse a bad address before it.
    if (!mayStartChange() || !acceptNewAddress(newIp))
        return;
    checkTargetThen(sn, newIp, [this, sn, row, ip, passwd, newIp] {
        deviceLink->activateDevice(ip, passwd, sn);
        const cJSON *reply = deviceLink->replyJson();
        const ActivateReply outcome = classifyActivateReply(reply);
        if (outcome != ActivateReply::None && outcome != ActivateReply::NoData)
            qDebug() << "success_text_modify:" << dataMember(reply, "activate");
        if (const std::optional<ChangeOutcome> failure = activationFailure(outcome)) {
            showOperatorBox(this, outcomeText(*failure));
            return;
        }
        recordChange(sn, ip, DeviceMember::Active, QStringLiteral("active"));
        if (rowShows(ui->tableWidget, row, sn))
            ui->tableWidget->item(row, ActiveColumn)->setText(QStringLiteral("active"));
        changeDeviceIp(row, sn, ip, newIp);
    });
}

void ORV_Window::recordChange(const QString &sn, const QString &ip, DeviceMember member, const QString &text)
{
    for (int i = 0; i < deviceList.size(); ++i) {
        DeviceEntry device = changedDevices.value(i, deviceList.at(i));
        // The row showed the device at its changed address, or, once the page was filled
        // again, at the one the search found.
        const bool shown = device.text(DeviceMember::Ip) == ip || deviceList.at(i).text(DeviceMember::Ip) == ip;
        if (shown && device.text(DeviceMember::Sn) == sn) {
            device.setText(member, text);
            changedDevices.insert(i, device);
            return;
        }
    }
}

QList<DeviceEntry> ORV_Window::currentDevices() const
{
    QList<DeviceEntry> devices = deviceList;
    for (auto it = changedDevices.cbegin(); it != changedDevices.cend(); ++it)
        devices[it.key()] = it.value();
    return devices;
}
