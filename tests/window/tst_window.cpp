// The main window and its dialog without a network, fed with device arrays as the link hands them over.

#include "app/fonts.h"
#include "dialogs/orv_passwd_window.h"
#include "tests/common/testsupport.h"
#include "window/applicationnames.h"
#include "window/cardbox.h"
#include "window/devicetablemenu.h"
#include "dialogs/batchdialog.h"
#include "window/orv_window.h"
#include "window/tablerules.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QComboBox>
#include <QFileDialog>
#include <QNetworkInterface>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>

namespace {

// The strip's controls as they read: "Total 10", "<", "[1]" when highlighted, "!>" when disabled.
QStringList strip(ORV_Window &w, QList<QWidget *> *controls = nullptr)
{
    QStringList parts;
    QLayout *layout = w.findChild<QWidget *>(QStringLiteral("paginationWidget"))->layout();
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *control = layout->itemAt(i)->widget();
        QString text = control->property("text").toString();
        text = !text.isEmpty() ? text : control->objectName().startsWith('p') ? "<" : ">";
        parts << (control->isEnabled() ? "" : "!") + (control->styleSheet().contains("background-color:#2979ff") ? '[' + text + ']' : text);
        if (controls)
            *controls << control;
    }
    return parts;
}

void press(ORV_Window &w, const QString &control) // as strip() reads it
{
    QList<QWidget *> controls;
    QTest::mouseClick(controls.value(strip(w, &controls).indexOf(control)), Qt::LeftButton);
}

QStringList ips(const QVector<SimDevice> &fleet, int from, int to, QStringList result = {})
{
    for (int i = from; i < to; ++i)
        result << fleet.at(i).ip;
    return result;
}

// Chooses from the hidden language menu; the texts then shown, and the choice stored.
QStringList switchTo(ORV_Window &w, const QString &language)
{
    for (QAction *action : w.findChild<QToolButton *>()->menu()->actions()) {
        if (action->text() == language)
            action->trigger();
    }
    auto *table = w.findChild<QTableWidget *>();
    if (table->rowCount() == 0)
        return {strip(w).first()};
    auto *box = w.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
    QPushButton *rowButton = table->cellWidget(0, OperationColumn)->findChild<QPushButton *>();
    return {w.windowTitle(), w.findChild<QPushButton *>(QStringLiteral("search_button"))->text(),
            w.findChild<QLineEdit *>(QStringLiteral("state_text"))->text(), table->horizontalHeaderItem(VersionColumn)->text(),
            strip(w).first(), rowButton->text(), rowButton->property("textKey").toString(), table->item(0, IpColumn)->toolTip(),
            box->itemData(box->findText(QStringLiteral("tvw1")), Qt::ToolTipRole).toString(),
            QSettings(QStringLiteral("Settings.ini"), QSettings::IniFormat).value("language").toString()};
}

// The IP cell of a device: its text, the colour it is painted in beside its centred text, and its tool tip.
QString ipCellLook(ORV_Window &w, const QString &sn)
{
    auto *table = w.findChild<QTableWidget *>();
    QTableWidgetItem *cell = table->item(column(w, SnColumn).indexOf(sn), IpColumn);
    if (!cell)
        return QStringLiteral("no row");
    const QRect rect = table->visualItemRect(cell);
    const QColor painted = table->viewport()->grab().toImage().pixelColor(rect.left() + 3, rect.center().y());
    return cell->text() + '|' + painted.name() + '|' + cell->toolTip();
}

