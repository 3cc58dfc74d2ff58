#include "commissioning/report.h"

#include "commissioning/batchrun.h"
#include "commissioning/devicecsv.h"
#include "commissioning/operatortexts.h"
#include "devicelink/devicemessages.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// The first line of a report that is still a log: what a reader sees first when a run was
// killed, and how the report's reader knows the form.
constexpr char kLogLine[] = "# an unfinished report: one event per line, the last one of each plan line holds\n";

// Every column once: its name, and where a row keeps it ("line" is the row's number).
struct ReportColumn
{
    const char *name;
    QString ReportRow::*text;
};
// clang-format off
const ReportColumn kColumns[] = {
    {"line", nullptr}, {"sn", &ReportRow::sn}, {"mac", &ReportRow::mac}, {"model", &ReportRow::model},
    {"old_ip", &ReportRow::oldIp}, {"new_ip", &ReportRow::newIp}, {"road", &ReportRow::road},
    {"result", &ReportRow::result}, {"detail", &ReportRow::detail}, {"verification", &ReportRow::verification},
    {"time", &ReportRow::time},
};
// clang-format on

QString reportString(const char *source, bool translate)
{
    return translate ? QCoreApplication::translate("Commissioning", source) : QString::fromUtf8(source);
}

QStringList cellsOf(const ReportRow &row)
{
    QStringList cells;
    for (const ReportColumn &column : kColumns)
        cells << (column.text ? row.*column.text : QString::number(row.line));
    return cells;
}

JsonPtr jsonOf(const ReportRow &row)
{
    JsonPtr object = makeJsonPtr(cJSON_CreateObject());
    for (const ReportColumn &column : kColumns) {
        if (column.text)
            cJSON_AddStringToObject(object.get(), column.name, (row.*column.text).toUtf8().constData());
        else
            cJSON_AddNumberToObject(object.get(), column.name, row.line);
    }
    return object;
}

QByteArray jsonLine(const ReportRow &row)
{
    char *printed = cJSON_PrintUnformatted(jsonOf(row).get());
    const QByteArray line(printed);
    cJSON_free(printed);
    return line;
}

// A row read from a report: its cells in column order and the line it starts on.
struct Record
{
    int line = 0;
    QStringList cells;
};

// The cells of one JSON row in column order; false when a member is missing or of the wrong type.
bool jsonCells(const cJSON *object, QStringList *cells, QString *error, bool translate)
{
    if (!cJSON_IsObject(object)) {
        *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "a row is not an object"), translate);
        return false;
    }
    for (const ReportColumn &column : kColumns) {
        const cJSON *value = cJSON_GetObjectItemCaseSensitive(object, column.name);
        if (!column.text && cJSON_IsNumber(value)) {
            *cells << QString::number(value->valuedouble, 'g', 17);
        } else if (column.text && cJSON_IsString(value)) {
            *cells << QString::fromUtf8(value->valuestring);
        } else {
            *error = (column.text ? reportString(QT_TRANSLATE_NOOP("Commissioning", "\"%1\" is missing or not a text"), translate)
                                  : reportString(QT_TRANSLATE_NOOP("Commissioning", "\"%1\" is missing or not a number"), translate))
                         .arg(QLatin1String(column.name));
            return false;
        }
    }
    return true;
}

// The line on which each element of the top-level JSON array starts.
QVector<int> elementLines(const QByteArray &json)
{
    QVector<int> lines;
    int line = 1;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    bool expectElement = false;
    for (const char c : json) {
        line += c == '\n';
        if (inString) {
            escaped = !escaped && c == '\\';
            inString = escaped || c != '"';
            continue;
        }
        if (depth == 1 && expectElement && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ']') {
            lines << line;
            expectElement = false;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            expectElement = ++depth == 1;
        } else if (c == ']' || c == '}') {
            --depth;
        } else if (c == ',' && depth == 1) {
            expectElement = true;
        }
    }
    return lines;
}

int lineAt(const QByteArray &json, const char *at)
{
    return 1 + int(std::count(json.constData(), at, '\n'));
}

