#include "app/application.h"

#include "app/fonts.h"
#include "app/raisechannel.h"
#include "app/singleinstance.h"
#include "app/windowoptions.h"
#include "window/applicationnames.h"
#include "window/orv_window.h"

#include <QApplication>
#include <QCoreApplication>

#include <memory>

namespace {

constexpr int kRaiseWaitMs = 2000;

void nameApplication()
{
    QCoreApplication::setOrganizationName(QLatin1String(kOrganisationName));
    QCoreApplication::setApplicationName(QLatin1String(kApplicationName));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
}

} // namespace

int runApplication(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    nameApplication();
    if (const std::optional<int> status = answerCommandLine(argc, argv))
        return *status;

    SingleInstance instance(QStringLiteral("PCORV_KEY"), QStringLiteral("PCorv"));
    if (!instance.acquire()) {
        QCoreApplication application(argc, argv); // no display needed to ask
        RaiseChannel::askToRaise(RaiseChannel::defaultName(), kRaiseWaitMs);
        return 0;
    }

    auto app = std::make_unique<QApplication>(argc, argv);
    QGuiApplication::setDesktopFileName(QLatin1String(kApplicationName));
    substituteWindowsFonts();
    auto window = std::make_unique<ORV_Window>(QStringLiteral("Local Mannage"));
    window->setWindowTitle(QObject::tr("Tarnvale_Managesystem"));
    window->show();
    RaiseChannel raise(window.get(), RaiseChannel::defaultName());
    raise.listen();

    const int exitCode = app->exec();
    window.reset();
    app.reset();
    return exitCode;
}
