// The link core's timings, against simulated devices and datagrams sent by hand on the
// loopback interface, also during a flood; the port held by another program, replies the
// kernel dropped, and cards that must not be searched on (veth pairs in this test's own
// network namespace).

#include "devicelink/linkcore.h"
#include "diagnosis/linkfailure.h"
#include "diagnosis/portholder.h"
#include "tests/common/testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>

#include <atomic>
#include <cstdio>

Q_DECLARE_METATYPE(LinkCore::ReplyTiming)
Q_DECLARE_METATYPE(LinkCore::Error)
Q_DECLARE_METATYPE(PortHolder::Kind)

namespace {

QByteArray wire(const char *json) { return QByteArray::fromStdString(encodeMessage(makeJsonPtr(cJSON_Parse(json)).get())); }

const QByteArray kMatch = wire(R"({"syn":"Ab3dE6gH","data":{"login":"success, the one"}})");

// From a thread of its own, for at most ten seconds: replies to another request alternating
// with junk, and after matchAfterMs (when set) the one reply that carries the tag Ab3dE6gH.
class Flood : public QThread
{
public:
    explicit Flood(int matchAfterMs = -1, QByteArray junk = "junk\r\n") : matchAfterMs(matchAfterMs), junk(std::move(junk))
    {
        start();
    }
    ~Flood() override { stop = true; wait(); }

private:
    void run() override
    {
        QUdpSocket socket;
        const QByteArray other = wire(R"({"syn":"Zz9yX8wV","data":{"login":"success"}})");
        QElapsedTimer clock;
        clock.start();
        for (int n = 0; !stop && clock.elapsed() < 10000; ++n, QThread::usleep(100)) {
            const bool matchDue = matchAfterMs >= 0 && clock.elapsed() >= matchAfterMs;
            socket.writeDatagram(matchDue ? kMatch : n % 2 ? other : junk, QHostAddress::LocalHost, LinkCore::localPort);
            matchAfterMs = matchDue ? -1 : matchAfterMs;
        }
    }

