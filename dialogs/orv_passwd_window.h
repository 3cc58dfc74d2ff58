#pragma once

#include <QMainWindow>
#include <QString>

namespace Ui {
class ORV_Passwd_Window;
}

// Asks for a device's password and its new IPv4 address, checks both and hands
// them out through ready2verify.
class ORV_Passwd_Window : public QMainWindow
{
    Q_OBJECT

public:
    explicit ORV_Passwd_Window(QWidget *parent = nullptr);
    ~ORV_Passwd_Window() override;

    void setCurrentIp(const QString &ip);
    void setPasswordPlaceholder(const QString &text);

signals:
    void ready2verify(QString ip, QString passwd, QString NewIP);

private slots:
    void on_confirm_button_clicked();
    void on_cancel_button_clicked();
    void on_passwd_visible_button_clicked();

private:
    void showIpError(const QString &message);

    Ui::ORV_Passwd_Window *ui = nullptr;
    QString currentIp;
};