bool csvRecords(const QByteArray &bytes, QVector<Record> *records, int *errorLine, QString *error, bool translate)
{
    QVector<CsvRecord> csv;
    const char *why = nullptr;
    if (!readCsvRecords(QString::fromUtf8(bytes), false, &csv, errorLine, &why)) {
        *error = operatorString(why, translate);
        return false;
    }
    if (csv.isEmpty() || csv.first().cells != reportColumns()) {
        *errorLine = csv.isEmpty() ? 1 : csv.first().line;
        *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "the header is not \"%1\""), translate)
                     .arg(reportColumns().join(QLatin1Char(',')));
        return false;
    }
    for (int i = 1; i < csv.size(); ++i) {
        QStringList cells;
        for (const QString &cell : qAsConst(csv.at(i).cells))
            cells << csvUnguarded(cell);
        records->append({csv.at(i).line, cells});
    }
    return true;
}

bool jsonRecords(const QByteArray &bytes, QVector<Record> *records, int *errorLine, QString *error, bool translate)
{
    const char *end = nullptr;
    const JsonPtr array = makeJsonPtr(cJSON_ParseWithLengthOpts(bytes.constData(), std::size_t(bytes.size()), &end, false));
    if (!cJSON_IsArray(array.get())) {
        *errorLine = array || !end ? 1 : lineAt(bytes, end);
        *error = array ? reportString(QT_TRANSLATE_NOOP("Commissioning", "not an array of report rows"), translate)
                       : reportString(QT_TRANSLATE_NOOP("Commissioning", "not JSON"), translate);
        return false;
    }
    // Two reports one after the other, or anything else after the array, are no report.
    const char *rest = end;
    while (rest < bytes.constData() + bytes.size() && (*rest == ' ' || *rest == '\t' || *rest == '\r' || *rest == '\n'))
        ++rest;
    if (rest < bytes.constData() + bytes.size()) {
        *errorLine = lineAt(bytes, rest);
        *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "text after the array of report rows"), translate);
        return false;
    }
    const QVector<int> lines = elementLines(bytes);
    int i = 0;
    const cJSON *object = nullptr;
    cJSON_ArrayForEach(object, array.get())
    {
        QStringList cells;
        *errorLine = lines.value(i++, 1);
        if (!jsonCells(object, &cells, error, translate))
            return false;
        records->append({*errorLine, cells});
    }
    return true;
}

// The events of a log, one JSON object per line after the first.
bool logRecords(const QByteArray &bytes, QVector<Record> *records, int *errorLine, QString *error, bool translate)
{
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        *errorLine = i + 1;
        if (lines.at(i).trimmed().isEmpty())
            continue;
        const JsonPtr object = makeJsonPtr(cJSON_ParseWithLength(lines.at(i).constData(), std::size_t(lines.at(i).size())));
        QStringList cells;
        if (!object) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "not JSON"), translate);
            return false;
        }
        if (!jsonCells(object.get(), &cells, error, translate))
            return false;
        records->append({*errorLine, cells});
    }
    return true;
}

bool isOneOf(const QString &word, const QVector<const char *> &words)
{
    return std::any_of(words.cbegin(), words.cend(), [&word](const char *w) { return word == QLatin1String(w); });
}

} // namespace

const QStringList &reportColumns()
{
    static const QStringList columns = [] {
        QStringList names;
        for (const ReportColumn &column : kColumns)
            names << QLatin1String(column.name);
        return names;
    }();
    return columns;
}

std::optional<ReportFormat> reportFormatFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return ReportFormat::Csv;
    if (suffix == QLatin1String("json"))
        return ReportFormat::Json;
    return std::nullopt;
}

