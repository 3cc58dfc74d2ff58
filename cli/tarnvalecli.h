#pragma once

// tarnvale-cli: the device operations of the window for scripts and batches.

#include "exitstatus.h"
#include "linkcore.h"

#include <QString>
#include <QStringList>

#include <cstdio>

class TarnvaleCli
{
public:
    explicit TarnvaleCli(FILE *out = stdout, FILE *err = stderr);

    // arguments as main() has them, the program's name first; returns the exit status.
    int run(const QStringList &arguments);

    // Writes warnings to stderr, and debug lines only after --verbose; every line printable().
    static void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static QString helpText();

private:
    enum class Format { Table, Csv, Json };

    int list(Format format);
    int changeOne(bool activate, const QString &sn, const QString &newIp);
    int apply(const QString &planPath, bool dryRun);

    bool chooseInterface(const QString &requested, QString *error);
    // The password for the roads, wherever it comes from, within the dialog's length rule.
    int readPassword(QString *password);
    int searchFailure(const LinkCore::Status &status);
    int fail(ExitStatus status, const QString &line);
    void print(FILE *stream, const QString &text);
    void print(FILE *stream, const QByteArray &bytes);

    FILE *out;
    FILE *err;
    QString interfaceName;
    QString passwordFile;
};
