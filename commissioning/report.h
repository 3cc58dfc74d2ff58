#pragma once

// The report of an address-change run, written as the run goes, and read back for undo.
// CSV or JSON by the file's extension (.csv, .json), UTF-8, one row per plan row with the
// columns of reportColumns(); never a password.
//
// Writing costs one write and one sync per device, however long the plan: while the run goes
// the file is a log, a first line that says so and then one JSON object per line, each the
// state of one plan row at one moment (the rows as they stand at the start, each device
// "started" before it is touched, its outcome after). The run syncs the log before it touches
// the next device, so the outcome of one device reaches the disk with the "started" of the
// next. At the end one atomic rewrite (a temporary file, synced, renamed over the log, the
// folder synced) gives the report its final form. A killed run leaves the log, which the
// reader takes as a report: the last line of each plan row holds, and a line cut short by
// the kill is dropped (nothing was touched for it).
//
//     ReportWriter report(path);
//     if (!report.goOn(plan))                  // or open(): a new file only
//         fail(report.error());                // before anything is sent
//     ...batchrun.h appends the events, syncs and ends the report...
//
// Reading for undo:
//
//     QVector<ReportRow> rows;
//     int line;
//     QString error;
//     if (!readReport(path, &rows, &line, &error))
//         fail(path + ":" + line + ": " + error);
//     const QVector<PlanRow> undo = reversePlan(rows);   // checked and run like any plan
//
// Texts come as English sources, or translated in the "Commissioning" context with
// translate = true.

#include "commissioning/addressplan.h"
#include "commissioning/reportfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// Reports larger than this are refused unread: far above the largest search.
inline constexpr qint64 kMaxReportBytes = 16 * 1024 * 1024;

struct ReportRow
{
    int line = 0; // the plan line
    QString sn, mac, model, oldIp, newIp;
    QString road;         // roadName(), or empty
    QString result;       // runResultText()
    QString detail;       // the outcome or verdict, in English
    QString verification; // verificationText(), or empty
    QString time;         // ISO 8601 with offset: when the row got its result
    int reportLine = 0;   // readReport(): where the row starts in the report
};

// "line", "sn", "mac", "model", "old_ip", "new_ip", "road", "result", "detail",
// "verification", "time": the CSV header and the JSON members.
const QStringList &reportColumns();

enum class ReportFormat { Csv, Json };
// By the extension, letter case ignored; nothing for any other.
std::optional<ReportFormat> reportFormatFor(const QString &path);

// The current local time as reports write it, in ASCII digits whatever the locale:
// 2024-05-01T14:03:07+02:00.
QString reportTime();

// The whole report in its final form.
QByteArray reportDocument(const QVector<ReportRow> &rows, ReportFormat format);

class ReportWriter
{
public:
    explicit ReportWriter(const QString &path, bool translate = false);

    // Creates the report, an empty log; false (see error()) when the file exists, its
    // extension is neither .csv nor .json, or it cannot be written.
    bool open();
    // As open(), but the report of an earlier run of this plan (one that was stopped, or
    // killed) is gone on with rather than refused: earlierRows() then holds its rows, which
    // the file holds again as its first lines. Refused: a file that is no report, or the
    // report of another plan (continuesPlan()).
    bool goOn(const QVector<PlanRow> &plan);
    const QVector<ReportRow> &earlierRows() const { return earlier; }

    // One event: a plan row as it stands now. On the disk by the next sync().
    void append(const ReportRow &row);
    // Every event appended so far on the disk; false (see error()) when that failed.
    bool sync();
    // Replaces the report by these rows in its final form; false (see error()) when that
    // failed, in which case the file holds what it held.
    bool write(const QVector<ReportRow> &rows);

    QString path() const { return filePath; }
    // One sentence that says what failed, then the system's reason.
    QString error() const { return lastError; }

private:
    bool fail(const char *what, const QString &reason = QString());
    bool failed(); // from the file's failure

    QString filePath;
    bool translate = false;
    ReportFormat format = ReportFormat::Csv;
    ReportFile file;
    QByteArray pending;
    QVector<ReportRow> earlier;
    QString lastError;
};

// Reads a report (format by extension), in its final form or a log. False, with the
// report's line (0: the whole file) and the reason, when it is larger than
// kMaxReportBytes, is not UTF-8 text (firstLineNotText(), so also a file cut inside a
// character), does not start with the report's header (CSV) or is not one array of report
// rows with nothing after it (JSON), has a row whose line or result is not one of a report,
// or names a serial number on two plan lines.
bool readReport(const QString &path, QVector<ReportRow> *rows, int *errorLine, QString *error,
                bool translate = false);
bool parseReport(const QByteArray &text, ReportFormat format, QVector<ReportRow> *rows, int *errorLine,
                 QString *error, bool translate = false);

// Whether the device of the row may have moved: result "done" or "started", or looked for in
// verification.
bool mayHaveMoved(const ReportRow &row);

// The plan that puts back the old address of every row whose device may have moved. Each
// row's line is its report line.
QVector<PlanRow> reversePlan(const QVector<ReportRow> &rows);

// Whether a run of this plan may go on in a report with these rows: each row is one of the
// plan's (the same line, serial number and new address), so that no row is lost.
bool continuesPlan(const QVector<ReportRow> &rows, const QVector<PlanRow> &plan);
