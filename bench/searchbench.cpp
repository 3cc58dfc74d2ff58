// Runs one search through the device link and prints what it found, how long the call
// blocked and the peak memory of this process. Used by search-bench.sh.

#include "devicelink/orv_conn2device.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

#include <cstdio>
#include <unistd.h>

namespace {

long residentKb()
{
    long pages = 0;
    long resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString card = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("lo");

    ORV_CONN2DEVICE link;
    int listed = -1;
    QObject::connect(&link, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, &app,
                     [&listed](cJSON *datas) { listed = cJSON_GetArraySize(datas); });

    // A search that nobody answers ends in the modal time-out box: close it so the run ends.
    int timeoutBoxes = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, &app, [&timeoutBoxes] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            ++timeoutBoxes;
            box->close();
        }
    });
    closer.start(50);

    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    link.search_device(card);
    const qint64 wallMs = clock.elapsed();

    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("listed=%d wall_ms=%lld rss_before_kb=%ld peak_rss_kb=%ld timeout_boxes=%d\n", listed,
                static_cast<long long>(wallMs), before, usage.ru_maxrss, timeoutBoxes);
    return listed >= 0 ? 0 : 1;
}
