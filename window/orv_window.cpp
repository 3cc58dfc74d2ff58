#include "window/orv_window.h"
#include "ui_orv_window.h"

#include "devicelink/orv_conn2device.h"
#include "window/devicetablemenu.h"
#include "window/tablekeys.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QToolButton>
#include <QTranslator>
#include <QtDebug>

ORV_Window::ORV_Window(const QString &text, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::Tarnvale_Managesystem)
{
    Q_UNUSED(text)

    ui->setupUi(this);
    ui->state_text->setText(tr("Initing"));

    ui->language_button->setText(tr("Change Language"));
    ui->language_button->hide();

    settings = new QSettings(QStringLiteral("./Settings.ini"), QSettings::IniFormat, this);
    language = 1;

    auto *languageMenu = new QMenu(this);
    languageMenu->addAction(QStringLiteral("Chinese"));
    languageMenu->addAction(QStringLiteral("English"));
    connect(languageMenu, &QMenu::triggered, languageMenu,
            [this](QAction *action) { language_changed(action); }, Qt::DirectConnection);
    if (QMenu *old = ui->language_button->menu())
        old->deleteLater();
    ui->language_button->setMenu(languageMenu);

    deviceLink = new ORV_CONN2DEVICE(this);
    setupLinkNotices();

    translator = new QTranslator;
    toolkitTranslator = new QTranslator(this);
    if (!loadTranslation())
        qWarning() << "Translation loading failed";
    QApplication::installTranslator(translator);

    ui->retranslateUi(this);
    ui->state_text->setText(tr("Double-click the IP to enter the web page"));

    setupTray();
    fillNetworkCards();
    setupTableHeader();
    buildPagination();
    installDeviceTableMenu(this, ui->tableWidget);
    new TableKeys(ui->tableWidget);
}

ORV_Window::~ORV_Window()
{
    delete translator; // QTranslator removes itself from the application on destruction
    delete deviceLink;
    delete trayMenu;
    delete ui;
    deviceList.clear();
}
