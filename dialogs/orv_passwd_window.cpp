#include "dialogs/orv_passwd_window.h"
#include "ui_orv_passwd_window.h"

#include "commissioning/passwordrules.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

// A field with the focus has a thicker border, in the buttons' blue, so that the keyboard's
// place shows; a field that shows an error keeps its red border.
const QString normalFieldStyle = QStringLiteral(
    "QLineEdit {   border: 1px solid rgb(54, 54, 54);   border-radius: 5px;   padding: 2px 5px;"
    "   background-color: white;}QLineEdit:focus {   border: 2px solid rgb(41, 121, 255);}");

const QString passwordErrorStyle = QStringLiteral(
    "QLineEdit {   border: 1px solid #FF5252;   border-radius: 5px;   padding: 2px 5px;"
    "   background-color: #FFF5F5;}QLineEdit:focus {   border: 1px solid #FF5252;}");

const QString ipErrorStyle = QStringLiteral(
    "QLineEdit {   border: 1px solid #FF5252;   border-radius: 5px;   padding: 2px 5px;"
    "   background-color: #FFF5F5;   color: red;}QLineEdit:focus {   border: 1px solid #FF5252;}");

constexpr int ipErrorMs = 3000;

bool isDottedQuad(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\."
        "(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)$"));
    // "$" also matches before a final line break; the whole text has to be the address.
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() && match.capturedEnd() == text.size();
}

} // namespace

ORV_Passwd_Window::ORV_Passwd_Window(QWidget *parent) : QMainWindow(parent), ui(new Ui::ORV_Passwd_Window)
{
    ui->setupUi(this);
    // Every dialog serves one request; once closed it goes (deferred, see on_confirm_button_clicked).
    setAttribute(Qt::WA_DeleteOnClose);
    ui->lineEdit_ip->setPlaceholderText(tr("Please input IP address"));
    ui->passwd_text->setEchoMode(QLineEdit::Password);
    // The operator types the password first, whatever widget the window would give the focus.
    ui->passwd_text->setFocus(Qt::OtherFocusReason);
    connect(ui->passwd_text, &QLineEdit::textChanged, this, [this] {
        if (checkPasswordLength(ui->passwd_text->text().length()) == PasswordLength::Ok)
            ui->passwd_text->setStyleSheet(normalFieldStyle);
    }, Qt::DirectConnection);
}

ORV_Passwd_Window::~ORV_Passwd_Window()
{
    delete ui;
}

void ORV_Passwd_Window::setCurrentIp(const QString &ip)
{
    currentIp = ip;
    ui->lineEdit_ip->setText(ip);
}

void ORV_Passwd_Window::setPasswordPlaceholder(const QString &text)
{
    ui->passwd_text->setPlaceholderText(text);
}

void ORV_Passwd_Window::on_confirm_button_clicked()
{
    const QString password = ui->passwd_text->text();
    const QString newIp = ui->lineEdit_ip->text();

    const PasswordLength length = checkPasswordLength(password.length());
    if (length != PasswordLength::Ok) {
        ui->passwd_text->setStyleSheet(passwordErrorStyle);
        ui->passwd_text->setPlaceholderText(tr(passwordLengthText(length)));
        ui->passwd_text->clear();
        ui->passwd_text->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (newIp.isEmpty()) {
        showIpError(tr("IP address cannot be empty"));
        return;
    }
    if (!isDottedQuad(newIp)) {
        showIpError(tr("Incorrect IPv4 address format."));
        return;
    }
    if (newIp == currentIp) {
        showIpError(tr("The new IP address cannot be the same as the original one."));
        return;
    }

    // The receiver runs inside the emission and may spin nested event loops (device
    // requests, message boxes); a deletion posted by close() could then be delivered
    // there, under our own feet. So delete only once the emission has returned.
    const bool deleteWhenDone = testAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_DeleteOnClose, false);
    close();
    emit ready2verify(currentIp, password, newIp);
    destroy(true, true);
    if (deleteWhenDone)
        deleteLater();
}

void ORV_Passwd_Window::on_cancel_button_clicked()
{
    close();
    destroy(true, true);
}

void ORV_Passwd_Window::on_passwd_visible_button_clicked()
{
    QLineEdit *field = ui->passwd_text;
    field->setEchoMode(field->echoMode() == QLineEdit::Normal ? QLineEdit::Password : QLineEdit::Normal);
}

void ORV_Passwd_Window::showIpError(const QString &message)
{
    ui->confirm_button->setEnabled(false);
    ui->lineEdit_ip->setStyleSheet(ipErrorStyle);
    ui->lineEdit_ip->setPlaceholderText(message);
    ui->lineEdit_ip->setText(QString());
    ui->lineEdit_ip->setFocus(Qt::OtherFocusReason);
    QTimer::singleShot(ipErrorMs, Qt::PreciseTimer, this, [this] {
        ui->lineEdit_ip->setStyleSheet(normalFieldStyle);
        ui->lineEdit_ip->setPlaceholderText(QString());
        ui->lineEdit_ip->setText(currentIp);
        ui->confirm_button->setEnabled(true);
    });
}
