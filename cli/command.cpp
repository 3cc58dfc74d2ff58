#include "cli/command.h"

#include "cli/deviceoutput.h"

Command::Command(const QString &name, const QStringList &arguments, const QString &description,
                 const QList<QCommandLineOption> &options)
    : commandName(name), argumentNames(arguments), text(description), ownOptions(options)
{
}

Command::~Command() = default;

Outcome Command::parse(const QCommandLineParser &, const QStringList &)
{
    return {};
}

const QCommandLineOption &Command::wideOption()
{
    static const QCommandLineOption wide{QStringLiteral("wide"),
                                         QStringLiteral("Tables show every cell whole; without it a cell is cut at %1 "
                                                        "characters with an ellipsis, so that no device can widen every "
                                                        "line.")
                                             .arg(kTableCellWidth)};
    return wide;
}
