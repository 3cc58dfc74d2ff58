#include "app/application.h"

#include "app/fonts.h"
#include "app/instanceholder.h"
#include "app/raisechannel.h"
#include "app/singleinstance.h"
#include "app/windowoptions.h"
#include "app/withoutopengl.h"
#include "window/applicationnames.h"
#include "window/orv_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QtDebug>

#include <memory>
#include <optional>

namespace {

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
        // The keys are the same for every user of the computer: another user's instance keeps
        // this one from starting too, and that is said rather than ending without a word.
        const InstanceHolder holder = instanceHolder(instance.markerFile());
        QString notice = otherUserNotice(holder, currentUserId());
        if (notice.isEmpty()) {
            bool raised = false;
            {
                QCoreApplication application(argc, argv); // no display needed to ask
                raised = RaiseChannel::askToRaise(RaiseChannel::defaultName());
            }
            // An instance of this same user may be busy (a search) or still making its window.
            const bool ownInstance = holder.known && holder.uid == currentUserId();
            notice = raised || ownInstance ? QString() : unansweredRaiseNotice();
            if (notice.isEmpty())
                return 0;
        }
        QApplication application(argc, argv);
        qWarning().noquote() << notice;
        QMessageBox::information(nullptr, QObject::tr("Tarnvale_Managesystem"), notice);
        return 0;
    }

    std::optional<WithoutOpenGl> withoutOpenGl(std::in_place);
    auto app = std::make_unique<QApplication>(argc, argv);
    QGuiApplication::setDesktopFileName(QLatin1String(kApplicationName));
    substituteWindowsFonts();
    auto window = std::make_unique<ORV_Window>(QStringLiteral("Local Mannage"));
    window->setWindowTitle(QObject::tr("Tarnvale_Managesystem"));
    window->show();
    withoutOpenGl.reset();
    RaiseChannel raise(window.get(), RaiseChannel::defaultName());
    raise.listen();

    const int exitCode = app->exec();
    window.reset();
    app.reset();
    return exitCode;
}
