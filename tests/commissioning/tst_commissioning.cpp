// Safe commissioning without a user interface: the verdicts on a plan and its order, the plan
// generator, the verification outcome, the neighbour table, the report and its reverse plan,
// a probe on lo, and one run against simulated devices.

#include "commissioning/batchrun.h"
#include "commissioning/hostprobe.h"
#include "commissioning/report.h"
#include "tests/common/testcore.h"

#include <QTcpServer>
#include <QTemporaryDir>

// Under Wine (tests/windows/check-wine) the functions that need Linux's own calls are left out.
#ifndef Q_OS_WIN
#include <csignal>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

Q_DECLARE_METATYPE(PlanOrder)
Q_DECLARE_METATYPE(ActiveFilter)
Q_DECLARE_METATYPE(ReportFormat)

namespace {

// "ip sn [mac [active [model]]]" each.
QVector<FoundDevice> fleet(const QStringList &entries)
{
    QVector<FoundDevice> devices;
    for (const QString &entry : entries) {
        const QStringList f = entry.split(' ');
        devices.append({f.at(0), f.at(1), f.value(2, "mac-" + f.at(1)), f.value(4, "IPC-2120"), f.value(3, "active")});
    }
    return devices;
}

// "sn ip" each, lines from 2 as under a header.
QVector<PlanRow> planOf(const QStringList &entries)
{
    QVector<PlanRow> plan;
    for (const QString &entry : entries)
        plan.append({plan.size() + 2, entry.section(' ', 0, 0), entry.section(' ', 1), QString()});
    return plan;
}

const QStringList kSite = {"192.168.1.2 SN1", "192.168.1.3 SN2", "192.168.1.3 SN3", "192.168.1.5 SN4",
                           "192.168.1.6 SN5 mac-SN5 inactive", "192.168.1.7 SN6", "192.168.1.8 SN6"};
const QVector<Ipv4Subnet> kCard = {{Ipv4(0xC0A80100), 24}};

const QString kRing = "Lines %1 take each other's addresses. Swaps are refused: move one of these devices to a free "
                      "address first.";

ReportRow reportRow(int line, const QString &sn, const QString &result, const QString &verification = {})
{
    const QString n = QString::number(line);
    return {line, sn, "02:00:00:00:00:0" + n, "=cmd|' /C calc'!A0", "192.168.1." + n, "10.0.0." + n, "login+netcfg",
            result, "IP changed successfully,device rebooting.....", verification, "2024-05-01T14:03:07+02:00"};
}

} // namespace

