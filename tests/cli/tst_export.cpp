// The one CSV format of the export and of the command line, and the window's export.

#include "devicecsv.h"
#include "devicemessages.h"
#include "export.h"
#include "orv_window.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void csv_data();
    void csv();
    void exportsEveryPage();
    void menu_data();
    void menu();

private:
    // count devices, the last one with a model that a spreadsheet would take for a formula.
    static void search(ORV_Window &window, int count)
    {
        JsonPtr array = makeJsonPtr(cJSON_CreateArray());
        for (int i = 0; i < count; ++i) {
            const QStringList values = {"0", QString("10.0.0.%1").arg(i), QString("SN%1").arg(i), "02:00:00:00:00:01",
                                        i + 1 == count ? "-1+2" : "IPC", "IP", "active", "6.0.231024"};
            cJSON *device = cJSON_CreateObject();
            for (int m = 0; m < values.size(); ++m)
                cJSON_AddStringToObject(device, deviceCsvColumns().at(m).toUtf8(), values.at(m).toUtf8());
            cJSON_AddItemToArray(array.get(), device);
        }
        QVERIFY(QMetaObject::invokeMethod(&window, "showSearchDeviceTableInfos", Qt::DirectConnection,
                                          Q_ARG(cJSON *, array.get())));
    }
};

void TestExport::csv_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QByteArray>("line");

    // clang-format off
    QTest::newRow("plain") << QStringList{"a", "b c", ""} << QByteArray("a,b c,\r\n");
    QTest::newRow("comma") << QStringList{"a,b"} << QByteArray("\"a,b\"\r\n");
    QTest::newRow("quotes") << QStringList{"say \"hi\""} << QByteArray("\"say \"\"hi\"\"\"\r\n");
    QTest::newRow("line breaks") << QStringList{"a\nb", "c\rd"} << QByteArray("\"a\nb\",\"c\rd\"\r\n");
    QTest::newRow("= + - @") << QStringList{"=1", "+1", "-1", "@A1"} << QByteArray("'=1,'+1,'-1,'@A1\r\n");
    QTest::newRow("tab, carriage return") << QStringList{"\tx", "\rx"} << QByteArray("'\tx,\"'\rx\"\r\n");
    QTest::newRow("formula with quotes") << QStringList{"=HYPERLINK(\"u\")"} << QByteArray("\"'=HYPERLINK(\"\"u\"\")\"\r\n");
    QTest::newRow("signs inside") << QStringList{"a=b", "1-2", " =x"} << QByteArray("a=b,1-2, =x\r\n");
    QTest::newRow("UTF-8") << QStringList{"摄像机", "é"} << QByteArray("\xe6\x91\x84\xe5\x83\x8f\xe6\x9c\xba,\xc3\xa9\r\n");
    // clang-format on
}

void TestExport::csv()
{
    QFETCH(QStringList, cells);
    QFETCH(QByteArray, line);
    QCOMPARE(csvDocument({cells}), line);
    QCOMPARE(csvDocument({cells, cells}), line + line);
}

void TestExport::exportsEveryPage()
{
    ORV_Window window(QString{});
    search(window, 20);
    QCOMPARE(window.pageCount(), 2);

    QTemporaryDir dir;
    QString error;
    QVERIFY2(exportDevicesCsv(window.devices(), dir.filePath("devices.csv"), &error), qPrintable(error));
    QFile file(dir.filePath("devices.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 22); // header, 20 devices, and the end of the last line
    QCOMPARE(lines.first(), "pid,ip,sn,mac,model,baseModel,active,V\r");
    QCOMPARE(lines.at(20), "0,10.0.0.19,SN19,02:00:00:00:00:01,'-1+2,IP,active,6.0.231024\r");
    QVERIFY(!exportDevicesCsv(window.devices(), dir.filePath("missing/devices.csv"), &error));
}

void TestExport::menu_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("English") << QString() << QStringList{"Copy IP", "Copy row", "Export all devices to CSV…"};
    QTest::newRow("Chinese") << ":/languages/zh_CN.qm" << QStringList{"复制IP", "复制整行", "导出所有设备到CSV…"};
}

void TestExport::menu()
{
    QFETCH(QString, catalogue);
    QFETCH(QStringList, texts);
    QTranslator translator;
    if (!catalogue.isEmpty())
        QVERIFY(translator.load(catalogue) && QCoreApplication::installTranslator(&translator));

    ORV_Window window(QString{});
    search(window, 2);
    auto *table = window.findChild<QTableWidget *>("tableWidget");
    std::unique_ptr<QMenu> menu(deviceTableMenu(&window, table, 1));
    QStringList shown;
    for (const QAction *action : menu->actions())
        shown << action->text();
    QCOMPARE(shown, texts);

    menu->actions().at(0)->trigger();
    QCOMPARE(QApplication::clipboard()->text(), "10.0.0.1");
    menu->actions().at(1)->trigger();
    QCOMPARE(QApplication::clipboard()->text(), "10.0.0.1\tSN1\t02:00:00:00:00:01\t-1+2\t6.0.231024\tactive");
    QCOMPARE(table->contextMenuPolicy(), Qt::CustomContextMenu);
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
