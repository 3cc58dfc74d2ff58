#include "window/tablerules.h"

#include <QVersionNumber>

QVector<int> pageStrip(int totalPages)
{
    QVector<int> controls;
    for (int n = 1; n <= totalPages; ++n) {
        if (n <= 3 || n == totalPages)
            controls << n;
        else if (n == 4)
            controls << 0;
    }
    return controls;
}

bool isVersionAtLeast(const QString &version, const QString &minimum)
{
    const QString v = version.trimmed();
    const QString m = minimum.trimmed();
    if (v.isEmpty() || m.isEmpty() || v == QLatin1String(kAbsentText))
        return false;
    const QVersionNumber have = QVersionNumber::fromString(v);
    const QVersionNumber need = QVersionNumber::fromString(m);
    if (have.isNull() || need.isNull())
        return false;
    return QVersionNumber::compare(have, need) >= 0;
}

bool servesWebPage(const QString &version)
{
    // The two excluded releases are matched as the cell shows them, untrimmed.
    return isVersionAtLeast(version, QStringLiteral("6.0.231024")) && version != QLatin1String("6.0.240514")
           && version != QLatin1String("6.0.240630");
}

