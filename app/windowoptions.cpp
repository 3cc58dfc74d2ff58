#include "app/windowoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

struct Parser
{
    Parser()
    {
        parser.setApplicationDescription(QCoreApplication::translate(
            "main", "Finds the networked devices on the local network with one multicast search on the chosen "
                    "network card, and changes their addresses.\nThe toolkit's own options (-platform, -style, "
                    "-reverse, ...) are passed on to it."));
        // The toolkit's options are words after one dash: "-reverse" must not read as "-r -e -v ...".
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        // Not addHelpOption(): its --help-all would need a display to list the toolkit's options.
        parser.addOption(help);
        parser.addOption(version);
        // Known, so that anything else can be told apart as a mistake; the toolkit reads them.
        for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                                 "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "style", "stylesheet",
                                 "display", "geometry", "name", "title", "visual", "dialogs", "fontengine"})
            addToolkitOption(name, true);
        for (const char *name : {"reverse", "widgetcount", "sync", "nograb", "dograb", "testability"})
            addToolkitOption(name, false);
    }

    void addToolkitOption(const char *name, bool takesValue)
    {
        QCommandLineOption option(QString::fromLatin1(name));
        if (takesValue)
            option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("main", "Displays this help.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QCoreApplication::translate("main", "Displays version information.")};
};

} // namespace

CommandLineAnswer commandLineAnswer(const QStringList &arguments)
{
    Parser p;
    if (!p.parser.parse(arguments))
        return CommandLineAnswer::Mistake;
    return p.parser.isSet(p.help) ? CommandLineAnswer::Help
           : p.parser.isSet(p.version) ? CommandLineAnswer::Version
                                       : CommandLineAnswer::Start;
}

std::optional<int> answerCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLineAnswer answer = commandLineAnswer(arguments);
    if (answer == CommandLineAnswer::Start)
        return std::nullopt;

    QCoreApplication application(argc, argv); // for the program's name in the texts; no display
    Parser p;
    if (answer == CommandLineAnswer::Mistake) {
        p.parser.parse(arguments);
        const QByteArray text = (QCoreApplication::applicationName() + QLatin1String(": ") + p.parser.errorText()
                                 + QLatin1Char('\n') + p.parser.helpText())
                                    .toLocal8Bit();
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
        return 2;
    }
    const QByteArray text = (answer == CommandLineAnswer::Help
                                 ? p.parser.helpText()
                                 : QCoreApplication::applicationName() + QLatin1Char(' ')
                                       + QCoreApplication::applicationVersion() + QLatin1Char('\n'))
                                .toLocal8Bit();
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) || std::fflush(stdout) != 0) {
        std::perror("tarnvale-manager: standard output");
        return 1;
    }
    return 0;
}
