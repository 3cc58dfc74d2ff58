#include "devicecsv.h"

#include "devicemembers.h"

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

QString csvField(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    QString field = text;
    // Device texts come from the network: a cell must never become a formula.
    if (!field.isEmpty() && formulaStarts.contains(field.at(0)))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n'))
        || field.contains(QLatin1Char('\r'))) {
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
