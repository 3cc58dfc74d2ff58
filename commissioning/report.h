#pragma once

// The report of an address-change run, written as the run goes, and read back for undo.
// CSV or JSON by the file's extension (.csv, .json), UTF-8, one row per plan row with the
// columns of reportColumns(); never a password.
//
// Writing: every write replaces the whole report atomically (a temporary file in the same
// folder, every write checked, fsync, rename, fsync of the folder), so the file always holds
// either the previous complete report or the new one: a full disk or a killed program never
// leaves less than the last good report. open() refuses a file that exists already, so that
// one run's record is never written over by another's.
//
//     ReportWriter report(path);
//     if (!report.open())
//         fail(report.error());              // before anything is sent
//     ...report.write(rows) after every change (batchrun.h does it)...
//
// Reading for undo:
//
//     QVector<ReportRow> rows;
//     int line;
//     QString error;
//     if (!readReport(path, &rows, &line, &error))
//         fail(path + ":" + line + ": " + error);
//     const QVector<PlanRow> undo = reversePlan(rows);   // checked and run like any plan

#include "commissioning/addressplan.h"

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

// The current local time as reports write it: 2024-05-01T14:03:07+02:00.
QString reportTime();

// The whole report as it is written.
QByteArray reportDocument(const QVector<ReportRow> &rows, ReportFormat format);

class ReportWriter
{
public:
    explicit ReportWriter(const QString &path);

    // Creates the report without rows; false (see error()) when the file exists, its
    // extension is neither .csv nor .json, or it cannot be written.
    bool open();
    // Replaces the report by these rows; false (see error()) when that failed, in which case
    // the file still holds the last report written.
    bool write(const QVector<ReportRow> &rows);

    QString path() const { return filePath; }
    QString error() const { return lastError; }

private:
    bool fail(const QString &what, int error);

    QString filePath;
    ReportFormat format = ReportFormat::Csv;
    bool opened = false;
    QString lastError;
};

// Reads a report (format by extension). False, with the report's line (0: the whole file)
// and the reason, when it is larger than kMaxReportBytes, is not UTF-8 text, does not start
// with the report's header (CSV) or is not an array of report rows (JSON), has a row whose
// line or result is not one of a report, or names a serial number twice.
bool readReport(const QString &path, QVector<ReportRow> *rows, int *errorLine, QString *error);
bool parseReport(const QByteArray &text, ReportFormat format, QVector<ReportRow> *rows, int *errorLine,
                 QString *error);

// The plan that puts back the old address of every row whose device may have moved: result
// "done" or "started", or looked for in verification. Each row's line is its report line.
QVector<PlanRow> reversePlan(const QVector<ReportRow> &rows);
