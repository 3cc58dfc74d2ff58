#pragma once

// tarnvale-cli: the device operations of the window for scripts and batches.

#include "commandline.h"
#include "exitstatus.h"
#include "linkcore.h"
#include "output.h"

#include <QString>
#include <QStringList>

#include <cstdio>

class TarnvaleCli
{
public:
    explicit TarnvaleCli(FILE *out = stdout, FILE *err = stderr);

    // arguments as main() has them, the program's name first; returns the exit status.
    // Closes out at the end when it is standard output, and checks that all was written.
    int run(const QStringList &arguments);

    // Writes warnings to stderr, and debug lines only after --verbose; every line printable().
    static void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

private:
    int execute(const QStringList &arguments);
    int list();
    int changeOne(bool activate, const QString &sn, const QString &newIp);
    int apply(const QString &planPath);

    bool chooseInterface(QString *error);
    // The password for the roads, wherever it comes from, within the dialog's length rule.
    int readPassword(QString *password, bool standardInputTaken = false);
    int searchFailure(const LinkCore::Status &status);
    int fail(ExitStatus status, const QString &line);
    int fail(const Outcome &outcome) { return fail(outcome.status, outcome.text); }
    // The first failed write is reported once, when the run ends.
    int finish(int status);

    FILE *out;
    OutputStream outStream;
    OutputStream errStream;
    Invocation invocation;
    QString interfaceName;
};
