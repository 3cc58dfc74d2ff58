// The command line's decisions, without network or window: arguments, plans, password
// files, rows of apply, tables, checked output, and the documents' exit statuses.

#include "applyrows.h"
#include "commandline.h"
#include "deviceoutput.h"
#include "inputfile.h"
#include "output.h"
#include "password.h"
#include "planfile.h"

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
        QTest::newRow("--all-replies accepted, wide csv") << "list --all-replies --wide --format=csv" << "list csv wide";
        QTest::newRow("password from standard input, strict") << "set-ip SN1 10.0.0.1 --strict --password-file -" << "set-ip SN1 10.0.0.1 table strict password:-";
        QTest::newRow("plan from standard input, card named") << "apply - --dry-run --interface eth1" << "apply - table dry-run card:eth1";
        QTest::newRow("unknown command") << "frob" << "2 unknown command \"frob\"; see tarnvale-cli --help";
        QTest::newRow("an argument missing") << "set-ip SN1" << "2 set-ip takes 2 arguments, not 1; see tarnvale-cli --help";
        QTest::newRow("option of another command") << "list --dry-run" << "2 --dry-run is not an option of list";
        QTest::newRow("empty card name") << "list --interface=" << "2 --interface needs the name of a network card";
        QTest::newRow("plan and password both standard input") << "apply - --password-file -" << "2 the plan and the password file cannot both be standard input";
        // clang-format on
    }

    void arguments()
    {
        QFETCH(QString, args);
        QFETCH(QString, result);
        Invocation i;
        const Outcome outcome = parseArguments(("tarnvale-cli " + args).split(' '), &i);
        QStringList what = QStringList{QStringList{"list", "set-ip", "activate", "apply"}.at(int(i.command))}
                           + i.arguments + QStringList{QStringList{"table", "csv", "json"}.at(int(i.format))};
        for (const auto &[set, name] : {std::pair{i.wide, "wide"}, std::pair{i.dryRun, "dry-run"},
                                        std::pair{i.verbose, "verbose"}, std::pair{i.strict, "strict"},
                                        std::pair{i.version, "version"}})
            what << (set ? name : "");
        what << (i.passwordFile.isEmpty() ? "" : "password:" + i.passwordFile)
             << (i.interfaceName.isEmpty() ? "" : "card:" + i.interfaceName);
        QCOMPARE(outcome.status ? QString("%1 %2").arg(outcome.status).arg(outcome.text)
                                : what.join(' ').simplified(), result);
    }

    // --help, the manual page and the README list every exit status, and only those.
    void documents_data()
    {
        QTest::addColumn<QString>("document");
        QTest::newRow("--help") << "";
        QTest::newRow("manual page") << "/packaging/tarnvale-cli.1.in";
        QTest::newRow("README") << "/README.md";
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
        QTest::newRow("missing") << "/nonexistent/pw" << QByteArray() << "cannot read /nonexistent/pw: No such file";
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

    void rows_data()
    {
        QTest::addColumn<QString>("newIp");
        QTest::addColumn<QString>("password"); // of the row
        QTest::addColumn<QString>("active");   // of the device; empty: not found
        QTest::addColumn<QString>("row");      // as the table writes it, then the status
        // clang-format off
        QTest::newRow("not found") << "10.0.0.1" << "" << "" << "- 10.0.0.1 - failed not found in the search|5";
        QTest::newRow("already there") << "192.168.1.2" << "" << "active" << "192.168.1.2 192.168.1.2 - skipped already at its new address|0";
        QTest::newRow("broadcast address") << "10.0.0.255" << "" << "active" << "192.168.1.2 10.0.0.255 - failed Invalid IP Address: Please enter a valid IPv4 address. It is the broadcast address of its /24 (the last part is 255).|7";
        QTest::newRow("row password too short") << "10.0.0.1" << "admin" << "active" << "192.168.1.2 10.0.0.1 - failed Password too short (min 6 chars)|2";
        QTest::newRow("active: login") << "10.0.0.1" << "admin123" << "active" << "192.168.1.2 10.0.0.1 login+netcfg planned would log in, then change the address|0";
        QTest::newRow("inactive: activate") << "10.0.0.1" << "" << "inactive" << "192.168.1.2 10.0.0.1 activate+netcfg planned would activate, then change the address|0";
        // clang-format on
    }

    void rows()
    {
        QFETCH(QString, newIp);
        QFETCH(QString, password);
        QFETCH(QString, active);
        QFETCH(QString, row);
        const PlanRow planRow{4, "SN1", newIp, password};
        const QStringList device = {"0", "192.168.1.2", "SN1", "02:00:00:00:00:01", "IPC-2120", "IPC21", active, "6"};
        const RowStep step = decideRow(planRow, active.isEmpty() ? nullptr : &device);
        QCOMPARE(reportRow(planRow, step).join(' ') + "|" + QString::number(step.outcome.status), "4 SN1 " + row);
        QCOMPARE(progressLine(3, 7, planRow, step), QString("[3/7] SN1 %1 -> %2: %3: %4")
                                                        .arg(row.section(' ', 0, 0), newIp, row.section(' ', 3, 3),
                                                             row.section(' ', 4).section('|', 0, 0)));
    }

    void summary_data()
    {
        QTest::addColumn<QString>("results"); // one letter per row: planned, done, skipped, failed
        QTest::addColumn<QString>("line");    // then the status
        // clang-format off
        QTest::newRow("some failed") << "dsdfff" << "2 changed, 1 already at their address, 3 failed|1";
        QTest::newRow("none changed, one failed") << "sf" << "0 changed, 1 already at their address, 1 failed|1";
        QTest::newRow("nothing to do") << "ss" << "Nothing to do: every device of the plan is already at its new address.|0";
        QTest::newRow("dry run") << "ppf" << "2 to change, 0 already at their address, 1 would fail|1";
        QTest::newRow("dry run, all there") << "s" << "0 to change, 1 already at their address, 0 would fail|0";
        // clang-format on
    }

    void summary()
    {
        QFETCH(QString, results);
        QFETCH(QString, line);
        RowCounts counts;
        for (const QChar c : results)
            counts.add(RowResult(QString("pdsf").indexOf(c)));
        const bool dryRun = line.contains("to change");
        QCOMPARE(summaryLine(counts, dryRun) + "|" + QString::number(applyStatus(counts)), line);
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
