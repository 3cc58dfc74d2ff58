// The "Change addresses" dialog: its own decisions one row per case, then the batch road
// through the real window against simulated devices, a road on which nothing is sent, a
// run among devices outside it, a run of slow devices, and the dialog at the keyboard.

#include "devicelink/orv_conn2device.h"
#include "dialogs/batchdialog.h"
#include "dialogs/batchmodel.h"
#include "dialogs/batchrules.h"
#include "tests/common/testsupport.h"
#include "window/devicetablemenu.h"
#include "window/orv_window.h"
#include "window/tablerules.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

using Model = BatchModel;

// Two active devices, two new ones that share their factory address.
const QVector<FoundDevice> kDevices = {{"192.168.1.10", "SN-A", "mac-A", "IPC-2120", "active"},
                                       {"192.168.1.11", "SN-B", "mac-B", "IPC-2120", "active"},
                                       {"192.168.1.50", "SN-C", "mac-C", "IPC-2120", "inactive"},
                                       {"192.168.1.50", "SN-D", "mac-D", "IPC-2120", "inactive"}};

// One entry per device: "-" unchecked, "x" checked, then the new address and the row's own password.
QVector<BatchEntry> entriesOf(const QStringList &rows)
{
    QVector<BatchEntry> entries;
    for (const QString &row : rows)
        entries.append({row.section(' ', 0, 0) == "x", row.section(' ', 1, 1), row.section(' ', 2, 2)});
    entries.resize(kDevices.size());
    return entries;
}

BatchCheck check(const QStringList &rows)
{
    return checkBatch(kDevices, entriesOf(rows), {{Ipv4(0xC0A80100), 24}}, {}, "eth-test");
}

// A search on lo, then the dialog as the operator opens it from the table's menu; null unless
// the search found that many devices.
BatchDialog *searchAndOpen(ORV_Window &window, int devices)
{
    window.show();
    if (!chooseLoopback(window))
        return nullptr;
    QTest::mouseClick(window.findChild<QPushButton *>("search_button"), Qt::LeftButton);
    if (window.devices().size() != devices)
        return nullptr;
    const std::unique_ptr<QMenu> menu(deviceTableMenu(&window, window.findChild<QTableWidget *>(), -1));
    for (QAction *action : menu->actions()) {
        if (action->text() == "Change addresses…" && action->isEnabled())
            action->trigger();
    }
    return window.findChild<BatchDialog *>();
}

// A column of the dialog's table as the operator sees it, top down.
QStringList cells(BatchDialog *dialog, int column, int role = Qt::DisplayRole)
{
    const QAbstractItemModel *view = dialog->findChild<QTableView *>("device_view")->model();
    QStringList texts;
    for (int row = 0; row < view->rowCount(); ++row)
        texts << view->index(row, column).data(role).toString();
    return texts;
}

void edit(BatchDialog *dialog, int row, bool checked, const QString &newIp)
{
    QAbstractItemModel *view = dialog->findChild<QTableView *>("device_view")->model();
    view->setData(view->index(row, Model::SerialColumn), checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    view->setData(view->index(row, Model::NewAddressColumn), newIp);
}

// Each row as "x 192.168.1.100" (checked, new address) or "-" (unchecked, none), top down.
QStringList rowsOf(BatchDialog *dialog)
{
    QStringList rows = cells(dialog, Model::NewAddressColumn);
    const QStringList checks = cells(dialog, Model::SerialColumn, Qt::CheckStateRole);
    for (int row = 0; row < rows.size(); ++row)
        rows[row] = ((checks.at(row).toInt() == Qt::Checked ? "x " : "- ") + rows.at(row)).trimmed();
    return rows;
}

QPushButton *button(BatchDialog *dialog, const char *name)
{
    return dialog->findChild<QPushButton *>(name);
}

} // namespace

class TestBatchDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit()); }
    void cleanup() { QVERIFY2(visibleWindows().isEmpty(), qPrintable(visibleWindows())); }

    // The Check column of each row, and the hint under Apply with what blocks it.
    void checkRows_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QStringList>("column"); // "!" before a problem
        QTest::addColumn<QString>("hint"); // "Devices that Apply changes: ..." when enabled
        const QString pw = "abc123", ready = "Ready to change.", left = "No new address: left as it is.";
        const QStringList one = {ready, "", "", ""};
        const QString problem = "A checked row has a problem: see the Check column.";
        const QString noPassword = "Enter the password: it logs in to the devices and becomes the first password of those not yet activated.";
        // clang-format off
        QTest::newRow("unchecked rows are not judged") << QStringList{"x 192.168.1.100", "- 192.168.1.10"} << pw << pw << one << "Devices that Apply changes: 1.";
        QTest::newRow("checked without address: left") << QStringList{"x", "x 192.168.1.101"} << pw << pw << QStringList{left, ready, "", ""} << "Devices that Apply changes: 1.";
        QTest::newRow("given twice: the other table row") << QStringList{"-", "x 192.168.1.100", "-", "x 192.168.1.100"} << pw << pw << QStringList{"", "!192.168.1.100 is also planned on line 4.", "", "!192.168.1.100 is also planned on line 2."} << problem;
        QTest::newRow("unusable among ready rows, with its reason") << QStringList{"x 192.168.1.100", "x 192.168.1.255"} << pw << pw << QStringList{ready, "!Please enter a valid IPv4 address. It is the broadcast address of its /24 (the last part is 255).", "", ""} << problem;
        QTest::newRow("outside the card: warned, allowed") << QStringList{"x 10.0.0.5"} << pw << pw << QStringList{ready + " 10.0.0.5 lies outside every IPv4 subnet of eth-test: its web page will need a route.", "", "", ""} << "Devices that Apply changes: 1.";
        QTest::newRow("already there") << QStringList{"x 192.168.1.10"} << pw << pw << QStringList{"Already at its new address.", "", "", ""} << "Nothing to change: give the checked devices a new address.";
        QTest::newRow("nothing checked") << QStringList{"- 192.168.1.100"} << pw << pw << QStringList{"", "", "", ""} << "Check the devices to change.";
        QTest::newRow("five characters") << QStringList{"x 192.168.1.100"} << "abc12" << "abc12" << one << "Password too short (min 6 chars)";
        QTest::newRow("not confirmed") << QStringList{"x 192.168.1.100"} << pw << "abc124" << one << "The confirmation differs from the password.";
        QTest::newRow("rows with their own password") << QStringList{"x 192.168.1.100 planpw1"} << "" << "" << one << "Devices that Apply changes: 1.";
        QTest::newRow("one row without") << QStringList{"x 192.168.1.100 planpw1", "x 192.168.1.101"} << "" << "" << QStringList{ready, ready, "", ""} << noPassword;
        // clang-format on
    }

    void checkRows()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(QStringList, column);
        QFETCH(QString, hint);
        const BatchCheck batch = check(rows);
        QStringList shown;
        for (const BatchCell &cell : batch.cells)
            shown << (cell.problem ? "!" : "") + cell.text;
        QCOMPARE(shown, column);
        QCOMPARE(applyHint(applyBlock(batch, password, confirmation), batch), hint);
    }

    void addressOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("less");
        QTest::newRow("an address before an empty cell") << "192.168.1.10" << "" << true;
        QTest::newRow("no addresses: by text") << "" << "192.168.1" << true;
    }

    void addressOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, less);
        QCOMPARE(addressLess(a, b), less);
    }

    // The New address column filled from a first address over the checked rows, or, for a row
    // that checks none, from a plan file.
    void fill_data()
    {
        QTest::addColumn<QStringList>("checked"); // "x" or "-" per row; none: load the plan
        QTest::addColumn<QString>("from"); // the first address, or the plan's path ("PLAN": written from plan)
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<QStringList>("rows"); // afterwards
        QTest::addColumn<QStringList>("boxes");
        const QString box = "critical|Tips|The plan %1 cannot be used: %2|BatchDialog";
        const QStringList all = {"x", "x", "x", "x"}, none = {"-", "-", "-", "-"}, fromPlan;
        // clang-format off
        QTest::newRow("checked rows only; an unchecked device's address skipped") << QStringList{"x", "-", "-", "x"} << "192.168.1.49" << QByteArray() << QStringList{"x 192.168.1.49", "-", "-", "x 192.168.1.51"} << QStringList{};
        QTest::newRow("range too small: nothing changes") << all << "192.168.1.253" << QByteArray() << all << QStringList{"warning|Tips|192.168.1.253 to 192.168.1.254 offers 2 free addresses, but 4 devices need one.|BatchDialog"};
        QTest::newRow("nothing checked") << none << "192.168.1.100" << QByteArray() << none << QStringList{"warning|Tips|No device of the search matches the choice.|BatchDialog"};
        QTest::newRow("plan: the named devices, with their addresses") << fromPlan << "PLAN" << QByteArray("sn,new_ip\nSN-C,192.168.1.102\nSN-B,192.168.1.101,planpw1\n") << QStringList{"-", "x 192.168.1.101", "x 192.168.1.102", "-"} << QStringList{};
        QTest::newRow("plan: a device not in the search: left out, told") << fromPlan << "PLAN" << QByteArray("SN-A,192.168.1.100\nSN-X,192.168.1.9\n") << QStringList{"x 192.168.1.100", "-", "-", "-"} << QStringList{"warning|Tips|These rows of PLAN were left out:\nLine 2: SN-X was not found in the search.|BatchDialog"};
        QTest::newRow("plan: a row that does not parse: nothing changes") << fromPlan << "PLAN" << QByteArray("SN-A,192.168.1.100\nSN-B\n") << none << QStringList{box.arg("PLAN", "line 2: expected sn,new_ip[,password], found 1 cells")};
        QTest::newRow("plan: endless: read no further than the cap") << fromPlan << "/dev/zero" << QByteArray() << none << QStringList{box.arg("/dev/zero", "larger than 1048576 bytes: not a plan")};
        // clang-format on
    }

    void fill()
    {
        QFETCH(QStringList, checked);
        QFETCH(QString, from);
        QFETCH(QByteArray, plan);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, boxes);
        QTemporaryDir dir;
        QFile file(dir.filePath("plan.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(plan) == plan.size());
        file.close();
        ORV_CONN2DEVICE link;
        BatchDialog dialog(kDevices, link);
        for (int row = 0; row < checked.size(); ++row)
            edit(&dialog, row, checked.at(row) == "x", "");
        MessageBoxCloser closer;
        QSignalSpy shown(dialog.findChild<QTableView *>("device_view")->model(), &QAbstractItemModel::dataChanged);
        if (checked.isEmpty()) {
            QCOMPARE(dialog.loadPlan(from == "PLAN" ? file.fileName() : from),
                     boxes.isEmpty() || boxes.first().startsWith("warning"));
        } else {
            dialog.findChild<QLineEdit *>("first_address")->setText(from);
            button(&dialog, "fill_button")->click();
        }
        QCOMPARE(rowsOf(&dialog), rows);
        QCOMPARE(closer.boxes.replaceInStrings(file.fileName(), "PLAN"), boxes);
        QVERIFY(!boxes.isEmpty() || !shown.isEmpty()); // the view repaints what was filled
    }

    // 30 devices of 40, 10 of them new and sharing their factory address: checked, filled from
    // .100, applied, verified; the main table and its export then list all 40, the 30 where
    // they answer now.
    void batch()
    {
        QVector<SimDevice> fleet;
        QStringList planned, listed; // the new addresses, and where the search lists every device
        for (int i = 0; i < 40; ++i) {
            const bool fresh = i >= 20 && i < 30, outside = i >= 30;
            fleet << simDevice(fresh ? "192.168.1.50" : QStringLiteral("192.168.1.%1").arg(outside ? 170 + i : 10 + i),
                               QStringLiteral("%1-%2").arg(outside ? "OUT" : "SN").arg(i + 1, 2, 10, QLatin1Char('0')),
                               fresh ? "" : "admin123");
            if (!outside)
                planned << QStringLiteral("192.168.1.%1").arg(100 + i);
            listed << (outside ? fleet.last().ip : planned.last());
        }
        DeviceSimulator::Options options;
        options.restartMs = 200;
        DeviceSimulatorThread sim;
        QVERIFY(sim.start(fleet, options));
        ORV_Window window(QStringLiteral("Local Mannage"));
        BatchDialog *dialog = searchAndOpen(window, 40);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), "Change addresses");
        dialog->findChild<QCheckBox *>("check_all")->click(); // none checked until then
        for (int row = 0; row < 40; ++row)
            edit(dialog, row, !cells(dialog, Model::SerialColumn).at(row).startsWith("OUT"), "");
        dialog->findChild<QLineEdit *>("first_address")->setText("192.168.1.100");
        button(dialog, "fill_button")->click();
        QStringList filled = cells(dialog, Model::NewAddressColumn).filter(".");
        filled.sort();
        QCOMPARE(filled, planned);
        dialog->findChild<QLineEdit *>("password_text")->setText("admin123");
        dialog->findChild<QLineEdit *>("confirmation_text")->setText("admin123");

        // A Search pressed in the main window while the run holds the link sends nothing. The
        // status line counts the devices done while the others move, though the verification runs.
        auto *search = window.findChild<QPushButton *>("search_button");
        QString status;
        connect(dialog->findChild<QProgressBar *>("progress_bar"), &QProgressBar::valueChanged, search,
                [search, dialog, &status](int value) {
                    if (value == 1)
                        search->click();
                    if (value == 2) // the status line of the first device done
                        status = dialog->findChild<QWidget *>("state_label")->property("text").toString();
                });
        LogCapture log;
        MessageBoxCloser closer;
        QSignalSpy finished(dialog, &BatchDialog::runFinished);
        button(dialog, "apply_button")->click();
        QVERIFY(finished.wait(60000));
        QVERIFY(!window.link()->isBusy()); // the window may search again
        QCOMPARE(status, "Changing addresses: 1 of 30 devices done.");

        QCOMPARE(cells(dialog, Model::ResultColumn).count("done, verified"), 30);
        QCOMPARE(dialog->findChild<QLabel *>("state_label")->text(), "30 of 30 devices changed, 30 verified at their new address.");
        QStringList shown; // what the table pages through and the export writes
        for (const DeviceEntry &device : window.currentDevices())
            shown << device.text(DeviceMember::Ip);
        shown.sort();
        listed.sort();
        QCOMPARE(shown, listed);
        const int rounds = log.lines().filter(QRegularExpression("^verification round")).size();
        QCOMPARE(requestsTo(sim).count("search"), 1 + rounds);

        QTemporaryDir dir;
        QFile stored(dialog->reportPath()); // written as the run went
        QVERIFY(stored.fileName().startsWith(dataHome.path()) && stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll().count("activate+netcfg,done,"), 10);
        QVERIFY(dialog->saveReport(dir.filePath("run")) && QFile(dir.filePath("run.csv")).size() == stored.size());
        QVERIFY(!dialog->saveReport(dir.filePath("gone/run.csv")));
        QCOMPARE(closer.boxes, QStringList{"critical|Tips|The report was not saved.\nThe report " + dir.filePath("gone/run.csv") + " could not be created: No such file or directory|BatchDialog"});
        dialog->close();
        QTRY_VERIFY(!window.findChild<BatchDialog *>());
    }

    // A host that is no device, found when Apply is pressed, stops the run before anything is
    // sent; a run cancelled after its first device says what became of each row.
    void conflict()
    {
        QVERIFY(runShell("ip addr add 192.168.1.1/24 dev lo noprefixroute && ip addr add 192.168.1.77/32 dev lo"
                         " && ip route add 192.168.1.0/24 dev lo"));
        QTcpServer host;
        QVERIFY2(host.listen(QHostAddress("192.168.1.77"), 80), qPrintable(host.errorString()));
        SimDevice refuses = simDevice("192.168.1.20", "SN-C", "");
        refuses.overrides.insert("netcfg", {SimDevice::Override::Data, R"({"calldata":{"netcfg":"error"}})"});
        QVector<SimDevice> fleet = {simDevice("192.168.1.9", "SN-A"), simDevice("192.168.1.10", "SN-B"), refuses,
                                    simDevice("192.168.1.21", "SN-D", "")};
        for (SimDevice &device : fleet)
            device.replyDelayMs = 300; // in hand long enough to be cancelled meanwhile
        DeviceSimulatorThread sim;
        QVERIFY(sim.start(fleet));
        ORV_Window window(QStringLiteral("Local Mannage"));
        BatchDialog *dialog = searchAndOpen(window, 4);
        QVERIFY(dialog);
        MessageBoxCloser closer;

        dialog->findChild<QTableView *>("device_view")->sortByColumn(Model::AddressColumn, Qt::AscendingOrder);
        QCOMPARE(cells(dialog, Model::AddressColumn), QStringList({"192.168.1.9", "192.168.1.10", "192.168.1.20", "192.168.1.21"}));
        edit(dialog, 0, true, "192.168.1.77");
        dialog->findChild<QLineEdit *>("password_text")->setText("secret1");
        dialog->findChild<QLineEdit *>("confirmation_text")->setText("secret1");
        button(dialog, "apply_button")->click();
        QTRY_COMPARE(cells(dialog, Model::CheckColumn).at(0), "A host that is not a device answers at 192.168.1.77.");
        QVERIFY(!button(dialog, "apply_button")->isEnabled());
        QCOMPARE(requestsTo(sim), QStringList{"search"});

        edit(dialog, 0, false, "");
        dialog->findChild<QCheckBox *>("check_all")->click();
        dialog->findChild<QCheckBox *>("only_inactive")->setChecked(true);
        dialog->findChild<QLineEdit *>("first_address")->setText("192.168.1.77"); // where the probe found a host
        button(dialog, "fill_button")->click();
        QCOMPARE(cells(dialog, Model::NewAddressColumn), QStringList({"", "", "192.168.1.78", "192.168.1.79"}));
        button(dialog, "apply_button")->click(); // cancelled while the probe looks for hosts: no run, and the next goes
        button(dialog, "cancel_button")->click();
        QTRY_COMPARE(dialog->findChild<QLabel *>("state_label")->text(), "Cancelled. Nothing was sent.");
        QSignalSpy finished(dialog, &BatchDialog::runFinished);
        button(dialog, "apply_button")->click();
        QTRY_VERIFY(requestsTo(sim).contains("activate SN-C")); // its answer comes 300 ms later
        button(dialog, "cancel_button")->click();
        QVERIFY(!finished.isEmpty() || finished.wait(20000));
        QCOMPARE(cells(dialog, Model::ResultColumn),
                 QStringList({"", "", "failed: Activated (its password is set now), but the address was not changed: Device did not accept IP change.",
                              "not run: The run stopped before this device."}));
        QCOMPARE(requestsTo(sim), QStringList({"search", "activate SN-C", "netcfg SN-C"}));
        QCOMPARE(closer.boxes, QStringList());
        dialog->close();
    }

    // 30 devices that answer 2.5 s late: from Apply on, the event loop never stalls beyond
    // 100 ms (the probe of addresses in the card's subnet, the exchanges and the searches run
    // on the worker); Escape asks first, Cancel shows at once and ends the run after the
    // device in hand, and the main table shows that device at its new address.
    void responsive()
    {
        QVERIFY(runShell("ip addr add 192.168.1.250/24 dev lo noprefixroute && ip route replace 192.168.1.0/24 dev lo"));
        QVector<SimDevice> fleet;
        for (int i = 0; i < 30; ++i) {
            fleet << simDevice(QStringLiteral("192.168.1.%1").arg(10 + i), QStringLiteral("SN-%1").arg(i));
            fleet.last().replyDelayMs = 2500;
        }
        DeviceSimulatorThread sim;
        QVERIFY(sim.start(fleet));
        ORV_Window window(QStringLiteral("Local Mannage"));
        BatchDialog *dialog = searchAndOpen(window, 30);
        QVERIFY(dialog);
        dialog->findChild<QCheckBox *>("check_all")->click();
        dialog->findChild<QLineEdit *>("first_address")->setText("192.168.1.100");
        button(dialog, "fill_button")->click();
        dialog->findChild<QLineEdit *>("password_text")->setText("secret1");
        dialog->findChild<QLineEdit *>("confirmation_text")->setText("secret1");

        qint64 last = nowMs(), longestGap = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { longestGap = qMax(longestGap, nowMs() - last), last = nowMs(); });
        ticker.start(5);
        MessageBoxCloser closer;
        closer.pressCancel = true;
        QSignalSpy finished(dialog, &BatchDialog::runFinished);
        button(dialog, "apply_button")->click();
        QTest::qWait(3000); // the probe and the first login
        QCOMPARE(dialog->findChild<QLabel *>("state_label")->text(), "Changing addresses: 0 of 30 devices done.");
        QTest::keyClick(dialog, Qt::Key_Escape);
        QCOMPARE(closer.boxes, QStringList{"question|Tips|Stop the run once the device in hand is done, and close? The report keeps every device done so far.|BatchDialog"});
        QVERIFY(dialog->isRunning());
        QTest::qWait(1000);
        button(dialog, "cancel_button")->click();
        QCOMPARE(dialog->findChild<QLabel *>("state_label")->text(), "Cancelling once the device or the search in hand is done.");
        QVERIFY(!finished.isEmpty() || finished.wait(10000));
        ticker.stop();
        QVERIFY_DURATION(longestGap, 0, 100);

        QCOMPARE(requestsTo(sim).size(), 3); // the search, then one device's login and netcfg
        QCOMPARE(cells(dialog, Model::ResultColumn).count("not run: The run stopped before this device."), 29);
        QStringList listed; // no search after the change: the list before the run, with the change
        for (const DeviceEntry &device : window.devices())
            listed << device.text(DeviceMember::Ip);
        QCOMPARE(listed.size(), 30);
        QCOMPARE(listed.filter(QRegularExpression(R"(^192\.168\.1\.1\d\d$)")).size(), 1);
        dialog->close();
    }

    // Closed (by a screen reader, say) while its file dialog for a plan is open.
    void closeWhileChoosingPlan()
    {
        ORV_CONN2DEVICE link;
        QPointer<BatchDialog> dialog = new BatchDialog(kDevices, link);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        bool chooserShown = false;
        QTimer::singleShot(200, dialog, [&] { chooserShown = dialog->findChild<QFileDialog *>()->isVisible(), dialog->close(); });
        button(dialog, "load_plan_button")->click();
        QTRY_VERIFY(!dialog);
        QVERIFY(chooserShown);
    }

    // A device that sends a 2,000-character model: the dialog as it opens (within 1366x768)
    // shows Serial number, New address, Check and Result; the model is elided, whole in its
    // tool tip; the line under the table gives the current row's Check and Result.
    void longModel()
    {
        QVector<FoundDevice> devices = kDevices;
        devices[0].model = QString(2000, 'M');
        ORV_CONN2DEVICE link;
        BatchDialog dialog(devices, link);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.width() <= 1366 && dialog.height() <= 768);
        QCOMPARE(rowsOf(&dialog), QVector<QString>(4, "-").toList()); // none checked until the operator chooses
        auto *view = dialog.findChild<QTableView *>("device_view");
        for (const int column : {Model::SerialColumn, Model::NewAddressColumn, Model::CheckColumn, Model::ResultColumn}) {
            const int left = view->horizontalHeader()->sectionViewportPosition(column), width = view->columnWidth(column);
            QVERIFY2(left >= 0 && width >= 100 && left + width <= view->viewport()->width(), qPrintable(QString::number(column)));
        }
        QCOMPARE(view->model()->index(0, Model::ModelColumn).data(Qt::ToolTipRole).toString().size(), 2000);
        edit(&dialog, 0, true, "192.168.1.11");
        view->setCurrentIndex(view->model()->index(0, Model::ModelColumn));
        QCOMPARE(dialog.findChild<QLabel *>("detail_label")->text(), "Check: 192.168.1.11 is in use by SN-B (mac-B).");
    }

    // Tab goes from control to control, never round the table's cells, both ways; Escape asks
    // before edits are lost; Enter in a password field applies, unless the run's report
    // cannot be written.
    void keyboard()
    {
        ORV_CONN2DEVICE link;
        BatchDialog dialog(kDevices, link);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        dialog.findChild<QLineEdit *>("first_address")->setFocus();
        QStringList stops = {"order_box", "only_inactive", "fill_button", "load_plan_button", "check_all",
                             "device_view", "password_text", "confirmation_text", "close_button", "first_address"};
        QCOMPARE(tabStops(&dialog, true), stops); // each with its focus shown
        std::reverse(stops.begin(), stops.end() - 1);
        QCOMPARE(tabStops(&dialog, false), stops);

        MessageBoxCloser closer;
        closer.pressCancel = true;
        edit(&dialog, 0, true, "192.168.1.100");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(closer.boxes, QStringList{"question|Tips|Close and lose the checks and new addresses entered here?|BatchDialog"});
        QVERIFY(dialog.isVisible());

        auto *password = dialog.findChild<QLineEdit *>("password_text");
        QTest::keyClicks(password, "abc123");
        QTest::keyClicks(dialog.findChild<QLineEdit *>("confirmation_text"), "abc123");
        qputenv("XDG_DATA_HOME", QFile::encodeName(QCoreApplication::applicationFilePath())); // no folder in a file
        QTest::keyClick(password, Qt::Key_Return);
        QTRY_VERIFY(closer.boxes.size() == 2 && !dialog.isRunning());
        QVERIFY(closer.boxes.last().startsWith("critical|Tips|The run's report cannot be written, so nothing was sent.\n"));
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
        QSignalSpy finished(&dialog, &BatchDialog::runFinished);
        QTest::keyClick(password, Qt::Key_Return);
        QVERIFY(dialog.isRunning());
        QVERIFY(finished.wait(5000)); // no search made: the device fails at once
        QCOMPARE(dialog.focusWidget(), button(&dialog, "close_button"));
        QTest::keyClick(&dialog, Qt::Key_Escape); // the run is in its report: no question
        QCOMPARE(closer.boxes.size(), 2);
        QVERIFY(!dialog.isVisible());
    }

private:
    QTemporaryDir dataHome; // the user's data folder, where each run writes its report
};

QTEST_MAIN(TestBatchDialog)
#include "tst_batchdialog.moc"
