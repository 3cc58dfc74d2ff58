// The main window's form, construction, network-card box, Search without a card, and tray.

#include "windowprobe.h"

#include "messageboxcloser.h"
#include "orv_conn2device.h"
#include "orv_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QtTest>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void formWidgets_data();
    void formWidgets();
    void stateTextAfterConstruction();
    void languageButtonHiddenWithMenu();
    void windowHasLogo();
    void barsKeepHeightAtMinimumSize();
    void networkCardsInSystemOrder();
    void searchWithoutCardAsksForOne();
    void trayMenu();
    void noTrayWithoutIcon();
    void trayOpenRestoresWindow_data();
    void trayOpenRestoresWindow();
    void trayQuitClosesLastWindow();
};

void tst_MainWindow::cleanup()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        QVERIFY2(!window->isVisible(), qPrintable(window->metaObject()->className()));
}

void tst_MainWindow::formWidgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry"); // null: placed by a layout
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");

    const QSize any(-1, -1);
    QTest::newRow("state_area") << "state_area" << "QFrame" << QRect() << QSize(20, 30) << QSize(16777215, 30);
    QTest::newRow("state_bar_label") << "state_bar_label" << "QLabel" << QRect(0, 0, 90, 30) << QSize(90, 0)
                                     << QSize(90, 16777215);
    QTest::newRow("state_text") << "state_text" << "QLineEdit" << QRect(92, 0, 1601, 30) << any << any;
    QTest::newRow("webviewer_area") << "webviewer_area" << "QFrame" << QRect() << any << any;
    QTest::newRow("paginationWidget") << "paginationWidget" << "QWidget" << QRect() << any << any;
    QTest::newRow("tableWidget") << "tableWidget" << "QTableWidget" << QRect() << any << any;
    QTest::newRow("NIC bar") << "local_search_select_nic_area_2" << "QFrame" << QRect() << QSize(400, 40)
                             << QSize(166666, 40);
    QTest::newRow("search_button") << "search_button" << "QPushButton" << QRect(880, 3, 70, 30) << QSize(70, 30)
                                   << QSize(70, 30);
    QTest::newRow("NIC_edit") << "NIC_edit" << "QLineEdit" << QRect(0, 3, 150, 30) << QSize(50, 30)
                              << QSize(150, 30);
    QTest::newRow("language_button") << "language_button" << "QToolButton" << QRect(1010, 3, 150, 30)
                                     << QSize(150, 30) << QSize(120, 30);
    QTest::newRow("NIC_select_box") << "NIC_select_box" << "QComboBox" << QRect(150, 3, 721, 30)
                                    << QSize(150, 25) << QSize(1000, 35);
}

void tst_MainWindow::formWidgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);

    ORV_Window w(QStringLiteral("Local Mannage"));
    QCOMPARE(w.objectName(), QStringLiteral("Tarnvale_Managesystem"));
    auto *widget = w.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
    if (!geometry.isNull())
        QCOMPARE(widget->geometry(), geometry);
    if (minimum.isValid())
        QCOMPARE(widget->minimumSize(), minimum);
    if (maximum.isValid())
        QCOMPARE(widget->maximumSize(), maximum);
}

void tst_MainWindow::stateTextAfterConstruction()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    auto *state = w.findChild<QLineEdit *>(QStringLiteral("state_text"));
    QCOMPARE(state->text(), QStringLiteral("Double-click the IP to enter the web page"));
    QVERIFY(!state->isEnabled());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    state->setFocus();
    QVERIFY(!state->hasFocus());
    QCOMPARE(w.findChild<QLabel *>(QStringLiteral("state_bar_label"))->text(), QStringLiteral("state bar:"));
    QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("NIC_edit"))->text(), QStringLiteral("Select Network Card:"));
    QCOMPARE(w.findChild<QPushButton *>(QStringLiteral("search_button"))->text(), QStringLiteral("Search"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Tarnvale_Window"));
    w.close();
}

void tst_MainWindow::languageButtonHiddenWithMenu()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *button = w.findChild<QToolButton *>(QStringLiteral("language_button"));
    QVERIFY(!button->isVisible());
    QCOMPARE(button->text(), QStringLiteral("Change Language"));
    QCOMPARE(button->popupMode(), QToolButton::InstantPopup);
    QMenu *menu = button->menu();
    QVERIFY(menu);
    QCOMPARE(menu->parent(), &w);
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Chinese"));
    QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("English"));
    w.close();
}