    int matchAfterMs;
    const QByteArray junk;
    std::atomic<bool> stop{false};
};

const QString kPortInUse = QStringLiteral("UDP port 10088 is in use by another program, so the replies of the devices "
                                          "cannot be received. Close that program and search again.");

// What the cards of this namespace have sent, from /proc/net/dev.
qint64 packetsSent()
{
    QFile table(QStringLiteral("/proc/net/dev"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    qint64 sent = 0;
    for (const QByteArray &row : table.readAll().split('\n')) {
        const int colon = row.indexOf(':');
        if (colon > 0 && row.left(colon).trimmed() != "lo")
            sent += row.mid(colon + 1).simplified().split(' ').value(9).toLongLong();
    }
    return sent;
}

// The other program on the port, when this test runs itself with --hold-port: it binds the
// port alone as the command line does (twice: it can search again while it holds the port),
// says so, and holds it until its input closes.
int holdPort(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    LinkCore core;
    core.setPortSharing(LinkCore::PortSharing::Exclusive);
    if (!core.open(QStringLiteral("lo")) || !core.open(QStringLiteral("lo")))
        return 1;
    std::puts("holding");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

class TestLinkCore : public QObject
{
    Q_OBJECT

private slots:
    // The socket on the port, from a row of /proc/net/udp or (after "fd ") a descriptor's link.
    // clang-format off
    void socketInodes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<quint64>("inode");
        const QByteArray tail = " 07 00000000:00000000 00:00000000 00000000  1000        0 4711 2 0000000000000000 0";
        QTest::newRow("another port") << "  12: 00000000:2766 00000000:0000" + tail << quint64(0);
        QTest::newRow("the port as the remote one") << "  12: 0100007F:9C40 0100007F:2768" + tail << quint64(0);
        QTest::newRow("row cut short") << QByteArray("  12: 00000000:2768 00000000:0000 07") << quint64(0);
        QTest::newRow("pipe") << QByteArray("fd pipe:[4711]") << quint64(0);
        QTest::newRow("link cut short") << QByteArray("fd socket:[4711") << quint64(0);
    }
    // clang-format on

    void socketInodes()
    {
        QFETCH(QByteArray, text);
        QFETCH(quint64, inode);
        QCOMPARE(text.startsWith("fd ") ? socketInodeOfLink(text.mid(3)) : socketInodeOnPort(text, 10088), inode);
    }

    void programs_data()
    {
        QTest::addColumn<QByteArray>("exe");
        QTest::addColumn<QByteArray>("comm");
        QTest::addColumn<QString>("program");
        QTest::addColumn<PortHolder::Kind>("kind");
        using Kind = PortHolder::Kind;
        QTest::newRow("window, its exe not readable") << QByteArray() << QByteArray("tarnvale-manage\n") << "tarnvale-manage" << Kind::Window;
        QTest::newRow("command line, updated meanwhile") << QByteArray("/usr/bin/tarnvale-cli (deleted)") << QByteArray("tarnvale-cli\n") << "tarnvale-cli" << Kind::CommandLine;
        QTest::newRow("nothing readable") << QByteArray() << QByteArray() << "" << Kind::Unknown;
        QTest::newRow("Windows: the command line's file") << QByteArray() << QByteArray("tarnvale-cli.exe") << "tarnvale-cli.exe" << Kind::CommandLine;
        QTest::newRow("Windows: another program") << QByteArray() << QByteArray("svchost.exe") << "svchost.exe" << Kind::Other;
    }

    void programs()
    {
        QFETCH(QByteArray, exe);
        QFETCH(QByteArray, comm);
        QFETCH(QString, program);
        QFETCH(PortHolder::Kind, kind);
        QCOMPARE(programName(exe, comm), program);
        QCOMPARE(programKind(program), kind);
    }

    // The window shares the port, the command line binds it alone: each keeps the other out
    // and is told who holds it (a copy of this test named as the command line, then this very
    // test), and each can search again.
    void onePortOneProgram()
    {
        QTemporaryDir dir;
        const QString commandLine = dir.filePath(QStringLiteral("tarnvale-cli"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), commandLine));
        QProcess holder;
        holder.start(commandLine, {QStringLiteral("--hold-port")});
        QVERIFY(holder.waitForReadyRead(5000)); // it says so only once it holds the port
        LinkCore window;
        QVERIFY(!window.open(QStringLiteral("lo")));
        QCOMPARE(linkFailureText(window.status()), kPortInUse + QStringLiteral(" It is held by tarnvale-cli (the command line), process %1.")
                                                             .arg(holder.processId()));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(5000));

        QVERIFY(window.open(QStringLiteral("lo")));
        LinkCore second;
        second.setPortSharing(LinkCore::PortSharing::Exclusive);
        QVERIFY(!second.open(QStringLiteral("lo")));
        QCOMPARE(linkFailureText(second.status()), kPortInUse + QStringLiteral(" It is held by tst_linkcore, process %1.")
                                                             .arg(QCoreApplication::applicationPid()));
        QUdpSocket *socket = window.socket();
        QVERIFY(!window.open(QStringLiteral("no-such-card")));
        QCOMPARE(window.socket(), socket); // the previous socket stays in use
        QCOMPARE(socket->state(), QAbstractSocket::BoundState);
    }

    // Two cards: vchosen without IPv4, vother with an address and the default route. A search
    // that cannot go out on the chosen card does not go out at all.
    void cardChecks_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<bool>("noMemberships");
        QTest::addColumn<LinkCore::Error>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such card") << "vnone" << false << LinkCore::Error::CardGone
                                      << "The network card \"vnone\" does not exist (any more), so nothing was sent.";
        QTest::newRow("card without IPv4") << "vchosen" << false << LinkCore::Error::CardNoIpv4
                                           << "The network card \"vchosen\" has no IPv4 address, so nothing was sent.";
        QTest::newRow("group cannot be joined") << "vother" << true << LinkCore::Error::JoinFailed
                                                << "The multicast group 239.0.0.100 cannot be used on the network card "
                                                   "\"vother\" (No buffer space available), so nothing was sent.";
    }

    void cardChecks()
    {
        QFETCH(QString, card);
        QFETCH(bool, noMemberships);
        QFETCH(LinkCore::Error, error);
        QFETCH(QString, message);
        static const bool cardsMade =
            runShell("echo 1 >/proc/sys/net/ipv6/conf/default/disable_ipv6"
                     " && ip link add vchosen type veth peer name vchosen-p && ip link add vother type veth peer name vother-p"
                     " && for c in vchosen vchosen-p vother vother-p; do ip link set $c up || exit 1; done"
                     " && ip addr add 10.99.0.1/24 dev vother && ip route add default via 10.99.0.2 dev vother");
        QVERIFY(cardsMade);
        const char *limit = "/proc/sys/net/ipv4/igmp_max_memberships";
        const auto restore = qScopeGuard([limit] { runShell(QStringLiteral("echo 20 >%1").arg(limit)); });
        if (noMemberships)
            QVERIFY(runShell(QStringLiteral("echo 0 >%1").arg(limit)));
        const qint64 sentBefore = packetsSent();
        LinkCore core;
        const LinkCore::Result result = core.search(card);
        QCOMPARE(packetsSent(), sentBefore);
        QCOMPARE(result.status.error, error);
        QCOMPARE(linkFailureText(result.status), message);
        QVERIFY(!core.socket());
    }

