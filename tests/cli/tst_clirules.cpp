// The command line's decisions, without network or window: arguments, plans, passwords,
// rows of apply, tables and formats, checked output, and the documents' exit statuses.

#include "applyrows.h"
#include "commandline.h"
#include "deviceoutput.h"
#include "inputfile.h"
#include "output.h"
#include "password.h"
#include "plan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/prctl.h>
#include <sys/resource.h>

namespace {

// "set-ip SN1 10.0.0.1 csv wide dry-run verbose strict password-file=- interface=lo"
QString describe(const Invocation &i)
{
    static const char *commands[] = {"list", "set-ip", "activate", "apply"};
    static const char *formats[] = {"table", "csv", "json"};
    QStringList words = QStringList{commands[int(i.command)]} + i.arguments;
    words << formats[int(i.format)];
    const QVector<QPair<bool, const char *>> flags = {{i.wide, "wide"},       {i.dryRun, "dry-run"},
                                                     {i.verbose, "verbose"}, {i.strict, "strict"},
                                                     {i.help, "help"},       {i.version, "version"}};
    for (const auto &flag : flags)
        if (flag.first)
            words << flag.second;
    if (!i.passwordFile.isEmpty())
        words << "password-file=" + i.passwordFile;
    if (!i.interfaceName.isEmpty())
        words << "interface=" + i.interfaceName;
    return words.join(' ');
}

// "2:SN1>10.0.0.1+secret1 3:SN2>10.0.0.2"
QString describe(const QVector<PlanRow> &rows)
{
    QStringList words;
    for (const PlanRow &row : rows)
        words << QString("%1:%2>%3").arg(row.line).arg(row.sn, row.newIp)
                     + (row.password.isEmpty() ? QString() : "+" + row.password);
    return words.join(' ');
}

// The eight members of a device, as deviceRows() gives them.
QStringList device(const QString &ip, const QString &sn, const QString &active = "active")
{
    return {"0", ip, sn, "02:00:00:00:00:01", "IPC-2120", "IPC21", active, "6.0.231024"};
}

// The exit statuses a document lists, in its order.
QList<int> listedStatuses(const QString &document)
{
    const QString root = qEnvironmentVariable("ORV_SOURCE_DIR", ORV_SOURCE_DIR);
    QString text;
    QRegularExpression item;
    if (document == "help") {
        text = helpText().section("Exit status:\n", 1);
        item.setPattern("^  (\\d+) ");
    } else {
        QFile file(root + (document == "manual page" ? "/packaging/tarnvale-cli.1.in" : "/README.md"));
        if (!file.open(QIODevice::ReadOnly))
            return {-1};
        text = QString::fromUtf8(file.readAll());
        if (document == "manual page") {
            text = text.section(".SH EXIT STATUS\n", 1).section("\n.SH ", 0, 0);
            item.setPattern("^\\.B (\\d+)$");
        } else {
            text = text.section("\nExit statuses", 1).section("\n\n", 1, 1);
            item.setPattern("^- (\\d+) ");
        }
    }
    item.setPatternOptions(QRegularExpression::MultilineOption);
    QList<int> statuses;
    for (auto match = item.globalMatch(text); match.hasNext();)
        statuses << match.next().captured(1).toInt();
    return statuses;
}

} // namespace

