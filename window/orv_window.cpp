#include "orv_window.h"
#include "ui_orv_window.h"

#include "orv_conn2device.h"

ORV_Window::ORV_Window(const QString &, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::Tarnvale_Managesystem)
{
    ui->setupUi(this);
    deviceLink = new ORV_CONN2DEVICE(this);
}

ORV_Window::~ORV_Window()
{
    delete deviceLink;
    delete ui;
}
