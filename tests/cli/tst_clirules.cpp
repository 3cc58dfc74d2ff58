// The command line's decisions, without network or window: arguments, plans, password
// files, rows and statuses of a run, failures, tables, checked output, and the documents'
// exit statuses.

#include "cli/applyrows.h"
#include "cli/deviceoutput.h"
#include "cli/inputfile.h"
#include "cli/listcommand.h"
#include "cli/output.h"
#include "cli/password.h"
#include "cli/plancommand.h"
#include "cli/tarnvalecli.h"
#include "cli/undocommand.h"
#include "commissioning/planfile.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The exit statuses a document lists, in its order.
QList<int> listedStatuses(const QString &document)
{
    QFile file(qEnvironmentVariable("ORV_SOURCE_DIR", ORV_SOURCE_DIR) + document);
    QString text = document.isEmpty() ? TarnvaleCli().helpText().section("Exit status:\n", 1)
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
        QTest::newRow("-V is the version") << "-V" << "version";
        QTest::newRow("unknown command") << "frob" << "2 unknown command \"frob\"; see tarnvale-cli --help";
        QTest::newRow("an argument missing") << "set-ip SN1" << "2 set-ip takes 2 arguments, not 1; see tarnvale-cli --help";
        QTest::newRow("option of another command") << "list --dry-run" << "2 --dry-run is not an option of list";
        QTest::newRow("undo's option to apply") << "apply p --passwords f" << "2 --passwords is not an option of apply";
        QTest::newRow("empty card name") << "list --interface=" << "2 --interface needs the name of a network card";
        QTest::newRow("plan and password both standard input") << "apply - --password-file -" << "2 the plan and the password file cannot both be standard input";
        QTest::newRow("undo with a report, a deadline, passwords") << "undo r.json --report u.CSV --verify-timeout 5 --passwords p.csv" << "undo report:u.CSV verify:5000 passwords:p.csv";
        QTest::newRow("--no-verify") << "set-ip SN1 10.0.0.1 --no-verify" << "set-ip verify:0";
        QTest::newRow("report neither csv nor json") << "apply p --report r.txt" << "2 --report needs a file name ending in .csv or .json, not \"r.txt\"";
        QTest::newRow("deadline of 0") << "apply p --verify-timeout 0" << "2 --verify-timeout takes whole seconds from 1 to 3600, not \"0\"";
        QTest::newRow("both verify options") << "apply p --no-verify --verify-timeout 5" << "2 --no-verify and --verify-timeout exclude each other";
        QTest::newRow("plan: defaults") << "plan --from 10.0.0.5" << "plan from:10.0.0.5- order:ip only:all keep";
        QTest::newRow("plan: every choice") << "plan --from 10.0.0.5 --to 10.0.1.9 --order mac --only inactive --model ipc --renumber" << "plan from:10.0.0.5-10.0.1.9 order:mac only:inactive model:ipc";
        QTest::newRow("plan: only active, by sn") << "plan --from 10.0.0.5 --order sn --only active" << "plan from:10.0.0.5- order:sn only:active keep";
        QTest::newRow("plan without --from") << "plan --to 10.0.0.9" << "2 plan needs --from, the first address to hand out";
        QTest::newRow("plan: range backwards") << "plan --from 10.0.0.9 --to 10.0.0.5" << "2 The range is empty: 10.0.0.5 comes before 10.0.0.9.";
        QTest::newRow("plan: unknown order") << "plan --from 10.0.0.5 --order model" << "2 --order takes mac, sn or ip, not \"model\"";
        // clang-format on
    }

    void arguments()
    {
        QFETCH(QString, args);
        QFETCH(QString, result);
        TarnvaleCli cli;
        const Outcome outcome = cli.parse(("tarnvale-cli " + args).split(' '));
        QStringList what = {cli.command() ? cli.command()->name() : "version"};
        if (const auto *list = dynamic_cast<const ListCommand *>(cli.command()))
            what << QStringList{"table", "csv", "json"}.at(int(list->format())) << (list->wide() ? "wide" : "");
        if (const auto *change = dynamic_cast<const ChangeCommand *>(cli.command())) {
            const ChangeCommand::Settings &c = change->settings();
            what << (c.dryRun ? "dry-run" : "") << (c.passwordFile.isEmpty() ? "" : "password:" + c.passwordFile)
                 << (c.reportPath.isEmpty() ? "" : "report:" + c.reportPath)
                 << (c.verifyTimeoutMs == kDefaultVerifySeconds * 1000 ? "" : QString("verify:%1").arg(c.verifyTimeoutMs));
        }
        if (const auto *undo = dynamic_cast<const UndoCommand *>(cli.command()))
            what << (undo->passwordsPath().isEmpty() ? "" : "passwords:" + undo->passwordsPath());
        if (const auto *plan = dynamic_cast<const PlanCommand *>(cli.command())) {
            const PlanRequest &r = plan->request();
            what << "from:" + r.from + "-" + r.to << "order:" + QStringList{"listed", "mac", "sn", "ip"}.at(int(r.order))
                 << "only:" + QStringList{"all", "inactive", "active"}.at(int(r.only))
                 << (r.model.isEmpty() ? "" : "model:" + r.model) << (r.keepInside ? "keep" : "");
        }
        what << (cli.verbose() ? "verbose" : "");
        QCOMPARE(outcome.status ? QString("%1 %2").arg(outcome.status).arg(outcome.text) : what.join(' ').simplified(),
                 result);
    }

    // The commands in process, their output in memory: what each refuses before the search.
    // "PLAN", "PLAN.csv", "PW644" (others can read it) and "R.json" in args name files holding
    // `file`; "PASSWORDS" holds a plan without passwords.
    void commands_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told"); // on standard error, or on standard output for status 0
        const QByteArray header = "line,sn,mac,model,old_ip,new_ip,road,result,detail,verification,time\n";
        const QByteArray object = R"({"line":2,"sn":"SN1","mac":"m","model":"x","old_ip":"192.168.1.2","new_ip":"10.0.0.2",)"
                                  R"("road":"","result":"done","detail":"","verification":"","time":""})";
        // clang-format off
        QTest::newRow("password as argument") << "set-ip SN1 10.0.0.2 --password admin123" << QByteArray() << 2 << "Unknown option 'password'. Passwords are not taken as arguments: use --password-file FILE or TARNVALE_PASSWORD.";
        QTest::newRow("address refused by the rules") << "set-ip SN1 10.0.0.255" << QByteArray() << 7 << "SN1: Invalid IP Address: Please enter a valid IPv4 address. It is the broadcast address of its /24 (the last part is 255).";
        QTest::newRow("password file others can read, --strict") << "activate SN1 10.0.0.2 --password-file PW644 --strict" << QByteArray("admin123") << 2 << "the password file PW644 can be read by group or others (mode 0644); refused with --strict: chmod 600 PW644";
        QTest::newRow("report not writable") << "set-ip SN1 10.0.0.2 --report /proc/r.csv" << QByteArray() << 12 << "report: The report /proc/r.csv could not be created: No such file or directory";
        QTest::newRow("report of another plan") << "set-ip SN1 10.0.0.3 --report R.json" << "[\n" + object + "\n]\n" << 12 << "report: The report R.json exists already and records another plan; a report is never written over: choose another name.";
        QTest::newRow("plan name mistyped, before the card") << "apply /nonexistent/plan.csv --interface eth9" << QByteArray() << 9 << "plan: cannot read /nonexistent/plan.csv: No such file or directory";
        QTest::newRow("plan with open quote") << "apply PLAN" << QByteArray("sn,new_ip\nSN2,10.0.0.2\nSN1,\"10.0.0.1\n") << 9 << "PLAN:3: a quoted cell is not closed";
        QTest::newRow("a plan given to undo") << "undo PLAN.csv" << QByteArray("sn,new_ip\nSN2,10.0.0.2\n") << 9 << "PLAN.csv:1: the header is not \"line,sn,mac,model,old_ip,new_ip,road,result,detail,verification,time\"";
        QTest::newRow("nothing to undo") << "undo PLAN.csv" << header + "2,SN1,m,x,192.168.1.2,10.0.0.2,,skipped,d,,t\n" << 0 << "Nothing to undo: the report shows no device that changed.";
        QTest::newRow("passwords that give none") << "undo R.json --passwords PASSWORDS" << "[\n" + object + "\n]\n" << 9 << "PASSWORDS: no password in it: the columns are sn,password or sn,new_ip,password";
        QTest::newRow("doctor: unknown card") << "doctor --interface eth9" << QByteArray() << 14 << "card      problem: There is no network card named eth9 (known: lo).";
        // clang-format on
    }

    void commands()
    {
        QFETCH(QString, args);
        QFETCH(QByteArray, file);
        QFETCH(int, status);
        QFETCH(QString, told);
        QTemporaryDir dir;
        for (const QString name : {"PLAN", "PW644", "PLAN.csv", "R.json", "PASSWORDS"}) {
            QFile written(dir.filePath(name));
            QVERIFY(written.open(QIODevice::WriteOnly) && written.write(name == "PASSWORDS" ? "SN1,10.0.0.2\n" : file) >= 0);
            written.setPermissions(QFile::ReadOwner | QFile::WriteOwner | (name == "PW644" ? QFile::ReadGroup | QFile::ReadOther : QFile::Permissions()));
        }
        qputenv("TARNVALE_PASSWORD", "admin123");
        char *outText = nullptr, *errText = nullptr;
        size_t outSize = 0, errSize = 0;
        FILE *out = open_memstream(&outText, &outSize);
        FILE *err = open_memstream(&errText, &errSize);
        QStringList arguments = ("tarnvale-cli " + args + (args.contains("--interface") ? "" : " --interface lo")).split(' ');
        QDir::setCurrent(dir.path());
        QCOMPARE(TarnvaleCli(out, err).run(arguments), status);
        std::fclose(out);
        std::fclose(err);
        const QString output = QString::fromUtf8(outText, int(outSize));
        const QString errors = QString::fromUtf8(errText, int(errSize));
        std::free(outText);
        std::free(errText);
        QVERIFY2((status == 0 || status == 14 ? output : errors).contains(told), qPrintable(output + errors));
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
        const QString help = TarnvaleCli().helpText();
        for (const QString &line : help.split('\n'))
            QVERIFY2(line.size() <= 79, qPrintable(line));
        QVERIFY(help.contains("  -v, --verbose         Also print the link's debug lines on standard error;"));
        QVERIFY(help.contains("  plan --from IP [--to IP] [--order ORDER] [--only STATE] [--model TEXT]"));
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
        QTest::newRow("device twice") << QByteArray("SN1,10.0.0.1\nSN1,10.0.0.2\n") << "line 2: serial number SN1 is already planned on line 1";
        QTest::newRow("address twice") << QByteArray("SN1,10.0.0.1\nSN2, 10.0.0.1\n") << "line 2: address 10.0.0.1 is already planned on line 1";
        QTest::newRow("only a header") << QByteArray("sn,new_ip\n") << "line 0: the plan holds no device";
        QTest::newRow("quoted cells verbatim, guards off") << QByteArray("\"#A\",10.0.0.1\n'=B,10.0.0.2\n\" C \",10.0.0.3\n''-D,10.0.0.4\n") << "1:#A>10.0.0.1 2:=B>10.0.0.2 3: C >10.0.0.3 4:'-D>10.0.0.4";
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

    // undo --passwords: a plan with passwords, or rows sn,password under their header.
    void passwords_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("result"); // sn=password ..., or the line and the error
        // clang-format off
        QTest::newRow("plan, one row without") << QByteArray("SN1,10.0.0.1,secret1\nSN2,10.0.0.2,\n") << "SN1=secret1";
        QTest::newRow("sn,password") << QByteArray("SN,Password\n'=A, pass 1\nSN2,secret2\n") << "=A= pass 1 SN2=secret2";
        QTest::newRow("two cells without a header") << QByteArray("SN1,10.0.0.1\n") << "line 0: no password in it: the columns are sn,password or sn,new_ip,password";
        QTest::newRow("a device twice") << QByteArray("sn,password\nSN1,secret1\nSN1,secret2\n") << "line 3: serial number SN1 is named twice";
        QTest::newRow("a password missing") << QByteArray("sn,password\nSN1,secret1\nSN2,\n") << "line 3: expected a serial number and a password";
        QTest::newRow("a serial number missing") << QByteArray("sn,password\n,secret1\n") << "line 2: expected a serial number and a password";
        QTest::newRow("a cell too many") << QByteArray("sn,password\nSN1,secret1,x\n") << "line 2: expected a serial number and a password";
        // clang-format on
    }

    void passwords()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, result);
        QHash<QString, QString> passwords;
        int line = -1;
        QString error;
        QStringList found;
        const bool read = parsePasswords(text, &passwords, &line, &error);
        for (auto it = passwords.cbegin(); it != passwords.cend(); ++it)
            found << it.key() + "=" + it.value();
        found.sort();
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
        const QString ellipsis(QChar(0x2026));
        // clang-format off
        QTest::newRow("40 characters kept") << QString(40, 'a') << 40 << QString(40, 'a');
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

    // Without --verbose a warning still reaches standard error, the debug lines do not.
    void quietMessages()
    {
        QTemporaryFile log;
        QVERIFY(log.open());
        const int saved = ::dup(STDERR_FILENO);
        ::dup2(log.handle(), STDERR_FILENO);
        TarnvaleCli::messageHandler(QtWarningMsg, QMessageLogContext(), "a warning");
        TarnvaleCli::messageHandler(QtDebugMsg, QMessageLogContext(), "a debug line");
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        QVERIFY(log.seek(0));
        QCOMPARE(log.readAll(), "tarnvale-cli: a warning\n");
    }
};

QTEST_GUILESS_MAIN(TestCliRules)
#include "tst_clirules.moc"