QString reportTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    // The C locale: another would write its own digits, which no reader of ISO 8601 takes.
    return QLocale::c().toString(now, QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
           + QStringLiteral("%1%2:%3")
                 .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                 .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                 .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QByteArray reportDocument(const QVector<ReportRow> &rows, ReportFormat format)
{
    if (format == ReportFormat::Csv) {
        QVector<QStringList> table = {reportColumns()};
        for (const ReportRow &row : rows)
            table << cellsOf(row);
        return csvDocument(table);
    }
    QByteArray document = "[\n";
    for (int i = 0; i < rows.size(); ++i)
        document += jsonLine(rows.at(i)) + (i + 1 < rows.size() ? ",\n" : "\n");
    return document + "]\n";
}

ReportWriter::ReportWriter(const QString &path, bool translate)
    : filePath(path), translate(translate), format(reportFormatFor(path).value_or(ReportFormat::Csv))
{
}

bool ReportWriter::fail(const char *what, const QString &reason)
{
    lastError = reportString(what, translate).arg(filePath);
    if (!reason.isEmpty())
        lastError += QLatin1Char(' ') + reason;
    return false;
}

bool ReportWriter::failed()
{
    switch (file.failedStep()) {
    case ReportFile::Step::None:
        break;
    case ReportFile::Step::Exists:
        return fail(QT_TRANSLATE_NOOP("Commissioning",
                                      "The report %1 exists already; a report is never written over: choose another name."));
    case ReportFile::Step::Create:
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The report %1 could not be created:"), file.systemText());
    case ReportFile::Step::Write:
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The report %1 could not be written:"), file.systemText());
    case ReportFile::Step::Sync:
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The report %1 could not be saved to the disk:"), file.systemText());
    case ReportFile::Step::Replace:
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The report %1 could not be replaced by its final form:"),
                    file.systemText());
    case ReportFile::Step::SyncFolder:
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The folder of the report %1 could not be saved to the disk:"),
                    file.systemText());
    }
    return false;
}

bool ReportWriter::open()
{
    if (!reportFormatFor(filePath))
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The report %1 must end in .csv or .json."));
    return file.create(filePath, kLogLine) || failed();
}

bool ReportWriter::goOn(const QVector<PlanRow> &plan)
{
    if (!QFileInfo::exists(filePath) || !reportFormatFor(filePath))
        return open();
    int line = 0;
    QString why;
    if (!readReport(filePath, &earlier, &line, &why, translate)) {
        earlier.clear();
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The file %1 exists and is no report; it is never written "
                                                       "over: choose another name."),
                    QStringLiteral("(%1)").arg(line ? QStringLiteral("%1: %2").arg(line).arg(why) : why));
    }
    if (!continuesPlan(earlier, plan)) {
        earlier.clear();
        return fail(QT_TRANSLATE_NOOP("Commissioning", "The report %1 exists already and records another plan; a "
                                                       "report is never written over: choose another name."));
    }
    QByteArray log = kLogLine;
    for (const ReportRow &row : qAsConst(earlier))
        log += jsonLine(row) + '\n';
    return (file.replace(filePath, log) && file.openForAppend(filePath)) || failed();
}

void ReportWriter::append(const ReportRow &row)
{
    pending += jsonLine(row) + '\n';
}

bool ReportWriter::sync()
{
    if (!pending.isEmpty() && !file.append(pending))
        return failed();
    pending.clear();
    return file.sync() || failed();
}

bool ReportWriter::write(const QVector<ReportRow> &rows)
{
    pending.clear();
    file.close();
    return file.replace(filePath, reportDocument(rows, format)) || failed();
}

bool readReport(const QString &path, QVector<ReportRow> *rows, int *errorLine, QString *error, bool translate)
{
    *errorLine = 0;
    const std::optional<ReportFormat> format = reportFormatFor(path);
    if (!format) {
        *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "a report ends in .csv or .json"), translate);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.read(kMaxReportBytes + 1);
    if (bytes.size() > kMaxReportBytes) {
        *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "larger than %1 MiB: not a report"), translate)
                     .arg(kMaxReportBytes / (1024 * 1024));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return parseReport(bytes, *format, rows, errorLine, error, translate);
}

