// tarnvale-cli as a user runs it (the real program against a simulated fleet on lo), the
// CSV format it shares with the window, and the window's export.

#include "devicecsv.h"
#include "devicetablemenu.h"
#include "orv_window.h"
#include "testsupport.h"

#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QUdpSocket>

namespace {

struct Run { int status; QByteArray out, err; }; // status -2: a password showed in the output

QStringList lines(const QByteArray &text)
{
    QStringList result = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    for (QString &line : result)
        line = line.simplified();
    return result;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // SN00000004 is not activated; SN-ODD shares SN00000002's address and has an odd model.
        QVector<SimDevice> devices = DeviceSimulator::makeFleet(4);
        devices << devices.at(1);
        devices.last().sn = "SN-ODD";
        devices.last().model = "=HYPERLINK(\"x\"),\nFAKE";
        DeviceSimulator::Options options;
        options.restartMs = 0;
        QVERIFY(sim.start(devices, options)); // stops the previous one
    }

    void listFormats()
    {
        const Run table = cli({"list", "--all-replies"});
        QCOMPARE(table.status, 0);
        // The line break in the odd model is shown escaped: no line is forged.
        QCOMPARE(lines(table.out),
                 QStringList({"IP SN MAC MODEL VERSION ACTIVE SHARED",
                              "192.168.1.2 SN00000001 02:54:56:00:00:00 IPC-2120 6.0.231024 active",
                              "192.168.1.3 SN-ODD 02:54:56:00:00:01 =HYPERLINK(\"x\"),\\x0aFAKE 6.1.250110 active x2",
                              "192.168.1.3 SN00000002 02:54:56:00:00:01 IPC-3140 6.1.250110 active x2",
                              "192.168.1.4 SN00000003 02:54:56:00:00:02 NVR-0800 5.8.230415 active",
                              "192.168.1.5 SN00000004 02:54:56:00:00:03 IPC-2120 6.0.240514 inactive"}));

        const Run csv = cli({"list", "--format", "csv", "--all-replies"});
        QCOMPARE(csv.status, 0);
        QVERIFY(csv.out.startsWith("pid,ip,sn,mac,model,baseModel,active,V\r\n0,192.168.1.2,SN00000001,"));
        QVERIFY(csv.out.contains("\n0,192.168.1.3,SN-ODD,02:54:56:00:00:01,\"'=HYPERLINK(\"\"x\"\"),\nFAKE\",IPC31,"));
        QCOMPARE(csv.out.count("\r\n"), 6);

        // Every device, also those that share an address.
        const Run json = cli({"list", "--format", "json"});
        QCOMPARE(json.status, 0);
        QStringList serials;
        for (const QJsonValue &device : QJsonDocument::fromJson(json.out).array())
            serials << device["sn"].toString() + QString::number(device.toObject().size());
        QCOMPARE(serials, QStringList({"SN000000018", "SN-ODD8", "SN000000028", "SN000000038", "SN000000048"}));
    }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests"); // that reached the devices

