#pragma once

// The device list of a search as the command line prints it.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cjson/cJSON.h>

// A text made safe for a terminal: control characters, line and paragraph separators and
// the marks that reorder a line become escapes (\x0a, \u202e, \\), so that a text from a
// device can neither start a line of its own nor send escape sequences.
QString printable(const QString &text);

// Cells padded to the widest of their column, two blanks apart, every cell printable().
QString textTable(const QVector<QStringList> &rows);

// The devices of a search array, one row of deviceCsvColumns() each, ordered by address
// (numerically) and then by serial number.
QVector<QStringList> deviceRows(const cJSON *array);

// How many of the rows report each address.
QHash<QString, int> addressCounts(const QVector<QStringList> &rows);

// The list formats of "list": table (with a SHARED column when markShared and any address
// is reported twice), CSV and a JSON array of objects.
QString deviceTable(const QVector<QStringList> &rows, bool markShared);
QByteArray deviceJson(const QVector<QStringList> &rows);