class TestCommissioning : public QObject
{
    Q_OBJECT

private slots:
    // The value type: a text's shape, the number printed back, the order, a subnet.
    void addresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // shape, then the address printed back when it is one
        // clang-format off
        QTest::newRow("plain") << "192.168.1.20" << "plain 192.168.1.20 in 192.168.0.0/23";
        QTest::newRow("leading zero") << "192.168.01.20" << "leading zero";
        QTest::newRow("five parts") << "1.2.3.4.5" << "not four parts";
        QTest::newRow("empty part") << "1..3.4" << "out of range";
        QTest::newRow("256") << "1.2.3.256" << "out of range";
        QTest::newRow("sign") << "+1.2.3.4" << "out of range";
        QTest::newRow("blank") << "1.2.3.4 " << "out of range";
        QTest::newRow("non-ASCII digit") << "1.2.3.\u0664" << "out of range";
        QTest::newRow("outside the subnet") << "192.168.2.0" << "plain 192.168.2.0";
        // clang-format on
    }

    void addresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        Ipv4 address;
        const QByteArray bytes = text.toUtf8();
        const DottedQuadShape shape = Ipv4::shapeOf(std::string_view(bytes.constData(), std::size_t(bytes.size())), &address);
        QString shown = QStringList{"plain", "not four parts", "out of range", "leading zero"}.at(int(shape));
        if (const std::optional<Ipv4> plain = Ipv4::fromText(text)) {
            const Ipv4Subnet subnet{*Ipv4::fromText(QString("192.168.1.7")), 23};
            shown += " " + plain->toString() + (subnet.contains(*plain) ? " in " + subnet.network().toString() + "/23" : "");
        }
        QCOMPARE(shown, read);
        // By number (not by characters), texts that are no address last.
        QVERIFY(addressTextLess("9.9.9.9", "10.0.0.1") && addressTextLess("10.0.0.1", "fe80::1") && !addressTextLess("x", "10.0.0.1"));
    }

    void planCheck_data()
    {
        QTest::addColumn<QString>("plan"); // "sn new_ip" rows
        QTest::addColumn<QString>("answering"); // addresses where the probe found a host
        QTest::addColumn<QStringList>("verdicts");
        QTest::addColumn<QString>("order"); // lines
        QTest::addColumn<QString>("outside"); // lines warned about

        const QString ready = "Ready to change.";
        // clang-format off
        QTest::newRow("serial at two addresses") << "SN6 192.168.1.50" << "" << QStringList{"SN6 answers at 192.168.1.7 and at 192.168.1.8: the devices cannot be told apart, so neither is changed."} << "" << "";
        QTest::newRow("serial twice") << "SN1 192.168.1.50, SN1 192.168.1.51" << "" << QStringList{"SN1 is also planned on line 3.", "SN1 is also planned on line 2."} << "" << "";
        QTest::newRow("shared address, one device stays") << "SN1 192.168.1.3, SN2 192.168.1.60" << "" << QStringList{"192.168.1.3 is in use by SN3 (mac-SN3).", ready} << "3" << "";
        QTest::newRow("holder's row refused") << "SN1 192.168.1.5, SN4 192.168.1.0" << "" << QStringList{"192.168.1.5 is in use by SN4 (mac-SN4).", "Please enter a valid IPv4 address. It is the network address of its /24 (the last part is 0)."} << "" << "";
        QTest::newRow("answer from a device that moves away") << "SN1 192.168.1.5, SN4 192.168.1.60" << "192.168.1.5" << QStringList{ready, ready} << "3 2" << "";
        QTest::newRow("independent rows keep the plan's order") << "SN4 192.168.1.61, SN1 192.168.1.60" << "" << QStringList{ready, ready} << "2 3" << "";
        QTest::newRow("chain of three, listed backwards") << "SN1 192.168.1.5, SN4 192.168.1.6, SN5 192.168.1.60" << "" << QStringList{ready, ready, ready} << "4 3 2" << "";
        QTest::newRow("swap") << "SN1 192.168.1.5, SN4 192.168.1.2" << "" << QStringList{kRing.arg("2, 3"), kRing.arg("2, 3")} << "" << "";
        QTest::newRow("ring of three") << "SN1 192.168.1.5, SN4 192.168.1.6, SN5 192.168.1.2" << "" << QStringList{kRing.arg("2, 3, 4"), kRing.arg("2, 3, 4"), kRing.arg("2, 3, 4")} << "" << "";
        QTest::newRow("refusal spreads along the chain") << "SN2 192.168.1.2, SN1 192.168.1.3, SN3 192.168.1.5" << "" << QStringList{"192.168.1.2 is in use by SN1 (mac-SN1).", "192.168.1.3 is in use by SN3 (mac-SN3).", "192.168.1.5 is in use by SN4 (mac-SN4)."} << "" << "";
        // clang-format on
    }

    void planCheck()
    {
        QFETCH(QString, plan);
        QFETCH(QString, answering);
        QFETCH(QStringList, verdicts);
        QFETCH(QString, order);
        QFETCH(QString, outside);

        const QVector<PlanRow> rows = planOf(plan.split(", "));
        const QStringList hosts = answering.split(' ', Qt::SkipEmptyParts);
        const PlanCheck check = checkPlan(rows, fleet(kSite), kCard, QSet<QString>(hosts.begin(), hosts.end()));
        QStringList texts, lines, warned;
        for (int r = 0; r < rows.size(); ++r) {
            texts << verdictText(check.verdicts.at(r), rows.at(r), false);
            if (check.verdicts.at(r).outsideCard)
                warned << QString::number(rows.at(r).line);
        }
        for (const int r : check.order)
            lines << QString::number(rows.at(r).line);
        QCOMPARE(texts, verdicts);
        QCOMPARE(lines.join(' '), order);
        QCOMPARE(warned.join(' '), outside);
    }

    void generator_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<PlanOrder>("order");
        QTest::addColumn<ActiveFilter>("only");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("keepInside");
        QTest::addColumn<QString>("result"); // "sn ip" rows, or the refusal

        const QString from = "192.168.1.100";
        const auto L = PlanOrder::Listed;
        const auto all = ActiveFilter::All;
        // clang-format off
        QTest::newRow("listed, one keeps its address") << from << "" << L << all << "" << true << "SN-D 192.168.1.104, SN-C 192.168.1.100, SN-A 192.168.1.101, SN-B 192.168.1.102";
        QTest::newRow("a shared address is never kept") << "192.168.1.2" << "" << L << all << "" << true << "SN-D 192.168.1.104, SN-C 192.168.1.2, SN-A 192.168.1.4, SN-B 192.168.1.5";
        QTest::newRow("skips .255, .0 and .1") << "192.168.1.253" << "192.168.2.10" << L << all << "" << true << "SN-D 192.168.1.253, SN-C 192.168.1.254, SN-A 192.168.2.2, SN-B 192.168.2.3";
        QTest::newRow("by MAC") << from << "" << PlanOrder::Mac << all << "" << false << "SN-D 192.168.1.100, SN-A 192.168.1.101, SN-B 192.168.1.102, SN-C 192.168.1.103";
        QTest::newRow("by address") << from << "" << PlanOrder::Ip << all << "" << true << "SN-C 192.168.1.100, SN-A 192.168.1.101, SN-B 192.168.1.102, SN-D 192.168.1.104";
        QTest::newRow("only inactive") << from << "" << L << ActiveFilter::Inactive << "" << true << "SN-A 192.168.1.100";
        QTest::newRow("too small: held addresses do not count") << "192.168.1.2" << "192.168.1.5" << L << all << "" << true << "192.168.1.2 to 192.168.1.5 offers 2 free addresses, but 3 devices need one.";
        QTest::newRow("backwards") << from << "192.168.1.50" << L << all << "" << true << "The range is empty: 192.168.1.50 comes before 192.168.1.100.";
        QTest::newRow("loopback") << "127.0.0.5" << "" << L << all << "" << true << "127.0.0.5: Please enter a valid IPv4 address. Addresses 127.x.x.x are loopback addresses.";
        QTest::newRow("no device chosen") << from << "" << L << all << "XYZ" << true << "No device of the search matches the choice.";
        // clang-format on
    }

    void generator()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(PlanOrder, order);
        QFETCH(ActiveFilter, only);
        QFETCH(QString, model);
        QFETCH(bool, keepInside);
        QFETCH(QString, result);

        const QVector<FoundDevice> devices =
            fleet({"192.168.1.104 SN-D 02:00:00:00:00:00", "192.168.1.2 SN-C 02:00:00:00:00:03",
                   "192.168.1.3 SN-A 02:00:00:00:00:01 inactive IPC-3140", "192.168.1.3 SN-B 02:00:00:00:00:02 active NVR-0800"});
        const PlanRequest request{from, to, order, only, model, keepInside};
        const GeneratedPlan plan = generatePlan(devices, request);
        QStringList rows;
        for (const PlanRow &row : plan.rows)
            rows << row.sn + ' ' + row.newIp;
        QCOMPARE(plan.problem == GeneratedPlan::None ? rows.join(", ") : generatorText(plan, request, false), result);
        if (!plan.rows.isEmpty())
            QCOMPARE(plan.rows.last().line, plan.rows.size() + 1);
    }

    void verification_data()
    {
        QTest::addColumn<QStringList>("heardAt");
        QTest::addColumn<QString>("result");
        QTest::newRow("at both") << QStringList{"192.168.1.9", "10.0.0.9"} << "verified";
        QTest::newRow("elsewhere") << QStringList{"10.0.0.1"} << "seen elsewhere";
        QTest::newRow("silent") << QStringList{} << "not seen";
    }

    void verification()
    {
        QFETCH(QStringList, heardAt);
        QFETCH(QString, result);
        QCOMPARE(QString(verificationText(verificationOf(heardAt, "192.168.1.9", "10.0.0.9"))), result);
    }

    void neighbourRow_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("address");
        QTest::newRow("complete, on the card") << "192.168.1.9      0x1         0x2         02:fc:00:00:00:05     *        eth1" << "192.168.1.9";
        QTest::newRow("incomplete") << "192.168.1.9 0x1 0x0 00:00:00:00:00:00 * eth1" << "";
        QTest::newRow("another card") << "192.168.1.9 0x1 0x2 02:fc:00:00:00:05 * eth10" << "";
        QTest::newRow("cut short") << "192.168.1.9 0x1 0x2" << "";
    }

    void neighbourRow()
    {
        QFETCH(QString, row);
        QFETCH(QString, address);
        QCOMPARE(completeNeighbour(row, "eth1"), address);
    }

    void rowDetail_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("verification");
        QTest::addColumn<QString>("detail");

        // clang-format off
        QTest::newRow("reply lost, then verified") << int(ChangeOutcome::NoReply) << int(Verification::Verified) << "The reply was lost, but the device answers at its new address. 10.1.1.5 lies outside every IPv4 subnet of lo: its web page will need a route.";
        QTest::newRow("seen elsewhere") << int(ChangeOutcome::Changed) << int(Verification::SeenElsewhere) << "IP changed successfully,device rebooting..... It answers at 10.9.9.9. 10.1.1.5 lies outside every IPv4 subnet of lo: its web page will need a route.";
        // clang-format on
    }

    void rowDetail()
    {
        QFETCH(int, outcome);
        QFETCH(int, verification);
        QFETCH(QString, detail);
        RunRow row;
        row.newIp = "10.1.1.5";
        row.verdict.outsideCard = true;
        row.change.outcome = ChangeOutcome(outcome);
        const bool lost = row.change.outcome == ChangeOutcome::NoReply;
        row.result = lost && verification == int(Verification::None) ? RunResult::Failed : RunResult::Done;
        row.replyLostButVerified = lost && row.result == RunResult::Done;
        row.change.activationUnanswered = lost && row.result == RunResult::Failed;
        row.verification = Verification(verification);
        row.heardAt = "10.9.9.9";
        QCOMPARE(::rowDetail(row, "lo", false), detail);
    }

    void report_data()
    {
        QTest::addColumn<ReportFormat>("format");
        QTest::addColumn<QByteArray>("firstRow");
        QTest::newRow("csv") << ReportFormat::Csv
                             << QByteArray("line,sn,mac,model,old_ip,new_ip,road,result,detail,verification,time\r\n"
                                           "2,SN-A,02:00:00:00:00:02,'=cmd|' /C calc'!A0,192.168.1.2,10.0.0.2,login+netcfg,done,"
                                           "\"IP changed successfully,device rebooting.....\",verified,2024-05-01T14:03:07+02:00\r\n");
        QTest::newRow("json") << ReportFormat::Json
                              << QByteArray("[\n{\"line\":2,\"sn\":\"SN-A\",\"mac\":\"02:00:00:00:00:02\",\"model\":\"=cmd|' /C calc'!A0\","
                                            "\"old_ip\":\"192.168.1.2\",\"new_ip\":\"10.0.0.2\",\"road\":\"login+netcfg\",\"result\":\"done\","
                                            "\"detail\":\"IP changed successfully,device rebooting.....\",\"verification\":\"verified\","
                                            "\"time\":\"2024-05-01T14:03:07+02:00\"},\n");
    }

    // The log a killed run leaves (its last line cut short), read as a report; then the final
    // form, read back for undo; never written over but by the same plan.
    void report()
    {
        QFETCH(ReportFormat, format);
        QFETCH(QByteArray, firstRow);
        const QString path = dir.filePath(format == ReportFormat::Csv ? "run.csv" : "run.json");
        const QVector<ReportRow> rows = {reportRow(2, "SN-A", "done", "verified"), reportRow(3, "SN-B", "started"),
                                          reportRow(4, "SN-C", "failed", "kept old address"),
                                          reportRow(5, "SN-D", "failed"), reportRow(6, "SN-E", "skipped"),
                                          reportRow(7, "SN-F", "conflict"), reportRow(8, "SN-G", "done", "not seen")};
        ReportWriter report(path);
        QVERIFY2(report.open(), qPrintable(report.error()));
        for (const ReportRow &row : rows)
            report.append(reportRow(row.line, row.sn, "pending"));
        report.append(rows.at(0));
        QVERIFY2(report.sync(), qPrintable(report.error()));
        report.append(rows.at(1));
        QVERIFY(report.sync());
        QFile log(path);
        QVERIFY(log.open(QIODevice::Append) && log.write("{\"line\":3,\"sn\":\"SN-B\",\"mac\":\"02:") > 0);
        log.close();
        QCOMPARE(reportRows(path, &ReportRow::verification).mid(0, 3),
                 QStringList({"SN-A: done: verified", "SN-B: started: ", "SN-C: pending: "}));

        QVERIFY2(report.write(rows), qPrintable(report.error()));
        QVERIFY2(contents(path).startsWith(firstRow), qPrintable(path));
        QVector<ReportRow> read;
        int line = -1;
        QString error;
        QVERIFY2(readReport(path, &read, &line, &error), qPrintable(QString::number(line) + error));
        QCOMPARE(read.size(), rows.size());
        QCOMPARE(read.first().model, rows.first().model);
        QStringList undo;
        for (const PlanRow &row : reversePlan(read))
            undo << QStringLiteral("%1 %2 %3").arg(row.line).arg(row.sn, row.newIp);
        QCOMPARE(undo, QStringList({"2 SN-A 192.168.1.2", "3 SN-B 192.168.1.3", "4 SN-C 192.168.1.4", "8 SN-G 192.168.1.8"}));

        ReportWriter second(path);
        QVERIFY(!second.open());
        QCOMPARE(second.error(), "The report " + path + " exists already; a report is never written over: choose another name.");
        QVector<PlanRow> plan = planOf({"SN-A 10.0.0.2", "SN-B 10.0.0.3", "SN-C 10.0.0.4", "SN-D 10.0.0.5", "SN-E 10.0.0.6", "SN-F 10.0.0.7", "SN-G 10.0.0.8", "SN-H 10.0.0.9"});
        plan[6].newIp = "10.0.0.99";
        QVERIFY(!second.goOn(plan));
        QCOMPARE(second.error(), "The report " + path + " exists already and records another plan; a report is never "
                                                        "written over: choose another name.");
        plan[6].newIp = "10.0.0.8";
        QVERIFY2(second.goOn(plan), qPrintable(second.error()));
        QCOMPARE(second.earlierRows().size(), rows.size());
        QVERIFY(contents(path).startsWith("# an unfinished report"));
        QCOMPARE(reportRows(path, &ReportRow::verification).size(), rows.size());
    }

    void malformedReport_data()
    {
        QTest::addColumn<ReportFormat>("format");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error"); // "line: why"

        const QByteArray header = "line,sn,mac,model,old_ip,new_ip,road,result,detail,verification,time\n";
        const QByteArray row = "2,SN-A,m,x,192.168.1.2,10.0.0.2,login+netcfg,done,d,verified,t\n";
        const QByteArray object = R"({"line":2,"sn":"SN-A","mac":"m","model":"x","old_ip":"192.168.1.2","new_ip":"10.0.0.2",)"
                                  R"("road":"","result":"done","detail":"","verification":"","time":""})";
        const auto csv = ReportFormat::Csv;
        const auto json = ReportFormat::Json;
        // clang-format off
        QTest::newRow("binary") << csv << QByteArray("\x7f" "ELF\x02\x01\x01\0\0", 9) << "1: not text (a NUL byte)";
        QTest::newRow("Latin-1") << csv << header + "2,SN-\xc4,m,x,192.168.1.2,10.0.0.2,,done,d,,t\n" << "2: not UTF-8 text";
        QTest::newRow("cut inside a character") << json << "[\n" + object.left(object.indexOf("x\"")) + "\xe6\x91" << "2: not UTF-8 text";
        QTest::newRow("two devices on one plan line") << csv << header + row + QByteArray(row).replace("SN-A", "SN-B") << "3: plan line 2 is already in the report";
        QTest::newRow("log: two devices on one plan line") << json << "# an unfinished report: one event per line, the last one of each plan line holds\n" + object + "\n" + QByteArray(object).replace("SN-A", "SN-B") + "\n" << "3: plan line 2 is already in the report";
        QTest::newRow("cells missing") << csv << header + "2,SN-A,m\n" << "2: expected 11 cells, found 3";
        QTest::newRow("no result of a run") << csv << header + QByteArray(row).replace("done", "fine") << "2: \"fine\" is no result of a run";
        QTest::newRow("no plan line") << csv << header + QByteArray(row).replace("2,SN", "x,SN") << "2: \"x\" is no plan line";
        QTest::newRow("json: not an array") << json << QByteArray("{}\n") << "1: not an array of report rows";
        QTest::newRow("json: broken on line 3") << json << "[\n" + object + ",\n{\"line\":\n" << "3: not JSON";
        QTest::newRow("json: member missing") << json << "[\n" + object + ",\n{\"line\":3}\n]" << "3: \"sn\" is missing or not a text";
        QTest::newRow("json: a device twice") << json << "[\n" + object + ",\n\n" + object + "\n]" << "4: serial number SN-A is already on line 2";
        QTest::newRow("json: two reports") << json << "[\n" + object + "\n]\n[\n" + object + "\n]\n" << "4: text after the array of report rows";
        QTest::newRow("log: a device on two plan lines") << json << "# an unfinished report: one event per line, the last one of each plan line holds\n" + object + "\n" + QByteArray(object).replace("\"line\":2", "\"line\":3") + "\n" << "3: serial number SN-A is already on line 2";
        QTest::newRow("too large") << csv << QByteArray(kMaxReportBytes + 1, ' ') << "0: larger than 16 MiB: not a report";
        // clang-format on
    }

    void malformedReport()
    {
        QFETCH(ReportFormat, format);
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QFile file(dir.filePath(format == ReportFormat::Csv ? "bad.csv" : "bad.json"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size());
        file.close();
        QCOMPARE(reportRows(file.fileName(), &ReportRow::sn), QStringList{error});
    }

    // On a full disk the sync that precedes the next device fails and says why; the report
    // keeps every event synced before, and no temporary file is left. Under Wine the disk of
    // 16 KiB is made beforehand and named by ORV_SMALL_DISK.
    void reportOnAFullDisk()
    {
        QString mount = qEnvironmentVariable("ORV_SMALL_DISK");
#ifdef Q_OS_WIN
        if (mount.isEmpty())
            QSKIP("no small disk: ORV_SMALL_DISK names none");
        const QString diskFull = qt_error_string(112).trimmed(); // ERROR_DISK_FULL
#else
        const QString diskFull = QStringLiteral("No space left on device");
        const bool ownMount = mount.isEmpty();
        if (ownMount) {
            mount = dir.filePath("small");
            QVERIFY(QDir().mkpath(mount));
            QVERIFY2(::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", 0, "size=16k") == 0,
                     "run under tests/netns-run, as root in a mount namespace of its own");
        }
#endif
        const QString path = mount + "/run.csv";
        ReportWriter report(path);
        QVERIFY(report.open());
        report.append(reportRow(2, "SN-A", "done"));
        QVERIFY(report.sync());

        QFile filler(mount + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(1024, 'x')) > 0 && filler.flush()) {
        }
        for (int i = 0; i < 40; ++i)
            report.append(reportRow(i + 3, QStringLiteral("SN-%1").arg(i), "started"));
        QVERIFY(!report.sync());
        QCOMPARE(report.error(), "The report " + path + " could not be written: " + diskFull);
        QVERIFY(!report.write({reportRow(2, "SN-A", "done")}));
        QCOMPARE(report.error(), "The report " + path + " could not be written: " + diskFull);
        QCOMPARE(reportRows(path, &ReportRow::detail).value(0), "SN-A: done: IP changed successfully,device rebooting.....");
        QCOMPARE(QDir(mount).entryList(QDir::Files | QDir::Hidden), QStringList({"filler", "run.csv"}));
        filler.close();
#ifndef Q_OS_WIN
        if (ownMount)
            QCOMPARE(::umount(QFile::encodeName(mount).constData()), 0);
#endif
    }

