#include "diagnosis/externaltool.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QString findTool(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return path;
}

bool runTool(const QString &path, const QStringList &arguments, QByteArray *output, QString *error)
{
    const QString name = QFileInfo(path).fileName();
    QProcess process;
    process.start(path, arguments, QIODevice::ReadOnly);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        const bool running = process.state() != QProcess::NotRunning;
        *error = running ? QStringLiteral("%1: no answer within %2 ms").arg(name).arg(kToolTimeoutMs)
                         : QStringLiteral("%1: %2").arg(name, process.errorString());
        process.kill();
        process.waitForFinished(kToolTimeoutMs);
        return false;
    }
    *output = process.readAllStandardOutput();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    const QString said =
        QString::fromLocal8Bit(process.readAllStandardError()).trimmed().section(QLatin1Char('\n'), 0, 0);
    if (said.isEmpty())
        *error = QStringLiteral("%1: exit status %2").arg(name).arg(process.exitCode());
    else
        *error = said.startsWith(name) ? said : QStringLiteral("%1: %2").arg(name, said);
    return false;
}