// "Export all devices to CSV…" from the table's context menu, the file dialog answered as by
// an operator who also agrees to replace a file; the dialog's file name label and buttons.
QStringList exportFromMenu(ORV_Window &w, const QString &path)
{
    QStringList texts;
    QTimer::singleShot(0, &w, [path, &texts] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        for (const auto label : {QFileDialog::FileName, QFileDialog::Accept, QFileDialog::Reject})
            texts << dialog->labelText(label);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    QScopedPointer<QMenu> menu(deviceTableMenu(&w, w.findChild<QTableWidget *>(), -1));
    menu->actions().at(2)->trigger();
    return texts;
}

// The operator's settings go to a folder of this run's own, named before any settings are read.
const QTemporaryDir configDir;
const bool configDirSet = qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened << qMakePair(nowMs(), url.toString()); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir.path())); // the window writes ./Settings.ini
        substituteWindowsFonts(); // as the program does at start-up
        desktopFont = QApplication::font();
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
        // A card that reaches devices after lo, and one without IPv4: made here only, where
        // nothing but lo existed before; they go with the namespace, and a run of this program
        // that this test starts finds them made.
        const int cards = QNetworkInterface::allInterfaces().size();
        if (QNetworkInterface::interfaceFromName(QStringLiteral("tvw0")).isValid() && cards == 3)
            return;
        if (cards != 1)
            QSKIP("not in the namespaces of this test's own (tests/netns-run)");
        QVERIFY(runShell("ip link add tvw0 type veth peer name tvw1 && ip addr add 10.77.0.1/24 dev tvw0"
                         " && ip link set tvw0 up && ip link set tvw1 up"));
        QTRY_VERIFY(QNetworkInterface::interfaceFromName("tvw0").flags().testFlag(QNetworkInterface::IsRunning));
    }
    void init()
    {
        opened.clear();
        QFile::remove(settingsPath);
    }
    void cleanup()
    {
        QApplication::setPalette(desktopPalette(Desktop::Light));
        QApplication::setFont(desktopFont);
        delete dialog;
        QVERIFY2(visibleWindows().isEmpty(), qPrintable(visibleWindows()));
    }


    // Every text legible (4.5:1) and every caption whole, in the window and in its dialog, fresh
    // and showing each of its errors, whatever the desktop's palette, font size and scale.
    void anyDesktop_data()
    {
        QTest::addColumn<int>("desktop");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("scale"); // QT_SCALE_FACTOR, in a run of this program of its own

        QTest::newRow("light, 9 pt") << int(Desktop::Light) << 9 << "English" << QByteArray();
        QTest::newRow("dark, 11 pt") << int(Desktop::Dark) << 11 << "English" << QByteArray();
        QTest::newRow("high contrast, 12 pt, Chinese") << int(Desktop::HighContrast) << 12 << "Chinese" << QByteArray();
        QTest::newRow("dark, 14 pt, Chinese") << int(Desktop::Dark) << 14 << "Chinese" << QByteArray();
        QTest::newRow("dark, 11 pt, 150%") << int(Desktop::Dark) << 11 << "English" << QByteArray("1.5");
        QTest::newRow("light, 14 pt, Chinese, 200%") << int(Desktop::Light) << 14 << "Chinese" << QByteArray("2");
    }

    void anyDesktop()
    {
        QFETCH(int, desktop);
        QFETCH(int, points);
        QFETCH(QString, language);
        QFETCH(QByteArray, scale);
        if (qgetenv("QT_SCALE_FACTOR") != scale) {
            QProcess run;
            run.setProcessChannelMode(QProcess::MergedChannels);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QT_SCALE_FACTOR", scale);
            run.setProcessEnvironment(environment);
            run.start(QCoreApplication::applicationFilePath(), {"anyDesktop:" + QString(QTest::currentDataTag())});
            QVERIFY(run.waitForFinished(60000));
            const QByteArray output = run.readAll();
            QVERIFY2(output.contains("Totals: 3 passed, 0 failed"), output.constData()); // with init and cleanup
            return;
        }
        QApplication::setPalette(desktopPalette(Desktop(desktop)));
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), points)); // wider than the forms' fonts
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVector<SimDevice> twenty = fleet.mid(0, 20);
        twenty[19].ip = twenty[0].ip; // an address two devices share is marked
        QVERIFY(deliver(w, deviceArray(twenty)));
        switchTo(w, language);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *table = w.findChild<QTableWidget *>();
        // The colour pairs that the forms give themselves (white on the blue buttons, the orange
        // caption on the grey bar, red on the error's pink) are the program's look on every
        // desktop and are left out; every other text must keep 4.5:1.
        const auto problems = [](QWidget *shown) {
            static const QRegularExpression fixedLook(QStringLiteral(
                "^(state_bar_label|search_button|confirm_button|cancel_button|updateIpButton|pageButton_1|lineEdit_ip) .* [0-9.]+:1$"));
            QStringList found = contrastProblems(shown);
            found.erase(std::remove_if(found.begin(), found.end(), [](const QString &p) { return fixedLook.match(p).hasMatch(); }),
                        found.end());
            return (found + clippedCaptions(shown)).join(QLatin1Char('\n'));
        };
        QCOMPARE(problems(&w), QString());
        table->cellWidget(1, OperationColumn)->findChild<QPushButton *>()->click();
        dialog = qobject_cast<ORV_Passwd_Window *>(QApplication::activeModalWidget());
        QVERIFY(dialog && QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(problems(dialog), QString());
        button("confirm_button")->click(); // no password
        QCOMPARE(problems(dialog), QString());
        field("passwd_text")->setText(QStringLiteral("secret1"));
        field("lineEdit_ip")->setText(QStringLiteral("192.168.1.300"));
        button("confirm_button")->click();
        QCOMPARE(problems(dialog), QString());
        dialog->close();

        w.openBatchDialog();
        auto *batch = w.findChild<BatchDialog *>();
        QVERIFY(batch && QTest::qWaitForWindowExposed(batch));
        QCOMPARE(problems(batch), QString());
        batch->close();
    }

    // A keyboard alone reaches every control, forwards and back, sees where the focus is, turns
    // the pages and presses the "Update IP" of the row it chose; in the dialog too, where Enter in
    // a field and Escape do nothing.
    void keyboardOnly()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliver(w, deviceArray(fleet.mid(0, 20))));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.findChild<QComboBox *>()->setFocus();
        QStringList stops = {"search_button", "tableWidget", "pageButton_1", "pageButton_2", "nextPageButton", "NIC_select_box"};
        QCOMPARE(tabStops(&w, true), stops);
        std::reverse(stops.begin(), stops.end() - 1);
        QCOMPARE(tabStops(&w, false), stops);
        // The focus stays on the page control pressed, or goes to the table once that is disabled.
        QCOMPARE(pressKeys({Qt::Key_Backtab, Qt::Key_Space}), "tableWidget");
        QCOMPARE(w.currentPageNumber(), 2);
        QCOMPARE(pressKeys({Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}), "pageButton_1");
        QCOMPARE(w.currentPageNumber(), 1);
        QCOMPARE(pressKeys({Qt::Key_Backtab, Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Space}), "tableWidget");
        dialog = qobject_cast<ORV_Passwd_Window *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(field("lineEdit_ip")->text(), fleet.at(3).ip);
        QTRY_COMPARE(QApplication::focusWidget(), field("passwd_text"));
        QSignalSpy confirmed(dialog.data(), &ORV_Passwd_Window::ready2verify);
        QTest::keyClicks(field("passwd_text"), QStringLiteral("secret1"));
        QCOMPARE(pressKeys({Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}), "passwd_text");
        QVERIFY(dialog->isVisible() && confirmed.isEmpty());
        stops = QStringList{"passwd_visible_button", "lineEdit_ip", "confirm_button", "cancel_button", "passwd_text"};
        QCOMPARE(tabStops(dialog, true), stops);
        std::reverse(stops.begin(), stops.end() - 1);
        QCOMPARE(tabStops(dialog, false), stops);
        pressKeys({Qt::Key_Tab, Qt::Key_Space});
        QCOMPARE(field("passwd_text")->echoMode(), QLineEdit::Normal); // the password shows
        pressKeys({Qt::Key_Backtab, Qt::Key_Backtab, Qt::Key_Return}); // cancel
        QTRY_VERIFY(!dialog);
        // Back in the window (as the desktop activates it), Enter does as Space.
        w.activateWindow();
        QTRY_COMPARE(QApplication::focusWidget(), w.findChild<QTableWidget *>());
        pressKeys({Qt::Key_Up, Qt::Key_Enter});
        dialog = qobject_cast<ORV_Passwd_Window *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(field("lineEdit_ip")->text(), fleet.at(2).ip);
    }

    void pageStrip_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("controls"); // 0 is the ellipsis

        const QStringList rows = {"", "1", "1 2", "1 2 3", "1 2 3 4", "1 2 3 0 5"};
        for (int pages = 0; pages < rows.size(); ++pages)
            QTest::addRow("%d pages", pages) << pages << rows[pages];
    }

    void pageStrip()
    {
        QFETCH(int, pages);
        QFETCH(QString, controls);
        QStringList numbers;
        for (int n : ::pageStrip(pages))
            numbers << QString::number(n);
        QCOMPARE(numbers.join(' '), controls);
    }

    void startCard_data()
    {
        QTest::addColumn<QStringList>("cards");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<int>("index");

        const QString lo = "lo/urml4", eth = "eth0/urm4";
        QTest::newRow("no card") << QStringList{} << "" << -1;
        QTest::newRow("down") << QStringList{lo, "eth1/rm4", eth} << "" << 2;
        QTest::newRow("not running, no cable") << QStringList{lo, "eth1/um4", eth} << "" << 2;
        QTest::newRow("cannot multicast") << QStringList{lo, "eth1/ur4", eth} << "" << 2;
        QTest::newRow("no IPv4 address") << QStringList{lo, "eth1/urm", eth} << "" << 2;
        QTest::newRow("loopback by its flag, not its name") << QStringList{"lo2/urml4", eth} << "" << 1;
        QTest::newRow("none reaches devices: the first") << QStringList{lo, "eth1/urm"} << "" << 0;
        QTest::newRow("remembered, even down") << QStringList{lo, eth, "eth1/"} << "eth1" << 2;
        QTest::newRow("remembered card gone") << QStringList{lo, eth} << "eth1" << 1;
        QTest::newRow("remembered name in other case") << QStringList{lo, eth, "eth1/urm"} << "ETH1" << 1;
    }

    void startCard()
    {
        QFETCH(QStringList, cards);
        QFETCH(QString, remembered);
        QFETCH(int, index);
        QCOMPARE(startCardIndex(networkCards(cards), remembered), index);
    }

    // A new user's first session: lo comes first, yet the search runs on the card that reaches
    // the devices. Two answer at one factory address, on two pages; the second, not activated
    // yet, is given its password and address by its serial number in a dialog over the window,
    // and the export holds the list as changed. The card the operator then picks is the one
    // of the next start.
    void firstSession()
    {
        QVector<SimDevice> fleet;
        for (int i = 0; i < 20; ++i)
            fleet << simDevice(QStringLiteral("192.168.1.%1").arg(10 + i), QStringLiteral("SN%1").arg(i, 2, 10, QChar('0')));
        fleet[18] = simDevice(fleet[0].ip, QStringLiteral("SN18"), QString());
        DeviceSimulatorThread sim;
        DeviceSimulator::Options options;
        options.interfaceAddress = QHostAddress(QStringLiteral("10.77.0.1"));
        QVERIFY(sim.start(fleet, options));
        MessageBoxCloser closer;
        ORV_Window w(QStringLiteral("Local Mannage"));
        w.setGeometry(300, 200, 1000, 700);
        w.show();
        auto *box = w.findChild<QComboBox *>(QStringLiteral("NIC_select_box"));
        QStringList cards;
        for (int i = 0; i < box->count(); ++i)
            cards << box->itemText(i) + '=' + box->itemData(i, Qt::ToolTipRole).toString();
        cards.sort();
        QCOMPARE(cards, (QStringList{"lo=127.0.0.1/8", "tvw0=10.77.0.1/24", "tvw1=No IPv4 address"}));
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("search_button")), Qt::LeftButton);

        const QString shared = "192.168.1.10|#ffe082|2 devices answer at this address; they are told apart by their serial number (Device ID).";
        QCOMPARE(ipCellLook(w, "SN00"), shared);
        QCOMPARE(ipCellLook(w, "SN01").section('|', 2), QString());
        QVERIFY(QMetaObject::invokeMethod(&w, "goToNextPage"));
        QCOMPARE(ipCellLook(w, "SN18"), shared); // its partner is on page 1

        auto *table = w.findChild<QTableWidget *>();
        table->cellWidget(column(w, SnColumn).indexOf("SN18"), OperationColumn)->findChild<QPushButton *>()->click();
        dialog = qobject_cast<ORV_Passwd_Window *>(QApplication::activeModalWidget());
        QVERIFY(dialog && dialog->isWindow() && !dialog->parentWidget());
        QCOMPARE(dialog->windowHandle()->transientParent(), w.windowHandle());
        QCOMPARE(dialog->geometry(), QRect(300 + (1000 - 526) / 2, 200 + (700 - 272) / 2, 526, 272));
        field("passwd_text")->setText(QStringLiteral("first-pw9"));
        field("lineEdit_ip")->setText(QStringLiteral("192.168.1.50"));
        button("confirm_button")->click();
        QTRY_COMPARE(closer.boxes, QStringList{"information|Tips|IP changed successfully,device rebooting.....|ORV_Window"});
        QVERIFY(sim.requests().last().contains("\"callcmd\":\"netcfg\",\"sn\":\"SN18\""));
        QCOMPARE(ipCellLook(w, "SN18"), QStringLiteral("192.168.1.50|#ffffff|"));

        const QString path = workDir.filePath(QStringLiteral("devices.csv"));
        exportFromMenu(w, path);
        const QStringList lines = QString::fromUtf8(contents(path)).split('\n');
        QCOMPARE(lines.size(), 22);
        QCOMPARE(lines.filter(",SN00,").value(0) + lines.filter(",SN18,").value(0),
                 "0,192.168.1.10,SN00,02:00:00:00:00:10,IPC-2120,IPC21,active,6.0.231024\r"
                 "0,192.168.1.50,SN18,02:00:00:00:00:10,IPC-2120,IPC21,active,6.0.231024\r");
        // The export that fails leaves the file it was to replace as it was, and nothing else.
        QTemporaryDir disk;
        QVERIFY(runShell("mount -t tmpfs -o size=64k tarnvale-test " + disk.path()));
        const QString full = disk.filePath(QStringLiteral("devices.csv"));
        QVERIFY(runShell("printf 'pid,ip\\r\\n0,10.0.0.1\\r\\n' >" + full));
        QVERIFY(!runShell("cat /dev/zero >" + disk.filePath(QStringLiteral("filler")))); // until the disk is full
        exportFromMenu(w, full);
        QCOMPARE(closer.boxes.mid(1), QStringList{"critical|Tips|Could not write " + full + ": No space left on device|ORV_Window"});
        QCOMPARE(contents(full), QByteArray("pid,ip\r\n0,10.0.0.1\r\n"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).join(' '), QStringLiteral("devices.csv filler"));
        QVERIFY(runShell("umount " + disk.path()));

        // Remembered in the user's configuration folder, and only what the operator picked.
        QVERIFY(chooseLoopback(w)); // as other tests do: no pick of the operator's
        QVERIFY(!QFile::exists(settingsPath));
        box->setCurrentIndex(box->findText(QStringLiteral("tvw1")));
        emit box->activated(box->currentIndex()); // as a pick with mouse or keys ends
        QVERIFY(contents(settingsPath).contains("networkCard=tvw1"));
        QCOMPARE(ORV_Window(QStringLiteral("Local Mannage")).findChild<QComboBox *>()->currentText(), QStringLiteral("tvw1"));
    }

    void tableAndStrip()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 1 < [1] >"));
        press(w, QStringLiteral(">")); // before any search: page 1 again, now with the arrows set
        QCOMPARE(strip(w).join(' ') + column(w, IpColumn).join(' '), QStringLiteral("Total 1 !< [1] !>"));

        QVERIFY(deliver(w, deviceArray(fleet)));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 !< [1] 2 3 ... 10 >"));
        QCOMPARE(column(w, IpColumn), ips(fleet, 0, 18));
        QCOMPARE(column(w, SnColumn).at(3) + column(w, MacColumn).at(3) + column(w, VersionColumn).at(3),
                 fleet.at(3).sn + fleet.at(3).mac + fleet.at(3).version);
        // A double-click within 500 ms of the last accepted one is ignored, whatever its column.
        const qint64 start = nowMs();
        emit w.findChild<QTableWidget *>()->cellDoubleClicked(1, ModelColumn); // does nothing, yet is stamped
        while (opened.size() < 2 && nowMs() - start < 3000) {
            emit w.findChild<QTableWidget *>()->cellDoubleClicked(1, IpColumn); // well above the firmware gate
            QTest::qWait(5);
        }
        QCOMPARE(opened.size(), 2);
        QVERIFY_DURATION(opened.at(0).first - start, 500, 600);
        QVERIFY_DURATION(opened.at(1).first - opened.at(0).first, 500, 600);
        for (int i = 0; i < 4; ++i)
            press(w, QStringLiteral(">"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 < 1 2 3 ... 10 >")); // page 5: nothing highlighted
        QCOMPARE(column(w, IpColumn), ips(fleet, 72, 90));
        press(w, QStringLiteral("10"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 < 1 2 3 ... [10] !>"));
        QCOMPARE(column(w, IpColumn), ips(fleet, 162, 171));
        QVERIFY(QMetaObject::invokeMethod(&w, "goToNextPage")); // past the last page: stays
        press(w, QStringLiteral("<"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 < 1 2 3 ... 10 >"));
        // Non-objects are skipped, an absent member shows "---", the first of two counts, texts
        // come as they are.
        QVERIFY(deliver(w, makeJsonPtr(cJSON_Parse(R"(["text", 5, {"ip":"10.0.0.2","ip":"10.0.0.9","active":" Active "}])"))));
        QCOMPARE(strip(w).join(' ') + '|' + column(w, IpColumn).join(' ') + column(w, ModelColumn).join(' ')
                     + column(w, ActiveColumn).join(' '), QStringLiteral("Total 1 !< [1] !>|10.0.0.2--- Active "));
    }

    // The firmware gate, and the address a device reports, on a double-click on the IP.
    void webPage_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("outcome"); // "page" opened, "low" for the notice, or "bad ip"

        const QString ip = "192.168.1.20";
        // clang-format off
        QTest::newRow("the minimum") << ip << "6.0.231024" << "page";
        QTest::newRow("one below") << ip << "6.0.231023" << "low";
        QTest::newRow("excluded 6.0.240514") << ip << "6.0.240514" << "low";
        QTest::newRow("excluded 6.0.240630") << ip << "6.0.240630" << "low";
        QTest::newRow("suffix after an excluded version") << ip << "6.0.240514-beta" << "page";
        QTest::newRow("blanks around an excluded version") << ip << " 6.0.240514 " << "page";
        QTest::newRow("device-reported octal address") << "010.001.002.003" << "6.1.0" << "bad ip";
        // clang-format on
    }

    void webPage()
    {
        QFETCH(QString, ip);
        QFETCH(QString, version);
        QFETCH(QString, outcome);
        SimDevice device = simDevice(ip, QStringLiteral("SN-1"));
        device.version = version;
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliver(w, deviceArray({device})));
        MessageBoxCloser closer;
        if (outcome == QLatin1String("bad ip"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a plain IPv4 address, no web page opened"));
        emit w.findChild<QTableWidget *>()->cellDoubleClicked(0, IpColumn);
        QCOMPARE(opened.value(0).second, outcome == QLatin1String("page") ? "http://" + ip : QString());
        QCOMPARE(closer.boxes.join(QString()), QString(outcome == QLatin1String("low") ? "information|Tips|The version is "
                                                         "low and does not support web functions|ORV_Window" : ""));
    }

    // Each text in the language chosen, and each caption fitting its box; then the tray's menu.
    void languageThereAndBack()
    {
        LogCapture log;
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVector<SimDevice> twenty = fleet.mid(0, 20);
        twenty[19].ip = twenty[18].ip;
        QVERIFY(deliver(w, deviceArray(twenty)));
        w.show();
        press(w, QStringLiteral("2"));
        QCOMPARE(switchTo(w, QStringLiteral("Chinese")),
                 (QStringList{"Tarnvale管理系统", "搜索", "双击IP进入web页面", "固件版本", "总页数 2", "修改IP", "修改IP",
                              "2 台设备在此地址应答；它们以序列号（Device ID）区分。", "无IPv4地址", "0"}));
        // The table's menu is made at each request, in the language of the moment.
        auto *table = w.findChild<QTableWidget *>();
        QCOMPARE(table->contextMenuPolicy(), Qt::CustomContextMenu);
        QScopedPointer<QMenu> menu(deviceTableMenu(&w, table, 1));
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({"复制IP", "复制整行", "导出所有设备到CSV…", "修改地址…"}));
        // The toolkit's own texts too: the file dialog's, and the button of a message box.
        MessageBoxCloser closer;
        const QString unwritable = QStringLiteral("/proc/devices.csv");
        QCOMPARE(exportFromMenu(w, unwritable), (QStringList{"文件名称(&N)：", "保存", "取消"}));
        QCOMPARE(closer.boxes.value(0).section('|', 0, 2) + closer.okTexts.value(0),
                 "critical|提示|无法写入/proc/devices.csv：No such file or directory确定"); // the system's reason as it gives it
        // Whatever the table's style sheet, the menu looks as any menu of the program does, also
        // with an entry under the pointer.
        QMenu plain;
        for (QAction *action : menu->actions())
            plain.addAction(action->text())->setEnabled(action->isEnabled());
        for (QMenu *m : {menu.data(), &plain}) {
            m->popup(QPoint(10, 10));
            QVERIFY(QTest::qWaitForWindowExposed(m));
            m->setActiveAction(m->actions().at(1));
        }
        QCOMPARE(menu->grab().toImage(), plain.grab().toImage());
        const SimDevice &last = twenty.at(19);
        menu->actions().at(0)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), last.ip);
        menu->actions().at(1)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringList({last.ip, last.sn, last.mac, last.model, last.version, last.activeState}).join('\t'));
        QCOMPARE(switchTo(w, QStringLiteral("English")),
                 (QStringList{"Tarnvale_Window", "Search", "Double-click the IP to enter the web page", "FirmwareVersion",
                              "Total 2", "Update IP", "Update IP",
                              "2 devices answer at this address; they are told apart by their serial number (Device ID).",
                              "No IPv4 address", "1"}));
        QCOMPARE(column(w, IpColumn), ips(twenty, 18, 20)); // the page shown stays
        QCOMPARE(exportFromMenu(w, unwritable).last(), QStringLiteral("Cancel"));
        QCOMPARE(closer.okTexts.value(1), QStringLiteral("OK"));
        // The tray's Open shows a minimized window again; its Quit, last, ends the program.
        w.showMinimized();
        QMenu *tray = w.findChild<QSystemTrayIcon *>()->contextMenu();
        QCOMPARE(tray->actions().size(), 3);
        QCOMPARE(tray->actions().first()->text() + '|' + tray->actions().last()->text(), QStringLiteral("Open|Quit"));
        tray->actions().first()->trigger();
        QVERIFY(!w.isMinimized() && w.isVisible());
        QCOMPARE(log.lines(QtCriticalMsg) + log.lines(QtWarningMsg).filter("Translation"), QStringList());
        QCOMPARE(log.lines().filter("Loaded translation file: "),
                 (QStringList{"Loaded translation file: :/languages/us_EN.qm", "Loaded translation file: :/languages/zh_CN.qm",
                              "Loaded translation file: :/languages/us_EN.qm"}));
        QVERIFY(deliver(w, deviceArray({}))); // no rows to refill: the strip's caption alone
        QCOMPARE(switchTo(w, QStringLiteral("Chinese")), QStringList{"总页数 1"});
        QTimer::singleShot(0, &w, [tray] { tray->actions().last()->trigger(); });
        QTimer::singleShot(10000, &w, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }

    void dialogConfirm_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("newIp");
        QTest::addColumn<QString>("error"); // in the field at fault; none: ready2verify

        const QString tooShort = "Password too short (min 6 chars)", format = "Incorrect IPv4 address format.";
        QTest::newRow("5 chars") << "12345" << "192.168.1.9" << tooShort;
        QTest::newRow("13 chars") << "1234567890abc" << "192.168.1.9" << "Password too long (max 12 chars)";
        QTest::newRow("empty password wins over empty ip") << "" << "" << tooShort;
        QTest::newRow("empty ip") << "123456" << "" << "IP address cannot be empty";
        QTest::newRow("part above 255") << "123456" << "192.168.1.256" << format;
        QTest::newRow("leading blank") << "123456" << " 192.168.1.9" << format;
        QTest::newRow("trailing line break") << "123456" << "192.168.1.9\n" << format;
        QTest::newRow("same as current") << "123456" << "192.168.1.5" << "The new IP address cannot be the same as the original one.";
        QTest::newRow("12 chars, blanks kept") << " pass word 1" << "10.0.0.1" << "";
        QTest::newRow("leading zeros differ from current") << "123456" << "192.168.001.005" << "";
    }

    void dialogConfirm()
    {
        QFETCH(QString, password);
        QFETCH(QString, newIp);
        QFETCH(QString, error);
        openDialog();
        // The receiver talks to a device and shows message boxes, whose event loops run inside
        // the emission and delete what waits for deletion: the dialog must not be among it.
        connect(dialog.data(), &ORV_Passwd_Window::ready2verify, this, [this] {
            QTest::qWait(50);
            QVERIFY2(dialog, "deleted while its receiver ran");
        });
        field("passwd_text")->setText(password);
        field("lineEdit_ip")->setText(newIp);
        QTest::mouseClick(button("confirm_button"), Qt::LeftButton);
        if (error.isEmpty()) {
            QCOMPARE(spy->count(), 1);
            QCOMPARE(spy->first(), (QVariantList{"192.168.1.5", password, newIp}));
            return;
        }
        const bool passwordError = error.startsWith(QLatin1String("Password"));
        QLineEdit *bad = field(passwordError ? "passwd_text" : "lineEdit_ip");
        QLineEdit *good = field(passwordError ? "lineEdit_ip" : "passwd_text");
        QVERIFY(spy->isEmpty() && isRed(bad) && !isRed(good));
        QCOMPARE(bad->placeholderText() + bad->text() + '|' + good->text(), error + '|' + (passwordError ? newIp : password));
        QCOMPARE(dialog->focusWidget(), bad);
        QCOMPARE(button("confirm_button")->isEnabled(), passwordError);
    }

    void dialogLocksConfirmForThreeSecondsAfterAnIpError()
    {
        openDialog();
        field("passwd_text")->setText(QStringLiteral("123456"));
        field("lineEdit_ip")->setText(QStringLiteral("300.1.1.1"));
        QPushButton *confirm = button("confirm_button");
        const qint64 start = nowMs();
        QTest::mouseClick(confirm, Qt::LeftButton);
        QTest::keyClicks(field("lineEdit_ip"), QStringLiteral("10.9.9.9")); // typed meanwhile: replaced
        QTest::mouseClick(confirm, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(confirm->isEnabled(), 8000);
        QVERIFY_DURATION(nowMs() - start, 3000, 3750);
        QCOMPARE(field("lineEdit_ip")->text() + field("lineEdit_ip")->placeholderText(), QStringLiteral("192.168.1.5"));
        QVERIFY(!isRed(field("lineEdit_ip")) && spy->isEmpty());
    }

private:
    void openDialog() // for a device at 192.168.1.5
    {
        dialog = new ORV_Passwd_Window;
        dialog->setCurrentIp(QStringLiteral("192.168.1.5"));
        dialog->show();
        spy.reset(new QSignalSpy(dialog.data(), &ORV_Passwd_Window::ready2verify));
    }
    QLineEdit *field(const char *name) const { return dialog->findChild<QLineEdit *>(QLatin1String(name)); }
    QPushButton *button(const char *name) const { return dialog->findChild<QPushButton *>(QLatin1String(name)); }
    static bool isRed(const QLineEdit *field) { return field->styleSheet().contains(QLatin1String("#FF5252")); }

    QPointer<ORV_Passwd_Window> dialog;
    QFont desktopFont;
    std::unique_ptr<QSignalSpy> spy;
    QTemporaryDir workDir;
    const QString settingsPath = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + '/' + kOrganisationName + '/'
                                 + kApplicationName + ".conf";
    QVector<QPair<qint64, QString>> opened;
    const QVector<SimDevice> fleet = DeviceSimulator::makeFleet(171);
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
