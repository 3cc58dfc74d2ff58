#include "messageboxcloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>

MessageBoxCloser::MessageBoxCloser(QObject *parent) : QObject(parent)
{
    timer.setInterval(20);
    connect(&timer, &QTimer::timeout, this, &MessageBoxCloser::poll);
}

void MessageBoxCloser::start()
{
    timer.start();
}

void MessageBoxCloser::stop()
{
    timer.stop();
}

void MessageBoxCloser::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    Box record;
    record.icon = box->icon();
    record.title = box->windowTitle();
    record.text = box->text();
    record.parent = box->parentWidget();
    record.hadParent = box->parentWidget() != nullptr;
    record.seenAtMs = QDateTime::currentMSecsSinceEpoch();
    seen.append(record);
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}
