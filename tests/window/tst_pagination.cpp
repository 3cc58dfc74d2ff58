// The device table and its pagination strip, fed with device arrays directly (no network).

#include "windowprobe.h"

#include <QApplication>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QPointer>

class tst_Pagination : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Every delivery logs the whole array.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }

    void cleanup()
    {
        QLoggingCategory::setFilterRules(QString());
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    }

    void arrowsBeforeFirstSearch_data()
    {
        QTest::addColumn<bool>("next");
        QTest::newRow("previous") << false;
        QTest::newRow("next") << true;
    }

    void arrowsBeforeFirstSearch()
    {
        QFETCH(bool, next);
        ORV_Window w(QStringLiteral("Local Mannage"));
        QCOMPARE(table(w)->columnCount(), 7);
        QCOMPARE(table(w)->rowCount(), 0);
        QCOMPARE(describeStrip(w), QStringLiteral("Total 1 < [1] >"));
        QVERIFY(prevArrow(w)->isEnabled());
        QVERIFY(nextArrow(w)->isEnabled());

        click(next ? nextArrow(w) : prevArrow(w));
        QCOMPARE(w.currentPageNumber(), 1);
        QCOMPARE(describeStrip(w), QStringLiteral("Total 1 < [1] >"));
        QCOMPARE(table(w)->rowCount(), 0);
        QVERIFY(!prevArrow(w)->isEnabled());
        QVERIFY(!nextArrow(w)->isEnabled());
    }

    void pages_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("rowsOnLastPage");
        QTest::addColumn<QString>("strip");

        QTest::newRow("0 devices") << 0 << 1 << 0 << "Total 1 < [1] >";
        QTest::newRow("18 devices") << 18 << 1 << 18 << "Total 1 < [1] >";
        QTest::newRow("19 devices") << 19 << 2 << 1 << "Total 2 < [1] 2 >";
        QTest::newRow("54 devices") << 54 << 3 << 18 << "Total 3 < [1] 2 3 >";
        QTest::newRow("55 devices") << 55 << 4 << 1 << "Total 4 < [1] 2 3 4 >";
        QTest::newRow("90 devices") << 90 << 5 << 18 << "Total 5 < [1] 2 3 ... 5 >";
        QTest::newRow("171 devices") << 171 << 10 << 9 << "Total 10 < [1] 2 3 ... 10 >";
    }

    void pages()
    {
        QFETCH(int, devices);
        QFETCH(int, pages);
        QFETCH(int, rowsOnLastPage);
        QFETCH(QString, strip);

        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(w, devices)); // the array is freed at once: the window keeps nothing of it
        QCOMPARE(w.devices().size(), devices);
        QCOMPARE(w.pageCount(), pages);
        QCOMPARE(describeStrip(w), strip);
        QCOMPARE(w.currentPageNumber(), 1);
        QCOMPARE(column(w, 0), deviceIps(0, qMin(devices, 18)));
        QVERIFY(!prevArrow(w)->isEnabled());
        QCOMPARE(nextArrow(w)->isEnabled(), pages > 1);

        click(pageButton(w, pages));
        QCOMPARE(w.currentPageNumber(), pages);
        QCOMPARE(table(w)->rowCount(), rowsOnLastPage);
        QVERIFY(!nextArrow(w)->isEnabled());
        QCOMPARE(prevArrow(w)->isEnabled(), pages > 1);
        for (int c = 0; devices == 0 && c < 7; ++c)
            QCOMPARE(table(w)->horizontalHeader()->sectionResizeMode(c), QHeaderView::Stretch);
    }

    void tenPages()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(w, 171));
        for (int i = 0; i < 4; ++i)
            click(nextArrow(w));
        QCOMPARE(w.currentPageNumber(), 5);
        QCOMPARE(describeStrip(w), QStringLiteral("Total 10 < 1 2 3 ... 10 >"));
        QCOMPARE(column(w, 0).first(), deviceIp(72));

        click(pageButton(w, 10));
        QCOMPARE(describeStrip(w), QStringLiteral("Total 10 < 1 2 3 ... [10] >"));
        QCOMPARE(column(w, 0), deviceIps(162, 171));

        // The next arrow past the last page keeps the page and still rebuilds.
        QPointer<QPushButton> oldNext = nextArrow(w);
        QMetaObject::invokeMethod(&w, "goToNextPage");
        flushDeletes();
        QVERIFY(oldNext.isNull());
        QCOMPARE(w.currentPageNumber(), 10);
        QCOMPARE(table(w)->rowCount(), 9);

        click(prevArrow(w));
        QCOMPARE(w.currentPageNumber(), 9);
        QCOMPARE(describeStrip(w), QStringLiteral("Total 10 < 1 2 3 ... 10 >"));
    }

    void rowButtonsCountPerPage()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(w, 40));
        click(pageButton(w, 2));
        QCOMPARE(column(w, 0), deviceIps(18, 36));
        for (int r = 0; r < 18; ++r) {
            QPushButton *button = rowButton(w, r);
            QVERIFY(button);
            QCOMPARE(button->text(), QStringLiteral("Update IP"));
            QCOMPARE(button->property("row").toInt(), r);
            QVERIFY(button->isEnabled());
        }
    }

    // Non-objects are skipped, absent members show "---", members of another type show empty,
    // and the texts are taken as they came.
    void entryTexts()
    {
        JsonTree array(cJSON_Parse(R"(["text", 5,
            {"pid":"0","ip":"10.0.0.1","sn":"A1","mac":"m1","model":"X","baseModel":"B","active":"  Inactive ","V":"1.2"},
            null, [1], {"ip":"10.0.0.2"},
            {"ip":"10.0.0.3","sn":12345,"mac":null,"model":true,"active":"ACTIVE","V":["6"]}
        ])"), &cJSON_Delete);
        QVERIFY(array);
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliver(w, array.get()));

        QCOMPARE(w.devices().size(), 3);
        QCOMPARE(w.pageCount(), 1);
        QCOMPARE(table(w)->rowCount(), 3);
        QCOMPARE(rowTexts(w, 0), (QStringList{"10.0.0.1", "A1", "m1", "X", "1.2", "  Inactive "}));
        QCOMPARE(rowTexts(w, 1), (QStringList{"10.0.0.2", "---", "---", "---", "---", "---"}));
        QCOMPARE(rowTexts(w, 2), (QStringList{"10.0.0.3", "", "", "", "", "ACTIVE"}));
        QCOMPARE(w.devices().at(0).text(QStringLiteral("baseModel")), QStringLiteral("B"));
    }

    void nullResultChangesNothing()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(w, 30));
        click(pageButton(w, 2));

        QLoggingCategory::setFilterRules(QString());
        QTest::ignoreMessage(QtDebugMsg, "Data is empty!");
        QVERIFY(deliver(w, nullptr));
        QCOMPARE(w.devices().size(), 30);
        QCOMPARE(w.currentPageNumber(), 2);
        QCOMPARE(table(w)->rowCount(), 12);
    }

    void newResultReplacesListAndShowsPageOne()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(w, 40));
        click(pageButton(w, 3));

        QVERIFY(deliverDevices(w, 0));
        QVERIFY(w.devices().isEmpty());
        QCOMPARE(w.currentPageNumber(), 1);
        QCOMPARE(table(w)->rowCount(), 0);
        QCOMPARE(describeStrip(w), QStringLiteral("Total 1 < [1] >"));
        QVERIFY(!nextArrow(w)->isEnabled());
    }

    void oldStripGoesAfterClick()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliverDevices(w, 40));

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

    void doubleClickConnectedOnce()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        const char *signal = SIGNAL(cellDoubleClicked(int, int));
        QCOMPARE(ReceiverCount::of(table(w), signal), 0);

        JsonTree array = makeDeviceArray(40);
        QVERIFY(deliver(w, array.get()));
        QVERIFY(deliver(w, array.get()));
        for (int n : {2, 3, 1, 3})
            click(pageButton(w, n));
        QMetaObject::invokeMethod(&w, "goToPreviousPage");
        QCOMPARE(ReceiverCount::of(table(w), signal), 1);
    }
};

QTEST_MAIN(tst_Pagination)
#include "tst_pagination.moc"
