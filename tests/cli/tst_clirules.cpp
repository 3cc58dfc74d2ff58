// The command line's decisions, without network or window: arguments, plans, password
// files, rows and statuses of a run, failures, tables, checked output, and the documents'
// exit statuses.

#include "cli/applyrows.h"
#include "cli/arguments.h"
#include "cli/deviceoutput.h"
#include "cli/inputfile.h"
#include "cli/output.h"
#include "cli/password.h"
#include "commissioning/planfile.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// The exit statuses a document lists, in its order.
QList<int> listedStatuses(const QString &document)
{
    QFile file(qEnvironmentVariable("ORV_SOURCE_DIR", ORV_SOURCE_DIR) + document);
    QString text = document.isEmpty() ? helpText().section("Exit status:\n", 1)
                   : file.open(QIODevice::ReadOnly)
                       ? QString(file.readAll()).section(QRegularExpression("\\n(\\.SH EXIT STATUS|Exit statuses)"), 1)
                       : QString();
    text = text.section(QRegularExpression("\\n(\\.SH|\\n[A-Za-z])"), 0, 0); // to the end of the list
    QList<int> statuses;
    QRegularExpression item("^(  |\\.B |- )(\\d+)( |$)", QRegularExpression::MultilineOption);
    for (auto match = item.globalMatch(text); match.hasNext();)
        statuses << match.next().captured(2).toInt();
    return statuses;
}

} // namespace

