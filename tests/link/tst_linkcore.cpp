// The link core's timings, against simulated devices and datagrams sent by hand on the
// loopback interface, also during a flood.

#include "linkcore.h"

#include "testsupport.h"

#include <QRegularExpression>
#include <QThread>
#include <QUdpSocket>

#include <atomic>

Q_DECLARE_METATYPE(LinkCore::ReplyTiming)

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

} // namespace

class TestLinkCore : public QObject
{
    Q_OBJECT

private slots:
    void activatedState()
    {
        for (const char *state : {"active", " Active ", "ACTIVE"})
            QVERIFY2(isActivatedState(state), state);
        for (const char *state : {"inactive", "---", "", "activ"})
            QVERIFY2(!isActivatedState(state), state);
    }

    // The first reply comes 1000 ms after the request; gathering goes on 5000 ms from then.
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
    }

    // Datagrams that take longer to read than to send: the gathering still ends on time.
    void gatheringEndsOnTimeDuringAFlood()
    {
        LinkCore core;
        Flood flood(-1, QByteArray(60000, 'A') + "\r\n");
        const qint64 start = nowMs();
        QVERIFY(core.search(QStringLiteral("lo")).status.ok());
        QVERIFY_DURATION(nowMs() - start, 5000, 6000);
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

    void deadlineHoldsDuringAFlood()
    {
        LinkCore core;
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
        QCOMPARE(lines.count("syn not matched!") + lines.count("SYN is NULL!"), 10);
        QCOMPARE(lines.size(), 11);
        QVERIFY2(QRegularExpression("^\\.\\.\\. and \\d+ more lines like these$").match(lines.last()).hasMatch(), qPrintable(lines.last()));
    }

    void matchingReplyFoundAmidAFlood()
    {
        LinkCore core;
        QVERIFY(core.open(QStringLiteral("lo")));
        Flood flood(300);
        const JsonPtr reply = core.pollReply("Ab3dE6gH");
        QCOMPARE(stringMember(cJSON_GetObjectItem(reply.get(), "data"), "login", ""), "success, the one");
    }
};

QTEST_GUILESS_MAIN(TestLinkCore)
#include "tst_linkcore.moc"
