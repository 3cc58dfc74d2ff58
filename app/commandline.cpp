#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

std::optional<int> answerCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Finds the networked devices on the local network with one multicast search on the chosen "
                "network card, and changes their addresses.\nThe toolkit's own options (-platform, -style, "
                "-reverse, ...) are passed on to it."));
    // The toolkit's options are single words after one dash: "-reverse" must not read as "-r -e -v ...".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Not addHelpOption(): its --help-all would need the toolkit's display to list the toolkit's options.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("main", "Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(arguments); // what it does not know belongs to the toolkit
    if (!parser.isSet(help) && !parser.isSet(version))
        return std::nullopt;

    QCoreApplication application(argc, argv); // for the program's name in the texts; no display
    const QByteArray text = (parser.isSet(help) ? parser.helpText()
                                                : QCoreApplication::applicationName() + QLatin1Char(' ')
                                                      + QCoreApplication::applicationVersion() + QLatin1Char('\n'))
                                .toLocal8Bit();
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) || std::fflush(stdout) != 0) {
        std::perror("tarnvale-manager: standard output");
        return 1;
    }
    return 0;
}
