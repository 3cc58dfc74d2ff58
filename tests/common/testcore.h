#pragma once

// What the tests share that needs no widgets: log capture, device builders, timing checks.

#include "devicelink/devicemessages.h"
#include "tools/devicesim/devicesim.h"

#include <QMutex>
#include <QtTest>

inline qint64 nowMs() // on one monotonic clock for the whole test program
{
    static const QElapsedTimer clock = [] { QElapsedTimer started; started.start(); return started; }();
    return clock.elapsed();
}

// Empty when ms lies within [lowest, highest], else what is wrong. Upper bounds sit below
// nominal * 4/3, so that a constant changed by a third fails them. A duration is only trusted
// in a ctest entry that has the cores to itself (tests/CMakeLists.txt gives one to every test
// function that checks a duration in its own body); in any other entry this fails, so that a
// check hidden in a helper cannot run beside other tests unnoticed. The sanitizer build, whose
// durations are not those of the program that ships, checks none (even a lower bound fails
// there when the start is seen late) and runs these functions, for all their other checks,
// beside the others.
QString durationProblem(qint64 ms, double lowest, double highest);

// Evaluates ms once.
#define QVERIFY_DURATION(ms, lowest, highest)                                                                          \
    do {                                                                                                               \
        const QString orvDurationProblem = durationProblem((ms), (lowest), (highest));                                 \
        QVERIFY2(orvDurationProblem.isEmpty(), qPrintable(orvDurationProblem));                                        \
    } while (false)

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

// A device that answers properly: active with this password, or not yet active without one.
SimDevice simDevice(const QString &ip, const QString &sn, const QString &password = QStringLiteral("secret1"));
JsonPtr deviceArray(const QVector<SimDevice> &fleet); // as the link would emit it
// What the devices were sent, one line each: "search", "activate SN-C", "netcfg SN-C".
QStringList requestsTo(const DeviceSimulatorThread &sim);

// "eth0/urm4" each: the name, then up, running, multicast, loopback, and 4 for an IPv4 address.
struct NetworkCard;
QVector<NetworkCard> networkCards(const QStringList &texts);
QByteArray contents(const QString &path); // of a file, or "(none)"
bool runShell(const QString &command); // sh -c in this test's own namespaces; true when it exits 0

// The report's rows as "sn: result: " and one more member, or "line: " and why it cannot be read.
struct ReportRow;
QStringList reportRows(const QString &path, QString ReportRow::*last);
