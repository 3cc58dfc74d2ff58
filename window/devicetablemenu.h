#pragma once

// The device table's context menu: copy a device's address or row, or export every
// device of the last search, as changed from the window since, as CSV (the format of
// "tarnvale-cli list --format csv").

#include "window/deviceentry.h"

#include <QList>
#include <QString>

class ORV_Window;
class QMenu;
class QTableWidget;

// Opens deviceTableMenu() at a right click on the table.
void installDeviceTableMenu(ORV_Window *window, QTableWidget *table);

// "Copy IP" and "Copy row" act on the table row (disabled when row is -1), "Export all
// devices to CSV…" and "Change addresses…" on every page. Made at each request, so that it speaks the language
// chosen last; the caller owns it.
QMenu *deviceTableMenu(ORV_Window *window, QTableWidget *table, int row);

// The header and one line per device with its eight members; false, with the reason,
// when the file cannot be written in full (a full disk too): a file already there is then
// left as it was, and no new file is left behind.
bool exportDevicesCsv(const QList<DeviceEntry> &devices, const QString &path, QString *error);
