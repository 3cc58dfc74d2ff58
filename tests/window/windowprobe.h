#pragma once

// Helpers for the main-window tests: device arrays as the link emits them, and a
// readable picture of the pagination strip.

#include "orv_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>
#include <QtTest>

#include <cjson/cJSON.h>

#include <memory>

using JsonTree = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

inline QString deviceIp(int i)
{
    return QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg((i / 256) % 256).arg(i % 256);
}

// One device object with every member the link fills in, numbered i.
inline cJSON *makeDeviceObject(int i)
{
    cJSON *device = cJSON_CreateObject();
    cJSON_AddStringToObject(device, "pid", "0");
    cJSON_AddStringToObject(device, "ip", deviceIp(i).toUtf8().constData());
    cJSON_AddStringToObject(device, "sn", QStringLiteral("SN%1").arg(i, 6, 10, QLatin1Char('0')).toUtf8().constData());
    cJSON_AddStringToObject(device, "mac", QStringLiteral("02:00:00:00:%1:%2")
                                               .arg(i / 256, 2, 16, QLatin1Char('0'))
                                               .arg(i % 256, 2, 16, QLatin1Char('0'))
                                               .toUtf8().constData());
    cJSON_AddStringToObject(device, "model", "TV-100");
    cJSON_AddStringToObject(device, "baseModel", "TV");
    cJSON_AddStringToObject(device, "active", i % 2 ? "inactive" : "active");
    cJSON_AddStringToObject(device, "V", "6.0.231024");
    return device;
}

inline JsonTree makeDeviceArray(int count)
{
    JsonTree array(cJSON_CreateArray(), &cJSON_Delete);
    for (int i = 0; i < count; ++i)
        cJSON_AddItemToArray(array.get(), makeDeviceObject(i));
    return array;
}

// Hands an array to the window the way the link's signal does (direct call, the
// array freed right after by its owner).
inline void deliver(ORV_Window &window, cJSON *array)
{
    QVERIFY(QMetaObject::invokeMethod(&window, "showSearchDeviceTableInfos", Qt::DirectConnection,
                                      Q_ARG(cJSON *, array)));
}

// Runs the deferred deletions that the strip rebuild leaves behind.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline QWidget *stripWidget(ORV_Window &window)
{
    return window.findChild<QWidget *>(QStringLiteral("paginationWidget"));
}

// A control of the current strip, looked up in its layout (the controls of the previous
// strip may still exist, hidden, until their deferred deletion).
template <typename T>
T *stripControl(ORV_Window &window, const char *name)
{
    QLayout *layout = stripWidget(window)->layout();
    for (int i = 0; layout && i < layout->count(); ++i) {
        QWidget *widget = layout->itemAt(i)->widget();
        if (widget && widget->objectName() == QLatin1String(name))
            return qobject_cast<T *>(widget);
    }
    return nullptr;
}

// The strip left to right as text: "Total 3 < [1] 2 3 >", the highlighted page in brackets.
inline QString describeStrip(ORV_Window &window)
{
    QLayout *layout = stripWidget(window)->layout();
    if (!layout)
        return QStringLiteral("<no layout>");
    QStringList parts;
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *widget = layout->itemAt(i)->widget();
        if (!widget) {
            parts << QStringLiteral("?");
        } else if (widget->objectName() == QLatin1String("prevPageButton")) {
            parts << QStringLiteral("<");
        } else if (widget->objectName() == QLatin1String("nextPageButton")) {
            parts << QStringLiteral(">");
        } else if (auto *label = qobject_cast<QLabel *>(widget)) {
            parts << label->text();
        } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
            const bool current = button->styleSheet().contains(QLatin1String("#2979ff"));
            parts << (current ? QLatin1Char('[') + button->text() + QLatin1Char(']') : button->text());
        }
    }
    return parts.join(QLatin1Char(' '));
}

inline QPushButton *pageButton(ORV_Window &window, int n)
{
    QLayout *layout = stripWidget(window)->layout();
    for (int i = 0; layout && i < layout->count(); ++i) {
        auto *button = qobject_cast<QPushButton *>(layout->itemAt(i)->widget());
        if (button && button->text() == QString::number(n))
            return button;
    }
    return nullptr;
}

inline QTableWidget *table(ORV_Window &window)
{
    return window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
}

inline QStringList column(ORV_Window &window, int c)
{
    QStringList texts;
    QTableWidget *t = table(window);
    for (int r = 0; r < t->rowCount(); ++r)
        texts << (t->item(r, c) ? t->item(r, c)->text() : QStringLiteral("<none>"));
    return texts;
}

inline QPushButton *rowButton(ORV_Window &window, int row)
{
    QWidget *container = table(window)->cellWidget(row, 6);
    return container ? container->findChild<QPushButton *>() : nullptr;
}

// QObject::receivers() is protected; a pointer to it, formed through a derived class,
// may be called on any object.
struct ReceiverCount : QObject
{
    static int of(const QObject *sender, const char *signal)
    {
        return (sender->*(&ReceiverCount::receivers))(signal);
    }
};
