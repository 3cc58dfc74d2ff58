#include "application.h"

#include "orv_window.h"

#include <QApplication>

int runApplication(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ORV_Window window(QStringLiteral("Local Mannage"));
    window.show();
    return app.exec();
}
