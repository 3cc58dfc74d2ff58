#pragma once

// One command of tarnvale-cli ("list", "set-ip", ...): its arguments, the options it takes
// with their checks, its line in the help, and what it does. The dispatcher (tarnvalecli.h)
// reads the whole command line with every command's options, so that an option of another
// command is named as such, then hands it to the command named.

#include "cli/exitstatus.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

class Console;
class QCommandLineParser;

class Command
{
public:
    virtual ~Command();

    QString name() const { return commandName; }
    QStringList arguments() const { return argumentNames; }
    QString description() const { return text; }
    // The options that it takes beside those of every command; required(): the one it
    // cannot run without, if any.
    QList<QCommandLineOption> options() const { return ownOptions; }
    virtual const QCommandLineOption *required() const { return nullptr; }

    // Reads its arguments (those after its name, as many as arguments() names) and options:
    // ExitUsage with the reason when they make no sense. Looks at no file and no network.
    virtual Outcome parse(const QCommandLineParser &parser, const QStringList &arguments);
    // Does what it is for: the exit status, every failure told on console.err.
    virtual int execute(Console &console) = 0;

    // --wide, which lists and the tables of runs take.
    static const QCommandLineOption &wideOption();

protected:
    Command(const QString &name, const QStringList &arguments, const QString &description,
            const QList<QCommandLineOption> &options);

private:
    QString commandName;
    QStringList argumentNames;
    QString text;
    QList<QCommandLineOption> ownOptions;
};
