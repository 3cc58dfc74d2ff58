#include "cli/deviceoutput.h"

#include "commissioning/addressplan.h"
#include "commissioning/devicecolumns.h"
#include "commissioning/devicecsv.h"
#include "devicelink/devicemessages.h"
#include "diagnosis/ipv4.h"

#include <QHash>

#include <algorithm>

namespace {

constexpr int Ip = memberIndex(DeviceMember::Ip);
constexpr int Sn = memberIndex(DeviceMember::Sn);

bool needsEscape(ushort c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || c == 0x200e || c == 0x200f
           || c == 0x061c || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString printable(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            result += QLatin1String("\\\\");
        else if (!needsEscape(c.unicode()))
            result += c;
        else if (c.unicode() < 0x100)
            result += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            result += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return result;
}

QString cutCell(const QString &text, int width)
{
    if (width <= 0 || text.size() <= width)
        return text;
    QString cut = text.left(width - 1);
    if (!cut.isEmpty() && cut.at(cut.size() - 1).isHighSurrogate())
        cut.chop(1); // never half a character
    return cut + QChar(0x2026);
}

void writeTable(const QVector<QStringList> &rows, int cellWidth, const std::function<bool(const QString &)> &write)
{
    QVector<QStringList> cells;
    QVector<int> widths;
    for (const QStringList &row : rows) {
        QStringList printed;
        for (int i = 0; i < row.size(); ++i) {
            printed << (i + 1 < row.size() ? cutCell(printable(row.at(i)), cellWidth) : printable(row.at(i)));
            if (widths.size() <= i)
                widths << 0;
            widths[i] = qMax(widths[i], printed.last().size());
        }
        cells << printed;
    }
    for (const QStringList &row : qAsConst(cells)) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row.at(i).leftJustified(widths.at(i) + 2) : row.at(i);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        if (!write(line + QLatin1Char('\n')))
            return;
    }
}

QString textTable(const QVector<QStringList> &rows, int cellWidth)
{
    QString text;
    writeTable(rows, cellWidth, [&text](const QString &line) {
        text += line;
        return true;
    });
    return text;
}

QVector<QStringList> deviceRows(const cJSON *array)
{
    QVector<QStringList> rows;
    const cJSON *device = nullptr;
    cJSON_ArrayForEach(device, array)
    {
        QStringList row;
        for (const char *name : kDeviceMemberNames)
            row << QString::fromUtf8(stringMember(device, name, ""));
        rows << row;
    }
    std::stable_sort(rows.begin(), rows.end(), [](const QStringList &a, const QStringList &b) {
        return a.at(Ip) != b.at(Ip) ? addressTextLess(a.at(Ip), b.at(Ip)) : a.at(Sn) < b.at(Sn);
    });
    return rows;
}

QHash<QString, int> addressCounts(const QVector<QStringList> &rows)
{
    QStringList addresses;
    for (const QStringList &row : rows)
        addresses << row.at(Ip);
    return devicesPerAddress(addresses);
}

QVector<QStringList> deviceTable(const QVector<QStringList> &rows)
{
    const QHash<QString, int> counts = addressCounts(rows);
    QStringList header;
    for (const ShownDeviceColumn &column : kShownDeviceColumns)
        header << QLatin1String(column.tableHeader);
    QVector<QStringList> table = {header << QStringLiteral("AT IP")};
    for (const QStringList &row : rows) {
        QStringList cells;
        for (const ShownDeviceColumn &column : kShownDeviceColumns)
            cells << row.at(memberIndex(column.member));
        table << (cells << QString::number(counts.value(row.at(Ip))));
    }
    return table;
}

QByteArray deviceCsv(const QVector<QStringList> &rows)
{
    const QHash<QString, int> counts = addressCounts(rows);
    QVector<QStringList> table = {deviceCsvColumns() + QStringList{QLatin1String(kDevicesAtIpName)}};
    for (const QStringList &row : rows)
        table << row + QStringList{QString::number(counts.value(row.at(Ip)))};
    return csvDocument(table);
}

QByteArray deviceJson(const QVector<QStringList> &rows)
{
    const QHash<QString, int> counts = addressCounts(rows);
    JsonPtr array = makeJsonPtr(cJSON_CreateArray());
    for (const QStringList &row : rows) {
        cJSON *device = cJSON_CreateObject();
        for (int i = 0; i < kDeviceMemberCount; ++i)
            cJSON_AddStringToObject(device, kDeviceMemberNames[i], row.at(i).toUtf8().constData());
        cJSON_AddNumberToObject(device, kDevicesAtIpName, counts.value(row.at(Ip)));
        cJSON_AddItemToArray(array.get(), device);
    }
    char *text = cJSON_Print(array.get());
    const QByteArray json(text ? text : "[]");
    cJSON_free(text);
    return json + '\n';
}
