// The device table and its pagination strip, fed with device arrays directly (no network).

#include "windowprobe.h"

#include "orv_window.h"

#include <QApplication>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QPointer>
#include <QtTest>

class tst_Pagination : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void constructionShowsEmptyTableAndOnePage();
    void strip_data();
    void strip();
    void pageCount_data();
    void pageCount();
    void arrowsBeforeFirstSearch_data();
    void arrowsBeforeFirstSearch();
    void tenPages();
    void pageOneFromLastPage();
    void rowButtonsCountPerPage();
    void entryTexts();
    void nonObjectsAreSkipped();
    void nullResultChangesNothing();
    void newResultReplacesListAndShowsPageOne();
    void oldStripGoesAfterClick();
    void doubleClickConnectedOnce();
};

void tst_Pagination::init()
{
    // The array is printed to the debug log on every delivery; keep the output short.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void tst_Pagination::cleanup()
{
    QLoggingCategory::setFilterRules(QString());
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
}

void tst_Pagination::constructionShowsEmptyTableAndOnePage()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    QTableWidget *t = table(w);
    QCOMPARE(t->columnCount(), 7);
    QCOMPARE(t->rowCount(), 0);
    const QStringList headers{"IP", "Device ID", "MAC", "Model", "FirmwareVersion", "Active Status", "Operation"};
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(t->horizontalHeaderItem(c)->text(), headers.at(c));
    QCOMPARE(describeStrip(w), QStringLiteral("Total 1 < [1] >"));
    QVERIFY(stripControl<QPushButton>(w, "prevPageButton")->isEnabled());
    QVERIFY(stripControl<QPushButton>(w, "nextPageButton")->isEnabled());
    QCOMPARE(stripControl<QPushButton>(w, "prevPageButton")->toolTip(), QStringLiteral("Previous Page"));
    QCOMPARE(stripControl<QPushButton>(w, "nextPageButton")->toolTip(), QStringLiteral("Next Page"));
}

void tst_Pagination::strip_data()
{
    QTest::addColumn<int>("devices");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1 page") << 5 << "Total 1 < [1] >";
    QTest::newRow("2 pages") << 19 << "Total 2 < [1] 2 >";
    QTest::newRow("3 pages") << 54 << "Total 3 < [1] 2 3 >";
    QTest::newRow("4 pages") << 55 << "Total 4 < [1] 2 3 4 >";
    QTest::newRow("5 pages") << 90 << "Total 5 < [1] 2 3 ... 5 >";
    QTest::newRow("10 pages") << 171 << "Total 10 < [1] 2 3 ... 10 >";
}

void tst_Pagination::strip()
{
    QFETCH(int, devices);
    QFETCH(QString, expected);

    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree array = makeDeviceArray(devices);
    deliver(w, array.get());

    QCOMPARE(describeStrip(w), expected);
    QCOMPARE(w.currentPageNumber(), 1);
    QVERIFY(!stripControl<QPushButton>(w, "prevPageButton")->isEnabled());
    QCOMPARE(stripControl<QPushButton>(w, "nextPageButton")->isEnabled(), w.pageCount() > 1);
    if (auto *ellipsis = stripControl<QLabel>(w, "ellipsisLabel"))
        QCOMPARE(ellipsis->styleSheet(), QStringLiteral("color: white;"));
}

void tst_Pagination::pageCount_data()
{
    QTest::addColumn<int>("devices");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("rowsOnLastPage");

    QTest::newRow("0 devices") << 0 << 1 << 0;
    QTest::newRow("1 device") << 1 << 1 << 1;
    QTest::newRow("18 devices") << 18 << 1 << 18;
    QTest::newRow("19 devices") << 19 << 2 << 1;
    QTest::newRow("40 devices") << 40 << 3 << 4;
    QTest::newRow("171 devices") << 171 << 10 << 9;
}

void tst_Pagination::pageCount()
{
    QFETCH(int, devices);
    QFETCH(int, pages);
    QFETCH(int, rowsOnLastPage);

    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree array = makeDeviceArray(devices);
    deliver(w, array.get());
    array.reset(); // the window must not keep anything of the array

    QCOMPARE(w.devices().size(), devices);
    QCOMPARE(w.pageCount(), pages);
    QCOMPARE(table(w)->rowCount(), qMin(devices, 18));
    QStringList firstPage;
    for (int i = 0; i < qMin(devices, 18); ++i)
        firstPage << deviceIp(i);
    QCOMPARE(column(w, 0), firstPage);

    QTest::mouseClick(pageButton(w, pages), Qt::LeftButton);
    flushDeletes();
    QCOMPARE(w.currentPageNumber(), pages);
    QCOMPARE(table(w)->rowCount(), rowsOnLastPage);
    QVERIFY(!stripControl<QPushButton>(w, "nextPageButton")->isEnabled());
    QCOMPARE(stripControl<QPushButton>(w, "prevPageButton")->isEnabled(), pages > 1);
    if (devices == 0) {
        for (int c = 0; c < 7; ++c)
            QCOMPARE(table(w)->horizontalHeader()->sectionResizeMode(c), QHeaderView::Stretch);
    }
}

