// tarnvale-cli as a user runs it: the real program against a simulated fleet on lo.

#include "devicesim.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

const QStringList kPasswords = {"admin123", "newpass1", "wrongpw1"};

// Four devices (the fourth not yet activated) and one more that shares the second one's
// address and reports a model that is a formula, has a comma, quotes and a line break.
QVector<SimDevice> fleet()
{
    QVector<SimDevice> devices = DeviceSimulator::makeFleet(4);
    SimDevice odd = devices.at(1);
    odd.sn = "SN-ODD";
    odd.model = "=HYPERLINK(\"x\"),\nFAKE";
    return devices << odd;
}

QString ipOf(const QVector<SimDevice> &devices, const QString &sn)
{
    for (const SimDevice &device : devices) {
        if (device.sn == sn)
            return device.ip;
    }
    return QString();
}

QStringList simplifiedLines(const QByteArray &text)
{
    QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.simplified();
    return lines;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        DeviceSimulator::Options options;
        options.restartMs = 0;
        QString error;
        QVERIFY2(sim.start(fleet(), options, &error), qPrintable(error));
    }
    void cleanup() { sim.stop(); }

    void listFormats();
    void exitStatus_data();
    void exitStatus();
    void applyPlan();
    void dryRunSendsOnlyTheSearch();

private:
    // "PW" and "PLAN" in args stand for files holding password and plan. Without
    // --password-file the password goes by the environment. Nothing printed may hold a password.
    Run cli(QStringList args, const QByteArray &password = {}, const QByteArray &plan = {})
    {
        QFile passwordFile(dir.filePath("pw"));
        QFile planFile(dir.filePath("plan.csv"));
        if (passwordFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            passwordFile.write(password + "\n");
        if (planFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            planFile.write(plan);
        passwordFile.close();
        planFile.close();
        args.replaceInStrings(QRegularExpression("^PW$"), passwordFile.fileName());
        args.replaceInStrings(QRegularExpression("^PLAN$"), planFile.fileName());
        if (!args.contains("--interface"))
            args << "--interface" << "lo";

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("TARNVALE_PASSWORD");
        if (!args.contains("--password-file") && !password.isEmpty())
            environment.insert("TARNVALE_PASSWORD", QString::fromUtf8(password));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(ORV_CLI_PROGRAM, args << "--verbose");
        Run run;
        if (!process.waitForFinished(60000))
            return run;
        run = {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
        for (const QString &secret : kPasswords) {
            if (run.out.contains(secret.toUtf8()) || run.err.contains(secret.toUtf8()))
                run.status = -2; // a password leaked
        }
        return run;
    }

    DeviceSimulatorThread sim;
    QTemporaryDir dir;
};

void TestCli::listFormats()
{
    const Run table = cli({"list", "--all-replies"});
    QCOMPARE(table.status, 0);
    // The line break in the odd model is shown escaped: no line is forged.
    QCOMPARE(simplifiedLines(table.out),
             QStringList({"IP SN MAC MODEL VERSION ACTIVE SHARED",
                          "192.168.1.2 SN00000001 02:54:56:00:00:00 IPC-2120 6.0.231024 active",
                          "192.168.1.3 SN-ODD 02:54:56:00:00:01 =HYPERLINK(\"x\"),\\x0aFAKE 6.1.250110 active x2",
                          "192.168.1.3 SN00000002 02:54:56:00:00:01 IPC-3140 6.1.250110 active x2",
                          "192.168.1.4 SN00000003 02:54:56:00:00:02 NVR-0800 5.8.230415 active",
                          "192.168.1.5 SN00000004 02:54:56:00:00:03 IPC-2120 6.0.240514 inactive"}));

    const Run csv = cli({"list", "--format", "csv", "--all-replies"});
    QCOMPARE(csv.status, 0);
    QVERIFY(csv.out.startsWith("pid,ip,sn,mac,model,baseModel,active,V\r\n0,192.168.1.2,SN00000001,"));
    QVERIFY(csv.out.contains("\r\n0,192.168.1.3,SN-ODD,02:54:56:00:00:01,\"'=HYPERLINK(\"\"x\"\"),\nFAKE\","
                             "IPC31,active,6.1.250110\r\n"));
    QCOMPARE(csv.out.count("\r\n"), 6);

    // The window's rule: the first reply of each address.
    const Run json = cli({"list", "--format", "json"});
    QCOMPARE(json.status, 0);
    QStringList serials;
    for (const QJsonValue &device : QJsonDocument::fromJson(json.out).array())
        serials << device.toObject().value("sn").toString();
    QCOMPARE(serials, QStringList({"SN00000001", "SN00000002", "SN00000003", "SN00000004"}));
    QCOMPARE(QJsonDocument::fromJson(json.out).array().at(3).toObject().keys().size(), 8);
}

void TestCli::exitStatus_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("plan");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("ipAfter"); // of the command's device, or of SN00000002

    const QByteArray none;
    const QString changed = "IP changed successfully,device rebooting.....";
    // clang-format off
    QTest::newRow("set-ip") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password-file", "PW"} << QByteArray("admin123") << none << 0 << changed << "10.0.0.2";
    QTest::newRow("activate, password by environment") << QStringList{"activate", "SN00000004", "10.0.0.4"} << QByteArray("newpass1") << none << 0 << changed << "10.0.0.4";
    QTest::newRow("password refused") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password-file", "PW"} << QByteArray("wrongpw1") << none << 6 << "Password error, login device failed" << "192.168.1.3";
    QTest::newRow("address refused") << QStringList{"set-ip", "SN00000002", "10.0.0.255"} << QByteArray("admin123") << none << 7 << "Invalid IP Address: Please enter a valid IPv4 address." << "192.168.1.3";
    QTest::newRow("not activated") << QStringList{"set-ip", "SN00000004", "10.0.0.4"} << QByteArray("admin123") << none << 8 << "device is not activated" << "192.168.1.5";
    QTest::newRow("already activated") << QStringList{"activate", "SN00000002", "10.0.0.2"} << QByteArray("newpass1") << none << 8 << "device is already actived" << "192.168.1.3";
    QTest::newRow("no reply") << QStringList{"set-ip", "SN09999999", "10.0.0.9"} << QByteArray("admin123") << none << 5 << "device not open (Timeout,Please try again!)" << QString();
    QTest::newRow("password too short") << QStringList{"set-ip", "SN00000002", "10.0.0.2"} << QByteArray("admin") << none << 2 << "Password too short (min 6 chars)" << "192.168.1.3";
    QTest::newRow("password as argument") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password", "admin123"} << none << none << 2 << "Passwords are not taken as arguments" << "192.168.1.3";
    QTest::newRow("option of another command") << QStringList{"list", "--dry-run"} << none << none << 2 << "--dry-run is not an option of list" << "192.168.1.3";
    QTest::newRow("unknown interface") << QStringList{"list", "--interface", "eth9"} << none << none << 3 << "unknown interface \"eth9\" (known: lo)" << "192.168.1.3";
    QTest::newRow("port in use") << QStringList{"list"} << none << none << 4 << "UDP port 10088 is in use" << "192.168.1.3";
    QTest::newRow("plan unreadable") << QStringList{"apply", "/nonexistent/plan.csv"} << none << none << 9 << "cannot read the plan /nonexistent/plan.csv" << "192.168.1.3";
    QTest::newRow("plan with open quote") << QStringList{"apply", "PLAN"} << QByteArray("admin123") << QByteArray("sn,new_ip\nSN00000002,10.0.0.2\nSN00000001,\"10.0.0.1\n") << 9 << "plan.csv:3: a quoted cell is not closed" << "192.168.1.3";
    QTest::newRow("plan with address twice") << QStringList{"apply", "PLAN"} << QByteArray("admin123") << QByteArray("SN00000002,10.0.0.2\r\nSN00000001,10.0.0.2\r\n") << 9 << "plan.csv:2: address 10.0.0.2 is already planned on line 1" << "192.168.1.3";
    // clang-format on
}

void TestCli::exitStatus()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, plan);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QString, ipAfter);

    QUdpSocket portHolder; // without address sharing, so that the program cannot bind as well
    if (QTest::currentDataTag() == QByteArray("port in use"))
        QVERIFY(portHolder.bind(QHostAddress::AnyIPv4, 10088, QUdpSocket::DontShareAddress));
    const Run run = cli(args, password, plan);
    QCOMPARE(run.status, status);
    QVERIFY2((status == 0 ? run.out : run.err).contains(message.toUtf8()), run.err.constData());
    const QString sn = args.value(1).startsWith("SN") ? args.value(1) : "SN00000002";
    QCOMPARE(ipOf(sim.devices(), sn), ipAfter);
}

