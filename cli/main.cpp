// tarnvale-cli: the command-line companion of the Tarnvale Manager window.

#include "cli/tarnvalecli.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    if (!standardStreamsUsable()) // before the application opens its first file
        return ExitOutput;
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(TarnvaleCli::messageHandler);
    TarnvaleCli cli;
    return cli.run(QCoreApplication::arguments());
}
