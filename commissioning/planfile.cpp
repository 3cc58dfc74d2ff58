#include "commissioning/planfile.h"

#include "commissioning/devicecsv.h"
#include "commissioning/operatortexts.h"

#include <QFile>
#include <QHash>
#include <QStringList>

#include <algorithm>

namespace {

bool isHeader(const QStringList &cells)
{
    return std::any_of(cells.cbegin(), cells.cend(),
                       [](const QString &cell) { return planColumns().contains(cell.trimmed().toLower()); });
}

bool headerInOrder(const QStringList &cells)
{
    if (cells.size() < 2 || cells.size() > planColumns().size())
        return false;
    for (int i = 0; i < cells.size(); ++i) {
        if (cells.at(i).trimmed().toLower() != planColumns().at(i))
            return false;
    }
    return true;
}

bool digitsAndDots(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
    });
}

// The CSV records of a plan or a file of passwords: within the size cap, text, quoted properly.
bool readRecords(const QByteArray &text, QVector<CsvRecord> *records, int *errorLine, QString *error, bool translate)
{
    *errorLine = 0;
    if (text.size() > kMaxPlanBytes) {
        *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "larger than %1 bytes: not a plan"), translate)
                     .arg(kMaxPlanBytes);
        return false;
    }
    const char *notText = nullptr;
    if ((*errorLine = firstLineNotText(text, &notText))) {
        *error = operatorString(notText, translate);
        return false;
    }
    QString decoded = QString::fromUtf8(text);
    if (decoded.startsWith(QChar(0xfeff))) // saved by a spreadsheet
        decoded.remove(0, 1);
    const char *why = nullptr;
    if (!readCsvRecords(decoded, true, records, errorLine, &why)) {
        *error = operatorString(why, translate);
        return false;
    }
    return true;
}

// A cell that names a device or an address: see parsePlan().
QString dataCell(const CsvRecord &record, int i)
{
    const QString cell = record.quoted.at(i) ? record.cells.at(i) : record.cells.at(i).trimmed();
    return i == 0 ? csvUnguarded(cell) : cell;
}

} // namespace

const QStringList &planColumns()
{
    static const QStringList columns = {QStringLiteral("sn"), QStringLiteral("new_ip"), QStringLiteral("password")};
    return columns;
}

bool parsePlan(const QByteArray &text, QVector<PlanRow> *rows, int *errorLine, QString *error, bool translate)
{
    rows->clear();
    QVector<CsvRecord> records;
    if (!readRecords(text, &records, errorLine, error, translate))
        return false;

    QHash<QString, int> serialLines;
    QHash<QString, int> addressLines;
    for (const CsvRecord &record : qAsConst(records)) {
        *errorLine = record.line;
        if (record.line == records.first().line && isHeader(record.cells)) {
            if (headerInOrder(record.cells))
                continue;
            *error = operatorString(
                QT_TRANSLATE_NOOP("ORV_Window", "the header must be sn,new_ip or sn,new_ip,password, in this order"),
                translate);
            return false;
        }
        if (record.cells.size() < 2 || record.cells.size() > 3) {
            *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "expected sn,new_ip[,password], found %1 cells"),
                                    translate)
                         .arg(record.cells.size());
            return false;
        }
        PlanRow row;
        row.line = record.line;
        row.sn = dataCell(record, 0);
        row.newIp = dataCell(record, 1);
        row.password = record.cells.value(2);
        if (row.sn.isEmpty()) {
            *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "empty serial number"), translate);
            return false;
        }
        // Not quoted: in a file whose columns are mixed up it may be a password.
        if (!digitsAndDots(row.newIp)) {
            *error = operatorString(
                QT_TRANSLATE_NOOP("ORV_Window", "the second cell is not an IPv4 address (digits and dots)"), translate);
            return false;
        }
        // Two rows for one device, or two devices for one address, cannot both be meant.
        if (serialLines.contains(row.sn)) {
            *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "serial number %1 is already planned on line %2"),
                                    translate)
                         .arg(row.sn)
                         .arg(serialLines[row.sn]);
            return false;
        }
        if (addressLines.contains(row.newIp)) {
            *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "address %1 is already planned on line %2"),
                                    translate)
                         .arg(row.newIp)
                         .arg(addressLines[row.newIp]);
            return false;
        }
        serialLines.insert(row.sn, row.line);
        addressLines.insert(row.newIp, row.line);
        rows->append(row);
    }
    if (rows->isEmpty()) {
        *errorLine = 0;
        *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "the plan holds no device"), translate);
        return false;
    }
    return true;
}

bool parsePasswords(const QByteArray &text, QHash<QString, QString> *passwords, int *errorLine, QString *error,
                    bool translate)
{
    passwords->clear();
    QVector<CsvRecord> records;
    if (!readRecords(text, &records, errorLine, error, translate))
        return false;
    QStringList header;
    for (const QString &cell : records.value(0).cells)
        header << cell.trimmed().toLower();
    const bool serialAndPassword = header == QStringList{planColumns().at(0), planColumns().at(2)};
    if (!serialAndPassword) {
        QVector<PlanRow> plan;
        if (!parsePlan(text, &plan, errorLine, error, translate))
            return false;
        for (const PlanRow &row : qAsConst(plan)) {
            if (!row.password.isEmpty())
                passwords->insert(row.sn, row.password);
        }
    }
    for (int i = 1; i < records.size() && serialAndPassword; ++i) {
        const CsvRecord &record = records.at(i);
        *errorLine = record.line;
        if (record.cells.size() != 2 || dataCell(record, 0).isEmpty() || record.cells.at(1).isEmpty()) {
            *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "expected a serial number and a password"), translate);
            return false;
        }
        if (passwords->contains(dataCell(record, 0))) {
            *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "serial number %1 is named twice"), translate)
                         .arg(dataCell(record, 0));
            return false;
        }
        passwords->insert(dataCell(record, 0), record.cells.at(1));
    }
    if (passwords->isEmpty()) {
        *errorLine = 0;
        *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "no password in it: the columns are sn,password or "
                                                                "sn,new_ip,password"),
                                translate);
        return false;
    }
    return true;
}

bool readPlanFile(const QString &path, QVector<PlanRow> *rows, int *errorLine, QString *error, bool translate)
{
    *errorLine = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray text = file.read(kMaxPlanBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return parsePlan(text, rows, errorLine, error, translate);
}