#ifndef Q_OS_WIN

    // A signal that ends the program while the report is rewritten (the second Ctrl-C) waits
    // for the rename: no temporary file is left behind.
    void reportRewriteInterrupted()
    {
        const QString path = dir.filePath("signalled.csv");
        const QByteArray document(8 * 1024 * 1024, 'x'); // the rewrite takes all but no time between two
        for (int attempt = 0; attempt < 4; ++attempt) { // the signal may come while the folder is synced
            const pid_t child = fork();
            if (child == 0) {
                std::signal(SIGTERM, [](int) { _exit(11); });
                ReportFile file;
                while (file.replace(path, document)) {
                }
                _exit(1);
            }
            QTest::qWait(100);
            QCOMPARE(::kill(child, SIGTERM), 0);
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QCOMPARE(WEXITSTATUS(status), 11);
            QCOMPARE(QDir(dir.path()).entryList({".signalled*", "signalled*"}, QDir::Files | QDir::Hidden),
                     QStringList{"signalled.csv"});
        }
    }

    // A plan for a large site: 1,500 addresses, every one refusing at once, with the descriptors
    // a desktop session allows (1,024). None may pass for free for want of a socket.
    void probeMany()
    {
        QVERIFY(runShell("ip addr add 10.78.0.1/16 dev lo")); // on lo, the whole subnet is local
        QStringList targets;
        for (int i = 0; i < 1500; ++i)
            targets << QStringLiteral("10.78.%1.%2").arg(1 + i / 250).arg(1 + i % 250);
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &before), 0);
        const rlimit desktop{qMin<rlim_t>(1024, before.rlim_max), before.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &desktop), 0);
        const QSet<QString> answering = answeringHosts("lo", targets);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &before), 0);
        QCOMPARE(answering.size(), targets.size());
    }

    // A host at 192.168.77.20 (listening), one at .21 (refusing), nothing at .50; 10.9.9.9 lies
    // outside lo's subnets and is not probed. Then the neighbour table of a card of this test's own.
    void probe()
    {
        // What leaves through the route is dropped: no forwarding.
        QVERIFY(runShell("ip addr add 192.168.77.1/24 dev lo noprefixroute && ip addr add 192.168.77.20/32 dev lo"
                         " && ip addr add 192.168.77.21/32 dev lo && ip route add 192.168.77.0/24 dev lo"));
        QTcpServer host;
        QVERIFY2(host.listen(QHostAddress("192.168.77.20"), 80), qPrintable(host.errorString()));

        const qint64 start = nowMs();
        const QHash<QString, ProbeResult> found = probeHosts("lo", {"192.168.77.20", "192.168.77.21", "192.168.77.50", "10.9.9.9"});
        QVERIFY_DURATION(nowMs() - start, 290, 399); // the 300 ms of the manual page, and the scheduler's slack
        QCOMPARE(found.value("192.168.77.20"), ProbeResult::Answered);
        QCOMPARE(found.value("192.168.77.21"), ProbeResult::Answered);
        QCOMPARE(found.value("192.168.77.50"), ProbeResult::Silent);
        QCOMPARE(found.value("10.9.9.9"), ProbeResult::NotProbed);
        // A neighbour that the kernel knows, its port 80 silent, on a card that has a neighbour table.
        QVERIFY(runShell("ip link add tp0 type veth peer name tp1 && ip addr add 192.168.78.1/24 dev tp0 && ip link set tp0 up"
                         " && ip link set tp1 up && ip neigh add 192.168.78.30 lladdr 02:00:00:00:00:30 dev tp0 nud permanent"));
        QCOMPARE(probeHosts("tp0", {"192.168.78.30", "192.168.78.31"}),
                 (QHash<QString, ProbeResult>{{"192.168.78.30", ProbeResult::Neighbour}, {"192.168.78.31", ProbeResult::Silent}}));
        // A plan for that card skips the neighbour's address.
        PlanRequest request;
        request.from = "192.168.78.29";
        request.order = PlanOrder::Sn;
        QStringList handedOut;
        for (const PlanRow &row : generatePlanOnCard(fleet({"10.0.0.2 SN1", "10.0.0.3 SN2", "10.0.0.4 SN3"}), request, "tp0").rows)
            handedOut << row.newIp;
        QCOMPARE(handedOut, QStringList({"192.168.78.29", "192.168.78.31", "192.168.78.32"}));

        const QVector<PlanRow> plan = planOf({"SN1 192.168.77.20", "SN4 192.168.77.50"});
        const PlanCheck check = checkPlanOnCard(plan, fleet(kSite), "lo");
        QCOMPARE(verdictText(check.verdicts.at(0), plan.at(0), false), "A host that is not a device answers at 192.168.77.20.");
        QCOMPARE(check.verdicts.at(1).check, RowCheck::Ready);
    }

