#pragma once

// What the window tests share: a closer for message boxes and helpers for the main window.

#include "tests/common/testcore.h"

class ORV_Window;
class QPalette;
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
    QStringList okTexts;      // the text of each box's OK button
    int detailsWaitMs = 0;    // > 0: a box with details waits this long at most for them to change
    bool pressCancel = false;
    QVector<qint64> shownMs, closedMs;
};

QString visibleWindows(const QWidget *except = nullptr); // their class names; empty when none

// Hands an array to the window as the link's signal does (directly; freed right after).
bool deliver(ORV_Window &window, const JsonPtr &array);
bool chooseLoopback(ORV_Window &window);
QStringList column(ORV_Window &window, int c); // the texts of a table column, top down

// How a window looks on desktops other than the light default, and what a keyboard reaches.
// Reused by every test of a window or dialog.
enum class Desktop { Light, Dark, HighContrast };
QPalette desktopPalette(Desktop desktop); // Light: the style's own; Dark: as Breeze Dark or qt5ct's "darker"

// The texts shown in root (captions, fields and their placeholders, combo boxes, table cells and
// header sections) whose darkest or lightest pixel has less than 4.5:1 contrast with what lies
// behind it, as "objectName "text" 3.2:1"; text drawn in the colour behind it reads "invisible".
QStringList contrastProblems(QWidget *root);

// The captions in root that are wider than the room their widget leaves them, or taller than the
// widget, as "objectName "text" 96x19 in 60x24": a fixed-size widget cuts them.
QStringList clippedCaptions(QWidget *root);

// The object names (or class names) of the widgets that Tab (Backtab when !forward) gives the
// focus to, one key press at a time, from the focus widget of window until it comes back to it
// (at most limit presses). Each stop whose look does not change with the focus is marked "!".
QStringList tabStops(QWidget *window, bool forward, int limit = 40);
// Presses each key on the widget that has the focus; the object name of the one that has it then.
QString pressKeys(std::initializer_list<Qt::Key> keys);
