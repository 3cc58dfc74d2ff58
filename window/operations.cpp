#include "orv_window.h"
void ORV_Window::onUpdateIpClicked(int) {}
void ORV_Window::openUpdateIpDialog(int, const QString &, const QString &) {}
void ORV_Window::loginAndChangeIp(const QString &, int, const QString &, const QString &, const QString &) {}
void ORV_Window::changeDeviceIp(int, const QString &, const QString &) {}
void ORV_Window::showRestartNotice() {}
void ORV_Window::openActivateDialog(int, const QString &, const QString &) {}
void ORV_Window::activateAndChangeIp(const QString &, int, const QString &, const QString &, const QString &) {}
