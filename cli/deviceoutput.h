#pragma once

// The device list of a search as the command line prints it.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cjson/cJSON.h>

#include <functional>

// Where a table cuts a cell (in characters, the ellipsis included) unless told to keep it whole.
inline constexpr int kTableCellWidth = 40;

// The member that csv and json add after the device's own eight: how many devices of the
// search answer at its address.
inline constexpr char kDevicesAtIpName[] = "devicesAtIp";

// A text made safe for a terminal: control characters, line and paragraph separators and
// the marks that reorder a line become escapes (\x0a, \u202e, \\), so that a text from a
// device can neither start a line of its own nor send escape sequences.
QString printable(const QString &text);

// The first width characters of text, the last of them an ellipsis when text is longer;
// text as it is for width 0.
QString cutCell(const QString &text, int width);

// Cells padded to the widest of their column, two blanks apart, every cell printable() and
// cut at cellWidth (0: whole). The last column pads nothing, so it stays whole. Hands each
// line (with its line end) to write as it is made, so that the padded table is never held
// whole; stops when write returns false.
void writeTable(const QVector<QStringList> &rows, int cellWidth, const std::function<bool(const QString &)> &write);
QString textTable(const QVector<QStringList> &rows, int cellWidth = kTableCellWidth);

// The devices of a search array, one row of the eight members each, ordered by address
// (numerically) and then by serial number.
QVector<QStringList> deviceRows(const cJSON *array);

// How many of the rows report each address.
QHash<QString, int> addressCounts(const QVector<QStringList> &rows);

// The list formats of "list", each with every device and the number of devices at its
// address: the rows of a table (its header first, its AT IP column last), CSV with the
// eight member columns and then devicesAtIp, and a JSON array of objects with the eight
// members and devicesAtIp.
QVector<QStringList> deviceTable(const QVector<QStringList> &rows);
QByteArray deviceCsv(const QVector<QStringList> &rows);
QByteArray deviceJson(const QVector<QStringList> &rows);
