#include "orv_window.h"
#include "ui_orv_window.h"

#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QHostAddress>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QUrl>
#include <QVersionNumber>

namespace {

constexpr int ipColumn = 0;
constexpr int versionColumn = 4;
constexpr qint64 doubleClickGuardMs = 500;

// The IP cell holds whatever a device reported; only a plain dotted IPv4 address may
// become the host of the address handed to the browser.
bool isDottedIPv4(const QString &text)
{
    static const QRegularExpression dotted(QStringLiteral("\\A[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\z"));
    if (!dotted.match(text).hasMatch())
        return false;
    const QHostAddress address(text);
    return !address.isNull() && address.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

void ORV_Window::onCellDoubleClicked(int row, int column)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastDoubleClickTime < doubleClickGuardMs)
        return;
    lastDoubleClickTime = now;

    if (column != ipColumn)
        return;

    QTableWidget *table = ui->tableWidget;
    const QTableWidgetItem *versionItem = table->item(row, versionColumn);
    const QString version = versionItem ? versionItem->text() : QString();
    const bool mayOpen = isVersionAtLeast(version, QStringLiteral("6.0.231024"))
                         && version != QLatin1String("6.0.240514") && version != QLatin1String("6.0.240630");
    if (!mayOpen) {
        QMessageBox::information(this, tr("Tips"), tr("The version is low and does not support web functions"));
        return;
    }

    const QTableWidgetItem *ipItem = table->item(row, ipColumn);
    if (!ipItem)
        return;
    const QString ip = ipItem->text();
    if (!isDottedIPv4(ip)) {
        qWarning() << "onCellDoubleClicked: not an IPv4 address, no web page opened:" << ip;
        return;
    }
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + ip, QUrl::TolerantMode));
}

bool ORV_Window::isVersionAtLeast(const QString &version, const QString &minimum)
{
    const QString v = version.trimmed();
    const QString m = minimum.trimmed();
    if (v.isEmpty() || m.isEmpty() || v == QLatin1String("---"))
        return false;
    const QVersionNumber have = QVersionNumber::fromString(v);
    const QVersionNumber need = QVersionNumber::fromString(m);
    if (have.isNull() || need.isNull())
        return false;
    return QVersionNumber::compare(have, need) >= 0;
}
