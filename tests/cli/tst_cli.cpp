// tarnvale-cli as a user runs it (the real program against a simulated fleet on lo), and the
// CSV format it shares with the window's export.

#include "commissioning/devicecsv.h"
#include "commissioning/report.h"
#include "tests/common/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Run { int status; QByteArray out, err; }; // status -2: a password showed in the output

QStringList lines(const QByteArray &text)
{
    QStringList result = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    for (QString &line : result)
        line = line.simplified();
    return result;
}

// The kernel throws a stop signal away when it reaches a process group that no parent in
// the session watches over (as under a runner that started a session of its own): the
// program gets a group of its own below this test, so that Ctrl-Z stops it wherever the
// test runs.
class GroupOfItsOwn : public QProcess
{
protected:
    void setupChildProcess() override { setpgid(0, 0); }
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // SN00000003 and SN00000004 are not activated, and SN00000003 does not accept a new
        // address; SN00000005 answers "ok" but keeps its address; SN-ODD shares SN00000002's
        // address and has an odd, long model.
        QVector<SimDevice> devices = DeviceSimulator::makeFleet(5);
        devices[2].password.clear();
        devices[2].activeState = "inactive";
        devices[2].overrides.insert("netcfg", {SimDevice::Override::Data, R"({"calldata":{"netcfg":"error"}})"});
        devices[4].model = "NVR-1600";
        devices[4].fault = SimDevice::Fault::KeepsAddress;
        devices << devices.at(1);
        devices.last().sn = "SN-ODD";
        devices.last().model = "=HYPERLINK(\"x\"),\nFAKE" + QString(30, 'm');
        QVERIFY(sim.start(devices, simOptions())); // stops the previous one
    }

    void listFormats()
    {
        const Run table = cli({"list", "--all-replies"}); // a no-op kept for older scripts
        QCOMPARE(table.status, 0);
        // The line break in the odd model is shown escaped (no line is forged), the model cut.
        QCOMPARE(lines(table.out),
                 QStringList({"IP SN MAC MODEL VERSION ACTIVE AT IP",
                              "192.168.1.2 SN00000001 02:54:56:00:00:00 IPC-2120 6.0.231024 active 1",
                              "192.168.1.3 SN-ODD 02:54:56:00:00:01 =HYPERLINK(\"x\"),\\x0aFAKEmmmmmmmmmmmmmmm… 6.1.250110 active 2",
                              "192.168.1.3 SN00000002 02:54:56:00:00:01 IPC-3140 6.1.250110 active 2",
                              "192.168.1.4 SN00000003 02:54:56:00:00:02 NVR-0800 5.8.230415 inactive 1",
                              "192.168.1.5 SN00000004 02:54:56:00:00:03 IPC-2120 6.0.240514 inactive 1",
                              "192.168.1.6 SN00000005 02:54:56:00:00:04 NVR-1600 6.0.240101 active 1"}));
        QVERIFY(table.err.contains("6 devices on lo, 2 of them share an address with another"));

        const Run csv = cli({"list", "--format", "csv"});
        QCOMPARE(csv.status, 0);
        QVERIFY(csv.out.startsWith("pid,ip,sn,mac,model,baseModel,active,V,devicesAtIp\r\n0,192.168.1.2,SN00000001,"));
        QVERIFY(csv.out.contains("\n0,192.168.1.3,SN-ODD,02:54:56:00:00:01,\"'=HYPERLINK(\"\"x\"\"),\nFAKE"
                                 + QByteArray(30, 'm') + "\",IPC31,active,6.1.250110,2\r\n"));
        QCOMPARE(csv.out.count("\r\n"), 7);

        // Every device, also those that share an address.
        const Run json = cli({"list", "--format", "json"});
        QCOMPARE(json.status, 0);
        QStringList serials;
        for (const QJsonValue &device : QJsonDocument::fromJson(json.out).array())
            serials << device["sn"].toString() + QString::number(device["devicesAtIp"].toInt());
        QCOMPARE(serials, QStringList({"SN000000011", "SN-ODD2", "SN000000022", "SN000000031", "SN000000041", "SN000000051"}));
    }

    // Each search waits for its replies, so list's failures run as a ctest entry of their own.
    void listFailures_data()
    {
        addStatusColumns();
        // A network of its own, without devices.
        const QString alone = R"(unshare --net sh -c 'ip link set lo up && exec "$0" "$@"' "$@")";
        // A program named as the window that holds the port as the window does (shared).
        const QString window = R"(d=$(mktemp -d) && cp /usr/bin/perl $d/tarnvale-manager && { $d/tarnvale-manager -MSocket -e )"
                               R"('socket(S, PF_INET, SOCK_DGRAM, 0); setsockopt(S, SOL_SOCKET, SO_REUSEADDR, 1); )"
                               R"(bind(S, sockaddr_in(10088, INADDR_ANY)) or die; $| = 1; print "held\n"; sleep 30' >$d/held & } && )"
                               R"(until [ -s $d/held ]; do sleep 0.05; done; "$@"; s=$?; kill $!; rm -r $d; exit $s)";
        const QString noIpv4 = R"(ip link add va type veth peer name vb 2>/dev/null; ip link set va up && ip link set vb up && exec "$@")";
        // clang-format off
        QTest::newRow("without any reply") << QStringList{"list"} << no << no << alone << 5 << "no device answered the search on lo" << 0;
        QTest::newRow("unknown interface") << QStringList{"list", "--interface", "eth9"} << no << no << direct << 3 << "unknown interface \"eth9\" (known: lo)" << 0;
        QTest::newRow("card without IPv4") << QStringList{"list", "--interface", "va"} << no << no << noIpv4 << 3 << "The network card \"va\" has no IPv4 address, so nothing was sent." << 0;
        QTest::newRow("no default card") << QStringList{"list", "(default card)"} << no << no << noIpv4 << 3 << "no network interface is up, running and able to multicast with an IPv4 address; name one with --interface (known: lo, vb, va)" << 0;
        QTest::newRow("port held by the window") << QStringList{"list"} << no << no << window << 4 << "UDP port 10088 is in use by another program, so the replies of the devices cannot be received. Close that program and search again. It is held by tarnvale-manager (the window), process " << 0;
        QTest::newRow("standard output closed") << QStringList{"list"} << no << no << R"(exec "$@" >&-)" << 12 << "tarnvale-cli: standard output is closed\n" << 0;
        QTest::newRow("to a full disk") << QStringList{"list"} << no << no << R"(exec "$@" >/dev/full)" << 12 << "tarnvale-cli: cannot write to standard output: No space left on device\n" << 1;
        // clang-format on
    }

    void listFailures() { exitStatus(); }

    // Refused by a search that fails at once, or with no standard error to say why (the
    // refusals before the search: tst_clirules' commands).
    void exitStatus_data()
    {
        addStatusColumns();
        // A network of its own whose firewall refuses the requests.
        const QString refused = "unshare --net sh -c 'ip link set lo up && nft \"add table ip t; "
                                "add chain ip t o { type filter hook output priority 0; }; "
                                "add rule ip t o udp dport 10086 drop\" && exec \"$0\" \"$@\"' \"$@\"";
        // clang-format off
        QTest::newRow("request refused by a firewall") << QStringList{"set-ip", "SN00000002", "10.0.0.2"} << QByteArray("admin123") << no << refused << 4 << "Network unreachable" << 0;
        QTest::newRow("password too short, standard error full") << QStringList{"set-ip", "SN00000002", "10.0.0.2"} << QByteArray("admin") << no << R"(exec "$@" 2>/dev/full)" << 12 << "" << 0;
        // clang-format on
    }

    void exitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, plan);
        QFETCH(QString, shell);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, requests);

        const Run run = cli(args, password, plan, shell);
        QCOMPARE(run.status, status);
        QVERIFY2((run.out + run.err).contains(message.toUtf8()), run.err.constData());
        QCOMPARE(sim.requests().size(), requests);
    }

    // set-ip and activate search first, then change and verify: requests are the search, the
    // login or activation, "netcfg" and a verification round. A dry run sends only the search.
    void searchFirst_data()
    {
        addStatusColumns();
        const QString done = "IP changed successfully,device rebooting.....";
        // clang-format off
        QTest::newRow("set-ip, password file from standard input, CR LF") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password-file", "-"} << QByteArray("admin123\r") << no << direct << 0 << done + " 10.0.0.2 lies outside every IPv4 subnet of lo: its web page will need a route. (verified)" << 4;
        QTest::newRow("password refused, file others can read") << QStringList{"set-ip", "SN00000002", "10.0.0.2", "--password-file", "PW644"} << QByteArray("wrongpw1") << no << direct << 6 << "warning: the password file " << 2;
        QTest::newRow("address refused by the device") << QStringList{"activate", "SN00000003", "10.0.0.3"} << QByteArray("newpass1") << no << direct << 7 << "SN00000003: Activated (its password is set now), but the address was not changed: Device did not accept IP change." << 3;
        QTest::newRow("not activated") << QStringList{"set-ip", "SN00000004", "10.0.0.4"} << QByteArray("admin123") << no << direct << 8 << "device is not activated" << 2;
        QTest::newRow("conflict: nothing sent") << QStringList{"set-ip", "SN00000001", "192.168.1.4"} << QByteArray("admin123") << no << direct << 7 << "SN00000001: 192.168.1.4 is in use by SN00000003 (02:54:56:00:00:02)." << 1;
        QTest::newRow("dry run of a plan from standard input") << QStringList{"apply", "-", "--dry-run"} << no << QByteArray("SN00000001,10.0.1.1\nSN00000004,10.0.1.4\n") << direct << 0 << "Would activate, then change the address." << 1;
        QTest::newRow("keeps its address") << QStringList{"set-ip", "SN00000005", "10.0.0.5", "--verify-timeout", "1"} << QByteArray("admin123") << no << direct << 10 << "SN00000005: " + done + " 10.0.0.5 lies outside every IPv4 subnet of lo: its web page will need a route. (kept old address)" << 5;
        // clang-format on
    }

    void searchFirst() { exitStatus(); }

    // Replies that a full receive buffer dropped: an incomplete search is not acted on with --strict.
    void droppedReplies()
    {
        DeviceSimulator::Options options;
        options.flood.kind = DeviceSimulator::Options::Flood::Forged;
        options.flood.on = "search";
        options.flood.count = 60000;
        QVERIFY(sim.start(DeviceSimulator::makeFleet(2), options));
        const Run run = cli({"apply", "-", "--strict"}, "admin123", "SN00000001,10.0.1.1\n");
        if (!run.err.contains("warning: Replies lost during the search: "))
            QSKIP("this system's receive buffer held the whole flood");
        QCOMPARE(run.status, 13);
        QCOMPARE(sim.requests().size(), 1);
    }

    // Every kind of row of a plan, the shared address changed by serial number.
    void applyPlan()
    {
        const Run run = cli({"apply", "PLAN", "--password-file", "PW", "--wide"}, "admin123",
                            "sn,new_ip,password\n# stays where it is\nSN00000003,192.168.1.4\n\nSN00000001,10.0.1.1\n"
                            "SN00000004, 10.0.1.4 ,newpass1\nSN09999999-a-serial-number-longer-than-40,10.0.1.9\n"
                            "SN00000002,192.168.1.6\n\"SN-ODD\",10.0.1.6\nSN00000005,10.0.1.300\n");
        QCOMPARE(run.status, 1);
        const QString outside = " lies outside every IPv4 subnet of lo: its web page will need a route.";
        const QString done = "verified IP changed successfully,device rebooting..... 10.0.1.";
        QCOMPARE(lines(run.out),
                 QStringList({"LINE SN ADDRESS NEW ADDRESS ROAD RESULT VERIFICATION DETAIL",
                              "3 SN00000003 192.168.1.4 192.168.1.4 - skipped - Already at its new address.",
                              "5 SN00000001 192.168.1.2 10.0.1.1 login+netcfg done " + done + "1" + outside,
                              "6 SN00000004 192.168.1.5 10.0.1.4 activate+netcfg done " + done + "4" + outside,
                              "7 SN09999999-a-serial-number-longer-than-40 - 10.0.1.9 - failed - SN09999999-a-serial-number-longer-than-40 was not found in the search.",
                              "8 SN00000002 192.168.1.3 192.168.1.6 - conflict - 192.168.1.6 is in use by SN00000005 (02:54:56:00:00:04).",
                              "9 SN-ODD 192.168.1.3 10.0.1.6 login+netcfg done " + done + "6" + outside,
                              "10 SN00000005 192.168.1.6 10.0.1.300 - failed - Each part of the IP must be between 0 and 255.",
                              "3 changed, 1 already at their address, 2 failed, 1 refused as conflicts"}));
        QCOMPARE(lines(run.err).filter(QRegularExpression("^\\[\\d/3\\] ")).size(), 3); // progress
        QVERIFY(run.err.contains("verification round 1: 3 of 3 at their new address"));
        QCOMPARE(sim.devices().at(3).password, "newpass1");
        QCOMPARE(sim.devices().at(1).ip, "192.168.1.3"); // SN00000002 stays where SN-ODD was
    }

    // plan, then apply of its output (with a report), then undo of the report.
    void planApplyUndo()
    {
        const auto addresses = [this] {
            QStringList found;
            for (const SimDevice &device : sim.devices())
                found << device.ip;
            return found.join(' ');
        };
        const QString before = addresses();
        const Run plan = cli({"plan", "--from", "192.168.1.5", "--model", "ipc-2", "--order", "sn", "--renumber"});
        QCOMPARE(plan.status, 0);
        QCOMPARE(plan.out, "sn,new_ip\r\nSN00000001,192.168.1.7\r\nSN00000004,192.168.1.8\r\n");

        // A locale with digits of its own writes none of them into the report.
        const Run apply = cli({"apply", "-", "--report", "R.csv"}, "admin123", plan.out, R"(LC_ALL=ar_EG.UTF-8 exec "$@")");
        QCOMPARE(apply.status, 0);
        QCOMPARE(addresses(), "192.168.1.7 192.168.1.3 192.168.1.4 192.168.1.8 192.168.1.6 192.168.1.3");
        const QByteArray written = contents(dir.filePath("R.csv"));
        QCOMPARE(written.count(",verified,"), 2);
        QCOMPARE(QString(written).count(QRegularExpression(",\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d\r\n")), 2);

        // Devices with passwords of their own: each from the file, the others from the variable.
        QVector<SimDevice> devices = sim.devices();
        devices[0].password = "other123";
        QVERIFY(sim.start(devices, simOptions()));
        const Run undo = cli({"undo", "R.csv", "--report", "U.json", "--passwords", "PLAN"}, "admin123", "sn,password\nSN00000001,other123\n");
        QCOMPARE(undo.status, 0);
        QCOMPARE(addresses(), before);
        QVERIFY(QFile::exists(dir.filePath("U.json")));
    }

    // SIGINT and SIGHUP finish the device in hand, write the report and exit 11; SIGKILL
    // leaves the report's log, the device in hand "started". Either way the same command goes
    // on, in the same report, which then holds every device changed.
    void interrupted_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGINT") << "INT" << 11;
        QTest::newRow("SIGHUP") << "HUP" << 11;
        QTest::newRow("SIGKILL") << "KILL" << 128 + SIGKILL;
    }

    void interrupted()
    {
        QFETCH(QString, signal);
        QFETCH(int, status);
        QVector<SimDevice> devices = DeviceSimulator::makeFleet(4);
        for (SimDevice &device : devices)
            device.replyDelayMs = 500; // a device in hand for a second: the signal comes during one
        QVERIFY(sim.start(devices, simOptions()));
        QFile::remove(dir.filePath("R.csv"));
        const QByteArray plan = "SN00000001,10.1.0.1\nSN00000002,10.1.0.2\nSN00000003,10.1.0.3\nSN00000004,10.1.0.4\n";
        const QString interrupt = R"(d=$(mktemp -d); "$@" 2>$d/err & until grep -q '^\[1/4\]' $d/err || ! kill -0 $!; do sleep 0.05; done; )"
                                  R"(kill -)" + signal + R"( $!; wait $!; s=$?; rm -r $d; exit $s)";
        QCOMPARE(cli({"apply", "PLAN", "--report", "R.csv"}, "admin123", plan, interrupt).status, status);
        const QStringList rows = reportRows(dir.filePath("R.csv"), &ReportRow::verification);
        const bool killed = signal == "KILL";
        QCOMPARE(rows.filter(" started").size(), killed ? 1 : 0);
        QVERIFY(rows.filter(" done").size() >= (killed ? 1 : 2));
        QCOMPARE(rows.filter(" not run").size() + rows.filter(" done").size(), killed ? rows.filter(" done").size() : 4);

        QCOMPARE(cli({"apply", "PLAN", "--report", "R.csv"}, "admin123", plan).status, 0);
        QCOMPARE(reportRows(dir.filePath("R.csv"), &ReportRow::verification),
                 QStringList({"SN00000001: done: verified", "SN00000002: done: verified", "SN00000003: done: verified", "SN00000004: done: verified"}));
        for (const SimDevice &device : sim.devices())
            QCOMPARE(device.ip, "10.1.0." + device.sn.right(1));
    }

    // A closed pipe ends no run by a signal: the device in hand is finished, the rest end "not
    // run", the report is whole, and the status says that the output was lost.
    void closedPipe()
    {
        QVector<SimDevice> devices = DeviceSimulator::makeFleet(4);
        for (SimDevice &device : devices)
            device.replyDelayMs = 500; // the reader is gone before the third line
        QVERIFY(sim.start(devices, simOptions()));
        const QString head = R"(d=$(mktemp -d); mkfifo $d/p; head -n 2 $d/p >/dev/null & "$@" >$d/p 2>&1; s=$?; rm -r $d; exit $s)";
        const QByteArray plan = "SN00000001,10.1.0.1\nSN00000002,10.1.0.2\nSN00000003,10.1.0.3\nSN00000004,10.1.0.4\n";
        QCOMPARE(cli({"apply", "PLAN", "--report", "R.csv", "(not verbose)"}, "admin123", plan, head).status, 12);
        QCOMPARE(reportRows(dir.filePath("R.csv"), &ReportRow::verification),
                 QStringList({"SN00000001: done: ", "SN00000002: done: ", "SN00000003: done: ", "SN00000004: not run: "}));
        // Nor a listing whose reader went away: it says so, with the same status.
        const QString gone = R"(d=$(mktemp -d); mkfifo $d/p; head -n 0 $d/p & "$@" >$d/p; s=$?; rm -r $d; exit $s)";
        const Run listed = cli({"list", "(not verbose)"}, {}, {}, gone);
        QCOMPARE(listed.status, 12);
        QVERIFY2(listed.err.contains("cannot write to standard output"), listed.err.constData());
    }

    // One whole round after the deadline and after a stop: a device that restarts for longer
    // than the deadline, or a run stopped (Ctrl-Z) during its last round and continued once
    // the device is back, still finds the device.
    void verifyAfterRestart_data()
    {
        QTest::addColumn<int>("restartMs");
        QTest::addColumn<QString>("shell");
        QTest::newRow("deadline shorter than the restart") << 2000 << QString();
        QTest::newRow("stopped in the last round") << 8000 << QString(R"(d=$(mktemp -d); "$@" 2>$d/err & until grep -q '^verification round 1' $d/err || ! kill -0 $!; do sleep 0.05; done; )"
                                                                        R"(kill -STOP $!; sleep 4; kill -CONT $!; wait $!; s=$?; rm -r $d; exit $s)");
    }

    void verifyAfterRestart()
    {
        QFETCH(int, restartMs);
        QFETCH(QString, shell);
        DeviceSimulator::Options options;
        options.restartMs = restartMs;
        QVERIFY(sim.start(DeviceSimulator::makeFleet(2), options));
        const Run run = cli({"set-ip", "SN00000002", "10.0.0.2", "--verify-timeout", "1"}, "admin123", no, shell);
        QVERIFY2(run.out.endsWith("(verified)\n"), run.err.constData());
        QCOMPARE(run.status, 0);
    }

    // What plan writes, apply takes unchanged: serial numbers that look like comments,
    // formulas or blanks, and a card with two addresses of its own in the range.
    void planRoundTrip()
    {
        QVector<SimDevice> devices = DeviceSimulator::makeFleet(7);
        const QStringList serials = {"#A", "-B", "+C", "=D", "@E", " F", "G "};
        for (int i = 0; i < devices.size(); ++i)
            devices[i].sn = serials.at(i);
        QVERIFY(sim.start(devices, simOptions()));
        // Without the prefix route: on lo it would make every address of the /24 local, a host. A
        // firewall that drops port 80 hides the card's own addresses from the probe.
        QVERIFY(runShell("ip addr add 192.168.1.100/24 dev lo noprefixroute && ip addr add 192.168.1.101/24 dev lo noprefixroute"
                         " && nft 'add table ip t; add chain ip t i { type filter hook input priority 0; }; add rule ip t i tcp dport 80 drop'"));
        const Run plan = cli({"plan", "--from", "192.168.1.100", "--order", "sn", "--renumber"});
        QCOMPARE(plan.status, 0);
        QCOMPARE(plan.out, "sn,new_ip\r\n\" F\",192.168.1.102\r\n\"#A\",192.168.1.103\r\n'+C,192.168.1.104\r\n"
                           "'-B,192.168.1.105\r\n'=D,192.168.1.106\r\n'@E,192.168.1.107\r\n\"G \",192.168.1.108\r\n");
        const Run apply = cli({"apply", "-", "--no-verify"}, "admin123", plan.out);
        QVERIFY(runShell("ip addr flush dev lo to 192.168.1.0/24 && nft delete table ip t"));
        QCOMPARE(apply.status, 0);
        QCOMPARE(lines(apply.out).last(), "7 changed, 0 already at their address, 0 failed, 0 refused as conflicts");
    }

    // Whatever ends or stops the password prompt gives the terminal its echo back; a crash
    // while the password is held writes no core file.
    void passwordPrompt_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGQUIT") << SIGQUIT;
        QTest::newRow("SIGTSTP, SIGCONT, the password (--password-file -)") << SIGTSTP;
    }

    void passwordPrompt()
    {
        QFETCH(int, signal);
        int terminal = -1;
        int program = -1;
        char name[256] = {};
        QVERIFY(openpty(&terminal, &program, name, nullptr, nullptr) == 0);
        const QScopeGuard closing([=] { ::close(terminal), ::close(program); });
        const auto echoing = [program] {
            termios mode {};
            return tcgetattr(program, &mode) == 0 && (mode.c_lflag & ECHO);
        };
        GroupOfItsOwn process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("TARNVALE_PASSWORD");
        process.setProcessEnvironment(environment);
        process.setStandardInputFile(QString::fromLocal8Bit(name));
        process.start(ORV_CLI_PROGRAM, QStringList{"set-ip", "SN00000002", "10.0.0.2", "--interface=lo"}
                                           + (signal == SIGTSTP ? QStringList{"--password-file", "-"} : QStringList{}));
        QTRY_VERIFY(!echoing());
        QFile limits(QString("/proc/%1/limits").arg(process.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        QVERIFY(QString(limits.readAll()).contains(QRegularExpression("Max core file size +0 +0 ")));

        ::kill(pid_t(process.processId()), signal);
        if (signal == SIGTSTP) {
            const auto stopped = [&process] {
                QFile stat(QString("/proc/%1/stat").arg(process.processId()));
                return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") T ");
            };
            QTRY_VERIFY(stopped());
            QVERIFY(echoing());
            ::kill(pid_t(process.processId()), SIGCONT);
            QTRY_VERIFY(!echoing());
            QCOMPARE(::write(terminal, "admin123\n", 9), 9);
        }
        QVERIFY(process.waitForFinished(60000)); // Ctrl-Z's run searches and verifies: seconds under load
        QCOMPARE(process.exitStatus(), signal == SIGTSTP ? QProcess::NormalExit : QProcess::CrashExit);
        QCOMPARE(process.exitCode(), signal == SIGTSTP ? 0 : signal);
        QVERIFY(echoing());
        QCOMPARE(sim.requests().size(), signal == SIGTSTP ? 4 : 0);
    }

    void csv_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("quotes") << QStringList{"say \"hi\""} << QByteArray("\"say \"\"hi\"\"\"\r\n");
        QTest::newRow("line breaks") << QStringList{"a\nb", "c\rd"} << QByteArray("\"a\nb\",\"c\rd\"\r\n");
        QTest::newRow("tab, carriage return") << QStringList{"\tx", "\rx"} << QByteArray("'\tx,\"'\rx\"\r\n");
        QTest::newRow("signs inside, a blank kept") << QStringList{"a=b", "1-2", " =x"} << QByteArray("a=b,1-2,\" =x\"\r\n");
        QTest::newRow("comment sign, a guard guarded") << QStringList{"#A", "'=B", "C#"} << QByteArray("\"#A\",''=B,C#\r\n");
        QTest::newRow("UTF-8") << QStringList{"摄像机", "é"} << QByteArray("\xe6\x91\x84\xe5\x83\x8f\xe6\x9c\xba,\xc3\xa9\r\n");
    }

    void csv()
    {
        QFETCH(QStringList, cells);
        QFETCH(QByteArray, line);
        QCOMPARE(csvDocument({cells}), line);
    }

