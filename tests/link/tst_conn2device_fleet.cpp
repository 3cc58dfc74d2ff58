#include "orv_conn2device.h"

#include "devicemessages.h"
#include "devicesim.h"
#include "messageboxcloser.h"

#include <QSet>
#include <QtTest>

// Every device that answers within the gathering time is listed, however many answer at
// once, and a second search does as well as the first.
class TestConn2DeviceFleet : public QObject
{
    Q_OBJECT

private slots:
    void twoSearchesListEveryDevice_data();
    void twoSearchesListEveryDevice();
};

void TestConn2DeviceFleet::twoSearchesListEveryDevice_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("replyToGroup");

    QTest::newRow("1000 devices answering the sender") << 1000 << false;
    QTest::newRow("200 devices answering the group") << 200 << true;
}

void TestConn2DeviceFleet::twoSearchesListEveryDevice()
{
    QFETCH(int, count);
    QFETCH(bool, replyToGroup);

    DeviceSimulatorThread sim;
    DeviceSimulator::Options options;
    options.replyToGroup = replyToGroup;
    QString error;
    QVERIFY2(sim.start(DeviceSimulator::makeFleet(count), options, &error), qPrintable(error));

    ORV_CONN2DEVICE link;
    QVector<QSet<QString>> listed;
    connect(&link, &ORV_CONN2DEVICE::searchdevice_RespDatas_signals, this, [&listed](cJSON *datas) {
        QSet<QString> serials;
        const cJSON *item = nullptr;
        cJSON_ArrayForEach(item, datas)
            serials.insert(QString::fromUtf8(stringMember(item, "sn", "")));
        listed.append(serials);
    });
    MessageBoxCloser boxes;
    boxes.start();

    link.search_device(QStringLiteral("lo"));
    link.search_device(QStringLiteral("lo"));

    QCOMPARE(boxes.count(), 0);
    QCOMPARE(listed.size(), 2);
    QCOMPARE(sim.stats().searchReplies, 2 * count);
    QCOMPARE(listed.at(0).size(), count);
    QCOMPARE(listed.at(1), listed.at(0));
}

QTEST_MAIN(TestConn2DeviceFleet)
#include "tst_conn2device_fleet.moc"
