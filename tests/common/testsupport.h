#pragma once

// What the tests share: log capture, a closer for message boxes, device builders, timing checks.

#include "devicemessages.h"
#include "devicesim.h"

#include <QMutex>
#include <QtTest>

class ORV_Window;

inline qint64 nowMs() // on one monotonic clock for the whole test program
{
    static const QElapsedTimer clock = [] { QElapsedTimer started; started.start(); return started; }();
    return clock.elapsed();
}

// Upper bounds sit below nominal * 4/3, so that a constant changed by a third fails them. The
// slower sanitizer build gets more room there; the fault-catching runs use the plain build.
#ifdef ORV_SANITIZED
constexpr double kUpperBoundFactor = 1.5;
#else
constexpr double kUpperBoundFactor = 1.0;
#endif
#define QVERIFY_DURATION(ms, lowest, highest)                                                                          \
    QVERIFY2((ms) >= (lowest) && (ms) <= (highest)*kUpperBoundFactor,                                                  \
             qPrintable(QStringLiteral("%1 ms, expected %2 to %3").arg(ms).arg(lowest).arg((highest)*kUpperBoundFactor)))

// Records every message while it lives and hands all but debug lines on to the handler before
// it (Qt Test's, so that ignoreMessage keeps working).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList lines(int type = -1) const; // of one QtMsgType, or all

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler previous = nullptr;
    mutable QMutex mutex;
    QVector<QPair<int, QString>> seen;
};

// Records each message box shown, as "critical|Tips|text|ORV_Window" (icon, title, text, class of
// the parent or "none"), and presses OK once the box's event loop runs, also in nested loops.
class MessageBoxCloser : public QObject
{
public:
    MessageBoxCloser() { qApp->installEventFilter(this); }
    ~MessageBoxCloser() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override;
    QStringList boxes;
    QVector<qint64> shownMs, closedMs;
};

QString visibleWindows(const QWidget *except = nullptr); // their class names; empty when none

// A device that answers properly: active with this password, or not yet active without one.
SimDevice simDevice(const QString &ip, const QString &sn, const QString &password = QStringLiteral("secret1"));
JsonPtr deviceArray(const QVector<SimDevice> &fleet); // as the link would emit it
// Hands an array to the window as the link's signal does (directly; freed right after).
bool deliver(ORV_Window &window, const JsonPtr &array);
bool chooseLoopback(ORV_Window &window);
QStringList column(ORV_Window &window, int c); // the texts of a table column, top down