void tst_Pagination::arrowsBeforeFirstSearch_data()
{
    QTest::addColumn<QString>("arrow");
    QTest::newRow("previous") << "prevPageButton";
    QTest::newRow("next") << "nextPageButton";
}

void tst_Pagination::arrowsBeforeFirstSearch()
{
    QFETCH(QString, arrow);
    ORV_Window w(QStringLiteral("Local Mannage"));
    QTest::mouseClick(stripControl<QPushButton>(w, arrow.toLatin1().constData()), Qt::LeftButton);
    flushDeletes();
    QCOMPARE(w.currentPageNumber(), 1);
    QCOMPARE(describeStrip(w), QStringLiteral("Total 1 < [1] >"));
    QCOMPARE(table(w)->rowCount(), 0);
    QVERIFY(!stripControl<QPushButton>(w, "prevPageButton")->isEnabled());
    QVERIFY(!stripControl<QPushButton>(w, "nextPageButton")->isEnabled());
}

void tst_Pagination::tenPages()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree array = makeDeviceArray(171);
    deliver(w, array.get());

    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(stripControl<QPushButton>(w, "nextPageButton"), Qt::LeftButton);
        flushDeletes();
    }
    QCOMPARE(w.currentPageNumber(), 5);
    QCOMPARE(describeStrip(w), QStringLiteral("Total 10 < 1 2 3 ... 10 >"));
    QCOMPARE(column(w, 0).first(), deviceIp(72));

    QTest::mouseClick(pageButton(w, 10), Qt::LeftButton);
    flushDeletes();
    QCOMPARE(describeStrip(w), QStringLiteral("Total 10 < 1 2 3 ... [10] >"));
    QStringList lastPage;
    for (int i = 162; i < 171; ++i)
        lastPage << deviceIp(i);
    QCOMPARE(column(w, 0), lastPage);
    QVERIFY(!stripControl<QPushButton>(w, "nextPageButton")->isEnabled());
    QVERIFY(stripControl<QPushButton>(w, "prevPageButton")->isEnabled());

    // The next arrow past the last page keeps the page and still rebuilds.
    QPointer<QPushButton> oldNext = stripControl<QPushButton>(w, "nextPageButton");
    QMetaObject::invokeMethod(&w, "goToNextPage");
    flushDeletes();
    QVERIFY(oldNext.isNull());
    QCOMPARE(w.currentPageNumber(), 10);
    QCOMPARE(table(w)->rowCount(), 9);

    QTest::mouseClick(stripControl<QPushButton>(w, "prevPageButton"), Qt::LeftButton);
    flushDeletes();
    QCOMPARE(w.currentPageNumber(), 9);
    QCOMPARE(describeStrip(w), QStringLiteral("Total 10 < 1 2 3 ... 10 >"));
}

void tst_Pagination::pageOneFromLastPage()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree array = makeDeviceArray(40);
    deliver(w, array.get());
    QTest::mouseClick(pageButton(w, 3), Qt::LeftButton);
    flushDeletes();
    QCOMPARE(describeStrip(w), QStringLiteral("Total 3 < 1 2 [3] >"));

    QTest::mouseClick(pageButton(w, 1), Qt::LeftButton);
    flushDeletes();
    QCOMPARE(w.currentPageNumber(), 1);
    QCOMPARE(describeStrip(w), QStringLiteral("Total 3 < [1] 2 3 >"));
    QVERIFY(!stripControl<QPushButton>(w, "prevPageButton")->isEnabled());
    QVERIFY(stripControl<QPushButton>(w, "nextPageButton")->isEnabled());
    QCOMPARE(column(w, 0).first(), deviceIp(0));
}

