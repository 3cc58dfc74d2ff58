#include "window/orv_window.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QtDebug>

void ORV_Window::setupTray()
{
    // A QIcon made from a path is never null, even when nothing is at that path: ask it
    // for a picture to learn whether the image really loads.
    const QIcon icon(QStringLiteral(":/qss/logo_radius.ico"));
    if (icon.isNull() || icon.pixmap(16, 16).isNull()) {
        qWarning() << "Failed to load system tray icon";
        return;
    }

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setIcon(icon);
    trayMenu = new QMenu(this);
    quitAction = new QAction(tr("Quit"), this);
    openAction = new QAction(tr("Open"), this);
    trayMenu->addAction(openAction);
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);
    connect(quitAction, &QAction::triggered, this, &ORV_Window::quit_event);
    connect(openAction, &QAction::triggered, this, &ORV_Window::open_event);
    trayIcon->setContextMenu(trayMenu);
    trayIcon->show();
}

void ORV_Window::open_event()
{
    showNormal();
}

void ORV_Window::quit_event()
{
    close();
    destroy(true, true);
}
