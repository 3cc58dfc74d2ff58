#include "window/devicetablemenu.h"

#include "commissioning/devicecsv.h"
#include "commissioning/reportfile.h"
#include "window/orv_window.h"
#include "window/tablerules.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QTableWidget>
#include <QWindow>

namespace {

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

QString rowText(const QTableWidget *table, int row)
{
    QStringList cells;
    for (int column = 0; column < OperationColumn; ++column)
        cells << cellText(table, row, column).simplified(); // keeps the row on one line, tab-separated
    return cells.join(QLatin1Char('\t'));
}

void exportWithDialog(ORV_Window *window)
{
    const QString path = QFileDialog::getSaveFileName(
        window, QCoreApplication::translate("ORV_Window", "Export all devices to CSV"), QStringLiteral("devices.csv"),
        QCoreApplication::translate("ORV_Window", "CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!exportDevicesCsv(window->currentDevices(), path, &error))
        QMessageBox::critical(window, QCoreApplication::translate("ORV_Window", "Tips"),
                              QCoreApplication::translate("ORV_Window", "Could not write %1: %2").arg(path, error));
}

} // namespace

void installDeviceTableMenu(ORV_Window *window, QTableWidget *table)
{
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(table, &QWidget::customContextMenuRequested, window, [window, table](const QPoint &pos) {
        QMenu *menu = deviceTableMenu(window, table, table->indexAt(pos).row());
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(table->viewport()->mapToGlobal(pos));
    });
}

QMenu *deviceTableMenu(ORV_Window *window, QTableWidget *table, int row)
{
    // Without a parent: a menu inside the table would take on the table's style sheet,
    // which knows nothing of menus, and be drawn without frame or highlight.
    auto *menu = new QMenu;
    QObject::connect(table, &QObject::destroyed, menu, [menu] { delete menu; });
    menu->createWinId();
    if (menu->windowHandle())
        menu->windowHandle()->setTransientParent(window->windowHandle());
    QAction *copyIp = menu->addAction(QCoreApplication::translate("ORV_Window", "Copy IP"), menu, [table, row] {
        QApplication::clipboard()->setText(cellText(table, row, IpColumn));
    });
    QAction *copyRow = menu->addAction(QCoreApplication::translate("ORV_Window", "Copy row"), menu, [table, row] {
        QApplication::clipboard()->setText(rowText(table, row));
    });
    QAction *exportAll = menu->addAction(QCoreApplication::translate("ORV_Window", "Export all devices to CSV…"),
                                         window, [window] { exportWithDialog(window); });
    QAction *changeAddresses = menu->addAction(QCoreApplication::translate("ORV_Window", "Change addresses…"),
                                               window, [window] { window->openBatchDialog(); });
    copyIp->setEnabled(row >= 0);
    copyRow->setEnabled(row >= 0);
    exportAll->setEnabled(!window->devices().isEmpty());
    changeAddresses->setEnabled(!window->devices().isEmpty());
    return menu;
}

bool exportDevicesCsv(const QList<DeviceEntry> &devices, const QString &path, QString *error)
{
    QVector<QStringList> rows = {deviceCsvColumns()};
    for (const DeviceEntry &device : devices) {
        QStringList row;
        for (int i = 0; i < kDeviceMemberCount; ++i)
            row << device.text(DeviceMember(i));
        rows << row;
    }
    const QByteArray document = csvDocument(rows);

    // Unbuffered and checked at each step: Qt 5.15's commit() can report success after its
    // own flush failed on a full disk, and would then put a cut file in place of the old one.
    // Until commit() the data goes to a file of its own; on failure that file is removed.
    QSaveFile file(path);
    const auto fail = [&file, error](const QString &reason) { // the unfinished file goes with `file`
        *error = reason.isEmpty() ? file.errorString() : reason;
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QString());
    if (file.write(document) != document.size() || !file.flush() || file.error() != QFileDevice::NoError)
        return fail(file.error() != QFileDevice::NoError
                        ? QString()
                        : QCoreApplication::translate("ORV_Window", "Not all of the data could be written."));
    // A file system that allocates space late (ext4, XFS) reports a full disk only here.
    QString notOnDisk;
    if (!syncToDisk(file.handle(), &notOnDisk))
        return fail(notOnDisk);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
