#include "commissioning/report.h"

#include "commissioning/batchrun.h"
#include "commissioning/devicecsv.h"
#include "commissioning/operatortexts.h"
#include "devicelink/devicemessages.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTextCodec>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList cellsOf(const ReportRow &row)
{
    return {QString::number(row.line), row.sn, row.mac, row.model, row.oldIp, row.newIp, row.road,
            row.result, row.detail, row.verification, row.time};
}

ReportRow rowOf(const QStringList &cells)
{
    ReportRow row;
    row.line = cells.at(0).toInt();
    row.sn = cells.at(1);
    row.mac = cells.at(2);
    row.model = cells.at(3);
    row.oldIp = cells.at(4);
    row.newIp = cells.at(5);
    row.road = cells.at(6);
    row.result = cells.at(7);
    row.detail = cells.at(8);
    row.verification = cells.at(9);
    row.time = cells.at(10);
    return row;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno != EINTR)
            return false;
        done += written > 0 ? written : 0;
    }
    return true;
}

// The line on which each element of the top-level JSON array starts.
QVector<int> elementLines(const QByteArray &text)
{
    QVector<int> lines;
    int line = 1;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    bool expectElement = false;
    for (const char c : text) {
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

// The cells of one JSON row in column order; false when a member is missing or of the wrong type.
bool jsonCells(const cJSON *object, QStringList *cells, QString *error)
{
    if (!cJSON_IsObject(object)) {
        *error = QStringLiteral("a row is not an object");
        return false;
    }
    for (const QString &column : reportColumns()) {
        const cJSON *value = cJSON_GetObjectItemCaseSensitive(object, column.toUtf8().constData());
        if (column == QLatin1String("line") && cJSON_IsNumber(value)) {
            *cells << QString::number(value->valuedouble, 'g', 17);
        } else if (column != QLatin1String("line") && cJSON_IsString(value)) {
            *cells << QString::fromUtf8(value->valuestring);
        } else {
            *error = QStringLiteral("\"%1\" is missing or not a %2")
                         .arg(column, column == QLatin1String("line") ? QStringLiteral("number") : QStringLiteral("text"));
            return false;
        }
    }
    return true;
}

bool isOneOf(const QString &text, const QVector<const char *> &words)
{
    return std::any_of(words.cbegin(), words.cend(), [&text](const char *word) { return text == QLatin1String(word); });
}

} // namespace

const QStringList &reportColumns()
{
    static const QStringList columns = {
        QStringLiteral("line"),   QStringLiteral("sn"),     QStringLiteral("mac"),    QStringLiteral("model"),
        QStringLiteral("old_ip"), QStringLiteral("new_ip"), QStringLiteral("road"),   QStringLiteral("result"),
        QStringLiteral("detail"), QStringLiteral("verification"), QStringLiteral("time")};
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
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
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
    QByteArray text = "[\n";
    for (int i = 0; i < rows.size(); ++i) {
        const JsonPtr object = makeJsonPtr(cJSON_CreateObject());
        const QStringList cells = cellsOf(rows.at(i));
        cJSON_AddNumberToObject(object.get(), "line", rows.at(i).line);
        for (int c = 1; c < cells.size(); ++c)
            cJSON_AddStringToObject(object.get(), reportColumns().at(c).toUtf8().constData(),
                                    cells.at(c).toUtf8().constData());
        char *printed = cJSON_PrintUnformatted(object.get());
        text += printed;
        cJSON_free(printed);
        text += i + 1 < rows.size() ? ",\n" : "\n";
    }
    return text + "]\n";
}

ReportWriter::ReportWriter(const QString &path) : filePath(path)
{
}

bool ReportWriter::fail(const QString &what, int error)
{
    lastError = QStringLiteral("cannot write the report %1: %2: %3")
                    .arg(filePath, what, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

bool ReportWriter::open()
{
    const std::optional<ReportFormat> chosen = reportFormatFor(filePath);
    if (!chosen) {
        lastError = QStringLiteral("the report %1 must end in .csv or .json").arg(filePath);
        return false;
    }
    format = *chosen;
    const int fd = ::open(QFile::encodeName(filePath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) {
            lastError = QStringLiteral("the report %1 exists already; a report is never written over: "
                                       "choose another name")
                            .arg(filePath);
            return false;
        }
        return fail(QStringLiteral("create"), errno);
    }
    const bool written = writeAll(fd, reportDocument({}, format));
    const int error = errno;
    const bool synced = written && ::fsync(fd) == 0;
    const int syncError = errno;
    if (::close(fd) != 0 || !written || !synced) {
        const int failure = !written ? error : !synced ? syncError : errno;
        ::unlink(QFile::encodeName(filePath).constData());
        return fail(QStringLiteral("write"), failure);
    }
    opened = true;
    return true;
}

bool ReportWriter::write(const QVector<ReportRow> &rows)
{
    if (!opened) {
        lastError = QStringLiteral("the report %1 was not opened").arg(filePath);
        return false;
    }
    const QByteArray target = QFile::encodeName(filePath);
    const QFileInfo info(filePath);
    QByteArray temporary = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName()) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail(QStringLiteral("create a temporary file"), errno);
    struct stat status {};
    if (::stat(target.constData(), &status) == 0)
        ::fchmod(fd, status.st_mode & 07777);

    QString step;
    int error = 0;
    if (!writeAll(fd, reportDocument(rows, format)))
        step = QStringLiteral("write");
    else if (::fsync(fd) != 0)
        step = QStringLiteral("sync");
    error = errno;
    if (::close(fd) != 0 && step.isEmpty()) {
        error = errno;
        step = QStringLiteral("close");
    }
    if (step.isEmpty() && ::rename(temporary.constData(), target.constData()) != 0) {
        error = errno;
        step = QStringLiteral("rename");
    }
    if (!step.isEmpty()) {
        ::unlink(temporary.constData());
        return fail(step, error);
    }
    // The rename itself is on disk only once the folder is.
    const int folder = ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || (::fsync(folder) != 0 && errno != EINVAL)) {
        error = errno;
        if (folder >= 0)
            ::close(folder);
        return fail(QStringLiteral("sync the folder"), error);
    }
    ::close(folder);
    return true;
}

bool readReport(const QString &path, QVector<ReportRow> *rows, int *errorLine, QString *error)
{
    *errorLine = 0;
    const std::optional<ReportFormat> format = reportFormatFor(path);
    if (!format) {
        *error = QStringLiteral("a report ends in .csv or .json");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray text = file.read(kMaxReportBytes + 1);
    if (text.size() > kMaxReportBytes) {
        *error = QStringLiteral("larger than %1 MiB: not a report").arg(kMaxReportBytes / (1024 * 1024));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return parseReport(text, *format, rows, errorLine, error);
}

bool parseReport(const QByteArray &text, ReportFormat format, QVector<ReportRow> *rows, int *errorLine,
                 QString *error)
{
    *errorLine = 0;
    rows->clear();
    QTextCodec::ConverterState state;
    const QString decoded = QTextCodec::codecForName("UTF-8")->toUnicode(text.constData(), text.size(), &state);
    if (state.invalidChars > 0 || text.contains('\0')) {
        *error = QStringLiteral("not UTF-8 text");
        return false;
    }

    QVector<QPair<int, QStringList>> records; // report line, cells
    if (format == ReportFormat::Csv) {
        QVector<CsvRecord> csv;
        const char *why = nullptr;
        if (!readCsvRecords(decoded, false, &csv, errorLine, &why)) {
            *error = QString::fromLatin1(why);
            return false;
        }
        if (csv.isEmpty() || csv.first().cells != reportColumns()) {
            *errorLine = csv.isEmpty() ? 1 : csv.first().line;
            *error = QStringLiteral("the header is not \"%1\"").arg(reportColumns().join(QLatin1Char(',')));
            return false;
        }
        for (int i = 1; i < csv.size(); ++i) {
            QStringList cells;
            for (const QString &cell : qAsConst(csv.at(i).cells))
                cells << csvUnguarded(cell);
            records.append({csv.at(i).line, cells});
        }
    } else {
        const char *end = nullptr;
        const JsonPtr array = makeJsonPtr(cJSON_ParseWithLengthOpts(text.constData(), std::size_t(text.size()), &end, false));
        if (!cJSON_IsArray(array.get())) {
            *errorLine = array || !end ? 1 : 1 + int(std::count(text.constData(), end, '\n'));
            *error = array ? QStringLiteral("not an array of report rows") : QStringLiteral("not JSON");
            return false;
        }
        const QVector<int> lines = elementLines(text);
        int i = 0;
        const cJSON *object = nullptr;
        cJSON_ArrayForEach(object, array.get())
        {
            QStringList cells;
            *errorLine = lines.value(i++, 1);
            if (!jsonCells(object, &cells, error))
                return false;
            records.append({*errorLine, cells});
        }
    }

    QVector<const char *> results, verifications = {""};
    for (const RunResult result : {RunResult::Pending, RunResult::Started, RunResult::Planned, RunResult::Done,
                                   RunResult::Failed, RunResult::Skipped, RunResult::Conflict, RunResult::NotRun})
        results << runResultText(result);
    for (const Verification verification : {Verification::Verified, Verification::KeptOldAddress,
                                             Verification::NotSeen, Verification::SeenElsewhere})
        verifications << verificationText(verification);

    QHash<QString, int> serialLines;
    for (const auto &record : qAsConst(records)) {
        *errorLine = record.first;
        const QStringList &cells = record.second;
        if (cells.size() != reportColumns().size()) {
            *error = QStringLiteral("expected %1 cells, found %2").arg(reportColumns().size()).arg(cells.size());
            return false;
        }
        ReportRow row = rowOf(cells);
        row.reportLine = record.first;
        bool lineOk = false;
        if (cells.at(0).toInt(&lineOk) <= 0 || !lineOk) {
            *error = QStringLiteral("\"%1\" is no plan line").arg(cells.at(0));
            return false;
        }
        if (row.sn.isEmpty()) {
            *error = QStringLiteral("empty serial number");
            return false;
        }
        if (!isOneOf(row.result, results)) {
            *error = QStringLiteral("\"%1\" is no result of a run").arg(row.result);
            return false;
        }
        if (!isOneOf(row.verification, verifications)) {
            *error = QStringLiteral("\"%1\" is no verification of a run").arg(row.verification);
            return false;
        }
        if (serialLines.contains(row.sn)) {
            *error = QStringLiteral("serial number %1 is already on line %2").arg(row.sn).arg(serialLines.value(row.sn));
            return false;
        }
        serialLines.insert(row.sn, record.first);
        rows->append(row);
    }
    *errorLine = 0;
    return true;
}

QVector<PlanRow> reversePlan(const QVector<ReportRow> &rows)
{
    QVector<PlanRow> plan;
    for (const ReportRow &row : rows) {
        if (row.result == QLatin1String(runResultText(RunResult::Done))
            || row.result == QLatin1String(runResultText(RunResult::Started)) || !row.verification.isEmpty())
            plan.append({row.reportLine, row.sn, row.oldIp, QString()});
    }
    return plan;
}