void tst_Pagination::rowButtonsCountPerPage()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree array = makeDeviceArray(40);
    deliver(w, array.get());
    QTest::mouseClick(pageButton(w, 2), Qt::LeftButton);
    flushDeletes();

    QTableWidget *t = table(w);
    QCOMPARE(t->rowCount(), 18);
    for (int r = 0; r < t->rowCount(); ++r) {
        QPushButton *button = rowButton(w, r);
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("Update IP"));
        QCOMPARE(button->property("row").toInt(), r);
        QCOMPARE(button->property("ipColumn").toInt(), 0);
        QCOMPARE(button->property("textKey").toString(), QStringLiteral("Update IP"));
        QCOMPARE(button->size(), QSize(80, 24));
        QVERIFY(button->isEnabled());
        QCOMPARE(t->item(r, 0)->text(), deviceIp(18 + r));
        QCOMPARE(t->item(r, 0)->textAlignment(), int(Qt::AlignCenter));
    }
    QCOMPARE(t->horizontalHeader()->sectionResizeMode(1), QHeaderView::ResizeToContents);
    QCOMPARE(t->horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch);
    QVERIFY(t->verticalHeader()->isHidden());
    QCOMPARE(t->focusPolicy(), Qt::NoFocus);
    QVERIFY(t->alternatingRowColors());
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void tst_Pagination::entryTexts()
{
    JsonTree array(cJSON_Parse(R"([
        {"pid":"0","ip":"10.0.0.1","sn":"A1","mac":"m1","model":"X","baseModel":"B","active":"  Inactive ","V":"1.2"},
        {"ip":"10.0.0.2"},
        {"ip":"10.0.0.3","sn":12345,"mac":null,"model":true,"active":"ACTIVE","V":["6"]}
    ])"),
                   &cJSON_Delete);
    QVERIFY(array);
    ORV_Window w(QStringLiteral("Local Mannage"));
    deliver(w, array.get());

    QTableWidget *t = table(w);
    QCOMPARE(t->rowCount(), 3);
    const auto row = [t](int r) {
        QStringList texts;
        for (int c = 0; c < 6; ++c)
            texts << t->item(r, c)->text();
        return texts;
    };
    QCOMPARE(row(0), (QStringList{"10.0.0.1", "A1", "m1", "X", "1.2", "  Inactive "}));
    QCOMPARE(row(1), (QStringList{"10.0.0.2", "---", "---", "---", "---", "---"}));
    QCOMPARE(row(2), (QStringList{"10.0.0.3", "", "", "", "", "ACTIVE"}));
    QCOMPARE(w.devices().at(0).text(QStringLiteral("baseModel")), QStringLiteral("B"));
}

void tst_Pagination::nonObjectsAreSkipped()
{
    JsonTree array(cJSON_Parse(R"(["text", 5, {"ip":"10.0.0.1"}, null, [1], {"ip":"10.0.0.2"}])"), &cJSON_Delete);
    QVERIFY(array);
    ORV_Window w(QStringLiteral("Local Mannage"));
    deliver(w, array.get());
    QCOMPARE(w.devices().size(), 2);
    QCOMPARE(column(w, 0), (QStringList{"10.0.0.1", "10.0.0.2"}));
    QCOMPARE(w.pageCount(), 1);
}

void tst_Pagination::nullResultChangesNothing()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree array = makeDeviceArray(30);
    deliver(w, array.get());
    QTest::mouseClick(pageButton(w, 2), Qt::LeftButton);
    flushDeletes();

    QLoggingCategory::setFilterRules(QString());
    QTest::ignoreMessage(QtDebugMsg, "Data is empty!");
    deliver(w, nullptr);
    QCOMPARE(w.devices().size(), 30);
    QCOMPARE(w.currentPageNumber(), 2);
    QCOMPARE(table(w)->rowCount(), 12);
}

void tst_Pagination::newResultReplacesListAndShowsPageOne()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree first = makeDeviceArray(40);
    deliver(w, first.get());
    QTest::mouseClick(pageButton(w, 3), Qt::LeftButton);
    flushDeletes();

    JsonTree empty(cJSON_CreateArray(), &cJSON_Delete);
    deliver(w, empty.get());
    QVERIFY(w.devices().isEmpty());
    QCOMPARE(w.currentPageNumber(), 1);
    QCOMPARE(table(w)->rowCount(), 0);
    QCOMPARE(describeStrip(w), QStringLiteral("Total 1 < [1] >"));
    QVERIFY(!stripControl<QPushButton>(w, "nextPageButton")->isEnabled());
}

void tst_Pagination::oldStripGoesAfterClick()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    JsonTree array = makeDeviceArray(40);
    deliver(w, array.get());

    QPointer<QPushButton> clicked = pageButton(w, 2);
    QPointer<QLabel> oldLabel = stripControl<QLabel>(w, "totalLabel");
    QTest::mouseClick(clicked, Qt::LeftButton);
    // Still alive right after its own click handler, but out of sight and out of the layout.
    QVERIFY(!clicked.isNull());
    QVERIFY(clicked->isHidden());
    QCOMPARE(stripWidget(w)->layout()->indexOf(clicked), -1);
    flushDeletes();
    QVERIFY(clicked.isNull());
    QVERIFY(oldLabel.isNull());
    QCOMPARE(stripWidget(w)->findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly).size(), 5);
}

void tst_Pagination::doubleClickConnectedOnce()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    const char *signal = SIGNAL(cellDoubleClicked(int, int));
    QCOMPARE(ReceiverCount::of(table(w), signal), 0);

    JsonTree array = makeDeviceArray(40);
    deliver(w, array.get());
    deliver(w, array.get());
    for (int n : {2, 3, 1, 3}) {
        QTest::mouseClick(pageButton(w, n), Qt::LeftButton);
        flushDeletes();
    }
    QMetaObject::invokeMethod(&w, "goToPreviousPage");
    QCOMPARE(ReceiverCount::of(table(w), signal), 1);
}

QTEST_MAIN(tst_Pagination)
#include "tst_pagination.moc"