class TestCliRules : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("result"); // the invocation, or a part of the error

        // clang-format off
        QTest::newRow("-v is verbose, not the version") << QStringList{"list", "-v"} << 0 << "list table verbose";
        QTest::newRow("-V is the version") << QStringList{"-V"} << 0 << "list table version";
        QTest::newRow("--all-replies accepted, json") << QStringList{"list", "--all-replies", "--format", "json"} << 0 << "list json";
        QTest::newRow("wide csv") << QStringList{"list", "--wide", "--format=csv"} << 0 << "list csv wide";
        QTest::newRow("password from standard input, strict") << QStringList{"set-ip", "SN1", "10.0.0.1", "--strict", "--password-file", "-"} << 0 << "set-ip SN1 10.0.0.1 table strict password-file=-";
        QTest::newRow("plan from standard input, card named") << QStringList{"apply", "-", "--dry-run", "--interface", "eth1"} << 0 << "apply - table dry-run interface=eth1";
        QTest::newRow("no command") << QStringList{} << 2 << "no command";
        QTest::newRow("unknown command") << QStringList{"frob"} << 2 << "unknown command \"frob\"";
        QTest::newRow("an argument missing") << QStringList{"set-ip", "SN1"} << 2 << "set-ip takes 2 arguments, not 1";
        QTest::newRow("option of another command") << QStringList{"list", "--dry-run"} << 2 << "--dry-run is not an option of list";
        QTest::newRow("password as argument") << QStringList{"set-ip", "SN1", "10.0.0.1", "--password", "x"} << 2 << "Passwords are not taken as arguments";
        QTest::newRow("unknown format") << QStringList{"list", "--format", "xml"} << 2 << "--format takes table, csv or json, not \"xml\"";
        QTest::newRow("empty card name") << QStringList{"list", "--interface="} << 2 << "--interface needs the name";
        QTest::newRow("plan and password both standard input") << QStringList{"apply", "-", "--password-file", "-"} << 2 << "cannot both be standard input";
        // clang-format on
    }

    void arguments()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, result);
        Invocation invocation;
        const Outcome outcome = parseArguments(QStringList{"tarnvale-cli"} + args, &invocation);
        QCOMPARE(int(outcome.status), status);
        if (status == 0)
            QCOMPARE(describe(invocation), result);
        else
            QVERIFY2(outcome.text.contains(result), qPrintable(outcome.text));
    }

    // --help, the manual page and the README list every exit status, and only those.
    void documentedStatuses_data()
    {
        QTest::addColumn<QString>("document");
        QTest::newRow("--help") << "help";
        QTest::newRow("manual page") << "manual page";
        QTest::newRow("README") << "README";
    }

    void documentedStatuses()
    {
        QFETCH(QString, document);
        QList<int> expected;
        for (const ExitStatusText &status : kExitStatusTexts)
            expected << status.status;
        QCOMPARE(listedStatuses(document), expected);
    }

    void helpFromOptions()
    {
        const QString help = helpText();
        for (const char *line : {"  -v, --verbose         Also print", "  -V, --version         Show the version.",
                                 "  --password-file FILE  The password", "  --strict              Treat what",
                                 "  apply PLAN [--dry-run] [--wide] [--password-file FILE]\n"})
            QVERIFY2(help.contains(line), line);
        for (const QString &line : help.split('\n'))
            QVERIFY2(line.size() <= 79, qPrintable(line));
    }

    void plan_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line"); // of the error; -1: read without error
        QTest::addColumn<QString>("result"); // the rows, or a part of the error

        QByteArray atCap = "SN1,10.0.0.1\n#";
        atCap += QByteArray(kMaxPlanBytes - atCap.size(), 'x');
        // clang-format off
        QTest::newRow("header in capitals, password") << QByteArray("SN,New_IP,Password\nSN1,10.0.0.1,secret1\n") << -1 << "2:SN1>10.0.0.1+secret1";
        QTest::newRow("no header, CR LF, comment, blanks") << QByteArray("# site A\r\n\r\nSN1 , 10.0.0.1 \r\nSN2,10.0.0.2,\r\n") << -1 << "3:SN1>10.0.0.1 4:SN2>10.0.0.2";
        QTest::newRow("byte order mark, quoted comma") << QByteArray("\xef\xbb\xbfsn,new_ip,password\n\"SN1\",10.0.0.1,\"pa,ss\"\n") << -1 << "2:SN1>10.0.0.1+pa,ss";
        QTest::newRow("exactly at the size cap") << atCap << -1 << "1:SN1>10.0.0.1";
        QTest::newRow("one byte over the cap") << atCap + "x" << 0 << "larger than 1048576 bytes";
        QTest::newRow("header with password second") << QByteArray("sn,password,new_ip\nSN1,secret1,10.0.0.1\n") << 1 << "the header must be sn,new_ip or sn,new_ip,password";
        QTest::newRow("header with a fourth column") << QByteArray("# plan\nsn,new_ip,password,note\nSN1,10.0.0.1,secret1,x\n") << 2 << "the header must be";
        QTest::newRow("header not starting with sn") << QByteArray("new_ip,sn\n10.0.0.1,SN1\n") << 1 << "the header must be";
        QTest::newRow("password in the address column") << QByteArray("SN1,10.0.0.1\nSN2,secret1\n") << 2 << "the second cell is not an IPv4 address";
        QTest::newRow("NUL byte") << QByteArray("SN1,10.0.0.1\nSN2,10.0\0.0.2\n", 27) << 2 << "not text (a NUL byte)";
        QTest::newRow("invalid UTF-8") << QByteArray("SN1,10.0.0.1\nSN\xff,10.0.0.2\n") << 2 << "not UTF-8 text";
        QTest::newRow("UTF-8 cut at the end") << QByteArray("SN1,10.0.0.1\nSN\xe6\x91") << 2 << "not UTF-8 text";
        QTest::newRow("quote left open") << QByteArray("SN1,10.0.0.1\nSN2,\"10.0.0.2\n") << 2 << "a quoted cell is not closed";
        QTest::newRow("four cells") << QByteArray("SN1,10.0.0.1,secret1,x\n") << 1 << "expected sn,new_ip[,password], found 4 cells";
        QTest::newRow("empty serial number") << QByteArray("sn,new_ip\n ,10.0.0.1\n") << 2 << "empty serial number";
        QTest::newRow("device twice") << QByteArray("SN1,10.0.0.1\nSN1,10.0.0.2\n") << 2 << "serial number SN1 is already planned on line 1";
        QTest::newRow("address twice") << QByteArray("SN1,10.0.0.1\nSN2, 10.0.0.1\n") << 2 << "address 10.0.0.1 is already planned on line 1";
        QTest::newRow("only a header") << QByteArray("sn,new_ip\n") << 0 << "the plan holds no device";
        // clang-format on
    }

    void plan()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, result);
        QVector<PlanRow> rows;
        int errorLine = -1;
        QString error;
        const bool read = parsePlan(text, &rows, &errorLine, &error);
        QCOMPARE(read ? -1 : errorLine, line);
        QCOMPARE(read ? describe(rows) : error.left(result.size()), result);
        QVERIFY2(!error.contains("secret1"), qPrintable(error));
    }

    void readInput_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("size"); // read; -1: refused
        QTest::addColumn<unsigned>("mode");
        QTest::newRow("file others can read") << "FILE0644" << 100 << 9 << 0644u;
        QTest::newRow("file for its owner") << "FILE0600" << 100 << 9 << 0600u;
        QTest::newRow("/dev/zero, bounded") << "/dev/zero" << 70000 << 70000 << 0u;
        QTest::newRow("missing") << "/nonexistent/plan.csv" << 100 << -1 << 0u;
        QTest::newRow("a folder") << "/" << 100 << -1 << 0u;
    }

    void readInput()
    {
        QFETCH(QString, path);
        QFETCH(int, limit);
        QFETCH(int, size);
        QFETCH(unsigned, mode);
        QTemporaryDir dir;
        if (path.startsWith("FILE")) {
            QFile file(dir.filePath(path));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("admin123\n") == 9);
            file.close();
            QVERIFY(QFile::setPermissions(file.fileName(), path.endsWith("44") ? QFile::ReadOwner | QFile::WriteOwner
                                                                                     | QFile::ReadGroup | QFile::ReadOther
                                                                               : QFile::ReadOwner | QFile::WriteOwner));
            path = file.fileName();
        }
        QByteArray bytes;
        QString error;
        unsigned found = 1;
        QCOMPARE(::readInput(path, limit, &bytes, &error, &found) ? bytes.size() : -1, size);
        if (size >= 0)
            QCOMPARE(found, mode);
        else
            QVERIFY2(error.startsWith("cannot read " + path + ": "), qPrintable(error));
    }

    void passwordFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("password");
        QTest::newRow("LF") << QByteArray("admin123\nsecond\n") << "admin123";
        QTest::newRow("CR LF") << QByteArray("admin123\r\nsecond\r\n") << "admin123";
        QTest::newRow("no line end") << QByteArray("admin123") << "admin123";
        QTest::newRow("CR inside kept") << QByteArray("ad\rmin123\n") << "ad\rmin123";
        QTest::newRow("empty first line") << QByteArray("\nadmin123\n") << "";
    }

    void passwordFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, password);
        QCOMPARE(passwordFromFile(bytes), password);
    }

    void exposedModes_data()
    {
        QTest::addColumn<unsigned>("mode");
        QTest::addColumn<bool>("exposed");
        QTest::newRow("0600") << 0600u << false;
        QTest::newRow("0400") << 0400u << false;
        QTest::newRow("0640 group") << 0640u << true;
        QTest::newRow("0604 others") << 0604u << true;
        QTest::newRow("0622 written, not read") << 0622u << false;
    }

    void exposedModes()
    {
        QFETCH(unsigned, mode);
        QFETCH(bool, exposed);
        QCOMPARE(readableByOthers(mode), exposed);
    }

    void noCoreFile()
    {
        keepSecretsOutOfCoreFiles();
        rlimit core {};
        QVERIFY(getrlimit(RLIMIT_CORE, &core) == 0);
        QCOMPARE(core.rlim_cur, rlim_t(0));
        QCOMPARE(prctl(PR_GET_DUMPABLE), 0);
    }

    void rows_data()
    {
        QTest::addColumn<QString>("newIp");
        QTest::addColumn<QString>("password"); // of the row
        QTest::addColumn<QStringList>("device"); // empty: not found
        QTest::addColumn<QString>("row");        // as the table writes it
        QTest::addColumn<int>("status");

        const QStringList active = device("192.168.1.2", "SN1");
        // clang-format off
        QTest::newRow("not found") << "10.0.0.1" << "" << QStringList{} << "1 SN1 - 10.0.0.1 - failed not found in the search" << 5;
        QTest::newRow("already there") << "192.168.1.2" << "" << active << "1 SN1 192.168.1.2 192.168.1.2 - skipped already at its new address" << 0;
        QTest::newRow("broadcast address") << "10.0.0.255" << "" << active << "1 SN1 192.168.1.2 10.0.0.255 - failed Invalid IP Address: Please enter a valid IPv4 address. It is the broadcast address of its /24 (the last part is 255)." << 7;
        QTest::newRow("row password too short") << "10.0.0.1" << "admin" << active << "1 SN1 192.168.1.2 10.0.0.1 - failed Password too short (min 6 chars)" << 2;
        QTest::newRow("active: login") << "10.0.0.1" << "admin123" << active << "1 SN1 192.168.1.2 10.0.0.1 login+netcfg planned would log in, then change the address" << 0;
        QTest::newRow("Active in capitals: login") << "10.0.0.1" << "" << device("192.168.1.2", "SN1", " ACTIVE ") << "1 SN1 192.168.1.2 10.0.0.1 login+netcfg planned would log in, then change the address" << 0;
        QTest::newRow("inactive: activate") << "10.0.0.1" << "" << device("192.168.1.2", "SN1", "inactive") << "1 SN1 192.168.1.2 10.0.0.1 activate+netcfg planned would activate, then change the address" << 0;
        // clang-format on
    }

    void rows()
    {
        QFETCH(QString, newIp);
        QFETCH(QString, password);
        QFETCH(QStringList, device);
        QFETCH(QString, row);
        QFETCH(int, status);
        const PlanRow planRow{1, "SN1", newIp, password};
        const RowStep step = decideRow(planRow, device.isEmpty() ? nullptr : &device);
        QCOMPARE(reportRow(planRow, step).join(' '), row);
        QCOMPARE(int(step.outcome.status), status);
        QCOMPARE(progressLine(3, 7, planRow, step),
                 QString("[3/7] SN1 %1 -> %2: %3: %4")
                     .arg(row.section(' ', 2, 2), newIp, row.section(' ', 5, 5), row.section(' ', 6)));
    }

    void outcomes_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("activated");
        QTest::addColumn<int>("linkError");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        const int ok = int(LinkCore::Error::None);
        // clang-format off
        QTest::newRow("changed") << int(ChangeOutcome::Changed) << false << ok << 0 << "IP changed successfully,device rebooting.....";
        QTest::newRow("no reply") << int(ChangeOutcome::NoReply) << false << int(LinkCore::Error::Timeout) << 5 << "device not open (Timeout,Please try again!)";
        QTest::newRow("no reply after activation") << int(ChangeOutcome::NoReply) << true << int(LinkCore::Error::Timeout) << 5 << "activated; device not open (Timeout,Please try again!)";
        QTest::newRow("request not sent") << int(ChangeOutcome::NoReply) << false << int(LinkCore::Error::SendFailed) << 4 << "Network error: ";
        QTest::newRow("not activated") << int(ChangeOutcome::NotActivated) << false << ok << 8 << "device is not activated";
        QTest::newRow("already activated") << int(ChangeOutcome::AlreadyActivated) << false << ok << 8 << "device is already actived";
        QTest::newRow("no data field") << int(ChangeOutcome::NoDataField) << false << ok << 8 << "device returned invalid data (no data field)";
        QTest::newRow("no login field") << int(ChangeOutcome::NoLoginField) << false << ok << 8 << "device returned invalid data (no login field)";
        QTest::newRow("password refused") << int(ChangeOutcome::PasswordRefused) << false << ok << 6 << "Password error, login device failed";
        QTest::newRow("address refused by the device") << int(ChangeOutcome::AddressNotAccepted) << false << ok << 7 << "Device did not accept IP change.";
        QTest::newRow("address refused after activation") << int(ChangeOutcome::AddressNotAccepted) << true << ok << 7 << "activated; Device did not accept IP change.";
        // clang-format on
    }

    void outcomes()
    {
        QFETCH(int, outcome);
        QFETCH(bool, activated);
        QFETCH(int, linkError);
        QFETCH(int, status);
        QFETCH(QString, text);
        ChangeResult result{ChangeOutcome(outcome), {}, activated};
        result.link.error = LinkCore::Error(linkError);
        const Outcome mapped = outcomeOf(result);
        QCOMPARE(int(mapped.status), status);
        QCOMPARE(mapped.text.left(text.size()), text);
        const RowStep row = finishRow(RowStep{}, mapped);
        QCOMPARE(resultName(row.result), status == 0 ? "done" : "failed");
    }

    void summary_data()
    {
        QTest::addColumn<QString>("results"); // one letter per row: planned, done, skipped, failed
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("status");
        QTest::newRow("some failed") << "dsdfff" << false << "2 changed, 1 already at their address, 3 failed" << 1;
        QTest::newRow("all done or there") << "dds" << false << "2 changed, 1 already at their address, 0 failed" << 0;
        QTest::newRow("nothing to do") << "ss" << false
                                       << "Nothing to do: every device of the plan is already at its new address." << 0;
        QTest::newRow("dry run") << "ppf" << true << "2 to change, 0 already at their address, 1 would fail" << 1;
        QTest::newRow("dry run, all there") << "s" << true << "0 to change, 1 already at their address, 0 would fail"
                                            << 0;
    }

    void summary()
    {
        QFETCH(QString, results);
        QFETCH(bool, dryRun);
        QFETCH(QString, line);
        QFETCH(int, status);
        RowCounts counts;
        for (const QChar c : results)
            counts.add(RowResult(QString("pdsf").indexOf(c)));
        QCOMPARE(summaryLine(counts, dryRun), line);
        QCOMPARE(int(applyStatus(counts)), status);
    }

    void table_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown");

        const QString long45k(45000, 'M');
        const QString smile = QString::fromUtf8("\xf0\x9f\x98\x80");
        // clang-format off
        QTest::newRow("45 KB cut") << long45k << 40 << QString(39, 'M') + QChar(0x2026);
        QTest::newRow("--wide: whole") << long45k << 0 << long45k;
        QTest::newRow("40 characters kept") << QString(40, 'a') << 40 << QString(40, 'a');
        QTest::newRow("escaped, then cut") << QString(36, 'a') + "\x1b[2J" << 40 << QString(36, 'a') + "\\x1" + QChar(0x2026);
        QTest::newRow("no half character") << QString(38, 'a') + smile + "bb" << 40 << QString(38, 'a') + QChar(0x2026);
        // clang-format on
    }

    // The cell in the first column, and in the last, which pads nothing and stays whole.
    void table()
    {
        QFETCH(QString, cell);
        QFETCH(int, width);
        QFETCH(QString, shown);
        const QStringList lines = textTable({{"A", "B"}, {cell, "1"}, {"x", cell}}, width).split('\n');
        QCOMPARE(lines.at(1), shown + "  1");
        QCOMPARE(lines.at(2), "x" + QString(shown.size() + 1, ' ') + printable(cell));
        QCOMPARE(lines.at(0).trimmed(), "A" + QString(shown.size() + 1, ' ') + "B");
    }

    void formats()
    {
        const cJSON *none = nullptr;
        QVERIFY(deviceRows(none).isEmpty());
        const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> array(
            cJSON_Parse(R"([{"ip":"192.168.1.10","sn":"B"},{"ip":"not an address","sn":"C"},{"ip":"192.168.1.9","sn":"Z"},
                            {"ip":"192.168.1.10","sn":"A","model":"=1+2"},{"ip":"10.0.0.1","sn":"D"}])"),
            cJSON_Delete);
        const QVector<QStringList> rows = deviceRows(array.get());
        QStringList order;
        for (const QStringList &row : rows)
            order << row.at(2);
        QCOMPARE(order, QStringList({"D", "Z", "A", "B", "C"})); // numerically, then by serial number

        QStringList table = textTable(deviceTable(rows)).split('\n');
        QCOMPARE(table.at(0).simplified(), "IP SN MAC MODEL VERSION ACTIVE AT IP");
        QCOMPARE(table.at(3).simplified(), "192.168.1.10 A =1+2 2");
        QCOMPARE(table.at(1).right(3), "  1");

        const QList<QByteArray> csv = deviceCsv(rows).split('\n');
        QCOMPARE(csv.at(0), "pid,ip,sn,mac,model,baseModel,active,V,devicesAtIp\r");
        QCOMPARE(csv.at(3), ",192.168.1.10,A,,'=1+2,,,,2\r");

        const QJsonArray json = QJsonDocument::fromJson(deviceJson(rows)).array();
        QCOMPARE(json.size(), 5);
        QCOMPARE(json.at(2).toObject().keys().size(), 9);
        QCOMPARE(json.at(2)["devicesAtIp"].toInt(), 2);
        QCOMPARE(json.at(0)["devicesAtIp"].toInt(), 1);
        QCOMPARE(json.at(2)["model"].toString(), "=1+2");
    }

    void output_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("flaggedBefore"); // another writer failed on the stream first
        QTest::addColumn<QString>("error");
        QTest::newRow("file") << "FILE" << false << "";
        QTest::newRow("full disk") << "/dev/full" << false << "cannot write to standard output: No space left on device";
        QTest::newRow("failed before") << "/dev/full" << true << "cannot write to standard output: ";
    }

    void output()
    {
        QFETCH(QString, path);
        QFETCH(bool, flaggedBefore);
        QFETCH(QString, error);
        QTemporaryDir dir;
        FILE *stream = std::fopen(path == "FILE" ? qPrintable(dir.filePath("out")) : qPrintable(path), "w");
        QVERIFY(stream);
        OutputStream out(stream, "standard output");
        if (flaggedBefore) {
            std::fputs("a log line", stream); // as the message handler writes, unchecked
            std::fflush(stream);
        } else {
            QCOMPARE(out.write(QString("x").repeated(100)), error.isEmpty());
            QCOMPARE(out.write(QByteArray("y")), error.isEmpty()); // nothing more after a failure
        }
        QCOMPARE(out.finish(true), error.isEmpty());
        QCOMPARE(out.ok() ? QString() : out.errorText().left(error.size()), error);
    }
};

QTEST_GUILESS_MAIN(TestCliRules)
#include "tst_clirules.moc"
