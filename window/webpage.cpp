#include "ui_orv_window.h"

#include "commissioning/addressrules.h"
#include "window/orv_window.h"
#include "window/tablerules.h"

#include <QDebug>
#include <QDesktopServices>
#include <QMessageBox>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QUrl>

namespace {

constexpr qint64 doubleClickGuardMs = 500;

} // namespace

void ORV_Window::onCellDoubleClicked(int row, int column)
{
    // A monotonic clock: setting the system clock back must not block the next clicks.
    if (lastDoubleClick.isValid() && lastDoubleClick.elapsed() < doubleClickGuardMs)
        return;
    lastDoubleClick.start();

    if (column != IpColumn)
        return;

    QTableWidget *table = ui->tableWidget;
    const QTableWidgetItem *versionItem = table->item(row, VersionColumn);
    if (!servesWebPage(versionItem ? versionItem->text() : QString())) {
        QMessageBox::information(this, tr("Tips"), tr("The version is low and does not support web functions"));
        return;
    }

    const QTableWidgetItem *ipItem = table->item(row, IpColumn);
    if (!ipItem)
        return;
    // The IP cell holds whatever a device reported; a browser reads "010.1.2.3" as another
    // host than the table shows, so only a plain decimal address becomes the page's host.
    const QString ip = ipItem->text();
    if (!isPlainDottedQuad(ip.toStdString())) {
        qWarning() << "onCellDoubleClicked: not a plain IPv4 address, no web page opened:" << ip;
        return;
    }
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + ip, QUrl::TolerantMode));
}
