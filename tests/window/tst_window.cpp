// The main window without a network, fed with device arrays as the link hands them over.

#include "orv_window.h"

#include "devicetable.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

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
        parts << (control->isEnabled() ? "" : "!") + (control->styleSheet().contains("#2979ff") ? '[' + text + ']' : text);
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
    QPushButton *rowButton = table->cellWidget(0, OperationColumn)->findChild<QPushButton *>();
    return {w.windowTitle(), w.findChild<QPushButton *>(QStringLiteral("search_button"))->text(),
            w.findChild<QLineEdit *>(QStringLiteral("state_text"))->text(), table->horizontalHeaderItem(VersionColumn)->text(),
            strip(w).first(), rowButton->text(), rowButton->property("textKey").toString(),
            QSettings(QStringLiteral("Settings.ini"), QSettings::IniFormat).value("language").toString()};
}

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
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openUrl");
    }
    void init() { opened.clear(); }
    void cleanup() { QVERIFY2(visibleWindows().isEmpty(), qPrintable(visibleWindows())); }

    void pageStrip_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("controls"); // 0 is the ellipsis

        const QStringList rows = {"", "1", "1 2", "1 2 3", "1 2 3 4", "1 2 3 0 5"};
        for (int pages = 0; pages < rows.size(); ++pages)
            QTest::addRow("%d pages", pages) << pages << rows[pages];
        QTest::newRow("10 pages") << 10 << "1 2 3 0 10";
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

    void webPageGate_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("serves");

        QTest::newRow("the minimum") << "6.0.231024" << true;
        QTest::newRow("one below") << "6.0.231023" << false;
        QTest::newRow("excluded 6.0.240514") << "6.0.240514" << false;
        QTest::newRow("excluded 6.0.240630") << "6.0.240630" << false;
        QTest::newRow("between and after the excluded") << "6.0.240701" << true;
        QTest::newRow("7") << "7" << true;
        QTest::newRow("6.0, fewer segments") << "6.0" << false;
        QTest::newRow("suffix after an excluded version") << "6.0.240514-beta" << true;
        QTest::newRow("blank before an excluded version") << " 6.0.240514" << true;
        QTest::newRow("blank after an excluded version") << "6.0.240514 " << true;
        QTest::newRow("placeholder ---") << "---" << false;
        QTest::newRow("blanks") << "  " << false;
        QTest::newRow("v prefix") << "v7.0" << false;
    }

    void webPageGate()
    {
        QFETCH(QString, version);
        QFETCH(bool, serves);
        QCOMPARE(servesWebPage(version), serves);
        QVERIFY(!isVersionAtLeast(version, QString()));
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
        auto *table = w.findChild<QTableWidget *>();
        QCOMPARE(table->verticalHeader()->defaultSectionSize(), 32);
        for (int c = 0; c < DeviceColumnCount; ++c)
            QCOMPARE(table->horizontalHeader()->sectionResizeMode(c), c == SnColumn ? QHeaderView::ResizeToContents : QHeaderView::Stretch);
        for (int i = 0; i < 4; ++i)
            press(w, QStringLiteral(">"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 < 1 2 3 ... 10 >")); // page 5: nothing highlighted
        QCOMPARE(column(w, IpColumn), ips(fleet, 72, 90));
        QCOMPARE(table->cellWidget(17, OperationColumn)->findChild<QPushButton *>()->property("row").toInt(), 17);
        press(w, QStringLiteral("10"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 < 1 2 3 ... [10] !>"));
        QCOMPARE(column(w, IpColumn), ips(fleet, 162, 171));
        QVERIFY(QMetaObject::invokeMethod(&w, "goToNextPage")); // past the last page: stays
        press(w, QStringLiteral("<"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 < 1 2 3 ... 10 >"));
        press(w, QStringLiteral("1"));
        QCOMPARE(strip(w).join(' '), QStringLiteral("Total 10 !< [1] 2 3 ... 10 >"));
        // Non-objects are skipped, an absent member shows "---", texts come as they are.
        QVERIFY(deliver(w, makeJsonPtr(cJSON_Parse(R"(["text", 5, {"ip":"10.0.0.2","active":" Active "}])"))));
        QCOMPARE(strip(w).join(' ') + '|' + column(w, IpColumn).join(' ') + column(w, ModelColumn).join(' ')
                     + column(w, ActiveColumn).join(' '), QStringLiteral("Total 1 !< [1] !>|10.0.0.2--- Active "));
    }

    void webPage_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("outcome"); // the page opened, "low" for the notice, "bad ip", or nothing

        QTest::newRow("opens the page") << "192.168.1.20" << "6.0.231024" << int(IpColumn) << "http://192.168.1.20";
        QTest::newRow("low version refused") << "192.168.1.20" << "6.0.231023" << int(IpColumn) << "low";
        QTest::newRow("another column") << "192.168.1.20" << "6.0.231024" << int(ModelColumn) << "";
        QTest::newRow("device-reported octal address") << "010.001.002.003" << "6.1.0" << int(IpColumn) << "bad ip";
    }

    void webPage()
    {
        QFETCH(QString, ip);
        QFETCH(QString, version);
        QFETCH(int, column);
        QFETCH(QString, outcome);
        SimDevice device = simDevice(ip, QStringLiteral("SN-1"));
        device.version = version;
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliver(w, deviceArray({device})));
        MessageBoxCloser closer;
        if (outcome == QLatin1String("bad ip"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a plain IPv4 address, no web page opened"));
        emit w.findChild<QTableWidget *>()->cellDoubleClicked(0, column);
        QCOMPARE(opened.value(0).second, outcome.startsWith(QLatin1String("http")) ? outcome : QString());
        QCOMPARE(closer.boxes.join(QString()), QString(outcome == QLatin1String("low") ? "information|Tips|The version is "
                                                         "low and does not support web functions|ORV_Window" : ""));
    }

    // A double-click within 500 ms of the last accepted one is ignored, whatever its column.
    void doubleClickGuard()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliver(w, deviceArray(fleet.mid(0, 1))));
        const qint64 start = nowMs();
        emit w.findChild<QTableWidget *>()->cellDoubleClicked(0, ModelColumn); // does nothing, yet is stamped
        while (opened.size() < 2 && nowMs() - start < 3000) {
            emit w.findChild<QTableWidget *>()->cellDoubleClicked(0, IpColumn);
            QTest::qWait(5);
        }
        QCOMPARE(opened.size(), 2);
        QVERIFY_DURATION(opened.at(0).first - start, 500, 600);
        QVERIFY_DURATION(opened.at(1).first - opened.at(0).first, 500, 600);
    }

    void languageThereAndBack()
    {
        LogCapture log;
        ORV_Window w(QStringLiteral("Local Mannage"));
        QVERIFY(deliver(w, deviceArray(fleet.mid(0, 20))));
        press(w, QStringLiteral("2"));
        QCOMPARE(switchTo(w, QStringLiteral("Chinese")),
                 (QStringList{"Tarnvale管理系统", "搜索", "双击IP进入web页面", "固件版本", "总页数 2", "修改IP", "修改IP", "0"}));
        QCOMPARE(switchTo(w, QStringLiteral("English")),
                 (QStringList{"Tarnvale_Window", "Search", "Double-click the IP to enter the web page", "FirmwareVersion",
                              "Total 2", "Update IP", "Update IP", "1"}));
        QCOMPARE(column(w, IpColumn), ips(fleet, 18, 20)); // the page shown stays
        QCOMPARE(log.lines(QtCriticalMsg) + log.lines(QtWarningMsg).filter("Translation"), QStringList());
        QCOMPARE(log.lines().filter("Loaded translation file: "),
                 (QStringList{"Loaded translation file: :/languages/us_EN.qm", "Loaded translation file: :/languages/zh_CN.qm",
                              "Loaded translation file: :/languages/us_EN.qm"}));
    }

    void trayQuitEndsTheProgram()
    {
        ORV_Window w(QStringLiteral("Local Mannage"));
        w.show();
        QTimer::singleShot(0, &w, [&w] { w.findChild<QSystemTrayIcon *>()->contextMenu()->actions().last()->trigger(); });
        QTimer::singleShot(10000, &w, [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
    }

private:
    QTemporaryDir workDir;
    QVector<QPair<qint64, QString>> opened;
    const QVector<SimDevice> fleet = DeviceSimulator::makeFleet(171);
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
