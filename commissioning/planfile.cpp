#include "commissioning/planfile.h"

#include "commissioning/devicecsv.h"
#include "commissioning/operatortexts.h"

#include <QFile>
#include <QHash>
#include <QStringList>
#include <QTextCodec>

#include <algorithm>
#include <cstring>

namespace {

const QStringList kColumns = {QStringLiteral("sn"), QStringLiteral("new_ip"), QStringLiteral("password")};

// The first line that is not UTF-8 text, from 1; 0 when all are. A line break byte never
// occurs inside a UTF-8 sequence, so the lines can be checked one by one.
int firstLineNotText(const QByteArray &text, QString *reason, bool translate)
{
    QTextCodec *utf8 = QTextCodec::codecForMib(106);
    int line = 1;
    for (int start = 0; start <= text.size(); ++line) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const char *bytes = text.constData() + start;
        const int length = end - start;
        if (std::memchr(bytes, '\0', std::size_t(length))) {
            *reason = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "not text (a NUL byte)"), translate);
            return line;
        }
        QTextCodec::ConverterState state;
        utf8->toUnicode(bytes, length, &state);
        if (state.invalidChars > 0 || state.remainingChars > 0) {
            *reason = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "not UTF-8 text"), translate);
            return line;
        }
        start = end + 1;
    }
    return 0;
}

bool isHeader(const QStringList &cells)
{
    return std::any_of(cells.cbegin(), cells.cend(),
                       [](const QString &cell) { return kColumns.contains(cell.trimmed().toLower()); });
}

bool headerInOrder(const QStringList &cells)
{
    if (cells.size() < 2 || cells.size() > kColumns.size())
        return false;
    for (int i = 0; i < cells.size(); ++i) {
        if (cells.at(i).trimmed().toLower() != kColumns.at(i))
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

} // namespace

bool parsePlan(const QByteArray &text, QVector<PlanRow> *rows, int *errorLine, QString *error, bool translate)
{
    rows->clear();
    if (text.size() > kMaxPlanBytes) {
        *errorLine = 0;
        *error = operatorString(QT_TRANSLATE_NOOP("ORV_Window", "larger than %1 bytes: not a plan"), translate)
                     .arg(kMaxPlanBytes);
        return false;
    }
    if ((*errorLine = firstLineNotText(text, error, translate)))
        return false;
    QString decoded = QString::fromUtf8(text);
    if (decoded.startsWith(QChar(0xfeff))) // saved by a spreadsheet
        decoded.remove(0, 1);
    QVector<CsvRecord> records;
    const char *why = nullptr;
    if (!readCsvRecords(decoded, true, &records, errorLine, &why)) {
        *error = operatorString(why, translate);
        return false;
    }

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
        row.sn = record.cells.at(0).trimmed();
        row.newIp = record.cells.at(1).trimmed();
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