bool parseReport(const QByteArray &bytes, ReportFormat format, QVector<ReportRow> *rows, int *errorLine,
                 QString *error, bool translate)
{
    *errorLine = 0;
    rows->clear();
    const bool log = bytes.startsWith(kLogLine);
    // Every event is written whole with its line end: a last line without one was cut by a kill.
    const QByteArray text = log ? bytes.left(bytes.lastIndexOf('\n') + 1) : bytes;
    const char *notText = nullptr;
    if ((*errorLine = firstLineNotText(text, &notText))) {
        *error = operatorString(notText, translate);
        return false;
    }

    QVector<Record> records;
    const bool read = log                            ? logRecords(text, &records, errorLine, error, translate)
                      : format == ReportFormat::Csv ? csvRecords(text, &records, errorLine, error, translate)
                                                    : jsonRecords(text, &records, errorLine, error, translate);
    if (!read)
        return false;

    QVector<const char *> results, verifications = {""};
    for (const RunResult result : {RunResult::Pending, RunResult::Started, RunResult::Planned, RunResult::Done,
                                   RunResult::Failed, RunResult::Skipped, RunResult::Conflict, RunResult::NotRun})
        results << runResultText(result);
    for (const Verification verification : {Verification::Verified, Verification::KeptOldAddress,
                                             Verification::NotSeen, Verification::SeenElsewhere})
        verifications << verificationText(verification);

    QHash<QString, QPair<int, int>> serials; // serial number -> its plan line, the report line it is first on
    QHash<int, int> rowOfLine;               // plan line -> index in rows
    for (const Record &record : qAsConst(records)) {
        *errorLine = record.line;
        const QStringList &cells = record.cells;
        if (cells.size() != int(std::size(kColumns))) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "expected %1 cells, found %2"), translate)
                         .arg(std::size(kColumns))
                         .arg(cells.size());
            return false;
        }
        ReportRow row;
        bool lineOk = false;
        row.line = cells.at(0).toInt(&lineOk);
        if (!lineOk || row.line <= 0) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "\"%1\" is no plan line"), translate).arg(cells.at(0));
            return false;
        }
        for (int c = 1; c < cells.size(); ++c)
            row.*kColumns[c].text = cells.at(c);
        row.reportLine = record.line;
        if (row.sn.isEmpty()) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "empty serial number"), translate);
            return false;
        }
        if (!isOneOf(row.result, results)) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "\"%1\" is no result of a run"), translate).arg(row.result);
            return false;
        }
        if (!isOneOf(row.verification, verifications)) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "\"%1\" is no verification of a run"), translate)
                         .arg(row.verification);
            return false;
        }
        // A log names a row again with each event; a serial number on two plan lines is no report.
        const auto first = serials.constFind(row.sn);
        if (first != serials.cend() && (!log || first->first != row.line)) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "serial number %1 is already on line %2"), translate)
                         .arg(row.sn)
                         .arg(first->second);
            return false;
        }
        if (first == serials.cend())
            serials.insert(row.sn, {row.line, record.line});
        // Two devices on one plan line would leave one of them out of an undo.
        const auto seen = rowOfLine.constFind(row.line);
        if (seen != rowOfLine.cend() && (!log || rows->at(*seen).sn != row.sn)) {
            *error = reportString(QT_TRANSLATE_NOOP("Commissioning", "plan line %1 is already in the report"), translate)
                         .arg(row.line);
            return false;
        }
        if (seen != rowOfLine.cend()) { // a later event of a log
            (*rows)[*seen] = row;
        } else {
            rowOfLine.insert(row.line, rows->size());
            rows->append(row);
        }
    }
    *errorLine = 0;
    return true;
}

bool mayHaveMoved(const ReportRow &row)
{
    return row.result == QLatin1String(runResultText(RunResult::Done))
           || row.result == QLatin1String(runResultText(RunResult::Started)) || !row.verification.isEmpty();
}

QVector<PlanRow> reversePlan(const QVector<ReportRow> &rows)
{
    QVector<PlanRow> plan;
    for (const ReportRow &row : rows) {
        if (mayHaveMoved(row))
            plan.append({row.reportLine, row.sn, row.oldIp, QString()});
    }
    return plan;
}

bool continuesPlan(const QVector<ReportRow> &rows, const QVector<PlanRow> &plan)
{
    QHash<int, const PlanRow *> byLine;
    for (const PlanRow &row : plan)
        byLine.insert(row.line, &row);
    return std::all_of(rows.cbegin(), rows.cend(), [&byLine](const ReportRow &row) {
        const PlanRow *planned = byLine.value(row.line);
        return planned && planned->sn == row.sn && planned->newIp == row.newIp;
    });
}
