#pragma once

// Helpers for the main-window tests: device arrays as the link emits them, and a
// readable picture of the pagination strip.

#include "orv_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QtTest>

#include <cjson/cJSON.h>

#include <memory>

using JsonTree = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

inline QString deviceIp(int i)
{
    return QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg((i / 256) % 256).arg(i % 256);
}

inline QStringList deviceIps(int from, int to) // [from, to)
{
    QStringList ips;
    for (int i = from; i < to; ++i)
        ips << deviceIp(i);
    return ips;
}

inline JsonTree makeDeviceArray(int count)
{
    JsonTree array(cJSON_CreateArray(), &cJSON_Delete);
    for (int i = 0; i < count; ++i) {
        cJSON *device = cJSON_CreateObject();
        const auto add = [device](const char *key, const QString &value) {
            cJSON_AddStringToObject(device, key, value.toUtf8().constData());
        };
        add("pid", QStringLiteral("0"));
        add("ip", deviceIp(i));
        add("sn", QStringLiteral("SN%1").arg(i, 6, 10, QLatin1Char('0')));
        add("mac", QStringLiteral("02:00:00:00:%1:%2").arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0')));
        add("model", QStringLiteral("TV-100"));
        add("baseModel", QStringLiteral("TV"));
        add("active", QLatin1String(i % 2 ? "inactive" : "active"));
        add("V", QStringLiteral("6.0.231024"));
        cJSON_AddItemToArray(array.get(), device);
    }
    return array;
}

// Hands an array to the window the way the link's signal does (direct call, the array
// freed right after by its owner).
inline bool deliver(ORV_Window &window, cJSON *array)
{
    return QMetaObject::invokeMethod(&window, "showSearchDeviceTableInfos", Qt::DirectConnection,
                                     Q_ARG(cJSON *, array));
}

inline bool deliverDevices(ORV_Window &window, int count) { return deliver(window, makeDeviceArray(count).get()); }

// Runs the deferred deletions that the strip rebuild leaves behind.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

inline void click(QWidget *widget)
{
    QVERIFY(widget);
    QTest::mouseClick(widget, Qt::LeftButton);
    flushDeletes();
}

template <typename T = QWidget>
T *child(QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

inline QWidget *stripWidget(ORV_Window &window) { return child(window, "paginationWidget"); }

// The current strip's controls, from its layout (the previous strip's may still exist,
// hidden, until their deferred deletion).
inline QList<QWidget *> stripControls(ORV_Window &window)
{
    QList<QWidget *> controls;
    QLayout *layout = stripWidget(window)->layout();
    for (int i = 0; layout && i < layout->count(); ++i)
        controls << layout->itemAt(i)->widget();
    return controls;
}

template <typename T = QPushButton>
T *stripControl(ORV_Window &window, const char *name)
{
    for (QWidget *widget : stripControls(window)) {
        if (widget && widget->objectName() == QLatin1String(name))
            return qobject_cast<T *>(widget);
    }
    return nullptr;
}

inline QPushButton *prevArrow(ORV_Window &window) { return stripControl(window, "prevPageButton"); }
inline QPushButton *nextArrow(ORV_Window &window) { return stripControl(window, "nextPageButton"); }

// The strip left to right as text: "Total 3 < [1] 2 3 >", the highlighted page in brackets.
inline QString describeStrip(ORV_Window &window)
{
    QStringList parts;
    for (QWidget *widget : stripControls(window)) {
        const QString name = widget ? widget->objectName() : QString();
        auto *button = qobject_cast<QPushButton *>(widget);
        if (name == QLatin1String("prevPageButton") || name == QLatin1String("nextPageButton"))
            parts << QLatin1String(name.startsWith('p') ? "<" : ">");
        else if (auto *label = qobject_cast<QLabel *>(widget))
            parts << label->text();
        else if (button && button->styleSheet().contains(QLatin1String("#2979ff")))
            parts << '[' + button->text() + ']';
        else
            parts << (button ? button->text() : QStringLiteral("?"));
    }
    return parts.join(QLatin1Char(' '));
}

inline QPushButton *pageButton(ORV_Window &window, int n)
{
    for (QWidget *widget : stripControls(window)) {
        auto *button = qobject_cast<QPushButton *>(widget);
        if (button && button->text() == QString::number(n))
            return button;
    }
    return nullptr;
}

inline QTableWidget *table(ORV_Window &window) { return child<QTableWidget>(window, "tableWidget"); }

// Cell texts of rows [r0, r1) and columns [c0, c1), row by row.
inline QStringList cells(ORV_Window &window, int r0, int r1, int c0, int c1)
{
    QStringList texts;
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c)
            texts << (table(window)->item(r, c) ? table(window)->item(r, c)->text() : QStringLiteral("<none>"));
    return texts;
}

inline QStringList column(ORV_Window &window, int c) { return cells(window, 0, table(window)->rowCount(), c, c + 1); }
inline QStringList rowTexts(ORV_Window &window, int r) { return cells(window, r, r + 1, 0, 6); } // the text columns

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
