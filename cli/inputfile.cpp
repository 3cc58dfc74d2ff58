#include "cli/inputfile.h"

QString inputName(const QString &path)
{
    return path == QLatin1String(kStandardInput) ? QStringLiteral("standard input") : path;
}