        const QByteArray no;
        const QString done = "IP changed successfully,device rebooting.....";
        QTest::newRow("set-ip") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password-file", "PW"} << QByteArray("admin123") << no << 0 << done << 2;
        QTest::newRow("activate, password by environment") << QStringList{"activate", "SN00000004", "10.0.0.4"} << QByteArray("newpass1") << no << 0 << done << 2;
        QTest::newRow("password refused") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password-file", "PW"} << QByteArray("wrongpw1") << no << 6 << "Password error, login device failed" << 1;
        QTest::newRow("address refused") << QStringList{"set-ip", "SN00000002", "10.0.0.255"} << QByteArray("admin123") << no << 7 << "Invalid IP Address: Please enter a valid IPv4 address." << 0;
        QTest::newRow("not activated") << QStringList{"set-ip", "SN00000004", "10.0.0.4"} << QByteArray("admin123") << no << 8 << "device is not activated" << 1;
        QTest::newRow("already activated") << QStringList{"activate", "SN00000002", "10.0.0.2"} << QByteArray("newpass1") << no << 8 << "device is already actived" << 1;
        QTest::newRow("no reply") << QStringList{"set-ip", "SN09999999", "10.0.0.9"} << QByteArray("admin123") << no << 5 << "device not open (Timeout,Please try again!)" << 1;
        QTest::newRow("password too short") << QStringList{"set-ip", "SN00000002", "10.0.0.2"} << QByteArray("admin") << no << 2 << "Password too short (min 6 chars)" << 0;
        QTest::newRow("password as argument") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password", "admin123"} << no << no << 2 << "Passwords are not taken as arguments" << 0;
        QTest::newRow("option of another command") << QStringList{"list", "--dry-run"} << no << no << 2 << "--dry-run is not an option of list" << 0;
        QTest::newRow("unknown interface") << QStringList{"list", "--interface", "eth9"} << no << no << 3 << "unknown interface \"eth9\" (known: lo)" << 0;
        QTest::newRow("port in use") << QStringList{"list"} << no << no << 4 << "UDP port 10088 is in use" << 0;
        QTest::newRow("plan unreadable") << QStringList{"apply", "/nonexistent/plan.csv"} << no << no << 9 << "cannot read the plan /nonexistent/plan.csv" << 0;
        QTest::newRow("plan with open quote") << QStringList{"apply", "PLAN"} << QByteArray("admin123") << QByteArray("sn,new_ip\nSN00000002,10.0.0.2\nSN00000001,\"10.0.0.1\n") << 9 << "PLAN:3: a quoted cell is not closed" << 0;
        QTest::newRow("plan with address twice") << QStringList{"apply", "PLAN"} << QByteArray("admin123") << QByteArray("SN00000002,10.0.0.2\r\nSN00000001,10.0.0.2\r\n") << 9 << "PLAN:2: address 10.0.0.2 is already planned on line 1" << 0;
        QTest::newRow("dry run") << QStringList{"apply", "PLAN", "--dry-run"} << no << QByteArray("SN00000001,10.0.1.1\nSN00000004,10.0.1.4\n") << 0 << "would activate, then change the address" << 1;
    }

    void exitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, plan);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, requests);

        QUdpSocket portHolder; // without address sharing, so that the program cannot bind as well
        if (QTest::currentDataTag() == QByteArray("port in use"))
            QVERIFY(portHolder.bind(QHostAddress::AnyIPv4, 10088, QUdpSocket::DontShareAddress));
        const Run run = cli(args, password, plan);
        QCOMPARE(run.status, status);
        QVERIFY2((status == 0 ? run.out : run.err).contains(message.toUtf8()), run.err.constData());
        QCOMPARE(sim.requests().size(), requests);
    }

    void applyPlan()
    {
        const Run run = cli({"apply", "PLAN", "--password-file", "PW"}, "admin123",
                            "sn,new_ip,password\n# stays where it is\nSN00000003,192.168.1.4\n\nSN00000001,10.0.1.1\n"
                            "SN00000004, 10.0.1.4 ,newpass1\nSN09999999,10.0.1.9\nSN00000002,10.0.1.300\n"
                            "\"SN-ODD\",10.0.1.6,\"wrongpw1\"\n");
        QCOMPARE(run.status, 1);
        QCOMPARE(lines(run.out),
                 QStringList({"LINE SN ADDRESS NEW ADDRESS ROAD RESULT DETAIL",
                              "3 SN00000003 192.168.1.4 192.168.1.4 - skipped already at its new address",
                              "5 SN00000001 192.168.1.2 10.0.1.1 login+netcfg done IP changed successfully,device rebooting.....",
                              "6 SN00000004 192.168.1.5 10.0.1.4 activate+netcfg done IP changed successfully,device rebooting.....",
                              "7 SN09999999 - 10.0.1.9 - failed not found in the search",
                              "8 SN00000002 192.168.1.3 10.0.1.300 - failed Invalid IP: Each part of the IP must be between 0 and 255.",
                              "9 SN-ODD 192.168.1.3 10.0.1.6 login+netcfg failed Password error, login device failed",
                              "2 changed, 1 already at their address, 3 failed"}));
        QCOMPARE(lines(run.err).filter(QRegularExpression("^\\[\\d/6\\] ")).size(), 6); // progress
        QCOMPARE(sim.devices().at(3).password, "newpass1");
    }

    void csv_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("comma") << QStringList{"a,b"} << QByteArray("\"a,b\"\r\n");
        QTest::newRow("quotes") << QStringList{"say \"hi\""} << QByteArray("\"say \"\"hi\"\"\"\r\n");
        QTest::newRow("line breaks") << QStringList{"a\nb", "c\rd"} << QByteArray("\"a\nb\",\"c\rd\"\r\n");
        QTest::newRow("= + - @") << QStringList{"=1", "+1", "-1", "@A1"} << QByteArray("'=1,'+1,'-1,'@A1\r\n");
        QTest::newRow("tab, carriage return") << QStringList{"\tx", "\rx"} << QByteArray("'\tx,\"'\rx\"\r\n");
        QTest::newRow("signs inside") << QStringList{"a=b", "1-2", " =x"} << QByteArray("a=b,1-2, =x\r\n");
        QTest::newRow("UTF-8") << QStringList{"摄像机", "é"} << QByteArray("\xe6\x91\x84\xe5\x83\x8f\xe6\x9c\xba,\xc3\xa9\r\n");
    }

    void csv()
    {
        QFETCH(QStringList, cells);
        QFETCH(QByteArray, line);
        QCOMPARE(csvDocument({cells}), line);
    }

    void windowExport()
    {
        QTranslator chinese; // the menu is made at each request, in the language of the moment
        QVERIFY(chinese.load(":/languages/zh_CN.qm") && QCoreApplication::installTranslator(&chinese));
        ORV_Window window(QString{});
        QVector<SimDevice> fleet; // two pages, the last model a formula
        for (int i = 0; i < 20; ++i)
            fleet << simDevice(QStringLiteral("10.0.0.%1").arg(i), QStringLiteral("SN%1").arg(i));
        fleet.last().model = QStringLiteral("-1+2");
        QVERIFY(deliver(window, deviceArray(fleet)));
        QCOMPARE(window.pageCount(), 2);

        QString error;
        QVERIFY2(exportDevicesCsv(window.devices(), dir.filePath("devices.csv"), &error), qPrintable(error));
        QFile file(dir.filePath("devices.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = file.readAll().split('\n');
        QCOMPARE(rows.size(), 22); // header, 20 devices, and after the last line end
        QCOMPARE(rows.first(), "pid,ip,sn,mac,model,baseModel,active,V\r");
        QCOMPARE(rows.at(20), "0,10.0.0.19,SN19,02:00:00:00:00:19,'-1+2,IPC21,active,6.0.231024\r");
        QVERIFY(!exportDevicesCsv(window.devices(), dir.filePath("missing/devices.csv"), &error));

        auto *table = window.findChild<QTableWidget *>("tableWidget");
        QCOMPARE(table->contextMenuPolicy(), Qt::CustomContextMenu);
        QScopedPointer<QMenu> menu(deviceTableMenu(&window, table, 1));
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({"复制IP", "复制整行", "导出所有设备到CSV…", "修改地址…"}));
        menu->actions().at(0)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), "10.0.0.1");
        menu->actions().at(1)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), "10.0.0.1\tSN1\t02:00:00:00:00:1\tIPC-2120\t6.0.231024\tactive");
    }

private:
    // "PW" and "PLAN" in args name files holding password and plan; without --password-file
    // the password goes by the environment.
    Run cli(QStringList args, const QByteArray &password = {}, const QByteArray &plan = {})
    {
        for (const auto &[name, content] : {std::pair{"PW", password + '\n'}, std::pair{"PLAN", plan}}) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(content);
            args.replaceInStrings(QRegularExpression(QString("^%1$").arg(name)), file.fileName());
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TARNVALE_PASSWORD", args.contains("--password-file") ? QByteArray() : password);
        QProcess process;
        process.setProcessEnvironment(environment);
        if (!args.contains("--interface"))
            args << "--interface=lo";
        process.start(ORV_CLI_PROGRAM, args << "--verbose");
        process.waitForFinished(60000);
        Run run{process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
        for (const char *secret : {"admin123", "newpass1", "wrongpw1"})
            run.status = run.out.contains(secret) || run.err.contains(secret) ? -2 : run.status;
        return run;
    }

    DeviceSimulatorThread sim;
    QTemporaryDir dir;
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
