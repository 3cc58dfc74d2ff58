// What each system does behind the interfaces that have a source file per system, held to the
// same behaviour on Linux and on Windows (the Windows build runs this under Wine): the report's
// file, input files, the port holder, the host probe's connections, the instance's holder and
// the interrupt guard.

#include "app/instanceholder.h"
#include "app/singleinstance.h"
#include "cli/inputfile.h"
#include "cli/interrupt.h"
#include "commissioning/connectionprobe.h"
#include "commissioning/reportfile.h"
#include "diagnosis/portholder.h"

#include <QCoreApplication>
#include <QDir>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#endif

#include <algorithm>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Ctrl+C as the console delivers it, or SIGINT; false where it cannot be sent.
bool interrupt()
{
#ifdef Q_OS_WIN
    // A console of its own: ctest gives the test none.
    AllocConsole();
    return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
#else
    return ::raise(SIGINT) == 0;
#endif
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    // Created once, never over an existing file; appended to; replaced whole, no temporary
    // file left beside it; every failure with the system's own words.
    void reportFile()
    {
        const QString path = dir.filePath("report.csv");
        ReportFile file;
        QVERIFY2(file.create(path, "one\r\n"), qPrintable(file.systemText()));
        QVERIFY(file.append("two\r\n") && file.sync());
        ReportFile second;
        QVERIFY(!second.create(path, "x"));
        QCOMPARE(second.failedStep(), ReportFile::Step::Exists);
        QVERIFY(!second.systemText().isEmpty());
        QCOMPARE(contents(path), QByteArray("one\r\ntwo\r\n"));

        QVERIFY2(file.replace(path, "whole\r\n"), qPrintable(file.systemText()));
        QCOMPARE(contents(path), QByteArray("whole\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.csv"});
        QVERIFY(file.openForAppend(path) && file.append("more\r\n") && file.sync());
        file.close();
        QCOMPARE(contents(path), QByteArray("whole\r\nmore\r\n"));

        QVERIFY(!file.openForAppend(dir.filePath("missing.csv")));
        QCOMPARE(file.failedStep(), ReportFile::Step::Create);
        QVERIFY(!file.replace(dir.filePath("no/such/folder.csv"), "x"));
        QCOMPARE(file.failedStep(), ReportFile::Step::Create);

        QFile open(path);
        QString error;
        QVERIFY(open.open(QIODevice::Append) && open.write("last\r\n") == 6 && open.flush());
        QVERIFY2(syncToDisk(open.handle(), &error), qPrintable(error));
    }

    // Bytes as they are in the file: line ends and a Ctrl+Z kept, at most the limit.
    void readInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QByteArray>("read");
        QTest::newRow("CR LF kept") << QByteArray("sn,new_ip\r\nSN1,10.0.0.2\r\n") << 100 << QByteArray("sn,new_ip\r\nSN1,10.0.0.2\r\n");
        QTest::newRow("Ctrl+Z is no end") << QByteArray("a\x1a" "b\n") << 100 << QByteArray("a\x1a" "b\n");
        QTest::newRow("cut at the limit") << QByteArray(100000, 'x') << 70000 << QByteArray(70000, 'x');
        QTest::newRow("empty") << QByteArray() << 100 << QByteArray();
    }

    void readInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, limit);
        const QString path = dir.filePath("input.csv");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        file.close();
        QByteArray read;
        QString error;
        QVERIFY2(::readInput(path, limit, &read, &error), qPrintable(error));
        QTEST(read, "read");
    }

    // Read or not, no descriptor stays open (counted where there is a /proc).
    void unreadableInput()
    {
        const uint before = QDir(QStringLiteral("/proc/self/fd")).count();
        QByteArray read;
        QString error;
        QVERIFY(!::readInput(dir.path(), 100, &read, &error));
        QCOMPARE(error, "cannot read " + dir.path() + ": Is a directory");
        QVERIFY(!::readInput(dir.filePath("missing"), 100, &read, &error));
        QCOMPARE(error, "cannot read " + dir.filePath("missing") + ": No such file or directory");
        QFile file(dir.filePath("read.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x\n") == 2);
        file.close();
        QVERIFY(::readInput(file.fileName(), 100, &read, &error));
        QCOMPARE(QDir(QStringLiteral("/proc/self/fd")).count(), before);
    }

    // This program's own socket on the port is found, and known for its own.
    void portHolder()
    {
        QVERIFY(findPortHolders(10088).isEmpty());
        QUdpSocket own;
        QVERIFY(own.bind(QHostAddress::AnyIPv4, 10088, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        const QVector<PortHolder> holders = findPortHolders(10088);
        QCOMPARE(holders.size(), 1);
        QVERIFY(holders.first().own);
        QCOMPARE(holders.first().pid, QCoreApplication::applicationPid());
        QVERIFY2(holders.first().program.startsWith("tst_platform"), qPrintable(holders.first().program));
        QCOMPARE(holders.first().kind, PortHolder::Kind::Other);
    }

    // A host that accepts and one that refuses both answer; a network without route does not,
    // and takes no time.
    void connections()
    {
        // 192.0.2.1 must have no route: only where nothing but loopback is up.
        const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
        if (!std::all_of(addresses.cbegin(), addresses.cend(), [](const QHostAddress &a) { return a.isLoopback(); }))
            QSKIP("a card other than loopback is up: run through tests/netns-run");
        QTcpServer host;
        QVERIFY2(host.listen(QHostAddress("127.0.0.1"), 80), qPrintable(host.errorString()));
        const Ipv4 from(0x7f000001);
        QElapsedTimer clock;
        clock.start();
        const QSet<QString> answered = answeredConnections(
            {{"listening", from, Ipv4(0x7f000001)}, {"refusing", from, Ipv4(0x7f000002)},
             {"unreachable", from, Ipv4(0xc0000201)}},
            300);
        QCOMPARE(answered, (QSet<QString>{"listening", "refusing"}));
        QVERIFY(clock.elapsed() < 300);
    }

    // A second start beside this user's own instance is not told of another user.
    void ownInstance()
    {
        SingleInstance first(QStringLiteral("TST_PLATFORM_KEY"), QStringLiteral("TstPlatform"));
        QVERIFY(first.acquire());
        SingleInstance second(QStringLiteral("TST_PLATFORM_KEY"), QStringLiteral("TstPlatform"));
        QVERIFY(!second.acquire());
        const InstanceHolder holder = instanceHolder(second.markerFile());
        QVERIFY2(!holder.known || holder.uid == currentUserId(), qPrintable(holder.user));
        QCOMPARE(otherUserNotice(holder, currentUserId()), QString());
    }

    // The first interrupt asks the run to stop and leaves the program running.
    void interrupted()
    {
        const InterruptGuard guard;
        QVERIFY(!InterruptGuard::requested());
        if (!interrupt())
            QSKIP("no console to send Ctrl+C to");
        QTRY_VERIFY(InterruptGuard::requested());
    }

private:
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
