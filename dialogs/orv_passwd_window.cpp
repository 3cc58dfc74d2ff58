#include "orv_passwd_window.h"
#include "ui_orv_passwd_window.h"

ORV_Passwd_Window::ORV_Passwd_Window(QWidget *parent) : QMainWindow(parent), ui(new Ui::ORV_Passwd_Window)
{
    ui->setupUi(this);
}
ORV_Passwd_Window::~ORV_Passwd_Window() { delete ui; }
void ORV_Passwd_Window::setCurrentIp(const QString &ip) { currentIp = ip; }
void ORV_Passwd_Window::setPasswordPlaceholder(const QString &) {}
void ORV_Passwd_Window::on_confirm_button_clicked() {}
void ORV_Passwd_Window::on_cancel_button_clicked() {}
void ORV_Passwd_Window::on_passwd_visible_button_clicked() {}
void ORV_Passwd_Window::showIpError(const QString &) {}
