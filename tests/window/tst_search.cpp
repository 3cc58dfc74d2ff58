// Search from the window's button to the filled table, against simulated devices that
// answer from a thread of their own on the loopback interface of the test's namespace.

#include "windowprobe.h"

#include "devicesim.h"
#include "messageboxcloser.h"
#include "orv_conn2device.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

int g_resultLogLines = 0;
QtMessageHandler g_previousHandler = nullptr;

void countResultLines(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg && message.startsWith(QLatin1String("update_searchDevice:")))
        ++g_resultLogLines; // the whole array, too long for the test log
    else
        g_previousHandler(type, context, message);
}

int searchRequests(const DeviceSimulatorThread &simulator)
{
    int count = 0;
    for (const QByteArray &request : simulator.requests()) {
        const QJsonObject data = QJsonDocument::fromJson(request).object().value(QLatin1String("data")).toObject();
        count += data.value(QLatin1String("callcmd")).toString() == QLatin1String("search");
    }
    return count;
}

void selectLoopback(ORV_Window &w)
{
    auto *box = child<QComboBox>(w, "NIC_select_box");
    const int index = box->findText(QStringLiteral("lo"));
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
}

void pressSearch(ORV_Window &w)
{
    click(child(w, "search_button"));
}

bool startSimulator(DeviceSimulatorThread &simulator, const QVector<SimDevice> &fleet)
{
    QString error;
    return QTest::qVerify(simulator.start(fleet, DeviceSimulator::Options(), &error), "simulator.start",
                          qPrintable(error), __FILE__, __LINE__);
}

} // namespace

class tst_Search : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { g_previousHandler = qInstallMessageHandler(countResultLines); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void init() { g_resultLogLines = 0; }

    // Also: a second search replaces the list and leaves exactly one result connection.
    void searchFillsTableInReplyOrder()
    {
        const QVector<SimDevice> fleet = DeviceSimulator::makeFleet(19);
        DeviceSimulatorThread simulator;
        QVERIFY(startSimulator(simulator, fleet));

        ORV_Window w(QStringLiteral("Local Mannage"));
        selectLoopback(w);
        MessageBoxCloser closer;
        closer.start();
        pressSearch(w);
        QCOMPARE(w.devices().size(), 19);
        QCOMPARE(describeStrip(w), QStringLiteral("Total 2 < [1] 2 >"));
        QStringList firstPage;
        for (int i = 0; i < 18; ++i)
            firstPage << fleet.at(i).ip;
        QCOMPARE(column(w, 0), firstPage);
        const SimDevice &d = fleet.at(3);
        QCOMPARE(rowTexts(w, 3), (QStringList{d.ip, d.sn, d.mac, d.model, d.version, d.activeState}));
        click(pageButton(w, 2));
        QCOMPARE(column(w, 0), QStringList{fleet.at(18).ip});

        pressSearch(w);
        QCOMPARE(closer.count(), 0);
        QCOMPARE(searchRequests(simulator), 2);
        QCOMPARE(g_resultLogLines, 2); // each result handled once
        QCOMPARE(ReceiverCount::of(w.link(), SIGNAL(searchdevice_RespDatas_signals(cJSON *))), 1);
        QCOMPARE(w.devices().size(), 19);
        QCOMPARE(w.currentPageNumber(), 1);
    }

    void timeOutKeepsPreviousListAndPage()
    {
        auto simulator = std::make_unique<DeviceSimulatorThread>();
        QVERIFY(startSimulator(*simulator, DeviceSimulator::makeFleet(40)));

        ORV_Window w(QStringLiteral("Local Mannage"));
        selectLoopback(w);
        MessageBoxCloser closer;
        closer.start();
        pressSearch(w);
        QCOMPARE(w.devices().size(), 40);
        click(pageButton(w, 2));
        const QStringList pageTwo = column(w, 0);

        simulator.reset(); // nobody answers any more
        pressSearch(w);
        QCOMPARE(closer.count(), 1);
        QCOMPARE(closer.last().title, QStringLiteral("Error"));
        QCOMPARE(closer.last().text, QStringLiteral("Timeout,Please try again!"));
        QVERIFY(!closer.last().hadParent);
        QCOMPARE(w.devices().size(), 40);
        QCOMPARE(w.currentPageNumber(), 2);
        QCOMPARE(column(w, 0), pageTwo);
        QCOMPARE(describeStrip(w), QStringLiteral("Total 3 < 1 [2] 3 >"));
        QCOMPARE(g_resultLogLines, 1);
    }

    void pressWhileSearchingIsIgnored()
    {
        // Nobody answers: the link waits in its event loop from 3000 ms on, then shows its
        // time-out box. A press in that time must not start a second search.
        DeviceSimulatorThread simulator;
        QVERIFY(startSimulator(simulator, {}));

        ORV_Window w(QStringLiteral("Local Mannage"));
        selectLoopback(w);
        QVERIFY(deliverDevices(w, 5));

        MessageBoxCloser closer;
        closer.start();
        bool pressedWhileBusy = false;
        QTimer::singleShot(3050, &w, [&w, &pressedWhileBusy] {
            pressedWhileBusy = w.link()->isBusy();
            pressSearch(w);
        });
        pressSearch(w);

        QVERIFY(pressedWhileBusy);
        QCOMPARE(searchRequests(simulator), 1);
        QCOMPARE(closer.count(), 1);
        QCOMPARE(closer.last().title, QStringLiteral("Error"));
        QCOMPARE(w.devices().size(), 5);
    }
};

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