void TestCli::applyPlan()
{
    const Run run = cli({"apply", "PLAN", "--password-file", "PW"}, "admin123",
                        "sn,new_ip,password\n"
                        "# stays where it is\n"
                        "SN00000003,192.168.1.4\n"
                        "\n"
                        "SN00000001,10.0.1.1\n"
                        "SN00000004, 10.0.1.4 ,newpass1\n"
                        "SN09999999,10.0.1.9\n"
                        "SN00000002,10.0.1.300\n"
                        "\"SN-ODD\",10.0.1.6,\"wrongpw1\"\n");
    QCOMPARE(run.status, 1);
    QCOMPARE(simplifiedLines(run.out),
             QStringList({"LINE SN ADDRESS NEW ADDRESS ROAD RESULT DETAIL",
                          "3 SN00000003 192.168.1.4 192.168.1.4 - skipped already at its new address",
                          "5 SN00000001 192.168.1.2 10.0.1.1 login+netcfg done IP changed successfully,device rebooting.....",
                          "6 SN00000004 192.168.1.5 10.0.1.4 activate+netcfg done IP changed successfully,device rebooting.....",
                          "7 SN09999999 - 10.0.1.9 - failed not found in the search",
                          "8 SN00000002 192.168.1.3 10.0.1.300 - failed Invalid IP: Each part of the IP must be between 0 and 255.",
                          "9 SN-ODD 192.168.1.3 10.0.1.6 login+netcfg failed Password error, login device failed",
                          "2 changed, 1 already at their address, 3 failed"}));
    QCOMPARE(simplifiedLines(run.err).filter(QRegularExpression("^\\[\\d/6\\] ")).size(), 6); // progress
    QCOMPARE(ipOf(sim.devices(), "SN00000001"), "10.0.1.1");
    QCOMPARE(sim.devices().at(3).password, "newpass1");
}

void TestCli::dryRunSendsOnlyTheSearch()
{
    const Run run = cli({"apply", "PLAN", "--dry-run"}, {}, "SN00000001,10.0.1.1\nSN00000004,10.0.1.4\n");
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.contains("would log in, then change the address"));
    QVERIFY(run.out.contains("would activate, then change the address"));
    QCOMPARE(sim.requests().size(), 1);
    QVERIFY(sim.requests().at(0).contains("\"callcmd\":\"search\""));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
