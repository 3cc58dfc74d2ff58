#pragma once

// What the window tests share: a closer for message boxes and helpers for the main window.

#include "tests/common/testcore.h"

class ORV_Window;
class QWidget;

// Records each message box shown, as "critical|Tips|text|ORV_Window" (icon, title, text, class of
// the parent or "none"), and presses OK (or Cancel, where the box has it and pressCancel is set)
// once the box's event loop runs, also in nested loops.
class MessageBoxCloser : public QObject
{
public:
    MessageBoxCloser() { qApp->installEventFilter(this); }
    ~MessageBoxCloser() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override;
    QStringList boxes;
    QStringList details;      // each box's detailed text, as it was when OK was pressed
    QStringList firstDetails; // and as it was when the box showed
    int detailsWaitMs = 0;    // > 0: a box with details waits this long at most for them to change
    bool pressCancel = false;
    QVector<qint64> shownMs, closedMs;
};

QString visibleWindows(const QWidget *except = nullptr); // their class names; empty when none

// Hands an array to the window as the link's signal does (directly; freed right after).
bool deliver(ORV_Window &window, const JsonPtr &array);
bool chooseLoopback(ORV_Window &window);
QStringList column(ORV_Window &window, int c); // the texts of a table column, top down
