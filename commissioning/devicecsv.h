#pragma once

// The device list as CSV, one format for the window's export and the command line:
// UTF-8, comma-separated, CR LF line ends, quoted as RFC 4180 says.

#include <QByteArray>
#include <QStringList>
#include <QVector>

// The members of a device as a search lists it, in column order; also the header row.
const QStringList &deviceCsvColumns();

// One cell. A text that a spreadsheet would run as a formula (one that starts with =, +,
// -, @, a tab or a carriage return, after any single quotes) gets a single quote in front;
// then the cell is quoted when it holds a comma, a double quote or a line break, starts
// with '#' (a comment line to readers of plans) or starts or ends with a blank (which
// readers drop around cells that are not quoted).
QString csvField(const QString &text);

// The rows, each cell through csvField, as UTF-8 text.
QByteArray csvDocument(const QVector<QStringList> &rows);

struct CsvRecord
{
    int line = 0; // where the record starts, from 1
    QStringList cells;
    QVector<bool> quoted; // per cell: it was quoted, so that its blanks are its own
};

// RFC 4180 records, tolerant of LF line ends and of blanks around a quoted cell; blank lines
// are skipped, and so are lines that start with '#' when commentLines is set. False, with the
// line and the reason (an English source marked for the "ORV_Window" context), for a quote
// left open or text after a closing quote.
bool readCsvRecords(const QString &text, bool commentLines, QVector<CsvRecord> *records, int *errorLine,
                    const char **error);

// A cell as it was before csvField() guarded it against spreadsheets.
QString csvUnguarded(const QString &cell);

// The first line (from 1) of a file that is not UTF-8 text, with the reason (an English source
// marked for the "ORV_Window" context): a NUL byte, a byte sequence that is not UTF-8, or one
// cut short at the end; 0 when the whole file is text. One rule for plans and reports.
int firstLineNotText(const QByteArray &text, const char **reason);
