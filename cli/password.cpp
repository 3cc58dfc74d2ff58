#include "cli/password.h"

#include "cli/inputfile.h"
#include "cli/terminal.h"

QString passwordFromFile(const QByteArray &bytes)
{
    QByteArray line = bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n'));
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

bool readableByOthers(unsigned mode)
{
    return mode & 0044; // read by group, read by others
}

Outcome checkExposure(const QString &what, const QString &name, unsigned mode, bool strict, QString *warning)
{
    if (!readableByOthers(mode))
        return {};
    const QString exposed = QStringLiteral("the %1 %2 can be read by group or others (mode %3)")
                                .arg(what, name)
                                .arg(mode, 4, 8, QLatin1Char('0'));
    if (strict)
        return {ExitUsage, exposed + QStringLiteral("; refused with --strict: chmod 600 ") + name};
    *warning = QStringLiteral("warning: ") + exposed + QStringLiteral(": chmod 600 ") + name;
    return {};
}

Outcome obtainPassword(const PasswordSource &source, QString *password, QString *warning)
{
    password->clear();
    warning->clear();
    // What is typed at a terminal would be seen: "-" there means the prompt without echo.
    const bool typed = source.file == QLatin1String(kStandardInput) && inputIsTerminal();
    if (!source.file.isEmpty() && !typed) {
        const QString name = inputName(source.file);
        QByteArray bytes;
        QString error;
        unsigned mode = 0;
        if (!readInput(source.file, kLongestPasswordFile, &bytes, &error, &mode))
            return {ExitUsage, QStringLiteral("password file: ") + error};
        const Outcome exposed = checkExposure(QStringLiteral("password file"), name, mode, source.strict, warning);
        if (exposed.status != ExitOk)
            return exposed;
        *password = passwordFromFile(bytes);
        if (password->isEmpty())
            return {ExitUsage, QStringLiteral("the password file %1 starts with an empty line").arg(name)};
    } else if (!typed && qEnvironmentVariableIsSet(kPasswordVariable)) {
        *password = qEnvironmentVariable(kPasswordVariable);
        if (password->isEmpty())
            return {ExitUsage, QStringLiteral("%1 is empty").arg(QLatin1String(kPasswordVariable))};
    } else if (!source.standardInputTaken && inputIsTerminal()) {
        *password = passwordFromFile(readWithoutEcho("Password for the devices: "));
        if (password->isEmpty())
            return {ExitUsage, QStringLiteral("no password typed")};
    } else {
        return {ExitUsage, QStringLiteral("no password: name a file with --password-file, set %1, or run on a terminal")
                               .arg(QLatin1String(kPasswordVariable))};
    }
    return {};
}
