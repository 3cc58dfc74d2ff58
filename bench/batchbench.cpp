// The "Change addresses" dialog against its floor: DEVICES simulated devices (default 30) on
// lo that answer DELAY ms late (default 0) and come back at once after a change, all moved by
// one run. Prints the time from
// Apply to the last row verified and to the run's end, the floor (one login round trip
// per request, measured with the link's core taking replies at once, times two requests
// per device, plus one whole search: its first reply and the gathering), their ratio, and
// the longest the dialog's event loop went without a turn. Run by batch-bench.sh.

#include "devicelink/orv_conn2device.h"
#include "dialogs/batchdialog.h"
#include "tools/devicesim/devicesim.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

int fail(const char *what)
{
    std::fprintf(stderr, "batchbench: %s\n", what);
    return 1;
}

bool allVerified(const QAbstractItemModel *table)
{
    const int result = table->columnCount() - 1;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (!table->index(row, result).data().toString().contains(QLatin1String("verified")))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    const int delayMs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    const QString card = QStringLiteral("lo");
    QTemporaryDir dataHome; // the run's report goes there, not into the user's data folder
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());

    DeviceSimulator::Options options;
    options.restartMs = 0;
    DeviceSimulatorThread sim;
    QString error;
    QVector<SimDevice> fleet = DeviceSimulator::makeFleet(count);
    for (SimDevice &device : fleet)
        device.replyDelayMs = delayMs;
    if (count < 1 || !sim.start(fleet, options, &error))
        return fail(qPrintable(error));

    // The floor's parts, on a core of its own that takes each reply as soon as it is read.
    qint64 searchMs = 0, firstReplyMs = 0, roundTripsMs = 0;
    {
        LinkCore core;
        core.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
        QElapsedTimer clock;
        clock.start();
        const LinkCore::Result search = core.search(card);
        searchMs = clock.elapsed();
        firstReplyMs = search.firstReplyMs;
        if (cJSON_GetArraySize(search.json.get()) != count)
            return fail("the floor's search did not hear every device");
        clock.restart();
        for (int i = 0; i < 2 * count; ++i) {
            if (!core.login(QStringLiteral("admin123"), QStringLiteral("SN00000001")).json)
                return fail("a login of the floor went unanswered");
        }
        roundTripsMs = clock.elapsed();
    }

    ORV_CONN2DEVICE link;
    QVector<FoundDevice> devices;
    QObject::connect(&link, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, &app,
                     [&devices](cJSON *array) { devices = foundDevices(array); });
    link.search_device(card);
    if (devices.size() != count)
        return fail("the window's search did not hear every device");

    BatchDialog dialog(devices, link);
    dialog.show();
    auto *checkAll = dialog.findChild<QCheckBox *>(QStringLiteral("check_all"));
    if (checkAll->checkState() != Qt::Checked)
        checkAll->click();
    dialog.findChild<QLineEdit *>(QStringLiteral("first_address"))->setText(QStringLiteral("192.168.200.10"));
    dialog.findChild<QPushButton *>(QStringLiteral("fill_button"))->click();
    for (const char *field : {"password_text", "confirmation_text"})
        dialog.findChild<QLineEdit *>(QLatin1String(field))->setText(QStringLiteral("admin123"));
    auto *apply = dialog.findChild<QPushButton *>(QStringLiteral("apply_button"));
    if (!apply->isEnabled())
        return fail("Apply is disabled");

    const QAbstractItemModel *table = dialog.findChild<QTableView *>(QStringLiteral("device_view"))->model();
    QElapsedTimer clock;
    qint64 verifiedMs = -1, lastTurn = 0, longestGap = 0;
    QObject::connect(table, &QAbstractItemModel::dataChanged, &dialog, [&] {
        if (verifiedMs < 0 && allVerified(table))
            verifiedMs = clock.elapsed();
    });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &dialog, [&] {
        longestGap = qMax(longestGap, clock.elapsed() - lastTurn);
        lastTurn = clock.elapsed();
    });
    QEventLoop finished;
    QObject::connect(&dialog, &BatchDialog::runFinished, &finished, &QEventLoop::quit);
    ticker.start(5);
    clock.start();
    apply->click();
    if (dialog.isRunning())
        finished.exec();
    const qint64 endMs = clock.elapsed();
    // A step that blocks the event loop ends before the ticker can see the gap.
    longestGap = qMax(longestGap, endMs - lastTurn);

    const qint64 floorMs = roundTripsMs + searchMs;
    std::printf("devices=%d delay_ms=%d apply_to_verified_ms=%lld apply_to_end_ms=%lld floor_ms=%lld (round_trips_ms=%lld "
                "search_ms=%lld first_reply_ms=%lld) ratio=%.2f longest_event_loop_gap_ms=%lld\n",
                count, delayMs, static_cast<long long>(verifiedMs), static_cast<long long>(endMs),
                static_cast<long long>(floorMs), static_cast<long long>(roundTripsMs),
                static_cast<long long>(searchMs), static_cast<long long>(firstReplyMs),
                double(verifiedMs) / double(floorMs), static_cast<long long>(longestGap));
    sim.stop();
    return verifiedMs > 0 ? 0 : 1;
}
