#include "application.h"

#include "fonts.h"
#include "orv_window.h"
#include "singleinstance.h"

#include <QApplication>
#include <QCoreApplication>

#include <memory>

int runApplication(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    SingleInstance instance(QStringLiteral("PCORV_KEY"), QStringLiteral("PCorv"));
    if (!instance.acquire())
        return 0;

    auto app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
    substituteWindowsFonts();
    auto window = std::make_unique<ORV_Window>(QStringLiteral("Local Mannage"));
    window->setWindowTitle(QObject::tr("Tarnvale_Managesystem"));
    window->show();

    const int exitCode = app->exec();
    window.reset();
    app.reset();
    return exitCode;
}