    // The first reply comes 1000 ms after the request; gathering goes on 5000 ms from then. A
    // verification round ends as soon as it has what it looks for, and so does a flooded search.
    void searchGathersFiveSecondsFromTheFirstReply()
    {
        QVector<SimDevice> fleet = {simDevice("192.168.1.10", "SN-A"), simDevice("192.168.1.11", "SN-B", ""),
                                    simDevice("192.168.1.12", "SN-C"), simDevice("192.168.1.13", "SN-D"),
                                    simDevice("192.168.1.10", "SN-E"), simDevice("192.168.1.15", "SN-F")};
        const int delaysMs[] = {1000, 1500, 1100, 1100, 1200, 7500};
        for (int i = 0; i < fleet.size(); ++i)
            fleet[i].replyDelayMs = delaysMs[i];
        fleet[2].fault = SimDevice::Fault::Garbage;
        fleet[3].fault = SimDevice::Fault::WrongSyn;
        DeviceSimulatorThread sim;
        QVERIFY(sim.start(fleet));
        LinkCore core;
        const qint64 start = nowMs();
        const LinkCore::Result result = core.search(QStringLiteral("lo"));
        QVERIFY_DURATION(nowMs() - start, 6000, 7000);
        // Not listed: garbage, another tag, SN-F at 7500 ms. SN-E shares SN-A's address.
        QStringList listed;
        for (const cJSON *device = result.json ? result.json->child : nullptr; device; device = device->next)
            listed << QString::fromUtf8(stringMember(device, "sn", "?"));
        QCOMPARE(listed, (QStringList{"SN-A", "SN-E", "SN-B"})); // in arrival order

        const qint64 again = nowMs();
        const auto twoFound = [](const cJSON *devices) { return cJSON_GetArraySize(devices) == 2; };
        QCOMPARE(cJSON_GetArraySize(core.search(QStringLiteral("lo"), twoFound).json.get()), 2);
        QVERIFY_DURATION(nowMs() - again, 1200, 1500); // SN-E's reply

        // 300 replies into the kernel's least buffer: what it dropped and what was listed make up every reply.
        QVERIFY(sim.start(DeviceSimulator::makeFleet(300)));
        core.setReceiveBufferRequest(1);
        const LinkCore::Result flooded = core.search(QStringLiteral("lo"), [&core](const cJSON *devices) {
            return cJSON_GetArraySize(devices) + core.droppedDatagrams() >= 300;
        });
        QCOMPARE(cJSON_GetArraySize(flooded.json.get()) + flooded.dropped, 300);
    }

    // A reply already waiting is read at once and taken at the end of the first 200 ms step,
    // or at once by the command line.
    void replyTakenAtTheEndOfItsStep_data()
    {
        QTest::addColumn<LinkCore::ReplyTiming>("timing");
        QTest::addColumn<int>("lowest");
        QTest::addColumn<int>("highest");
        QTest::newRow("window") << LinkCore::ReplyTiming::AtStepEnd << 8 * 200 << 8 * 233;
        QTest::newRow("command line") << LinkCore::ReplyTiming::AtOnce << 0 << 8 * 20;
    }

    void replyTakenAtTheEndOfItsStep()
    {
        QFETCH(LinkCore::ReplyTiming, timing);
        QFETCH(int, lowest);
        QFETCH(int, highest);
        LinkCore core;
        core.setReplyTiming(timing);
        QVERIFY(core.open(QStringLiteral("lo")));
        QUdpSocket device;
        qint64 total = 0;
        for (int i = 0; i < 8; ++i) {
            device.writeDatagram(kMatch, QHostAddress::LocalHost, LinkCore::localPort);
            QVERIFY(core.socket()->waitForReadyRead(1000));
            const qint64 start = nowMs();
            QVERIFY(core.pollReply("Ab3dE6gH"));
            total += nowMs() - start;
        }
        QVERIFY_DURATION(total, lowest, highest);
    }

    // Datagrams that take longer to read than to send: a search's gathering still ends on time,
    // and so does a wait for a reply.
    void deadlinesHoldDuringAFlood()
    {
        LinkCore core;
        {
            Flood flood(-1, QByteArray(60000, 'A') + "\r\n");
            const qint64 start = nowMs();
            QVERIFY(core.search(QStringLiteral("lo")).status.ok());
            QVERIFY_DURATION(nowMs() - start, 5000, 6000);
        }
        QVERIFY(core.open(QStringLiteral("lo")));
        LogCapture log;
        qint64 took = 0;
        {
            Flood flood;
            const qint64 start = nowMs();
            QVERIFY(!core.pollReply("Ab3dE6gH"));
            took = nowMs() - start;
        }
        QVERIFY_DURATION(took, 3000, 3750);
        const QStringList lines = log.lines(QtDebugMsg); // the first ten, then one summary
        const int mismatched = lines.count("syn not matched!"), withoutSyn = lines.count("SYN is NULL!");
        QVERIFY2(mismatched > 0 && withoutSyn > 0 && mismatched + withoutSyn == 10, qPrintable(lines.join('|'))); // both kinds told
        QCOMPARE(lines.size(), 11);
        QVERIFY2(QRegularExpression("^\\.\\.\\. and \\d+ more lines like these$").match(lines.last()).hasMatch(), qPrintable(lines.last()));

        Flood withTheMatch(300); // the one matching reply amid a flood is found
        const JsonPtr reply = core.pollReply("Ab3dE6gH");
        QCOMPARE(stringMember(cJSON_GetObjectItem(reply.get(), "data"), "login", ""), "success, the one");
    }
};

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--hold-port") == 0)
        return holdPort(argc, argv);
    QCoreApplication app(argc, argv);
    TestLinkCore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_linkcore.moc"