void tst_MainWindow::windowHasLogo()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());
}

void tst_MainWindow::barsKeepHeightAtMinimumSize()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    QCOMPARE(w.size(), QSize(1400, 750));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(800, 600);
    QTRY_COMPARE(w.size(), QSize(800, 600));
    QTRY_COMPARE(w.findChild<QFrame *>(QStringLiteral("local_search_select_nic_area_2"))->height(), 40);
    QCOMPARE(w.findChild<QFrame *>(QStringLiteral("state_area"))->height(), 30);
    QCOMPARE(w.findChild<QPushButton *>(QStringLiteral("search_button"))->geometry(), QRect(880, 3, 70, 30));
    QCOMPARE(w.findChild<QLineEdit *>(QStringLiteral("state_text"))->geometry(), QRect(92, 0, 1601, 30));
    w.close();
}

void tst_MainWindow::networkCardsInSystemOrder()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    auto *box = w.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
    QStringList expected;
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces())
        expected << nic.humanReadableName();
    QVERIFY2(expected.contains(QStringLiteral("lo")), "the test namespace has a loopback interface");
    QStringList listed;
    for (int i = 0; i < box->count(); ++i) {
        listed << box->itemText(i);
        QCOMPARE(box->itemData(i).value<QNetworkInterface>().humanReadableName(), box->itemText(i));
        QVERIFY(box->itemIcon(i).isNull());
    }
    QCOMPARE(listed, expected);
    QCOMPARE(box->currentIndex(), 0);
    QVERIFY(!box->isEditable());
    QCOMPARE(box->font().family(), QStringLiteral("Segoe UI"));
    QCOMPARE(box->font().pointSize(), 11);
}

void tst_MainWindow::searchWithoutCardAsksForOne()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    w.findChild<QComboBox *>(QStringLiteral("NIC_select_box"))->clear();
    const char *signal = SIGNAL(searchdevice_RespDatas_signals(cJSON *));
    MessageBoxCloser closer;
    closer.start();
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("search_button")), Qt::LeftButton);
    QCOMPARE(closer.count(), 1);
    QCOMPARE(closer.last().icon, QMessageBox::Information);
    QCOMPARE(closer.last().title, QStringLiteral("Tips"));
    QCOMPARE(closer.last().text, QStringLiteral("Please select network"));
    QCOMPARE(closer.last().parent.data(), &w);
    // No search was started: the result connection is made only on the way to one.
    QCOMPARE(ReceiverCount::of(w.link(), signal), 0);
}

void tst_MainWindow::trayMenu()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    auto *tray = w.findChild<QSystemTrayIcon *>();
    QVERIFY(tray);
    QVERIFY(!tray->icon().isNull());
    QVERIFY(tray->toolTip().isEmpty());
    QMenu *menu = tray->contextMenu();
    QVERIFY(menu);
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("Open"));
    QVERIFY(actions.at(1)->isSeparator());
    QCOMPARE(actions.at(2)->text(), QStringLiteral("Quit"));
}

void tst_MainWindow::noTrayWithoutIcon()
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

void tst_MainWindow::trayOpenRestoresWindow_data()
{
    QTest::addColumn<bool>("maximise");
    QTest::newRow("minimised") << false;
    QTest::newRow("maximised") << true;
}

void tst_MainWindow::trayOpenRestoresWindow()
{
    QFETCH(bool, maximise);
    ORV_Window w(QStringLiteral("Local Mannage"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (maximise)
        w.showMaximized();
    else
        w.showMinimized();
    QTRY_VERIFY(w.windowState() & (maximise ? Qt::WindowMaximized : Qt::WindowMinimized));

    w.findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(0)->trigger();
    QTRY_COMPARE(w.windowState(), Qt::WindowNoState);
    QVERIFY(w.isVisible());
    w.close();
}

void tst_MainWindow::trayQuitClosesLastWindow()
{
    ORV_Window w(QStringLiteral("Local Mannage"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.showMinimized();

    // The program's own event loop must end: run one and let "Quit" end it.
    bool watchdogFired = false;
    QTimer::singleShot(0, &w, [&w] { w.findChild<QSystemTrayIcon *>()->contextMenu()->actions().at(2)->trigger(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [&watchdogFired] {
        watchdogFired = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(10000);
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    const int exitCode = QApplication::exec();
    QVERIFY(!watchdogFired);
    QCOMPARE(exitCode, 0);
    QCOMPARE(lastClosed.count(), 1);
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