private:
    static DeviceSimulator::Options simOptions()
    {
        DeviceSimulator::Options options;
        options.restartMs = 0;
        return options;
    }

    static void addStatusColumns()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("plan");
        QTest::addColumn<QString>("shell"); // runs the program as "$@"
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests"); // that reached the devices
    }

    // "PW" (for its owner only), "PW644" (others can read it) and "PLAN" in args name files
    // holding password and plan; "-" sends the plan, or else the password, to standard
    // input. Without a password file the password goes by the environment. A shell command
    // runs the program as "$@". It runs with --verbose but for "(not verbose)" in args.
    Run cli(QStringList args, const QByteArray &password = {}, const QByteArray &plan = {}, const QString &shell = {})
    {
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
        for (const auto &[name, content, permissions] :
             {std::tuple{"PW", password + '\n', ownerOnly}, std::tuple{"PW644", password + '\n', ownerOnly | QFile::ReadGroup | QFile::ReadOther},
              std::tuple{"PLAN", plan, ownerOnly}, std::tuple{"PLAN.csv", plan, ownerOnly}}) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write(content);
            file.setPermissions(permissions);
            args.replaceInStrings(QRegularExpression(QString("^%1$").arg(name)), file.fileName());
        }
        args.replaceInStrings(QRegularExpression("^([A-Z]\\.(csv|json))$"), dir.path() + "/\\1"); // reports
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TARNVALE_PASSWORD", args.contains("--password-file") ? QByteArray() : password);
        QProcess process;
        process.setProcessEnvironment(environment);
        if (!args.removeOne("(default card)") && !args.contains("--interface"))
            args << "--interface=lo";
        if (!args.removeOne("(not verbose)"))
            args << "--verbose";
        if (shell.isEmpty())
            process.start(ORV_CLI_PROGRAM, args);
        else
            process.start("sh", QStringList{"-c", shell, "sh", ORV_CLI_PROGRAM} + args);
        if (args.contains("-"))
            process.write(plan.isEmpty() ? password + '\n' : plan);
        process.closeWriteChannel();
        process.waitForFinished(60000);
        Run run{process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
        for (const char *secret : {"admin123", "newpass1", "wrongpw1"})
            run.status = run.out.contains(secret) || run.err.contains(secret) ? -2 : run.status;
        return run;
    }

    static inline const QByteArray no; // no password, no plan
    static inline const QString direct; // no shell around the program
    DeviceSimulatorThread sim;
    QTemporaryDir dir;
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
