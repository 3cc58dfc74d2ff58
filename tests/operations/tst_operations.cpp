// IP change and activation end to end, against simulated devices: each row has a device of its
// own, and a host that is no device answers at one address. ctest runs each group of rows as an
// entry of its own, after a search of its own.

#include "dialogs/orv_passwd_window.h"
#include "tests/common/testsupport.h"
#include "window/orv_window.h"
#include "window/tablerules.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>

#include <memory>

namespace {

const QString goodPw = QStringLiteral("goodpass1");
const QString success = QStringLiteral("information|Tips|IP changed successfully,device rebooting.....|ORV_Window");
const QString badPassword = QStringLiteral("critical|Tips|Password error, login device failed|ORV_Window");
const QString unusable = QStringLiteral("critical|Invalid IP Address|Please enter a valid IPv4 address. %1|ORV_Window");
const QString forgedSn = QStringLiteral("SN-NL\nINJECTED fake log line: passwd:hunter2");

// What the device must receive, written out here rather than made by the program's own
// request builders (the serial number as JSON writes it, the request's tag as "tag of 8").
QString security(const char *command, const char *password, const char *sn)
{
    return QString::fromUtf8(R"({"cmd":"calludp","syn":"tag of 8","data":{"callcmd":"Security verification","password":"%1","sn":"%2","command":"%3"}})").arg(password, sn, command);
}

QString netcfg(const char *sn, const char *ip, const char *gateway)
{
    return QString::fromUtf8(R"({"cmd":"calludp","syn":"tag of 8","data":{"callcmd":"netcfg","sn":"%1","calldata":{"dhcp":0,"ip":"%2","gw":"%3","mask":"255.255.255.0","dns":"114.114.114.114"}}})").arg(sn, ip, gateway);
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        using O = SimDevice::Override;
        QVector<SimDevice> fleet;
        const auto add = [&fleet](const QString &sn, const QString &password, const char *active = "active",
                                  const char *kind = nullptr, O override = O{}) {
            fleet << simDevice(QStringLiteral("192.168.7.%1").arg(10 + fleet.size()), sn, password);
            fleet.last().activeState = QLatin1String(active);
            if (kind)
                fleet.last().overrides.insert(QLatin1String(kind), override);
        };
        add("SN-WRONG", goodPw);
        add("SN-NODATA", goodPw, "active", "login", O{O::NoData, {}});
        add("SN-REFUSE", goodPw, "active", "netcfg", O{O::Data, R"({"calldata":{"netcfg":"error"}})"});
        add("SN-ZERO", goodPw);
        add(forgedSn, goodPw, " ACTIVE "); // activated, whatever its case and blanks
        add("SN-ACT", QString(), "inactive");
        add("SN-ACT-DONE", goodPw, "---");
        add("SN-ACT-OCTAL", QString(), "inactive");
        add("SN-SILENT", goodPw, "active", "login", O{O::NoReply, {}});
        add("SN-CFG-SILENT", goodPw, "active", "netcfg", O{O::NoReply, {}});
        QVERIFY(sim.start(fleet));
        // A host that is no device, inside a subnet of the card (lo).
        QVERIFY(runShell("ip addr add 192.168.7.1/24 dev lo noprefixroute && ip addr add 192.168.7.77/32 dev lo"
                         " && ip route add 192.168.7.0/24 dev lo"));
        QVERIFY2(host.listen(QHostAddress("192.168.7.77"), 80), qPrintable(host.errorString()));
        window = std::make_unique<ORV_Window>(QStringLiteral("Local Mannage"));
        window->show();
        table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
        QVERIFY(chooseLoopback(*window));
        MessageBoxCloser closer;
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("search_button")), Qt::LeftButton);
        QCOMPARE(table->rowCount(), fleet.size());
    }

    void cleanupTestCase() { window.reset(); }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(visibleWindows(window.get()).isEmpty(), qPrintable(visibleWindows(window.get())));
        QVERIFY2(!QApplication::topLevelWidgets().contains(dialog), "a closed dialog was not deleted");
    }

    // The restart notice comes 5000 ms after the success box is closed: the one row whose
    // duration is checked, so that only it runs alone.
    void restartNotice_data()
    {
        columns();
        QTest::newRow("activated and moved") << "SN-ACT" << "first-pw9" << "10.9.8.2" << QStringList{security("activate", "first-pw9", "SN-ACT"), netcfg("SN-ACT", "10.9.8.2", "10.9.8.1")} << QStringList{success, "information|Device Restart|Device restart completed.|ORV_Window"};
    }

    void restartNotice()
    {
        change();
        QVERIFY_DURATION(restartWaitMs, 5000, 6250);
    }

    void change_data()
    {
        columns();
        QTest::newRow("login reply without data") << "SN-NODATA" << goodPw << "10.1.2.8" << QStringList{security("login", "goodpass1", "SN-NODATA")} << QStringList{"critical|Tips|device returned invalid data (no data field)|ORV_Window"};
        QTest::newRow("netcfg refused") << "SN-REFUSE" << goodPw << "10.1.3.1" << QStringList{security("login", "goodpass1", "SN-REFUSE"), netcfg("SN-REFUSE", "10.1.3.1", "10.1.3.1")} << QStringList{"warning|Failure|Device did not accept IP change.|ORV_Window"};
        QTest::newRow("address of another device refused before the login") << "SN-ZERO" << goodPw << "192.168.7.10" << QStringList() << QStringList{"critical|Invalid IP Address|192.168.7.10 is in use by SN-WRONG (02:00:00:00:00:10).|ORV_Window"};
        QTest::newRow("host at the address refused before the login") << "SN-ZERO" << goodPw << "192.168.7.77" << QStringList() << QStringList{"critical|Invalid IP Address|A host that is not a device answers at 192.168.7.77.|ORV_Window"};
        QTest::newRow("unusable address refused before the login") << "SN-ZERO" << goodPw << "192.168.7.0" << QStringList() << QStringList{unusable.arg("It is the network address of its /24 (the last part is 0).")};
        QTest::newRow("serial with a line break") << forgedSn << "badpass1" << "10.1.4.2" << QStringList{security("login", "badpass1", R"(SN-NL\nINJECTED fake log line: passwd:hunter2)")} << QStringList{badPassword};
        QTest::newRow("activation refused") << "SN-ACT-DONE" << "first-pw9" << "10.9.8.5" << QStringList{security("activate", "first-pw9", "SN-ACT-DONE")} << QStringList{"information|Tips|device is already actived|ORV_Window"};
        QTest::newRow("unusable address refused before the activation") << "SN-ACT-OCTAL" << "first-pw9" << "192.168.001.008" << QStringList() << QStringList{unusable.arg("A part starts with 0, which many programs read as an octal number.")};
        const QStringList silent = {"critical|Error|Timeout,Please try again!|none", "critical|Tips|device not open|ORV_Window"};
        QTest::newRow("no netcfg reply") << "SN-CFG-SILENT" << goodPw << "10.1.3.5" << QStringList{security("login", "goodpass1", "SN-CFG-SILENT"), netcfg("SN-CFG-SILENT", "10.1.3.5", "10.1.3.1")} << silent;
    }

    // A change and an activation, refusals, device faults and silences, each on a device of its own.
    void change()
    {
        QFETCH(QString, sn);
        QFETCH(QString, password);
        QFETCH(QString, newIp);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, boxes);
        const int row = column(*window, SnColumn).indexOf(sn);
        QVERIFY(row >= 0);
        const QString oldIp = table->item(row, IpColumn)->text(), oldActive = table->item(row, ActiveColumn)->text();
        const bool activation = oldActive.trimmed().toLower() != QLatin1String("active");
        const int requestMark = sim.requests().size();
        LogCapture log;
        MessageBoxCloser closer;

        table->cellWidget(row, OperationColumn)->findChild<QPushButton *>()->click();
        dialog = qobject_cast<ORV_Passwd_Window *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        const auto field = [this](const char *name) { return dialog->findChild<QLineEdit *>(QLatin1String(name)); };
        QCOMPARE(dialog->parentWidget(), activation ? nullptr : static_cast<QWidget *>(window.get()));
        QCOMPARE(field("passwd_text")->placeholderText(),
                 QString::fromLatin1(activation ? "Enter device active password" : "Input Password"));
        QCOMPARE(field("lineEdit_ip")->text(), oldIp);
        field("passwd_text")->setText(password);
        field("lineEdit_ip")->setText(newIp);
        dialog->findChild<QPushButton *>(QStringLiteral("confirm_button"))->click();

        const bool changed = boxes.contains(success);
        QTRY_COMPARE_WITH_TIMEOUT(closer.boxes.size(), boxes.size(), 8000);
        QCOMPARE(closer.boxes, boxes);
        if (changed)
            restartWaitMs = closer.shownMs.at(1) - closer.closedMs.at(0);
        QStringList received;
        for (const QByteArray &request : sim.requests().mid(requestMark))
            received << QString::fromUtf8(request).replace(QRegularExpression(R"("syn":"[0-9a-zA-Z]{8}")"),
                                                           R"("syn":"tag of 8")");
        QCOMPARE(received, requests);
        QCOMPARE(table->item(row, IpColumn)->text(), changed ? newIp : oldIp);
        const bool activated = activation && requests.size() == 2;
        QCOMPARE(table->item(row, ActiveColumn)->text(), activated ? QStringLiteral("active") : oldActive);
        QCOMPARE(log.lines().filter(password), QStringList());
        QCOMPARE(log.lines().filter(QStringLiteral("\nINJECTED")), QStringList()); // no forged line
    }

    // A second change confirmed while the first waits for its silent device is refused up
    // front: nothing goes out for it, and no box blames its device.
    void secondChangeWhileWaiting()
    {
        const int requestMark = sim.requests().size();
        MessageBoxCloser closer;
        const auto confirm = [this](const QString &sn, const QString &newIp) {
            table->cellWidget(column(*window, SnColumn).indexOf(sn), OperationColumn)->findChild<QPushButton *>()->click();
            auto *passwords = qobject_cast<ORV_Passwd_Window *>(QApplication::activeModalWidget());
            passwords->findChild<QLineEdit *>(QStringLiteral("passwd_text"))->setText(goodPw);
            passwords->findChild<QLineEdit *>(QStringLiteral("lineEdit_ip"))->setText(newIp);
            passwords->findChild<QPushButton *>(QStringLiteral("confirm_button"))->click();
        };
        QTimer::singleShot(100, this, [confirm] { confirm("SN-WRONG", "10.1.6.1"); }); // runs while the first waits
        confirm("SN-SILENT", "10.1.6.2");
        window->findChild<QPushButton *>(QStringLiteral("search_button"))->click(); // while its address is checked
        QTRY_COMPARE_WITH_TIMEOUT(closer.boxes.size(), 3, 8000);
        QCOMPARE(closer.boxes, QStringList({"warning|Tips|Another device request is still under way: try again once it is done.|ORV_Window",
                                            "critical|Error|Timeout,Please try again!|none", "critical|Tips|device not open|ORV_Window"}));
        QVERIFY(sim.requests().size() == requestMark + 1 && sim.requests().last().contains("SN-SILENT"));
    }

private:
    DeviceSimulatorThread sim;
    QTcpServer host;
    std::unique_ptr<ORV_Window> window;
    QTableWidget *table = nullptr;
    QPointer<ORV_Passwd_Window> dialog;
    qint64 restartWaitMs = -1; // from the success box closed to the restart notice shown

    static void columns()
    {
        QTest::addColumn<QString>("sn");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("newIp");
        QTest::addColumn<QStringList>("requests"); // what the device receives, in order
        QTest::addColumn<QStringList>("boxes");
    }
};

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