#endif

    // A chain (A takes B's address, B a free one) and a device that says "ok" but keeps its
    // address: a dry run sends nothing; the run changes B before A, and A only once B answers
    // at its new address; the report records every row as it goes. Then devices that never
    // answer: the row that waits for a failed row ends as a conflict with nothing sent, and a
    // cancelled run records the rest as not run.
    void againstDevices()
    {
        QVector<SimDevice> devices = {simDevice("192.168.1.2", "SN-A"), simDevice("192.168.1.3", "SN-B"),
                                      simDevice("192.168.1.4", "SN-C"), simDevice("192.168.1.5", "SN-D")};
        devices[2].overrides.insert("netcfg", {SimDevice::Override::Data, R"({"calldata":{"netcfg":"ok"}})"});
        DeviceSimulator::Options simOptions;
        simOptions.restartMs = 0;
        DeviceSimulatorThread sim;
        QVERIFY(sim.start(devices, simOptions));

        LinkCore link; // without a socket: the run opens one
        link.setReplyTiming(LinkCore::ReplyTiming::AtOnce);
        const QVector<FoundDevice> found = foundDevices(deviceArray(devices).get());
        const QVector<PlanRow> plan = planOf({"SN-A 192.168.1.3", "SN-B 192.168.1.50", "SN-C 192.168.1.60", "SN-D 192.168.1.70"});
        const PlanCheck check = checkPlanOnCard(plan, found, "lo");

        BatchRun::Options options;
        options.card = "lo";
        options.dryRun = true;
        BatchRun dry(link, found, plan, check, "secret1", options);
        while (dry.step().kind != BatchRun::Step::Finished) {
        }
        for (const RunRow &row : dry.rows())
            QCOMPARE(row.result, RunResult::Planned);

        ReportWriter report(dir.filePath("chain.json"));
        QVERIFY(report.open());
        options.dryRun = false;
        options.verifyTimeoutMs = 1000;
        options.report = &report;
        BatchRun run(link, found, plan, check, "secret1", options);
        QStringList steps;
        for (BatchRun::Step step = run.step(); step.kind != BatchRun::Step::Finished; step = run.step())
            steps << (step.kind == BatchRun::Step::Changed
                          ? run.rows().at(step.row).sn
                          : QStringLiteral("round %1: %2/%3").arg(step.round.number).arg(step.round.seen).arg(step.round.awaited));
        // The deadline passed during round 2: round 3, begun after it, is the last.
        QCOMPARE(steps, QStringList({"SN-B", "SN-C", "SN-D", "round 1: 2/3", "SN-A", "round 2: 1/2", "round 3: 0/1"}));
        QVERIFY(run.error().isEmpty());
        QCOMPARE(dry.verificationMsLeft(), -1);
        QVERIFY2(run.verificationMsLeft() >= 0 && run.verificationMsLeft() < 1000, qPrintable(QString::number(run.verificationMsLeft())));

        QCOMPARE(requestsTo(sim).filter("netcfg"), QStringList({"netcfg SN-B", "netcfg SN-C", "netcfg SN-D", "netcfg SN-A"}));

        QCOMPARE(reportRows(report.path(), &ReportRow::verification),
                 QStringList({"SN-A: done: verified", "SN-B: done: verified", "SN-C: done: kept old address",
                              "SN-D: done: verified"}));

        // Without verification a row waits all the same for the device whose address it takes:
        // SN-C said "ok" but stayed, so SN-D is sent nothing.
        const QVector<FoundDevice> now = foundDevices(deviceArray(sim.devices()).get());
        const QVector<PlanRow> chain = planOf({"SN-D 192.168.1.4", "SN-C 192.168.1.80"});
        options.verifyTimeoutMs = 0;
        options.moverWaitMs = 1000;
        options.report = nullptr;
        BatchRun unverified(link, now, chain, checkPlan(chain, now, kCard), "secret1", options);
        while (unverified.step().kind != BatchRun::Step::Finished) {
        }
        QCOMPARE(unverified.rows().at(0).result, RunResult::Conflict);
        QCOMPARE(unverified.rows().at(1).verification, Verification::KeptOldAddress);

        QVector<SimDevice> silent;
        for (const QString &entry : kSite) {
            silent << simDevice(entry.section(' ', 0, 0), entry.section(' ', 1, 1));
            silent.last().fault = SimDevice::Fault::NoReply;
        }
        QVERIFY(sim.start(silent)); // stops the chain's devices
        const QVector<PlanRow> movers = planOf({"SN1 192.168.1.5", "SN4 192.168.1.60", "SN5 192.168.1.61", "SN2 192.168.1.62"});
        const PlanCheck moversCheck = checkPlan(movers, fleet(kSite), kCard);
        ReportWriter cancelled(dir.filePath("cancelled.csv"));
        QVERIFY(cancelled.open());
        options.report = &cancelled;
        BatchRun stopped(link, fleet(kSite), movers, moversCheck, "secret1", options);
        QCOMPARE(stopped.step().row, 1);
        QCOMPARE(stopped.step().row, 2);
        // SN4's outcome reached the disk with SN5's start, before SN5 was touched.
        QCOMPARE(reportRows(cancelled.path(), &ReportRow::verification),
                 QStringList({"SN1: conflict: ", "SN4: failed: ", "SN5: started: ", "SN2: pending: "}));
        QVERIFY(stopped.cancel());
        QCOMPARE(stopped.step().kind, BatchRun::Step::Finished);

        QCOMPARE(requestsTo(sim), QStringList({"login SN4", "activate SN5"}));
        QCOMPARE(reportRows(cancelled.path(), &ReportRow::detail),
                 QStringList({"SN1: conflict: 192.168.1.5 is in use by SN4 (mac-SN4).",
                              "SN4: failed: device not open (Timeout,Please try again!)",
                              "SN5: failed: device not open (Timeout,Please try again!) No reply to the activation, which "
                              "may have taken effect: the device then has the password. Run the same again to go on: an "
                              "activated device is logged in to.",
                              "SN2: not run: The run stopped before this device."}));
        QCOMPARE(reportRows(cancelled.path(), &ReportRow::road).value(0), "SN1: conflict: "); // nothing was sent to it
    }

private:
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TestCommissioning)
#include "tst_commissioning.moc"
