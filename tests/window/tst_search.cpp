// Search from the window's button to the filled table, against simulated devices that
// answer from a thread of their own on the loopback interface of the test's namespace.

#include "windowprobe.h"

#include "devicesim.h"
#include "messageboxcloser.h"
#include "orv_conn2device.h"
#include "orv_window.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

namespace {

int g_resultLogLines = 0;
QtMessageHandler g_previousHandler = nullptr;

void countResultLines(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg && message.startsWith(QLatin1String("update_searchDevice:"))) {
        ++g_resultLogLines;
        return; // the whole array, formatted: too long for the test log
    }
    g_previousHandler(type, context, message);
}

int searchRequests(const DeviceSimulatorThread &simulator)
{
    int count = 0;
    for (const QByteArray &request : simulator.requests()) {
        const QJsonObject data = QJsonDocument::fromJson(request).object().value(QLatin1String("data")).toObject();
        if (data.value(QLatin1String("callcmd")).toString() == QLatin1String("search"))
            ++count;
    }
    return count;
}

} // namespace

class tst_Search : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void searchFillsTableInReplyOrder();
    void timeOutKeepsPreviousListAndPage();
    void searchTwiceLeavesOneConnection();
    void pressWhileSearchingIsIgnored();

private:
    static void selectLoopback(ORV_Window &w);
    static void pressSearch(ORV_Window &w);
};

void tst_Search::initTestCase()
{
    g_previousHandler = qInstallMessageHandler(countResultLines);
}

void tst_Search::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void tst_Search::init()
{
    g_resultLogLines = 0;
}

void tst_Search::selectLoopback(ORV_Window &w)
{
    auto *box = w.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
    const int index = box->findText(QStringLiteral("lo"));
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
}

void tst_Search::pressSearch(ORV_Window &w)
{
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("search_button")), Qt::LeftButton);
    flushDeletes();
}

void tst_Search::searchFillsTableInReplyOrder()
{
    const QVector<SimDevice> fleet = DeviceSimulator::makeFleet(19);
    DeviceSimulatorThread simulator;
    QString error;
    QVERIFY2(simulator.start(fleet, DeviceSimulator::Options(), &error), qPrintable(error));

    ORV_Window w(QStringLiteral("Local Mannage"));
    selectLoopback(w);
    MessageBoxCloser closer;
    closer.start();
    pressSearch(w);
    QCOMPARE(closer.count(), 0);

    QCOMPARE(w.devices().size(), 19);
    QCOMPARE(w.pageCount(), 2);
    QCOMPARE(describeStrip(w), QStringLiteral("Total 2 < [1] 2 >"));
    QStringList firstPage;
    for (int i = 0; i < 18; ++i)
        firstPage << fleet.at(i).ip;
    QCOMPARE(column(w, 0), firstPage);
    QCOMPARE(table(w)->item(3, 1)->text(), fleet.at(3).sn);
    QCOMPARE(table(w)->item(3, 2)->text(), fleet.at(3).mac);
    QCOMPARE(table(w)->item(3, 3)->text(), fleet.at(3).model);
    QCOMPARE(table(w)->item(3, 4)->text(), fleet.at(3).version);
    QCOMPARE(table(w)->item(3, 5)->text(), fleet.at(3).activeState);

    QTest::mouseClick(pageButton(w, 2), Qt::LeftButton);
    flushDeletes();
    QCOMPARE(column(w, 0), QStringList{fleet.at(18).ip});
}

void tst_Search::timeOutKeepsPreviousListAndPage()
{
    const QVector<SimDevice> fleet = DeviceSimulator::makeFleet(40);
    auto simulator = std::make_unique<DeviceSimulatorThread>();
    QString error;
    QVERIFY2(simulator->start(fleet, DeviceSimulator::Options(), &error), qPrintable(error));

    ORV_Window w(QStringLiteral("Local Mannage"));
    selectLoopback(w);
    MessageBoxCloser closer;
    closer.start();
    pressSearch(w);
    QCOMPARE(w.devices().size(), 40);
    QTest::mouseClick(pageButton(w, 2), Qt::LeftButton);
    flushDeletes();
    const QStringList pageTwo = column(w, 0);
    QCOMPARE(pageTwo.first(), fleet.at(18).ip);

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

void tst_Search::searchTwiceLeavesOneConnection()
{
    DeviceSimulatorThread simulator;
    QString error;
    QVERIFY2(simulator.start(DeviceSimulator::makeFleet(3), DeviceSimulator::Options(), &error), qPrintable(error));

    ORV_Window w(QStringLiteral("Local Mannage"));
    selectLoopback(w);
    MessageBoxCloser closer;
    closer.start();
    pressSearch(w);
    pressSearch(w);

    QCOMPARE(closer.count(), 0);
    QCOMPARE(searchRequests(simulator), 2);
    QCOMPARE(g_resultLogLines, 2); // each result handled once
    QCOMPARE(ReceiverCount::of(w.link(), SIGNAL(searchdevice_RespDatas_signals(cJSON *))), 1);
    QCOMPARE(w.devices().size(), 3);
}

void tst_Search::pressWhileSearchingIsIgnored()
{
    // Nobody answers, so the link waits in its event loop (after 3000 ms) and then
    // shows its time-out box; a press in that time must not start a second search.
    DeviceSimulatorThread simulator;
    QString error;
    QVERIFY2(simulator.start({}, DeviceSimulator::Options(), &error), qPrintable(error));

    ORV_Window w(QStringLiteral("Local Mannage"));
    selectLoopback(w);
    JsonTree earlier = makeDeviceArray(5);
    deliver(w, earlier.get());

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

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