class TestCliRules : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("result"); // what is asked for, or the status and the error
        // clang-format off
        QTest::newRow("-v is verbose, not the version") << "list -v" << "list table verbose";
        QTest::newRow("-V is the version") << "-V" << "list table version";
        QTest::newRow("unknown command") << "frob" << "2 unknown command \"frob\"; see tarnvale-cli --help";
        QTest::newRow("an argument missing") << "set-ip SN1" << "2 set-ip takes 2 arguments, not 1; see tarnvale-cli --help";
        QTest::newRow("option of another command") << "list --dry-run" << "2 --dry-run is not an option of list";
        QTest::newRow("empty card name") << "list --interface=" << "2 --interface needs the name of a network card";
        QTest::newRow("plan and password both standard input") << "apply - --password-file -" << "2 the plan and the password file cannot both be standard input";
        QTest::newRow("undo with a report and a deadline") << "undo r.json --report u.CSV --verify-timeout 5" << "undo r.json table report:u.CSV verify:5000";
        QTest::newRow("--no-verify") << "set-ip SN1 10.0.0.1 --no-verify" << "set-ip SN1 10.0.0.1 table verify:0";
        QTest::newRow("report neither csv nor json") << "apply p --report r.txt" << "2 --report needs a file name ending in .csv or .json, not \"r.txt\"";
        QTest::newRow("deadline of 0") << "apply p --verify-timeout 0" << "2 --verify-timeout takes whole seconds from 1 to 3600, not \"0\"";
        QTest::newRow("both verify options") << "apply p --no-verify --verify-timeout 5" << "2 --no-verify and --verify-timeout exclude each other";
        QTest::newRow("plan: defaults") << "plan --from 10.0.0.5" << "plan table from:10.0.0.5- order:ip only:all keep";
        QTest::newRow("plan: every choice") << "plan --from 10.0.0.5 --to 10.0.1.9 --order mac --only inactive --model ipc --renumber" << "plan table from:10.0.0.5-10.0.1.9 order:mac only:inactive model:ipc";
        QTest::newRow("plan: only active, by sn") << "plan --from 10.0.0.5 --order sn --only active" << "plan table from:10.0.0.5- order:sn only:active keep";
        QTest::newRow("plan without --from") << "plan --to 10.0.0.9" << "2 plan needs --from, the first address to hand out";
        QTest::newRow("plan: range backwards") << "plan --from 10.0.0.9 --to 10.0.0.5" << "2 The range is empty: 10.0.0.5 comes before 10.0.0.9.";
        QTest::newRow("plan: unknown order") << "plan --from 10.0.0.5 --order model" << "2 --order takes mac, sn or ip, not \"model\"";
        // clang-format on
    }

    void arguments()
    {
        QFETCH(QString, args);
        QFETCH(QString, result);
        Invocation i;
        const Outcome outcome = parseArguments(("tarnvale-cli " + args).split(' '), &i);
        QStringList what = QStringList{QStringList{"list", "set-ip", "activate", "apply", "undo", "plan", "doctor"}.at(int(i.command))}
                           + i.arguments + QStringList{QStringList{"table", "csv", "json"}.at(int(i.format))};
        for (const auto &[set, name] : {std::pair{i.wide, "wide"}, std::pair{i.dryRun, "dry-run"},
                                        std::pair{i.verbose, "verbose"}, std::pair{i.strict, "strict"},
                                        std::pair{i.version, "version"}})
            what << (set ? name : "");
        what << (i.passwordFile.isEmpty() ? "" : "password:" + i.passwordFile)
             << (i.interfaceName.isEmpty() ? "" : "card:" + i.interfaceName)
             << (i.reportPath.isEmpty() ? "" : "report:" + i.reportPath)
             << (i.verifyTimeoutMs == kDefaultVerifySeconds * 1000 ? "" : QString("verify:%1").arg(i.verifyTimeoutMs));
        const PlanRequest &r = i.planRequest;
        if (i.command == Command::Plan)
            what << "from:" + r.from + "-" + r.to << "order:" + QStringList{"listed", "mac", "sn", "ip"}.at(int(r.order))
                 << "only:" + QStringList{"all", "inactive", "active"}.at(int(r.only))
                 << (r.model.isEmpty() ? "" : "model:" + r.model) << (r.keepInside ? "keep" : "");
        QCOMPARE(outcome.status ? QString("%1 %2").arg(outcome.status).arg(outcome.text)
                                : what.join(' ').simplified(), result);
    }

    // --help and the manual page list every exit status, and only those (the README points to them).
    void documents_data()
    {
        QTest::addColumn<QString>("document");
        QTest::newRow("--help") << "";
        QTest::newRow("manual page") << "/packaging/tarnvale-cli.1.in";
    }

    void documents()
    {
        QFETCH(QString, document);
        QList<int> expected;
        for (const ExitStatusText &status : kExitStatusTexts)
            expected << status.status;
        QCOMPARE(listedStatuses(document), expected);
        for (const QString &line : helpText().split('\n'))
            QVERIFY2(line.size() <= 79, qPrintable(line));
        QVERIFY(helpText().contains("  -v, --verbose         Also print the link's debug lines on standard error;"));
        QVERIFY(helpText().contains("  plan --from IP [--to IP] [--order ORDER] [--only STATE] [--model TEXT]"));
    }

    void plan_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("result"); // the rows, or the line and the error
        QByteArray atCap = "SN1,10.0.0.1\n#";
        atCap += QByteArray(kMaxPlanBytes - atCap.size(), 'x');
        // clang-format off
        QTest::newRow("header in capitals, password") << QByteArray("SN,New_IP,Password\nSN1,10.0.0.1,secret1\n") << "2:SN1>10.0.0.1+secret1";
        QTest::newRow("no header, CR LF, comment, blanks") << QByteArray("# site A\r\n\r\nSN1 , 10.0.0.1 \r\nSN2,10.0.0.2,\r\n") << "3:SN1>10.0.0.1 4:SN2>10.0.0.2";
        QTest::newRow("byte order mark, quoted comma") << QByteArray("\xef\xbb\xbfsn,new_ip,password\n\"SN1\",10.0.0.1,\"pa,ss\"\n") << "2:SN1>10.0.0.1+pa,ss";
        QTest::newRow("exactly at the size cap") << atCap << "1:SN1>10.0.0.1";
        QTest::newRow("one byte over the cap") << atCap + "x" << "line 0: larger than 1048576 bytes: not a plan";
        QTest::newRow("header with password second") << QByteArray("sn,password,new_ip\nSN1,secret1,10.0.0.1\n") << "line 1: the header must be sn,new_ip or sn,new_ip,password, in this order";
        QTest::newRow("header with a fourth column") << QByteArray("# plan\nsn,new_ip,password,note\nSN1,10.0.0.1,secret1,x\n") << "line 2: the header must be sn,new_ip or sn,new_ip,password, in this order";
        QTest::newRow("header naming another first column") << QByteArray("device,new_ip,password\nSN1,10.0.0.1,secret1\n") << "line 1: the header must be sn,new_ip or sn,new_ip,password, in this order";
        QTest::newRow("password in the address column") << QByteArray("SN1,10.0.0.1\nSN2,secret1\n") << "line 2: the second cell is not an IPv4 address (digits and dots)";
        QTest::newRow("invalid UTF-8") << QByteArray("SN1,10.0.0.1\nSN\xff,10.0.0.2\n") << "line 2: not UTF-8 text";
        QTest::newRow("UTF-8 cut at the end") << QByteArray("SN1,10.0.0.1\nSN\xe6\x91") << "line 2: not UTF-8 text";
        QTest::newRow("device twice") << QByteArray("SN1,10.0.0.1\nSN1,10.0.0.2\n") << "line 2: serial number SN1 is already planned on line 1";
        QTest::newRow("address twice") << QByteArray("SN1,10.0.0.1\nSN2, 10.0.0.1\n") << "line 2: address 10.0.0.1 is already planned on line 1";
        QTest::newRow("only a header") << QByteArray("sn,new_ip\n") << "line 0: the plan holds no device";
        // clang-format on
    }

    void plan()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, result);
        QVector<PlanRow> rows;
        int line = -1;
        QString error;
        QStringList found;
        const bool read = parsePlan(text, &rows, &line, &error);
        for (const PlanRow &row : rows)
            found << QString("%1:%2>%3%4").arg(row.line).arg(row.sn, row.newIp, row.password.isEmpty() ? "" : "+")
                         + row.password;
        QCOMPARE(read ? found.join(' ') : QString("line %1: %2").arg(line).arg(error), result);
    }

    // Bounded reading, the modes that others can read, the first line of a password file.
    void inputFiles_data()
    {
        QTest::addColumn<QString>("path"); // "0640": a file with this mode
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("result"); // bytes read, whether others can read it, the password
        QTest::newRow("0640, LF") << "0640" << QByteArray("admin123\nx\n") << "11 exposed admin123";
        QTest::newRow("0604, CR LF") << "0604" << QByteArray("admin123\r\nx\r\n") << "13 exposed admin123";
        QTest::newRow("0600, CR inside") << "0600" << QByteArray("ad\rmin123") << "9 private ad\rmin123";
        QTest::newRow("0622, empty first line") << "0622" << QByteArray("\nadmin123\n") << "10 private";
        QTest::newRow("/dev/zero, bounded") << "/dev/zero" << QByteArray() << "70000 private";
    }

    void inputFiles()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QFETCH(QString, result);
        QTemporaryDir dir;
        if (!path.startsWith('/')) {
            QFile file(dir.filePath("pw"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
            QVERIFY(::chmod(qPrintable(file.fileName()), path.toUInt(nullptr, 8)) == 0);
            path = file.fileName();
        }
        QByteArray bytes;
        QString error;
        unsigned mode = 0;
        if (!readInput(path, 70000, &bytes, &error, &mode))
            QCOMPARE(error.left(result.size()), result);
        else
            QCOMPARE(QString("%1 %2 %3")
                         .arg(bytes.size())
                         .arg(readableByOthers(mode) ? "exposed" : "private",
                              content.isEmpty() ? "" : passwordFromFile(bytes))
                         .trimmed(),
                     result);
    }

    // What a run's row shows in its table (ADDRESS, NEW ADDRESS, ROAD, RESULT, VERIFICATION)
    // and the status set-ip and activate give for it.
    void runRows_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("verification");
        QTest::addColumn<int>("check");   // the verdict
        QTest::addColumn<int>("outcome"); // of the road
        QTest::addColumn<int>("link");    // the link's error when the outcome is NoReply
        QTest::addColumn<QString>("shown");
        using R = RunResult;
        using V = Verification;
        using C = RowCheck;
        using O = ChangeOutcome;
        using E = LinkCore::Error;
        const int none = int(E::None);
        const int ok = int(O::Changed);
        // clang-format off
        QTest::newRow("reply lost, not seen") << int(R::Failed) << int(V::NotSeen) << int(C::Ready) << int(O::NoReply) << none << "192.168.1.2 10.0.0.1 login+netcfg failed not seen|10";
        QTest::newRow("skipped") << int(R::Skipped) << int(V::None) << int(C::AlreadyThere) << ok << none << "192.168.1.2 10.0.0.1 login+netcfg skipped -|0";
        QTest::newRow("not run") << int(R::NotRun) << int(V::None) << int(C::Ready) << ok << none << "192.168.1.2 10.0.0.1 login+netcfg not run -|11";
        QTest::newRow("not found") << int(R::Failed) << int(V::None) << int(C::NotFound) << ok << none << "- 10.0.0.1 login+netcfg failed -|5";
        QTest::newRow("serial at two addresses") << int(R::Failed) << int(V::None) << int(C::SerialAtTwoAddresses) << ok << none << "192.168.1.2 10.0.0.1 login+netcfg failed -|7";
        QTest::newRow("no reply") << int(R::Failed) << int(V::None) << int(C::Ready) << int(O::NoReply) << int(E::Timeout) << "192.168.1.2 10.0.0.1 login+netcfg failed -|5";
        // clang-format on
    }

    void runRows()
    {
        QFETCH(int, result);
        QFETCH(int, verification);
        QFETCH(int, check);
        QFETCH(int, outcome);
        QFETCH(int, link);
        QFETCH(QString, shown);
        RunRow row{4, "SN1", "10.0.0.1", check == int(RowCheck::NotFound) ? QString() : "192.168.1.2"};
        row.road = Road::Login;
        row.result = RunResult(result);
        row.verification = Verification(verification);
        row.verdict.check = RowCheck(check);
        row.change.outcome = ChangeOutcome(outcome);
        row.change.link.error = LinkCore::Error(link);
        QCOMPARE(runRow(row, "lo").mid(2, 5).join(' ') + "|" + QString::number(rowStatus(row)), shown);
        QVERIFY(progressLine(3, 7, row, "lo").startsWith(QString("[3/7] SN1 %1 -> 10.0.0.1: ").arg(runRow(row, "lo").at(2))));
    }

    void summary_data()
    {
        QTest::addColumn<QString>("rows"); // v done and verified, k done but kept its address, s f c n p: skipped, failed, conflict, not run, planned
        QTest::addColumn<QString>("line"); // then the status
        // clang-format off
        QTest::newRow("all verified") << "vv" << "2 changed, 0 already at their address, 0 failed, 0 refused as conflicts|0";
        QTest::newRow("one kept its address") << "vkf" << "2 changed, 0 already at their address, 1 failed, 0 refused as conflicts, 1 not seen at their new address|10";
        QTest::newRow("interrupted") << "vn" << "1 changed, 0 already at their address, 0 failed, 0 refused as conflicts, 1 not run|1";
        QTest::newRow("nothing to do") << "ss" << "Nothing to do: every device of the plan is already at its new address.|0";
        QTest::newRow("dry run") << "ppf" << "2 to change, 0 already at their address, 1 would fail, 0 refused as conflicts|1";
        QTest::newRow("dry run, all there") << "s" << "0 to change, 1 already at their address, 0 would fail, 0 refused as conflicts|0";
        // clang-format on
    }

    void summary()
    {
        QFETCH(QString, rows);
        QFETCH(QString, line);
        RunCounts counts;
        for (const QChar c : rows) {
            RunRow row;
            row.result = QHash<QChar, RunResult>{{'v', RunResult::Done}, {'k', RunResult::Done}, {'s', RunResult::Skipped},
                                                 {'f', RunResult::Failed}, {'c', RunResult::Conflict},
                                                 {'n', RunResult::NotRun}, {'p', RunResult::Planned}}.value(c);
            row.verification = c == 'v' ? Verification::Verified : c == 'k' ? Verification::KeptOldAddress : Verification::None;
            counts.add(row);
        }
        QCOMPARE(summaryLine(counts, line.contains("to change")) + "|" + QString::number(runStatus(counts)), line);
    }

    // A search that failed, and a plan that cannot be made: status and line.
    void failures_data()
    {
        QTest::addColumn<int>("error");   // of the search; -1: none
        QTest::addColumn<int>("problem"); // of the plan generator
        QTest::addColumn<QString>("told");
        using E = LinkCore::Error;
        // clang-format off
        QTest::newRow("replies, none fitting") << int(E::NoMatchingReply) << 0 << "5 no device answered the search on lo";
        QTest::newRow("card gone") << int(E::CardGone) << 0 << "3 The network card \"lo\" does not exist (any more), so nothing was sent.";
        QTest::newRow("plan: no device chosen") << -1 << int(GeneratedPlan::NoDevice) << "5";
        QTest::newRow("plan: range too small") << -1 << int(GeneratedPlan::TooSmall) << "7";
        // clang-format on
    }

    void failures()
    {
        QFETCH(int, error);
        QFETCH(int, problem);
        QFETCH(QString, told);
        LinkCore::Status status{LinkCore::Error(error)};
        status.card = "lo";
        status.socketText = "no group";
        const Outcome outcome = searchFailure(status, "lo");
        QCOMPARE(error < 0 ? QString::number(planStatus(GeneratedPlan::Problem(problem)))
                           : QString("%1 %2").arg(outcome.status).arg(outcome.text),
                 told);
    }

    void table_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");
        const QString long45k(45000, 'M');
        const QString ellipsis(QChar(0x2026));
        // clang-format off
        QTest::newRow("45 KB cut") << long45k << 40 << QString(39, 'M') + ellipsis;
        QTest::newRow("--wide: whole") << long45k << 0 << long45k;
        QTest::newRow("40 characters kept") << QString(40, 'a') << 40 << QString(40, 'a');
        QTest::newRow("escaped, then cut") << QString(36, 'a') + "\x1b[2J" << 40 << QString(36, 'a') + "\\x1" + ellipsis;
        QTest::newRow("line break and direction override escaped") << "a" + QString(QChar(0x2028)) + QChar(0x202e) + "b" << 40 << "a\\u2028\\u202eb";
        QTest::newRow("no half character") << QString(38, 'a') + QString::fromUtf8("\xf0\x9f\x98\x80") + "bb" << 40 << QString(38, 'a') + ellipsis;
        // clang-format on
    }

    // The cell in the first column, and in the last, which pads nothing and stays whole.
    void table()
    {
        QFETCH(QString, cell);
        QFETCH(int, width);
        QFETCH(QString, shown);
        const QString gap(shown.size() + 1, ' ');
        QCOMPARE(textTable({{"A", "B"}, {cell, "1"}, {"x", cell}}, width),
                 "A" + gap + "B\n" + shown + "  1\n" + "x" + gap + printable(cell) + "\n");
    }

    void deviceOrder()
    {
        const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> array(
            cJSON_Parse(R"([{"ip":"192.168.1.10","sn":"B"},{"ip":"not an address","sn":"C"},{"ip":"192.168.1.9","sn":"Z"},
                            {"ip":"192.168.1.10","sn":"A"},{"ip":"10.0.0.1","sn":"D"}])"),
            cJSON_Delete);
        QStringList order;
        for (const QStringList &row : deviceRows(array.get()))
            order << row.at(2);
        QCOMPARE(order, QStringList({"D", "Z", "A", "B", "C"})); // numerically, then by serial number
    }

    // A failed write made past the stream (by the message handler) counts too.
    void outputFlaggedBefore()
    {
        FILE *full = std::fopen("/dev/full", "w");
        QVERIFY(full && std::fputs("a log line", full) >= 0 && std::fflush(full) != 0);
        OutputStream out(full, "standard output");
        QVERIFY(!out.finish(true));
        QCOMPARE(out.errorText().left(33), "cannot write to standard output: ");
    }
};

QTEST_GUILESS_MAIN(TestCliRules)
#include "tst_clirules.moc"
