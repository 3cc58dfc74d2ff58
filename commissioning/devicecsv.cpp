#include "commissioning/devicecsv.h"

#include "devicelink/devicemembers.h"

#include <QTextCodec>

#include <cstring>

const QStringList &deviceCsvColumns()
{
    static const QStringList columns = [] {
        QStringList names;
        for (const char *name : kDeviceMemberNames)
            names << QLatin1String(name);
        return names;
    }();
    return columns;
}

namespace {

const QString kFormulaStarts = QStringLiteral("=+-@\t\r");

// Single quotes, then a formula's first character: a text that is itself a guarded cell is
// guarded once more, so that taking one guard away gives back every text.
bool needsGuard(const QString &text)
{
    int i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char('\''))
        ++i;
    return i < text.size() && kFormulaStarts.contains(text.at(i));
}

} // namespace

QString csvField(const QString &text)
{
    QString field = text;
    // Device texts come from the network: a cell must never become a formula.
    if (needsGuard(field))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n'))
        || field.contains(QLatin1Char('\r')) || field.startsWith(QLatin1Char('#'))
        || (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()))) {
        field.replace(QLatin1Char('"'), QLatin1String("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

QByteArray csvDocument(const QVector<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        for (int i = 0; i < row.size(); ++i) {
            if (i > 0)
                text += QLatin1Char(',');
            text += csvField(row.at(i));
        }
        text += QLatin1String("\r\n");
    }
    return text.toUtf8();
}

bool readCsvRecords(const QString &text, bool commentLines, QVector<CsvRecord> *records, int *errorLine,
                    const char **error)
{
    const int n = text.size();
    int line = 1;
    int i = 0;
    while (i < n) {
        CsvRecord record;
        record.line = line;
        if (commentLines && text.at(i) == QLatin1Char('#')) {
            while (i < n && text.at(i) != QLatin1Char('\n'))
                ++i;
            ++i;
            ++line;
            continue;
        }
        QString cell;
        bool inQuotes = false;
        bool quoted = false;
        for (; i < n; ++i) {
            const QChar c = text.at(i);
            if (inQuotes) {
                if (c == QLatin1Char('"') && i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    cell += c;
                    ++i;
                } else if (c == QLatin1Char('"')) {
                    inQuotes = false;
                } else {
                    line += c == QLatin1Char('\n');
                    cell += c;
                }
            } else if (c == QLatin1Char(',')) {
                record.cells << cell;
                record.quoted << quoted;
                cell.clear();
                quoted = false;
            } else if (c == QLatin1Char('\n')) {
                ++i;
                ++line;
                break;
            } else if (c == QLatin1Char('\r') || (quoted && c.isSpace())) {
                continue;
            } else if (quoted) {
                *errorLine = line;
                *error = QT_TRANSLATE_NOOP("ORV_Window", "text after a closing quote");
                return false;
            } else if (c == QLatin1Char('"') && cell.trimmed().isEmpty()) {
                inQuotes = quoted = true;
                cell.clear();
            } else {
                cell += c;
            }
        }
        if (inQuotes) {
            *errorLine = record.line;
            *error = QT_TRANSLATE_NOOP("ORV_Window", "a quoted cell is not closed");
            return false;
        }
        record.cells << cell;
        record.quoted << quoted;
        if (record.cells.size() > 1 || quoted || !cell.trimmed().isEmpty())
            records->append(record);
    }
    return true;
}

QString csvUnguarded(const QString &cell)
{
    if (cell.startsWith(QLatin1Char('\'')) && needsGuard(cell.mid(1)))
        return cell.mid(1);
    return cell;
}

int firstLineNotText(const QByteArray &text, const char **reason)
{
    // A line break byte never occurs inside a UTF-8 sequence, so the lines can be checked one by one.
    QTextCodec *utf8 = QTextCodec::codecForMib(106);
    int line = 1;
    for (int start = 0; start <= text.size(); ++line) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        const char *bytes = text.constData() + start;
        const int length = end - start;
        if (std::memchr(bytes, '\0', std::size_t(length))) {
            *reason = QT_TRANSLATE_NOOP("ORV_Window", "not text (a NUL byte)");
            return line;
        }
        QTextCodec::ConverterState state;
        utf8->toUnicode(bytes, length, &state);
        if (state.invalidChars > 0 || state.remainingChars > 0) {
            *reason = QT_TRANSLATE_NOOP("ORV_Window", "not UTF-8 text");
            return line;
        }
        start = end + 1;
    }
    return 0;
}
