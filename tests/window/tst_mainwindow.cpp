// The main window: construction, network-card box, Search without a card, and tray.

#include "windowprobe.h"

#include "messageboxcloser.h"
#include "orv_conn2device.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QToolButton>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->metaObject()->className()));
    }

    // The English texts are checked with the language switch.
    void construction()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QCOMPARE(w.objectName(), QStringLiteral("Tarnvale_Managesystem"));
        QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());
        auto *tray = w.findChild<QSystemTrayIcon *>();
        QVERIFY(tray && !tray->icon().isNull() && tray->contextMenu());
        const QList<QAction *> trayActions = tray->contextMenu()->actions();
        QCOMPARE(trayActions.size(), 3);
        QCOMPARE(trayActions.at(0)->text(), QStringLiteral("Open"));
        QVERIFY(trayActions.at(1)->isSeparator());
        QCOMPARE(trayActions.at(2)->text(), QStringLiteral("Quit"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *state = child<QLineEdit>(w, "state_text");
        QVERIFY(!state->isEnabled());
        state->setFocus();
        QVERIFY(!state->hasFocus());

        auto *button = child<QToolButton>(w, "language_button");
        QVERIFY(!button->isVisible());
        QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
        QVERIFY(button->menu());
        QCOMPARE(button->menu()->parent(), &w);
        QStringList entries;
        for (QAction *action : button->menu()->actions())
            entries << action->text();
        QCOMPARE(entries, (QStringList{"Chinese", "English"}));
        w.close();
    }

    void barsKeepHeightAtMinimumSize()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QCOMPARE(w.size(), QSize(1400, 750));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(800, 600);
        QTRY_COMPARE(w.size(), QSize(800, 600));
        QTRY_COMPARE(child(w, "local_search_select_nic_area_2")->height(), 40);
        QCOMPARE(child(w, "state_area")->height(), 30);
        QCOMPARE(child(w, "search_button")->geometry(), QRect(880, 3, 70, 30));
        QCOMPARE(child(w, "state_text")->geometry(), QRect(92, 0, 1601, 30));
        w.close();
    }

    void networkCardsInSystemOrder()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        auto *box = child<QComboBox>(w, "NIC_select_box");
        QStringList expected, listed;
        for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces())
            expected << nic.humanReadableName();
        QVERIFY2(expected.contains(QStringLiteral("lo")), "the test namespace has a loopback interface");
        for (int i = 0; i < box->count(); ++i) {
            listed << box->itemText(i);
            QCOMPARE(box->itemData(i).value<QNetworkInterface>().humanReadableName(), box->itemText(i));
        }
        QCOMPARE(listed, expected);
        QCOMPARE(box->currentIndex(), 0);
    }

    void searchWithoutCardAsksForOne()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        child<QComboBox>(w, "NIC_select_box")->clear();
        MessageBoxCloser closer;
        closer.start();
        QTest::mouseClick(child(w, "search_button"), Qt::LeftButton);
        QCOMPARE(closer.count(), 1);
        QCOMPARE(closer.last().icon, QMessageBox::Information);
        QCOMPARE(closer.last().title, QStringLiteral("Tips"));
        QCOMPARE(closer.last().text, QStringLiteral("Please select network"));
        QCOMPARE(closer.last().parent.data(), &w);
        // No search was started: the result connection is made only on the way to one.
        QCOMPARE(ReceiverCount::of(w.link(), SIGNAL(searchdevice_RespDatas_signals(cJSON *))), 0);
    }

    void noTrayWithoutIcon()
    {
        Q_CLEANUP_RESOURCE(images);
        QTest::ignoreMessage(QtWarningMsg, "Failed to load system tray icon");
        {
            ORV_Window w(QStringLiteral("Local Mannage"));
            QVERIFY(!w.findChild<QSystemTrayIcon *>());
            QVERIFY(w.isWindow()); // the window works on without a tray
        }
        Q_INIT_RESOURCE(images);
    }

    void trayOpenRestoresWindow_data()
    {
        QTest::addColumn<bool>("maximise");
        QTest::newRow("minimised") << false;
        QTest::newRow("maximised") << true;
    }

    void trayOpenRestoresWindow()
    {
        QFETCH(bool, maximise);
        ORV_Window w(QStringLiteral("Local Mannage"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        maximise ? w.showMaximized() : w.showMinimized();
        QTRY_VERIFY(w.windowState() & (maximise ? Qt::WindowMaximized : Qt::WindowMinimized));

        w.findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(0)->trigger();
        QTRY_COMPARE(w.windowState(), Qt::WindowNoState);
        QVERIFY(w.isVisible());
        w.close();
    }

    void trayQuitClosesLastWindow()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.showMinimized();

        // The program's own event loop must end: run one and let "Quit" end it.
        QTimer::singleShot(0, &w, [&w] { w.findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(2)->trigger(); });
        QTimer::singleShot(10000, &w, [] { QCoreApplication::exit(1); }); // watchdog
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(lastClosed.count(), 1);
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
