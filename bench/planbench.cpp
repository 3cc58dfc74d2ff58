// Figures for the commissioning decisions on a large site, without any network: the plan
// generator and the plan check for 2,000 devices, and the cost of the report written as a
// run of 1,000 devices writes it (the rows at the start, "started" and the outcome of each
// device, one sync per device, the final form at the end) in the folder given (default: the
// current one).
//
//     build/bench/planbench [FOLDER]

#include "commissioning/batchrun.h"
#include "commissioning/report.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = 2000;
    QVector<FoundDevice> devices;
    for (int i = 0; i < count; ++i) // every fourth device still at the factory address
        devices.append({i % 4 ? QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250 + 2) : QStringLiteral("192.168.1.64"),
                        QStringLiteral("SN%1").arg(i, 8, 10, QLatin1Char('0')),
                        QStringLiteral("02:54:56:00:%1:%2").arg(i / 256, 2, 16, QLatin1Char('0')).arg(i % 256, 2, 16, QLatin1Char('0')),
                        QStringLiteral("IPC-2120"), i % 2 ? QStringLiteral("active") : QStringLiteral("inactive")});

    QElapsedTimer clock;
    clock.start();
    PlanRequest request;
    request.from = QStringLiteral("10.2.0.2");
    request.to = QStringLiteral("10.2.255.254");
    request.order = PlanOrder::Mac;
    const GeneratedPlan generated = generatePlan(devices, request);
    std::printf("plan --from for %d devices: %lld ms, %d rows\n", count, clock.elapsed(), int(generated.rows.size()));

    // Each device takes the address of the next one, the last a free one: one chain of 1,500.
    QVector<PlanRow> chain;
    for (int i = 0; i < count; ++i) {
        if (i % 4 == 0)
            continue;
        const int next = i + 1 + (i % 4 == 3);
        chain.append({chain.size() + 2, devices.at(i).sn, next < count ? devices.at(next).ip : QStringLiteral("10.3.0.2"), QString()});
    }
    clock.restart();
    const PlanCheck check = checkPlan(chain, devices, {{Ipv4(0x0A000000), 8}});
    std::printf("plan check of %d rows in one chain: %lld ms, %d ready\n", int(chain.size()), clock.elapsed(),
                int(check.order.size()));

    QTemporaryDir dir(QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()).filePath(QStringLiteral("planbench-XXXXXX")));
    ReportWriter report(dir.filePath(QStringLiteral("run.csv")));
    if (!report.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(report.error()));
        return 1;
    }
    QVector<ReportRow> rows(1000);
    for (int i = 0; i < rows.size(); ++i)
        rows[i] = {i + 2, devices.at(i).sn, devices.at(i).mac, devices.at(i).model, devices.at(i).ip,
                   QStringLiteral("10.3.%1.%2").arg(i / 250).arg(i % 250 + 2), QStringLiteral("login+netcfg"),
                   QStringLiteral("pending"), QString(), QString(), reportTime(), 0};
    clock.restart();
    for (const ReportRow &row : qAsConst(rows))
        report.append(row);
    for (ReportRow &row : rows) {
        row.result = QStringLiteral("started");
        report.append(row);
        if (!report.sync()) {
            std::fprintf(stderr, "%s\n", qPrintable(report.error()));
            return 1;
        }
        row.result = QStringLiteral("done");
        row.detail = QStringLiteral("IP changed successfully,device rebooting.....");
        report.append(row);
    }
    if (!report.write(rows)) {
        std::fprintf(stderr, "%s\n", qPrintable(report.error()));
        return 1;
    }
    std::printf("report of a run of 1000 devices (3000 events, 1000 syncs, the final form) in %s: %lld ms, %lld bytes\n",
                qPrintable(QDir(dir.path()).absolutePath()), clock.elapsed(), QFileInfo(report.path()).size());
    return 0;
}
